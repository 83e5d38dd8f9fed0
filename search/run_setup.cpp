#include "search/run_setup.h"

#include <cassert>

namespace pandicube {

std::variant<RunSetup, SetupRefusal> SetUpRun(std::string_view boundText, const StartTexts* startTexts,
                                              bool reduceBound)
{
    const InputCheck bound = CheckUpperBound(boundText);
    if (!bound.Ok()) return SetupRefusal{SetupField::Bound, bound.error};
    RunSetup setup{bound.value, std::nullopt, reduceBound};
    if (startTexts == nullptr) return setup;

    const Limits limits = LimitsOf(bound.value);
    constexpr std::array<SetupField, 4> kFields{SetupField::E10, SetupField::E14, SetupField::E17, SetupField::E18};
    std::array<std::int32_t, 4> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const InputCheck check = CheckStartValue((*startTexts)[i], limits.lower, limits.upper);
        if (!check.Ok()) return SetupRefusal{kFields[i], check.error};
        values[i] = check.value;
    }
    setup.start = StartValues{values[0], values[1], values[2], values[3]};
    return setup;
}

void PrepareSearchState(SearchState& state, const RunSetup& setup)
{
    assert(setup.upperBound >= 1 && setup.upperBound <= kMaxUpperBound);
    const Limits limits = LimitsOf(setup.upperBound);
    state.e.fill(0);
    state.unwindLevel = 0;
    state.fullRange = 1;
    if (setup.start) {
        state.startE10 = setup.start->e10;
        state.startE14 = setup.start->e14;
        state.startE17 = setup.start->e17;
        state.startE18 = setup.start->e18;
        state.fullRange = 0;
    }
    state.upperLimit = limits.upper;
    state.lowerLimit = limits.lower;
    state.pool.Reset(state.lowerLimit, state.upperLimit);
    state.bestBound = state.upperLimit;
    state.reduceBound = setup.reduceBound;
}

} // namespace pandicube
