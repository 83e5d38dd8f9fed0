#pragma once

#include "search/cells.h"
#include "search/search_reporter.h"
#include "search/vocabulary.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace pandicube {

// The cubes of one outer unit of a run without bound reduction, found by
// whole rows instead of value by value; RunOuterUnit uses it. Gives exactly
// the cubes that loops 3 and 4 find below the unit under the same limits, in
// the same order (e10, then e17, each in pair order). Needs no pool: it reads
// only the limits and classOpenersOnly of the state. Each thread keeps its own
// scratch tables, so units may be searched on several threads at once.
void FindUnitCubes(Limits limits, bool classOpenersOnly, OuterUnit unit, std::vector<Entries>& cubes);

// Receives the cubes of a unit a chunk at a time (at most kSinkChunk), in the
// order of the search; the entries are valid during the call only, unless the
// sink takes them by swapping the vector with one of its own (whose contents
// the search drops). It may throw, which ends the unit's search. Between the chunks, after every
// kRowsPerPoll rows, it is also called with no cubes, so that a long unit
// can be ended soon.
using UnitCubeSink = std::function<void(std::vector<Entries>&)>;
inline constexpr std::size_t kSinkChunk = 256;
inline constexpr std::uint32_t kRowsPerPoll = 64;

// FindUnitCubes, handing the cubes on as they are made instead of holding
// them: the memory of a unit is then 16 bytes per cube.
void StreamUnitCubes(Limits limits, bool classOpenersOnly, OuterUnit unit, const UnitCubeSink& sink);

// StreamUnitCubes with sightings of the cubes instead of the cubes, in the
// same order and chunks.
using UnitSightingSink = std::function<void(std::vector<CubeSighting>&)>;
void StreamUnitSightings(Limits limits, bool classOpenersOnly, OuterUnit unit, const UnitSightingSink& sink);

// Makes `part` the cubes of `unit` in `taken` (a chunk of them or all), with
// the SolutionHash of each and their sum (with `hash`; else 0); clears what a
// reporter prepared before. The cubes are taken by swapping: `taken` is left
// with the part's old vector.
void SetUnitPart(UnitSolutions& part, OuterUnit unit, std::vector<Entries>& taken, bool hash);
// The same with sightings (which have no hashes).
void SetUnitPart(UnitSolutions& part, OuterUnit unit, std::vector<CubeSighting>& taken, bool hash);

} // namespace pandicube
