#include "tests/cli/cli_test_support.h"
#include "tests/support/run_command.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace pandicube {
namespace {

std::string ReplacedOnce(std::string text, const std::string& from, const std::string& to)
{
    const auto at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// Waits until process `pid` has `path` open (and so has set up its signal
// handling, which comes first).
bool AwaitOpen(pid_t pid, const std::string& path)
{
    const std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
    for (int i = 0; i < 1000; ++i) {
        std::error_code ec;
        for (const auto& fd : std::filesystem::directory_iterator(fds, ec)) {
            if (std::filesystem::read_symlink(fd.path(), ec) == path) return true;
        }
        usleep(10000);
    }
    return false;
}

// Who may write an output, where, and what a signal leaves behind.
class OutputOwnership : public TempFiles {};

// An output that cannot become a whole run, or that would overwrite a merge's
// input, is refused at once with one line; nothing is searched or written.
TEST_F(OutputOwnership, OutputsThatCannotBeOwnedAreRefusedBeforeTheSearch)
{
    const std::string dir = Path("dir");
    std::filesystem::create_directory(dir);
    // (A device node takes the same way as the FIFO; none is named here, since
    // a program that wrongly writes through it would replace it.)
    const std::string fifo = Path("fifo");
    ::mkfifo(fifo.c_str(), 0600);
    const std::string victim = Write("victim", "keep");
    const std::string linked = Path("linked");
    std::filesystem::create_symlink(victim, linked + ".part");
    const std::string slice1 = Write("b.part", RunTool({"--bound", "255", "--slice", "1/2"}).out);
    const std::string slice2 = Write("s2", RunTool({"--bound", "255", "--slice", "2/2"}).out);
    const std::string alias = Path("alias");
    std::filesystem::create_symlink(slice1, alias);
    const std::string merged = slice1.substr(0, slice1.size() - 5);
    const std::vector<std::string> run = {"--bound", "400", "--count-only", "--threads", "2", "--output"};
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {test::With(run, {""}), "--output needs a file name"},
        {test::With(run, {dir}), "--output: " + dir + " is a directory"},
        {test::With(run, {fifo}), "--output: " + fifo + " is not a regular file (a device or a FIFO)"},
        {test::With(run, {linked}), linked + ".part is not a regular file (a link, a device or a FIFO); remove it"},
        {{"merge", "--output", slice2, slice1, slice2}, "merge: the input " + slice2 + " is the file the merge writes"},
        {{"merge", "--output", merged, slice1, slice2}, "merge: the input " + slice1 + " is the file the merge writes"},
        {{"merge", "--output", merged, alias, slice2}, "merge: the input " + alias + " is the file the merge writes"},
    };
    const std::string slice1Bytes = ReadFile(slice1);
    for (const Case& c : cases) {
        const auto result = RunTool(c.args);
        EXPECT_EQ(result.status, 2) << c.message;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.find("pandicube-search: " + c.message), 0u) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    const auto empty = RunTool({"merge", "-"});
    EXPECT_EQ(empty.status, 2);
    EXPECT_EQ(empty.err.find("pandicube-search: merge: - holds no output of pandicube-search\n"), 0u) << empty.err;
    EXPECT_EQ(ReadFile(victim), "keep");
    EXPECT_EQ(ReadFile(slice1), slice1Bytes);
}

// The real program refuses a link at --output (dangling or not), "-" and a
// name whose NAME.part the folder cannot hold, before the search: exit 2,
// one line, and the link, its target and the folder stay as they were.
TEST_F(OutputOwnership, LinksDashAndLongNamesAtTheOutputAreRefusedBeforeTheSearch)
{
    const std::string target = Write("target", "keep");
    const std::string link = Path("link");
    std::filesystem::create_symlink(target, link);
    const std::string dangling = Path("dangling");
    const std::string nowhere = Path("nowhere");
    std::filesystem::create_symlink(nowhere, dangling);
    const std::string slice1 = Write("l1", RunTool({"--bound", "255", "--slice", "1/2"}).out);
    const std::string slice2 = Write("l2", RunTool({"--bound", "255", "--slice", "2/2"}).out);
    // 251 characters fit a folder's name limit of 255; with ".part" they do not.
    const std::string base = Path("");
    const std::string longName = base + std::string(251 - std::filesystem::path(base).filename().string().size(), 'x');
    const std::string bigRun = "--bound=2000";
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{bigRun, "--output", link}, "--output: " + link + " is a symbolic link"},
        {{bigRun, "--output", dangling}, "--output: " + dangling + " is a symbolic link"},
        {{"merge", "--output", link, slice1, slice2}, "merge: --output: " + link + " is a symbolic link"},
        {{bigRun, "--output", "-"}, "--output - would name a file -; leave out --output to write to standard output"},
        {{"merge", "--output", "-", slice1, slice2}, "merge: --output - would name a file -"},
        {{bigRun, "--output", longName}, "--output: " + longName + " is too long a name"},
    };
    for (const auto& c : cases) {
        const test::CliResult result = test::RunProgram(c.args);
        EXPECT_EQ(result.status, 2) << c.says;
        EXPECT_EQ(result.err.find("pandicube-search: " + c.says), 0u) << result.err;
        EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(std::filesystem::is_symlink(dangling));
    EXPECT_EQ(ReadFile(target), "keep");
    EXPECT_FALSE(std::filesystem::exists(nowhere));
    EXPECT_FALSE(std::filesystem::exists("-"));
    std::error_code tooLong;
    for (const std::string& name : {link, dangling, longName})
        EXPECT_FALSE(std::filesystem::exists(name + ".part", tooLong)) << name;
}

