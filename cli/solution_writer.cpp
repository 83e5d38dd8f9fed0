#include "cli/solution_writer.h"

#include "search/run_report.h"

#include <algorithm>
#include <charconv>
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
// one only when `leading` is set.
void AppendRange(std::string& line, const Cells& cells, int first, int last, const char* separator, bool leading)
{
    for (int k = first; k <= last; ++k) {
        if (k > first || leading) line += separator;
        AppendInt(line, cells[static_cast<std::size_t>(k)]);
    }
}

} // namespace

std::string CsvHeader(const SolutionFormat& format)
{
    if (format.countOnly) return format.reduce ? "solutions,bestBound" : "solutions";
    std::string header = "solution";
    const char prefix = format.cube ? 'c' : 'e';
    const int count = format.cube ? kCellCount : kEntryCount;
    for (int k = 1; k <= count; ++k) {
        header += ',';
        header += prefix;
        AppendInt(header, k);
    }
    if (format.reduce) header += ",bestBound";
    return header;
}

SolutionWriter::SolutionWriter(std::ostream& out, SolutionFormat format) : out_(out), format_(format) {}

void SolutionWriter::AppendBestBound(std::string& line, std::int32_t bestBound) const
{
    if (!format_.reduce) return;
    line += format_.format == OutputFormat::Json ? ", \"bestBound\": " : ",";
    AppendInt(line, bestBound);
}

void SolutionWriter::WriteHeader()
{
    if (format_.format == OutputFormat::Csv && !format_.countOnly) out_ << CsvHeader(format_) << '\n';
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

void SolutionWriter::WriteSolution(std::int32_t number, const Cells& cells, std::int32_t bestBound)
{
    if (format_.countOnly) return;
    std::string line;
    line.reserve(format_.cube ? 2000 : 800);
    switch (format_.format) {
    case OutputFormat::Text:
        line += "solution ";
        AppendInt(line, number);
        line += ":";
        if (!format_.cube) AppendRange(line, cells, 1, kEntryCount, " ", true);
        if (format_.reduce) {
            line += " | best upper bound: ";
            AppendInt(line, bestBound);
        }
        line += '\n';
        if (format_.cube) WriteTextCube(line, cells);
        break;
    case OutputFormat::Json:
        line += "{\"solution\": ";
        AppendInt(line, number);
        line += ", \"entries\": [";
        AppendRange(line, cells, 1, kEntryCount, ",", false);
        line += "]";
        if (format_.cube) {
            line += ", \"cells\": [";
            AppendRange(line, cells, 1, kCellCount, ",", false);
            line += "]";
        }
        AppendBestBound(line, bestBound);
        line += "}\n";
        break;
    case OutputFormat::Csv:
        AppendInt(line, number);
        AppendRange(line, cells, 1, format_.cube ? kCellCount : kEntryCount, ",", true);
        AppendBestBound(line, bestBound);
        line += '\n';
        break;
    }
    out_ << line;
}

void SolutionWriter::WriteSummary(std::int32_t solutionCount, std::int32_t bestBound)
{
    std::string line;
    switch (format_.format) {
    case OutputFormat::Text: line = ClosingMessage(solutionCount) + '\n'; break;
    case OutputFormat::Json:
        line = "{\"solutions\": ";
        AppendInt(line, solutionCount);
        AppendBestBound(line, bestBound);
        line += "}\n";
        break;
    case OutputFormat::Csv:
        // A CSV file has rows of solutions only; the count stands alone.
        if (!format_.countOnly) break;
        line = CsvHeader(format_) + '\n';
        AppendInt(line, solutionCount);
        AppendBestBound(line, bestBound);
        line += '\n';
        break;
    }
    out_ << line;
    out_.flush();
}

} // namespace pandicube
