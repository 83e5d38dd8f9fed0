#pragma once

#include "search/run_search.h"

#include <span>

namespace pandicube {

// Searches the given outer units, in the order given, on up to `threads`
// threads. The host sees exactly the calls that a single-threaded search of
// these units in this order makes (ShowProgress and ProcessEvents per unit;
// ReduceBoundRequested, StampEndTime, ReportSolution and ProcessEvents per
// solution), all on the calling thread, with solutionCount counting on from
// its value on entry. Each worker thread searches with its own copy of the
// state; the calling thread replays a unit's cubes as soon as all units before
// it are done, and workers run at most a few units ahead of it. threads <= 1
// searches on the calling thread alone. An exception from the host stops the
// workers and leaves this function after they have ended. Requires a state
// prepared with full range and a host that never asks for a bound reduction.
void RunOuterUnits(SearchState& state, SearchHost& host, std::span<const OuterUnit> units, unsigned threads);

} // namespace pandicube
