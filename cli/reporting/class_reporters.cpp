#include "cli/reporting/class_reporters.h"

#include "search/cube/cube_symmetry.h"

#include <functional>
#include <vector>

namespace pandicube {

namespace {

// The bytes that numbering the classes of a run may keep: at U = 1000, one
// window of about 50 MB holds the whole run.
constexpr std::size_t kClassNumbersBudget = std::size_t{64} << 20;

// A part's classes as the search thread counted them: the sum of their
// standard forms' hashes and, in a census, the largest value of each.
struct CountedClasses : PreparedPart {
    std::uint64_t hashSum = 0;
    std::vector<std::int32_t> largestValues;
};

// (With AVX2 the largest values take a few vector steps each.)
[[gnu::target_clones("avx2", "default")]] void CountClassesOf(const UnitSolutions& part, const SolutionWriter& writer,
                                                              bool census, CountedClasses& counted)
{
    counted.hashSum = 0;
    counted.largestValues.clear();
    for (const Entries& cube : part.cubes) {
        counted.hashSum += writer.HashOfClass(StandardFormEntries(cube));
        // Every image has the cube's values.
        if (census) counted.largestValues.push_back(LargestValue(cube));
    }
}

} // namespace

ClassListingReporter::ClassListingReporter(SolutionWriter& writer, ProgressLine* progress, const CliEnvironment& env,
                                           const RunStart& from, const RunPlan& plan)
    : RunReporter(writer, progress, env, from)
{
    if (writer.Identity().slice) return;
    // A signal ends a replay at its next unit, and the run with it.
    classes_ = std::make_unique<ClassNumbering>(
        LimitsOf(plan.setup.upperBound),
        [this, &plan](const std::function<void(const Entries&)>& take, const std::function<bool()>& enough) {
            ReplayClassOpeners(plan, take, [this, &enough] { return enough() || Signal() != 0; });
            if (Signal() != 0) throw ReplayStopped{};
        },
        kClassNumbersBudget);
}

void ClassListingReporter::ReportSolution(const Solution& s)
{
    if (!classes_) {
        const Cells cube = CellsFromEntries(s.entries);
        const std::int64_t n = writer_.Solutions() + 1;
        writer_.WriteClass(CubeClass{n, n, ClassSizeInRun(cube), StandardForm(cube)});
    } else {
        try {
            writer_.WriteClass(classes_->AddOpener(s.entries));
        } catch (const ReplayStopped&) {
            // The class is not numbered: the run goes on at its unit.
            StopBefore(OuterUnit{s.entries[kE14], s.entries[kE18]});
            return;
        }
    }
    LeftStart();
}

ClassCountReporter::ClassCountReporter(SolutionWriter& writer, ProgressLine* progress, const CliEnvironment& env,
                                       const RunStart& from)
    : RunReporter(writer, progress, env, from), census_(writer.Identity().census)
{
}

void ClassCountReporter::ReportSolution(const Solution& s)
{
    writer_.CountClass(StandardFormEntries(s.entries));
    LeftStart();
}

void ClassCountReporter::PrepareUnit(UnitSolutions& part) const
{
    CountClassesOf(part, writer_, census_, PreparedAs<CountedClasses>(part));
}

void ClassCountReporter::ReportCubes(const UnitSolutions& part, std::int64_t& solutions, std::int32_t /*bestBound*/)
{
    const auto* counted = dynamic_cast<const CountedClasses*>(part.prepared.get());
    CountedClasses here;
    if (counted == nullptr) {
        CountClassesOf(part, writer_, census_, here);
        counted = &here;
    }
    writer_.CountClasses(static_cast<std::int64_t>(part.cubes.size()), counted->hashSum);
    for (const std::int32_t bound : counted->largestValues) writer_.AddCensusClasses(bound, 1);
    solutions += static_cast<std::int64_t>(part.cubes.size());
    if (!part.cubes.empty()) LeftStart();
}

} // namespace pandicube
