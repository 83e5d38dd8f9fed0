#include "search/rows/parallel_search.h"

#include "search/loops/run_search.h"
#include "search/rows/unit_search.h"

#include <oneapi/tbb/info.h>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace pandicube {

namespace {

// Searches one unit by rows for the reporter: its cubes, or their sightings
// where those suffice. The sink takes either.
template <typename Sink>
void StreamUnit(const SearchState& state, const SearchReporter& reporter, OuterUnit unit, const Sink& sink)
{
    const Limits limits{state.lowerLimit, state.upperLimit};
    if (reporter.SightingsSuffice()) {
        StreamUnitSightings(limits, state.classOpenersOnly != 0, unit, sink);
    } else {
        StreamUnitCubes(limits, state.classOpenersOnly != 0, unit, sink);
    }
}

// A few units in flight per thread keep every thread busy while a large unit
// is reported; the cubes they hold wait for their turn.
constexpr std::size_t kUnitsPerThread = 8;
// At U = 1000 a unit holds about 1,100 cubes (280 KB), well below
// kHeldCubes; far larger units come only at bounds that no run finishes.

// Searches the units on several threads and reports them in order: the
// worker whose unit is next in order has the turn and reports the unit
// itself (its progress, the cubes its unit held, then the rest as they are
// made), and then the units after it that are done, and so hands the turn on.
class UnitRelay {
public:
    UnitRelay(SearchState& state, SearchReporter& reporter, OuterUnitCursor units, std::size_t threads,
              std::size_t heldCubes)
        : state_(state), reporter_(reporter), units_(std::move(units)), slots_(kUnitsPerThread * threads),
          heldCubes_(heldCubes)
    {
    }

    // One thread's share, until the units are done or the run stops.
    void Work() noexcept
    {
        try {
            while (const std::optional<std::uint64_t> number = Take()) Search(*number);
        } catch (const Stopped&) {
        } catch (...) {
            Stop(std::current_exception());
        }
    }

    void RethrowError() const
    {
        if (error_) std::rethrow_exception(error_);
    }

private:
    struct Stopped {};
    // Cubes held for a unit before its turn, one chunk of the unit's search
    // with their hashes and what the reporter prepared of them.
    using Chunk = UnitSolutions;
    struct InFlight {
        OuterUnit unit{};
        std::vector<std::unique_ptr<Chunk>> chunks; // found before the unit's turn
        bool done = false;
    };

    // A chunk from the pool, which makes at most heldCubes / kSinkChunk of
    // them and reuses them; none when all are in use.
    std::unique_ptr<Chunk> TakeChunk()
    {
        std::lock_guard lock(poolMutex_);
        if (!pool_.empty()) {
            std::unique_ptr<Chunk> chunk = std::move(pool_.back());
            pool_.pop_back();
            return chunk;
        }
        if (chunksMade_ >= heldCubes_ / kSinkChunk) return nullptr;
        ++chunksMade_;
        return std::make_unique<Chunk>();
    }

    InFlight& Slot(std::uint64_t number) { return slots_[number % slots_.size()]; }

    // The number of the next unit in order, once a slot is free; none when
    // the units are done or the run stops.
    std::optional<std::uint64_t> Take()
    {
        std::unique_lock lock(mutex_);
        ++takersWaiting_;
        slotFree_.wait(lock, [&] { return stopped_ || next_ - turn_ < slots_.size(); });
        --takersWaiting_;
        if (stopped_ || exhausted_) return std::nullopt;
        const std::optional<OuterUnit> unit = units_.Next();
        if (!unit) {
            exhausted_ = true;
            return std::nullopt;
        }
        InFlight& slot = Slot(next_);
        slot.unit = *unit;
        slot.done = false;
        return next_++;
    }

    void Search(std::uint64_t number)
    {
        InFlight& slot = Slot(number);
        bool hasTurn = false;
        thread_local UnitSolutions part;
        const auto sink = [&](auto& cubes) {
            if (cubes.empty()) {
                // A poll inside a long unit: the worker with the turn lets
                // the reporter end the run, the others end when it has.
                if (!hasTurn) {
                    if (stopping_) throw Stopped{};
                    if (turn_ != number) return;
                    hasTurn = true;
                    Open(slot);
                }
                reporter_.PollStop();
                StopIfAsked();
                return;
            }
            if (!hasTurn) {
                // Until its turn the unit's worker alone touches its cubes.
                assert(cubes.size() <= kSinkChunk);
                if (turn_ != number) {
                    if (std::unique_ptr<Chunk> chunk = TakeChunk()) {
                        SetUnitPart(*chunk, slot.unit, cubes, reporter_.HashesSolutions());
                        reporter_.PrepareUnit(*chunk);
                        slot.chunks.push_back(std::move(chunk));
                        return;
                    }
                    std::unique_lock lock(mutex_);
                    ++turnWaiters_;
                    turnCame_.wait(lock, [&] { return stopped_ || turn_ == number; });
                    --turnWaiters_;
                    if (stopped_) throw Stopped{};
                }
                hasTurn = true;
                Open(slot);
            }
            SetUnitPart(part, slot.unit, cubes, reporter_.HashesSolutions());
            reporter_.PrepareUnit(part);
            Report(part);
        };
        StreamUnit(state_, reporter_, slot.unit, sink);
        std::unique_lock lock(mutex_);
        if (!hasTurn && turn_ != number) {
            slot.done = true;
            return;
        }
        lock.unlock();
        if (!hasTurn) Open(slot);
        // Hand the turn on, reporting the units after this one that are done.
        for (;;) {
            lock.lock();
            ++turn_;
            // Waking a taker only once half the slots are free, and only
            // those who wait, keeps the threads from waking each other per
            // unit.
            if (takersWaiting_ > 0 && next_ - turn_ <= slots_.size() / 2) slotFree_.notify_all();
            if (turnWaiters_ > 0) turnCame_.notify_all();
            if (turn_ == next_ || !Slot(turn_).done) return;
            InFlight& following = Slot(turn_);
            lock.unlock();
            Open(following);
        }
    }

