#include "cli/progress.h"
#include "search/loops/run_setup.h"
#include "tests/cli/cli_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>

namespace pandicube {
namespace {

using namespace std::chrono_literals;

// The six units of U = 75: (51, 69), (51, 60), (57, 75), (57, 66), (60, 51)
// and (60, 69).
OuterUnits UnitsOfU75()
{
    const Limits limits = LimitsOf(75);
    return OuterUnits(limits, false);
}

TEST(ProgressLine, DrawsAtMostOncePerIntervalAndClearsAtTheEnd)
{
    std::ostringstream err;
    ProgressLine::Clock::time_point now{};
    ProgressLine progress(
        err, UnitsOfU75(), [&] { return now; }, 100ms);
    progress.Update(51, 69, 0);
    EXPECT_EQ(err.str(), "\re14 51  e18 69    0.0% done  0 solutions  0:00:00 elapsed  ~? left\x1b[K");
    now += 50ms;
    progress.Update(51, 60, 0); // too soon: not drawn
    EXPECT_EQ(err.str().find("e18 60"), std::string::npos);
    now = ProgressLine::Clock::time_point{} + 30s;
    progress.Update(57, 66, 5);
    EXPECT_NE(err.str().find("\re14 57  e18 66   50.0% done  5 solutions  0:00:30 elapsed  ~0:00:30 left\x1b[K"),
              std::string::npos);
    progress.Finish();
    EXPECT_EQ(err.str().substr(err.str().size() - 4), "\r\x1b[K");
}

TEST(ProgressLine, EstimatesFromWhereARunStarted)
{
    std::ostringstream err;
    ProgressLine::Clock::time_point now{};
    ProgressLine progress(
        err, UnitsOfU75(), [&] { return now; }, 100ms);
    progress.Update(51, 60, 0); // a run from start values begins at the second unit
    now += 10s;
    EXPECT_EQ(progress.Describe(57, 66, 0, now),
              "e14 57  e18 66   50.0% done  0 solutions  0:00:10 elapsed  ~0:00:15 left");
    EXPECT_EQ(FormatDuration(3725s), "1:02:05");
}

TEST(ProgressOutput, AppearsOnATerminalOnlyAndNeverInTheOutput)
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
        const CliEnvironment shared{true, nullptr, 1, true, {}};
        EXPECT_EQ(RunCli(static_cast<int>(argv.size()), argv.data(), out, err, shared), 0);
        EXPECT_EQ(err.str().find("% done") != std::string::npos, countOnly);
    }
}

// Reads everything from fd until it closes.
std::string Drain(int fd)
{
    std::string text;
    std::array<char, 4096> buf{};
    for (;;) {
        const ssize_t n = read(fd, buf.data(), buf.size());
        if (n <= 0) return text;
        text.append(buf.data(), static_cast<std::size_t>(n));
    }
}

struct ProcessOutput {
    std::string out;
    std::string terminal;
    int status = -1;
};

// Runs the real binary with standard error on a pseudo-terminal and standard
// output on a pipe.
ProcessOutput RunOnTerminal(std::vector<std::string> args)
{
    int master = -1;
    int slave = -1;
    EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    int pipeFds[2];
    EXPECT_EQ(pipe(pipeFds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(slave, STDERR_FILENO);
        dup2(pipeFds[1], STDOUT_FILENO);
        close(master);
        close(pipeFds[0]);
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
    // Read both until standard output closes, so that neither side fills up.
    std::array<char, 4096> buf{};
    for (bool open = true; open;) {
        std::array<pollfd, 2> fds = {{{pipeFds[0], POLLIN, 0}, {master, POLLIN, 0}}};
        if (poll(fds.data(), fds.size(), 10000) <= 0) break;
        if (fds[1].revents & POLLIN) {
            const ssize_t n = read(master, buf.data(), buf.size());
            if (n > 0) result.terminal.append(buf.data(), static_cast<std::size_t>(n));
        }
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            const ssize_t n = read(pipeFds[0], buf.data(), buf.size());
            if (n > 0) result.out.append(buf.data(), static_cast<std::size_t>(n));
            open = n > 0;
        }
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.terminal += Drain(master); // ends with EIO once the child is gone
    close(master);
    return result;
}

TEST(ProgressOutput, TheRealBinaryDrawsOnAPseudoTerminal)
{
    const ProcessOutput shown = RunOnTerminal({"--bound", "280"});
    EXPECT_EQ(shown.status, 0);
    EXPECT_NE(shown.terminal.find("e14 "), std::string::npos) << shown.terminal;
    EXPECT_NE(shown.terminal.find("% done"), std::string::npos);
    EXPECT_EQ(shown.out, RunTool({"--bound", "280"}).out);
    EXPECT_EQ(shown.out.find('\r'), std::string::npos);

    const ProcessOutput quiet = RunOnTerminal({"--bound", "280", "--quiet"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.terminal.find("e14 "), std::string::npos);
    EXPECT_EQ(quiet.out, shown.out);
}

} // namespace
} // namespace pandicube
