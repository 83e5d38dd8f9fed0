#include "search/run_search.h"
#include "search/search_state.h"
#include "tests/cube_checker.h"
#include "tests/search_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

namespace pandicube::test {
namespace {

// FNV-1a over the 62 entries of every solution, in the order found.
std::uint64_t Checksum(const std::vector<SearchEvent>& solutions)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const SearchEvent& solution : solutions) {
        for (int k = 1; k <= 62; ++k) {
            hash ^= static_cast<std::uint32_t>(solution.e[static_cast<std::size_t>(k)]);
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

// The calls come in the agreed groups: ShowProgress then ProcessEvents per
// accepted e18; ReduceBoundRequested, StampEndTime, ReportSolution and
// ProcessEvents per solution.
bool CallsInGroups(const std::string& calls)
{
    for (std::size_t i = 0; i < calls.size();) {
        if (calls.compare(i, 2, "PE") == 0) {
            i += 2;
        } else if (calls.compare(i, 4, "RSTE") == 0) {
            i += 4;
        } else {
            return false;
        }
    }
    return true;
}

// What every full run must satisfy, whatever its bound.
void ExpectSoundFullRun(const RecordedRun& run, std::int32_t upperBound)
{
    const std::vector<SearchEvent>& solutions = run.host.solutions;
    EXPECT_EQ(run.state.solutionCount, static_cast<std::int32_t>(solutions.size()));
    std::set<std::vector<std::int32_t>> distinct;
    for (std::size_t i = 0; i < solutions.size(); ++i) {
        const SearchEvent& solution = solutions[i];
        EXPECT_EQ(solution.solutionCount, static_cast<std::int32_t>(i + 1));
        EXPECT_EQ(CubeFaults(solution.e, 125 - upperBound, upperBound + 1), std::vector<std::string>{})
            << "solution " << i + 1;
        // Of a cube and its complement only the one with e14 below 63 is met.
        EXPECT_LT(solution.e[14], 63);
        distinct.insert(std::vector<std::int32_t>(solution.e.begin() + 1, solution.e.end()));
        // Without reduction the limits never move.
        EXPECT_EQ(solution.lowerLimit, 125 - upperBound);
        EXPECT_EQ(solution.upperLimit, upperBound + 1);
        EXPECT_EQ(solution.bestBound, upperBound + 1);
    }
    EXPECT_EQ(distinct.size(), solutions.size());
    EXPECT_TRUE(CallsInGroups(run.host.calls));
    EXPECT_EQ(run.host.poolMismatches, 0);
    EXPECT_EQ(PoolFaults(run.state.pool), std::vector<std::string>{});
}

// Loop 1 and loop 2 of a full run at U = 300, seen through the progress calls.
void ExpectProgressOfLoopsOneAndTwoAtU300(const RecordingHost& host)
{
    std::vector<std::int32_t> e14Shown;
    for (const SearchEvent& event : host.Progress()) {
        if (e14Shown.empty() || e14Shown.back() != event.e14) e14Shown.push_back(event.e14);
    }
    // Loop 1 takes the multiples of 3 from -174 to 60: 79 values.
    std::vector<std::int32_t> e14Expected;
    for (std::int32_t e14 = -174; e14 <= 60; e14 += 3) e14Expected.push_back(e14);
    ASSERT_EQ(e14Expected.size(), 79u);
    EXPECT_EQ(e14Shown, e14Expected);

    // One progress call per accepted e18, in pair order, with the right pair.
    std::vector<SearchEvent> expected;
    const std::vector<std::int32_t> order = PairOrderFrom(-174);
    for (std::int32_t e14 : e14Expected) {
        for (std::int32_t e18 : AcceptedE18(e14, order)) {
            SearchEvent event;
            event.e14 = e14;
            event.e18 = e18;
            expected.push_back(event);
        }
    }
    EXPECT_EQ(host.Progress(), expected);

    // With e14 = -75: -57 is taken, -58 and -54 are not.
    std::vector<std::int32_t> withMinus75;
    for (const SearchEvent& event : host.Progress()) {
        if (event.e14 == -75) withMinus75.push_back(event.e18);
    }
    EXPECT_NE(std::find(withMinus75.begin(), withMinus75.end(), -57), withMinus75.end());
    EXPECT_EQ(std::find(withMinus75.begin(), withMinus75.end(), -58), withMinus75.end());
    EXPECT_EQ(std::find(withMinus75.begin(), withMinus75.end(), -54), withMinus75.end());
}

TEST(SignatureRun, FullRunAtU300)
{
    const RecordedRun run = SearchRun(300);
    EXPECT_EQ(run.state.solutionCount, 504);
    EXPECT_EQ(Checksum(run.host.solutions), 0x46173b9892ead045ull);
    ExpectSoundFullRun(run, 300);
    ExpectProgressOfLoopsOneAndTwoAtU300(run.host);
}

TEST(SignatureRun, FullRunAtU255)
{
    const RecordedRun run = SearchRun(255);
    EXPECT_EQ(run.state.solutionCount, 24);
    EXPECT_EQ(Checksum(run.host.solutions), 0x396571e2680ff615ull);
    ExpectSoundFullRun(run, 255);
    // 255 is the smallest bound with a cube: the last cube of the run with
    // reduction from U = 300 has largest value 255.
    EXPECT_EQ(SearchRun(254).state.solutionCount, 0);
}

TEST(OuterUnits, SearchedOneByOneTheyRepeatRunSearch)
{
    const RecordedRun whole = SearchRun(255);

    SearchState state;
    PrepareSearchState(state, 255, nullptr);
    RecordingHost host;
    const std::vector<OuterUnit> units = ListOuterUnits(state);
    ASSERT_EQ(units.size(), whole.host.Progress().size());
    for (const OuterUnit& unit : units) RunOuterUnit(state, host, unit);

    EXPECT_EQ(host.events, whole.host.events);
    EXPECT_EQ(host.calls, whole.host.calls);
    EXPECT_EQ(state.solutionCount, whole.state.solutionCount);
    EXPECT_EQ(PoolFaults(state.pool), std::vector<std::string>{});
}

TEST(OuterUnits, ListMatchesTheProgressOfAFullRunAtU300)
{
    SearchState state;
    PrepareSearchState(state, 300, nullptr);
    const std::vector<OuterUnit> units = ListOuterUnits(state);
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
    // Listing leaves the state as it was.
    EXPECT_EQ(PoolFaults(state.pool), std::vector<std::string>{});
}

} // namespace
} // namespace pandicube::test
