#include "cli/formats/solution_writer.h"

#include "cli/formats/all_formats.h"
#include "search/cube/cube_symmetry.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <ostream>

namespace pandicube {

void CheckWritten(std::ostream& out)
{
    if (out.good()) return;
    const int error = errno;
    throw WriteFailure(error != 0 ? std::strerror(error) : "the output stream failed");
}

SolutionWriter::SolutionWriter(std::ostream& out, RunIdentity identity)
    : out_(out), identity_(std::move(identity)), format_(WriterFor(identity_)), kind_(ChecksumKindOf(identity_.version))
{
}

void SolutionWriter::Put(std::string_view text, bool flush)
{
    errno = 0;
    out_ << text;
    if (flush) out_.flush();
    CheckWritten(out_);
}

void SolutionWriter::WriteHead()
{
    Put(format_->Head(), true);
}

void SolutionWriter::CountOne()
{
    // Only an edited record can bring a count this far: never wrap it.
    if (solutions_ == std::numeric_limits<std::int64_t>::max())
        throw WriteFailure("the count of solutions leaves the 64-bit range");
    ++solutions_;
}

std::uint64_t SolutionWriter::HashOf(const Entries& entries, std::optional<std::uint64_t> found) const
{
    return found && kind_ == ChecksumKind::Xxh3 ? *found : SolutionHashOf(kind_, entries);
}

void SolutionWriter::AppendSolutionBody(std::string& line, const Cells& cells, std::int32_t bestBound) const
{
    format_->AppendBody(line, cells, false,
                        identity_.setup.reduceBound ? std::optional<std::int32_t>(bestBound) : std::nullopt);
}

void SolutionWriter::WriteSolution(std::int64_t number, const Cells& cells, std::int32_t bestBound,
                                   std::optional<std::uint64_t> hash)
{
    checksum_ += HashOf(EntriesFromCells(cells), hash);
    CountOne();
    if (identity_.setup.reduceBound) bestBound_ = bestBound;
    if (identity_.countOnly) return;
    std::string line;
    line.reserve(identity_.cube ? 2000 : 800);
    format_->AppendHead(line, {{"solution", number}});
    AppendSolutionBody(line, cells, bestBound);
    Put(line, false);
}

void SolutionWriter::PrepareUnit(UnitSolutions& unit, std::int32_t bestBound) const
{
    if ((identity_.countOnly && identity_.classes) || identity_.census) {
        // The cubes open their classes: each counts with its class's hash
        // (and in a census at its largest value, which WriteUnit adds).
        unit.hashSum = 0;
        if (identity_.census) unit.largestValues.resize(unit.cubes.size());
        for (std::size_t i = 0; i < unit.cubes.size(); ++i) {
            const Entries form = StandardFormEntries(unit.cubes[i]);
            unit.hashes[i] = SolutionHashOf(kind_, form);
            unit.hashSum += unit.hashes[i];
            if (identity_.census) unit.largestValues[i] = LargestValue(form);
        }
        return;
    }
    if (identity_.countOnly || identity_.classes) return;
    unit.text.reserve(unit.cubes.size() * (identity_.cube ? 1000 : 500));
    for (const Entries& cube : unit.cubes) {
        AppendSolutionBody(unit.text, CellsFromEntries(cube), bestBound);
        unit.textEnds.push_back(unit.text.size());
    }
}

void SolutionWriter::WriteUnit(const UnitSolutions& unit, std::int32_t bestBound)
{
    if (kind_ == ChecksumKind::Xxh3 || identity_.CountsClasses()) {
        checksum_ += unit.hashSum;
    } else {
        for (const Entries& cube : unit.cubes) checksum_ += SolutionHashOf(kind_, cube);
    }
    if (identity_.setup.reduceBound && !unit.cubes.empty()) bestBound_ = bestBound;
    if (identity_.countOnly || identity_.census) {
        if (identity_.census) {
            const bool prepared = unit.largestValues.size() == unit.cubes.size();
            for (std::size_t i = 0; i < unit.cubes.size(); ++i)
                census_.Add(prepared ? unit.largestValues[i] : LargestValue(unit.cubes[i]));
        }
        const auto size = static_cast<std::int64_t>(unit.cubes.size());
        if (solutions_ > std::numeric_limits<std::int64_t>::max() - size)
            throw WriteFailure("the count of solutions leaves the 64-bit range");
        solutions_ += size;
        return;
    }
    // The numbers are known only here, in the order of the search: each
    // solution's head goes before the rest of its record, made beforehand.
    const bool prepared = unit.textEnds.size() == unit.cubes.size();
    std::string& text = unitText_;
    text.clear();
    std::size_t from = 0;
    for (std::size_t i = 0; i < unit.cubes.size(); ++i) {
        CountOne();
        format_->AppendHead(text, {{"solution", solutions_}});
        if (prepared) {
            text.append(unit.text, from, unit.textEnds[i] - from);
            from = unit.textEnds[i];
        } else {
            AppendSolutionBody(text, CellsFromEntries(unit.cubes[i]), bestBound);
        }
    }
    if (!text.empty()) Put(text, false);
}

void SolutionWriter::WriteClass(const CubeClass& c)
{
    const Cells& cells = c.standardForm;
    checksum_ += SolutionHashOf(kind_, EntriesFromCells(cells));
    CountOne();
    if (identity_.countOnly) return;
    std::string line;
    line.reserve(identity_.cube ? 2000 : 1000);
    format_->AppendHead(line, {{"class", c.number}, {"solution", c.firstSolution}, {"size", c.sizeInRun}});
    format_->AppendBody(line, cells, true, std::nullopt);
    Put(line, false);
}

void SolutionWriter::CountCensusClass(const Cells& standardForm)
{
    const Entries e = EntriesFromCells(standardForm);
    checksum_ += SolutionHashOf(kind_, e);
    CountOne();
    census_.Add(LargestValue(e));
}

void SolutionWriter::ContinueAfter(std::int64_t solutions, std::uint64_t checksum,
                                   std::optional<std::int32_t> bestBound)
{
    solutions_ = solutions;
    checksum_ = checksum;
    bestBound_ = identity_.setup.reduceBound ? bestBound : std::nullopt;
}

CompletionRecord SolutionWriter::Record() const
{
    CompletionRecord record;
    record.solutions = solutions_;
    record.bestBound = bestBound_;
    record.checksum = checksum_;
    record.classes = identity_.CountsClasses();
    record.checksumKind = kind_;
    return record;
}

void SolutionWriter::WriteCompletion()
{
    std::string text;
    for (const CensusRow& row : census_.Rows()) text += CensusRowLine(row, identity_.format) + '\n';
    Put(text + format_->End(Record()), true);
}

void SolutionWriter::WriteInterruption(const std::string& signal, std::optional<OuterUnit> next)
{
    CompletionRecord record = Record();
    record.complete = false;
    record.signal = signal;
    record.next = next;
    Put(format_->End(record), true);
}

} // namespace pandicube
