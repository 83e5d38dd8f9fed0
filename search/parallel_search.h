#pragma once

#include "search/run_search.h"

#include <span>

namespace pandicube {

// Searches the given outer units, in the order given, on up to `threads`
// threads, and reports their progress and solutions in the order of a
// single-threaded search of these units, one report at a time, with the
// solutions numbered on from solutionCount, which it leaves at the last
// number. The reports may come from any of the threads. An exception from a
// worker or from the reporter stops the run and reaches the caller. Requires
// a state set up without start values and without bound reduction; threads
// <= 1 searches on the calling thread alone.
void RunOuterUnits(SearchState& state, SearchReporter& reporter, std::span<const OuterUnit> units, unsigned threads);

} // namespace pandicube