// An output takes its name only once it is on the disk: the run, a resume
// that finishes one and merge --output flush it before the rename and its
// folder after. A merge that cannot write its output leaves nothing.
TEST_F(OutputOwnership, OutputsAreOnDiskBeforeTheyTakeTheirNamesAndFailedMergesLeaveNothing)
{
    const std::string program = "'" PANDICUBE_SEARCH_BINARY "' ";
    const std::string one = Write("d1", RunTool({"--bound", "300", "--slice", "1/2"}).out);
    const std::string two = Write("d2", RunTool({"--bound", "300", "--slice", "2/2"}).out);
    const std::string run = Path("durable"), merged = Path("merged"), resumed = Path("resumed");
    Write("resumed.part", RunTool({"--bound", "255"}).out);
    if (test::OnPath("strace")) {
        EXPECT_TRUE(test::SyncsAroundRename(program + "--bound 255 --output " + run, run));
        EXPECT_TRUE(test::SyncsAroundRename(program + "merge --output " + merged + " " + one + " " + two, merged));
        EXPECT_TRUE(test::SyncsAroundRename(program + "resume " + resumed, resumed));
        std::filesystem::remove(merged);
    }

    int status = -1;
    const std::string said = test::CommandOutput("trap '' XFSZ; ulimit -f 1; " + program + "merge --output " + merged +
                                                     " " + one + " " + two + " 2>&1",
                                                 &status);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(said, "pandicube-search: merge: cannot write the output: File too large\n");
    EXPECT_FALSE(std::filesystem::exists(merged + ".part"));
    EXPECT_FALSE(std::filesystem::exists(merged));
}

// While a run writes an output, a second run or resume of it is refused at
// once; the lock ends with the process that held it.
TEST_F(OutputOwnership, OneProcessOwnsAnOutput)
{
    const std::string out = Path("owned");
    const pid_t owner =
        test::StartProgram({"--bound", "800", "--count-only", "--threads", "1", "--output", out}, "/dev/null");
    ASSERT_TRUE(test::AwaitFile(out + ".part"));
    for (const std::vector<std::string>& second :
         {std::vector<std::string>{"--bound", "255", "--output", out}, {"resume", out}, {"resume", out + ".part"}}) {
        const auto result = RunTool(second);
        EXPECT_EQ(result.status, 2) << second[0];
        EXPECT_NE(result.err.find(out + ".part is being written by another pandicube-search"), std::string::npos)
            << result.err;
    }
    EXPECT_EQ(test::EndWithSignal(owner, SIGKILL), -1);
    EXPECT_EQ(RunTool({"--bound", "255", "--output", out}).status, 0);
    EXPECT_EQ(ReadFile(out), RunTool({"--bound", "255"}).out);
}

