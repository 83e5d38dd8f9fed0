#pragma once

#include "search/loops/search_state.h"
#include "search/rows/outer_units.h"
#include "search/rows/unit_search.h"
#include "search/search_reporter.h"

#include <cstddef>

namespace pandicube {

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

// Searches the outer units that `units` walks, in their order, on up to
// `threads` threads, and reports their progress and solutions in the order of a
// single-threaded search of these units, one report at a time, with the
// solutions numbered on from solutionCount, which it leaves at the last
// number. The reports may come from any of the threads. A reporter that asks
// to stop gets no further report; an exception from a worker or from the
// reporter stops the run and reaches the caller. Requires
// a state set up without start values and without bound reduction; threads
// <= 1 searches on the calling thread alone. The units are taken from the
// cursor as the threads need them, a bounded number ahead of the reports:
// the memory does not grow with the bound or with `threads`.
// The cubes that the units taken ahead hold, together, before their turn to
// be reported is at most heldCubes (2 MB of entries by default, and the text
// a listing prepares of them), in chunks
// of kSinkChunk made once and reused: a unit that would hold more waits for
// its turn and then reports its cubes as they are made.
inline constexpr std::size_t kHeldCubes = (std::size_t{2} << 20) / sizeof(Entries);
void RunOuterUnits(SearchState& state, SearchReporter& reporter, OuterUnitCursor units, unsigned threads,
                   std::size_t heldCubes = kHeldCubes);

} // namespace pandicube
