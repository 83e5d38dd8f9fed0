#pragma once

#include "search/loops/search_state.h"
#include "search/search_reporter.h"
#include "search/vocabulary.h"

#include <cstdint>
#include <vector>

namespace pandicube {

// Enumerates, in the fixed order of the four nested loops (e14 outermost, then
// e18, e10 and e17), every cube that the limits admit, starting from the state
// that PrepareSearchState leaves, and reports the progress and each solution.
// Returns when loop 1 is exhausted, with solutionCount holding the number of
// cubes found and every value released.
void RunSearch(SearchState& state, SearchReporter& reporter);

// Searches below one outer unit and reports its progress and its cubes
// exactly as RunSearch does. Without bound reduction the unit is searched by
// rows (FindUnitCubes), leaving the pool alone; with it, value by value.
// Requires fullRange 1. Under bound reduction the
// caller goes on with the next unit whose e14 and e18 lie inside the lowered
// limits: a reduction that unwinds to loop 2 or 1 ends the unit, and the
// units the loops skip are those outside the limits.
void RunOuterUnit(SearchState& state, SearchReporter& reporter, OuterUnit unit);

// Reports the solutions of a part of a unit searched by rows (ReportCubes),
// whose progress has been reported, leaving solutionCount at the number of the
// last one reported, also when the reporter ends the run by throwing.
void ReportUnitSolutions(SearchState& state, SearchReporter& reporter, const UnitSolutions& part);

// Searches below one outer unit value by value, exactly as RunSearch does for
// it (RunOuterUnit does so under bound reduction, where the limits may move
// after any solution).
void RunOuterUnitByValues(SearchState& state, SearchReporter& reporter, OuterUnit unit);

} // namespace pandicube
