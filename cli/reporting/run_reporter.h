#pragma once

#include "cli/cli_environment.h"
#include "cli/formats/solution_writer.h"
#include "cli/progress.h"
#include "search/cube/solution_order.h"
#include "search/engine.h"
#include "search/search_reporter.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

namespace pandicube {

// A signal asked the run to stop before the outer unit `next` (none: before
// the run has left its start values, so that it must start over).
struct RunInterrupted {
    int signal = 0;
    std::optional<OuterUnit> next;
};

// Where a run begins: at its start, or, for a resumed run, after the
// solutions already written, at the outer unit `unit`, leaving out the
// solutions up to `after` (already written when the run was killed).
struct RunStart {
    std::int64_t solutions = 0;
    std::uint64_t checksum = 0;
    std::optional<std::int32_t> bestBound;
    std::optional<OuterUnit> unit;
    std::optional<SolutionOrderKey> after;
};

// What every output mode shares: draws the progress on a terminal, and stops
// the run between two records when a signal has come, noting where it goes
// on. The modes (MakeRunReporter) write what the search hands on.
class RunReporter : public SearchReporter {
public:
    RunReporter(SolutionWriter& writer, ProgressLine* progress, const CliEnvironment& env, const RunStart& from);

    void ReportProgress(const Progress& p) final;
    void PollStop() final;
    // A count stopped inside a unit counts only the units before it: the
    // unit is searched again.
    void CountUpToTheUnit();

    // The signal that stopped the run, and where it goes on.
    const RunInterrupted& Interruption() const { return interruption_; }

protected:
    int Signal() const { return env_.interruption ? env_.interruption() : 0; }
    // A solution or class is written: the run has left its start values.
    void LeftStart() { leftStart_ = true; }
    // Stops the run at once, to go on at the unit `next`.
    void StopBefore(OuterUnit next);

    SolutionWriter& writer_;

private:
    // The unit in progress, and the counts before it.
    struct UnitStart {
        OuterUnit unit;
        std::int64_t solutions = 0;
        std::uint64_t checksum = 0;
        std::optional<std::int32_t> bestBound;
    };

    ProgressLine* progress_;
    const CliEnvironment& env_;
    bool leftStart_;
    bool atStartValues_; // the next unit is the one the run begins at its start values
    bool inStartUnit_ = false;
    bool stoppedInUnit_ = false;
    UnitStart unit_;
    RunInterrupted interruption_;
};

// The reporter of the output mode the writer's identity names: a listing of
// the solutions, their count, the listing of the classes, or a count of the
// classes (--classes --count-only, or a census). `bestBound` is that of the
// units searched by rows (no reduction: U + 1 throughout).
std::unique_ptr<RunReporter> MakeRunReporter(SolutionWriter& writer, ProgressLine* progress, const CliEnvironment& env,
                                             const RunStart& from, const RunPlan& plan, std::int32_t bestBound);

// The part's own preparation of kind T, made the first time a part of this
// reporter's comes by (a part is used again for later units).
template <class T>
T& PreparedAs(UnitSolutions& part)
{
    if (auto* prepared = dynamic_cast<T*>(part.prepared.get())) return *prepared;
    auto made = std::make_unique<T>();
    T& prepared = *made;
    part.prepared = std::move(made);
    return prepared;
}

} // namespace pandicube
