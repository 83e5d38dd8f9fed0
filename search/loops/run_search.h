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

// Searches below one outer unit value by value, exactly as RunSearch does for
// it (RunOuterUnit does so under bound reduction, where the limits may move
// after any solution).
void RunOuterUnitByValues(SearchState& state, SearchReporter& reporter, OuterUnit unit);

} // namespace pandicube
