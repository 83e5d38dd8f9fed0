#include "search/run_search.h"
#include "search/search_state.h"
#include "tests/cube_checker.h"
#include "tests/search_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace pandicube::test {
namespace {

std::vector<std::int32_t> E18ShownWith(const RecordingHost& host, std::int32_t e14)
{
    std::vector<std::int32_t> shown;
    for (const SearchEvent& event : host.Progress()) {
        if (event.e14 == e14) shown.push_back(event.e18);
    }
    return shown;
}

bool Contains(const std::vector<std::int32_t>& values, std::int32_t v)
{
    return std::find(values.begin(), values.end(), v) != values.end();
}

// Each solution of a run with bound reduction lies strictly inside the limits
// that stood while it was searched: those of the previous solution's bound,
// or of U for the first.
void ExpectEverySolutionInsideItsLimits(const RecordingHost& host, std::int32_t upperBound)
{
    std::int32_t bound = upperBound + 1;
    for (const SearchEvent& solution : host.solutions) {
        EXPECT_EQ(CubeFaults(solution.e, 126 - bound, bound), std::vector<std::string>{})
            << "solution " << solution.solutionCount << " searched below " << bound;
        bound = solution.bestBound;
    }
}

// The largest of the cube's 125 values.
std::int32_t LargestValue(const Entries& e)
{
    const Cube cube = Cube::FromEntries(e);
    std::int32_t largest = cube.Cell(1);
    for (int k = 2; k <= 125; ++k) largest = std::max(largest, cube.Cell(k));
    return largest;
}

TEST(RunSearch, WorkedExampleIsTheFirstCubeFromItsStartValues)
{
    const RecordedRun run = SearchRun(300, kWorkedExampleStart, false, 1);
    ASSERT_EQ(run.host.solutions.size(), 1u);
    const SearchEvent& first = run.host.solutions.front();
    EXPECT_EQ(first.e, kWorkedExampleEntries);
    EXPECT_EQ(first.e[55], -12);
    EXPECT_EQ(first.e[59], 88);
    EXPECT_EQ(first.e[1], 13);
    EXPECT_EQ(first.e[32], 172);
    EXPECT_EQ(first.e[62], -153);
    EXPECT_EQ(first.solutionCount, 1);
    EXPECT_EQ(CubeFaults(first.e, -175, 301), std::vector<std::string>{});
    EXPECT_EQ(Cube::FromEntries(first.e).Cell(64), 279);
    EXPECT_EQ(LargestValue(first.e), 279);
    // Only the start pair was shown before it.
    ASSERT_EQ(run.host.events.size(), 2u);
    EXPECT_EQ(run.host.events[0].kind, SearchEvent::Kind::Progress);
    EXPECT_EQ(run.host.events[0].e14, -33);
    EXPECT_EQ(run.host.events[0].e18, 192);
}

TEST(RunSearch, FirstDescentOpensEveryLoopAtItsStartValue)
{
    // Pair order from e17 = -142 never comes back to -143: the worked example
    // is passed over when loop 4 opens at its start value, and found first
    // when loop 4 opens anywhere before -143.
    const RecordedRun past = SearchRun(300, StartValues{109, -33, -142, 192}, false, 1);
    ASSERT_EQ(past.host.solutions.size(), 1u);
    EXPECT_FALSE(HasFreeEntries(past.host.solutions[0].e, kWorkedExampleStart));
    EXPECT_EQ(past.host.solutions[0].e[14], -33);

    const RecordedRun before = SearchRun(300, StartValues{109, -33, -144, 192}, false, 1);
    ASSERT_EQ(before.host.solutions.size(), 1u);
    EXPECT_EQ(before.host.solutions[0].e, kWorkedExampleEntries);
}

TEST(RunSearch, WorkedExampleNeedsABoundOfAtLeast279)
{
    // At U = 278, e62 = -153 lies on the lower limit: the first candidate of
    // the first descent is no cube.
    const RecordedRun at278 = SearchRun(278, kWorkedExampleStart, false, 1);
    ASSERT_EQ(at278.host.solutions.size(), 1u);
    EXPECT_FALSE(HasFreeEntries(at278.host.solutions[0].e, kWorkedExampleStart));
    EXPECT_EQ(CubeFaults(at278.host.solutions[0].e, -153, 279), std::vector<std::string>{});

    const RecordedRun at279 = SearchRun(279, kWorkedExampleStart, false, 1);
    ASSERT_EQ(at279.host.solutions.size(), 1u);
    EXPECT_EQ(at279.host.solutions[0].e, kWorkedExampleEntries);
}

TEST(RunSearch, DefaultStartWithReductionFindsTwoCubes)
{
    const RecordedRun run = SearchRun(300, kDefaultStart, true);
    EXPECT_EQ(run.state.solutionCount, 2);
    ASSERT_EQ(run.host.solutions.size(), 2u);

    const SearchEvent& first = run.host.solutions[0];
    EXPECT_TRUE(HasFreeEntries(first.e, {233, -75, -94, -48}));
    EXPECT_EQ(first.e[49], 283);
    EXPECT_EQ(LargestValue(first.e), 283);
    EXPECT_EQ(first.bestBound, 283);
    EXPECT_EQ(first.lowerLimit, -157);
    EXPECT_EQ(first.upperLimit, 283);
    EXPECT_EQ(first.unwindLevel, 1); // e49 is an entry of loop 3

    const SearchEvent& second = run.host.solutions[1];
    EXPECT_TRUE(HasFreeEntries(second.e, {203, -75, -58, -30}));
    EXPECT_EQ(second.e[62], -129);
    EXPECT_EQ(LargestValue(second.e), 255);
    EXPECT_EQ(second.bestBound, 255);
    EXPECT_EQ(second.lowerLimit, -129);
    EXPECT_EQ(second.upperLimit, 255);
    EXPECT_EQ(second.unwindLevel, 0);

    ExpectEverySolutionInsideItsLimits(run.host, 300);
    EXPECT_EQ(run.state.bestBound, 255);
    EXPECT_EQ(run.state.unwindLevel, 0);
    EXPECT_EQ(PoolFaults(run.state.pool), std::vector<std::string>{});
    EXPECT_EQ(run.host.poolMismatches, 0);
}

TEST(RunSearch, RemaindersOfNegativeNumbersFilterE18)
{
    // From the default start values, e18 = -58 fails (e14 + e18) mod 3 = 0,
    // its complement 184 fails too, and -57 is the first e18 taken.
    const RecordedRun run = SearchRun(300, kDefaultStart, false, 1);
    const std::vector<SearchEvent> progress = run.host.Progress();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress[0].e14, -75);
    EXPECT_EQ(progress[0].e18, -57);
    const std::vector<std::int32_t> shown = E18ShownWith(run.host, -75);
    EXPECT_FALSE(Contains(shown, -58));
    EXPECT_FALSE(Contains(shown, 184));
    // -54 passes the mod-3 test and fails (e14 - e18) mod 9 = -3.
    EXPECT_FALSE(Contains(shown, -54));
    // The e18 shown before the first cube follow pair order from -58, with
    // 177 (a positive value with the same remainder) second.
    std::vector<std::int32_t> order = PairOrderFrom(-174);
    order.erase(order.begin(), std::find(order.begin(), order.end(), -58));
    const std::vector<std::int32_t> expected = AcceptedE18(-75, order);
    ASSERT_LE(shown.size(), expected.size());
    EXPECT_EQ(shown, std::vector<std::int32_t>(expected.begin(),
                                               expected.begin() + static_cast<std::ptrdiff_t>(shown.size())));
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown[1], 177);
    EXPECT_TRUE(Contains(shown, -48));
    EXPECT_EQ(run.host.solutions.at(0).solutionCount, 1);
}

