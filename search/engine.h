#pragma once

#include "search/loops/search_state.h"
#include "search/rows/outer_units.h"
#include "search/run_setup.h"
#include "search/search_reporter.h"
#include "search/vocabulary.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace pandicube {

// Which path a run takes: the four loops value by value (RunSearch), or the
// outer units searched by rows on threads. Auto takes the units unless the
// run reduces the bound or opens at start values; the other two exist so that
// both paths can be compared.
enum class EnginePath { Auto, Sequential, Units };

// Everything that decides how the engine runs a search.
struct RunPlan {
    RunSetup setup;             // the bound, the start values, the bound reduction
    std::optional<Slice> slice; // part of the run's outer units
    bool classes = false;       // only the cubes that open their class
    unsigned threads = 1;
    EnginePath path = EnginePath::Auto;
    // A run that goes on where an earlier part of it stopped: at this unit,
    // after `solutions` solutions, at the bound its last solution set.
    std::optional<OuterUnit> from;
    std::int64_t solutions = 0;
    std::optional<std::int32_t> bestBound;
};

// Whether the plan's run searches its outer units (RunEngine may then use
// several threads) rather than the four loops value by value.
bool RunsOnUnits(const RunPlan& plan);

// The outer units of the plan's run (of its slice), in the order of the search.
OuterUnits PlanUnits(const RunPlan& plan);

// Sets up the state for the plan: as PrepareSearchState does for its set-up,
// then for a run that goes on its count, its bound and no start values, and
// the classes.
void PrepareRun(SearchState& state, const RunPlan& plan);

// Runs the plan from the state that PrepareRun set up, reporting progress and
// solutions in the order of the search: the loops, the units on
// plan.threads threads, or the bound walk over units of a run that goes on.
// Returns false when the reporter stopped the run, true when it ended.
bool RunEngine(SearchState& state, const RunPlan& plan, SearchReporter& reporter);

// Searches again, on plan.threads threads, the class openers of the plan's
// whole run, handing each to `take` in run order: the first search of a
// ClassNumbering. Ends early, before a unit, once `stop` says so.
void ReplayClassOpeners(const RunPlan& plan, const std::function<void(const Entries&)>& take,
                        const std::function<bool()>& stop = {});

} // namespace pandicube
