#include "search/cube/cube_check.h"

#include <algorithm>
#include <cassert>
#include <string>
#include <utility>

namespace pandicube {

namespace {

std::string Num(std::int64_t v)
{
    return std::to_string(v);
}

// Builds a line from a function giving (plane, row, column) for i = 1 to 5.
template <typename Position>
MagicLine Line(std::string name, Position position)
{
    MagicLine line{std::move(name), {}};
    for (int i = 1; i <= 5; ++i) {
        const CellPosition p = position(i);
        line.cells[static_cast<std::size_t>(i - 1)] = CellAt(p.plane, p.row, p.column);
    }
    return line;
}

// The 1-based coordinate y with y - x = c (mod 5) (sum false) or x + y = c
// (mod 5) (sum true).
int DiagonalPartner(int x, int c, bool sum)
{
    const int y0 = sum ? c - x : x + c; // y, up to a multiple of 5
    return ((y0 - 1) % 5 + 5) % 5 + 1;
}

std::vector<MagicLine> BuildLines()
{
    std::vector<MagicLine> lines;
    lines.reserve(157);
    for (int a = 1; a <= 5; ++a) {
        for (int b = 1; b <= 5; ++b) {
            const std::string sa = Num(a);
            const std::string sb = Num(b);
            lines.push_back(Line("row (plane " + sa + ", row " + sb + ")", [&](int i) {
                return CellPosition{a, b, i};
            }));
            lines.push_back(Line("column (plane " + sa + ", column " + sb + ")", [&](int i) {
                return CellPosition{a, i, b};
            }));
            lines.push_back(Line("pillar (row " + sa + ", column " + sb + ")", [&](int i) {
                return CellPosition{i, a, b};
            }));
        }
    }
    // The two main diagonals of each of the 15 orthogonal planes.
    for (int a = 1; a <= 5; ++a) {
        const std::string sa = Num(a);
        lines.push_back(Line("diagonal (plane " + sa + ", row = column)", [&](int i) {
            return CellPosition{a, i, i};
        }));
        lines.push_back(Line("diagonal (plane " + sa + ", row + column = 6)", [&](int i) {
            return CellPosition{a, i, 6 - i};
        }));
        lines.push_back(Line("diagonal (row " + sa + ", plane = column)", [&](int i) {
            return CellPosition{i, a, i};
        }));
        lines.push_back(Line("diagonal (row " + sa + ", plane + column = 6)", [&](int i) {
            return CellPosition{i, a, 6 - i};
        }));
        lines.push_back(Line("diagonal (column " + sa + ", plane = row)", [&](int i) {
            return CellPosition{i, i, a};
        }));
        lines.push_back(Line("diagonal (column " + sa + ", plane + row = 6)", [&](int i) {
            return CellPosition{i, 6 - i, a};
        }));
    }
    lines.push_back(Line("space diagonal (i, i, i)", [](int i) { return CellPosition{i, i, i}; }));
    lines.push_back(Line("space diagonal (i, i, 6 - i)", [](int i) { return CellPosition{i, i, 6 - i}; }));
    lines.push_back(Line("space diagonal (i, 6 - i, i)", [](int i) { return CellPosition{i, 6 - i, i}; }));
    lines.push_back(Line("space diagonal (i, 6 - i, 6 - i)", [](int i) { return CellPosition{i, 6 - i, 6 - i}; }));

    // The outer planes with their in-plane coordinates (x, y); the lines
    // y - x = 0 and x + y = 1 (mod 5) are the main diagonals counted above.
    struct OuterPlane {
        const char* fixed;
        const char* x;
        const char* y;
        int axis; // 0 plane, 1 row, 2 column
    };
    static constexpr std::array<OuterPlane, 3> kAxes = {
        {{"plane", "row", "column", 0}, {"row", "plane", "column", 1}, {"column", "plane", "row", 2}}};
    for (const OuterPlane& axis : kAxes) {
        for (int fixed : {1, 5}) {
            const auto at = [&](int x, int y) {
                if (axis.axis == 0) return CellPosition{fixed, x, y};
                if (axis.axis == 1) return CellPosition{x, fixed, y};
                return CellPosition{x, y, fixed};
            };
            const std::string where = std::string("broken diagonal (") + axis.fixed + " " + Num(fixed) + ", ";
            for (int c = 1; c <= 4; ++c) {
                lines.push_back(Line(where + axis.y + " - " + axis.x + " = " + Num(c) + " mod 5)",
                                     [&](int x) { return at(x, DiagonalPartner(x, c, false)); }));
            }
            for (int c : {0, 2, 3, 4}) {
                lines.push_back(Line(where + axis.x + " + " + axis.y + " = " + Num(c) + " mod 5)",
                                     [&](int x) { return at(x, DiagonalPartner(x, c, true)); }));
            }
        }
    }
    assert(lines.size() == 157);
    return lines;
}

void Fail(CubeCheck& check, CubeRule rule, std::string detail)
{
    check.failures.push_back({rule, std::move(detail)});
}

} // namespace

const std::vector<MagicLine>& MagicLines()
{
    static const std::vector<MagicLine> lines = BuildLines();
    return lines;
}

const char* CubeRuleName(CubeRule rule)
{
    switch (rule) {
    case CubeRule::MagicLines: return "magic lines";
    case CubeRule::CentralSymmetry: return "central symmetry";
    case CubeRule::DistinctValues: return "distinct values";
    case CubeRule::Bound: return "bound";
    }
    return "";
}

CubeCheck CheckCube(const Cells& cells, std::optional<std::int32_t> upperBound)
{
    const auto cell = [&](int k) -> std::int64_t { return cells[static_cast<std::size_t>(k)]; };
    CubeCheck check;

    // Rule 1. Every magic line sums to 315.
    for (const MagicLine& line : MagicLines()) {
        std::int64_t sum = 0;
        for (int k : line.cells) sum += cell(k);
        if (sum != kMagicSum) {
            std::string cellList;
            for (int k : line.cells) {
                if (!cellList.empty()) cellList += ' ';
                cellList += Num(k);
            }
            Fail(check, CubeRule::MagicLines, line.name + " sums to " + Num(sum) + " (cells " + cellList + ")");
        }
    }

    // Rule 2. Cells k and 126 - k add up to 126; the centre is its own partner.
    for (int k = 1; k <= kEntryCount; ++k) {
        const int partner = kComplementSum - k;
        if (cell(k) + cell(partner) != kComplementSum) {
            Fail(check, CubeRule::CentralSymmetry,
                 "cells " + Num(k) + " and " + Num(partner) + " hold " + Num(cell(k)) + " and " + Num(cell(partner)) +
                     ", which add up to " + Num(cell(k) + cell(partner)) + ", not 126");
        }
    }
    if (cell(kCentreCell) != kCentreValue) {
        Fail(check, CubeRule::CentralSymmetry, "the centre cell 63 holds " + Num(cell(kCentreCell)) + ", not 63");
    }

    // Rule 3. The 125 values are distinct.
    std::array<std::pair<std::int32_t, int>, kCellCount> byValue{};
    for (int k = 1; k <= kCellCount; ++k)
        byValue[static_cast<std::size_t>(k - 1)] = {cells[static_cast<std::size_t>(k)], k};
    std::sort(byValue.begin(), byValue.end());
    for (std::size_t i = 0; i < byValue.size();) {
        std::size_t j = i + 1;
        while (j < byValue.size() && byValue[j].first == byValue[i].first) ++j;
        if (j - i > 1) {
            std::string where;
            for (std::size_t m = i; m < j; ++m) {
                if (m > i) where += ", ";
                where += Num(byValue[m].second);
            }
            Fail(check, CubeRule::DistinctValues, "value " + Num(byValue[i].first) + " appears in cells " + where);
        }
        i = j;
    }

    // Rule 4. With an upper bound U, every value lies from 126 - U to U.
    if (upperBound) {
        const std::int64_t high = *upperBound;
        const std::int64_t low = kComplementSum - high;
        for (int k = 1; k <= kCellCount; ++k) {
            if (cell(k) < low || cell(k) > high) {
                Fail(check, CubeRule::Bound,
                     "cell " + Num(k) + " holds " + Num(cell(k)) + ", outside " + Num(low) + " to " + Num(high));
            }
        }
    }
    return check;
}

} // namespace pandicube
