#pragma once

#include "search/cells.h"
#include "search/vocabulary.h"

#include <cstdint>
#include <span>

namespace pandicube {

// The hash of one solution that a run's checksum sums (modulo 2^64, so that
// the sums of slices add up to the whole run's): XXH3-64 without seed over
// its 62 entries, each as 4 bytes little-endian two's complement. Computed
// where the cubes are found, on the search threads.
std::uint64_t SolutionHash(const Entries& entries);

// The hash of one class in the checksum of a count of classes (--classes
// --count-only, --census) from version 0.3.0 on: XXH3-64 without seed over
// the four free entries e14, e18, e10 and e17, each as 4 bytes little-endian
// two's complement, of the cube that opens the class (its first member in run
// order, the one a search of the class openers lists). The four fix the cube,
// and every class has exactly one opener, so the sum over the classes names
// them as the sum over their standard forms did, without making a standard
// form per class.
std::uint64_t OpenerHash(const Entries& opener);
// The same from the four free entries.
std::uint64_t OpenerHash(std::int32_t e14, std::int32_t e18, std::int32_t e10, std::int32_t e17);
// The sum (modulo 2^64) of the OpenerHash of the cubes sighted below the unit
// (e14, e18).
std::uint64_t SumOfOpenerHashes(std::int32_t e14, std::int32_t e18, std::span<const CubeSighting> seen);

// The hash of the outputs of version 0.1.0, which are still read, merged
// and resumed: 64-bit FNV-1a over the same 248 bytes.
std::uint64_t SolutionHashFnv1a(const Entries& entries);

} // namespace pandicube