    // Reports a unit whose turn it is: its progress and the cubes it holds.
    void Open(InFlight& slot)
    {
        reporter_.ReportProgress({slot.unit.e14, slot.unit.e18, state_.solutionCount});
        StopIfAsked();
        for (const std::unique_ptr<Chunk>& chunk : slot.chunks) Report(*chunk);
        if (slot.chunks.empty()) return; // most units hold none
        std::lock_guard lock(poolMutex_);
        for (std::unique_ptr<Chunk>& chunk : slot.chunks) pool_.push_back(std::move(chunk));
        slot.chunks.clear();
    }

    void Report(const UnitSolutions& part)
    {
        ReportUnitSolutions(state_, reporter_, part);
        StopIfAsked();
    }

    // Once the reporter has asked the run to stop, the units still in flight
    // are dropped unreported.
    void StopIfAsked()
    {
        if (!reporter_.StopRequested()) return;
        Stop(nullptr);
        throw Stopped{};
    }

    void Stop(std::exception_ptr error)
    {
        std::lock_guard lock(mutex_);
        if (!error_) error_ = std::move(error);
        stopped_ = true;
        stopping_ = true;
        slotFree_.notify_all();
        turnCame_.notify_all();
    }

    SearchState& state_;
    SearchReporter& reporter_;
    std::mutex mutex_;
    std::condition_variable slotFree_; // for takers, when half the slots are free
    std::condition_variable turnCame_; // for units that wait for their turn
    // Guarded by mutex_, as are the slots' flags; a slot's cubes belong to its
    // unit's worker until the unit is done or has the turn, then to the
    // worker with the turn. turn_ changes under mutex_ only.
    OuterUnitCursor units_;
    std::vector<InFlight> slots_;
    const std::size_t heldCubes_;
    std::uint64_t next_ = 0;              // the number the next unit taken gets
    std::atomic<std::uint64_t> turn_ = 0; // the unit whose turn it is to be reported
    std::mutex poolMutex_;
    std::vector<std::unique_ptr<Chunk>> pool_; // chunks not in use
    std::size_t chunksMade_ = 0;
    int takersWaiting_ = 0;
    int turnWaiters_ = 0;
    bool exhausted_ = false;
    bool stopped_ = false;
    std::atomic<bool> stopping_ = false; // stopped_, read without the lock
    std::exception_ptr error_;
};

} // namespace

void RunOuterUnits(SearchState& state, SearchReporter& reporter, OuterUnitCursor units, unsigned threads,
                   std::size_t heldCubes)
{
    assert(state.fullRange == 1 && !state.reduceBound);
    if (threads <= 1) {
        while (const std::optional<OuterUnit> unit = units.Next()) {
            RunOuterUnit(state, reporter, *unit);
            if (reporter.StopRequested()) return;
        }
        return;
    }
    // More threads than cores would gain nothing.
    const auto workers =
        static_cast<std::size_t>(std::clamp(tbb::info::default_concurrency(), 1, static_cast<int>(threads)));
    // Without a reduction the units are searched by rows, which read nothing
    // of the state but its limits: the workers share it.
    UnitRelay relay(state, reporter, std::move(units), workers, heldCubes);
    {
        std::vector<std::jthread> helpers;
        for (std::size_t i = 1; i < workers; ++i) helpers.emplace_back([&relay] { relay.Work(); });
        relay.Work();
    }
    relay.RethrowError();
}

void RunOuterUnit(SearchState& state, SearchReporter& reporter, OuterUnit unit)
{
    assert(state.fullRange == 1);
    state.e[14] = unit.e14;
    state.e[18] = unit.e18;
    if (!state.reduceBound) {
        // Without a reduction the limits stay put: the unit is searched by
        // rows, and its cubes are reported in the order of the loops.
        reporter.ReportProgress({unit.e14, unit.e18, state.solutionCount});
        if (reporter.StopRequested()) return;
        thread_local UnitSolutions part;
        // Once the reporter has asked to stop, the rest of the unit is left.
        struct Stopped {};
        try {
            StreamUnit(state, reporter, unit, [&](auto& cubes) {
                if (cubes.empty()) {
                    reporter.PollStop();
                } else {
                    SetUnitPart(part, unit, cubes, reporter.HashesSolutions());
                    reporter.PrepareUnit(part);
                    ReportUnitSolutions(state, reporter, part);
                }
                if (reporter.StopRequested()) throw Stopped{};
            });
        } catch (const Stopped&) {
        }
        return;
    }
    RunOuterUnitByValues(state, reporter, unit);
}

void ReportUnitSolutions(SearchState& state, SearchReporter& reporter, const UnitSolutions& part)
{
    struct CountBack {
        SearchState& target;
        std::int64_t reported;
        ~CountBack() { target.solutionCount = static_cast<decltype(target.solutionCount)>(reported); }
    } count{state, state.solutionCount};
    reporter.ReportCubes(part, count.reported, state.bestBound);
}

} // namespace pandicube
