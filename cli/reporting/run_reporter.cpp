#include "cli/reporting/run_reporter.h"

#include "cli/reporting/class_reporters.h"
#include "cli/reporting/solution_reporters.h"

#include <utility>

namespace pandicube {

RunReporter::RunReporter(SolutionWriter& writer, ProgressLine* progress, const CliEnvironment& env,
                         const RunStart& from)
    : writer_(writer), progress_(progress), env_(env),
      leftStart_(!writer.Identity().setup.start || from.unit.has_value()),
      atStartValues_(writer.Identity().setup.start && !from.unit)
{
}

void RunReporter::ReportProgress(const Progress& p)
{
    if (env_.interruption) {
        // A run from start values goes on at a unit only once it has left
        // them: a solution shows it has; before one it starts over.
        if (const int signal = env_.interruption(); signal != 0) {
            interruption_ = {signal, leftStart_ ? std::optional<OuterUnit>(OuterUnit{p.e14, p.e18}) : std::nullopt};
            RequestStop();
            return;
        }
    }
    if (progress_ != nullptr) progress_->Update(p.e14, p.e18, writer_.Solutions());
    unit_ = {OuterUnit{p.e14, p.e18}, writer_.Solutions(), writer_.Checksum(), writer_.BestBound()};
    inStartUnit_ = std::exchange(atStartValues_, false);
}

void RunReporter::PollStop()
{
    const int signal = Signal();
    if (signal == 0) return;
    // Stopped inside the unit: the run goes on at it again, after the
    // solutions written of it. A run stopped inside the unit it began at its
    // start values starts over.
    interruption_ = {signal, leftStart_ && !inStartUnit_ ? std::optional(unit_.unit) : std::nullopt};
    stoppedInUnit_ = true;
    RequestStop();
}

void RunReporter::CountUpToTheUnit()
{
    if (stoppedInUnit_ && writer_.Identity().countOnly)
        writer_.ContinueAfter(unit_.solutions, unit_.checksum, unit_.bestBound);
}

void RunReporter::StopBefore(OuterUnit next)
{
    interruption_ = {Signal(), next};
    RequestStop();
}

std::unique_ptr<RunReporter> MakeRunReporter(SolutionWriter& writer, ProgressLine* progress, const CliEnvironment& env,
                                             const RunStart& from, const RunPlan& plan, std::int32_t bestBound)
{
    const RunIdentity& id = writer.Identity();
    if (id.census || (id.classes && id.countOnly))
        return std::make_unique<ClassCountReporter>(writer, progress, env, from);
    if (id.classes) return std::make_unique<ClassListingReporter>(writer, progress, env, from, plan);
    if (id.countOnly) return std::make_unique<CountReporter>(writer, progress, env, from, bestBound);
    return std::make_unique<ListingReporter>(writer, progress, env, from, bestBound);
}

} // namespace pandicube