TEST(RunSearch, WorkedExampleWithReductionGoesOnInLoopFour)
{
    const RecordedRun run = SearchRun(300, kWorkedExampleStart, true);
    ASSERT_GE(run.host.solutions.size(), 1u);
    const SearchEvent& first = run.host.solutions[0];
    EXPECT_EQ(first.e, kWorkedExampleEntries);
    EXPECT_EQ(first.bestBound, 279);
    EXPECT_EQ(first.lowerLimit, -153);
    EXPECT_EQ(first.upperLimit, 279);
    // Only e62 = -153, an entry of loop 4, lies on the new limits.
    EXPECT_EQ(first.unwindLevel, 0);

    // Loop 4 goes on with e17 = 269, -142, 268, ... under the same e14, e18
    // and e10; no further cube lies strictly inside -153 .. 279 below e14 =
    // -33 and e18 = 192, so the next event is the next e18 of loop 2.
    ASSERT_EQ(run.host.events[0].kind, SearchEvent::Kind::Progress);
    ASSERT_EQ(run.host.events[1].kind, SearchEvent::Kind::Solution);
    ASSERT_GE(run.host.events.size(), 3u);
    EXPECT_EQ(run.host.events[2].kind, SearchEvent::Kind::Progress);
    EXPECT_EQ(run.host.events[2].e14, -33);
    EXPECT_NE(run.host.events[2].e18, 192);

    ExpectEverySolutionInsideItsLimits(run.host, 300);
    EXPECT_EQ(run.state.unwindLevel, 0);
    EXPECT_EQ(PoolFaults(run.state.pool), std::vector<std::string>{});
    EXPECT_EQ(run.host.poolMismatches, 0);
}

