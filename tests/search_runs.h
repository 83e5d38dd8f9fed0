#pragma once

#include "search/run_search.h"
#include "search/search_state.h"
#include "tests/recording_host.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pandicube::test {

// The worked example: the free entries and all 62 entries of the first cube
// found from them at U = 300.
inline constexpr StartValues kWorkedExampleStart{109, -33, -143, 192};
// clang-format off
inline constexpr Entries kWorkedExampleEntries{
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

struct RecordedRun {
    SearchState state;
    RecordingHost host;
};

// Sets up a run for U (with start values when given) and searches it to the
// end, or until the host stops it after `stopAfterSolutions` solutions.
inline RecordedRun SearchRun(std::int32_t upperBound, std::optional<StartValues> start = std::nullopt,
                             bool reduce = false, std::int32_t stopAfterSolutions = 0)
{
    RecordedRun run{SearchState{}, RecordingHost(reduce, stopAfterSolutions)};
    PrepareSearchState(run.state, upperBound, start ? &*start : nullptr);
    try {
        RunSearch(run.state, run.host);
    } catch (const SearchStopped&) {
    }
    return run;
}

// The flags that differ from the state after set-up: every flag 1 except
// flag(63). Empty when the pool is back to its set-up state.
inline std::vector<std::string> PoolFaults(const ValuePool& pool)
{
    std::vector<std::string> faults;
    for (std::int32_t v = pool.Low(); v <= pool.High(); ++v) {
        const std::int32_t expected = v == 63 ? 0 : 1;
        if (pool.Flag(v) != expected)
            faults.push_back("flag(" + std::to_string(v) + ") = " + std::to_string(pool.Flag(v)));
    }
    return faults;
}

// Pair order written out for the tests: from the lowest value up to 62, each
// value followed by its complement.
inline std::vector<std::int32_t> PairOrderFrom(std::int32_t lowest)
{
    std::vector<std::int32_t> order;
    for (std::int32_t v = lowest; v <= 62; ++v) {
        order.push_back(v);
        order.push_back(126 - v);
    }
    return order;
}

// The values of e18 that loop 2 takes for this e14 when it walks `order`: the
// ones congruent to e14 mod 9 that are not e14 or its complement (the only
// values in use besides 63).
inline std::vector<std::int32_t> AcceptedE18(std::int32_t e14, const std::vector<std::int32_t>& order)
{
    const auto mod9 = [](std::int32_t v) { return ((v % 9) + 9) % 9; };
    std::vector<std::int32_t> accepted;
    for (std::int32_t e18 : order) {
        if (mod9(e18) == mod9(e14) && e18 != e14 && e18 != 126 - e14) accepted.push_back(e18);
    }
    return accepted;
}

inline bool HasFreeEntries(const Entries& e, StartValues free)
{
    return e[10] == free.e10 && e[14] == free.e14 && e[17] == free.e17 && e[18] == free.e18;
}

} // namespace pandicube::test
