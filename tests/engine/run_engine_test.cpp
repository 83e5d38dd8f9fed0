// The one entry to the engine: the path it takes, and a run stopped by its
// reporter, resumed at a unit, on every path.
#include "search/engine.h"
#include "tests/support/search_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace pandicube::test {
namespace {

// Stops the run at its stopAt-th progress report (0: never).
class ProgressStopper : public RecordingReporter {
public:
    explicit ProgressStopper(int stopAt, std::int32_t stopAfterSolutions = 0)
        : RecordingReporter(nullptr, stopAfterSolutions), stopAt_(stopAt)
    {
    }
    void ReportProgress(const Progress& progress) override
    {
        RecordingReporter::ReportProgress(progress);
        if (++seen_ == stopAt_) RequestStop();
    }

private:
    int stopAt_;
    int seen_ = 0;
};

RunPlan PlanOf(RunSetup setup, unsigned threads, EnginePath path = EnginePath::Auto)
{
    RunPlan plan;
    plan.setup = setup;
    plan.threads = threads;
    plan.path = path;
    return plan;
}

// The plan's reports, and whether the run ended on its own.
std::vector<Report> RunPlanned(const RunPlan& plan, ProgressStopper& reporter, bool& ended)
{
    SearchState state;
    PrepareRun(state, plan);
    ended = RunEngine(state, plan, reporter);
    return PlainReports(reporter.reports);
}

struct Case {
    const char* name;
    RunPlan plan;
    bool onUnits;
};

const std::vector<Case> kCases = {
    {"loops, start values", PlanOf({300, StartValues{203, -75, -30, -58}}, 2), false},
    {"loops, bound walk", PlanOf({300, std::nullopt, true}, 2), false},
    {"loops chosen", PlanOf({270}, 1, EnginePath::Sequential), false},
    {"units, one thread", PlanOf({270}, 1), true},
    {"units, three threads", PlanOf({270}, 3), true},
};

TEST(RunEngine, ChoosesThePathAndStopsWhereTheReporterAsks)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RunsOnUnits(c.plan), c.onUnits);
        bool ended = false;
        ProgressStopper whole(0);
        const std::vector<Report> all = RunPlanned(c.plan, whole, ended);
        ASSERT_TRUE(ended);
        ASSERT_GE(whole.solutions.size(), 2u);
        // Stopped at the second solution, or at the progress report of its
        // unit (which is then not searched): the reports are those of the
        // whole run up to there.
        const auto isProgress = [](const Report& r) { return r.kind == Report::Kind::Progress; };
        const auto second = std::find_if(all.begin(), all.end(), [](const Report& r) { return r.count == 2; });
        const auto unit = std::find_if(std::make_reverse_iterator(second), all.rend(), isProgress).base() - 1;
        const auto progressAt = static_cast<int>(std::count_if(all.begin(), unit + 1, isProgress));
        const std::vector<std::pair<ProgressStopper, std::vector<Report>>> stops = {
            {ProgressStopper(0, 2), {all.begin(), second + 1}},
            {ProgressStopper(progressAt), {all.begin(), unit + 1}},
        };
        for (auto [stopper, expected] : stops) {
            EXPECT_EQ(FirstDifference(RunPlanned(c.plan, stopper, ended), expected), "");
            EXPECT_FALSE(ended);
        }
    }
}

// Stops the run at the first poll inside a unit.
class PollStopper : public RecordingReporter {
public:
    PollStopper() : RecordingReporter(nullptr, 0) {}
    void ReportProgress(const Progress& progress) override
    {
        RecordingReporter::ReportProgress(progress);
        ++units;
    }
    void PollStop() override { RequestStop(); }
    int units = 0;
};

// A unit searched value by value, which at the largest bounds takes many
// seconds, polls its reporter: a stop asked there ends the run inside a
// unit, after the reports of the whole run up to there.
TEST(RunEngine, StopsInsideAUnitSearchedByValues)
{
    for (const Case& c : {kCases[0], kCases[1], kCases[2]}) {
        SCOPED_TRACE(c.name);
        bool ended = false;
        ProgressStopper whole(0);
        const std::vector<Report> all = RunPlanned(c.plan, whole, ended);
        PollStopper stopper;
        SearchState state;
        PrepareRun(state, c.plan);
        EXPECT_FALSE(RunEngine(state, c.plan, stopper));
        EXPECT_LT(stopper.units, std::count_if(all.begin(), all.end(),
                                               [](const Report& r) { return r.kind == Report::Kind::Progress; }));
        const std::vector<Report> reports = PlainReports(stopper.reports);
        ASSERT_LE(reports.size(), all.size());
        EXPECT_EQ(FirstDifference(reports, {all.begin(), all.begin() + static_cast<std::ptrdiff_t>(reports.size())}),
                  "");
    }
}

// A run that goes on at a unit, with its count, gives the rest of the whole
// run; a bound walk goes on at the bound its last solution set.
TEST(RunEngine, GoesOnAtAUnit)
{
    for (const Case& c : {kCases[1], kCases[4]}) {
        SCOPED_TRACE(c.name);
        bool ended = false;
        ProgressStopper whole(0);
        const std::vector<Report> all = RunPlanned(c.plan, whole, ended);
        const Report& second = whole.solutions.at(1);
        RunPlan rest = c.plan;
        rest.from = OuterUnit{second.entries[kE14], second.entries[kE18]};
        rest.solutions = 1;
        rest.bestBound = whole.solutions.at(0).bestBound;
        const auto at = std::find_if(all.begin(), all.end(), [&](const Report& r) {
            return r.kind == Report::Kind::Progress && r.entries[kE14] == rest.from->e14 &&
                   r.entries[kE18] == rest.from->e18;
        });
        ProgressStopper goesOn(0);
        EXPECT_EQ(FirstDifference(RunPlanned(rest, goesOn, ended), std::vector<Report>(at, all.end())), "");
        EXPECT_TRUE(ended);
    }
}

} // namespace
} // namespace pandicube::test
