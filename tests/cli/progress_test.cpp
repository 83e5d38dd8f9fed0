#include "cli/progress.h"
#include "search/run_setup.h"
#include "tests/cli/cli_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace pandicube {
namespace {

using namespace std::chrono_literals;

// The estimate of the time left on a line, in seconds; -1 when it has none.
int SecondsLeft(const std::string& line)
{
    int h = 0;
    int m = 0;
    int s = 0;
    const std::size_t at = line.rfind('~');
    if (at == std::string::npos || std::sscanf(line.c_str() + at, "~%d:%d:%d left", &h, &m, &s) != 3) return -1;
    return 3600 * h + 60 * m + s;
}

// The pieces drawn between two returns, without their escapes.
std::vector<std::string> Drawn(std::string text)
{
    std::replace(text.begin(), text.end(), '\r', '\n');
    std::vector<std::string> lines = Lines(text);
    for (std::string& line : lines) line = line.substr(0, line.find('\x1b'));
    return lines;
}

// The progress line of the program, on a terminal and never in an output.
class ProgressOutput : public TempFiles {};

TEST(ProgressLine, DrawsAtMostOncePerIntervalAndClearsAtTheEnd)
{
    std::ostringstream err;
    ProgressLine::Clock::time_point now{};
    ProgressLine progress(
        err, WorkShares(LimitsOf(75), false), {}, [&] { return now; }, 100ms);
    progress.Update(51, 69, 0);
    EXPECT_EQ(err.str(), "\re14 51  e18 69    0.0% done  0 solutions  0:00:00 elapsed  ~? left\x1b[K");
    now += 50ms;
    progress.Update(51, 60, 0); // too soon: not drawn
    EXPECT_EQ(err.str().find("e18 60"), std::string::npos);
    now = ProgressLine::Clock::time_point{} + 30s;
    progress.Update(57, 66, 5);
    // The time left is the time so far for the share done.
    double share = 0;
    const std::string line = err.str().substr(err.str().rfind('\r'));
    ASSERT_EQ(std::sscanf(line.c_str(), "\re14 57  e18 66 %lf%% done  5 solutions  0:00:30 elapsed", &share), 1);
    EXPECT_GT(share, 0);
    EXPECT_LT(share, 100);
    EXPECT_NEAR(SecondsLeft(line), 30 * (100 - share) / share, 1) << line;
    progress.Finish();
    EXPECT_EQ(err.str().substr(err.str().size() - 4), "\r\x1b[K");
    EXPECT_EQ(FormatDuration(3725s), "1:02:05");
}

// A run from start values, or one that goes on, estimates from where it
// began: with less done in the same time, more is left.
TEST(ProgressLine, EstimatesFromWhereARunStarted)
{
    const auto leftAt = [](OuterUnit first) {
        std::ostringstream err;
        ProgressLine::Clock::time_point now{};
        ProgressLine progress(
            err, WorkShares(LimitsOf(300), false), {}, [&] { return now; }, 100ms);
        progress.Update(first.e14, first.e18, 0);
        now += 100s;
        return SecondsLeft(progress.Describe(-60, 99, 0, now));
    };
    EXPECT_GT(leftAt({-171, 297}), 0);
    EXPECT_GT(leftAt({-111, 288}), leftAt({-171, 297}));
}

// The line never wraps: the units and then the time elapsed give way to the
// share and the estimate; a dumb terminal gets blanks instead of escapes.
TEST(ProgressLine, FitsTheTerminal)
{
    for (const unsigned columns : {200U, 60U, 40U, 12U}) {
        for (const bool escapes : {true, false}) {
            std::ostringstream err;
            ProgressLine::Clock::time_point now{};
            ProgressLine progress(
                err, WorkShares(LimitsOf(300), false), {columns, escapes, {}}, [&] { return now; }, 100ms);
            progress.Update(-171, 297, 0);
            now += 1h;
            progress.Update(-60, 99, 123456789);
            progress.Finish();
            const std::string text = err.str();
            EXPECT_EQ(text.find('\x1b') == std::string::npos, !escapes) << text;
            for (const std::string& shown : Drawn(text)) {
                EXPECT_LT(shown.size(), columns) << columns << ": " << shown;
                if (columns >= 40 && shown.find_first_not_of(' ') != std::string::npos) {
                    EXPECT_NE(shown.find("% done"), std::string::npos) << shown;
                }
            }
            EXPECT_EQ(text.find("elapsed") != std::string::npos, columns >= 60) << text;
            // Blanks over the longest line drawn, then back to its start.
            if (!escapes) {
                EXPECT_EQ(text.substr(text.rfind('\r', text.size() - 2)).find_first_not_of(" \r"), std::string::npos);
            }
        }
    }
}

// A terminal resized during a run: each drawing fits the width it has then,
// and a dumb terminal's blanks never run past it.
TEST(ProgressLine, FollowsTheTerminalsWidth)
{
    for (const bool escapes : {true, false}) {
        std::ostringstream err;
        ProgressLine::Clock::time_point now{};
        unsigned columns = 200; // the terminal's width now; 40 at the start
        ProgressLine progress(
            err, WorkShares(LimitsOf(300), false), {40, escapes, [&] { return columns; }}, [&] { return now; }, 100ms);
        progress.Update(-171, 297, 0);
        EXPECT_EQ(Drawn(err.str()).back().find("e14 "), 0U) << err.str();
        columns = 30;
        now += 1h;
        const std::size_t narrowFrom = err.str().size();
        progress.Update(-60, 99, 123456789);
        progress.Finish();
        for (const std::string& shown : Drawn(err.str().substr(narrowFrom))) EXPECT_LT(shown.size(), 30U) << shown;
        // When the terminal cannot say, the width at the start holds.
        columns = 0;
        EXPECT_EQ(progress.Describe(-60, 99, 0, now).find("e14 "), std::string::npos);
        EXPECT_LT(progress.Describe(-60, 99, 0, now).size(), 40U);
    }
}

// The share weighs units by their work: the run's first units, near the
// lower limit, have no rows at all, so half the units are far less than half
// the run; and the share only grows along the run.
TEST(WorkShares, GrowAlongTheRunByWorkNotUnits)
{
    const Limits limits = LimitsOf(700);
    const OuterUnits units(limits, false);
    const WorkShares shares(limits, false);
    OuterUnitCursor cursor = units.Begin();
    double last = 0;
    std::uint64_t index = 0;
    while (const std::optional<OuterUnit> unit = cursor.Next()) {
        const double share = shares.ShareBefore(*unit);
        ASSERT_GE(share, last) << unit->e14 << " " << unit->e18;
        EXPECT_TRUE(index > 0 || share == 0);
        EXPECT_TRUE(index != units.Count() / 2 || share < 0.35) << share;
        last = share;
        ++index;
    }
    EXPECT_GT(last, 0.99);
    EXPECT_LT(last, 1);
}

TEST_F(ProgressOutput, AppearsOnATerminalOnlyAndNeverInTheOutput)
{
    const auto plain = RunTool({"--bound", "280"});
    const auto terminal = RunTool({"--bound", "280"}, "", true);
    const auto quiet = RunTool({"--bound", "280", "--quiet"}, "", true);
    const auto sequential = RunTool({"--bound", "280", "--start", "-50,-153,-50,-153", "--count-only"}, "", true);
    EXPECT_TRUE(plain.err.empty());
    EXPECT_TRUE(quiet.err.empty());
    EXPECT_EQ(terminal.err.substr(0, 5), "\re14 ");
    EXPECT_NE(terminal.err.find("% done"), std::string::npos);
    EXPECT_EQ(terminal.err.substr(terminal.err.size() - 4), "\r\x1b[K");
    EXPECT_NE(sequential.err.find("\re14 -153"), std::string::npos);
    // A --classes run counts classes.
    const auto classes = RunTool({"--bound", "280", "--classes"}, "", true);
    EXPECT_NE(classes.err.find(" classes  "), std::string::npos) << classes.err;
    EXPECT_EQ(classes.err.find("solutions"), std::string::npos) << classes.err;
    EXPECT_EQ(terminal.out, plain.out);
    EXPECT_EQ(quiet.out, plain.out);

    // When the results go to the same terminal, the line would stand at the
    // start of result lines: it is drawn only when just the count follows.
    for (const bool countOnly : {false, true}) {
        std::vector<const char*> argv = {"pandicube-search", "--bound", "280"};
        if (countOnly) argv.push_back("--count-only");
        std::ostringstream out;
        std::ostringstream err;
        const CliEnvironment shared{true, nullptr, 1, true, {}, {}};
        EXPECT_EQ(RunCli(static_cast<int>(argv.size()), argv.data(), out, err, shared), 0);
        EXPECT_EQ(err.str().find("% done") != std::string::npos, countOnly);
    }
}

struct ProcessOutput {
    std::string out;
    std::string terminal;
    int status = -1;
};

// How the real binary meets its terminal: the terminal's width and TERM, and
// whether standard output goes there too (else to a pipe).
struct TerminalSetting {
    unsigned short columns = 80;
    const char* term = "xterm";
    bool outOnTerminal = false;
    unsigned short narrowTo = 0; // the width the terminal takes once the line is drawn
};

// Runs the real binary with standard error on a pseudo-terminal.
ProcessOutput RunOnTerminal(std::vector<std::string> args, TerminalSetting setting = {})
{
    int master = -1;
    int slave = -1;
    winsize size{};
    size.ws_row = 24;
    size.ws_col = setting.columns;
    EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, &size), 0);
    int pipeFds[2];
    EXPECT_EQ(pipe(pipeFds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(slave, STDERR_FILENO);
        dup2(setting.outOnTerminal ? slave : pipeFds[1], STDOUT_FILENO);
        close(master);
        close(pipeFds[0]);
        close(pipeFds[1]);
        setenv("TERM", setting.term, 1);
        args.insert(args.begin(), PANDICUBE_SEARCH_BINARY);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(slave);
    close(pipeFds[1]);
    ProcessOutput result;
    // Read both until both close (the terminal with EIO once the child is
    // gone), so that neither side fills up.
    std::array<char, 4096> buf{};
    std::array<std::string*, 2> into = {&result.out, &result.terminal};
    std::array<bool, 2> open = {true, true};
    while (open[0] || open[1]) {
        std::array<pollfd, 2> fds = {{{open[0] ? pipeFds[0] : -1, POLLIN, 0}, {open[1] ? master : -1, POLLIN, 0}}};
        if (poll(fds.data(), fds.size(), 10000) <= 0) break;
        for (std::size_t i = 0; i < 2; ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            const ssize_t n = read(fds[i].fd, buf.data(), buf.size());
            if (n > 0) into[i]->append(buf.data(), static_cast<std::size_t>(n));
            open[i] = n > 0;
        }
        if (setting.narrowTo != 0 && result.terminal.find("% done") != std::string::npos) {
            size.ws_col = std::exchange(setting.narrowTo, 0);
            EXPECT_EQ(ioctl(master, TIOCSWINSZ, &size), 0);
        }
    }
    close(pipeFds[0]);
    close(master);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST_F(ProgressOutput, TheRealBinaryDrawsOnAPseudoTerminal)
{
    const ProcessOutput shown = RunOnTerminal({"--bound", "280"});
    EXPECT_EQ(shown.status, 0);
    EXPECT_NE(shown.terminal.find("e14 "), std::string::npos) << shown.terminal;
    EXPECT_NE(shown.terminal.find("% done"), std::string::npos);
    EXPECT_NE(shown.terminal.find("\x1b[K"), std::string::npos);
    EXPECT_EQ(shown.out, RunTool({"--bound", "280"}).out);
    EXPECT_EQ(shown.out.find('\r'), std::string::npos);

    const ProcessOutput quiet = RunOnTerminal({"--bound", "280", "--quiet"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.terminal.find("e14 "), std::string::npos);
    EXPECT_EQ(quiet.out, shown.out);

    // The line fits a narrow terminal, and a dumb one gets no escapes.
    const ProcessOutput narrow = RunOnTerminal({"--bound", "280"}, {.columns = 40});
    EXPECT_NE(narrow.terminal.find("% done"), std::string::npos);
    for (const std::string& piece : Drawn(narrow.terminal)) EXPECT_LE(piece.size(), 39U) << piece;
    // A terminal narrowed during the run: the line follows it.
    const ProcessOutput resized =
        RunOnTerminal({"--bound", "550", "--threads", "1", "--count-only"}, {.columns = 120, .narrowTo = 40});
    std::vector<std::string> pieces = Drawn(resized.terminal);
    std::erase(pieces, "");
    ASSERT_GE(pieces.size(), 2U) << resized.terminal;
    EXPECT_EQ(pieces.front().find("e14 "), 0U) << pieces.front();
    EXPECT_LT(pieces.back().size(), 40U) << pieces.back();
    const ProcessOutput dumb = RunOnTerminal({"--bound", "280"}, {.term = "dumb"});
    EXPECT_NE(dumb.terminal.find("% done"), std::string::npos);
    EXPECT_EQ(dumb.terminal.find('\x1b'), std::string::npos) << dumb.terminal;
    EXPECT_EQ(dumb.out, shown.out);
}

// Long runs write to a file, or go on with resume, from a terminal that is
// both standard output and standard error: the line is drawn there, and the
// file holds the whole run.
TEST_F(ProgressOutput, TheLineIsDrawnForARunThatWritesAFile)
{
    const std::string whole = RunTool({"--bound", "300"}).out;
    const std::string path = Path("progress.out");
    const ProcessOutput written = RunOnTerminal({"--bound", "300", "--output", path}, {.outOnTerminal = true});
    EXPECT_EQ(written.status, 0);
    EXPECT_NE(written.terminal.find("% done"), std::string::npos) << written.terminal;
    EXPECT_EQ(ReadFile(path), whole);

    const std::string cut = Write("progress.cut", whole.substr(0, whole.size() / 3));
    const ProcessOutput resumed = RunOnTerminal({"resume", cut}, {.outOnTerminal = true});
    EXPECT_EQ(resumed.status, 0);
    EXPECT_NE(resumed.terminal.find("% done"), std::string::npos) << resumed.terminal;
    EXPECT_EQ(ReadFile(cut), whole);

    // Results on the terminal itself leave no room for the line.
    const ProcessOutput listed = RunOnTerminal({"--bound", "280"}, {.outOnTerminal = true});
    EXPECT_EQ(listed.terminal.find("% done"), std::string::npos);
}

} // namespace
} // namespace pandicube
