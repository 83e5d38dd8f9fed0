#pragma once

#include "search/search_host.h"
#include "search/search_state.h"

namespace pandicube {

// Enumerates, in the fixed order of the four nested loops (e14 outermost, then
// e18, e10 and e17), every cube that the limits admit, starting from the state
// that PrepareSearchState leaves. Returns when loop 1 is exhausted, with
// solutionCount holding the number of cubes found and every value released.
void RunSearch(SearchState& state, SearchHost& host);

// The next value of loops 2, 3 and 4 after v in pair order; returns false when
// the order has ended (after 63 or 64).
constexpr bool NextInPairOrder(std::int32_t& v)
{
    if (v <= 62) {
        v = 126 - v;
        return true;
    }
    if (v >= 65) {
        v = 127 - v;
        return true;
    }
    return false;
}

} // namespace pandicube
