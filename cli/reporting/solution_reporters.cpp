#include "cli/reporting/solution_reporters.h"

#include <string>
#include <vector>

namespace pandicube {

namespace {

// A part's records but for their heads, made on the thread that searched it.
struct SolutionBodies : PreparedPart {
    std::string text;
    std::vector<std::size_t> ends;
};

} // namespace

ListingReporter::ListingReporter(SolutionWriter& writer, ProgressLine* progress, const CliEnvironment& env,
                                 const RunStart& from, std::int32_t bestBound)
    : RunReporter(writer, progress, env, from), after_(from.after), bestBound_(bestBound)
{
}

void ListingReporter::ReportSolution(const Solution& s)
{
    if (after_ && !(*after_ < OrderKeyOf(s.entries))) return;
    writer_.WriteSolution(writer_.Solutions() + 1, s.entries, s.bestBound, s.hash);
    LeftStart();
}

void ListingReporter::PrepareUnit(UnitSolutions& part) const
{
    SolutionBodies& bodies = PreparedAs<SolutionBodies>(part);
    bodies.text.clear();
    bodies.ends.clear();
    bodies.text.reserve(part.cubes.size() * (writer_.Identity().cube ? 1000 : 500));
    for (const Entries& cube : part.cubes) {
        writer_.AppendSolutionBody(bodies.text, cube, bestBound_);
        bodies.ends.push_back(bodies.text.size());
    }
}

void ListingReporter::ReportCubes(const UnitSolutions& part, std::int64_t& solutions, std::int32_t bestBound)
{
    const auto* bodies = dynamic_cast<const SolutionBodies*>(part.prepared.get());
    if (after_ || bestBound != bestBound_ || bodies == nullptr || bodies->ends.size() != part.cubes.size()) {
        // The solutions of a resumed unit up to `after` are written already;
        // the cubes after the first one past it lie after them in the order.
        SearchReporter::ReportCubes(part, solutions, bestBound);
        if (after_ && !part.cubes.empty() && *after_ < OrderKeyOf(part.cubes.back())) after_.reset();
        return;
    }
    writer_.WriteSolutionBodies(part, bodies->text, bodies->ends, bestBound);
    solutions += static_cast<std::int64_t>(part.cubes.size());
    if (!part.cubes.empty()) LeftStart();
}

CountReporter::CountReporter(SolutionWriter& writer, ProgressLine* progress, const CliEnvironment& env,
                             const RunStart& from, std::int32_t bestBound)
    : RunReporter(writer, progress, env, from), bestBound_(bestBound)
{
}

void CountReporter::ReportSolution(const Solution& s)
{
    writer_.WriteSolution(writer_.Solutions() + 1, s.entries, s.bestBound, s.hash);
    LeftStart();
}

void CountReporter::ReportCubes(const UnitSolutions& part, std::int64_t& solutions, std::int32_t bestBound)
{
    if (bestBound != bestBound_) {
        SearchReporter::ReportCubes(part, solutions, bestBound);
        return;
    }
    writer_.CountSolutions(part, bestBound);
    solutions += static_cast<std::int64_t>(part.cubes.size());
    if (!part.cubes.empty()) LeftStart();
}

} // namespace pandicube
