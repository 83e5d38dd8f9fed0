#include "cli/formats/checksum.h"

#include "search/solution_hash.h"

#include <charconv>

namespace pandicube {

const EarlierVersion* EarlierVersionOf(std::string_view version)
{
    for (const EarlierVersion& earlier : kEarlierVersions)
        if (earlier.name == version) return &earlier;
    return nullptr;
}

ChecksumKind ChecksumKindOf(const std::string& version)
{
    const EarlierVersion* earlier = EarlierVersionOf(version);
    return earlier != nullptr ? earlier->checksum : ChecksumKind::Xxh3;
}

bool CountsHashOpeners(const std::string& version)
{
    const EarlierVersion* earlier = EarlierVersionOf(version);
    return earlier != nullptr ? earlier->countsHashOpeners : true;
}

std::uint64_t SolutionHashOf(ChecksumKind kind, const Entries& entries)
{
    return kind == ChecksumKind::Fnv1a ? SolutionHashFnv1a(entries) : SolutionHash(entries);
}

std::string ChecksumText(std::uint64_t checksum)
{
    char buf[17];
    for (int i = 15; i >= 0; --i) {
        buf[i] = "0123456789abcdef"[checksum & 0xf];
        checksum >>= 4;
    }
    return std::string(buf, 16);
}

std::optional<std::uint64_t> ParseChecksum(std::string_view text)
{
    std::uint64_t value = 0;
    if (text.size() != 16) return std::nullopt;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || ptr != text.data() + text.size() || ChecksumText(value) != text) return std::nullopt;
    return value;
}

} // namespace pandicube
