// Searching the outer units on several threads: the reports of a
// single-threaded run, in its order.
#include "search/loops/run_search.h"
#include "search/rows/parallel_search.h"
#include "search/rows/unit_search.h"
#include "tests/support/search_runs.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace pandicube::test {
namespace {

// The reports of the outer units (of a slice) searched on `threads` threads,
// as plain values, with the count going on from `countBefore`.
RecordingReporter RunUnits(std::int32_t bound, std::optional<Slice> slice, unsigned threads,
                           std::int32_t countBefore = 0, std::size_t heldCubes = kHeldCubes)
{
    SearchState state;
    PrepareSearchState(state, {bound});
    state.solutionCount = countBefore;
    RecordingReporter reporter;
    RunOuterUnits(state, reporter, OuterUnits(state, slice).Begin(), threads, heldCubes);
    EXPECT_EQ(state.solutionCount, countBefore + static_cast<std::int64_t>(reporter.solutions.size()));
    return reporter;
}

// Also when the units taken ahead may hold no cube, or one chunk, so that
// units with cubes wait for their turn and report them themselves.
TEST(RunOuterUnits, MatchesWholeSearchOnAnyNumberOfThreads)
{
    for (std::int32_t bound : {255, 270}) {
        const RecordedRun whole = RecordRun({bound});
        ASSERT_GT(whole.state.solutionCount, 0);
        for (unsigned threads : {1u, 2u, 3u}) {
            for (std::size_t held : {kHeldCubes, std::size_t{0}, kSinkChunk}) {
                SCOPED_TRACE("bound " + std::to_string(bound) + ", " + std::to_string(threads) + " threads, " +
                             std::to_string(held) + " held");
                EXPECT_EQ(FirstDifference(RunUnits(bound, std::nullopt, threads, 0, held).reports,
                                          PlainReports(whole.reporter.reports)),
                          "");
            }
        }
    }
}

// A slice of the units, as one machine of several would search it, with the
// count going on from where an earlier slice left it.
TEST(RunOuterUnits, SliceCountsOnFromTheCountOnEntry)
{
    const Slice slice{2, 5};
    const RecordingReporter sequential = RunUnits(270, slice, 1, 17);
    ASSERT_FALSE(sequential.solutions.empty());
    EXPECT_EQ(sequential.solutions.front().count, 18);
    EXPECT_EQ(FirstDifference(RunUnits(270, slice, 3, 17).reports, sequential.reports), "");
}

TEST(RunOuterUnits, NoUnitsMakeNoReports)
{
    EXPECT_TRUE(RunUnits(68, std::nullopt, 4).reports.empty()); // no e14 has an e18 below 69
}

// Gives up at the third cube, as a reporter that ends the program does.
class StoppingReporter : public RecordingReporter {
public:
    void ReportSolution(const Solution& solution) override
    {
        RecordingReporter::ReportSolution(solution);
        if (solution.number == 3) throw std::runtime_error("enough");
    }
};

TEST(RunOuterUnits, AnExceptionOfTheReporterEndsTheRunAndReachesTheCaller)
{
    SearchState state;
    PrepareSearchState(state, {270});
    for (std::size_t held : {kHeldCubes, std::size_t{0}}) {
        state.solutionCount = 0;
        StoppingReporter reporter;
        EXPECT_THROW(RunOuterUnits(state, reporter, OuterUnits(state).Begin(), 2, held), std::runtime_error);
        EXPECT_EQ(reporter.solutions.size(), 3u);
        EXPECT_EQ(state.solutionCount, 3);
    }
}

// Ends the run at its first poll inside a unit, as the front end does once
// a signal has come.
class PollStoppingReporter : public RecordingReporter {
public:
    void PollStop() override
    {
        ++polls;
        RequestStop();
    }
    int polls = 0;
};

// The units of U = 1000 have up to hundreds of rows: the run ends inside the
// first unit that is polled, its reports so far those of the run that was not
// stopped.
TEST(RunOuterUnits, APollInsideALongUnitEndsTheRunThere)
{
    const Slice slice{1, 200};
    const RecordingReporter whole = RunUnits(1000, slice, 1);
    for (unsigned threads : {1u, 2u}) {
        SearchState state;
        PrepareSearchState(state, {1000});
        PollStoppingReporter reporter;
        RunOuterUnits(state, reporter, OuterUnits(state, slice).Begin(), threads);
        EXPECT_EQ(reporter.polls, 1) << threads;
        ASSERT_LT(reporter.ProgressReports().size(), whole.ProgressReports().size()) << threads;
        EXPECT_EQ(FirstDifference(reporter.reports,
                                  std::vector<Report>(whole.reports.begin(),
                                                      whole.reports.begin() +
                                                          static_cast<std::ptrdiff_t>(reporter.reports.size()))),
                  "")
            << threads;
    }
}

} // namespace
} // namespace pandicube::test
