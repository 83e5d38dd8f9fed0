#include "search/solution_hash.h"

// Compiled here rather than called in the shared library: the length of a
// cube's entries is then a constant, and a hash takes about half the work.
// The algorithm and its results are the library's.
#define XXH_INLINE_ALL
#include <xxhash.h>

#include <array>
#include <bit>

namespace pandicube {

static_assert(std::endian::native == std::endian::little, "the entries are hashed as little-endian bytes in place");
static_assert(sizeof(Entries) == 4 * (kEntryCount + 1), "entries 1 to 62 are 248 contiguous bytes");

#ifdef PANDICUBE_HASH_AVX2
// In solution_hash_avx2.cpp: the same hash of the 248 bytes at `bytes`.
std::uint64_t SolutionHashAvx2(const void* bytes);

std::uint64_t SolutionHash(const Entries& entries)
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2 ? SolutionHashAvx2(&entries[1]) : XXH3_64bits(&entries[1], 4 * kEntryCount);
}
#else
std::uint64_t SolutionHash(const Entries& entries)
{
    return XXH3_64bits(&entries[1], 4 * kEntryCount);
}
#endif

std::uint64_t OpenerHash(const Entries& opener)
{
    return OpenerHash(opener[kE14], opener[kE18], opener[kE10], opener[kE17]);
}

std::uint64_t OpenerHash(std::int32_t e14, std::int32_t e18, std::int32_t e10, std::int32_t e17)
{
    const std::array<std::int32_t, 4> free = {e14, e18, e10, e17};
    return XXH3_64bits(free.data(), sizeof free);
}

std::uint64_t SumOfOpenerHashes(std::int32_t e14, std::int32_t e18, std::span<const CubeSighting> seen)
{
    std::uint64_t sum = 0;
    for (const CubeSighting& s : seen) sum += OpenerHash(e14, e18, s.e10, s.e17);
    return sum;
}

std::uint64_t SolutionHashFnv1a(const Entries& entries)
{
    std::uint64_t h = 14695981039346656037ull;
    for (std::size_t k = 1; k <= kEntryCount; ++k) {
        const auto v = static_cast<std::uint32_t>(entries[k]);
        for (int byte = 0; byte < 4; ++byte) {
            h ^= (v >> (8 * byte)) & 0xffu;
            h *= 1099511628211ull;
        }
    }
    return h;
}

} // namespace pandicube
