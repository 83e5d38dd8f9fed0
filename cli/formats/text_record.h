#pragma once

#include "cli/formats/cube_reader.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pandicube {

inline constexpr std::string_view kTextTerminated = "computation terminated";

// Where the parsers of the output formats hand what they find; the reader
// counts and checks it before passing it on.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual void Cube(const CubeRecord& cube) = 0;
    virtual void Closing(const ClosingRecord& closing) = 0;
    virtual void ProblemAt(std::size_t line, const std::string& message) = 0;
    virtual void CutShortAt(std::size_t line, const std::string& message) = 0;
};

// The text output, line by line: "solution N: e1 ... e62" (with
// " | best upper bound: B" from a run that reduces the bound), or
// "solution N:" and the five planes of the whole cube, each "plane P:" and
// five rows of five; then "computation terminated" and the count sentence.
// A --classes output has class records instead of solutions.
class TextRecordParser {
public:
    explicit TextRecordParser(RecordSink& sink) : sink_(sink) {}

    // One line, its number and the offset of its first byte.
    void Line(std::string_view line, std::size_t number, std::uint64_t offset);
    // At the end of the input: reports a cube or a closing report left open.
    void Finish();

private:
    void SolutionLine(std::string_view rest);
    // "class N: solution S, size Z:" and 125 cells (or the five planes after it).
    void ClassLine(std::string_view rest);
    bool CubeLine(std::string_view line);
    void BreakCube();
    void Problem(const std::string& message) { sink_.ProblemAt(lineNumber_, message); }

    struct PendingCube {
        CubeRecord cube;
        int plane = 0;         // the plane being read, 1 to 5 (0 before the first)
        int row = 0;           // rows of it read so far
        std::size_t width = 0; // of every value in its rows, right-aligned
        bool widest = false;   // a value fills the width
    };

    RecordSink& sink_;
    std::size_t lineNumber_ = 0;
    std::uint64_t offset_ = 0;
    std::optional<PendingCube> pending_;
    bool skippingCube_ = false;
    std::optional<RecordPlace> closing_; // "computation terminated" waiting for its count
};

// Small helpers of the parsers.
bool StartsWith(std::string_view text, std::string_view prefix);
std::vector<std::string_view> SplitOn(std::string_view text, char separator);
// Splits on runs of blanks; no empty tokens.
std::vector<std::string_view> Tokens(std::string_view text);
// The values of " V1 V2 ... VN", each after exactly one space, as the writer
// writes them; nothing when the spacing differs (doubled, trailing or
// missing spaces, tabs).
std::optional<std::vector<std::string_view>> SpacedValues(std::string_view text);
bool IsBlank(std::string_view text);

} // namespace pandicube
