#include "search/cube/cube_symmetry.h"

#include "search/cube/solution_order.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <optional>
#include <utility>

namespace pandicube {

namespace {

std::int32_t Read(const Cells& cells, int g, int k)
{
    return cells[kSymmetrySources[static_cast<std::size_t>(g)][static_cast<std::size_t>(k)]];
}

// For each symmetry and each entry of the image, the entry of the original
// that it reads, and whether it reads its complement (mask -1) or the entry
// itself (0), in two tables (WriteImage folds them into fixed reads). No
// entry's cell is the centre's image.
struct EntrySources {
    std::array<std::array<std::uint8_t, kEntryCount + 1>, kSymmetryCount> entry{};
    std::array<std::array<std::int32_t, kEntryCount + 1>, kSymmetryCount> complementMask{};
};
constexpr EntrySources kEntrySources = [] {
    EntrySources sources;
    for (std::size_t g = 0; g < kSymmetryCount; ++g) {
        for (std::size_t k = 1; k <= kEntryCount; ++k) {
            const int c = kSymmetrySources[g][k];
            sources.entry[g][k] = static_cast<std::uint8_t>(c <= kEntryCount ? c : kComplementSum - c);
            sources.complementMask[g][k] = c <= kEntryCount ? 0 : -1;
        }
    }
    return sources;
}();

bool FixedBy(const Cells& cells, int g)
{
    for (int k = 1; k <= kCellCount; ++k) {
        if (Read(cells, g, k) != cells[static_cast<std::size_t>(k)]) return false;
    }
    return true;
}

bool ListedImage(const Cells& cells, int g)
{
    return Read(cells, g, kE14) < kCentreValue;
}

SolutionOrderKey OrderKeyOfImage(const Cells& cells, int g)
{
    return {Read(cells, g, kE14), RankInPairOrder(Read(cells, g, kE18)), RankInPairOrder(Read(cells, g, kE10)),
            RankInPairOrder(Read(cells, g, kE17))};
}

// The entries of the image under G, one fixed read per entry: a census makes
// one image per class, so each symmetry has its own unrolled copy.
template <std::size_t G>
void WriteImage(const Entries& e, Entries& image)
{
    [&]<std::size_t... K>(std::index_sequence<K...>)
    {
        ((image[K + 1] = kEntrySources.complementMask[G][K + 1] == 0
                             ? e[kEntrySources.entry[G][K + 1]]
                             : kComplementSum - e[kEntrySources.entry[G][K + 1]]),
         ...);
    }
    (std::make_index_sequence<kEntryCount>{});
}
using ImageWriter = void (*)(const Entries&, Entries&);
constexpr auto kImageWriters = []<std::size_t... G>(std::index_sequence<G...>)
{
    return std::array<ImageWriter, kSymmetryCount>{&WriteImage<G>...};
}
(std::make_index_sequence<kSymmetryCount>{});

// The eight corners, and the six symmetries that read each into cell 1.
constexpr std::array<int, 8> kCorners = {1, 5, 21, 25, 101, 105, 121, 125};
constexpr auto kSymmetriesOfCorner = [] {
    std::array<std::array<int, 6>, kCorners.size()> of{};
    std::array<std::size_t, kCorners.size()> found{};
    for (std::size_t g = 0; g < kSymmetryCount; ++g) {
        for (std::size_t c = 0; c < kCorners.size(); ++c) {
            if (kSymmetrySources[g][1] == kCorners[c]) of[c][found[c]++] = static_cast<int>(g);
        }
    }
    return of;
}();

// StandardFormSymmetry where the least values decide alone: cell 1 takes the
// least corner, cell 2 the least of that corner's neighbours along the
// edges, cell 6 the lesser of the other two (cells 3 to 5 lie on the row of
// cells 1 and 2, which the two symmetries left keep). None on a tie.
std::optional<int> SymmetryOfLeastCorner(const Cells& cells)
{
    std::size_t corner = 0;
    bool tie = false;
    for (std::size_t c = 1; c < kCorners.size(); ++c) {
        const std::int32_t v = Read(cells, kIdentitySymmetry, kCorners[c]);
        const std::int32_t least = Read(cells, kIdentitySymmetry, kCorners[corner]);
        if (v < least) {
            corner = c;
            tie = false;
        } else if (v == least) {
            tie = true;
        }
    }
    if (tie) return std::nullopt;
    int best = -1;
    std::pair<std::int32_t, std::int32_t> least{};
    for (const int g : kSymmetriesOfCorner[corner]) {
        const std::pair<std::int32_t, std::int32_t> read{Read(cells, g, 2), Read(cells, g, 6)};
        if (best < 0 || read < least) {
            best = g;
            least = read;
            tie = false;
        } else if (read == least) {
            tie = true;
        }
    }
    if (tie) return std::nullopt;
    return best;
}

// For each corner, the three cells next to it along the edges, and the
// symmetry among its six that reads neighbour i into cell 2 and neighbour j
// into cell 6.
struct CornerNeighbours {
    std::array<int, 3> cells{};
    std::array<std::array<int, 3>, 3> symmetry{};
};
constexpr auto kCornerNeighbours = [] {
    std::array<CornerNeighbours, kCorners.size()> of{};
    for (std::size_t c = 0; c < kCorners.size(); ++c) {
        std::size_t found = 0;
        for (const int g : kSymmetriesOfCorner[c]) {
            const int cell = kSymmetrySources[static_cast<std::size_t>(g)][2];
            bool known = false;
            for (std::size_t i = 0; i < found; ++i) known = known || of[c].cells[i] == cell;
            if (!known) of[c].cells[found++] = cell;
        }
        for (const int g : kSymmetriesOfCorner[c]) {
            const auto& sources = kSymmetrySources[static_cast<std::size_t>(g)];
            std::size_t i = 0;
            std::size_t j = 0;
            for (std::size_t n = 0; n < 3; ++n) {
                if (of[c].cells[n] == sources[2]) i = n;
                if (of[c].cells[n] == sources[6]) j = n;
            }
            of[c].symmetry[i][j] = g;
        }
    }
    return of;
}();

// The value of cell k (not the centre) of the cube with these entries.
constexpr std::int32_t CellOf(const Entries& e, int k)
{
    return k <= kEntryCount ? e[static_cast<std::size_t>(k)]
                            : Complement(e[static_cast<std::size_t>(kComplementSum - k)]);
}

// SymmetryOfLeastCorner read straight off the entries, as a census does once
// per class: the least corner, then its least neighbour into cell 2 and the
// lesser of the other two into cell 6.
std::optional<int> SymmetryOfLeastCornerEntries(const Entries& e)
{
    std::array<std::int32_t, kCorners.size()> corner{};
    for (std::size_t c = 0; c < corner.size(); ++c) corner[c] = CellOf(e, kCorners[c]);
    std::size_t least = 0;
    for (std::size_t c = 1; c < corner.size(); ++c) least = corner[c] < corner[least] ? c : least;
    int ties = 0;
    for (const std::int32_t v : corner) ties += v == corner[least] ? 1 : 0;
    if (ties > 1) return std::nullopt;
    const CornerNeighbours& next = kCornerNeighbours[least];
    const std::array<std::int32_t, 3> v = {CellOf(e, next.cells[0]), CellOf(e, next.cells[1]),
                                           CellOf(e, next.cells[2])};
    if (v[0] == v[1] || v[0] == v[2] || v[1] == v[2]) return std::nullopt;
    const std::size_t i = v[0] < v[1] ? (v[0] < v[2] ? 0 : 2) : (v[1] < v[2] ? 1 : 2);
    const std::size_t j = i == 0 ? (v[1] < v[2] ? 1 : 2) : i == 1 ? (v[0] < v[2] ? 0 : 2) : (v[0] < v[1] ? 0 : 1);
    return next.symmetry[i][j];
}

} // namespace

Cells ApplySymmetry(const Cells& cells, int g)
{
    assert(g >= 0 && g < kSymmetryCount);
    Cells image{};
    for (int k = 1; k <= kCellCount; ++k) image[static_cast<std::size_t>(k)] = Read(cells, g, k);
    return image;
}

int StandardFormSymmetry(const Cells& cells)
{
    if (const std::optional<int> g = SymmetryOfLeastCorner(cells)) return *g;
    // The symmetries whose images tie on the cells compared so far, in
    // ascending order; each cell keeps those that read its smallest value.
    std::array<int, kSymmetryCount> tied{};
    for (int g = 0; g < kSymmetryCount; ++g) tied[static_cast<std::size_t>(g)] = g;
    std::size_t count = tied.size();
    for (int k = 1; k <= kCellCount && count > 1; ++k) {
        std::int32_t least = std::numeric_limits<std::int32_t>::max();
        std::size_t kept = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const int g = tied[i];
            const std::int32_t v = Read(cells, g, k);
            if (v < least) {
                least = v;
                kept = 0;
            }
            if (v == least) tied[kept++] = g;
        }
        count = kept;
    }
    return tied[0];
}

