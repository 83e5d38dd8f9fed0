#pragma once

#include "search/input_rules.h"
#include "search/loops/search_state.h"
#include "search/vocabulary.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>

namespace pandicube {

// The four start values, in the order of the working display's start cells.
struct StartValues {
    std::int32_t e10 = 0;
    std::int32_t e14 = 0;
    std::int32_t e17 = 0;
    std::int32_t e18 = 0;
};

// Everything a run is set up from; none of it changes while the run goes on.
struct RunSetup {
    RunSetup() = default;
    RunSetup(std::int32_t bound, std::optional<StartValues> startValues = std::nullopt, bool reduce = false)
        : upperBound(bound), start(startValues), reduceBound(reduce)
    {
    }

    std::int32_t upperBound = 0;
    std::optional<StartValues> start; // the first descent opens every loop here
    bool reduceBound = false;
};

// The typed fields of a run, in the order in which they are checked.
enum class SetupField { Bound, E10, E14, E17, E18 };

struct SetupRefusal {
    SetupField field = SetupField::Bound;
    InputError error = InputError::None;
};

// The texts of the four start values, in the order e10, e14, e17, e18.
using StartTexts = std::array<std::string_view, 4>;

// Checks the bound text and then, when given, the four start texts (each from
// 125 - U to U + 1) by the input rules, and returns the run's set-up or the
// first field refused with its error.
std::variant<RunSetup, SetupRefusal> SetUpRun(std::string_view boundText, const StartTexts* startTexts,
                                              bool reduceBound);

// Sets up the state for a run: the limits of U, a fresh pool with 63 in use,
// zeroed entries, bestBound U + 1, unwindLevel 0, the bound reduction, and
// fullRange 1, or 0 with the start values taken when there are any.
// solutionCount is left as it is.
void PrepareSearchState(SearchState& state, const RunSetup& setup);

} // namespace pandicube
