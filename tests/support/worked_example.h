#pragma once

#include "search/cells.h"
#include "search/run_setup.h"

namespace pandicube::test {

// The worked example of the formula table: the free entries e10 = 109,
// e14 = -33, e17 = -143, e18 = 192, and all 62 entries they give, the first
// cube found from them at U = 300 (index 0 unused).
inline constexpr StartValues kWorkedExampleStart{109, -33, -143, 192};
// clang-format off
inline constexpr Entries kWorkedExample{
    0,
    13, 56, 54, 97, 95, -94, 158, -15, 157, 109,
    129, 210, -39, -33, 48, 22, -143, 192, 182, 62,
    245, 34, 123, -88, 1, 26, -22, 105, -23, 229,
    203, 172, 66, -85, -41, 180, 41, -73, 68, 99,
    -98, 240, 43, 146, -16, 4, -116, 174, 209, 44,
    69, 150, 201, -93, -12, 0, 61, 247, 88, -81,
    -99, -153};
// clang-format on

// The start values of the window's default-values button.
inline constexpr StartValues kDefaultStart{203, -75, -30, -58};

} // namespace pandicube::test
