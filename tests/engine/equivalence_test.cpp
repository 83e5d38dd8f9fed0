// The engine against the plain reference loops: the same reports in the same
// order, with the same cubes, counts and bounds and the same state seen at
// each, and the same state afterwards, for whole runs and many start values.
#include "reference/reference_search.h"
#include "search/loops/run_search.h"
#include "search/rows/outer_units.h"
#include "search/rows/parallel_search.h"
#include "tests/support/search_runs.h"
#include "tests/support/worked_example.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace pandicube::test {
namespace {

// Compares two runs report by report and reports the first difference only.
void ExpectSameRun(const RecordedRun& engine, const RecordedRun& reference, const std::string& what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(FirstDifference(engine.reporter.reports, reference.reporter.reports), "");
    EXPECT_EQ(FinalStateOf(engine.state), FinalStateOf(reference.state));
}

// The reference's full runs without reduction, each recorded once, since
// both the loops and the outer units are compared with them.
const RecordedRun& ReferenceFullRun(std::int32_t bound)
{
    static std::map<std::int32_t, RecordedRun> runs;
    auto found = runs.find(bound);
    if (found == runs.end()) found = runs.emplace(bound, RecordRun({bound}, 0, RunReferenceSearch)).first;
    return found->second;
}

// Runs the engine and the reference from the same set-up and compares them.
RecordedRun CompareRuns(const RunSetup& setup, const std::string& what)
{
    RecordedRun reference = !setup.start && !setup.reduceBound ? ReferenceFullRun(setup.upperBound)
                                                               : RecordRun(setup, 0, RunReferenceSearch);
    ExpectSameRun(RecordRun(setup), reference, what);
    return reference;
}

void CompareFullRun(std::int32_t bound, bool reduce)
{
    const RecordedRun reference = CompareRuns({bound, std::nullopt, reduce},
                                              "bound " + std::to_string(bound) + (reduce ? " with reduction" : ""));
    // Runs without a single cube would prove little about the inner loops.
    EXPECT_GT(reference.reporter.solutions.size(), 0u);
}

TEST(EngineMatchesReference, FullRunsWithoutReduction)
{
    for (std::int32_t bound : {255, 256, 270}) CompareFullRun(bound, false);
}

TEST(EngineMatchesReference, FullRunsWithoutReductionAtLargerBounds)
{
    if (kSanitized) GTEST_SKIP() << "left to the release build";
    for (std::int32_t bound : {300, 333}) CompareFullRun(bound, false);
}

// The outer units searched by rows, on one to three threads, against the
// plain loops: the same cubes in the same order.
TEST(EngineMatchesReference, OuterUnitsOnOneToThreeThreads)
{
    for (std::int32_t bound : {255, 300, 333}) {
        if (kSanitized && bound > 255) continue;
        const RecordedRun& reference = ReferenceFullRun(bound);
        SearchState state;
        PrepareSearchState(state, {bound});
        for (unsigned threads : {1u, 2u, 3u}) {
            SCOPED_TRACE("bound " + std::to_string(bound) + ", " + std::to_string(threads) + " threads");
            RecordingReporter reporter;
            state.solutionCount = 0;
            RunOuterUnits(state, reporter, OuterUnits(state).Begin(), threads);
            EXPECT_EQ(FirstDifference(reporter.reports, PlainReports(reference.reporter.reports)), "");
        }
    }
}

TEST(EngineMatchesReference, FullRunsWithReduction)
{
    for (std::int32_t bound : {255, 270}) CompareFullRun(bound, true);
}

TEST(EngineMatchesReference, FullRunsWithReductionAtLargerBounds)
{
    if (kSanitized) GTEST_SKIP() << "left to the release build";
    for (std::int32_t bound : {256, 300, 333}) CompareFullRun(bound, true);
}

// The first descent opens every loop at its start value; a reduction from the
// default start values lowers the bound twice, to 283 and then to 255.
TEST(EngineMatchesReference, DefaultStartValuesWithReduction)
{
    const RecordedRun reference = CompareRuns({300, kDefaultStart, true}, "default start values");
    std::vector<std::int32_t> bounds;
    for (const Report& solution : reference.reporter.solutions) bounds.push_back(solution.bestBound);
    EXPECT_EQ(bounds, (std::vector<std::int32_t>{283, 255}));
}

// Start values drawn at random, with a bias towards the awkward ones: values
// on the limits, 63 and 64, values that fail their filters. Every run goes on
// from its start value of e14 to the end of loop 1, so to keep runs short
// e14 starts late in loop 1, except at the smallest bounds.
struct StartCase {
    std::int32_t bound = 0;
    StartValues start;
    bool reduce = false;
};

std::string Describe(const StartCase& c)
{
    std::ostringstream what;
    what << "bound " << c.bound << " start " << c.start.e10 << ',' << c.start.e14 << ',' << c.start.e17 << ','
         << c.start.e18 << (c.reduce ? " with reduction" : "");
    return what.str();
}

class StartValueDraw {
public:
    explicit StartValueDraw(std::uint32_t seed) : rng_(seed) {}