// SIGINT, SIGTERM and SIGHUP end verify and merge at once, also while they
// wait for input that never comes; merge leaves no NAME.part behind.
TEST_F(OutputOwnership, SignalsEndVerifyAndMergeAtOnce)
{
    const std::string fifo = Path("never");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // resume refuses a FIFO at once instead of waiting for a writer.
    EXPECT_EQ(test::EndWithSignal(test::StartProgram({"resume", fifo}, "/dev/null"), 0), 2);
    const int writer = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC); // a writer that never writes
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const pid_t pid = test::StartProgram({"verify", fifo}, "/dev/null");
        EXPECT_TRUE(AwaitOpen(pid, fifo));
        EXPECT_EQ(test::EndWithSignal(pid, signal), 128 + signal) << signal;
    }
    ::close(writer);

    // merge reads its inputs, starts writing, then blocks opening the FIFO
    // again for the second reading.
    const std::string slice1 = Write("m1", RunTool({"--bound", "300", "--slice", "1/2"}).out);
    const std::string slice2 = RunTool({"--bound", "300", "--slice", "2/2"}).out;
    const std::string merged = Path("merged");
    const pid_t pid = test::StartProgram({"merge", "--output", merged, slice1, fifo}, "/dev/null");
    std::ofstream(fifo, std::ios::binary) << slice2;
    ASSERT_TRUE(test::AwaitFile(merged + ".part"));
    usleep(100000);
    EXPECT_EQ(test::EndWithSignal(pid, SIGTERM), 128 + SIGTERM);
    EXPECT_FALSE(std::filesystem::exists(merged + ".part"));
    EXPECT_FALSE(std::filesystem::exists(merged));
}

// Files the writer never writes: numbers with a leading zero or "-0",
// doubled or trailing blanks, in every format; values swapped in a cube; an
// output of another version. verify refuses them, and resume refuses to go on
// with them rather than continuing them.
TEST_F(OutputOwnership, ResumeAndVerifyRefuseWhatTheWriterNeverWrites)
{
    struct Case {
        std::vector<std::string> run;
        std::string from;
        std::string to;
        int verifyStatus;
    };
    const std::vector<std::string> text = {"--bound", "255"};
    const std::vector<std::string> cube = {"--bound", "255", "--cube"};
    const std::vector<std::string> csv = {"--bound", "255", "--format", "csv"};
    const std::vector<std::string> json = {"--bound", "255", "--json"};
    const std::vector<Case> cases = {
        {text, " 64 ", " 064 ", 2},
        {text, " 0 ", " -0 ", 2},
        {text, "solution 1: ", "solution 1:  ", 2},
        {text, "solution 2:", "solution 02:", 2},
        {text, " -129\n", " -129 \n", 2},
        {cube, "  29   64", "  29  064", 2},
        {cube, "  79\n", "  79 \n", 2},
        {csv, ",64,", ",064,", 2},
        {csv, ",0,", ",-0,", 2},
        {json, ",0,", ",-0,", 2},
        {json, "[29,", "[29, ", 2},
        {json, "\"solution\": 1,", "\"solution\":  1,", 2},
        {json, "]}\n", "]} \n", 2},
        {text, "solution 1: 29 64", "solution 1: 64 29", 2},
        {text, PANDICUBE_VERSION_TEXT " --bound", "0.0.9 --bound", 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string whole = RunTool(c.run).out;
        const std::string edited = ReplacedOnce(whole, c.from, c.to);
        ASSERT_NE(edited, whole) << c.from;
        EXPECT_EQ(RunTool({"verify", "-"}, edited).status, c.verifyStatus) << c.to;
        const std::string cut = edited.substr(0, edited.size() * 3 / 5);
        const std::string path = Write("edited-" + std::to_string(n++), cut);
        const auto resumed = RunTool({"resume", path});
        EXPECT_EQ(resumed.status, 2) << c.to << "\n" << resumed.err;
        EXPECT_EQ(ReadFile(path), cut) << c.to;
    }
}

} // namespace
} // namespace pandicube
