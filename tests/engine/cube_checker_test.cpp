#include "tests/support/cube_checker.h"
#include "tests/support/worked_example.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <utility>

namespace pandicube::test {
namespace {

TEST(CubeChecker, NumbersCellsInReadingOrderAndMirrorsThroughTheCentre)
{
    std::set<int> numbers;
    for (int plane = 1; plane <= 5; ++plane) {
        for (int row = 1; row <= 5; ++row) {
            for (int column = 1; column <= 5; ++column) {
                const Point p{plane, row, column};
                const int k = CellNumber(p);
                numbers.insert(k);
                EXPECT_EQ(CellNumber(Reflect(p)), 126 - k);
            }
        }
    }
    EXPECT_EQ(numbers.size(), 125u);
    EXPECT_EQ(*numbers.begin(), 1);
    EXPECT_EQ(*numbers.rbegin(), 125);
    EXPECT_EQ(CellNumber({3, 3, 3}), 63);
    // The free entries' cells.
    EXPECT_EQ(CellNumber({1, 2, 5}), 10);
    EXPECT_EQ(CellNumber({1, 3, 4}), 14);
    EXPECT_EQ(CellNumber({1, 4, 2}), 17);
    EXPECT_EQ(CellNumber({1, 4, 3}), 18);
}

TEST(CubeChecker, BuildsThe157MagicLinesOfEachKind)
{
    const std::vector<MagicLine> lines = MagicLines();
    ASSERT_EQ(lines.size(), 157u);
    std::map<LineKind, int> perKind;
    std::set<std::set<int>> distinct;
    for (const MagicLine& line : lines) {
        ++perKind[line.kind];
        const std::set<int> cells = CellSet(line.cells);
        EXPECT_EQ(cells.size(), 5u);
        distinct.insert(cells);
    }
    EXPECT_EQ(distinct.size(), 157u) << "a line is counted twice";
    EXPECT_EQ(perKind[LineKind::Row], 25);
    EXPECT_EQ(perKind[LineKind::Column], 25);
    EXPECT_EQ(perKind[LineKind::Pillar], 25);
    EXPECT_EQ(perKind[LineKind::PlaneDiagonal], 30);
    EXPECT_EQ(perKind[LineKind::SpaceDiagonal], 4);
    EXPECT_EQ(perKind[LineKind::OuterBrokenDiagonal], 48);

    // A few lines by their cells: row 1 of plane 1, the pillar under cell 1,
    // the main space diagonal, and a broken diagonal of plane 1.
    EXPECT_TRUE(distinct.contains({1, 2, 3, 4, 5}));
    EXPECT_TRUE(distinct.contains({1, 26, 51, 76, 101}));
    EXPECT_TRUE(distinct.contains({1, 32, 63, 94, 125}));
    EXPECT_TRUE(distinct.contains({2, 8, 14, 20, 21}));
    // A broken diagonal of the inner plane 2 is not a magic line.
    EXPECT_FALSE(distinct.contains({27, 33, 39, 45, 46}));
}

TEST(CubeChecker, BuildsTheNonMagicBrokenDiagonals)
{
    std::set<std::set<int>> magic;
    for (const MagicLine& line : MagicLines()) magic.insert(CellSet(line.cells));

    const std::vector<Line> inner = InnerPlaneBrokenDiagonals();
    const std::vector<Line> space = BrokenSpaceDiagonals();
    EXPECT_EQ(inner.size(), 72u);
    EXPECT_EQ(space.size(), 96u);
    std::set<std::set<int>> distinct;
    for (const std::vector<Line>* lines : {&inner, &space}) {
        for (const Line& line : *lines) {
            const std::set<int> cells = CellSet(line);
            EXPECT_EQ(cells.size(), 5u);
            EXPECT_FALSE(magic.contains(cells));
            distinct.insert(cells);
        }
    }
    EXPECT_EQ(distinct.size(), 72u + 96u);
}

TEST(CubeChecker, AcceptsTheWorkedExample)
{
    const Cube cube = Cube::FromEntries(kWorkedExample);
    EXPECT_EQ(CubeFaults(cube, -154, 280), std::vector<std::string>{});
    std::int32_t smallest = cube.Cell(1);
    std::int32_t largest = cube.Cell(1);
    for (int k = 1; k <= 125; ++k) {
        smallest = std::min(smallest, cube.Cell(k));
        largest = std::max(largest, cube.Cell(k));
    }
    EXPECT_EQ(smallest, -153);
    EXPECT_EQ(largest, 279);
    EXPECT_EQ(cube.Cell(64), 279);
    EXPECT_EQ(cube.Cell(63), 63);
    EXPECT_EQ(cube.Cell(125), 126 - 13);
}

TEST(CubeChecker, RejectsValuesOnTheLimits)
{
    // Exclusive limits: the worked example's -153 (cell 62) and 279 (cell 64)
    // lie on -153 and 279.
    EXPECT_EQ(CubeFaults(kWorkedExample, -153, 279).size(), 2u);
    EXPECT_EQ(CubeFaults(kWorkedExample, -154, 279).size(), 1u);
    EXPECT_EQ(CubeFaults(kWorkedExample, -153, 280).size(), 1u);
}

TEST(CubeChecker, RejectsOneChangedValue)
{
    for (int k = 1; k <= 62; ++k) {
        Entries e = kWorkedExample;
        e[static_cast<std::size_t>(k)] += 9; // the mirror cell changes with it
        EXPECT_FALSE(CubeFaults(e, -1000, 1000).empty()) << "entry " << k;
    }
    for (int k = 1; k <= 125; ++k) {
        Cube cube = Cube::FromEntries(kWorkedExample);
        const Point p{(k - 1) / 25 + 1, ((k - 1) % 25) / 5 + 1, (k - 1) % 5 + 1};
        cube.Set(p, cube.At(p) + 1000);
        EXPECT_FALSE(CubeFaults(cube, -10000, 10000).empty()) << "cell " << k;
    }
}

TEST(CubeChecker, RejectsTwoSwappedValues)
{
    for (int i = 1; i <= 62; ++i) {
        for (int j = i + 1; j <= 62; ++j) {
            Entries e = kWorkedExample;
            std::swap(e[static_cast<std::size_t>(i)], e[static_cast<std::size_t>(j)]);
            EXPECT_FALSE(CubeFaults(e, -1000, 1000).empty()) << "entries " << i << " and " << j;
        }
    }
    // Swapping a cell with its mirror keeps all values and every line through
    // the centre, but breaks the other lines.
    Cube cube = Cube::FromEntries(kWorkedExample);
    const Point p{1, 2, 5};
    const std::int32_t v = cube.At(p);
    cube.Set(p, cube.At(Reflect(p)));
    cube.Set(Reflect(p), v);
    EXPECT_FALSE(CubeFaults(cube, -1000, 1000).empty());
}

TEST(CubeChecker, RejectsRepeatedValuesOnMagicLines)
{
    // Every cell 63: all lines sum to 315 and mirrors add up to 126, but the
    // values are not distinct.
    Entries e{};
    e.fill(63);
    const std::vector<std::string> faults = CubeFaults(e, -1000, 1000);
    EXPECT_EQ(faults.size(), 124u);
    for (const std::string& fault : faults) EXPECT_NE(fault.find("both hold 63"), std::string::npos) << fault;
}

TEST(CubeChecker, RejectsAWrongCentre)
{
    Cube cube = Cube::FromEntries(kWorkedExample);
    cube.Set({3, 3, 3}, 64);
    const std::vector<std::string> faults = CubeFaults(cube, -1000, 1000);
    ASSERT_FALSE(faults.empty());
    EXPECT_EQ(faults.front(), "centre holds 64");
}

TEST(CubeChecker, WorkedExampleHasNoOtherMagicDiagonals)
{
    const Cube cube = Cube::FromEntries(kWorkedExample);
    for (const Line& line : InnerPlaneBrokenDiagonals()) EXPECT_NE(LineSum(cube, line), 315);
    for (const Line& line : BrokenSpaceDiagonals()) EXPECT_NE(LineSum(cube, line), 315);
}

TEST(CubeChecker, LinesThroughTheCentreSumTo315WhateverTheEntries)
{
    std::mt19937 random(12345);
    std::uniform_int_distribution<std::int32_t> value(-500, 500);
    Entries e{};
    for (int k = 1; k <= 62; ++k) e[static_cast<std::size_t>(k)] = value(random);
    const Cube cube = Cube::FromEntries(e);
    int throughCentre = 0;
    int others = 0;
    for (const MagicLine& line : MagicLines()) {
        if (CellSet(line.cells).contains(63)) {
            ++throughCentre;
            EXPECT_EQ(LineSum(cube, line.cells), 315);
        } else if (LineSum(cube, line.cells) != 315) {
            ++others;
        }
    }
    // Row, column and pillar, 6 plane diagonals and 4 space diagonals.
    EXPECT_EQ(throughCentre, 13);
    EXPECT_GT(others, 100);
}

} // namespace
} // namespace pandicube::test
