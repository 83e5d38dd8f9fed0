#pragma once

#include "search/run_search.h"

#include <span>

namespace pandicube {

// Searches the given outer units, in the order given, on up to `threads`
// threads. The host sees exactly the calls that a single-threaded search of
// these units in this order makes (ShowProgress and ProcessEvents per unit,
// StampEndTime, ReportSolution and ProcessEvents per solution), all on the
// calling thread, with solutionCount counting on from its value on entry.
// Requires a state prepared with full range and a host that never asks for a
// bound reduction.
void RunOuterUnits(SearchState& state, SearchHost& host, std::span<const OuterUnit> units, unsigned threads);

} // namespace pandicube
