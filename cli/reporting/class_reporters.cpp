#include "cli/reporting/class_reporters.h"

#include "search/cube/cube_symmetry.h"
#include "search/solution_hash.h"

#include <functional>
#include <vector>

namespace pandicube {

namespace {

// The bytes that numbering the classes of a run may keep: at U = 1000, one
// window of about 50 MB holds the whole run.
constexpr std::size_t kClassNumbersBudget = std::size_t{64} << 20;

// A part's classes as the search thread made them: their sizes, the hashes
// of their standard forms, their records but for the heads and, for a whole
// run's numbering, their members (class i's end at memberEnds[i]).
struct ClassBodies : PreparedPart {
    std::vector<int> sizes;
    std::vector<std::uint64_t> hashes;
    std::string text;
    std::vector<std::size_t> ends;
    std::vector<ClassNumbering::Member> members;
    std::vector<std::size_t> memberEnds;
};

// A part's classes as the search thread counted them: the sum of their
// hashes (HashOfCountedClass) and, in a census, the largest value of each.
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
        counted.hashSum += writer.HashOfCountedClass(cube);
        // Every image has the cube's values.
        if (census) counted.largestValues.push_back(LargestValue(cube));
    }
    counted.hashSum += SumOfOpenerHashes(part.e14, part.e18, part.sightings);
    if (census) {
        for (const CubeSighting& seen : part.sightings) counted.largestValues.push_back(seen.largest);
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
    const Cells cube = CellsFromEntries(s.entries);
    const int size = ClassSizeInRun(cube);
    std::int64_t first = 0;
    ClassNumbering::Members members;
    const std::size_t n = classes_ ? ClassNumbering::MembersOf(s.entries, size, members) : 0;
    if (!Number(s.entries, std::span<const ClassNumbering::Member>(members.data(), n), first)) return;
    writer_.WriteClass(CubeClass{writer_.Solutions() + 1, first, size, StandardForm(cube)});
    LeftStart();
}

bool ClassListingReporter::Number(const Entries& cube, std::span<const ClassNumbering::Member> members,
                                  std::int64_t& firstSolution)
{
    if (!classes_) {
        firstSolution = writer_.Solutions() + 1;
        return true;
    }
    try {
        firstSolution = classes_->FirstSolution(cube, members);
        return true;
    } catch (const ReplayStopped&) {
        // The class is not numbered: the run goes on at its unit.
        StopBefore(OuterUnit{cube[kE14], cube[kE18]});
        return false;
    }
}

void ClassListingReporter::PrepareUnit(UnitSolutions& part) const
{
    ClassBodies& bodies = PreparedAs<ClassBodies>(part);
    bodies.sizes.clear();
    bodies.hashes.clear();
    bodies.text.clear();
    bodies.ends.clear();
    bodies.members.clear();
    bodies.memberEnds.clear();
    for (const Entries& e : part.cubes) {
        const Cells cube = CellsFromEntries(e);
        const Cells form = StandardForm(cube);
        bodies.sizes.push_back(ClassSizeInRun(cube));
        bodies.hashes.push_back(writer_.HashOfClass(EntriesFromCells(form)));
        writer_.AppendClassBody(bodies.text, form);
        bodies.ends.push_back(bodies.text.size());
        // The numbering, on the thread that writes, then only counts them.
        if (classes_) {
            ClassNumbering::Members members;
            const std::size_t n = ClassNumbering::MembersOf(e, bodies.sizes.back(), members);
            bodies.members.insert(bodies.members.end(), members.begin(),
                                  members.begin() + static_cast<std::ptrdiff_t>(n));
        }
        bodies.memberEnds.push_back(bodies.members.size());
    }
}

void ClassListingReporter::ReportCubes(const UnitSolutions& part, std::int64_t& solutions, std::int32_t bestBound)
{
    const auto* bodies = dynamic_cast<const ClassBodies*>(part.prepared.get());
    if (bodies == nullptr || bodies->ends.size() != part.cubes.size()) {
        SearchReporter::ReportCubes(part, solutions, bestBound);
        return;
    }
    std::size_t from = 0;
    std::size_t membersFrom = 0;
    for (std::size_t i = 0; i < part.cubes.size(); ++i) {
        std::int64_t first = 0;
        const std::span<const ClassNumbering::Member> members(bodies->members.data() + membersFrom,
                                                              bodies->memberEnds[i] - membersFrom);
        membersFrom = bodies->memberEnds[i];
        if (!Number(part.cubes[i], members, first)) break;
        const std::string_view body = std::string_view(bodies->text).substr(from, bodies->ends[i] - from);
        writer_.AddClassRecord(writer_.Solutions() + 1, first, bodies->sizes[i], bodies->hashes[i], body);
        from = bodies->ends[i];
        ++solutions;
        LeftStart();
    }
    writer_.WriteClassRecords();
}

ClassCountReporter::ClassCountReporter(SolutionWriter& writer, ProgressLine* progress, const CliEnvironment& env,
                                       const RunStart& from)
    : RunReporter(writer, progress, env, from), census_(writer.Identity().census)
{
}

void ClassCountReporter::ReportSolution(const Solution& s)
{
    writer_.CountClass(s.entries);
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
    writer_.CountClasses(static_cast<std::int64_t>(part.Size()), counted->hashSum);
    for (const std::int32_t bound : counted->largestValues) writer_.AddCensusClasses(bound, 1);
    solutions += static_cast<std::int64_t>(part.Size());
    if (part.Size() != 0) LeftStart();
}

} // namespace pandicube
