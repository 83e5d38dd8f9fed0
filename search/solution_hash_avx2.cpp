// XXH3 of a cube's entries built for AVX2 (this file alone is compiled with
// -mavx2): the results are those of every other build of the algorithm.
// Nothing but xxhash.h is included, all of it static, so that no inline
// function of a shared header is emitted here for AVX2.
#define XXH_INLINE_ALL
#include <xxhash.h>

#include <cstdint>

namespace pandicube {

std::uint64_t SolutionHashAvx2(const void* bytes);

std::uint64_t SolutionHashAvx2(const void* bytes)
{
    return XXH3_64bits(bytes, 248);
}

} // namespace pandicube