    std::int32_t Uniform(std::int32_t lo, std::int32_t hi)
    {
        if (hi <= lo) return lo;
        return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng_);
    }

    // A start value for the limits of `bound`: usually `usual`, often an edge.
    std::int32_t Pick(std::int32_t bound, std::int32_t usual)
    {
        switch (Uniform(0, 11)) {
        case 0: return 125 - bound; // lowerLimit
        case 1: return bound + 1;   // upperLimit
        case 2: return 126 - bound;
        case 3: return bound;
        case 4: return 63;
        case 5: return 64;
        case 6: return usual + 1; // fails the filters of e14, e18 and e17
        default: return usual;
        }
    }

private:
    std::mt19937 rng_;
};

// Random start values at bounds too small for any cube: the first descent and
// the skipping at every level without solutions.
std::vector<StartCase> StartCasesWithoutCubes(std::size_t count)
{
    StartValueDraw draw(20250611u);
    std::vector<StartCase> cases;
    for (std::size_t i = 0; i < count; ++i) {
        StartCase c;
        c.bound = draw.Uniform(62, 200);
        const std::int32_t lower = 125 - c.bound;
        const std::int32_t upper = c.bound + 1;
        c.reduce = draw.Uniform(0, 1) == 0;
        // Full runs from the lower limit only where they are cheap.
        const std::int32_t e14From = c.bound < 150 ? lower : 30;
        c.start.e14 = draw.Pick(c.bound, 3 * draw.Uniform(e14From / 3, 20));
        if (c.start.e14 < e14From) c.start.e14 = draw.Uniform(e14From, 62);
        c.start.e18 = draw.Pick(c.bound, c.start.e14 + 9 * draw.Uniform(lower / 9, upper / 9 - 1));
        c.start.e10 = draw.Pick(c.bound, draw.Uniform(lower, upper));
        c.start.e17 = draw.Pick(c.bound, c.start.e10 + 3 * draw.Uniform(lower / 3, upper / 3 - 1));
        // The input rules admit start values from lowerLimit to upperLimit.
        for (std::int32_t* v : {&c.start.e10, &c.start.e14, &c.start.e17, &c.start.e18})
            *v = std::clamp(*v, lower, upper);
        cases.push_back(c);
    }
    return cases;
}

TEST(EngineMatchesReference, RandomStartValuesWithoutCubes)
{
    const std::size_t count = kSanitized ? 80 : 300;
    for (const StartCase& c : StartCasesWithoutCubes(count)) {
        CompareRuns({c.bound, c.start, c.reduce}, Describe(c));
        if (HasFailure()) return;
    }
}

// Random start values around the free entries of real cubes found late in
// loop 1 (e14 from 36 on), at bounds that admit them: the first descent meets
// a cube at once, or just misses it.
std::vector<StartCase> StartCasesNearCubes(std::size_t count)
{
    std::vector<Report> cubes;
    for (const Report& solution : RecordRun({270}).reporter.solutions) {
        if (solution.entries[14] >= 36) cubes.push_back(solution);
    }
    StartValueDraw draw(7321u);
    std::vector<StartCase> cases;
    for (std::size_t i = 0; i < count && !cubes.empty(); ++i) {
        const Report& cube =
            cubes[static_cast<std::size_t>(draw.Uniform(0, static_cast<std::int32_t>(cubes.size()) - 1))];
        std::int32_t largest = 0;
        for (std::size_t k = 1; k <= 62; ++k) largest = std::max({largest, cube.entries[k], 126 - cube.entries[k]});
        StartCase c;
        c.bound = draw.Uniform(largest, 280);
        c.reduce = draw.Uniform(0, 1) == 0;
        // Half of the cases start exactly at the cube, the others near it.
        const bool exact = draw.Uniform(0, 1) == 0;
        const auto near = [&](std::int32_t v) {
            if (exact) return v;
            const std::int32_t moved = draw.Uniform(0, 2) == 0 ? v + 3 * draw.Uniform(-2, 2) : v;
            return std::clamp(draw.Pick(c.bound, moved), 125 - c.bound, c.bound + 1);
        };
        c.start = {near(cube.entries[10]), near(cube.entries[14]), near(cube.entries[17]), near(cube.entries[18])};
        if (c.start.e14 < 30) c.start.e14 = cube.entries[14];
        cases.push_back(c);
    }
    return cases;
}

TEST(EngineMatchesReference, RandomStartValuesNearCubes)
{
    const std::size_t count = kSanitized ? 8 : 40;
    const std::vector<StartCase> cases = StartCasesNearCubes(count);
    ASSERT_EQ(cases.size(), count);
    std::size_t withCubes = 0;
    for (const StartCase& c : cases) {
        const RecordedRun reference = CompareRuns({c.bound, c.start, c.reduce}, Describe(c));
        if (HasFailure()) return;
        withCubes += reference.reporter.solutions.empty() ? 0 : 1;
    }
    EXPECT_GE(withCubes, count / 3);
}

} // namespace
} // namespace pandicube::test
