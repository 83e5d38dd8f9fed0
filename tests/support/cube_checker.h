#pragma once

#include "search/cells.h"

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace pandicube::test {

// An independent judge of cubes for the tests. It knows the cube only by its
// geometry: 125 cells addressed by (plane, row, column), the centre, the point
// reflection through the centre and the 157 magic lines built from
// coordinates. It never uses the search's formulas.

struct Point {
    int plane = 1;
    int row = 1;
    int column = 1;
};

// Cell number in reading order: 25 (plane - 1) + 5 (row - 1) + column.
int CellNumber(Point p);
// The point reflection through the centre cell (3, 3, 3).
Point Reflect(Point p);

using Line = std::array<Point, 5>;
// The cells of a line as a set of cell numbers.
std::set<int> CellSet(const Line& line);

enum class LineKind { Row, Column, Pillar, PlaneDiagonal, SpaceDiagonal, OuterBrokenDiagonal };

struct MagicLine {
    LineKind kind = LineKind::Row;
    Line cells{};
};

// The 157 lines that must each sum to 315.
std::vector<MagicLine> MagicLines();
// Lines that are not magic and in general do not sum to 315: the 8 broken
// diagonals of each of the 9 inner planes (72), and the broken space
// diagonals (96).
std::vector<Line> InnerPlaneBrokenDiagonals();
std::vector<Line> BrokenSpaceDiagonals();

// All 125 values of a cube, indexed by coordinates.
class Cube {
public:
    // Fills the cells 1 to 62 from the entries, the centre with 63 and every
    // other cell with 126 minus the value of its mirror cell.
    static Cube FromEntries(const Entries& e);

    std::int32_t At(Point p) const { return values_[Index(p)]; }
    void Set(Point p, std::int32_t v) { values_[Index(p)] = v; }
    std::int32_t Cell(int k) const;

private:
    static std::size_t Index(Point p)
    {
        return static_cast<std::size_t>(25 * (p.plane - 1) + 5 * (p.row - 1) + (p.column - 1));
    }

    std::array<std::int32_t, 125> values_{};
};

std::int32_t LineSum(const Cube& cube, const Line& line);

// Every reason why `cube` is not a valid cube whose values lie strictly
// between the two limits, one text per fault; empty when it is valid. Checked:
// the centre holds 63, every two mirror cells add up to 126, the 157 magic
// lines sum to 315, the 125 values are distinct, and the limits.
std::vector<std::string> CubeFaults(const Cube& cube, std::int32_t lowerLimit, std::int32_t upperLimit);
std::vector<std::string> CubeFaults(const Entries& e, std::int32_t lowerLimit, std::int32_t upperLimit);

} // namespace pandicube::test
