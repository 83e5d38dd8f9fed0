#include "cli/commands/resume_command.h"
#include "cli/formats/number_text.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/search_runs.h"
#include "tests/support/worked_example.h"

#include <gtest/gtest.h>

#include <random>

namespace pandicube {
namespace {

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
    {"--bound", "300", "--census", "--json", "--slice", "2/3"},
};

// Where an unfinished output goes on, from what it holds alone: the unit its
// interruption names, after the solutions written, or the unit of a killed
// run's last solution; a run that cannot go on at a unit starts over and
// keeps nothing.
TEST(WhereRunGoesOn, FollowsTheInterruptionOrTheLastSolution)
{
    Entries other = test::kWorkedExample; // a solution of a later outer unit
    other[kE18] += 9;
    const OuterUnit named{-33, 201};
    const OuterUnit otherUnit{other[kE14], other[kE18]};
    enum class Ends { Interrupted, AtStartValues, Killed };
    struct Case {
        const char* name;
        bool start;
        bool countOnly;
        Ends ends;
        std::vector<Entries> solutions;
        std::optional<OuterUnit> unit; // none: the run starts over
        std::uint64_t keep;
        bool after;
    };
    const Entries first = test::kWorkedExample;
    const std::vector<Case> cases = {
        {"interrupted listing", false, false, Ends::Interrupted, {first, other}, named, 200, true},
        {"interrupted before a solution", false, false, Ends::Interrupted, {}, named, 40, false},
        {"interrupted count", false, true, Ends::Interrupted, {}, named, 40, false},
        {"stopped at its start values", true, false, Ends::AtStartValues, {first}, std::nullopt, 0, false},
        {"killed listing", false, false, Ends::Killed, {first, other}, otherUnit, 200, true},
        {"killed in its first unit from start values",
         true,
         false,
         Ends::Killed,
         {first, first},
         std::nullopt,
         0,
         false},
        {"killed after its first unit from start values",
         true,
         false,
         Ends::Killed,
         {first, other},
         otherUnit,
         200,
         true},
        {"killed before a solution", false, false, Ends::Killed, {}, std::nullopt, 0, false},
        {"killed count", false, true, Ends::Killed, {}, std::nullopt, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OutputPart part;
        part.identity = RunIdentity{};
        if (c.start) part.identity->setup.start = test::kWorkedExampleStart;
        part.identity->countOnly = c.countOnly;
        part.headEnd = 40;
        part.solutions = static_cast<std::int64_t>(c.solutions.size());
        part.checksum = 0x1234;
        for (std::size_t i = 0; i < c.solutions.size(); ++i) {
            CubeRecord record;
            record.cells = CellsFromEntries(c.solutions[i]);
            record.end = 100 * (i + 1);
            record.bestBound = 280 - static_cast<std::int32_t>(i);
            if (i == 0) part.first = record;
            part.last = record;
        }
        if (c.ends != Ends::Killed) {
            CompletionRecord stop;
            stop.solutions = 7;
            stop.bestBound = 250;
            stop.checksum = 0xabc;
            stop.complete = false;
            if (c.ends == Ends::Interrupted) stop.next = named;
            part.completion = stop;
        }
        const ResumePoint point = WhereRunGoesOn(part);
        EXPECT_EQ(point.from.unit, c.unit);
        EXPECT_EQ(point.keep, c.keep);
        EXPECT_EQ(point.from.after.has_value(), c.after);
        if (c.after) {
            EXPECT_EQ(*point.from.after, OrderKeyOf(c.solutions.back()));
        }
        if (!c.unit) continue;
        // The counts go on from the interruption's record, or from the
        // solutions read.
        const bool interrupted = c.ends == Ends::Interrupted;
        EXPECT_EQ(point.from.solutions, interrupted ? 7 : part.solutions);
        EXPECT_EQ(point.from.checksum, interrupted ? 0xabc : 0x1234u);
        EXPECT_EQ(point.from.bestBound, interrupted ? std::optional(250) : part.last->bestBound);
    }
}

// resume and --continue: a stopped or killed output goes on to the whole run.
class ResumeCommand : public TempFiles {};

// A run killed anywhere (its output cut at any byte) and then resumed holds
// exactly the bytes of the run that was never stopped.
TEST_F(ResumeCommand, ResumeMakesAKilledOutputWhole)
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
TEST_F(ResumeCommand, ResumeGoesOnWhereASignalStoppedTheRun)
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

// A listing of the classes numbers them after a first search of their
// openers, made when the first class comes to be numbered: a signal that
// lands in that search stops the run before the first class, at the unit of
// its opener, and one that lands anywhere else stops it between two classes.
// Either way --continue goes on to the whole listing.
TEST_F(ResumeCommand, ClassesStoppedInTheirFirstSearchOrLaterGoOnToTheWholeListing)
{
    const std::vector<std::string> run = {"--bound", "300", "--classes", "--threads", "1"};
    const std::string whole = RunTool(run).out;
    // Solution 1 of the run opens class 1.
    const std::string solution1 = Lines(RunTool({"--bound", "300", "--format", "csv"}).out).at(2);
    const std::vector<std::string_view> first = SplitOn(solution1, ',');
    const std::string firstUnit = "next unit e14 " + std::string(first.at(14)) + " e18 " + std::string(first.at(18));
    int beforeTheFirstClass = 0;
    int stops = 0;
    for (int looks = 0, step = 1;; looks += step, step += step / 2 + 1) {
        const std::string path = Path("classes-" + std::to_string(looks));
        const std::vector<std::string> again = With(run, {"--output", path, "--continue"});
        const auto stopped = RunTool(again, "", false, StopAfter(looks));
        if (stopped.status == 0) break; // the run ended before it was asked to stop
        ASSERT_EQ(stopped.status, 128 + 15) << looks;
        ++stops;
        const std::vector<std::string> part = Lines(ReadFile(path + ".part"));
        if (part.size() == 2 && part[1].ends_with(firstUnit)) ++beforeTheFirstClass;
        const auto continued = RunTool(again);
        EXPECT_EQ(continued.status, 0) << continued.err;
        EXPECT_EQ(ReadFile(path), whole) << "stopped after " << looks << " looks";
    }
    // The search of the openers looks for a signal at every unit: many of
    // the stops land in it (4 of 19 today), and some later.
    EXPECT_GE(beforeTheFirstClass, 3) << stops << " stops";
    EXPECT_GT(stops, beforeTheFirstClass);
}

// --output FILE --continue is safe to run again, as a requeued batch task
// runs its command again: it goes on with FILE.part of the same run, leaves
// a complete FILE of the same run alone, and refuses another run's FILE or
// part, naming both runs. A listing of classes, which cannot be continued,
// starts over.
TEST_F(ResumeCommand, ContinueGoesOnWithItsOwnRunOnly)
{
    int n = 0;
    for (const std::vector<std::string>& run :
         {kRuns[0], kRuns[3], kRuns[6], kRuns[7], std::vector<std::string>{"--bound", "300", "--classes"}}) {
        const std::string whole = RunTool(run).out;
        const std::string path = Path("continued-" + std::to_string(n++));
        const std::vector<std::string> again = With(run, {"--output", path, "--continue"});
        ASSERT_EQ(RunTool(again, "", false, StopAfter(3)).status, 128 + 15) << run[2];
        const std::string part = ReadFile(path + ".part");
        const auto other = RunTool({"--bound", "301", "--output", path, "--continue"});
        EXPECT_EQ(other.status, 2) << run[2];
        EXPECT_TRUE(
            other.err.starts_with("pandicube-search: --continue: " + path + ".part holds another run (--bound 300 "))
            << other.err;
        EXPECT_NE(other.err.find("), not this one (--bound 301 --format text); remove it"), std::string::npos)
            << other.err;
        EXPECT_EQ(ReadFile(path + ".part"), part);
        const auto continued = RunTool(again);
        EXPECT_EQ(continued.status, 0) << continued.err;
        EXPECT_EQ(ReadFile(path), whole) << run[2];
        EXPECT_FALSE(std::filesystem::exists(path + ".part"));
        const auto done = RunTool(again);
        EXPECT_EQ(done.status, 0) << done.err;
        EXPECT_NE(done.err.find(path + " is complete; nothing to do"), std::string::npos) << done.err;
        EXPECT_EQ(RunTool({"--bound", "301", "--output", path, "--continue"}).status, 2);
        EXPECT_EQ(ReadFile(path), whole) << run[2];
    }
    ExpectRefused({
        {{"--bound", "300", "--continue"},
         "pandicube-search: --continue goes with --output FILE: it goes on with that file\n"
         "Try 'pandicube-search --help'.\n"},
        {{"--bound", "300", "--continue", "--output",
          Write("junk.part", "not an output\n").substr(0, Path("junk").size())},
         "pandicube-search: --continue: " + Path("junk.part") +
             " is not the output of a run; remove it or choose another FILE\n"},
    });
}

// Runs look for a signal inside a unit too, searched value by value or by
// rows (every 64 rows, so at bounds whose units have more): a count stopped
// there counts only the units before it, so its resume counts each solution
// once; a listing goes on after its last solution.
TEST_F(ResumeCommand, RunsStoppedInsideAUnitResumeToTheWholeRun)
{
    int n = 0;
    for (const std::vector<std::string>& run : std::vector<std::vector<std::string>>{
             {"--bound", "330", "--reduce", "--count-only"},
             {"--bound", "330", "--start", "203,-75,-30,-58", "--count-only", "--json"},
             {"--bound", "330", "--reduce", "--start", "203,-75,-30,-58", "--format", "csv"},
             {"--bound", "1000", "--count-only", "--slice", "7/300", "--threads", "2"},
             {"--bound", "700", "--slice", "5/400", "--threads", "2", "--json"}}) {
        const std::string whole = RunTool(run).out;
        for (int looks : {1, 2, 3, 5, 8, 13, 21, 34, 55, 89}) {
            if (test::kSanitized && looks % 2 == 0) continue; // every other stop there
            const std::string path = Path("inside-" + std::to_string(n++));
            if (RunTool(With(run, {"--output", path}), "", false, StopAfter(looks)).status == 0) continue;
            EXPECT_EQ(RunTool({"resume", path}).status, 0);
            EXPECT_EQ(ReadFile(path), whole) << run[2] << " after " << looks;
        }
    }
}

// A complete NAME.part that cannot take its name (a folder stands at NAME)
// is never called complete: each resume fails with the reason, until the
// name is free and a resume finishes the rename.
TEST_F(ResumeCommand, ResumeCallsAnOutputCompleteOnlyUnderItsName)
{
    const std::string path = Path("unrenamed");
    const std::string whole = RunTool({"--bound", "255"}).out;
    const std::string interrupted = Write("unrenamed.part", whole.substr(0, whole.find('\n') + 1));
    std::filesystem::create_directories(path + "/inside");
    for (int attempt = 0; attempt < 2; ++attempt) {
        const test::CliResult result = test::RunProgram({"resume", interrupted});
        EXPECT_EQ(result.status, 3) << attempt;
        EXPECT_NE(result.err.find("cannot rename " + interrupted + " to " + path + ": Is a directory"),
                  std::string::npos)
            << result.err;
        EXPECT_EQ(result.err.find("complete"), std::string::npos) << result.err;
    }
    std::filesystem::remove_all(path);
    const test::CliResult renamed = test::RunProgram({"resume", path});
    EXPECT_EQ(renamed.status, 0);
    EXPECT_EQ(renamed.err, "pandicube-search: resume: " + path + " is complete; nothing to do\n");
    EXPECT_EQ(ReadFile(path), whole);
    EXPECT_FALSE(std::filesystem::exists(interrupted));
}

// A resume stopped before it has left the unit it went on in (where it
// leaves out the solutions already written), and every resume of that in a
// chain, still gives the whole run.
TEST_F(ResumeCommand, ResumesOfStoppedResumesGiveTheWholeRun)
{
    int n = 0;
    for (const std::vector<std::string>& run : kRuns) {
        const std::string whole = RunTool(run).out;
        const std::size_t head = whole.find('\n') + 1;
        const std::string path = Write("chain-" + std::to_string(n++), whole.substr(0, (head + whole.size()) / 2));
        for (int looks : {0, 0, 2, 0}) {
            const int status = RunTool({"resume", path}, "", false, StopAfter(looks)).status;
            EXPECT_TRUE(status == 0 || status == 128 + 15) << run[2] << ": " << status;
        }
        EXPECT_EQ(RunTool({"resume", path}).status, 0) << run[2];
        EXPECT_TRUE(ReadFile(path) == whole) << run[2];
    }
}

// Counts past 2^32 go through resume: an interrupted count whose record is
// raised by 3,000,000,000 ends 3,000,000,000 above the whole run's count.
TEST_F(ResumeCommand, ResumeCarriesCountsPast32Bits)
{
    for (const std::string format : {"text", "json", "csv"}) {
        const std::vector<std::string> run = {"--bound", "300", "--count-only", "--format", format};
        const std::string path = Path("count-" + format);
        ASSERT_EQ(RunTool(With(run, {"--output", path}), "", false, StopAfter(40)).status, 128 + 15);
        std::string part = ReadFile(path + ".part");
        const std::size_t at = part.find(format == "json" ? "\"solutions\": " : "SIGTERM: ");
        ASSERT_NE(at, std::string::npos) << part;
        const std::size_t from = part.find_first_of("0123456789", at);
        const std::size_t to = part.find_first_not_of("0123456789", from);
        const std::int64_t counted = std::stoll(part.substr(from, to - from));
        part.replace(from, to - from, std::to_string(counted + 3000000000));
        std::ofstream(path + ".part", std::ios::binary) << part;
        ASSERT_EQ(RunTool({"resume", path}).status, 0) << format;
        EXPECT_EQ(ReadFile(path), ReplacedNumber(RunTool(run).out, "504", "3000000504"));
        EXPECT_EQ(RunTool({"verify", path}).status, 0) << format;
    }
}

// Random chains of real processes: a run, then resumes, each stopped at a
// random moment by SIGINT, SIGTERM, SIGHUP or SIGKILL (after SIGKILL its
// output also cut at a random byte, as a lost machine leaves it), until one
// completes; the output then holds exactly the bytes of the run that was
// never stopped. The choices come from a fixed seed; the moments at which
// the signals land depend on the machine.
TEST_F(ResumeCommand, RandomChainsOfSignalsAndResumesGiveTheWholeRun)
{
    const std::vector<std::vector<std::string>> runs = {
        {"--bound", "300", "--threads", "2"},
        {"--bound", "300", "--json", "--threads", "2"},
        {"--bound", "300", "--format", "csv", "--threads", "1"},
        {"--bound", "300", "--reduce", "--json"},
        {"--bound", "300", "--start", "203,-75,-30,-58", "--cube"},
        {"--bound", "300", "--start", "203,-75,-30,-58", "--format", "csv"},
        {"--bound", "320", "--reduce", "--start", "203,-75,-30,-58", "--threads", "2"},
        {"--bound", "300", "--slice", "2/3", "--format", "csv", "--threads", "2"},
        {"--bound", "300", "--count-only", "--json"},
    };
    const std::array<int, 4> signals = {SIGINT, SIGTERM, SIGHUP, SIGKILL};
    std::mt19937 random(1612);
    int n = 0;
    for (const std::vector<std::string>& run : runs) {
        const std::string whole = RunTool(run).out;
        for (int chain = 0; chain < 3; ++chain) {
            const std::string path = Path("random-chain-" + std::to_string(n++));
            std::vector<std::string> args = With(run, {"--output", path});
            std::string story;
            for (const std::string& arg : run) story += arg + " ";
            int status = -1;
            for (int step = 0; step < 6 && status != 0; ++step) {
                const int signal = step < 5 ? signals[random() % signals.size()] : 0;
                // Mostly within the first milliseconds, where a resume reads
                // its output and starts on the unit it goes on in.
                const auto delay = std::chrono::microseconds(random() % 3 == 0 ? random() % 40000 : random() % 6000);
                status = test::StopProgramAfter(test::StartProgram(args, "/dev/null"), delay, signal);
                story += " " + args[0] + " " + std::to_string(signal) + "@" + std::to_string(delay.count()) +
                         "us=" + std::to_string(status);
                if (status != 0 && status != 128 + signal) break;
                std::string part = ReadFile(path + ".part");
                const std::size_t head = part.find('\n') + 1;
                if (status == 128 + SIGKILL && head > 0 && head < part.size()) {
                    const std::size_t cut = head + random() % (part.size() - head);
                    std::filesystem::resize_file(path + ".part", cut);
                    story += " cut " + std::to_string(cut) + "/" + std::to_string(part.size());
                }
                // An output cut inside its identity line is run again.
                args = head > 0 ? std::vector<std::string>{"resume", path} : With(run, {"--output", path});
            }
            EXPECT_EQ(status, 0) << story;
            EXPECT_TRUE(ReadFile(path) == whole) << story;
        }
    }
}

// The real program, stopped by real signals: a slice killed part-way is
// refused by merge, then resumed, and the slices merge into the whole run;
// a threaded run and a bound walk stopped by SIGINT resume alike.
TEST_F(ResumeCommand, RealProgramStoppedBySignalsResumesToTheWholeRun)
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
