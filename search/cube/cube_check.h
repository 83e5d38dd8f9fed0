#pragma once

#include "search/cells.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pandicube {

// One of the 157 magic lines: five cells (numbers 1 to 125) and a readable
// name such as "row (plane 1, row 2)".
struct MagicLine {
    std::string name;
    std::array<int, 5> cells{};
};

// The 157 magic lines, built from the cells' coordinates: 25 rows, 25
// columns, 25 pillars, the 30 diagonals of the 15 orthogonal planes, the 4
// space diagonals and the 48 broken diagonals of the 6 outer planes.
const std::vector<MagicLine>& MagicLines();

// The rules a complete cube obeys; each is checked on its own.
enum class CubeRule { MagicLines, CentralSymmetry, DistinctValues, Bound };

// "magic lines", "central symmetry", "distinct values", "bound".
const char* CubeRuleName(CubeRule rule);

// One broken rule with what breaks it, e.g. a line and its sum.
struct RuleFailure {
    CubeRule rule = CubeRule::MagicLines;
    std::string detail;
};

struct CubeCheck {
    std::vector<RuleFailure> failures;

    bool Valid() const { return failures.empty(); }
};

// Checks 125 cells from the geometry alone: every magic line sums to 315,
// cells k and 126 - k add up to 126 (so the centre holds 63), the 125 values
// are distinct, and with an upper bound U every value lies from 126 - U to U.
// Sums are formed in 64 bits, so any 32-bit values are safe.
CubeCheck CheckCube(const Cells& cells, std::optional<std::int32_t> upperBound);

// Plane, row and column (each 1 to 5) of cell k, and back.
struct CellPosition {
    int plane = 0;
    int row = 0;
    int column = 0;
};
constexpr CellPosition PositionOfCell(int k)
{
    return {(k - 1) / 25 + 1, ((k - 1) % 25) / 5 + 1, (k - 1) % 5 + 1};
}
constexpr int CellAt(int plane, int row, int column)
{
    return 25 * (plane - 1) + 5 * (row - 1) + column;
}

} // namespace pandicube
