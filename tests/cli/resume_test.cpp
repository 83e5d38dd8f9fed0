#include "tests/cli/cli_test_support.h"

#include <gtest/gtest.h>

namespace pandicube {
namespace {

using test::Lines;
using test::ReadFile;
using test::RunTool;
using test::StopAfter;
using test::TempFiles;
using test::With;

// The runs whose outputs are cut and resumed: both engine paths, the bound
// walk, start values, slices, whole cubes and every format.
const std::vector<std::vector<std::string>> kRuns = {
    {"--bound", "300", "--threads", "2"},
    {"--bound", "300", "--reduce"},
    {"--bound", "300", "--cube", "--format", "csv", "--threads", "1"},
    {"--bound", "300", "--json", "--slice", "2/3"},
    {"--bound", "300", "--start", "203,-75,-30,-58"},
    {"--bound", "320", "--reduce", "--start", "203,-75,-30,-58", "--json"},
    {"--bound", "300", "--count-only", "--format", "csv"},
};

// A run killed anywhere (its output cut at any byte) and then resumed holds
// exactly the bytes of the run that was never stopped.
TEST_F(TempFiles, ResumeMakesAKilledOutputWhole)
{
    int n = 0;
    for (const std::vector<std::string>& run : kRuns) {
        const std::string whole = RunTool(run).out;
        const std::size_t head = whole.find('\n') + 1;
        for (double share : {0.0, 0.41, 0.9999}) {
            const auto cut = head + static_cast<std::size_t>(share * static_cast<double>(whole.size() - head));
            const std::string path = Write("killed-" + std::to_string(n++), whole.substr(0, cut));
            const auto resumed = RunTool({"resume", path, "--threads", "2"});
            EXPECT_EQ(resumed.status, 0) << run[2] << " cut at " << cut << "\n" << resumed.err;
            EXPECT_EQ(ReadFile(path), whole) << run[2] << " cut at " << cut;
        }
    }
    // An output cut inside its identity line does not say which run it was.
    const auto lost = RunTool({"resume", Write("lost", "# pandicube-search 0.1.0 --bou")});
    EXPECT_EQ(lost.status, 2);
    EXPECT_NE(lost.err.find("does not hold the output of one run"), std::string::npos) << lost.err;
    EXPECT_EQ(RunTool({"resume", "-"}, RunTool({"--bound", "255"}).out).status, 2);
    EXPECT_EQ(RunTool({"resume", "/nonexistent/run.out"}).status, 2);
}

// A signal ends a run between two records with a record of where it stopped;
// resuming it gives the whole run, and --output names the file only then.
TEST_F(TempFiles, ResumeGoesOnWhereASignalStoppedTheRun)
{
    int n = 0;
    for (const std::vector<std::string>& run : kRuns) {
        const std::string whole = RunTool(run).out;
        for (int looks : {0, 25}) {
            const std::string path = Path("stopped-" + std::to_string(n++));
            const auto stopped = RunTool(With(run, {"--output", path}), "", false, StopAfter(looks));
            if (stopped.status == 0) continue; // the run ended before it was asked to stop
            EXPECT_EQ(stopped.status, 128 + 15) << run[2];
            EXPECT_FALSE(std::filesystem::exists(path));
            const std::string part = ReadFile(path + ".part");
            EXPECT_NE(Lines(part).back().find("nterrupted"), std::string::npos) << Lines(part).back();
            EXPECT_NE(stopped.err.find("pandicube-search resume " + path + ".part goes on"), std::string::npos);
            const auto resumed = RunTool({"resume", path});
            EXPECT_EQ(resumed.status, 0) << resumed.err;
            EXPECT_EQ(ReadFile(path), whole) << run[2] << " after " << looks;
            EXPECT_FALSE(std::filesystem::exists(path + ".part"));
        }
    }
    const auto again = RunTool({"resume", Write("complete", RunTool({"--bound", "255"}).out)});
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.err.find("is complete; nothing to do"), std::string::npos);
}

// The real program, stopped by real signals: a slice killed part-way is
// refused by merge, then resumed, and the slices merge into the whole run;
// a threaded run and a bound walk stopped by SIGINT resume alike.
TEST_F(TempFiles, RealProgramStoppedBySignalsResumesToTheWholeRun)
{
    const std::vector<std::string> run = {"--bound", "400", "--threads", "1"};
    const std::string first = Write("slice-1", RunTool(With(run, {"--slice", "1/2"})).out);
    const std::string second = Path("slice-2");
    const pid_t pid = test::StartProgram(With(run, {"--slice", "2/2"}), second);
    ASSERT_EQ(test::StopProgramAt(pid, second, 100000, SIGKILL), 128 + SIGKILL);
    const auto refused = RunTool({"merge", first, second});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find(second + " is incomplete: no completion record"), std::string::npos) << refused.err;
    EXPECT_EQ(RunTool({"resume", second}).status, 0);
    const std::string whole = RunTool(run).out;
    EXPECT_EQ(RunTool({"merge", second, first}).out, whole);

    for (const std::vector<std::string>& stopped :
         {std::vector<std::string>{"--bound", "400", "--threads", "2"}, {"--bound", "1000", "--reduce"}}) {
        const std::string path = Path("interrupted" + stopped[1]);
        const int status = test::StopProgramAt(test::StartProgram(With(stopped, {"--output", path}), "/dev/null"),
                                               path + ".part", 4000, SIGINT);
        EXPECT_EQ(status, 128 + SIGINT) << stopped[1];
        EXPECT_EQ(RunTool({"resume", path}).status, 0);
        EXPECT_EQ(ReadFile(path), RunTool(stopped).out) << stopped[1];
    }
}

} // namespace
} // namespace pandicube
