#include "search/loops/run_search.h"
#include "tests/support/cube_checker.h"
#include "tests/support/search_runs.h"
#include "tests/support/worked_example.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace pandicube::test {
namespace {

std::vector<std::int32_t> E18ShownWith(const RecordingReporter& reporter, std::int32_t e14)
{
    std::vector<std::int32_t> shown;
    for (const Report& event : reporter.ProgressReports()) {
        if (event.entries[kE14] == e14) shown.push_back(event.entries[kE18]);
    }
    return shown;
}

bool Contains(const std::vector<std::int32_t>& values, std::int32_t v)
{
    return std::find(values.begin(), values.end(), v) != values.end();
}

// A run with bound reduction: each solution lies strictly inside the limits
// that stood while it was searched (those of the previous solution's bound,
// or of U for the first), and at the end every value is released.
void ExpectSoundReducedRun(const RecordedRun& run, std::int32_t upperBound)
{
    std::int32_t bound = upperBound + 1;
    for (const Report& solution : run.reporter.solutions) {
        EXPECT_EQ(CubeFaults(solution.entries, 126 - bound, bound), std::vector<std::string>{})
            << "solution " << solution.count << " searched below " << bound;
        bound = solution.bestBound;
    }
    EXPECT_EQ(run.state.unwindLevel, 0);
    EXPECT_EQ(PoolFaults(run.state.pool), std::vector<std::string>{});
    EXPECT_EQ(run.reporter.poolMismatches, 0);
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
    const RecordedRun run = RecordRun({300, kWorkedExampleStart}, 1);
    ASSERT_EQ(run.reporter.solutions.size(), 1u);
    const Report& first = run.reporter.solutions.front();
    EXPECT_EQ(first.entries, kWorkedExample);
    EXPECT_EQ(first.entries[55], -12);
    EXPECT_EQ(first.entries[59], 88);
    EXPECT_EQ(first.entries[1], 13);
    EXPECT_EQ(first.entries[32], 172);
    EXPECT_EQ(first.entries[62], -153);
    EXPECT_EQ(first.count, 1);
    EXPECT_EQ(CubeFaults(first.entries, -175, 301), std::vector<std::string>{});
    EXPECT_EQ(Cube::FromEntries(first.entries).Cell(64), 279);
    EXPECT_EQ(LargestValue(first.entries), 279);
    // Only the start pair was shown before it.
    ASSERT_EQ(run.reporter.reports.size(), 2u);
    EXPECT_EQ(run.reporter.reports[0].kind, Report::Kind::Progress);
    EXPECT_EQ(run.reporter.reports[0].entries[kE14], -33);
    EXPECT_EQ(run.reporter.reports[0].entries[kE18], 192);
}

TEST(RunSearch, FirstDescentOpensEveryLoopAtItsStartValue)
{
    // Pair order from e17 = -142 never comes back to -143: the worked example
    // is passed over when loop 4 opens at its start value, and found first
    // when loop 4 opens anywhere before -143.
    const RecordedRun past = RecordRun({300, StartValues{109, -33, -142, 192}}, 1);
    ASSERT_EQ(past.reporter.solutions.size(), 1u);
    EXPECT_FALSE(HasFreeEntries(past.reporter.solutions[0].entries, kWorkedExampleStart));
    EXPECT_EQ(past.reporter.solutions[0].entries[14], -33);

    const RecordedRun before = RecordRun({300, StartValues{109, -33, -144, 192}}, 1);
    ASSERT_EQ(before.reporter.solutions.size(), 1u);
    EXPECT_EQ(before.reporter.solutions[0].entries, kWorkedExample);
}

TEST(RunSearch, WorkedExampleNeedsABoundOfAtLeast279)
{
    // At U = 278, e62 = -153 lies on the lower limit: the first candidate of
    // the first descent is no cube.
    const RecordedRun at278 = RecordRun({278, kWorkedExampleStart}, 1);
    ASSERT_EQ(at278.reporter.solutions.size(), 1u);
    EXPECT_FALSE(HasFreeEntries(at278.reporter.solutions[0].entries, kWorkedExampleStart));
    EXPECT_EQ(CubeFaults(at278.reporter.solutions[0].entries, -153, 279), std::vector<std::string>{});

    const RecordedRun at279 = RecordRun({279, kWorkedExampleStart}, 1);
    ASSERT_EQ(at279.reporter.solutions.size(), 1u);
    EXPECT_EQ(at279.reporter.solutions[0].entries, kWorkedExample);
}

TEST(RunSearch, DefaultStartWithReductionFindsTwoCubes)
{
    const RecordedRun run = RecordRun({300, kDefaultStart, true});
    EXPECT_EQ(run.state.solutionCount, 2);
    ASSERT_EQ(run.reporter.solutions.size(), 2u);

    const Report& first = run.reporter.solutions[0];
    EXPECT_TRUE(HasFreeEntries(first.entries, {233, -75, -94, -48}));
    EXPECT_EQ(first.entries[49], 283);
    EXPECT_EQ(LargestValue(first.entries), 283);
    EXPECT_EQ(first.bestBound, 283);
    EXPECT_EQ(first.seen.lowerLimit, -157);
    EXPECT_EQ(first.seen.upperLimit, 283);
    EXPECT_EQ(first.seen.unwindLevel, 1); // e49 is an entry of loop 3

    const Report& second = run.reporter.solutions[1];
    EXPECT_TRUE(HasFreeEntries(second.entries, {203, -75, -58, -30}));
    EXPECT_EQ(second.entries[62], -129);
    EXPECT_EQ(LargestValue(second.entries), 255);
    EXPECT_EQ(second.bestBound, 255);
    EXPECT_EQ(second.seen.lowerLimit, -129);
    EXPECT_EQ(second.seen.upperLimit, 255);
    EXPECT_EQ(second.seen.unwindLevel, 0);

    ExpectSoundReducedRun(run, 300);
    EXPECT_EQ(run.state.bestBound, 255);
}

TEST(RunSearch, RemaindersOfNegativeNumbersFilterE18)
{
    // From the default start values, e18 = -58 fails (e14 + e18) mod 3 = 0,
    // its complement 184 fails too, and -57 is the first e18 taken.
    const RecordedRun run = RecordRun({300, kDefaultStart}, 1);
    const std::vector<Report> progress = run.reporter.ProgressReports();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress[0].entries[kE14], -75);
    EXPECT_EQ(progress[0].entries[kE18], -57);
    const std::vector<std::int32_t> shown = E18ShownWith(run.reporter, -75);
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
    EXPECT_EQ(run.reporter.solutions.at(0).count, 1);
}

