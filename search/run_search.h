#pragma once

#include "search/search_reporter.h"
#include "search/search_state.h"

#include <cstdint>
#include <vector>

namespace pandicube {

// Enumerates, in the fixed order of the four nested loops (e14 outermost, then
// e18, e10 and e17), every cube that the limits admit, starting from the state
// that PrepareSearchState leaves, and reports the progress and each solution.
// Returns when loop 1 is exhausted, with solutionCount holding the number of
// cubes found and every value released.
void RunSearch(SearchState& state, SearchReporter& reporter);

// One accepted pair of values of the two outer loops (e14, e18). Without a
// bound reduction and with full range, a run is exactly the sequence of its
// outer units in order, each searched on its own: the basis for splitting a
// run over threads or machines.
struct OuterUnit {
    std::int32_t e14 = 0;
    std::int32_t e18 = 0;

    friend bool operator==(const OuterUnit&, const OuterUnit&) = default;
};

// Searches below one outer unit and reports its progress and its cubes
// exactly as RunSearch does. Without bound reduction the unit is searched by
// rows (FindUnitCubes), leaving the pool alone; with it, value by value.
// Requires fullRange 1. Under bound reduction the
// caller goes on with the next unit whose e14 and e18 lie inside the lowered
// limits: a reduction that unwinds to loop 2 or 1 ends the unit, and the
// units the loops skip are those outside the limits.
void RunOuterUnit(SearchState& state, SearchReporter& reporter, OuterUnit unit);

// Reports the solutions of one unit searched by rows (ReportUnit), leaving
// solutionCount at the number of the last one reported, also when the
// reporter ends the run by throwing.
void ReportUnitSolutions(SearchState& state, SearchReporter& reporter, const UnitSolutions& unit);

// Searches below one outer unit value by value, exactly as RunSearch does for
// it (RunOuterUnit does so under bound reduction, where the limits may move
// after any solution).
void RunOuterUnitByValues(SearchState& state, SearchReporter& reporter, OuterUnit unit);

// The next value of loops 2, 3 and 4 after v in pair order; returns false when
// the order has ended (after 63 or 64).
constexpr bool NextInPairOrder(std::int32_t& v)
{
    if (v <= 62) {
        v = 126 - v;
        return true;
    }
    if (v >= 65) {
        v = 127 - v;
        return true;
    }
    return false;
}

} // namespace pandicube
