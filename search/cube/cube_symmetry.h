#pragma once

#include "search/cells.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace pandicube {

// The 48 rotations and reflections of the 5x5x5 cube: the 6 orders of the
// three axes (plane, row, column) times the 8 ways of reversing some of them.
// Each maps a cube of our kind to a cube of our kind: rows, columns and
// pillars go to rows, columns and pillars, the diagonals of the 15 orthogonal
// planes and the 4 space diagonals to their kind, the six outer planes to
// outer planes with their broken diagonals (reversing a coordinate x to 6 - x
// is affine modulo 5), and cells symmetric about the centre stay so. The
// reversal of all three axes is the point reflection through the centre: it
// maps cell k to cell 126 - k, and so a cube to its complement.
inline constexpr int kSymmetryCount = 48;

// The image of a cube under a symmetry reads its axis i (0 plane, 1 row,
// 2 column) from the original's axis axisFrom[i], from the far end when
// reversed[i]: image(q) = original(s) with s[axisFrom[i]] = q[i] or 6 - q[i].
struct CubeSymmetry {
    std::array<int, 3> axisFrom{0, 1, 2};
    std::array<bool, 3> reversed{};
};

// The 48 symmetries: the axis orders in lexicographic order, each with the
// reversal masks 0 to 7 (bit i reverses axis i). Index 0 is the identity and
// index 7 the point reflection.
inline constexpr int kIdentitySymmetry = 0;
inline constexpr int kPointReflection = 7;

constexpr std::array<CubeSymmetry, kSymmetryCount> MakeCubeSymmetries()
{
    constexpr std::array<std::array<int, 3>, 6> kAxisOrders = {
        {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}}};
    std::array<CubeSymmetry, kSymmetryCount> symmetries{};
    for (std::size_t order = 0; order < kAxisOrders.size(); ++order) {
        for (std::size_t mask = 0; mask < 8; ++mask) {
            CubeSymmetry& s = symmetries[8 * order + mask];
            s.axisFrom = kAxisOrders[order];
            for (std::size_t i = 0; i < 3; ++i) s.reversed[i] = ((mask >> i) & 1u) != 0;
        }
    }
    return symmetries;
}
inline constexpr std::array<CubeSymmetry, kSymmetryCount> kCubeSymmetries = MakeCubeSymmetries();

// For each symmetry and each cell k of the image, the cell of the original
// that it reads (cell 0 reads cell 0).
using SymmetrySources = std::array<std::array<std::uint8_t, kCellCount + 1>, kSymmetryCount>;

constexpr SymmetrySources MakeSymmetrySources()
{
    SymmetrySources sources{};
    for (std::size_t g = 0; g < kSymmetryCount; ++g) {
        const CubeSymmetry& s = kCubeSymmetries[g];
        for (int k = 1; k <= kCellCount; ++k) {
            const std::array<int, 3> q = {(k - 1) / 25 + 1, ((k - 1) % 25) / 5 + 1, (k - 1) % 5 + 1};
            std::array<int, 3> from{};
            for (std::size_t i = 0; i < 3; ++i)
                from[static_cast<std::size_t>(s.axisFrom[i])] = s.reversed[i] ? 6 - q[i] : q[i];
            sources[g][static_cast<std::size_t>(k)] =
                static_cast<std::uint8_t>(25 * (from[0] - 1) + 5 * (from[1] - 1) + from[2]);
        }
    }
    return sources;
}
inline constexpr SymmetrySources kSymmetrySources = MakeSymmetrySources();

static_assert(kSymmetrySources[kIdentitySymmetry][1] == 1 && kSymmetrySources[kIdentitySymmetry][14] == 14);
static_assert(kSymmetrySources[kPointReflection][1] == 125 && kSymmetrySources[kPointReflection][14] == 112);