TEST(RunSearch, WorkedExampleWithReductionGoesOnInLoopFour)
{
    const RecordedRun run = RecordRun({300, kWorkedExampleStart, true});
    ASSERT_GE(run.reporter.solutions.size(), 1u);
    const Report& first = run.reporter.solutions[0];
    EXPECT_EQ(first.entries, kWorkedExample);
    EXPECT_EQ(first.bestBound, 279);
    EXPECT_EQ(first.seen.lowerLimit, -153);
    EXPECT_EQ(first.seen.upperLimit, 279);
    // Only e62 = -153, an entry of loop 4, lies on the new limits.
    EXPECT_EQ(first.seen.unwindLevel, 0);

    // Loop 4 goes on with e17 = 269, -142, 268, ... under the same e14, e18
    // and e10; no further cube lies strictly inside -153 .. 279 below e14 =
    // -33 and e18 = 192, so the next event is the next e18 of loop 2.
    ASSERT_EQ(run.reporter.reports[0].kind, Report::Kind::Progress);
    ASSERT_EQ(run.reporter.reports[1].kind, Report::Kind::Solution);
    ASSERT_GE(run.reporter.reports.size(), 3u);
    EXPECT_EQ(run.reporter.reports[2].kind, Report::Kind::Progress);
    EXPECT_EQ(run.reporter.reports[2].entries[kE14], -33);
    EXPECT_NE(run.reporter.reports[2].entries[kE18], 192);

    ExpectSoundReducedRun(run, 300);
}

