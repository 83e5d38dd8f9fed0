#pragma once

#include "search/search_host.h"
#include "search/search_state.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pandicube::test {

// What the search showed at one call of ShowProgress or ReportSolution.
struct SearchEvent {
    enum class Kind { Progress, Solution };
    Kind kind = Kind::Progress;
    std::int32_t e14 = 0;
    std::int32_t e18 = 0;
    // For solutions only: the state as ReportSolution saw it.
    Entries e{};
    std::int32_t solutionCount = 0;
    std::int32_t bestBound = 0;
    std::int32_t lowerLimit = 0;
    std::int32_t upperLimit = 0;
    std::int32_t unwindLevel = 0;

    bool operator==(const SearchEvent&) const = default;
};

// Thrown by a RecordingHost to leave a run early, as a user ends the program
// from a solution's question.
struct SearchStopped {};

// A host that records everything the search shows it, in order, and the
// sequence of its calls: P ShowProgress, E ProcessEvents, R
// ReduceBoundRequested, S StampEndTime, T ReportSolution.
class RecordingHost : public SearchHost {
public:
    explicit RecordingHost(bool reduce = false, std::int32_t stopAfterSolutions = 0)
        : reduce_(reduce), stopAfter_(stopAfterSolutions)
    {
    }

    void ShowProgress(const SearchState& state) override
    {
        calls += 'P';
        SearchEvent event;
        event.e14 = state.e[14];
        event.e18 = state.e[18];
        events.push_back(event);
        if (!OnlyOuterValuesInUse(state)) ++poolMismatches;
    }
    void ProcessEvents() override { calls += 'E'; }
    bool ReduceBoundRequested() override
    {
        calls += 'R';
        return reduce_;
    }
    void StampEndTime() override { calls += 'S'; }
    void ReportSolution(const SearchState& state) override
    {
        calls += 'T';
        SearchEvent event;
        event.kind = SearchEvent::Kind::Solution;
        event.e14 = state.e[14];
        event.e18 = state.e[18];
        event.e = state.e;
        event.solutionCount = state.solutionCount;
        event.bestBound = state.bestBound;
        event.lowerLimit = state.lowerLimit;
        event.upperLimit = state.upperLimit;
        event.unwindLevel = state.unwindLevel;
        events.push_back(event);
        solutions.push_back(event);
        if (stopAfter_ > 0 && static_cast<std::int32_t>(solutions.size()) >= stopAfter_) throw SearchStopped{};
    }

    std::vector<SearchEvent> Progress() const
    {
        std::vector<SearchEvent> progress;
        for (const SearchEvent& event : events) {
            if (event.kind == SearchEvent::Kind::Progress) progress.push_back(event);
        }
        return progress;
    }

    std::vector<SearchEvent> events;
    std::vector<SearchEvent> solutions;
    std::string calls;
    // Progress calls at which the pool held other values than 63, e14 and e18.
    int poolMismatches = 0;

private:
    // When e18 has just been taken, every other value has been released.
    static bool OnlyOuterValuesInUse(const SearchState& state)
    {
        const ValuePool& pool = state.pool;
        for (std::int32_t v = pool.Low(); v <= pool.High(); ++v) {
            const bool used = v == 63 || v == state.e[14] || v == state.e[18];
            if (pool.Flag(v) != (used ? 0 : 1)) return false;
        }
        return true;
    }

    bool reduce_;
    std::int32_t stopAfter_;
};

} // namespace pandicube::test
