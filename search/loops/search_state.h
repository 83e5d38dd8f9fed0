#pragma once

#include "search/cells.h"
#include "search/loops/value_pool.h"

#include <cstdint>

namespace pandicube {

// The record of form-level variables that every procedure of a run shares:
// the entries, the limits, the counters, the pool, the start values and the
// flags. It lives as long as its owner (the window, or one headless run).
struct SearchState {
    Entries e{};                    // e[1] .. e[62]; e[0] unused
    std::int32_t lowerLimit = 0;    // exclusive lower limit of entry values
    std::int32_t upperLimit = 0;    // exclusive upper limit of entry values
    std::int64_t solutionCount = 0; // cubes found in the current run
    std::int32_t candidate = 0;     // the value under test
    ValuePool pool;                 // availability flags indexed by value
    std::int32_t abortRun = 0;      // 1 when the input was refused
    std::int32_t loopIndex = 0;     // counter of control loops and of the largest-value scan
    std::int32_t fullRange = 0;     // 0 while the loops open at the start values
    std::int32_t startE10 = 0;
    std::int32_t startE14 = 0;
    std::int32_t startE17 = 0;
    std::int32_t startE18 = 0;
    std::int32_t largestUsed = 0; // result of the largest-value scan
    std::int32_t bestBound = 0;   // smallest largest value found so far
    std::int32_t unwindLevel = 0; // loop levels to abandon after a bound reduction
    bool reduceBound = false;     // lower the bound after each solution; fixed at set-up
    // 1: the loops list only the cubes that open their class in run order
    // (NarrowToClassOpener); full range without reduction only.
    std::int32_t classOpenersOnly = 0;
};

} // namespace pandicube
