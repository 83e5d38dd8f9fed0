#include "search/cube/cube_symmetry.h"

#include "search/cube/solution_order.h"

#include <algorithm>
#include <cassert>
#include <limits>

namespace pandicube {

namespace {

std::int32_t Read(const Cells& cells, int g, int k)
{
    return cells[kSymmetrySources[static_cast<std::size_t>(g)][static_cast<std::size_t>(k)]];
}

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
