#pragma once

#include "search/cube/cube.h"
#include "search/search_reporter.h"
#include "search/vocabulary.h"

#include <cstdint>
#include <vector>

namespace pandicube {

// The cubes of one outer unit of a run without bound reduction, found by
// whole rows instead of value by value; RunOuterUnit uses it. Gives exactly
// the cubes that loops 3 and 4 find below the unit under the same limits, in
// the same order (e10, then e17, each in pair order). Needs no pool: it reads
// only the limits and classOpenersOnly of the state. Each thread keeps its own
// scratch tables, so units may be searched on several threads at once.
void FindUnitCubes(Limits limits, bool classOpenersOnly, OuterUnit unit, std::vector<Entries>& cubes);

// The same cubes as the unit's UnitSolutions, with their hashes and the
// unit's hash sum; clears what a reporter prepared from an earlier unit.
void FindUnitSolutions(Limits limits, bool classOpenersOnly, OuterUnit unit, UnitSolutions& found);

} // namespace pandicube
