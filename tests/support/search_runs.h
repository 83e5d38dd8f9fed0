#pragma once

#include "search/loops/run_search.h"
#include "search/loops/search_state.h"
#include "search/rows/outer_units.h"
#include "search/run_setup.h"
#include "tests/support/recording_reporter.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace pandicube::test {

// Under the sanitizers everything runs several times slower: the largest
// bounds are left to the release build there. GCC says so with its own macro,
// clang through __has_feature.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PANDICUBE_TEST_SANITIZED
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(PANDICUBE_TEST_SANITIZED)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

using SearchFunction = void (*)(SearchState&, SearchReporter&);

struct RecordedRun {
    SearchState state;
    RecordingReporter reporter;
};

// Sets up a run and searches it with `search`, watching its state, to the end
// or until the reporter stops it after `stopAfterSolutions` solutions.
RecordedRun RecordRun(const RunSetup& setup, std::int32_t stopAfterSolutions = 0, SearchFunction search = RunSearch);

// The state a run leaves behind, apart from the entries and `candidate`,
// which hold the last values tried.
struct FinalState {
    std::int64_t solutionCount = 0;
    std::int32_t bestBound = 0;
    std::int32_t lowerLimit = 0;
    std::int32_t upperLimit = 0;
    std::int32_t unwindLevel = 0;
    std::int32_t fullRange = 0;
    std::int32_t largestUsed = 0;
    std::int32_t loopIndex = 0;
    std::int32_t poolLow = 0;
    std::vector<std::int32_t> poolFlags;

    friend bool operator==(const FinalState&, const FinalState&) = default;
};

FinalState FinalStateOf(const SearchState& state);
std::ostream& operator<<(std::ostream& out, const FinalState& state);

// The flags that differ from the state after set-up: every flag 1 except
// flag(63). Empty when the pool is back to its set-up state.
std::vector<std::string> PoolFaults(const ValuePool& pool);

// Pair order written out for the tests: from the lowest value up to 62, each
// value followed by its complement.
std::vector<std::int32_t> PairOrderFrom(std::int32_t lowest);

// The values of e18 that loop 2 takes for this e14 when it walks `order`: the
// ones congruent to e14 mod 9 that are not e14 or its complement (the only
// values in use besides 63).
std::vector<std::int32_t> AcceptedE18(std::int32_t e14, const std::vector<std::int32_t>& order);

// Every unit a cursor walks, in its order: small runs only.
std::vector<OuterUnit> UnitsOf(OuterUnitCursor cursor);

bool HasFreeEntries(const Entries& e, StartValues free);

} // namespace pandicube::test
