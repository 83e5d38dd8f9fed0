#include "cli/formats/solution_writer.h"

#include "cli/formats/all_formats.h"
#include "search/cube/cube_symmetry.h"
#include "search/solution_hash.h"

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
    : out_(out), identity_(std::move(identity)), format_(WriterFor(identity_)),
      kind_(ChecksumKindOf(identity_.version)), countsHashOpeners_(CountsHashOpeners(identity_.version))
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

void SolutionWriter::CountMore(std::int64_t more)
{
    if (solutions_ > std::numeric_limits<std::int64_t>::max() - more)
        throw WriteFailure("the count of solutions leaves the 64-bit range");
    solutions_ += more;
}

void SolutionWriter::AppendBody(std::string& line, const Cells& cells, std::int32_t bestBound) const
{
    format_->AppendBody(line, cells, false,
                        identity_.setup.reduceBound ? std::optional<std::int32_t>(bestBound) : std::nullopt);
}

void SolutionWriter::AppendSolutionBody(std::string& text, const Entries& entries, std::int32_t bestBound) const
{
    AppendBody(text, CellsFromEntries(entries), bestBound);
}

void SolutionWriter::WriteLine(std::int64_t number, const Cells& cells, std::int32_t bestBound)
{
    if (identity_.setup.reduceBound) bestBound_ = bestBound;
    if (identity_.countOnly) return;
    std::string line;
    line.reserve(identity_.cube ? 2000 : 800);
    format_->AppendHead(line, {{"solution", number}});
    AppendBody(line, cells, bestBound);
    Put(line, false);
}

void SolutionWriter::WriteSolution(std::int64_t number, const Cells& cells, std::int32_t bestBound,
                                   std::optional<std::uint64_t> hash)
{
    checksum_ += HashOf(EntriesFromCells(cells), hash);
    CountOne();
    WriteLine(number, cells, bestBound);
}

void SolutionWriter::WriteSolution(std::int64_t number, const Entries& entries, std::int32_t bestBound,
                                   std::uint64_t hash)
{
    checksum_ += HashOf(entries, hash);
    CountOne();
    if (identity_.countOnly) {
        if (identity_.setup.reduceBound) bestBound_ = bestBound;
        return;
    }
    WriteLine(number, CellsFromEntries(entries), bestBound);
}

void SolutionWriter::TakePart(const UnitSolutions& part, std::int32_t bestBound)
{
    if (kind_ == ChecksumKind::Xxh3) {
        checksum_ += part.hashSum;
    } else {
        for (const Entries& cube : part.cubes) checksum_ += SolutionHashOf(kind_, cube);
    }
    if (identity_.setup.reduceBound && !part.cubes.empty()) bestBound_ = bestBound;
}

void SolutionWriter::CountSolutions(const UnitSolutions& part, std::int32_t bestBound)
{
    TakePart(part, bestBound);
    CountMore(static_cast<std::int64_t>(part.cubes.size()));
}

void SolutionWriter::WriteSolutionBodies(const UnitSolutions& part, std::string_view text,
                                         std::span<const std::size_t> ends, std::int32_t bestBound)
{
    TakePart(part, bestBound);
    // The numbers are known only here, in the order of the search: each
    // solution's head goes before the rest of its record, made beforehand.
    std::string& lines = unitText_;
    lines.clear();
    std::size_t from = 0;
    for (const std::size_t end : ends) {
        CountOne();
        format_->AppendHead(lines, {{"solution", solutions_}});
        lines.append(text.substr(from, end - from));
        from = end;
    }
    if (!lines.empty()) Put(lines, false);
}

void SolutionWriter::WriteClass(const CubeClass& c)
{
    std::string body;
    if (!identity_.countOnly) AppendClassBody(body, c.standardForm);
    AddClassRecord(c.number, c.firstSolution, c.sizeInRun, HashOfClass(EntriesFromCells(c.standardForm)), body);
    WriteClassRecords();
}

void SolutionWriter::AppendClassBody(std::string& text, const Cells& standardForm) const
{
    format_->AppendBody(text, standardForm, true, std::nullopt);
}

void SolutionWriter::AddClassRecord(std::int64_t number, std::int64_t firstSolution, int sizeInRun, std::uint64_t hash,
                                    std::string_view body)
{
    checksum_ += hash;
    CountOne();
    if (identity_.countOnly) return;
    format_->AppendHead(unitText_, {{"class", number}, {"solution", firstSolution}, {"size", sizeInRun}});
    unitText_.append(body);
}

void SolutionWriter::WriteClassRecords()
{
    if (!unitText_.empty()) Put(unitText_, false);
    unitText_.clear();
}

std::uint64_t SolutionWriter::HashOfCountedClass(const Entries& opener) const
{
    return countsHashOpeners_ ? OpenerHash(opener) : HashOfClass(StandardFormEntries(opener));
}

void SolutionWriter::CountClass(const Entries& opener)
{
    checksum_ += HashOfCountedClass(opener);
    CountOne();
    // Every image has the opener's values.
    if (identity_.census) census_.Add(LargestValue(opener));
}

void SolutionWriter::CountClasses(std::int64_t classes, std::uint64_t hashSum)
{
    checksum_ += hashSum;
    CountMore(classes);
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
