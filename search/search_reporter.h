#pragma once

#include "search/cube.h"

#include <cstdint>

namespace pandicube {

// Where a run stands when loop 2 has accepted an e18: the outer unit (e14,
// e18) about to be searched and the solutions found before it.
struct Progress {
    std::int32_t e14 = 0;
    std::int32_t e18 = 0;
    std::int64_t solutionCount = 0;
};

// One solution: its 62 entries, its number in the run (from 1) and the best
// upper bound, which a run with bound reduction has just lowered to at most
// the cube's largest value (U + 1 throughout a run without reduction). The
// entries are valid during the report only.
struct Solution {
    const Entries& entries;
    std::int64_t number = 0;
    std::int32_t bestBound = 0;
};

// What the search tells whoever runs it (the window, the headless front end,
// the tests), in plain values: progress once per accepted e18 and each
// solution; nothing from loops 3 and 4 otherwise. A reporter may end the run
// by throwing.
class SearchReporter {
public:
    virtual ~SearchReporter() = default;

    virtual void ReportProgress(const Progress& progress) = 0;
    virtual void ReportSolution(const Solution& solution) = 0;
};

} // namespace pandicube