TEST(RunSearch, ReductionWalksDownToTheSmallestLargestValue)
{
    const RecordedRun run = RecordRun({300, std::nullopt, true});
    std::vector<std::int32_t> bounds;
    for (const Report& solution : run.reporter.solutions) {
        bounds.push_back(solution.bestBound);
        // Every reported cube sets the bound to its own largest value.
        EXPECT_EQ(solution.bestBound, LargestValue(solution.entries));
        EXPECT_EQ(solution.seen.upperLimit, solution.bestBound);
        EXPECT_EQ(solution.seen.lowerLimit, 126 - solution.bestBound);
    }
    EXPECT_EQ(bounds, (std::vector<std::int32_t>{295, 287, 279, 271, 255}));
    ExpectSoundReducedRun(run, 300);
    EXPECT_EQ(run.state.solutionCount, 5);
}

TEST(RunSearch, StartValueRunReleasesEveryValue)
{
    const RecordedRun run = RecordRun({278, kWorkedExampleStart});
    EXPECT_EQ(run.state.solutionCount, static_cast<std::int64_t>(run.reporter.solutions.size()));
    EXPECT_GT(run.state.solutionCount, 0);
    for (const Report& solution : run.reporter.solutions) {
        EXPECT_EQ(CubeFaults(solution.entries, -153, 279), std::vector<std::string>{});
    }
    EXPECT_EQ(run.state.fullRange, 1);
    EXPECT_EQ(PoolFaults(run.state.pool), std::vector<std::string>{});
    EXPECT_EQ(run.reporter.poolMismatches, 0);
}

TEST(RunSearch, BoundsUpTo63FindNothing)
{
    for (std::int32_t bound = 1; bound <= 63; ++bound) {
        const RecordedRun run = RecordRun({bound});
        EXPECT_EQ(run.state.solutionCount, 0) << "U = " << bound;
        EXPECT_TRUE(run.reporter.reports.empty()) << "U = " << bound;
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
    const RecordedRun run = RecordRun({300, StartValues{109, 63, -143, 192}});
    EXPECT_TRUE(run.reporter.reports.empty());
    EXPECT_EQ(run.state.solutionCount, 0);
    EXPECT_EQ(run.state.pool.Flag(63), 0);
    EXPECT_EQ(PoolFaults(run.state.pool), std::vector<std::string>{});
    EXPECT_EQ(run.reporter.poolMismatches, 0);
}

TEST(RunSearch, StartE14OnALimitIsRefused)
{
    // U = 299: limits -174 and 300, both multiples of 3.
    const RecordedRun onLower = RecordRun({299, StartValues{109, -174, -143, 192}}, 1);
    const std::vector<Report> progress = onLower.reporter.ProgressReports();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front().entries[kE14], -171);
    for (const Report& event : progress) EXPECT_NE(event.entries[kE14], -174);

    const RecordedRun onUpper = RecordRun({299, StartValues{109, 300, -143, 192}});
    EXPECT_TRUE(onUpper.reporter.reports.empty());
    EXPECT_EQ(PoolFaults(onUpper.state.pool), std::vector<std::string>{});
}

TEST(RunSearch, StartE18OnALimitIsRefused)
{
    // U = 299: 300 and -174 pass the filters of e18 with e14 = -33 and -75.
    const RecordedRun onUpper = RecordRun({299, StartValues{109, -33, -143, 300}}, 1);
    ASSERT_FALSE(onUpper.reporter.ProgressReports().empty());
    EXPECT_EQ(onUpper.reporter.ProgressReports().front().entries[kE14], -33);
    for (const Report& event : onUpper.reporter.ProgressReports()) EXPECT_NE(event.entries[kE18], 300);

    const RecordedRun onLower = RecordRun({299, StartValues{203, -75, -30, -174}}, 1);
    ASSERT_FALSE(onLower.reporter.ProgressReports().empty());
    EXPECT_EQ(onLower.reporter.ProgressReports().front().entries[kE14], -75);
    for (const Report& event : onLower.reporter.ProgressReports()) EXPECT_NE(event.entries[kE18], -174);

    // U = 300: 301 on the upper limit is never shown either.
    const RecordedRun at300 = RecordRun({300, StartValues{109, -33, -143, 301}}, 1);
    for (const Report& event : at300.reporter.ProgressReports()) EXPECT_NE(event.entries[kE18], 301);
}

} // namespace
} // namespace pandicube::test
