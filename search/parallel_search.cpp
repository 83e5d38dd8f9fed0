#include "search/parallel_search.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace pandicube {

namespace {

// The cubes found below one outer unit, in the order of the search.
using UnitCubes = std::vector<Entries>;

// The host of a worker thread: it keeps the cubes of the unit being searched
// and shows nothing (the calling thread replays everything to the real host).
class CollectingHost : public SearchHost {
public:
    explicit CollectingHost(UnitCubes& cubes) : cubes_(cubes) {}

    void ShowProgress(const SearchState&) override {}
    void ProcessEvents() override {}
    bool ReduceBoundRequested() override { return false; }
    void StampEndTime() override {}
    void ReportSolution(const SearchState& state) override { cubes_.push_back(state.e); }

private:
    UnitCubes& cubes_;
};

// Every entry except e14 and e18, which the unit holds throughout.
constexpr std::array<int, 60> kEntriesBelowUnit = [] {
    std::array<int, 60> entries{};
    std::size_t n = 0;
    for (int k = 1; k <= kEntryCount; ++k) {
        if (k != kE14 && k != kE18) entries[n++] = k;
    }
    return entries;
}();

// Makes on the calling thread exactly the host calls that searching the unit
// there would make, with the state as the host would then see it: e14 and e18
// taken at the progress call, the whole cube taken at each report.
void ReplayUnit(SearchState& state, SearchHost& host, OuterUnit unit, const UnitCubes& cubes)
{
    state.e[kE14] = unit.e14;
    state.e[kE18] = unit.e18;
    state.pool.Take(unit.e14);
    state.pool.Take(unit.e18);
    state.candidate = unit.e18;
    host.ShowProgress(state);
    host.ProcessEvents();
    for (const Entries& cube : cubes) {
        // The answer is no by the entry conditions; the question is part of
        // the calls all the same.
        static_cast<void>(host.ReduceBoundRequested());
        state.e = cube;
        for (int k : kEntriesBelowUnit) state.pool.Take(cube[static_cast<std::size_t>(k)]);
        state.candidate = cube[kEntryCount];
        ++state.solutionCount;
        host.StampEndTime();
        host.ReportSolution(state);
        host.ProcessEvents();
        for (auto k = kEntriesBelowUnit.rbegin(); k != kEntriesBelowUnit.rend(); ++k)
            state.pool.Release(cube[static_cast<std::size_t>(*k)]);
    }
    state.pool.Release(unit.e18);
    state.pool.Release(unit.e14);
    state.unwindLevel = 0;
}

// Hands out the units in order to the workers, a batch of consecutive units
// at a time, and passes their cubes back to the calling thread a batch at a
// time (one wake-up per batch rather than per unit). The workers may run at
// most `lookahead` units ahead of the replay, so the cubes held at any time
// stay bounded.
class UnitQueue {
public:
    UnitQueue(std::size_t unitCount, std::size_t batch, std::size_t lookahead)
        : unitCount_(unitCount), batch_(batch), lookahead_(lookahead), slots_(lookahead)
    {
    }

    // Worker side: the next batch [first, first + count), or false when no
    // unit is left or the run is being abandoned.
    bool NextBatch(std::size_t& first, std::size_t& count)
    {
        std::unique_lock lock(mutex_);
        ++waitingWorkers_;
        workerReady_.wait(lock, [&] { return stop_ || next_ >= unitCount_ || next_ < replayed_ + lookahead_; });
        --waitingWorkers_;
        if (stop_ || next_ >= unitCount_) return false;
        first = next_;
        count = std::min({batch_, unitCount_ - next_, replayed_ + lookahead_ - next_});
        next_ += count;
        return true;
    }

    // Hands over the cubes of the batch and gives the worker the slots' old
    // lists in exchange.
    void Finish(std::size_t first, std::vector<UnitCubes>& batch)
    {
        bool awaited = false;
        {
            std::lock_guard lock(mutex_);
            for (std::size_t i = 0; i < batch.size(); ++i) {
                Slot& slot = slots_[(first + i) % lookahead_];
                slot.cubes.swap(batch[i]);
                slot.ready = true;
            }
            awaited = first <= replayed_ && replayed_ < first + batch.size();
        }
        // Only the unit next in order can wake the calling thread.
        if (awaited) replayReady_.notify_one();
    }

