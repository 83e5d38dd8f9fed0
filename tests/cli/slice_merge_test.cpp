#include "cli/commands/search_command.h"
#include "search/cube/solution_order.h"
#include "search/run_setup.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/search_runs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

namespace pandicube {
namespace {

// The solution lines of a text run ("solution N: e1 ... e62") without their
// numbers, so that lines of different runs compare.
std::vector<std::string> EntryLines(const std::string& text)
{
    std::vector<std::string> entries;
    for (const std::string& line : Lines(text)) {
        if (line.rfind("solution ", 0) == 0) entries.push_back(line.substr(line.find(':')));
    }
    return entries;
}

// The slices of a run, and merge, which joins them into the whole run.
class SliceMerge : public TempFiles {};

TEST(SliceUnits, DealsEveryUnitToExactlyOneSlice)
{
    const Limits limits = LimitsOf(300);
    const std::vector<OuterUnit> units = test::UnitsOf(OuterUnits(limits, false).Begin());
    for (unsigned n : {1u, 3u, 7u, 100u, 5000u}) {
        std::multiset<std::pair<std::int32_t, std::int32_t>> seen;
        for (unsigned k = 1; k <= n; ++k) {
            const auto part = test::UnitsOf(OuterUnits(limits, false, Slice{k, n}).Begin());
            EXPECT_LE(part.size(), (units.size() + n - 1) / n);
            for (std::size_t i = 1; i < part.size(); ++i) EXPECT_TRUE(UnitBefore(part[i - 1], part[i]));
            for (const OuterUnit& u : part) seen.insert({u.e14, u.e18});
        }
        EXPECT_EQ(seen.size(), units.size()) << n;
        EXPECT_EQ(std::set(seen.begin(), seen.end()).size(), units.size()) << n;
    }
    EXPECT_EQ(SliceOfUnit(0, 3), 1u);
    EXPECT_EQ(SliceOfUnit(3, 3), 3u); // the second round runs backwards
    EXPECT_EQ(SliceOfUnit(5, 3), 1u);
    EXPECT_EQ(SliceOfUnit(6, 3), 1u);
}

TEST_F(SliceMerge, SlicesTogetherAreTheWholeRunAndMergeRestoresItsOrder)
{
    const std::string whole = RunTool({}).out;
    const std::vector<std::string> wholeEntries = EntryLines(whole);
    ASSERT_EQ(wholeEntries.size(), 504u);
    for (int n : {1, 3, 7}) {
        std::multiset<std::string> together;
        std::vector<std::string> files;
        for (int k = n; k >= 1; --k) {
            const auto slice = RunTool({"--slice", std::to_string(k) + "/" + std::to_string(n), "--threads", "2"});
            ASSERT_EQ(slice.status, 0);
            for (const std::string& e : EntryLines(slice.out)) together.insert(e);
            files.push_back(Write(std::to_string(n) + "-" + std::to_string(k), slice.out));
        }
        EXPECT_EQ(together, std::multiset<std::string>(wholeEntries.begin(), wholeEntries.end())) << n;
        EXPECT_EQ(std::set<std::string>(together.begin(), together.end()).size(), together.size()) << n;

        std::vector<std::string> args = {"merge"};
        args.insert(args.end(), files.begin(), files.end());
        const auto merged = RunTool(args);
        EXPECT_EQ(merged.status, 0) << merged.err;
        EXPECT_EQ(merged.out, whole) << n;
    }
}

TEST_F(SliceMerge, MergeKeepsEachFormatAndSumsCounts)
{
    for (const std::vector<std::string>& format : {std::vector<std::string>{"--json", "--cube"},
                                                   {"--format", "csv"},
                                                   {"--format", "csv", "--cube"},
                                                   {"--cube"},
                                                   {"--count-only"},
                                                   {"--count-only", "--format", "csv"},
                                                   {"--census"},
                                                   {"--census", "--json"},
                                                   {"--census", "--format", "csv"}}) {
        const std::vector<std::string> run = With(format, {"--bound", "280"});
        std::string concatenated;
        for (int k = 3; k >= 1; --k) concatenated += RunTool(With(run, {"--slice", std::to_string(k) + "/3"})).out;
        const auto merged = RunTool({"merge", "-"}, concatenated);
        EXPECT_EQ(merged.status, 0) << merged.err;
        EXPECT_EQ(merged.out, RunTool(run).out) << format[0] << " " << format.back();
    }
}

// Counts past 2^32 add up: count-only slices whose records are raised to
// 3,000,000,000 each merge into 6,000,000,000 with the whole run's checksum;
// counts whose sum, or which themselves, leave the 64-bit range are refused.
TEST_F(SliceMerge, MergeAddsCountsPast32BitsAndRefusesThemPast64)
{
    // The output with its count (after the identity line) replaced.
    const auto recount = [](const std::string& output, const std::string& to) {
        std::size_t at = output.find("# complete: ");
        at = at == std::string::npos ? output.find("\"solutions\": ") : at;
        const std::size_t from = output.find_first_of("0123456789", at);
        const std::string count = output.substr(from, output.find_first_not_of("0123456789", from) - from);
        const std::size_t head = output.find('\n') + 1;
        return output.substr(0, head) + ReplacedNumber(output.substr(head), count, to);
    };
    for (const std::string format : {"text", "json", "csv"}) {
        const std::vector<std::string> run = {"--bound", "280", "--count-only", "--format", format};
        const auto slice = [&](const char* k, const std::string& to) {
            return recount(RunTool(With(run, {"--slice", std::string(k) + "/2"})).out, to);
        };
        const std::string merged = slice("1", "3000000000") + slice("2", "3000000000");
        const auto result = RunTool({"merge", "-"}, merged);
        EXPECT_EQ(result.status, 0) << format << result.err;
        EXPECT_EQ(result.out, recount(RunTool(run).out, "6000000000")) << format;
        EXPECT_EQ(RunTool({"verify", "-"}, result.out).status, 0) << format;
        for (const auto& [one, two] :
             {std::pair<std::string, std::string>{"4611686018427387904", "4611686018427387904"},
              {"9223372036854775808", "1"}}) {
            const auto refused = RunTool({"merge", "-"}, slice("1", one) + slice("2", two));
            EXPECT_EQ(refused.status, 2) << format << " " << one;
            EXPECT_EQ(refused.out, "") << format << " " << one;
        }
    }
}

// A census or a count lists nothing that shows which slice it is (a listing's
// cubes do): a slice relabelled or copied under another slice's name is found
// by its count and checksum, which two slices of one run never share, and
// merge and merge --check refuse it, naming both files.
TEST_F(SliceMerge, MergeRefusesASliceThatHoldsWhatAnotherHolds)
{
    int n = 0;
    for (const std::vector<std::string>& kind :
         std::vector<std::vector<std::string>>{{"--census"}, {"--count-only"}, {"--classes", "--count-only"}}) {
        const auto slice = [&](const std::string& k) {
            return RunTool(With(kind, {"--bound", "300", "--slice", k + "/3"})).out;
        };
        const std::string tag = std::to_string(n++);
        const std::string one = Write("one-" + tag, slice("1"));
        const std::string three = Write("three-" + tag, slice("3"));
        std::string relabelled = ReadFile(one);
        relabelled.replace(relabelled.find("--slice 1/3"), 11, "--slice 2/3");
        const std::string two = Write("two-" + tag, relabelled);
        const std::string says =
            two + " (slice 2 of 3) holds what " + one + " (slice 1 of 3) holds: relabelled or copied?";
        const auto merged = RunTool({"merge", one, two, three});
        EXPECT_EQ(merged.status, 2) << tag;
        EXPECT_EQ(merged.out, "") << tag;
        EXPECT_NE(merged.err.find(says), std::string::npos) << merged.err;
        const auto checked = RunTool({"merge", "--check", three, two, one});
        EXPECT_EQ(checked.status, 2) << tag;
        EXPECT_NE(checked.out.find("copied: " + says), std::string::npos) << checked.out;
        const auto sound = RunTool({"merge", one, Write("real-two-" + tag, slice("2")), three});
        EXPECT_EQ(sound.status, 0) << tag << sound.err;
        EXPECT_EQ(sound.out, RunTool(With(kind, {"--bound", "300"})).out) << tag;
    }
}

// Every set of inputs that is not exactly the complete slices of one run is
// refused with what is wrong, and `merge --check` says the same per slice.
TEST_F(SliceMerge, MergeRefusesAnythingButACompleteSetOfSlices)
{
    const auto slice = [&](const std::string& k, std::vector<std::string> more = {}) {
        return Write("slice-" + k.substr(0, k.find('/')) + "-of-" + k.substr(k.find('/') + 1) +
                         std::to_string(more.size()),
                     RunTool(With(more, {"--bound", "300", "--slice", k, "--threads", "1"})).out);
    };
    const std::string s1 = slice("1/3"), s2 = slice("2/3"), s3 = slice("3/3");
    const std::string text3 = RunTool({"--bound", "300", "--slice", "3/3"}).out;
    const std::string killed = Write("killed", text3.substr(0, text3.size() / 2));
    const std::string stopped =
        Write("stopped", RunTool({"--bound", "300", "--slice", "3/3", "--threads", "1"}, "", false, StopAfter(40)).out);
    const std::string foreignBound = Write("bound", RunTool({"--bound", "301", "--slice", "3/3"}).out);
    const std::string otherCount = slice("2/4");
    const std::string counts = slice("3/3", {"--count-only"});
    const std::string old = Write("old", "solution 1: " + std::string(Lines(Body(text3))[0]).substr(12) + "\n");
    struct Case {
        std::vector<std::string> files;
        std::string message;
    };
    for (const Case& c : std::vector<Case>{
             {{s1, s3}, "slice 2 of 3 is missing"},
             {{s1}, "slices 2 and 3 of 3 are missing"},
             {{s1, s2, s2, s3}, "slice 2 of 3 is given more than once"},
             {{s1, s2, killed}, killed + " is incomplete: no completion record"},
             {{s1, s2, stopped}, stopped + " is incomplete: interrupted by SIGTERM"},
             {{s1, s2, foreignBound}, foreignBound + " was made with --bound 301, the others with --bound 300"},
             {{s1, s2, s3, otherCount}, otherCount + " was made as 4 slices, the others as 3 slices"},
             {{s1, s2, counts}, counts + " was made with --count-only, the others without --count-only"},
             {{s1, s2, old}, old + " is an output without identity line"},
             {{s1, s2, s3, Write("bad", "{\"program\": 1}\n")}, "not the identity object"},
             {{"/nonexistent/slice.txt"}, "cannot open /nonexistent/slice.txt: No such file or directory"},
             {{"/"}, "/ is a directory"},
         }) {
        std::vector<std::string> args = {"merge"};
        args.insert(args.end(), c.files.begin(), c.files.end());
        const auto result = RunTool(args);
        EXPECT_EQ(result.status, 2) << c.message;
        EXPECT_TRUE(result.out.empty()) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.message << "\n" << result.err;
    }

    const auto check = RunTool({"merge", "--check", s1, killed, foreignBound});
    EXPECT_EQ(check.status, 2);
    EXPECT_EQ(Lines(check.out)[0], "run: pandicube-search " + ProgramVersion() + " --bound 300 --format text");
    EXPECT_EQ(Lines(check.out)[1],
              "foreign: " + foreignBound + " was made with --bound 301, the others with --bound 300");
    EXPECT_EQ(Lines(check.out)[2],
              "slice 1: complete, " +
                  std::to_string(Lines(Body(RunTool({"--bound", "300", "--slice", "1/3"}).out)).size() - 2) +
                  " solutions (" + s1 + ")");
    EXPECT_EQ(Lines(check.out)[3], "slice 2: missing");
    EXPECT_EQ(Lines(check.out)[4], "slice 3: incomplete: no completion record (" + killed + ")");
    const auto whole = RunTool({"merge", "--check", s3, s1, s2});
    EXPECT_EQ(whole.status, 0);
    EXPECT_EQ(Lines(whole.out).back(), "complete: merge can join these slices");
}

} // namespace
} // namespace pandicube
