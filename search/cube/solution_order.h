#pragma once

#include "search/cells.h"
#include "search/vocabulary.h"

#include <compare>
#include <cstdint>

namespace pandicube {

// The place of a solution in a single full-range run, derived from its four
// free entries alone: e14 ascending, then e18, e10 and e17 each by its rank in
// pair order. Two different cubes never share a key, since the free entries
// determine the cube.
struct SolutionOrderKey {
    std::int32_t e14 = 0;
    PairOrderRank e18;
    PairOrderRank e10;
    PairOrderRank e17;

    friend constexpr auto operator<=>(const SolutionOrderKey&, const SolutionOrderKey&) = default;
};

constexpr SolutionOrderKey OrderKeyOf(const Entries& e)
{
    return {e[kE14], RankInPairOrder(e[kE18]), RankInPairOrder(e[kE10]), RankInPairOrder(e[kE17])};
}

// The order in which a run meets its outer units: e14 ascending, then e18 in
// pair order.
constexpr bool UnitBefore(const OuterUnit& a, const OuterUnit& b)
{
    if (a.e14 != b.e14) return a.e14 < b.e14;
    return RankInPairOrder(a.e18) < RankInPairOrder(b.e18);
}

} // namespace pandicube