TEST(RunSearch, ReductionWalksDownToTheSmallestLargestValue)
{
    const RecordedRun run = SearchRun(300, std::nullopt, true);
    std::vector<std::int32_t> bounds;
    for (const SearchEvent& solution : run.host.solutions) {
        bounds.push_back(solution.bestBound);
        // Every reported cube sets the bound to its own largest value.
        EXPECT_EQ(solution.bestBound, LargestValue(solution.e));
        EXPECT_EQ(solution.upperLimit, solution.bestBound);
        EXPECT_EQ(solution.lowerLimit, 126 - solution.bestBound);
    }
    EXPECT_EQ(bounds, (std::vector<std::int32_t>{295, 287, 279, 271, 255}));
    ExpectEverySolutionInsideItsLimits(run.host, 300);
    EXPECT_EQ(run.state.solutionCount, 5);
    EXPECT_EQ(run.state.unwindLevel, 0);
    EXPECT_EQ(PoolFaults(run.state.pool), std::vector<std::string>{});
    EXPECT_EQ(run.host.poolMismatches, 0);
}

TEST(RunSearch, StartValueRunReleasesEveryValue)
{
    const RecordedRun run = SearchRun(278, kWorkedExampleStart);
    EXPECT_EQ(run.state.solutionCount, static_cast<std::int32_t>(run.host.solutions.size()));
    EXPECT_GT(run.state.solutionCount, 0);
    for (const SearchEvent& solution : run.host.solutions) {
        EXPECT_EQ(CubeFaults(solution.e, -153, 279), std::vector<std::string>{});
    }
    EXPECT_EQ(run.state.fullRange, 1);
    EXPECT_EQ(PoolFaults(run.state.pool), std::vector<std::string>{});
    EXPECT_EQ(run.host.poolMismatches, 0);
}

TEST(RunSearch, BoundsUpTo63FindNothing)
{
    for (std::int32_t bound = 1; bound <= 63; ++bound) {
        const RecordedRun run = SearchRun(bound);
        EXPECT_EQ(run.state.solutionCount, 0) << "U = " << bound;
        EXPECT_EQ(run.host.calls, "") << "U = " << bound;
        EXPECT_EQ(PoolFaults(run.state.pool), std::vector<std::string>{}) << "U = " << bound;
        if (bound >= 62) {
            EXPECT_EQ(run.state.pool.Flag(63), 0) << "U = " << bound;
        }
    }
}

TEST(RunSearch, CentreValueIsRefusedForE14)
{
    // A start e14 of 63 is refused like a value that fails its filter; loop 1
    // then has no value below 63 left and the run ends.
    const RecordedRun run = SearchRun(300, StartValues{109, 63, -143, 192});
    EXPECT_EQ(run.host.calls, "");
    EXPECT_EQ(run.state.solutionCount, 0);
    EXPECT_EQ(run.state.pool.Flag(63), 0);
    EXPECT_EQ(PoolFaults(run.state.pool), std::vector<std::string>{});
    EXPECT_EQ(run.host.poolMismatches, 0);
}

TEST(RunSearch, StartE14OnALimitIsRefused)
{
    // U = 299: limits -174 and 300, both multiples of 3.
    const RecordedRun onLower = SearchRun(299, StartValues{109, -174, -143, 192}, false, 1);
    const std::vector<SearchEvent> progress = onLower.host.Progress();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front().e14, -171);
    for (const SearchEvent& event : progress) EXPECT_NE(event.e14, -174);

    const RecordedRun onUpper = SearchRun(299, StartValues{109, 300, -143, 192});
    EXPECT_EQ(onUpper.host.calls, "");
    EXPECT_EQ(PoolFaults(onUpper.state.pool), std::vector<std::string>{});
}

TEST(RunSearch, StartE18OnALimitIsRefused)
{
    // U = 299: 300 and -174 pass the filters of e18 with e14 = -33 and -75.
    const RecordedRun onUpper = SearchRun(299, StartValues{109, -33, -143, 300}, false, 1);
    ASSERT_FALSE(onUpper.host.Progress().empty());
    EXPECT_EQ(onUpper.host.Progress().front().e14, -33);
    for (const SearchEvent& event : onUpper.host.Progress()) EXPECT_NE(event.e18, 300);

    const RecordedRun onLower = SearchRun(299, StartValues{203, -75, -30, -174}, false, 1);
    ASSERT_FALSE(onLower.host.Progress().empty());
    EXPECT_EQ(onLower.host.Progress().front().e14, -75);
    for (const SearchEvent& event : onLower.host.Progress()) EXPECT_NE(event.e18, -174);

    // U = 300: 301 on the upper limit is never shown either.
    const RecordedRun at300 = SearchRun(300, StartValues{109, -33, -143, 301}, false, 1);
    for (const SearchEvent& event : at300.host.Progress()) EXPECT_NE(event.e18, 301);
}

} // namespace
} // namespace pandicube::test
