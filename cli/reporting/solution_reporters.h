#pragma once

#include "cli/reporting/run_reporter.h"

#include <cstdint>
#include <optional>

namespace pandicube {

// Writes every solution. A unit searched by rows has its records made on
// the search threads, but for their numbers; this thread numbers and writes
// them. A resumed run leaves out the solutions up to the one it goes on
// after, which are written already.
class ListingReporter : public RunReporter {
public:
    ListingReporter(SolutionWriter& writer, ProgressLine* progress, const CliEnvironment& env, const RunStart& from,
                    std::int32_t bestBound);

    void ReportSolution(const Solution& s) override;
    void PrepareUnit(UnitSolutions& part) const override;
    void ReportCubes(const UnitSolutions& part, std::int64_t& solutions, std::int32_t bestBound) override;

private:
    std::optional<SolutionOrderKey> after_;
    std::int32_t bestBound_;
};

// Counts the solutions and sums their hashes, which the search threads made
// (--count-only); writes none.
class CountReporter : public RunReporter {
public:
    CountReporter(SolutionWriter& writer, ProgressLine* progress, const CliEnvironment& env, const RunStart& from,
                  std::int32_t bestBound);

    void ReportSolution(const Solution& s) override;
    void ReportCubes(const UnitSolutions& part, std::int64_t& solutions, std::int32_t bestBound) override;

private:
    std::int32_t bestBound_;
};

} // namespace pandicube
