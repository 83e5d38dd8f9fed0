#pragma once

#include "cli/formats/record_format.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pandicube {

inline constexpr std::string_view kTextTerminated = "computation terminated";

// The text output: the identity comment; "solution N: e1 ... e62" (with
// " | best upper bound: B" from a run that reduces the bound), or with
// --cube "solution N:" and the five planes of the whole cube, each
// "plane P:" and five rows of five, right-aligned to the widest value;
// then "computation terminated", the count sentence and the completion
// comment. A --classes output has "class N: solution S, size Z: c1 ...
// c125" records (or the planes after "class N: solution S, size Z:"), and
// the completion comment alone at its end.
class TextWriter : public RecordWriter {
public:
    using RecordWriter::RecordWriter;

    std::string Head() const override;
    void AppendHead(std::string& line, std::initializer_list<RecordNumber> numbers) const override;
    void AppendBody(std::string& line, const Cells& cells, bool allCells,
                    std::optional<std::int32_t> bestBound) const override;
    std::string Completion(const CompletionRecord& record) const override;
    std::string Interruption(const CompletionRecord& record) const override;
};

class TextParser : public RecordParser {
public:
    using RecordParser::RecordParser;

    // Whether an output in text opens with this line.
    static bool Opens(std::string_view line);
    // Reports a cube or a closing report left open.
    void Finish() override;

private:
    void Line(std::string_view line) override;
    void SolutionLine(std::string_view rest);
    // "class N: solution S, size Z:" and 125 cells (or the five planes after it).
    void ClassLine(std::string_view rest);
    bool CubeLine(std::string_view line);
    void BreakCube();

    struct PendingCube {
        CubeRecord cube;
        int plane = 0;         // the plane being read, 1 to 5 (0 before the first)
        int row = 0;           // rows of it read so far
        std::size_t width = 0; // of every value in its rows, right-aligned
        bool widest = false;   // a value fills the width
    };

    std::optional<PendingCube> pending_;
    bool skippingCube_ = false;
    std::optional<RecordPlace> closing_; // "computation terminated" waiting for its count
};

} // namespace pandicube