Cells StandardForm(const Cells& cells)
{
    return ApplySymmetry(cells, StandardFormSymmetry(cells));
}

Entries StandardFormEntries(const Entries& entries)
{
    const std::optional<int> least = SymmetryOfLeastCornerEntries(entries);
    const auto g = static_cast<std::size_t>(least ? *least : StandardFormSymmetry(CellsFromEntries(entries)));
    Entries form; // every element is set below
    form[0] = 0;
    kImageWriters[g](entries, form);
    return form;
}

int ClassSizeInRun(const Cells& cells)
{
    int listed = 0;
    int fixing = 0;
    for (int g = 0; g < kSymmetryCount; ++g) {
        if (ListedImage(cells, g)) ++listed;
        if (FixedBy(cells, g)) ++fixing;
    }
    // Every image arises from `fixing` symmetries, which agree on cell 14.
    assert(fixing > 0 && listed % fixing == 0);
    return listed / fixing;
}

std::vector<Cells> ClassMembersInRun(const Cells& cells)
{
    std::vector<std::pair<SolutionOrderKey, Cells>> members;
    for (int g = 0; g < kSymmetryCount; ++g) {
        if (ListedImage(cells, g)) members.emplace_back(OrderKeyOfImage(cells, g), ApplySymmetry(cells, g));
    }
    std::sort(members.begin(), members.end());
    members.erase(std::unique(members.begin(), members.end()), members.end());
    std::vector<Cells> inOrder;
    inOrder.reserve(members.size());
    for (const auto& member : members) inOrder.push_back(member.second);
    return inOrder;
}

bool OpensClassInRun(const Cells& cells)
{
    if (!ListedImage(cells, kIdentitySymmetry)) return false;
    const SolutionOrderKey own = OrderKeyOfImage(cells, kIdentitySymmetry);
    for (int g = 1; g < kSymmetryCount; ++g) {
        if (ListedImage(cells, g) && OrderKeyOfImage(cells, g) < own) return false;
    }
    return true;
}

} // namespace pandicube
