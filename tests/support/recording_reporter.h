#pragma once

#include "search/loops/search_state.h"
#include "search/search_reporter.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace pandicube::test {

// What a watched state showed at the moment of a report.
struct StateSeen {
    std::int32_t bestBound = 0;
    std::int32_t lowerLimit = 0;
    std::int32_t upperLimit = 0;
    std::int32_t unwindLevel = 0;
    std::int32_t valuesInUse = 0; // values with flag 0 in the pool

    friend bool operator==(const StateSeen&, const StateSeen&) = default;
};

// One report of the search. Two runs behave alike for every reporter exactly
// when their reports are equal.
struct Report {
    enum class Kind { Progress, Solution };

    Kind kind = Kind::Progress;
    Entries entries{};          // progress: e14 and e18 only; a solution: all 62
    std::int64_t count = 0;     // progress: solutions so far; a solution: its number
    std::int32_t bestBound = 0; // solutions only
    StateSeen seen;
    std::uint64_t hash = 0; // solutions only: the hash the search computed

    friend bool operator==(const Report&, const Report&) = default;
};

std::ostream& operator<<(std::ostream& out, const Report& report);

// Records every report in order, and stops the run after stopAfterSolutions
// solutions when that is not 0. When it watches the state of the run, it
// also notes what the state showed at each report, and counts the progress
// reports at which the pool held other values than 63, e14 and e18.
class RecordingReporter : public SearchReporter {
public:
    explicit RecordingReporter(const SearchState* watchedState = nullptr, std::int32_t stopAfterSolutions = 0)
        : watched(watchedState), stopAfter_(stopAfterSolutions)
    {
    }

    void ReportProgress(const Progress& progress) override;
    void ReportSolution(const Solution& solution) override;

    std::vector<Report> ProgressReports() const;

    const SearchState* watched;
    std::vector<Report> reports;   // all, in order
    std::vector<Report> solutions; // the solutions alone
    int poolMismatches = 0;

private:
    StateSeen Seen() const;

    std::int32_t stopAfter_;
};

// Empty when both lists are equal; otherwise describes the first difference.
std::string FirstDifference(const std::vector<Report>& actual, const std::vector<Report>& expected);

// The reports without what the state showed: a run searched unit by unit
// keeps no pool, so only the reports themselves can agree.
std::vector<Report> PlainReports(std::vector<Report> reports);

} // namespace pandicube::test
