// Searching the outer units on several threads: the host must see exactly
// the calls of a single-threaded run, all on the calling thread.
#include "search/parallel_search.h"
#include "search/run_search.h"
#include "tests/call_log.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace pandicube {
namespace {

struct RunRecord {
    std::vector<HostCall> calls;
    FinalState final;
};

RunRecord RunWholeSearch(std::int32_t bound)
{
    SearchState state;
    PrepareSearchState(state, bound, nullptr);
    CallLogHost host;
    RunSearch(state, host);
    return {host.Calls(), FinalStateOf(state)};
}

RunRecord RunUnits(std::int32_t bound, unsigned threads)
{
    SearchState state;
    PrepareSearchState(state, bound, nullptr);
    const std::vector<OuterUnit> units = ListOuterUnits(state);
    CallLogHost host;
    RunOuterUnits(state, host, units, threads);
    return {host.Calls(), FinalStateOf(state)};
}

TEST(RunOuterUnits, MatchesWholeSearchOnAnyNumberOfThreads)
{
    for (std::int32_t bound : {255, 270}) {
        const RunRecord whole = RunWholeSearch(bound);
        ASSERT_GT(whole.final.solutionCount, 0);
        for (unsigned threads : {1u, 2u, 3u}) {
            SCOPED_TRACE("bound " + std::to_string(bound) + ", " + std::to_string(threads) + " threads");
            const RunRecord units = RunUnits(bound, threads);
            EXPECT_EQ(FirstDifference(units.calls, whole.calls), "");
            EXPECT_EQ(units.final, whole.final);
        }
    }
}

// A slice of the units, as one machine of several would search it, with the
// count going on from where an earlier slice left it.
TEST(RunOuterUnits, SliceCountsOnFromTheCountOnEntry)
{
    SearchState sequential;
    PrepareSearchState(sequential, 270, nullptr);
    const std::vector<OuterUnit> units = ListOuterUnits(sequential);
    const std::span<const OuterUnit> slice = std::span(units).subspan(units.size() / 2, units.size() / 5);
    sequential.solutionCount = 17;
    CallLogHost sequentialHost;
    for (const OuterUnit& unit : slice) RunOuterUnit(sequential, sequentialHost, unit);
    ASSERT_GT(sequential.solutionCount, 17);

    SearchState parallel;
    PrepareSearchState(parallel, 270, nullptr);
    parallel.solutionCount = 17;
    CallLogHost parallelHost;
    RunOuterUnits(parallel, parallelHost, slice, 3);
    EXPECT_EQ(FirstDifference(parallelHost.Calls(), sequentialHost.Calls()), "");
    EXPECT_EQ(FinalStateOf(parallel), FinalStateOf(sequential));
}

TEST(RunOuterUnits, NoUnitsMakeNoCalls)
{
    SearchState state;
    PrepareSearchState(state, 270, nullptr);
    CallLogHost host;
    RunOuterUnits(state, host, {}, 4);
    EXPECT_TRUE(host.Calls().empty());
    EXPECT_EQ(state.solutionCount, 0);
}

// Records the thread of every call and gives up at the third cube.
class ThreadCheckingHost : public CallLogHost {
public:
    void ShowProgress(const SearchState& state) override
    {
        sameThread_ = sameThread_ && std::this_thread::get_id() == caller_;
        CallLogHost::ShowProgress(state);
    }
    void ReportSolution(const SearchState& state) override
    {
        sameThread_ = sameThread_ && std::this_thread::get_id() == caller_;
        CallLogHost::ReportSolution(state);
        if (state.solutionCount == 3) throw std::runtime_error("enough");
    }
    bool SameThread() const { return sameThread_; }

private:
    std::thread::id caller_ = std::this_thread::get_id();
    bool sameThread_ = true;
};

TEST(RunOuterUnits, HostRunsOnCallingThreadAndMayStopTheRun)
{
    SearchState state;
    PrepareSearchState(state, 270, nullptr);
    const std::vector<OuterUnit> units = ListOuterUnits(state);
    ThreadCheckingHost host;
    EXPECT_THROW(RunOuterUnits(state, host, units, 2), std::runtime_error);
    EXPECT_TRUE(host.SameThread());
    EXPECT_EQ(host.Solutions().size(), 3u);
    EXPECT_EQ(state.solutionCount, 3);
}

} // namespace
} // namespace pandicube
