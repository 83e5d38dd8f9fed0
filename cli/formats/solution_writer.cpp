#include "cli/formats/solution_writer.h"

#include "search/cube/cube_symmetry.h"
#include "search/run_report.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>
#include <ostream>

namespace pandicube {

namespace {

void AppendInt(std::string& line, std::int64_t v)
{
    char buf[24];
    const auto result = std::to_chars(buf, buf + sizeof buf, v);
    line.append(buf, result.ptr);
}

std::size_t IntWidth(std::int32_t v)
{
    char buf[16];
    return static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, v).ptr - buf);
}

// Appends values first..last of `cells`, each after `separator`, the first
// one only when `leading` is set; made in one buffer and appended at once.
void AppendRange(std::string& line, const Cells& cells, int first, int last, char separator, bool leading)
{
    // A value takes at most 11 characters, its separator one.
    char buf[12 * kCellCount];
    char* at = buf;
    for (int k = first; k <= last; ++k) {
        if (k > first || leading) *at++ = separator;
        at = std::to_chars(at, buf + sizeof buf, cells[static_cast<std::size_t>(k)]).ptr;
    }
    line.append(buf, at);
}

} // namespace

void CheckWritten(std::ostream& out)
{
    if (out.good()) return;
    const int error = errno;
    throw WriteFailure(error != 0 ? std::strerror(error) : "the output stream failed");
}

std::string CsvHeader(bool cells, bool bestBound, bool countOnly)
{
    if (countOnly) return bestBound ? "solutions,bestBound" : "solutions";
    std::string header = "solution";
    const char prefix = cells ? 'c' : 'e';
    const int count = cells ? kCellCount : kEntryCount;
    for (int k = 1; k <= count; ++k) {
        header += ',';
        header += prefix;
        AppendInt(header, k);
    }
    if (bestBound) header += ",bestBound";
    return header;
}

std::string CsvClassHeader()
{
    std::string header = "class,solution,size";
    for (int k = 1; k <= kCellCount; ++k) {
        header += ",c";
        AppendInt(header, k);
    }
    return header;
}

SolutionWriter::SolutionWriter(std::ostream& out, RunIdentity identity)
    : out_(out), identity_(std::move(identity)), kind_(ChecksumKindOf(identity_.version))
{
}

void SolutionWriter::Put(std::string_view text, bool flush)
{
    errno = 0;
    out_ << text;
    if (flush) out_.flush();
    CheckWritten(out_);
}

void SolutionWriter::AppendBestBound(std::string& line, std::int32_t bestBound) const
{
    if (!identity_.reduce) return;
    line += identity_.format == OutputFormat::Json ? ", \"bestBound\": " : ",";
    AppendInt(line, bestBound);
}

void SolutionWriter::WriteHead()
{
    std::string head = identity_.format == OutputFormat::Json ? IdentityJson(identity_) : IdentityComment(identity_);
    head += '\n';
    if (identity_.format == OutputFormat::Csv && !identity_.countOnly)
        head += (identity_.classes ? CsvClassHeader() : CsvHeader(identity_.cube, identity_.reduce, false)) + '\n';
    Put(head, true);
}

