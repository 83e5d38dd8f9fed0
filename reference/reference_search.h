#pragma once

#include "search/loops/search_state.h"
#include "search/search_reporter.h"

namespace pandicube {

// The search written out in the plainest way: the four nested loops, and the
// 58 formulas one by one as the table gives them, each value range-tested,
// availability-tested, taken and released in reverse. No windows, no tables,
// no threads: the yardstick that the engine must match report for report.
void RunReferenceSearch(SearchState& state, SearchReporter& reporter);

} // namespace pandicube
