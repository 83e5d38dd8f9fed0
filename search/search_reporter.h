#pragma once

#include "search/cube/cube.h"

#include <cstdint>
#include <stop_token>

namespace pandicube {

// Where a run stands when loop 2 has accepted an e18: the outer unit (e14,
// e18) about to be searched and the solutions found before it.
struct Progress {
    std::int32_t e14 = 0;
    std::int32_t e18 = 0;
    std::int32_t solutionCount = 0;
};

// One solution: its 62 entries, its number in the run (from 1) and the best
// upper bound, which a run with bound reduction has just lowered to at most
// the cube's largest value (U + 1 throughout a run without reduction). The
// entries are valid during the report only.
struct Solution {
    const Entries& entries;
    std::int32_t number = 0;
    std::int32_t bestBound = 0;
};

// What the search tells whoever runs it (the window, the headless front end,
// the tests), in plain values: progress once per accepted e18 and each
// solution; nothing from loops 3 and 4 otherwise. A reporter ends the run by
// asking it to stop: the search then returns after the report that asked,
// releasing what it holds, and searches nothing more (after a progress
// report, not the unit it announced). An exception from a reporter is a
// failure and leaves the search the same way.
class SearchReporter {
public:
    virtual ~SearchReporter() = default;

    virtual void ReportProgress(const Progress& progress) = 0;
    virtual void ReportSolution(const Solution& solution) = 0;

    // May be asked from any thread.
    void RequestStop() { stop_.request_stop(); }
    bool StopRequested() const { return stop_.stop_requested(); }

private:
    std::stop_source stop_;
};

} // namespace pandicube
