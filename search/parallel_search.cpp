#include "search/parallel_search.h"

#include <oneapi/tbb/enumerable_thread_specific.h>
#include <oneapi/tbb/info.h>
#include <oneapi/tbb/parallel_pipeline.h>
#include <oneapi/tbb/task_arena.h>

#include <algorithm>
#include <cassert>
#include <vector>

namespace pandicube {

namespace {

// The cubes found below one unit, in the order of the search.
using UnitCubes = std::vector<Entries>;

// Keeps the cubes of the unit being searched; the progress is reported from
// the unit itself when its batch is handed over.
class CubeCollector : public SearchReporter {
public:
    explicit CubeCollector(UnitCubes& cubes) : cubes_(cubes) {}

    void ReportProgress(const Progress&) override {}
    void ReportSolution(const Solution& solution) override { cubes_.push_back(solution.entries); }

private:
    UnitCubes& cubes_;
};

} // namespace

void RunOuterUnits(SearchState& state, SearchReporter& reporter, std::span<const OuterUnit> units, unsigned threads)
{
    assert(state.fullRange == 1 && !state.reduceBound);
    if (threads <= 1 || units.size() <= 1) {
        for (const OuterUnit& unit : units) RunOuterUnit(state, reporter, unit);
        return;
    }

    // A unit takes well under a millisecond at the usual bounds: batches of a
    // few units keep the hand-over cheap, and a few batches in flight per
    // thread keep every thread busy while the held cubes stay bounded.
    constexpr std::size_t kBatch = 8;
    constexpr std::size_t kBatchesPerThread = 16;
    // More threads than TBB has workers for would gain nothing (and TBB would
    // say so on standard error).
    const int concurrency = std::min(static_cast<int>(threads), tbb::info::default_concurrency());
    const std::size_t liveBatches = kBatchesPerThread * static_cast<std::size_t>(concurrency);
    const std::size_t batchCount = (units.size() + kBatch - 1) / kBatch;
    // The pipeline passes batch numbers; the cubes of batch b lie in slot
    // b % liveBatches, which no batch in flight shares. (Tokens that own
    // memory would leak when an exception cancels the pipeline.)
    std::vector<std::vector<UnitCubes>> slots(liveBatches);
    const auto unitsOf = [&](std::size_t batch) {
        return units.subspan(batch * kBatch, std::min(kBatch, units.size() - batch * kBatch));
    };
    tbb::enumerable_thread_specific<SearchState> workerStates(state); // own entries and pool
    std::size_t next = 0;

    const auto takeBatch = [&](tbb::flow_control& control) {
        if (next == batchCount) control.stop();
        return next++;
    };
    const auto searchBatch = [&](std::size_t batch) {
        SearchState& local = workerStates.local();
        const std::span<const OuterUnit> batchUnits = unitsOf(batch);
        std::vector<UnitCubes>& cubes = slots[batch % liveBatches];
        cubes.resize(batchUnits.size());
        for (std::size_t i = 0; i < batchUnits.size(); ++i) {
            cubes[i].clear();
            CubeCollector collector(cubes[i]);
            RunOuterUnit(local, collector, batchUnits[i]);
        }
        return batch;
    };
    const auto reportBatch = [&](std::size_t batch) {
        const std::span<const OuterUnit> batchUnits = unitsOf(batch);
        const std::vector<UnitCubes>& cubes = slots[batch % liveBatches];
        for (std::size_t i = 0; i < batchUnits.size(); ++i) {
            reporter.ReportProgress({batchUnits[i].e14, batchUnits[i].e18, state.solutionCount});
            for (const Entries& cube : cubes[i])
                reporter.ReportSolution({cube, ++state.solutionCount, state.bestBound});
        }
    };

    tbb::task_arena arena(concurrency);
    arena.execute([&] {
        tbb::parallel_pipeline(liveBatches,
                               tbb::make_filter<void, std::size_t>(tbb::filter_mode::serial_in_order, takeBatch) &
                                   tbb::make_filter<std::size_t, std::size_t>(tbb::filter_mode::parallel, searchBatch) &
                                   tbb::make_filter<std::size_t, void>(tbb::filter_mode::serial_in_order, reportBatch));
    });
}

} // namespace pandicube
