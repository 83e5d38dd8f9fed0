#pragma once

#include "search/cube.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

namespace pandicube {

enum class OutputFormat { Text, Json, Csv };

// How solutions are written: the format, entries or the whole cube, whether
// the run reduces the bound (every solution then carries the best upper
// bound), and whether only the closing report is written.
struct SolutionFormat {
    OutputFormat format = OutputFormat::Text;
    bool cube = false;
    bool reduce = false;
    bool countOnly = false;
};

// Writes the solutions of a run (or of merged runs) to a stream:
//   text: "solution N: e1 ... e62", or with `cube` a "solution N:" line and
//         the five planes; then "computation terminated" and the count sentence;
//   json: one object per line, then {"solutions": N};
//   csv:  a header line and one row per solution (no closing lines; with
//         countOnly a "solutions" header and one row).
class SolutionWriter {
public:
    SolutionWriter(std::ostream& out, SolutionFormat format);

    const SolutionFormat& Format() const { return format_; }

    // Before the first solution: the CSV header.
    void WriteHeader();
    // One solution; `bestBound` is written only when the run reduces the bound.
    void WriteSolution(std::int32_t number, const Cells& cells, std::int32_t bestBound);
    // The closing report after the last solution.
    void WriteSummary(std::int32_t solutionCount, std::int32_t bestBound);

private:
    void WriteTextCube(std::string& line, const Cells& cells) const;
    // ", \"bestBound\": B" in JSON, ",B" in CSV; nothing without reduction.
    void AppendBestBound(std::string& line, std::int32_t bestBound) const;

    std::ostream& out_;
    SolutionFormat format_;
};

// The CSV header for a format: "solution,e1,...,e62" or "solution,c1,...,c125",
// with ",bestBound" when the run reduces the bound.
std::string CsvHeader(const SolutionFormat& format);

} // namespace pandicube
