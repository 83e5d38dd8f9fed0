#pragma once

#include "cli/reporting/run_reporter.h"
#include "search/cube/cube_classes.h"

#include <memory>
#include <span>

namespace pandicube {

// Writes the classes of a run, one record each, from the cubes that open
// them (classOpenersOnly), in run order. A whole run's listing numbers each
// class by the solution that first meets it (ClassNumbering, from counts per
// outer unit, within a budget of memory); a slice cannot know the whole
// run's solution numbers: it numbers its classes, and their first members,
// within the slice, and merge renumbers them.
class ClassListingReporter : public RunReporter {
public:
    ClassListingReporter(SolutionWriter& writer, ProgressLine* progress, const CliEnvironment& env,
                         const RunStart& from, const RunPlan& plan);

    void ReportSolution(const Solution& s) override;
    bool HashesSolutions() const override { return false; }
    // The search threads make each class's standard form, size, hash and
    // record but for its head; this thread numbers them and writes.
    void PrepareUnit(UnitSolutions& part) const override;
    void ReportCubes(const UnitSolutions& part, std::int64_t& solutions, std::int32_t bestBound) override;

private:
    struct ReplayStopped {};
    // The number of the solution that opens the class of `cube`, whose
    // members the run lists are `members`; false when a signal ended the
    // replay of the openers, and with it the run.
    bool Number(const Entries& cube, std::span<const ClassNumbering::Member> members, std::int64_t& firstSolution);
    std::unique_ptr<ClassNumbering> classes_;
};

// Counts the classes of a run (--classes --count-only), and a census also by
// their largest values, from the cubes that open them. The search threads
// hash each part's openers (SolutionWriter::HashOfCountedClass: their free
// entries, no standard form) and sum the hashes; this thread only adds them
// up. Nothing is kept per class.
class ClassCountReporter : public RunReporter {
public:
    ClassCountReporter(SolutionWriter& writer, ProgressLine* progress, const CliEnvironment& env, const RunStart& from);

    void ReportSolution(const Solution& s) override;
    // The checksum sums the hashes of the classes, never those of the
    // cubes found as solutions.
    bool HashesSolutions() const override { return false; }
    // An opener's free entries and largest value are all a count needs
    // (unless it goes on with the file of a version that hashed standard
    // forms).
    bool SightingsSuffice() const override { return writer_.HashesOpeners(); }
    void PrepareUnit(UnitSolutions& part) const override;
    void ReportCubes(const UnitSolutions& part, std::int64_t& solutions, std::int32_t bestBound) override;

private:
    bool census_;
};

} // namespace pandicube
