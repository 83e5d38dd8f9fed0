#include "cli/search_command.h"
#include "tests/cli/cli_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

namespace pandicube {
namespace {

using test::Lines;
using test::RunTool;

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

std::vector<std::string> With(std::vector<std::string> args, std::initializer_list<std::string> more)
{
    args.insert(args.end(), more);
    return args;
}

class TempFiles : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text)
    {
        const auto path =
            std::filesystem::temp_directory_path() / ("pandicube-merge-" + std::to_string(::getpid()) + "-" + name);
        std::ofstream(path, std::ios::binary) << text;
        paths_.push_back(path);
        return path.string();
    }
    ~TempFiles() override
    {
        for (const auto& path : paths_) std::filesystem::remove(path);
    }

private:
    std::vector<std::filesystem::path> paths_;
};

TEST(SliceUnits, DealsEveryUnitToExactlyOneSlice)
{
    std::vector<OuterUnit> units;
    for (std::int32_t i = 0; i < 100; ++i) units.push_back({i, i});
    for (unsigned n : {1u, 3u, 7u, 100u, 150u}) {
        std::multiset<std::int32_t> seen;
        for (unsigned k = 1; k <= n; ++k) {
            const auto part = SliceUnits(units, {k, n});
            EXPECT_LE(part.size(), (100 + n - 1) / n);
            for (std::size_t i = 1; i < part.size(); ++i) EXPECT_LT(part[i - 1].e14, part[i].e14);
            for (const OuterUnit& u : part) seen.insert(u.e14);
        }
        EXPECT_EQ(seen.size(), 100u) << n;
        EXPECT_EQ(std::set<std::int32_t>(seen.begin(), seen.end()).size(), 100u) << n;
    }
    EXPECT_EQ(SliceOfUnit(0, 3), 1u);
    EXPECT_EQ(SliceOfUnit(3, 3), 3u); // the second round runs backwards
    EXPECT_EQ(SliceOfUnit(5, 3), 1u);
    EXPECT_EQ(SliceOfUnit(6, 3), 1u);
}

TEST_F(TempFiles, SlicesTogetherAreTheWholeRunAndMergeRestoresItsOrder)
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

TEST_F(TempFiles, MergeKeepsEachFormatAndSumsCounts)
{
    for (const std::vector<std::string>& format : {std::vector<std::string>{"--json", "--cube"},
                                                   {"--format", "csv"},
                                                   {"--format", "csv", "--cube"},
                                                   {"--cube"}}) {
        const std::vector<std::string> run = With(format, {"--bound", "280"});
        std::string concatenated;
        for (int k = 1; k <= 3; ++k) {
            const std::vector<std::string> args = With(run, {"--slice", std::to_string(k) + "/3"});
            concatenated += RunTool(args).out;
        }
        const auto merged = RunTool({"merge", "-"}, concatenated);
        EXPECT_EQ(merged.status, 0) << merged.err;
        EXPECT_EQ(merged.out, RunTool(run).out) << format[0] << " " << format[1];
    }
    const std::string counts = RunTool({"--slice", "1/2", "--count-only", "--bound", "280"}).out;
    const std::string more = Write("counts", RunTool({"--slice", "2/2", "--count-only", "--bound", "280"}).out);
    EXPECT_EQ(RunTool({"merge", "-", more}, counts).out, "computation terminated\n144 solutions were found.\n");
    EXPECT_EQ(RunTool({"merge", "-"}, "solutions\n200\nsolutions\n304\n").out, "solutions\n504\n");
}

TEST_F(TempFiles, MergeRefusesRepeatedMixedUnfinishedAndReducedInputs)
{
    const std::string slice = Write("slice", RunTool({"--slice", "1/3"}).out);
    const std::string json = Write("json", RunTool({"--slice", "2/3", "--json"}).out);
    const std::string text = RunTool({"--slice", "2/3"}).out;
    const std::string unfinished = Write("unfinished", text.substr(0, text.find("computation")));
    const std::string reduced = Write("reduced", RunTool({"--reduce"}).out);
    const std::string counts = Write("counts", RunTool({"--slice", "3/3", "--count-only"}).out);
    struct Case {
        std::vector<std::string> files;
        std::string message;
    };
    for (const Case& c : std::vector<Case>{
             {{slice, slice}, "appears twice"},
             {{slice, json}, "is in another format than the first input"},
             {{unfinished}, "ends without its closing report"},
             {{reduced}, "reduced the bound"},
             {{slice, counts}, "mix outputs of --count-only runs"},
             {{"/nonexistent/slice.txt"}, "cannot open /nonexistent/slice.txt"},
         }) {
        std::vector<std::string> args = {"merge"};
        args.insert(args.end(), c.files.begin(), c.files.end());
        const auto result = RunTool(args);
        EXPECT_EQ(result.status, 2) << c.message;
        EXPECT_TRUE(result.out.empty()) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
}

} // namespace
} // namespace pandicube
