#include "tests/support/recording_reporter.h"

#include <algorithm>
#include <sstream>

namespace pandicube::test {

std::ostream& operator<<(std::ostream& out, const Report& r)
{
    out << (r.kind == Report::Kind::Progress ? "progress" : "solution") << " #" << r.count << " bound " << r.bestBound
        << " e14 " << r.entries[14] << " e18 " << r.entries[18] << " e10 " << r.entries[10] << " e17 " << r.entries[17]
        << " | state: bound " << r.seen.bestBound << " limits " << r.seen.lowerLimit << ".." << r.seen.upperLimit
        << " unwind " << r.seen.unwindLevel << " in use " << r.seen.valuesInUse << " hash " << r.hash;
    return out;
}

StateSeen RecordingReporter::Seen() const
{
    if (watched == nullptr) return {};
    const ValuePool& pool = watched->pool;
    std::int32_t inUse = 0;
    for (std::int32_t v = pool.Low(); v <= pool.High(); ++v) inUse += pool.Flag(v) == 0 ? 1 : 0;
    return {watched->bestBound, watched->lowerLimit, watched->upperLimit, watched->unwindLevel, inUse};
}

void RecordingReporter::ReportProgress(const Progress& progress)
{
    Report report{Report::Kind::Progress, {}, progress.solutionCount, 0, Seen()};
    report.entries[kE14] = progress.e14;
    report.entries[kE18] = progress.e18;
    reports.push_back(report);
    if (watched == nullptr) return;
    // When e18 has just been taken, every other value has been released.
    const ValuePool& pool = watched->pool;
    for (std::int32_t v = pool.Low(); v <= pool.High(); ++v) {
        const bool used = v == kCentreValue || v == progress.e14 || v == progress.e18;
        if (pool.Flag(v) != (used ? 0 : 1)) {
            ++poolMismatches;
            return;
        }
    }
}

void RecordingReporter::ReportSolution(const Solution& solution)
{
    reports.push_back(
        {Report::Kind::Solution, solution.entries, solution.number, solution.bestBound, Seen(), solution.hash});
    solutions.push_back(reports.back());
    if (stopAfter_ > 0 && std::ssize(solutions) >= stopAfter_) RequestStop();
}

std::vector<Report> RecordingReporter::ProgressReports() const
{
    std::vector<Report> progress;
    std::copy_if(reports.begin(), reports.end(), std::back_inserter(progress),
                 [](const Report& r) { return r.kind == Report::Kind::Progress; });
    return progress;
}

std::string FirstDifference(const std::vector<Report>& actual, const std::vector<Report>& expected)
{
    std::ostringstream out;
    const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    if (a != actual.end() && e != expected.end()) {
        out << "report " << (a - actual.begin()) << " differs\n  actual:   " << *a << "\n  expected: " << *e;
    } else if (actual.size() != expected.size()) {
        out << actual.size() << " reports instead of " << expected.size();
    }
    return out.str();
}

std::vector<Report> PlainReports(std::vector<Report> reports)
{
    for (Report& report : reports) report.seen = {};
    return reports;
}

} // namespace pandicube::test
