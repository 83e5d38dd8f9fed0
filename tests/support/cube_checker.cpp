#include "tests/support/cube_checker.h"

#include <map>
#include <ostream>
#include <sstream>

namespace pandicube::test {

namespace {

// Maps any integer to 1..5 by its residue mod 5.
int Wrap(int n)
{
    return ((n - 1) % 5 + 5) % 5 + 1;
}

// A point of the orthogonal plane in which coordinate `axis` (0 plane, 1 row,
// 2 column) is fixed at `fixed`; (x, y) are the other two coordinates in order.
Point InPlane(int axis, int fixed, int x, int y)
{
    switch (axis) {
    case 0: return {fixed, x, y};
    case 1: return {x, fixed, y};
    default: return {x, y, fixed};
    }
}

// The 10 diagonal lines of one orthogonal plane, y - x = c and x + y = c
// (mod 5) for c = 0..4; `broken` keeps only the 8 that are not the plane's two
// corner-to-corner diagonals (y - x = 0 and x + y = 6 = 1 mod 5).
std::vector<Line> DiagonalsOfPlane(int axis, int fixed, bool broken)
{
    std::vector<Line> lines;
    for (int c = 0; c < 5; ++c) {
        if (!broken || c != 0) {
            Line difference{};
            for (int x = 1; x <= 5; ++x)
                difference[static_cast<std::size_t>(x - 1)] = InPlane(axis, fixed, x, Wrap(x + c));
            lines.push_back(difference);
        }
        if (!broken || c != 1) {
            Line sum{};
            for (int x = 1; x <= 5; ++x) sum[static_cast<std::size_t>(x - 1)] = InPlane(axis, fixed, x, Wrap(c - x));
            lines.push_back(sum);
        }
    }
    return lines;
}

std::ostream& operator<<(std::ostream& out, Point p)
{
    return out << '(' << p.plane << ',' << p.row << ',' << p.column << ')';
}

// Builds one fault's text from its parts.
template <typename... Parts>
std::string Text(const Parts&... parts)
{
    std::ostringstream out;
    (out << ... << parts);
    return out.str();
}

const char* KindName(LineKind kind)
{
    switch (kind) {
    case LineKind::Row: return "row";
    case LineKind::Column: return "column";
    case LineKind::Pillar: return "pillar";
    case LineKind::PlaneDiagonal: return "plane diagonal";
    case LineKind::SpaceDiagonal: return "space diagonal";
    case LineKind::OuterBrokenDiagonal: return "broken diagonal of an outer plane";
    }
    return "?";
}

} // namespace

int CellNumber(Point p)
{
    return 25 * (p.plane - 1) + 5 * (p.row - 1) + p.column;
}

Point Reflect(Point p)
{
    return {6 - p.plane, 6 - p.row, 6 - p.column};
}

std::set<int> CellSet(const Line& line)
{
    std::set<int> cells;
    for (const Point& p : line) cells.insert(CellNumber(p));
    return cells;
}

std::vector<MagicLine> MagicLines()
{
    std::vector<MagicLine> lines;
    const auto add = [&](LineKind kind, const Line& cells) { lines.push_back({kind, cells}); };
    for (int a = 1; a <= 5; ++a) {
        for (int b = 1; b <= 5; ++b) {
            Line row{}, column{}, pillar{};
            for (int i = 1; i <= 5; ++i) {
                const auto at = static_cast<std::size_t>(i - 1);
                row[at] = {a, b, i};
                column[at] = {a, i, b};
                pillar[at] = {i, a, b};
            }
            add(LineKind::Row, row);
            add(LineKind::Column, column);
            add(LineKind::Pillar, pillar);
        }
    }
    for (int axis = 0; axis < 3; ++axis) {
        for (int fixed = 1; fixed <= 5; ++fixed) {
            Line main{}, anti{};
            for (int i = 1; i <= 5; ++i) {
                main[static_cast<std::size_t>(i - 1)] = InPlane(axis, fixed, i, i);
                anti[static_cast<std::size_t>(i - 1)] = InPlane(axis, fixed, i, 6 - i);
            }
            add(LineKind::PlaneDiagonal, main);
            add(LineKind::PlaneDiagonal, anti);
        }
    }
    for (int rowSign : {1, -1}) {
        for (int columnSign : {1, -1}) {
            Line diagonal{};
            for (int i = 1; i <= 5; ++i) {
                diagonal[static_cast<std::size_t>(i - 1)] = {i, rowSign > 0 ? i : 6 - i, columnSign > 0 ? i : 6 - i};
            }
            add(LineKind::SpaceDiagonal, diagonal);
        }
    }
    for (int axis = 0; axis < 3; ++axis) {
        for (int fixed : {1, 5}) {
            for (const Line& line : DiagonalsOfPlane(axis, fixed, true)) add(LineKind::OuterBrokenDiagonal, line);
        }
    }
    return lines;
}

std::vector<Line> InnerPlaneBrokenDiagonals()
{
    std::vector<Line> lines;
    for (int axis = 0; axis < 3; ++axis) {
        for (int fixed = 2; fixed <= 4; ++fixed) {
            for (const Line& line : DiagonalsOfPlane(axis, fixed, true)) lines.push_back(line);
        }
    }
    return lines;
}

std::vector<Line> BrokenSpaceDiagonals()
{
    std::vector<Line> lines;
    for (int rowStep : {1, -1}) {
        for (int columnStep : {1, -1}) {
            // The unbroken diagonal of this direction starts at row 1 or 5 and
            // column 1 or 5 of plane 1.
            const int mainRow = rowStep > 0 ? 1 : 5;
            const int mainColumn = columnStep > 0 ? 1 : 5;
            for (int row0 = 1; row0 <= 5; ++row0) {
                for (int column0 = 1; column0 <= 5; ++column0) {
                    if (row0 == mainRow && column0 == mainColumn) continue;
                    Line line{};
                    for (int i = 1; i <= 5; ++i) {
                        line[static_cast<std::size_t>(i - 1)] = {i, Wrap(row0 + rowStep * (i - 1)),
                                                                 Wrap(column0 + columnStep * (i - 1))};
                    }
                    lines.push_back(line);
                }
            }
        }
    }
    return lines;
}

Cube Cube::FromEntries(const Entries& e)
{
    Cube cube;
    // Cells 1 to 63 first: every later cell's mirror lies among them.
    for (int plane = 1; plane <= 5; ++plane) {
        for (int row = 1; row <= 5; ++row) {
            for (int column = 1; column <= 5; ++column) {
                const Point p{plane, row, column};
                const int k = CellNumber(p);
                if (k < kCentreCell) cube.Set(p, e[static_cast<std::size_t>(k)]);
                if (k == kCentreCell) cube.Set(p, kCentreValue);
            }
        }
    }
    for (int plane = 1; plane <= 5; ++plane) {
        for (int row = 1; row <= 5; ++row) {
            for (int column = 1; column <= 5; ++column) {
                const Point p{plane, row, column};
                if (CellNumber(p) > kCentreCell) cube.Set(p, 126 - cube.At(Reflect(p)));
            }
        }
    }
    return cube;
}

std::int32_t Cube::Cell(int k) const
{
    return At({(k - 1) / 25 + 1, ((k - 1) % 25) / 5 + 1, (k - 1) % 5 + 1});
}

std::int32_t LineSum(const Cube& cube, const Line& line)
{
    std::int32_t sum = 0;
    for (const Point& p : line) sum += cube.At(p);
    return sum;
}

std::vector<std::string> CubeFaults(const Cube& cube, std::int32_t lowerLimit, std::int32_t upperLimit)
{
    std::vector<std::string> faults;
    const Point centre{3, 3, 3};
    if (cube.At(centre) != 63) faults.push_back(Text("centre holds ", cube.At(centre)));

    std::map<std::int32_t, int> seen;
    for (int k = 1; k <= kCellCount; ++k) {
        const Point p{(k - 1) / 25 + 1, ((k - 1) % 25) / 5 + 1, (k - 1) % 5 + 1};
        const std::int32_t v = cube.At(p);
        if (v + cube.At(Reflect(p)) != 126) {
            faults.push_back(Text("cells ", k, " and ", CellNumber(Reflect(p)), " do not add up to 126"));
        }
        if (!(lowerLimit < v && v < upperLimit)) {
            faults.push_back(
                Text("cell ", k, " holds ", v, ", not strictly between ", lowerLimit, " and ", upperLimit));
        }
        if (const auto [it, fresh] = seen.emplace(v, k); !fresh) {
            faults.push_back(Text("cells ", it->second, " and ", k, " both hold ", v));
        }
    }

    const std::vector<MagicLine> lines = MagicLines();
    if (lines.size() != 157) faults.push_back(Text(lines.size(), " magic lines instead of 157"));
    for (const MagicLine& line : lines) {
        const std::int32_t sum = LineSum(cube, line.cells);
        if (sum != kMagicSum) {
            faults.push_back(
                Text(KindName(line.kind), " from ", line.cells.front(), " to ", line.cells.back(), " sums to ", sum));
        }
    }
    return faults;
}

std::vector<std::string> CubeFaults(const Entries& e, std::int32_t lowerLimit, std::int32_t upperLimit)
{
    return CubeFaults(Cube::FromEntries(e), lowerLimit, upperLimit);
}

} // namespace pandicube::test
