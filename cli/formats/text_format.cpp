#include "cli/formats/text_format.h"

#include "cli/formats/comment_lines.h"
#include "cli/formats/number_text.h"
#include "search/run_report.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace pandicube {

namespace {

constexpr std::string_view kTextTerminated = "computation terminated";
constexpr std::string_view kBestBoundMark = " | best upper bound: ";

std::string Num(std::size_t v)
{
    return std::to_string(v);
}

// A line of a cube's planes, skipped after a broken cube.
bool LooksLikeCubeLine(std::string_view line)
{
    if (StartsWith(line, "plane ")) return true;
    for (std::string_view token : Tokens(line)) {
        if (!ParseInt32(token)) return false;
    }
    return true;
}

std::optional<std::int64_t> ParseCountSentence(std::string_view line)
{
    if (line == "no solution was found.") return 0;
    if (line == "exactly one solution was found.") return 1;
    constexpr std::string_view kTail = " solutions were found.";
    if (line.size() <= kTail.size() || line.substr(line.size() - kTail.size()) != kTail) return std::nullopt;
    const auto n = ParseInt64(line.substr(0, line.size() - kTail.size()));
    if (!n || *n < 2) return std::nullopt;
    return n;
}

// The values of " V1 V2 ... VN", each after exactly one space, as the writer
// writes them; nothing when the spacing differs (doubled, trailing or
// missing spaces, tabs).
std::optional<std::vector<std::string_view>> SpacedValues(std::string_view text)
{
    if (text.empty() || text.front() != ' ') return std::nullopt;
    std::vector<std::string_view> values = SplitOn(text.substr(1), ' ');
    for (std::string_view value : values) {
        if (value.empty() || value.find('\t') != std::string_view::npos) return std::nullopt;
    }
    return values;
}

bool IsBlank(std::string_view text)
{
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

// The five planes of a whole cube, each value right-aligned to the widest.
void AppendPlanes(std::string& line, const Cells& cells)
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

class TextWriter final : public RecordWriter {
public:
    using RecordWriter::RecordWriter;

    std::string Head() const override { return IdentityComment(identity_) + '\n'; }

    void AppendHead(std::string& line, std::initializer_list<RecordNumber> numbers) const override
    {
        // "solution N", "class N: solution S, size Z".
        const char* separator = "";
        for (const RecordNumber& n : numbers) {
            line += separator;
            line += n.name;
            line += ' ';
            AppendInt(line, n.value);
            separator = separator[0] == '\0' ? ": " : ", ";
        }
    }

    void AppendBody(std::string& line, const Cells& cells, bool allCells,
                    std::optional<std::int32_t> bestBound) const override
    {
        line += ":";
        if (!identity_.cube) AppendRange(line, cells, 1, allCells ? kCellCount : kEntryCount, ' ', true);
        if (bestBound) {
            line += kBestBoundMark;
            AppendInt(line, *bestBound);
        }
        line += '\n';
        if (identity_.cube) AppendPlanes(line, cells);
    }

    std::string End(const CompletionRecord& record) const override
    {
        std::string text;
        if (record.complete && !record.classes) text = ClosingMessage(record.solutions) + '\n';
        return text + CompletionComment(record) + '\n';
    }
};

class TextParser final : public RecordParser {
public:
    using RecordParser::RecordParser;

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

} // namespace

bool OpensTextOutput(std::string_view line)
{
    return StartsWith(line, "solution ") || line == kTextTerminated || OpensOutputIn(line, OutputFormat::Text);
}

void TextParser::Line(std::string_view line)
{
    if (StartsWith(line, "#")) {
        Finish();
        ReadCommentLine(line, OutputFormat::Text, Here(), sink_);
        return;
    }
    if (IsBlank(line)) {
        Problem("a blank line, which no output of pandicube-search has");
        return;
    }
    if (pending_) {
        if (CubeLine(line)) return;
        if (!StartsWith(line, "solution ") && !StartsWith(line, "class ") && line != kTextTerminated) return;
    }
    if (skippingCube_) {
        if (LooksLikeCubeLine(line)) return;
        skippingCube_ = false;
    }
    if (closing_) {
        ClosingRecord closing;
        static_cast<RecordPlace&>(closing) = *closing_;
        closing_.reset();
        if (const auto count = ParseCountSentence(line)) {
            closing.count = *count;
            sink_.Closing(closing);
            return;
        }
        sink_.ProblemAt(closing.line, "\"computation terminated\" is not followed by the count sentence");
    }
    if (line == kTextTerminated) {
        closing_ = Here();
        return;
    }
    if (StartsWith(line, "class ")) {
        ClassLine(line.substr(6));
        return;
    }
    if (!StartsWith(line, "solution ")) {
        Problem("not a line of the text output");
        return;
    }
    SolutionLine(line.substr(9));
}

void TextParser::ClassLine(std::string_view rest)
{
    constexpr std::string_view kSolution = ": solution ";
    constexpr std::string_view kSize = ", size ";
    const auto solutionAt = rest.find(kSolution);
    const auto sizeAt = rest.find(kSize);
    const auto colon = sizeAt == std::string_view::npos ? sizeAt : rest.find(':', sizeAt);
    if (solutionAt == std::string_view::npos || sizeAt < solutionAt || colon == std::string_view::npos) {
        Problem("\"class\" is not followed by \"N: solution S, size Z:\"");
        return;
    }
    const auto number = ParseInt64(rest.substr(0, solutionAt));
    const auto solution =
        ParseInt64(rest.substr(solutionAt + kSolution.size(), sizeAt - solutionAt - kSolution.size()));
    const auto size = ParseInt32(rest.substr(sizeAt + kSize.size(), colon - sizeAt - kSize.size()));
    if (!number || !solution || !size || *number < 1 || *solution < 1 || *size < 1) {
        Problem("the class number, its solution number or its size is not a positive whole number");
        return;
    }
    CubeRecord cube;
    cube.line = lineNumber_;
    cube.offset = lineOffset_;
    cube.number = *number;
    cube.givenAsCells = true;
    cube.classOf = CubeRecord::ClassOf{*solution, *size};
    if (colon + 1 == rest.size()) {
        pending_ = PendingCube{cube, 0, 0};
        return;
    }
    const auto spaced = SpacedValues(rest.substr(colon + 1));
    if (!spaced) {
        Problem("the cells of class " + std::to_string(*number) + " are not separated by single spaces");
        return;
    }
    const std::vector<std::string_view>& tokens = *spaced;
    if (tokens.size() != kCellCount) {
        Problem("expected 125 cells after \"class " + std::to_string(*number) + ": ...:\", found " +
                Num(tokens.size()));
        return;
    }
    for (std::size_t k = 1; k <= kCellCount; ++k) {
        const auto v = ParseInt32(tokens[k - 1]);
        if (!v) {
            Problem("cell c" + Num(k) + " is not a whole number in the 32-bit range");
            return;
        }
        cube.cells[k] = *v;
    }
    sink_.Cube(cube);
}

void TextParser::SolutionLine(std::string_view rest)
{
    const auto colon = rest.find(':');
    const auto number = ParseInt64(rest.substr(0, colon));
    if (colon == std::string_view::npos || !number || *number < 1) {
        Problem("\"solution\" is not followed by a solution number and \":\"");
        return;
    }
    rest.remove_prefix(colon + 1);
    CubeRecord cube;
    cube.line = lineNumber_;
    cube.offset = lineOffset_;
    cube.number = *number;
    if (const auto mark = rest.find(kBestBoundMark); mark != std::string_view::npos) {
        cube.bestBound = ParseInt32(rest.substr(mark + kBestBoundMark.size()));
        if (!cube.bestBound) {
            Problem("the best upper bound is not a whole number in the 32-bit range");
            return;
        }
        rest = rest.substr(0, mark);
    }
    if (rest.empty()) {
        cube.givenAsCells = true;
        pending_ = PendingCube{cube, 0, 0};
        return;
    }
    const auto spaced = SpacedValues(rest);
    if (!spaced) {
        Problem("the entries of solution " + std::to_string(*number) + " are not separated by single spaces");
        return;
    }
    const std::vector<std::string_view>& tokens = *spaced;
    if (tokens.size() != kEntryCount) {
        Problem("expected 62 entries after \"solution " + std::to_string(*number) + ":\", found " + Num(tokens.size()));
        return;
    }
    Entries e{};
    for (std::size_t k = 1; k <= kEntryCount; ++k) {
        const auto v = ParseInt32(tokens[k - 1]);
        if (!v) {
            Problem("entry e" + Num(k) + " is not a whole number in the 32-bit range");
            return;
        }
        e[k] = *v;
    }
    if (const std::string problem = FillCells(e, cube.cells); !problem.empty()) return Problem(problem);
    sink_.Cube(cube);
}

// One line inside a whole cube in text; false (after reporting) when the
// line does not continue the cube.
bool TextParser::CubeLine(std::string_view line)
{
    PendingCube& p = *pending_;
    const std::string where =
        "the cube of solution " + std::to_string(p.cube.number) + " (line " + Num(p.cube.line) + ")";
    if (p.plane == 0 || p.row == 5) {
        if (p.plane < 5 && line == "plane " + std::to_string(p.plane + 1) + ":") {
            ++p.plane;
            p.row = 0;
            return true;
        }
        Problem(where + " expects \"plane " + std::to_string(p.plane + 1) + ":\" here");
        BreakCube();
        return false;
    }
    // Five values, each right-aligned to the cube's widest value, one space
    // between them.
    const std::size_t width = line.size() >= 4 ? (line.size() - 4) / 5 : 0;
    std::array<std::int32_t, 5> row{};
    bool ok = width > 0 && line.size() == 5 * width + 4 && (p.width == 0 || width == p.width);
    for (std::size_t i = 0; ok && i < 5; ++i) {
        const std::string_view field = line.substr(i * (width + 1), width);
        const std::size_t digits = field.find_first_not_of(' ');
        const auto v = digits == std::string_view::npos ? std::nullopt : ParseInt32(field.substr(digits));
        ok = v.has_value() && (i == 0 || line[i * (width + 1) - 1] == ' ');
        if (ok) row[i] = *v;
        p.widest = p.widest || digits == 0;
    }
    if (!ok) {
        Problem(where + " expects a row of five whole numbers in the 32-bit range here, each right-aligned to the "
                        "widest value of the cube with one space between them");
        BreakCube();
        return false;
    }
    p.width = width;
    for (int column = 1; column <= 5; ++column) {
        p.cube.cells[static_cast<std::size_t>(25 * (p.plane - 1) + 5 * p.row + column)] =
            row[static_cast<std::size_t>(column - 1)];
    }
    ++p.row;
    if (p.plane == 5 && p.row == 5) {
        if (!p.widest) {
            Problem(where + " is aligned wider than its widest value");
            pending_.reset();
            return true;
        }
        sink_.Cube(p.cube);
        pending_.reset();
    }
    return true;
}

// After a broken cube the rest of its planes are skipped up to the next
// solution or closing line, so that one fault is reported once.
void TextParser::BreakCube()
{
    pending_.reset();
    skippingCube_ = true;
}

void TextParser::Finish()
{
    if (pending_) {
        sink_.CutShortAt(pending_->cube.line, "the cube of solution " + std::to_string(pending_->cube.number) +
                                                  " ends before its five planes are complete");
        pending_.reset();
    }
    if (closing_) sink_.ProblemAt(closing_->line, "\"computation terminated\" is not followed by the count sentence");
    closing_.reset();
}

std::unique_ptr<RecordWriter> MakeTextWriter(const RunIdentity& identity)
{
    return std::make_unique<TextWriter>(identity);
}

std::unique_ptr<RecordParser> MakeTextParser(RecordSink& sink)
{
    return std::make_unique<TextParser>(sink);
}

} // namespace pandicube
