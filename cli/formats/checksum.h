#pragma once

#include "search/cells.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pandicube {

// The hash that a run's checksum sums (search/solution_hash.h): FNV-1a in
// the outputs of version 0.1.0, XXH3 in those of later versions. Each output
// keeps its own: a resumed or merged output goes on with its version's.
enum class ChecksumKind { Fnv1a, Xxh3 };
ChecksumKind ChecksumKindOf(const std::string& version);
std::uint64_t SolutionHashOf(ChecksumKind kind, const Entries& entries);

// The checksum of a run's solutions is the sum, modulo 2^64, of the hash of
// each solution's 62 entries. The order of the solutions is checked on its
// own (they come in the order of the search), so the sums of the slices add
// up to the whole run's. Written as 16 hexadecimal digits.
std::string ChecksumText(std::uint64_t checksum);
std::optional<std::uint64_t> ParseChecksum(std::string_view text);

} // namespace pandicube
