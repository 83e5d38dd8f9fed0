#include "search/cube/cube_check.h"

#include "search/cube/solution_order.h"
#include "search/loops/run_search.h"
#include "tests/support/search_runs.h"
#include "tests/support/worked_example.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <set>

namespace pandicube {
namespace {

using test::kWorkedExample;
using test::RecordRun;
using test::Report;

std::vector<std::string> FailuresOf(const CubeCheck& check, CubeRule rule)
{
    std::vector<std::string> details;
    for (const RuleFailure& f : check.failures) {
        if (f.rule == rule) details.push_back(f.detail);
    }
    return details;
}

bool AnyStartsWith(const std::vector<std::string>& details, const std::string& prefix)
{
    return std::any_of(details.begin(), details.end(), [&](const std::string& d) { return d.rfind(prefix, 0) == 0; });
}

// The solutions of a whole run, in the order found.
std::vector<Entries> WholeRun(std::int32_t bound)
{
    std::vector<Entries> solutions;
    for (const Report& solution : RecordRun({bound}).reporter.solutions) solutions.push_back(solution.entries);
    return solutions;
}

TEST(MagicLines, AreTheRowsColumnsPillarsDiagonalsAndOuterBrokenDiagonals)
{
    const std::vector<MagicLine>& lines = MagicLines();
    ASSERT_EQ(lines.size(), 157u);
    std::map<std::string, int> kinds;
    std::set<std::set<int>> distinct;
    std::array<int, kCellCount + 1> straightLinesThrough{};
    for (const MagicLine& line : lines) {
        const std::set<int> cells(line.cells.begin(), line.cells.end());
        EXPECT_EQ(cells.size(), 5u) << line.name;
        EXPECT_GE(*cells.begin(), 1);
        EXPECT_LE(*cells.rbegin(), kCellCount);
        distinct.insert(cells);
        const std::string kind = line.name.substr(0, line.name.find(" ("));
        ++kinds[kind];
        if (kind == "row" || kind == "column" || kind == "pillar") {
            for (int k : cells) ++straightLinesThrough[static_cast<std::size_t>(k)];
        }
    }
    EXPECT_EQ(distinct.size(), 157u);
    EXPECT_EQ(kinds["row"], 25);
    EXPECT_EQ(kinds["column"], 25);
    EXPECT_EQ(kinds["pillar"], 25);
    EXPECT_EQ(kinds["diagonal"], 30);
    EXPECT_EQ(kinds["space diagonal"], 4);
    EXPECT_EQ(kinds["broken diagonal"], 48);
    for (int k = 1; k <= kCellCount; ++k) EXPECT_EQ(straightLinesThrough[static_cast<std::size_t>(k)], 3) << k;
}

TEST(MagicLines, LeaveOutTheBrokenDiagonalsOfInnerPlanes)
{
    std::set<std::set<int>> lines;
    for (const MagicLine& line : MagicLines()) lines.insert({line.cells.begin(), line.cells.end()});
    // Plane 3 (inner): the broken diagonals y - x = 1 mod 5 and x + y = 0 mod 5.
    std::set<int> difference;
    std::set<int> sum;
    for (int x = 1; x <= 5; ++x) {
        difference.insert(CellAt(3, x, x % 5 + 1));
        sum.insert(CellAt(3, x, (10 - x - 1) % 5 + 1));
    }
    EXPECT_FALSE(lines.count(difference));
    EXPECT_FALSE(lines.count(sum));
    // Plane 1 (outer) has the same two lines.
    std::set<int> outer;
    for (int x = 1; x <= 5; ++x) outer.insert(CellAt(1, x, x % 5 + 1));
    EXPECT_TRUE(lines.count(outer));
}

TEST(CheckCube, AcceptsTheWorkedExampleAndEveryCubeOfTheRunAt300)
{
    const Cells example = CellsFromEntries(kWorkedExample);
    EXPECT_TRUE(CheckCube(example, 300).Valid());
    EXPECT_TRUE(CheckCube(example, 279).Valid());
    EXPECT_EQ(example[64], 279);

    const std::vector<Entries> solutions = WholeRun(300);
    ASSERT_EQ(solutions.size(), 504u);
    for (const Entries& e : solutions) ASSERT_TRUE(CheckCube(CellsFromEntries(e), 300).Valid());
}

TEST(CheckCube, NamesTheLinesThroughAChangedCell)
{
    Cells cells = CellsFromEntries(kWorkedExample);
    cells[1] += 1; // plane 1, row 1, column 1
    const CubeCheck check = CheckCube(cells, std::nullopt);
    const std::vector<std::string> lines = FailuresOf(check, CubeRule::MagicLines);
    // Every line through cell 1 fails, and no other.
    std::ptrdiff_t through = 0;
    for (const MagicLine& line : MagicLines()) through += std::count(line.cells.begin(), line.cells.end(), 1);
    EXPECT_EQ(lines.size(), static_cast<std::size_t>(through));
    EXPECT_TRUE(AnyStartsWith(lines, "row (plane 1, row 1) sums to 316 (cells 1 2 3 4 5)"));
    EXPECT_TRUE(AnyStartsWith(lines, "pillar (row 1, column 1) sums to 316"));
    EXPECT_TRUE(AnyStartsWith(lines, "space diagonal (i, i, i) sums to 316"));
    EXPECT_EQ(FailuresOf(check, CubeRule::CentralSymmetry),
              std::vector<std::string>{"cells 1 and 125 hold 14 and 113, which add up to 127, not 126"});
    EXPECT_TRUE(FailuresOf(check, CubeRule::DistinctValues).empty());
}

TEST(CheckCube, ReportsSwappedCellsRepeatedValuesAndTheCentre)
{
    const Cells example = CellsFromEntries(kWorkedExample);
    Cells swapped = example;
    std::swap(swapped[2], swapped[3]); // 56 and 54 in row 1 of plane 1
    const CubeCheck swap = CheckCube(swapped, 300);
    EXPECT_FALSE(swap.Valid());
    EXPECT_FALSE(AnyStartsWith(FailuresOf(swap, CubeRule::MagicLines), "row (plane 1, row 1)"));
    EXPECT_TRUE(AnyStartsWith(FailuresOf(swap, CubeRule::MagicLines), "column (plane 1, column 2) sums to 313"));
    EXPECT_EQ(FailuresOf(swap, CubeRule::CentralSymmetry).size(), 2u);
    EXPECT_TRUE(FailuresOf(swap, CubeRule::DistinctValues).empty());

    Cells repeated = example;
    repeated[5] = repeated[1];
    EXPECT_EQ(FailuresOf(CheckCube(repeated, 300), CubeRule::DistinctValues),
              std::vector<std::string>{"value 13 appears in cells 1, 5"});

    Cells centre = example;
    centre[kCentreCell] = 64;
    EXPECT_TRUE(AnyStartsWith(FailuresOf(CheckCube(centre, 300), CubeRule::CentralSymmetry),
                              "the centre cell 63 holds 64, not 63"));
}

TEST(CheckCube, HoldsEveryValueToTheBound)
{
    const Cells example = CellsFromEntries(kWorkedExample);
    // Values -153 to 279: U = 278 allows -152 to 278.
    EXPECT_EQ(FailuresOf(CheckCube(example, 278), CubeRule::Bound),
              (std::vector<std::string>{"cell 62 holds -153, outside -152 to 278",
                                        "cell 64 holds 279, outside -152 to 278"}));
    EXPECT_TRUE(CheckCube(example, std::nullopt).Valid());
}

TEST(CheckCube, SumsExtremeValuesWithoutOverflow)
{
    Cells cells{};
    cells.fill(std::numeric_limits<std::int32_t>::max());
    const CubeCheck check = CheckCube(cells, 300);
    EXPECT_EQ(FailuresOf(check, CubeRule::MagicLines).size(), 157u);
    EXPECT_TRUE(AnyStartsWith(FailuresOf(check, CubeRule::MagicLines), "row (plane 1, row 1) sums to 10737418235"));
    EXPECT_EQ(FailuresOf(check, CubeRule::DistinctValues).size(), 1u);
    EXPECT_EQ(FailuresOf(check, CubeRule::Bound).size(), 125u);
}

TEST(SolutionOrder, KeysOfAWholeRunRiseStrictly)
{
    const std::vector<Entries> solutions = WholeRun(300);
    for (std::size_t i = 1; i < solutions.size(); ++i) {
        EXPECT_LT(OrderKeyOf(solutions[i - 1]), OrderKeyOf(solutions[i])) << "solution " << i + 1;
    }
}

} // namespace
} // namespace pandicube
