#include "cli/solution_writer.h"

#include "search/run_report.h"

#include <charconv>
#include <ostream>
#include <string>

namespace pandicube {

namespace {

void AppendInt(std::string& line, std::int32_t v)
{
    char buf[16];
    const auto result = std::to_chars(buf, buf + sizeof buf, v);
    line.append(buf, result.ptr);
}

} // namespace

SolutionWriter::SolutionWriter(std::ostream& out, OutputFormat format, bool reduce)
    : out_(out), format_(format), reduce_(reduce)
{
}

void SolutionWriter::ReportSolution(const SearchState& state)
{
    std::string line;
    line.reserve(800);
    const char* separator = format_ == OutputFormat::Json ? "," : " ";
    if (format_ == OutputFormat::Json) {
        line += "{\"solution\": ";
        AppendInt(line, state.solutionCount);
        line += ", \"entries\": [";
    } else {
        line += "solution ";
        AppendInt(line, state.solutionCount);
        line += ":";
    }
    for (int k = 1; k <= kEntryCount; ++k) {
        if (k > 1 || format_ == OutputFormat::Text) line += separator;
        AppendInt(line, state.e[static_cast<std::size_t>(k)]);
    }
    if (format_ == OutputFormat::Json) {
        line += "]";
        if (reduce_) {
            line += ", \"bestBound\": ";
            AppendInt(line, state.bestBound);
        }
        line += "}";
    } else if (reduce_) {
        line += " | best upper bound: ";
        AppendInt(line, state.bestBound);
    }
    line += '\n';
    out_ << line;
}

void SolutionWriter::WriteSummary(const SearchState& state)
{
    if (format_ == OutputFormat::Json) {
        std::string line = "{\"solutions\": ";
        AppendInt(line, state.solutionCount);
        if (reduce_) {
            line += ", \"bestBound\": ";
            AppendInt(line, state.bestBound);
        }
        line += "}\n";
        out_ << line;
    } else {
        out_ << ClosingMessage(state.solutionCount) << '\n';
    }
    out_.flush();
}

} // namespace pandicube