    void Fail(std::exception_ptr error)
    {
        {
            std::lock_guard lock(mutex_);
            if (!error_) error_ = std::move(error);
            stop_ = true;
        }
        replayReady_.notify_all();
        workerReady_.notify_all();
    }

    // Calling thread: waits until unit `index` (the next in order) is done
    // and returns its cubes, which no worker touches until Replayed();
    // rethrows a worker's failure.
    const UnitCubes& Wait(std::size_t index)
    {
        std::unique_lock lock(mutex_);
        Slot& slot = slots_[index % lookahead_];
        replayReady_.wait(lock, [&] { return slot.ready || error_; });
        if (error_) std::rethrow_exception(error_);
        return slot.cubes;
    }

    // The unit next in order has been replayed. Its slot keeps the memory of
    // its cubes for a later unit: the workers swap their lists with the slots'
    // and so allocate next to nothing once the run is under way.
    void Replayed()
    {
        bool waiting = false;
        {
            std::lock_guard lock(mutex_);
            Slot& slot = slots_[replayed_ % lookahead_];
            slot.cubes.clear();
            slot.ready = false;
            ++replayed_;
            waiting = waitingWorkers_ > 0;
        }
        if (waiting) workerReady_.notify_all();
    }

    void Stop()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        workerReady_.notify_all();
    }

private:
    struct Slot {
        UnitCubes cubes;
        bool ready = false;
    };

    const std::size_t unitCount_;
    const std::size_t batch_;
    const std::size_t lookahead_;
    std::mutex mutex_;
    std::condition_variable workerReady_;
    std::condition_variable replayReady_;
    std::vector<Slot> slots_;
    std::size_t next_ = 0;
    std::size_t replayed_ = 0;
    std::size_t waitingWorkers_ = 0;
    bool stop_ = false;
    std::exception_ptr error_;
};

void Work(const SearchState& state, std::span<const OuterUnit> units, UnitQueue& queue)
{
    try {
        SearchState local = state; // own entries and pool
        std::vector<UnitCubes> batch;
        std::size_t first = 0;
        std::size_t count = 0;
        while (queue.NextBatch(first, count)) {
            batch.resize(count);
            for (std::size_t i = 0; i < count; ++i) {
                batch[i].clear();
                CollectingHost collector(batch[i]);
                RunOuterUnit(local, collector, units[first + i]);
            }
            queue.Finish(first, batch);
        }
    } catch (...) {
        queue.Fail(std::current_exception());
    }
}

} // namespace

void RunOuterUnits(SearchState& state, SearchHost& host, std::span<const OuterUnit> units, unsigned threads)
{
    const std::size_t workerCount = std::min<std::size_t>(threads, units.size());
    if (workerCount <= 1) {
        for (const OuterUnit& unit : units) RunOuterUnit(state, host, unit);
        return;
    }

    // A unit takes well under a millisecond at the usual bounds; a worker may
    // run a few hundred units ahead, enough to ride out a time slice lost to
    // other programs without letting the held cubes grow with the run.
    constexpr std::size_t kBatch = 8;
    constexpr std::size_t kLookaheadPerWorker = 128;
    UnitQueue queue(units.size(), kBatch, kLookaheadPerWorker * workerCount);
    const SearchState start = state;
    std::vector<std::jthread> workers;
    // Declared after the workers, so destroyed before them: whichever way the
    // replay ends, the workers are told to stop and then joined.
    struct StopOnExit {
        UnitQueue& queue;
        ~StopOnExit() { queue.Stop(); }
    } stopOnExit{queue};
    for (std::size_t i = 0; i < workerCount; ++i) workers.emplace_back(Work, std::cref(start), units, std::ref(queue));

    for (std::size_t i = 0; i < units.size(); ++i) {
        ReplayUnit(state, host, units[i], queue.Wait(i));
        queue.Replayed();
    }
}

} // namespace pandicube
