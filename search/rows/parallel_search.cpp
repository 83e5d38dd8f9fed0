#include "search/rows/parallel_search.h"

#include "search/loops/run_search.h"
#include "search/rows/unit_search.h"

#include <oneapi/tbb/info.h>
#include <oneapi/tbb/parallel_pipeline.h>
#include <oneapi/tbb/task_arena.h>

#include <algorithm>
#include <cassert>
#include <vector>

namespace pandicube {

// One batch of units in flight and the cubes found below each, with their
// hashes and what the reporter prepared of them.
struct Batch {
    std::vector<OuterUnit> units;
    std::vector<UnitSolutions> found;
};

void RunOuterUnits(SearchState& state, SearchReporter& reporter, OuterUnitCursor units, unsigned threads)
{
    assert(state.fullRange == 1 && !state.reduceBound);
    if (threads <= 1) {
        while (const std::optional<OuterUnit> unit = units.Next()) {
            RunOuterUnit(state, reporter, *unit);
            if (reporter.StopRequested()) return;
        }
        return;
    }

    // A unit takes well under a millisecond at the usual bounds: batches of a
    // few units keep the hand-over cheap, and a few batches in flight per
    // thread keep every thread busy while the units taken ahead and the held
    // cubes stay bounded. At U = 1000 a unit holds about 1,100 cubes (280 KB):
    // with 16 batches per thread in flight instead of 4 the cubes leave the
    // caches, and two threads took 11.5 s instead of 10.0 s.
    constexpr std::size_t kBatch = 8;
    constexpr std::size_t kBatchesPerThread = 4;
    // More threads than TBB has workers for would gain nothing (and TBB would
    // say so on standard error).
    const int concurrency = std::min(static_cast<int>(threads), tbb::info::default_concurrency());
    const std::size_t liveBatches = kBatchesPerThread * static_cast<std::size_t>(concurrency);
    // The pipeline passes batch numbers; batch b lies in slot b % liveBatches,
    // which no batch in flight shares. (Tokens that own memory would leak
    // when an exception cancels the pipeline.)
    std::vector<Batch> slots(liveBatches);
    std::size_t next = 0;

    const auto takeBatch = [&](tbb::flow_control& control) {
        Batch& batch = slots[next % liveBatches];
        batch.units.clear();
        while (batch.units.size() < kBatch) {
            const std::optional<OuterUnit> unit = units.Next();
            if (!unit) break;
            batch.units.push_back(*unit);
        }
        if (batch.units.empty() || reporter.StopRequested()) control.stop();
        return next++;
    };
    const auto searchBatch = [&](std::size_t number) {
        // Without a reduction the units are searched by rows, which read
        // nothing of the state but its limits: the workers share it.
        Batch& batch = slots[number % liveBatches];
        batch.found.resize(batch.units.size());
        for (std::size_t i = 0; i < batch.units.size(); ++i) {
            FindUnitSolutions({state.lowerLimit, state.upperLimit}, state.classOpenersOnly != 0, batch.units[i],
                              batch.found[i]);
            reporter.PrepareUnit(batch.found[i]);
        }
        return number;
    };
    const auto reportBatch = [&](std::size_t number) {
        // Once the reporter has stopped the run, the batches still in flight
        // are dropped unreported.
        const Batch& batch = slots[number % liveBatches];
        for (std::size_t i = 0; i < batch.units.size() && !reporter.StopRequested(); ++i) {
            ReportUnitSolutions(state, reporter, batch.found[i]);
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
