#include "cli/formats/output_judge.h"

#include "search/cube/cube_symmetry.h"

#include <algorithm>

namespace pandicube {

namespace {

std::string Num(std::int64_t v)
{
    return std::to_string(v);
}

bool Closed(const OutputPart& part)
{
    return part.completion.has_value() || (!part.identity && part.closingCount.has_value());
}

// Why the run cannot list a solution with these entries (empty when it
// can): of a cube and its complement it lists the one whose e14 lies below
// 63, and it tries only the values that pass the filters of its loops.
std::string NotListed(const Entries& e)
{
    const std::int32_t e14 = e[kE14];
    if (e14 >= kCentreValue)
        return "its e14 " + Num(e14) + " is not below 63 (the run lists the complement of such a cube)";
    if (!E14PassesFilters(e14)) return "its e14 " + Num(e14) + " fails the filter of loop 1 (a multiple of 3)";
    if (!E18PassesFilters(e14, e[kE18]))
        return "its e14 " + Num(e14) + " and e18 " + Num(e[kE18]) +
               " fail the filter of loop 2 (e14 + e18 a multiple of 3, e14 - e18 a multiple of 9)";
    if (!E17PassesFilter(e[kE10], e[kE17]))
        return "its e10 " + Num(e[kE10]) + " and e17 " + Num(e[kE17]) +
               " fail the filter of loop 4 (e10 - e17 a multiple of 3)";
    return {};
}

// Why a solution, or a class whose first member in run order is `first`,
// does not belong to the slice (empty when it does): its outer unit is dealt
// to the slice by the same arithmetic that made the slices.
std::string OutsideSlice(const OuterUnits& run, const Slice& slice, const Entries& first)
{
    const OuterUnit unit{first[kE14], first[kE18]};
    const std::string named = "e14 " + Num(unit.e14) + ", e18 " + Num(unit.e18);
    if (!run.Contains(unit)) return "has the outer unit " + named + ", which is not one of its run's";
    const unsigned k = SliceOfUnit(run.CountBefore(unit), slice.count);
    if (k == slice.index) return {};
    return "lies in slice " + Num(k) + " of " + Num(slice.count) + ", not " + Num(slice.index) +
           " (its outer unit is " + named + ")";
}

} // namespace

std::string CensusRowFault(const CensusRow& row, const CensusRow* previous, std::int32_t runBound)
{
    const std::string at = "the row of bound " + Num(row.bound);
    if (previous && row.bound <= previous->bound)
        return at + " follows that of bound " + Num(previous->bound) + ": the bounds do not ascend";
    if (row.bound > runBound) return at + " lies above the run's bound " + Num(runBound);
    if (row.bound < kLeastLargestValue)
        return at + " lies below " + Num(kLeastLargestValue) + ", the least largest value of a cube";
    if (row.classes < 1) return at + " counts no class";
    std::int64_t cubes = 0;
    if (__builtin_mul_overflow(row.classes, kCubesPerClass, &cubes) || cubes != row.cubes)
        return at + " counts " + Num(row.cubes) + " cubes for " + Num(row.classes) + " classes, not " +
               Num(kCubesPerClass) + " per class";
    std::int64_t classesUpTo = 0;
    std::int64_t cubesUpTo = 0;
    const bool overflow = __builtin_add_overflow(previous ? previous->classesUpTo : 0, row.classes, &classesUpTo) ||
                          __builtin_add_overflow(previous ? previous->cubesUpTo : 0, row.cubes, &cubesUpTo);
    if (overflow || row.classesUpTo != classesUpTo)
        return at + " counts " + Num(row.classesUpTo) + " classes up to it, but its rows add up to " + Num(classesUpTo);
    if (row.cubesUpTo != cubesUpTo)
        return at + " counts " + Num(row.cubesUpTo) + " cubes up to it, but its rows add up to " + Num(cubesUpTo);
    return {};
}

std::string CensusCompletionFault(const CompletionRecord& completion, const CensusRow* last)
{
    if (!completion.classes) return "the completion record of a --census output counts no classes";
    if (completion.bestBound) return "the completion record of a --census output carries a best upper bound";
    if (!completion.complete) return last != nullptr ? "an interrupted run's record follows census rows" : "";
    const std::int64_t total = last != nullptr ? last->classesUpTo : 0;
    if (completion.solutions != total)
        return "the completion record counts " + Num(completion.solutions) + " classes, but the rows count " +
               Num(total);
    return {};
}

std::int64_t OutputPart::Count() const
{
    if (identity && (identity->countOnly || identity->census))
        return completion ? completion->solutions : closingCount.value_or(0);
    return solutions;
}

OutputJudge::OutputJudge(Report report, CubeHandler onCube) : report_(std::move(report)), onCube_(std::move(onCube)) {}

void OutputJudge::Problem(std::size_t line, const std::string& message)
{
    ++problems_;
    if (!parts_.empty()) ++parts_.back().problems;
    report_(line, message);
}

std::string OutputJudge::OutsideSliceOf(const CubeRecord& cube, const Entries& e) const
{
    if (!runUnits_) return {};
    const Slice& slice = *parts_.back().identity->slice;
    if (!cube.classOf) return OutsideSlice(*runUnits_, slice, e);
    const std::vector<Cells> members = ClassMembersInRun(cube.cells);
    if (members.empty()) return "has no member that its run lists";
    return OutsideSlice(*runUnits_, slice, EntriesFromCells(members.front()));
}

OutputPart& OutputJudge::Current(std::size_t line, std::uint64_t offset)
{
    if (parts_.empty() || (Closed(parts_.back()) && !parts_.back().identity)) {
        OutputPart part;
        part.line = line;
        part.offset = offset;
        parts_.push_back(part);
        lastKey_.reset();
        runUnits_.reset();
    }
    return parts_.back();
}

void OutputJudge::OnIdentity(const IdentityRecord& record)
{
    OutputPart part;
    part.line = record.line;
    part.offset = record.offset;
    part.identity = record.identity;
    part.headEnd = record.end;
    parts_.push_back(part);
    lastKey_.reset();
    runUnits_.reset();
    if (record.identity.slice) runUnits_ = RunUnits(WholeRun(record.identity));
}

void OutputJudge::OnHeader(std::uint64_t end)
{
    if (!parts_.empty() && parts_.back().solutions == 0) parts_.back().headEnd = end;
}

namespace {

// Why a record is not of the kind its output's identity names (empty when
// it is).
std::string KindFault(const RunIdentity& id, const CubeRecord& cube)
{
    if (id.countOnly || id.census)
        return std::string(" stands in the output of a ") + (id.census ? "--census" : "--count-only") + " run";
    if (cube.classOf.has_value() != id.classes)
        return id.classes ? " is not a class record in an output of --classes"
                          : " is a class record in an output without --classes";
    if (!id.classes && cube.givenAsCells != id.cube)
        return id.cube ? " is given as entries in an output of whole cubes"
                       : " is given as a whole cube in an output of entries";
    if (cube.bestBound.has_value() != id.setup.reduceBound)
        return id.setup.reduceBound ? " carries no best upper bound in an output of --reduce"
                                    : " carries a best upper bound in an output without --reduce";
    return {};
}

} // namespace

std::string OutputJudge::PlaceFault(const OutputPart& part, const CubeRecord& cube, const SolutionOrderKey& key) const
{
    if (cube.number != part.solutions + 1) return " stands where solution " + Num(part.solutions + 1) + " belongs";
    if (cube.classOf && StandardForm(cube.cells) != cube.cells) return " is not given in its standard form";
    if (cube.classOf && cube.classOf->size != ClassSizeInRun(cube.cells))
        return " has the size " + Num(cube.classOf->size) + ", not " + Num(ClassSizeInRun(cube.cells));
    // Classes come in the order of their first solutions.
    if (cube.classOf && part.last && part.last->classOf && part.last->classOf->solution >= cube.classOf->solution)
        return " was first met at solution " + Num(cube.classOf->solution) + ", not after the class before it";
    if (!cube.classOf && lastKey_ && !(*lastKey_ < key))
        return " is out of the order of the search (after solution " + Num(cube.number - 1) + ")";
    if (cube.bestBound) {
        const std::int32_t largest = LargestValue(cube.cells);
        if (*cube.bestBound != largest)
            return " carries the best upper bound " + Num(*cube.bestBound) + ", but its largest value is " +
                   Num(largest);
        if (part.last && part.last->bestBound && *cube.bestBound >= *part.last->bestBound)
            return " carries the best upper bound " + Num(*cube.bestBound) + ", not below the " +
                   Num(*part.last->bestBound) + " before it";
    }
    return {};
}

void OutputJudge::OnCube(const CubeRecord& cube)
{
    OutputPart& part = Current(cube.line, cube.offset);
    const std::string what = (cube.classOf ? "class " : "solution ") + Num(cube.number);
    if (Closed(part)) return Problem(cube.line, what + " follows the completion record of its output");
    if (part.identity) {
        if (const std::string fault = KindFault(*part.identity, cube); !fault.empty())
            return Problem(cube.line, what + fault);
    }
    const Entries e = EntriesFromCells(cube.cells);
    const SolutionOrderKey key = OrderKeyOf(e);
    // Outputs of earlier versions were numbered and ordered alike, but may be
    // pieced together by hand: their cubes are checked one by one.
    if (part.identity) {
        if (const std::string fault = PlaceFault(part, cube, key); !fault.empty())
            return Problem(cube.line, what + fault);
    }
    // A cube that its run does not list is reported, but still counted as
    // a record in its place, so that the records after it are judged alike.
    if (part.identity) {
        if (const std::string why = cube.classOf ? std::string() : NotListed(e); !why.empty()) {
            Problem(cube.line, what + " is not one that its run lists: " + why);
        } else if (const std::string outside = OutsideSliceOf(cube, e); !outside.empty()) {
            Problem(cube.line, what + ' ' + outside);
        }
    }
    lastKey_ = key;
    ++part.solutions;
    part.checksum += SolutionHashOf(part.identity ? ChecksumKindOf(part.identity->version) : ChecksumKind::Xxh3, e);
    if (!part.first) part.first = cube;
    part.last = cube;
    if (onCube_) onCube_(cube, part);
}

void OutputJudge::OnClosing(const ClosingRecord& closing)
{
    OutputPart& part = Current(closing.line, closing.offset);
    if (Closed(part) || part.closingCount) return Problem(closing.line, "a second closing report in one output");
    part.closingCount = closing.count;
    const bool countOnly = part.identity ? part.identity->countOnly : part.solutions == 0;
    if (!countOnly && closing.count != part.solutions) {
        Problem(closing.line, "the closing report counts " + Num(closing.count) + " solutions, but " +
                                  Num(part.solutions) + " come before it");
    }
}

void OutputJudge::OnCompletion(const CompletionRecord& completion)
{
    if (parts_.empty() || !parts_.back().identity || Closed(parts_.back()))
        return Problem(completion.line, "a completion record without the identity line of its output");
    OutputPart& part = parts_.back();
    const RunIdentity& id = *part.identity;
    if (id.census) {
        const std::string fault =
            part.closingCount ? "a --census output holds no closing report"
                              : CensusCompletionFault(completion, part.census.empty() ? nullptr : &part.census.back());
        if (!fault.empty()) Problem(completion.line, fault);
        part.completion = completion;
        return;
    }
    const std::int64_t solutions = id.countOnly ? part.closingCount.value_or(completion.solutions) : part.solutions;
    const bool wantsClosing = completion.complete && id.format == OutputFormat::Text && !id.classes;
    const bool wantsCountRow = completion.complete && id.format == OutputFormat::Csv && id.countOnly;
    if ((wantsClosing || wantsCountRow) != part.closingCount.has_value()) {
        Problem(completion.line, completion.complete ? "the completion record follows no closing report"
                                                     : "an interrupted run's record follows a closing report");
    } else if (completion.classes != id.classes) {
        Problem(completion.line, id.classes ? "the completion record of a --classes output counts no classes"
                                            : "the completion record counts classes in an output without --classes");
    } else if (completion.solutions != solutions) {
        Problem(completion.line, "the completion record counts " + Num(completion.solutions) + " solutions, but " +
                                     Num(solutions) + " come before it");
    } else if (completion.checksumKind != ChecksumKindOf(id.version)) {
        Problem(completion.line, std::string("the completion record names ") +
                                     (completion.checksumKind == ChecksumKind::Xxh3 ? "an XXH3" : "an FNV-1a") +
                                     " checksum, but the outputs of version " + id.version + " carry " +
                                     (completion.checksumKind == ChecksumKind::Xxh3 ? "FNV-1a" : "XXH3") + " sums");
    } else if (!id.countOnly && completion.checksum != part.checksum) {
        Problem(completion.line, "the checksum " + ChecksumText(completion.checksum) +
                                     " does not match the solutions before it (" + ChecksumText(part.checksum) + ")");
    } else if (!id.countOnly && completion.bestBound != (part.last ? part.last->bestBound : std::nullopt)) {
        Problem(completion.line, "the completion record's best upper bound is not the last solution's");
    } else if (id.countOnly && completion.bestBound && !id.setup.reduceBound) {
        Problem(completion.line, "the completion record carries a best upper bound in an output without --reduce");
    } else if (completion.bestBound && *completion.bestBound > id.setup.upperBound) {
        Problem(completion.line, "the best upper bound " + Num(*completion.bestBound) + " lies above the bound " +
                                     Num(id.setup.upperBound));
    }
    part.completion = completion;
}

void OutputJudge::OnCensusRow(const CensusRecord& record)
{
    OutputPart& part = Current(record.line, record.offset);
    if (Closed(part)) return Problem(record.line, "a census row follows the completion record of its output");
    const CensusRow* previous = part.census.empty() ? nullptr : &part.census.back();
    if (const std::string fault = CensusRowFault(record.row, previous, part.identity->setup.upperBound); !fault.empty())
        Problem(record.line, fault);
    part.census.push_back(record.row);
}

void OutputJudge::OnProblem(std::size_t line, const std::string& message)
{
    Problem(line, message);
}

void OutputJudge::OnCutShort(std::size_t line, const std::string& message)
{
    if (parts_.empty() || Closed(parts_.back())) return Problem(line, message);
    parts_.back().cutShort = "line " + std::to_string(line) + ": " + message;
}

} // namespace pandicube
