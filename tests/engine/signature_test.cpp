#include "search/loops/run_search.h"
#include "search/rows/parallel_search.h"
#include "search/rows/unit_search.h"
#include "search/solution_hash.h"
#include "tests/support/cube_checker.h"
#include "tests/support/search_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

namespace pandicube::test {
namespace {

// FNV-1a over the 62 entries of every solution, in the order found.
std::uint64_t Checksum(const std::vector<Report>& solutions)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const Report& solution : solutions) {
        for (int k = 1; k <= 62; ++k) {
            hash ^= static_cast<std::uint32_t>(solution.entries[static_cast<std::size_t>(k)]);
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

// What every full run must satisfy, whatever its bound.
void ExpectSoundFullRun(const RecordedRun& run, std::int32_t upperBound)
{
    const std::vector<Report>& solutions = run.reporter.solutions;
    EXPECT_EQ(run.state.solutionCount, static_cast<std::int64_t>(solutions.size()));
    std::set<std::vector<std::int32_t>> distinct;
    for (std::size_t i = 0; i < solutions.size(); ++i) {
        const Report& solution = solutions[i];
        EXPECT_EQ(solution.count, static_cast<std::int32_t>(i + 1));
        EXPECT_EQ(CubeFaults(solution.entries, 125 - upperBound, upperBound + 1), std::vector<std::string>{})
            << "solution " << i + 1;
        // Of a cube and its complement only the one with e14 below 63 is met.
        EXPECT_LT(solution.entries[14], 63);
        distinct.insert(std::vector<std::int32_t>(solution.entries.begin() + 1, solution.entries.end()));
        // Without reduction the limits never move.
        EXPECT_EQ(solution.seen.lowerLimit, 125 - upperBound);
        EXPECT_EQ(solution.seen.upperLimit, upperBound + 1);
        EXPECT_EQ(solution.bestBound, upperBound + 1);
        // Each solution comes with its hash, made where it was found.
        EXPECT_EQ(solution.hash, SolutionHash(solution.entries)) << "solution " << i + 1;
    }
    EXPECT_EQ(distinct.size(), solutions.size());
    EXPECT_EQ(run.reporter.poolMismatches, 0);
    EXPECT_EQ(PoolFaults(run.state.pool), std::vector<std::string>{});
}

// Loop 1 and loop 2 of a full run at U = 300, seen through the progress calls.
void ExpectProgressOfLoopsOneAndTwoAtU300(const RecordingReporter& reporter)
{
    const std::vector<Report> progress = reporter.ProgressReports();
    std::vector<std::int32_t> e14Shown;
    for (const Report& report : progress) {
        if (e14Shown.empty() || e14Shown.back() != report.entries[kE14]) e14Shown.push_back(report.entries[kE14]);
    }
    // Loop 1 takes the multiples of 3 from -174 to 60: 79 values.
    std::vector<std::int32_t> e14Expected;
    for (std::int32_t e14 = -174; e14 <= 60; e14 += 3) e14Expected.push_back(e14);
    ASSERT_EQ(e14Expected.size(), 79u);
    EXPECT_EQ(e14Shown, e14Expected);

    // One progress report per accepted e18, in pair order, with the right pair.
    std::vector<std::pair<std::int32_t, std::int32_t>> shown;
    for (const Report& report : progress) shown.emplace_back(report.entries[kE14], report.entries[kE18]);
    std::vector<std::pair<std::int32_t, std::int32_t>> expected;
    const std::vector<std::int32_t> order = PairOrderFrom(-174);
    for (std::int32_t e14 : e14Expected) {
        for (std::int32_t e18 : AcceptedE18(e14, order)) expected.emplace_back(e14, e18);
    }
    EXPECT_EQ(shown, expected);

    // With e14 = -75: -57 is taken, -58 and -54 are not.
    std::vector<std::int32_t> withMinus75;
    for (const Report& report : progress) {
        if (report.entries[kE14] == -75) withMinus75.push_back(report.entries[kE18]);
    }
    EXPECT_NE(std::find(withMinus75.begin(), withMinus75.end(), -57), withMinus75.end());
    EXPECT_EQ(std::find(withMinus75.begin(), withMinus75.end(), -58), withMinus75.end());
    EXPECT_EQ(std::find(withMinus75.begin(), withMinus75.end(), -54), withMinus75.end());
}

TEST(SignatureRun, FullRunAtU300)
{
    const RecordedRun run = RecordRun({300});
    EXPECT_EQ(run.state.solutionCount, 504);
    EXPECT_EQ(Checksum(run.reporter.solutions), 0x46173b9892ead045ull);
    ExpectSoundFullRun(run, 300);
    ExpectProgressOfLoopsOneAndTwoAtU300(run.reporter);
}

TEST(SignatureRun, FullRunAtU255)
{
    const RecordedRun run = RecordRun({255});
    EXPECT_EQ(run.state.solutionCount, 24);
    EXPECT_EQ(Checksum(run.reporter.solutions), 0x396571e2680ff615ull);
    ExpectSoundFullRun(run, 255);
    // 255 is the smallest bound with a cube: the last cube of the run with
    // reduction from U = 300 has largest value 255.
    EXPECT_EQ(RecordRun({254}).state.solutionCount, 0);
}

TEST(OuterUnits, SearchedOneByOneTheyRepeatRunSearch)
{
    const RecordedRun whole = RecordRun({255});

    SearchState state;
    PrepareSearchState(state, {255});
    RecordingReporter reporter;
    const std::vector<OuterUnit> units = UnitsOf(OuterUnits(state).Begin());
    ASSERT_EQ(units.size(), whole.reporter.ProgressReports().size());
    for (const OuterUnit& unit : units) RunOuterUnit(state, reporter, unit);

    EXPECT_EQ(FirstDifference(reporter.reports, PlainReports(whole.reporter.reports)), "");
    EXPECT_EQ(state.solutionCount, whole.state.solutionCount);
}

// The row search against the value-by-value search below the same units, at
// bounds where the rows' windows are bounded by many range strips in turn,
// for every run and for one that lists only the class openers; and the
// sightings of the cubes against the cubes.
TEST(OuterUnits, SearchedByRowsTheyRepeatTheSearchByValues)
{
    // 700: the plan for long rows; 900: rows of more than 57 values of u,
    // which are read a word at a time (sampled sparsely under the sanitizers
    // too).
    for (const std::int32_t bound : {420, 600, 700, 900}) {
        if (kSanitized && bound > 420 && bound < 900) continue;
        for (const std::int32_t openersOnly : {0, 1}) {
            SearchState state;
            PrepareSearchState(state, {bound});
            state.classOpenersOnly = openersOnly;
            const std::vector<OuterUnit> units = UnitsOf(OuterUnits(state).Begin());
            std::size_t cubes = 0;
            const std::size_t step = bound < 700 ? (kSanitized ? 37 : 3) : bound < 900 ? 13 : kSanitized ? 601 : 61;
            for (std::size_t i = 0; i < units.size(); i += step) {
                SCOPED_TRACE("bound " + std::to_string(bound) + " unit " + std::to_string(units[i].e14) + ", " +
                             std::to_string(units[i].e18) + (openersOnly ? " openers" : ""));
                RecordingReporter byRows;
                RecordingReporter byValues;
                SearchState rows = state;
                SearchState values = state;
                RunOuterUnit(rows, byRows, units[i]);
                RunOuterUnitByValues(values, byValues, units[i]);
                ASSERT_EQ(FirstDifference(byRows.reports, PlainReports(byValues.reports)), "");
                cubes += byRows.solutions.size();
                std::vector<CubeSighting> seen;
                StreamUnitSightings(
                    {state.lowerLimit, state.upperLimit}, openersOnly != 0, units[i],
                    [&seen](std::vector<CubeSighting>& some) { seen.insert(seen.end(), some.begin(), some.end()); });
                ASSERT_EQ(seen.size(), byRows.solutions.size());
                for (std::size_t j = 0; j < seen.size(); ++j) {
                    const Entries& cube = byRows.solutions[j].entries;
                    ASSERT_EQ(std::make_tuple(seen[j].e10, seen[j].e17, seen[j].largest),
                              std::make_tuple(cube[10], cube[17], LargestValue(cube)))
                        << "cube " << j + 1;
                }
            }
            EXPECT_GT(cubes, 0u); // the sample reaches the inner loops
        }
    }
}

TEST(OuterUnits, ListMatchesTheProgressOfAFullRunAtU300)
{
    SearchState state;
    PrepareSearchState(state, {300});
    const std::vector<OuterUnit> units = UnitsOf(OuterUnits(state).Begin());
    std::vector<OuterUnit> expected;
    const std::vector<std::int32_t> order = PairOrderFrom(-174);
    for (std::int32_t e14 = -174; e14 <= 60; e14 += 3) {
        for (std::int32_t e18 : AcceptedE18(e14, order)) expected.push_back({e14, e18});
    }
    ASSERT_EQ(units.size(), expected.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        EXPECT_EQ(units[i].e14, expected[i].e14) << i;
        EXPECT_EQ(units[i].e18, expected[i].e18) << i;
    }
}

} // namespace
} // namespace pandicube::test
