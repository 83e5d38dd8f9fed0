// The region of outer units that may hold a cube: it never leaves out a unit
// with a cube (or, ranges only, with an e10 window), it leaves out most of
// the walk before the first cube at a large bound, and skipping into it
// meets the same units as walking pair order one value at a time.
#include "search/loops/run_search.h"
#include "search/loops/search_windows.h"
#include "search/rows/outer_units.h"
#include "search/rows/unit_region.h"
#include "search/rows/unit_search.h"
#include "search/run_setup.h"
#include "tests/support/search_runs.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace pandicube {
namespace {

// Every unit of whole runs, with and without classOpenersOnly.
TEST(UnitRegion, HoldsEveryUnitWithACubeOrAnE10Window)
{
    for (const std::int32_t bound : {255, 300, 420, 600}) {
        if (test::kSanitized && bound > 420) continue;
        for (const bool openers : {false, true}) {
            SearchState state;
            PrepareSearchState(state, {bound});
            state.classOpenersOnly = openers ? 1 : 0;
            const UnitRegion region({state.lowerLimit, state.upperLimit});
            const UnitRegion ranges({state.lowerLimit, state.upperLimit}, RegionRule::kRangesOnly);
            std::vector<Entries> cubes;
            std::size_t withCubes = 0;
            for (const OuterUnit u : test::UnitsOf(OuterUnits(state).Begin())) {
                FindUnitCubes({state.lowerLimit, state.upperLimit}, openers, u, cubes);
                const bool window =
                    !ComputeUnitWindows(u.e14, u.e18, state.lowerLimit, state.upperLimit, openers).e10.Empty();
                withCubes += cubes.empty() ? 0 : 1;
                ASSERT_TRUE(cubes.empty() || UnitMayHoldCubes(region, u))
                    << "bound " << bound << " e14 " << u.e14 << " e18 " << u.e18;
                ASSERT_TRUE(!window || UnitMayHoldCubes(ranges, u))
                    << "bound " << bound << " e14 " << u.e14 << " e18 " << u.e18;
            }
            EXPECT_GT(withCubes, 0u) << "bound " << bound;
        }
    }
}

// At a large bound, the units just outside the region's edges: the slices of
// e14 below it and the ends of E18Range at the first e14s inside.
TEST(UnitRegion, UnitsJustOutsideHoldNothingAtALargeBound)
{
    const Limits limits = LimitsOf(20000);
    const UnitRegion region(limits);
    const UnitRegion ranges(limits, RegionRule::kRangesOnly);
    std::int32_t firstE14 = static_cast<std::int32_t>(ranges.E14Range().lo) - 6;
    while (firstE14 % 3 != 0) ++firstE14;
    std::vector<Entries> cubes;
    std::size_t outside = 0;
    for (std::int32_t e14 = firstE14; e14 <= firstE14 + 15; e14 += 3) {
        const ValueWindow e18Range = ranges.E18Range(e14);
        for (std::int32_t e18 = limits.lower + 1; e18 < limits.upper; ++e18) {
            if ((e14 - e18) % 9 != 0 || e18 == e14 || e18 == Complement(e14) || e18 == kCentreValue) continue;
            const bool nearEdge = e18Range.Empty() || e18 < e18Range.lo + 30 || e18 > e18Range.hi - 30;
            const OuterUnit u{e14, e18};
            if (!nearEdge || UnitMayHoldCubes(region, u)) continue;
            ++outside;
            FindUnitCubes(limits, false, u, cubes);
            ASSERT_TRUE(cubes.empty()) << "e14 " << e14 << " e18 " << e18;
            if (!UnitMayHoldCubes(ranges, u)) {
                ASSERT_TRUE(ComputeUnitWindows(e14, e18, limits.lower, limits.upper).e10.Empty())
                    << "e14 " << e14 << " e18 " << e18;
            }
        }
    }
    EXPECT_GT(outside, 1000u);
}

// Walks the units of a run in order, only those that the region admits, to
// the first that holds a cube, and compares the units searched with those
// the plain walk meets before it.
TEST(UnitRegion, SkipsMostOfTheWalkBeforeTheFirstCube)
{
    const Limits limits = LimitsOf(20000);
    const UnitRegion region(limits);
    std::vector<Entries> cubes;
    std::size_t searched = 0;
    OuterUnit first{};
    for (std::int32_t e14 = limits.lower + 1; e14 < kCentreValue && cubes.empty() && searched < 10000; ++e14) {
        if (e14 % 3 != 0 || !region.E14Range().Contains(e14)) continue;
        std::int32_t e18 = limits.lower + 1;
        while (cubes.empty() && SkipE18IntoRegion(region, e14, e18)) {
            if (e18 != e14 && e18 != Complement(e14)) {
                first = {e14, e18};
                ++searched;
                FindUnitCubes(limits, false, first, cubes);
            }
            if (!NextInPairOrder(e18)) break;
        }
    }
    ASSERT_FALSE(cubes.empty());
    // The units of the e14 before the first unit's, all of which the plain
    // walk meets first.
    std::size_t before = 0;
    for (std::int32_t e14 = limits.lower + 1; e14 < first.e14; ++e14) {
        if (e14 % 3 != 0) continue;
        for (std::int32_t e18 = e14 - 9 * ((e14 - limits.lower - 1) / 9); e18 < limits.upper; e18 += 9)
            before += e18 != e14 && e18 != Complement(e14) && e18 != kCentreValue ? 1 : 0;
    }
    EXPECT_GT(before, 1000 * searched);
}

// Against walking pair order one value at a time and asking the region.
TEST(SkipE18IntoRegion, MeetsTheUnitsThatWalkingPairOrderMeets)
{
    for (const std::int32_t bound : {260, 1000}) {
        const Limits limits = LimitsOf(bound);
        const UnitRegion region(limits);
        for (std::int32_t e14 = limits.lower + 1; e14 < kCentreValue; e14 += 1) {
            if (e14 % 3 != 0) continue;
            std::vector<std::int32_t> walked;
            std::vector<std::int32_t> skipped;
            std::int32_t e18 = limits.lower + 1;
            do {
                if ((e14 - e18) % 9 == 0 && e18 != kCentreValue && UnitMayHoldCubes(region, {e14, e18}))
                    walked.push_back(e18);
            } while (NextInPairOrder(e18));
            e18 = limits.lower + 1;
            while (SkipE18IntoRegion(region, e14, e18)) {
                skipped.push_back(e18);
                if (!NextInPairOrder(e18)) break;
            }
            ASSERT_EQ(skipped, walked) << "bound " << bound << " e14 " << e14;
        }
    }
}

} // namespace
} // namespace pandicube
