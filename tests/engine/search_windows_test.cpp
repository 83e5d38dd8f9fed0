// The windows of the range tests: exact integer rounding, skipping along pair
// order, and windows that never leave out a value the range tests would pass.
#include "search/cube/formulas.h"
#include "search/loops/run_search.h"
#include "search/loops/search_windows.h"
#include "search/rows/outer_units.h"
#include "search/run_setup.h"
#include "tests/support/search_runs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <utility>
#include <vector>

namespace pandicube {
namespace {

TEST(IntegerDivision, RoundsDownAndUpForEverySign)
{
    for (std::int64_t n = -60; n <= 60; ++n) {
        for (std::int64_t d = -9; d <= 9; ++d) {
            if (d == 0) continue;
            const long double exact = static_cast<long double>(n) / static_cast<long double>(d);
            EXPECT_EQ(FloorDiv(n, d), static_cast<std::int64_t>(std::floor(exact))) << n << " / " << d;
            EXPECT_EQ(CeilDiv(n, d), static_cast<std::int64_t>(std::ceil(exact))) << n << " / " << d;
        }
    }
}

TEST(IntegerDivision, ExactAtLargeMagnitudes)
{
    // Beyond the range of 32-bit values, as at the largest upper bound.
    const std::int64_t big = std::int64_t{9} * 8323514 * 320 + 7;
    EXPECT_EQ(FloorDiv(-big, 20), -(big / 20) - 1);
    EXPECT_EQ(CeilDiv(-big, 20), -(big / 20));
    EXPECT_EQ(FloorDiv(big, -20), -(big / 20) - 1);
    EXPECT_EQ(CeilDiv(big, 20), big / 20 + 1);
    EXPECT_EQ(FloorDiv(-big + 7, 20), -(big - 7) / 20);
}

// All 62 entries from the free ones by the formula table, step by step.
Entries EntriesFromTable(std::int32_t e10, std::int32_t e14, std::int32_t e17, std::int32_t e18)
{
    Entries e{};
    e[10] = e10;
    e[14] = e14;
    e[17] = e17;
    e[18] = e18;
    for (const FormulaStep& step : kFormulaTable) {
        std::int64_t n = step.constant;
        for (const FormulaTerm& t : step.terms) n += std::int64_t{t.coeff} * e[static_cast<std::size_t>(t.entry)];
        e[static_cast<std::size_t>(step.entry)] = static_cast<std::int32_t>(n / step.divisor);
    }
    return e;
}

bool InLimits(std::int32_t v, std::int32_t lower, std::int32_t upper)
{
    return lower < v && v < upper;
}

// The range tests of loop 4 (e17 and its 52 entries) and of loop 3 (e10 and
// its four entries) on a complete set of free entries.
bool Loop4RangeTestsPass(const Entries& e, std::int32_t lower, std::int32_t upper)
{
    if (!InLimits(e[17], lower, upper)) return false;
    for (std::size_t i = kLevel4Steps.first; i < kLevel4Steps.end; ++i) {
        if (!InLimits(e[static_cast<std::size_t>(kFormulaTable[i].entry)], lower, upper)) return false;
    }
    return true;
}

bool Loop3RangeTestsPass(const Entries& e, std::int32_t lower, std::int32_t upper)
{
    if (!InLimits(e[10], lower, upper)) return false;
    for (std::size_t i = kLevel3Steps.first; i < kLevel3Steps.end; ++i) {
        if (!InLimits(e[static_cast<std::size_t>(kFormulaTable[i].entry)], lower, upper)) return false;
    }
    return true;
}

struct UnitSample {
    std::int32_t e14 = 0;
    std::int32_t e18 = 0;
    std::int32_t lower = 0;
    std::int32_t upper = 0;
};

// Outer units that pass the filters, under the limits of a run's start and
// under reduced limits.
std::vector<UnitSample> UnitSamples(std::size_t count)
{
    std::mt19937 rng(11u);
    const auto uniform = [&rng](std::int32_t lo, std::int32_t hi) {
        return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng);
    };
    std::vector<UnitSample> samples;
    for (std::size_t i = 0; i < count; ++i) {
        UnitSample u;
        const std::int32_t bound = uniform(0, 1) == 0 ? uniform(230, 420) : uniform(100, 229);
        u.upper = uniform(0, 2) == 0 ? bound : bound + 1; // reduced or as set up
        u.lower = 126 - u.upper;
        u.e14 = 3 * uniform((u.lower + 1) / 3, 20);
        u.e18 = u.e14 + 9 * uniform((u.lower - u.e14) / 9 + 1, (u.upper - u.e14) / 9 - 1);
        samples.push_back(u);
    }
    return samples;
}

TEST(E17Window, HoldsExactlyTheValuesThatPassEveryRangeTestOfLoop4)
{
    std::mt19937 rng(3u);
    for (const UnitSample& u : UnitSamples(150)) {
        const UnitWindows windows = ComputeUnitWindows(u.e14, u.e18, u.lower, u.upper);
        for (int k = 0; k < 6; ++k) {
            const std::int32_t e10 = std::uniform_int_distribution<std::int32_t>(u.lower - 3, u.upper + 3)(rng);
            const ValueWindow w = E17Window(windows, e10);
            // Only e17 of e10's remainder modulo 3 give whole entries.
            for (std::int32_t e17 = e10 - 3 * ((e10 - u.lower) / 3 + 2); e17 <= u.upper + 6; e17 += 3) {
                const bool pass = Loop4RangeTestsPass(EntriesFromTable(e10, u.e14, e17, u.e18), u.lower, u.upper);
                ASSERT_EQ(w.Contains(e17), pass) << "e14 " << u.e14 << " e18 " << u.e18 << " e10 " << e10 << " e17 "
                                                 << e17 << " limits " << u.lower << ".." << u.upper;
            }
        }
    }
}

// The cursors over the rows of a unit, up and down, against E17Window at every
// row and at rows met with gaps between them (as dead rows leave), in e17 and
// in u, for the units of whole runs (where the edges pass from line to line
// inside a unit, at bounds from 600 on) and for the narrower windows of class
// openers.
TEST(E17WindowCursor, GivesE17WindowAtEveryRow)
{
    for (const std::int32_t bound : {300, 600, 1000}) {
        for (const bool openers : {false, true}) {
            SearchState state;
            PrepareSearchState(state, {bound});
            state.classOpenersOnly = openers ? 1 : 0;
            const std::vector<OuterUnit> units = test::UnitsOf(OuterUnits(state).Begin());
            for (std::size_t i = 0; i < units.size(); i += test::kSanitized ? 29 : 3) {
                const UnitWindows windows =
                    ComputeUnitWindows(units[i].e14, units[i].e18, state.lowerLimit, state.upperLimit, openers);
                for (const bool inU : {false, true}) {
                    const RowWindow kind = inU ? RowWindow::kOfU : RowWindow::kOfE17;
                    // Ascending, and descending as the rows above 63 are met;
                    // every row, and then one of about three.
                    for (const bool gaps : {false, true}) {
                        E17WindowCursor cursor(windows, windows.e10, false, kind);
                        E17WindowCursor downward(windows, windows.e10, true, kind);
                        const std::int64_t rows = windows.e10.hi - windows.e10.lo + 1;
                        for (std::int64_t r = 0; r < 2 * rows; ++r) {
                            const bool down = r >= rows;
                            const std::int64_t e10 = down ? windows.e10.hi - (r - rows) : windows.e10.lo + r;
                            if (gaps && (e10 * 7 + units[i].e18) % 3 == 0) continue;
                            ValueWindow expected = E17Window(windows, static_cast<std::int32_t>(e10));
                            if (inU) expected = {CeilDiv(expected.lo + 2 * e10, 3), FloorDiv(expected.hi + 2 * e10, 3)};
                            const ValueWindow got = down ? downward.At(e10) : cursor.At(e10);
                            if (expected.Empty() && got.Empty()) continue;
                            ASSERT_EQ(std::pair(got.lo, got.hi), std::pair(expected.lo, expected.hi))
                                << "bound " << bound << " e14 " << units[i].e14 << " e18 " << units[i].e18 << " e10 "
                                << e10 << (down ? " descending" : "") << (inU ? " u" : " e17")
                                << (gaps ? " with gaps" : "");
                        }
                    }
                }
            }
        }
    }
}

TEST(E10Window, LeavesOutOnlyValuesWithoutAnyE17)
{
    std::size_t left = 0;
    std::size_t needed = 0;
    std::size_t slack = 0;
    for (const UnitSample& u : UnitSamples(40)) {
        const UnitWindows windows = ComputeUnitWindows(u.e14, u.e18, u.lower, u.upper);
        for (std::int32_t e10 = u.lower - 2; e10 <= u.upper + 2; ++e10) {
            bool anyE17 = false;
            for (std::int32_t e17 = e10 - 3 * ((e10 - u.lower) / 3 + 1); e17 <= u.upper && !anyE17; e17 += 3) {
                const Entries e = EntriesFromTable(e10, u.e14, e17, u.e18);
                anyE17 = Loop3RangeTestsPass(e, u.lower, u.upper) && Loop4RangeTestsPass(e, u.lower, u.upper);
            }
            if (anyE17) {
                ++needed;
                ASSERT_TRUE(windows.e10.Contains(e10)) << "e14 " << u.e14 << " e18 " << u.e18 << " e10 " << e10;
            } else if (windows.e10.Contains(e10)) {
                ++slack;
            } else {
                ++left;
            }
        }
    }
    // The window is worth having: it leaves out many values, and few of the
    // values it keeps have no e17.
    EXPECT_GT(needed, 0u);
    EXPECT_GT(left, 2 * needed);
    EXPECT_LT(slack, needed / 20);
}

} // namespace
} // namespace pandicube
