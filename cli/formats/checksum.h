#pragma once

#include "search/cells.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pandicube {

// The hash that a run's checksum sums (search/solution_hash.h): FNV-1a in
// the outputs of version 0.1.0, XXH3 in those of later versions. Each output
// keeps its own: a resumed or merged output goes on with its version's.
enum class ChecksumKind { Fnv1a, Xxh3 };

// The earlier versions whose outputs this one reads and goes on writing, each
// with what sets its outputs apart from this version's. A version step that
// changes an output adds the version before it here.
struct EarlierVersion {
    std::string_view name;
    ChecksumKind checksum;
    bool countsHashOpeners; // see CountsHashOpeners
};
inline constexpr std::array<EarlierVersion, 2> kEarlierVersions{{
    {"0.1.0", ChecksumKind::Fnv1a, false},
    {"0.2.0", ChecksumKind::Xxh3, false},
}};
// Its entry, or nullptr for this version and for any other.
const EarlierVersion* EarlierVersionOf(std::string_view version);

ChecksumKind ChecksumKindOf(const std::string& version);
std::uint64_t SolutionHashOf(ChecksumKind kind, const Entries& entries);

// Whether the checksum of a count of classes (--classes --count-only,
// --census) sums the hashes of the classes' openers (OpenerHash), as from
// version 0.3.0 on, or of their standard forms, as the outputs of 0.1.0 and
// 0.2.0 do. A listing of the classes always sums their standard forms, which
// it writes.
bool CountsHashOpeners(const std::string& version);

// The checksum of a run's solutions is the sum, modulo 2^64, of the hash of
// each solution's 62 entries. The order of the solutions is checked on its
// own (they come in the order of the search), so the sums of the slices add
// up to the whole run's. Written as 16 hexadecimal digits.
std::string ChecksumText(std::uint64_t checksum);
std::optional<std::uint64_t> ParseChecksum(std::string_view text);

} // namespace pandicube
