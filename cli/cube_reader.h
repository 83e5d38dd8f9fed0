#pragma once

#include "cli/solution_writer.h"
#include "search/cube.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

namespace pandicube {

// One cube read back from the tool's output: where it starts, its solution
// number, its 125 cells (given, or built from 62 entries with the complement
// rule) and the best upper bound it carried, if any.
struct CubeRecord {
    std::size_t line = 0;
    std::int32_t number = 0;
    bool givenAsCells = false;
    Cells cells{};
    std::optional<std::int32_t> bestBound;
};

// The closing report of one output: the count and, from a run that reduced
// the bound, the best upper bound.
struct ClosingRecord {
    std::size_t line = 0;
    std::int32_t count = 0;
    std::optional<std::int32_t> bestBound;
};

// Receives what the reader finds, in the order of the input.
class CubeSink {
public:
    virtual ~CubeSink() = default;
    virtual void OnCube(const CubeRecord& cube) = 0;
    virtual void OnClosing(const ClosingRecord& closing) = 0;
    // Input that is not part of any output the tool writes.
    virtual void OnProblem(std::size_t line, const std::string& message) = 0;
};

// What the input turned out to be: its format (from its first non-blank
// line), whether cubes came as 125 cells, whether they carried a best upper
// bound, and whether cubes followed the last closing report.
struct ReadSummary {
    std::optional<OutputFormat> format;
    std::optional<bool> cells;
    bool bestBound = false;
    bool cubesAfterLastClosing = false;
    std::size_t problems = 0;
};

// Reads every output format the tool writes: text (entries on one line, or
// the five planes of the whole cube), JSON Lines and CSV, each with entries or
// cells. Never throws on bad input: every line it cannot take is reported to
// the sink with its number, and a closing report whose count disagrees with
// the cubes before it is reported too. Lines are limited to 64 KiB.
ReadSummary ReadCubes(std::istream& in, CubeSink& sink);

// A whole decimal number: an optional "-" and 1 to 10 digits, in the signed
// 32-bit range.
std::optional<std::int32_t> ParseInt32(std::string_view text);

} // namespace pandicube