void SolutionWriter::WriteTextCube(std::string& line, const Cells& cells) const
{
    std::size_t width = 0;
    for (int k = 1; k <= kCellCount; ++k) width = std::max(width, IntWidth(cells[static_cast<std::size_t>(k)]));
    for (int plane = 1; plane <= 5; ++plane) {
        line += "plane ";
        AppendInt(line, plane);
        line += ":\n";
        for (int row = 1; row <= 5; ++row) {
            for (int column = 1; column <= 5; ++column) {
                const std::int32_t v = cells[static_cast<std::size_t>(25 * (plane - 1) + 5 * (row - 1) + column)];
                if (column > 1) line += ' ';
                line.append(width - IntWidth(v), ' ');
                AppendInt(line, v);
            }
            line += '\n';
        }
    }
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

void SolutionWriter::AppendHead(std::string& line, std::initializer_list<RecordNumber> numbers) const
{
    // "solution N", "class N: solution S, size Z"; {"solution": N, ...; N,S,Z.
    const char* separator = "";
    if (identity_.format == OutputFormat::Json) line += '{';
    for (const RecordNumber& n : numbers) {
        line += separator;
        switch (identity_.format) {
        case OutputFormat::Text:
            line += n.name;
            line += ' ';
            separator = separator[0] == '\0' ? ": " : ", ";
            break;
        case OutputFormat::Json:
            line += '"';
            line += n.name;
            line += "\": ";
            separator = ", ";
            break;
        case OutputFormat::Csv: separator = ","; break;
        }
        AppendInt(line, n.value);
    }
}

void SolutionWriter::AppendBody(std::string& line, const Cells& cells, bool allCells,
                                std::optional<std::int32_t> bestBound) const
{
    const int count = identity_.cube || allCells ? kCellCount : kEntryCount;
    switch (identity_.format) {
    case OutputFormat::Text:
        line += ":";
        if (!identity_.cube) AppendRange(line, cells, 1, count, ' ', true);
        if (bestBound) {
            line += " | best upper bound: ";
            AppendInt(line, *bestBound);
        }
        line += '\n';
        if (identity_.cube) WriteTextCube(line, cells);
        break;
    case OutputFormat::Json:
        line += ", \"entries\": [";
        AppendRange(line, cells, 1, kEntryCount, ',', false);
        line += "]";
        if (count == kCellCount) {
            line += ", \"cells\": [";
            AppendRange(line, cells, 1, kCellCount, ',', false);
            line += "]";
        }
        if (bestBound) AppendBestBound(line, *bestBound);
        line += "}\n";
        break;
    case OutputFormat::Csv:
        AppendRange(line, cells, 1, count, ',', true);
        if (bestBound) AppendBestBound(line, *bestBound);
        line += '\n';
        break;
    }
}

void SolutionWriter::AppendSolutionBody(std::string& line, const Cells& cells, std::int32_t bestBound) const
{
    AppendBody(line, cells, false, identity_.reduce ? std::optional<std::int32_t>(bestBound) : std::nullopt);
}

void SolutionWriter::WriteSolution(std::int64_t number, const Cells& cells, std::int32_t bestBound,
                                   std::optional<std::uint64_t> hash)
{
    checksum_ += HashOf(EntriesFromCells(cells), hash);
    CountOne();
    if (identity_.reduce) bestBound_ = bestBound;
    if (identity_.countOnly) return;
    std::string line;
    line.reserve(identity_.cube ? 2000 : 800);
    AppendHead(line, {{"solution", number}});
    AppendSolutionBody(line, cells, bestBound);
    Put(line, false);
}

void SolutionWriter::PrepareUnit(UnitSolutions& unit, std::int32_t bestBound) const
{
    if (identity_.countOnly && identity_.classes) {
        // The cubes open their classes: each counts with its class's hash.
        unit.hashSum = 0;
        for (std::size_t i = 0; i < unit.cubes.size(); ++i) {
            unit.hashes[i] = SolutionHashOf(kind_, EntriesFromCells(StandardForm(CellsFromEntries(unit.cubes[i]))));
            unit.hashSum += unit.hashes[i];
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
    if (kind_ == ChecksumKind::Xxh3 || identity_.classes) {
        checksum_ += unit.hashSum;
    } else {
        for (const Entries& cube : unit.cubes) checksum_ += SolutionHashOf(kind_, cube);
    }
    if (identity_.reduce && !unit.cubes.empty()) bestBound_ = bestBound;
    if (identity_.countOnly) {
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
        AppendHead(text, {{"solution", solutions_}});
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
    AppendHead(line, {{"class", c.number}, {"solution", c.firstSolution}, {"size", c.sizeInRun}});
    AppendBody(line, cells, true, std::nullopt);
    Put(line, false);
}

void SolutionWriter::ContinueAfter(std::int64_t solutions, std::uint64_t checksum,
                                   std::optional<std::int32_t> bestBound)
{
    solutions_ = solutions;
    checksum_ = checksum;
    bestBound_ = identity_.reduce ? bestBound : std::nullopt;
}

CompletionRecord SolutionWriter::Record() const
{
    CompletionRecord record;
    record.solutions = solutions_;
    record.bestBound = bestBound_;
    record.checksum = checksum_;
    record.classes = identity_.classes;
    record.checksumKind = kind_;
    return record;
}

void SolutionWriter::WriteCompletion()
{
    const std::int64_t count = solutions_;
    std::string text;
    switch (identity_.format) {
    case OutputFormat::Text:
        if (!identity_.classes) text = ClosingMessage(count) + '\n';
        text += CompletionComment(Record()) + '\n';
        break;
    case OutputFormat::Json: text = CompletionJson(Record()) + '\n'; break;
    case OutputFormat::Csv:
        // A CSV table has rows of solutions only; the count of a --count-only
        // run is a table of its own.
        if (identity_.countOnly) {
            text = (identity_.classes ? std::string("classes") : CsvHeader(false, identity_.reduce, true)) + '\n';
            AppendInt(text, count);
            if (identity_.reduce) {
                text += ',';
                if (bestBound_) AppendInt(text, *bestBound_);
            }
            text += '\n';
        }
        text += CompletionComment(Record()) + '\n';
        break;
    }
    Put(text, true);
}

void SolutionWriter::WriteInterruption(const std::string& signal, std::optional<OuterUnit> next)
{
    CompletionRecord record = Record();
    record.complete = false;
    record.signal = signal;
    record.next = next;
    Put((identity_.format == OutputFormat::Json ? CompletionJson(record) : CompletionComment(record)) + '\n', true);
}

} // namespace pandicube