// Which cubes open their class in run order, as limits on single entries, so
// that a search can skip every branch without such a cube. Of a class, the
// run lists the images with e14 below 63 and meets first the one with the
// smallest e14, then the one whose e18 comes first in pair order. An image's
// e14 is the value of one of the 24 cells of cell 14's orbit (closed under
// the point reflection; it holds e18 and ten entries of loop 4); only the
// identity and the reversal of the rows keep cell 14 in place, and that
// reversal reads its e18 from cell 8. So a cube with distinct values opens
// its class exactly when every entry of the orbit other than e14 lies
// strictly between e14 and 126 - e14, and e8 lies strictly nearer 63 than
// e18 (strictly between m and 126 - m, m = min(e18, 126 - e18)).
constexpr bool InOrbitOfE14(int entry)
{
    for (const auto& sources : kSymmetrySources) {
        if (sources[static_cast<std::size_t>(entry)] == kE14) return true;
    }
    return false;
}

// The cell from which the symmetry other than the identity that keeps cell 14
// in place reads its image's e18.
constexpr int kE18UnderE14Stabilizer = [] {
    for (std::size_t g = 1; g < kSymmetryCount; ++g) {
        if (kSymmetrySources[g][kE14] == kE14) return int{kSymmetrySources[g][kE18]};
    }
    return 0;
}();
static_assert(kE18UnderE14Stabilizer == 8 && InOrbitOfE14(kE18) && InOrbitOfE14(8) && !InOrbitOfE14(kE10) &&
              !InOrbitOfE14(kE17));

// Narrows the exclusive limits (low, high) of entry Entry (not 14) to those
// that a cube opening its class keeps, given its e14 (below 63) and e18. (The
// entry is a constant, so that no run looks through the orbit.)
template <int Entry>
constexpr void NarrowToClassOpener(std::int32_t e14, std::int32_t e18, std::int64_t& low, std::int64_t& high)
{
    if constexpr (!InOrbitOfE14(Entry)) return;
    std::int64_t inner = e14;
    if constexpr (Entry == kE18UnderE14Stabilizer)
        inner = std::max<std::int64_t>(inner, std::min(e18, Complement(e18)));
    if (inner > low) low = inner;
    if (kComplementSum - inner < high) high = kComplementSum - inner;
}

// Whether an outer unit (e14, e18) holds any cube that opens its class.
constexpr bool UnitMayOpenClasses(std::int32_t e14, std::int32_t e18)
{
    return e14 < e18 && e18 < Complement(e14);
}

// The image of a cube under symmetry g (0 to 47).
Cells ApplySymmetry(const Cells& cells, int g);

// The standard form of a cube: of its 48 images, the one whose 125 cells,
// read in order (cell 1 first), are lexicographically smallest. Every member
// of a class has the same standard form, a cube and its complement too (the
// point reflection is one of the 48). Cell 1 of the standard form holds the
// smallest of the cube's 8 corner values. The search for the smallest image
// keeps the symmetries that tie on the cells compared so far; with distinct
// values, cell 1 leaves the 6 that fix one corner and cell 6 at the latest a
// single one, so it costs about 70 reads and one image.
Cells StandardForm(const Cells& cells);

// The number of the symmetry whose image is the standard form (the lowest
// such number when several images are equal).
int StandardFormSymmetry(const Cells& cells);

// The entries (cells 1 to 62) of the standard form of the cube with these
// entries, read straight from them: what a count of classes hashes, without
// the 125 cells of the cube or of its image.
Entries StandardFormEntries(const Entries& entries);

// How many cubes of a run's listing the class of this cube stands for: its
// distinct images whose cell 14 (e14) lies below 63, since of each cube and
// its complement a run lists the one with e14 below 63, and every image lies
// within the same bounds. Exact for any 125 cells: the symmetries that give
// one image are a coset of those that fix the cube. For a valid cube it is
// always 24: its 125 values are distinct, so only the identity fixes it and
// the 48 images are distinct; only the point reflection maps it to its
// complement, so they form 24 complement pairs, of which the run lists one
// each.
int ClassSizeInRun(const Cells& cells);

// The members of the cube's class that a run lists (distinct images with
// e14 below 63), in run order (SolutionOrderKey).
std::vector<Cells> ClassMembersInRun(const Cells& cells);

// True when the cube is listed by a run (e14 below 63) and no other member of
// its class comes before it in run order: the cube at which a full run first
// meets the class. Needs only four cells of each image, so it costs about 200
// reads; a slice of a run can decide it for its own cubes without the others.
bool OpensClassInRun(const Cells& cells);

} // namespace pandicube
