#include "cli/formats/output_judge.h"
#include "cli/formats/solution_writer.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/search_runs.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace pandicube {
namespace {

// An output of `id` holding `cubes`, written by the tool's own writer, so
// that its numbers, count and checksum agree with the cubes.
std::string OutputOf(const RunIdentity& id, const std::vector<Entries>& cubes)
{
    std::ostringstream out;
    SolutionWriter writer(out, id);
    writer.WriteHead();
    for (const Entries& e : cubes) {
        const Cells cells = CellsFromEntries(e);
        writer.WriteSolution(writer.Solutions() + 1, cells, LargestValue(cells));
    }
    writer.WriteCompletion();
    return out.str();
}

// What a run lists, as verify and merge hold an output to it.
class RunRules : public TempFiles {};

// Every cube the run cannot list, and every solution or class outside the
// slice its identity names, is refused with the rule it breaks; the sound
// outputs they were made from pass.
TEST_F(RunRules, VerifyAndMergeRefuseWhatTheRunCannotList)
{
    std::vector<Entries> run;
    for (const auto& s : test::RecordRun({300}).reporter.solutions) run.push_back(s.entries);
    const Entries first = run.front();
    const auto edited = [&](int entry, std::int32_t by) {
        Entries e = first;
        e[static_cast<std::size_t>(entry)] += by;
        return std::vector<Entries>{e};
    };
    Entries complement = first;
    for (int k = 1; k <= kEntryCount; ++k)
        complement[static_cast<std::size_t>(k)] = Complement(first[static_cast<std::size_t>(k)]);
    // Under --reduce a later cube may not reach the bound an earlier one set.
    const Entries larger = *std::find_if(run.begin(), run.end(), [&](const Entries& e) {
        return LargestValue(CellsFromEntries(e)) > LargestValue(CellsFromEntries(first));
    });
    RunIdentity whole;
    whole.version = ProgramVersion();
    RunIdentity walk = whole;
    walk.setup.reduceBound = true;
    RunIdentity tight = whole;
    tight.setup.upperBound = LargestValue(CellsFromEntries(first)) - 1;

    std::vector<std::string> slices;
    for (const char* k : {"1", "2", "3", "4", "5"})
        slices.push_back(
            Write(k + std::string("-of-5"), RunTool({"--bound", "300", "--slice", k + std::string("/5")}).out));
    const std::string fake = Write("fake-2", test::Replaced(test::ReadFile(slices[0]), "--slice 1/5", "--slice 2/5"));
    const std::string classes = RunTool({"--bound", "400", "--classes", "--slice", "1/3"}).out;
    const std::string fakeClasses = test::Replaced(classes, "--slice 1/3", "--slice 2/3");

    std::vector<Entries> withComplement = run;
    withComplement.push_back(complement);
    struct Case {
        std::string input;
        std::vector<std::string> args;
        int status;
        std::string message; // on standard error, or standard output for a cube's rule
    };
    const std::string e14 = std::to_string(first[kE14]);
    const std::string complementE14 = std::to_string(complement[kE14]);
    const std::string largerBound = std::to_string(LargestValue(CellsFromEntries(larger)));
    for (const Case& c : std::vector<Case>{
             {OutputOf(whole, withComplement),
              {"verify", "-"},
              2,
              "505 is not one that its run lists: its e14 " + complementE14},
             {OutputOf(whole, withComplement), {"verify", "--classes", "-"}, 2, "solution 505 is not one"},
             {OutputOf(whole, edited(kE14, 1)), {"verify", "-"}, 2, "fails the filter of loop 1 (a multiple of 3)"},
             {OutputOf(whole, edited(kE18, 3)), {"verify", "-"}, 2, "its e14 " + e14 + " and e18 "},
             {OutputOf(whole, edited(kE18, 3)), {"verify", "-"}, 2, "fail the filter of loop 2"},
             {OutputOf(whole, edited(kE17, 1)), {"verify", "-"}, 2, "fail the filter of loop 4"},
             {OutputOf(tight, {first}), {"verify", "-"}, 1, "bound: cell"},
             {OutputOf(walk, {first, larger}), {"verify", "-"}, 2, "2 carries the best upper bound " + largerBound},
             {"", {"verify", fake}, 2, "line 2: solution 1 lies in slice 1 of 5, not 2 (its outer unit is e14 "},
             {"", {"merge", slices[0], fake, slices[2], slices[3], slices[4]}, 2, "solution 1 lies in slice 1 of 5"},
             {fakeClasses, {"verify", "-"}, 2, "class 1 lies in slice 1 of 3, not 2"},
             {fakeClasses, {"merge", "-"}, 2, "class 1 lies in slice 1 of 3"},
         }) {
        const auto result = RunTool(c.args, c.input);
        EXPECT_EQ(result.status, c.status) << c.message << '\n' << result.err;
        EXPECT_NE((result.err + result.out).find(c.message), std::string::npos) << c.message << '\n' << result.err;
    }
    for (const std::string& sound : {OutputOf(whole, run), OutputOf(walk, {first}), classes})
        EXPECT_EQ(RunTool({"verify", "-"}, sound).status, 0);
    EXPECT_EQ(RunTool({"merge", slices[0], slices[1], slices[2], slices[3], slices[4]}).status, 0);
}

// A file edited with its count and checksum made anew passes every check but
// the search of its run again, which names the first line that differs.
TEST_F(RunRules, VerifySearchComparesTheFileWithTheRunSearchedAgain)
{
    std::vector<Entries> run;
    for (const auto& s : test::RecordRun({255}).reporter.solutions) run.push_back(s.entries);
    RunIdentity whole;
    whole.version = ProgramVersion();
    whole.setup.upperBound = 255;
    RunIdentity older = whole;
    older.version = "0.0.9";
    const std::string counted = RunTool({"--bound", "300", "--slice", "2/5", "--count-only"}).out;
    struct Case {
        std::string name, text;
        std::vector<std::string> more;
        int status;
        std::string message;
    };
    for (const Case& c : std::vector<Case>{
             {"whole", OutputOf(whole, run), {"--threads", "2"}, 0, "searched again: the run writes exactly these"},
             {"one-less",
              OutputOf(whole, {run.begin(), run.end() - 1}),
              {},
              2,
              "line 25 is not what the run writes there: the run writes \"solution 24: "},
             {"count",
              test::Replaced(counted, "--slice 2/5", "--slice 3/5"),
              {},
              2,
              "line 3 is not what the run writes"},
             {"older", OutputOf(older, run), {}, 2, "made by pandicube-search 0.0.9"},
         }) {
        const std::string path = Write(c.name, c.text);
        EXPECT_EQ(RunTool({"verify", path}).status, 0) << c.name;
        std::vector<std::string> args = {"verify", "--search", path};
        args.insert(args.end(), c.more.begin(), c.more.end());
        const auto result = RunTool(args);
        EXPECT_EQ(result.status, c.status) << c.name << '\n' << result.err;
        EXPECT_NE((result.out + result.err).find(c.message), std::string::npos) << c.name << '\n' << result.err;
    }
    // A signal ends the search with its status, not with a difference.
    EXPECT_EQ(RunTool({"verify", "--search", Write("stopped", counted)}, "", false, test::StopAfter(3)).status, 143);
    EXPECT_EQ(RunTool({"verify", "--search", "-"}, OutputOf(whole, run)).status, 2);
    EXPECT_EQ(RunTool({"verify", "--threads", "2", Write("threads", OutputOf(whole, run))}).status, 2);
}

} // namespace
} // namespace pandicube
