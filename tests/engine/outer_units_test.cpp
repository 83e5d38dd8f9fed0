// The outer units of a run without a list: the units that the four loops
// meet, counted, indexed, sliced and walked by arithmetic.
#include "search/cube/formulas.h"
#include "search/cube/solution_order.h"
#include "search/rows/outer_units.h"
#include "search/rows/unit_region.h"
#include "tests/support/search_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace pandicube {

void PrintTo(const OuterUnit& u, std::ostream* out)
{
    *out << "(" << u.e14 << ", " << u.e18 << ")";
}

namespace test {
namespace {

struct Case {
    std::int32_t bound;
    bool classOpenersOnly;
};

// The units as RunSearch meets them: one progress report per accepted e18.
std::vector<OuterUnit> UnitsMetByTheLoops(const Case& c)
{
    SearchState state;
    PrepareSearchState(state, {c.bound});
    state.classOpenersOnly = c.classOpenersOnly ? 1 : 0;
    RecordingReporter reporter;
    RunSearch(state, reporter);
    std::vector<OuterUnit> units;
    for (const Report& r : reporter.ProgressReports()) units.push_back({r.entries[kE14], r.entries[kE18]});
    return units;
}

OuterUnits UnitsFor(const Case& c, std::optional<Slice> slice = std::nullopt)
{
    const Limits limits = LimitsOf(c.bound);
    return OuterUnits(limits, c.classOpenersOnly, slice);
}

constexpr Case kCases[] = {{64, false}, {69, false}, {75, true}, {255, false}, {255, true}, {300, false}, {333, true}};

TEST(OuterUnits, AreTheUnitsTheLoopsMeetCountedAndIndexedByTheirPlace)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE("U = " + std::to_string(c.bound) + (c.classOpenersOnly ? ", openers" : ""));
        const std::vector<OuterUnit> expected = UnitsMetByTheLoops(c);
        const OuterUnits units = UnitsFor(c);
        ASSERT_EQ(UnitsOf(units.Begin()), expected);
        EXPECT_EQ(units.Count(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(units.CountBefore(expected[i]), i);
            ASSERT_TRUE(units.Contains(expected[i]));
            ASSERT_EQ(units.From(expected[i]).Next(), expected[i]);
        }
        // Pairs that are no units (filtered, taken, outside the limits, the
        // centre) count the units before their place in the order.
        for (std::int32_t e14 : {-300, -174, -129, -128, 30, 31, 60, 61, 63}) {
            for (std::int32_t e18 : {-400, -175, -174, -100, 0, 1, 30, 62, 63, 64, 96, 125, 226, 301, 500}) {
                const OuterUnit probe{e14, e18};
                const auto at = std::lower_bound(expected.begin(), expected.end(), probe, UnitBefore);
                ASSERT_EQ(units.CountBefore(probe), static_cast<std::uint64_t>(at - expected.begin()))
                    << e14 << " " << e18;
                ASSERT_EQ(units.Contains(probe), at != expected.end() && *at == probe);
            }
        }
    }
}

// The row search marks each dead value of a unit once, taking two conditions
// whose forms in e14 and e18 coincide for one: that holds because every unit
// makes the constant of each entry a whole number, which this checks over
// whole runs and a stretch of the largest bound.
TEST(OuterUnits, MakeTheConstantOfEveryEntryAWholeNumber)
{
    const auto expectWhole = [](const OuterUnit& u) {
        for (std::size_t k = 1; k <= kEntryCount; ++k) {
            const AffineForm& f = kAffineForms[k];
            ASSERT_EQ((f.constant + f.c14 * u.e14 + f.c18 * u.e18) % kAffineDenominator, 0)
                << "entry " << k << " of unit (" << u.e14 << ", " << u.e18 << ")";
        }
    };
    for (const Case& c : {Case{255, false}, Case{600, false}, Case{1000, true}}) {
        for (const OuterUnit& u : UnitsOf(UnitsFor(c).Begin())) expectWhole(u);
    }
    OuterUnitCursor cursor = UnitsFor({8323513, false}).Begin();
    for (int i = 0; i < 100000; ++i) {
        const std::optional<OuterUnit> u = cursor.Next();
        if (!u) break;
        expectWhole(*u);
    }
}

TEST(OuterUnits, ASliceHoldsTheUnitsDealtToItAndNoOthers)
{
    for (const Case& c : {kCases[3], kCases[6]}) {
        const std::vector<OuterUnit> all = UnitsOf(UnitsFor(c).Begin());
        for (unsigned n : {1u, 2u, 7u, 64u, 100000u}) {
            for (unsigned k : {1u, 2u, n / 2 + 1, n}) {
                if (k > n) continue;
                SCOPED_TRACE("U = " + std::to_string(c.bound) + ", slice " + std::to_string(k) + "/" +
                             std::to_string(n));
                std::vector<OuterUnit> dealt;
                std::vector<std::uint64_t> before;
                for (std::size_t i = 0; i < all.size(); ++i) {
                    if (SliceOfUnit(i, n) == k) dealt.push_back(all[i]);
                    before.push_back(dealt.size() - (SliceOfUnit(i, n) == k ? 1 : 0));
                }
                const OuterUnits slice = UnitsFor(c, Slice{k, n});
                ASSERT_EQ(UnitsOf(slice.Begin()), dealt);
                EXPECT_EQ(slice.Count(), dealt.size());
                for (std::size_t i = 0; i < all.size(); i += 7) {
                    ASSERT_EQ(slice.CountBefore(all[i]), before[i]);
                    ASSERT_EQ(slice.Contains(all[i]), SliceOfUnit(i, n) == k);
                }
                if (dealt.size() > 2) {
                    const std::vector<OuterUnit> rest(dealt.begin() + 2, dealt.end());
                    EXPECT_EQ(UnitsOf(slice.From(dealt[2])), rest);
                }
            }
        }
    }
}

// Above the skip bound the cursor meets only units inside the run's region,
// in order, and the slices share out exactly the units of the whole run.
TEST(OuterUnitCursor, AboveTheSkipBoundMeetsOnlyTheRegionAndSlicesShareIt)
{
    constexpr std::int32_t bound = 20000;
    static_assert(bound > kSkipFromBound);
    const UnitRegion region(LimitsOf(bound));
    const OuterUnits all(LimitsOf(bound), false);
    std::vector<OuterUnit> whole;
    OuterUnitCursor cursor = all.Begin();
    while (whole.size() < 300) whole.push_back(*cursor.Next());
    for (std::size_t i = 0; i < whole.size(); ++i) {
        EXPECT_TRUE(UnitMayHoldCubes(region, whole[i])) << i;
        EXPECT_TRUE(all.Contains(whole[i])) << i;
        if (i > 0) {
            EXPECT_TRUE(UnitBefore(whole[i - 1], whole[i])) << i;
        }
    }
    // The region's first units come long after the run's first.
    EXPECT_GT(all.CountBefore(whole.front()), 1000000u);
    std::vector<OuterUnit> dealt;
    for (unsigned k = 1; k <= 3; ++k) {
        OuterUnitCursor part = OuterUnits(LimitsOf(bound), false, Slice{k, 3}).Begin();
        for (std::optional<OuterUnit> u = part.Next(); u && !UnitBefore(whole.back(), *u); u = part.Next())
            dealt.push_back(*u);
    }
    std::sort(dealt.begin(), dealt.end(), UnitBefore);
    EXPECT_EQ(dealt, whole);
}

} // namespace
} // namespace test
} // namespace pandicube
