#include "search/engine.h"

#include "search/loops/run_search.h"
#include "search/rows/parallel_search.h"

#include <exception>
#include <thread>
#include <utility>

namespace pandicube {

namespace {

// The bound walk over units: unit by unit among the units of the current
// limits, those of the run that lie inside them, the ones the loops still
// reach.
void WalkBound(SearchState& state, SearchReporter& reporter, OuterUnitCursor rest)
{
    std::int32_t walkLimit = state.upperLimit;
    while (const std::optional<OuterUnit> unit = rest.Next()) {
        RunOuterUnit(state, reporter, *unit);
        if (reporter.StopRequested()) return;
        if (state.upperLimit == walkLimit) continue;
        walkLimit = state.upperLimit;
        const OuterUnits lowered(state);
        rest = lowered.From(*unit);
        if (lowered.Contains(*unit)) rest.Next();
    }
}

// Hands on every opener, until `stop` says so.
class OpenerReplay : public SearchReporter {
public:
    OpenerReplay(const std::function<void(const Entries&)>& take, const std::function<bool()>& stop)
        : take_(take), stop_(stop)
    {
    }

    void ReportProgress(const Progress& /*progress*/) override
    {
        if (stop_ && stop_()) RequestStop();
    }
    void ReportSolution(const Solution& solution) override { take_(solution.entries); }

private:
    const std::function<void(const Entries&)>& take_;
    const std::function<bool()>& stop_;
};

} // namespace

bool RunsOnUnits(const RunPlan& plan)
{
    const RunSetup& s = plan.setup;
    return plan.from || !(s.reduceBound || s.start || (plan.path == EnginePath::Sequential && !plan.slice));
}

OuterUnits PlanUnits(const RunPlan& plan)
{
    return OuterUnits(LimitsOf(plan.setup.upperBound), false, plan.slice);
}

void PrepareRun(SearchState& state, const RunPlan& plan)
{
    const RunSetup& s = plan.setup;
    // A bound walk goes on at the bound its last solution set.
    const bool reduced = s.reduceBound && plan.bestBound.has_value();
    PrepareSearchState(state, RunSetup(reduced ? *plan.bestBound - 1 : s.upperBound, plan.from ? std::nullopt : s.start,
                                       s.reduceBound));
    if (reduced) state.bestBound = *plan.bestBound;
    if (plan.classes) state.classOpenersOnly = 1;
    state.solutionCount = plan.solutions;
}

bool RunEngine(SearchState& state, const RunPlan& plan, SearchReporter& reporter)
{
    if (!RunsOnUnits(plan)) {
        RunSearch(state, reporter);
    } else {
        const OuterUnits units = PlanUnits(plan);
        if (!plan.setup.reduceBound) {
            RunOuterUnits(state, reporter, plan.from ? units.From(*plan.from) : units.Begin(), plan.threads);
        } else {
            WalkBound(state, reporter, plan.from ? OuterUnits(state).From(*plan.from) : OuterUnits(state).Begin());
        }
    }
    return !reporter.StopRequested();
}

void ReplayClassOpeners(const RunPlan& plan, const std::function<void(const Entries&)>& take,
                        const std::function<bool()>& stop)
{
    RunPlan replay;
    replay.setup = plan.setup;
    replay.classes = true;
    replay.threads = plan.threads;
    // On threads of its own: the search keeps per thread the part of a unit
    // it reports, and a reporter of a run may call this while it reports one.
    std::exception_ptr error;
    std::thread([&] {
        try {
            SearchState state;
            PrepareRun(state, replay);
            OpenerReplay reporter(take, stop);
            // The openers go straight on: few cubes wait for their turn.
            RunOuterUnits(state, reporter, PlanUnits(replay).Begin(), replay.threads, kHeldCubes / 8);
        } catch (...) {
            error = std::current_exception();
        }
    }).join();
    if (error) std::rethrow_exception(error);
}

} // namespace pandicube
