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

// The cubes found below a few consecutive units, unit by unit.
struct UnitBatch {
    std::span<const OuterUnit> units;
    std::vector<std::vector<Entries>> cubes;
};

// Keeps the cubes of the unit being searched; the progress is reported from
// the unit itself when the batch is handed over.
class CubeCollector : public SearchReporter {
public:
    explicit CubeCollector(std::vector<Entries>& cubes) : cubes_(cubes) {}

    void ReportProgress(const Progress&) override {}
    void ReportSolution(const Solution& solution) override { cubes_.push_back(solution.entries); }

private:
    std::vector<Entries>& cubes_;
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
    tbb::enumerable_thread_specific<SearchState> workerStates(state); // own entries and pool
    std::size_t next = 0;
    const auto takeBatch = [&](tbb::flow_control& control) {
        if (next == units.size()) control.stop();
        const std::size_t count = std::min(kBatch, units.size() - next);
        UnitBatch batch{units.subspan(next, count), {}};
        next += count;
        return batch;
    };
    const auto searchBatch = [&](UnitBatch batch) {
        SearchState& local = workerStates.local();
        batch.cubes.resize(batch.units.size());
        for (std::size_t i = 0; i < batch.units.size(); ++i) {
            CubeCollector collector(batch.cubes[i]);
            RunOuterUnit(local, collector, batch.units[i]);
        }
        return batch;
    };
    const auto reportBatch = [&](const UnitBatch& batch) {
        for (std::size_t i = 0; i < batch.units.size(); ++i) {
            reporter.ReportProgress({batch.units[i].e14, batch.units[i].e18, state.solutionCount});
            for (const Entries& cube : batch.cubes[i])
                reporter.ReportSolution({cube, ++state.solutionCount, state.bestBound});
        }
    };

    tbb::task_arena arena(concurrency);
    arena.execute([&] {
        tbb::parallel_pipeline(kBatchesPerThread * static_cast<std::size_t>(concurrency),
                               tbb::make_filter<void, UnitBatch>(tbb::filter_mode::serial_in_order, takeBatch) &
                                   tbb::make_filter<UnitBatch, UnitBatch>(tbb::filter_mode::parallel, searchBatch) &
                                   tbb::make_filter<UnitBatch, void>(tbb::filter_mode::serial_in_order, reportBatch));
    });
}

} // namespace pandicube
