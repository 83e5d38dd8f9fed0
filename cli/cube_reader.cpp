#include "cli/cube_reader.h"

#include "cli/json_record.h"

#include <cstdint>
#include <istream>
#include <vector>

namespace pandicube {

namespace {

constexpr std::size_t kMaxLineLength = 64 * 1024;
constexpr std::string_view kBestBoundMark = " | best upper bound: ";
constexpr std::string_view kTerminated = "computation terminated";

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::vector<std::string_view> SplitOn(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

// Splits on runs of blanks; no empty tokens.
std::vector<std::string_view> Tokens(std::string_view text)
{
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        const std::size_t from = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
        if (i > from) tokens.push_back(text.substr(from, i - from));
    }
    return tokens;
}

bool IsBlank(std::string_view text)
{
    return Tokens(text).empty();
}

std::string Num(std::size_t v)
{
    return std::to_string(v);
}

// The CSV layouts the tool writes.
struct CsvLayout {
    bool countOnly = false;
    bool cells = false;
    bool bestBound = false;
    std::size_t fields = 0;
};

std::optional<CsvLayout> CsvLayoutOf(std::string_view header)
{
    for (bool countOnly : {false, true}) {
        for (bool cells : {false, true}) {
            for (bool bestBound : {false, true}) {
                if (header == CsvHeader({OutputFormat::Csv, cells, bestBound, countOnly})) {
                    const std::size_t values =
                        countOnly ? 1 : 1 + static_cast<std::size_t>(cells ? kCellCount : kEntryCount);
                    return CsvLayout{countOnly, cells, bestBound, values + (bestBound ? 1 : 0)};
                }
            }
        }
    }
    return std::nullopt;
}

class Reader {
public:
    Reader(std::istream& in, CubeSink& sink) : in_(in), sink_(sink) {}

    ReadSummary Run()
    {
        std::string line;
        bool skip = false;
        while (NextLine(line, skip)) {
            if (!skip) Dispatch(line);
        }
        FinishText();
        summary_.cubesAfterLastClosing = cubesSinceClosing_ > 0;
        return summary_;
    }

private:
    // Reads one line without its end; false at the end of the input. A line
    // over the limit is reported and skipped.
    bool NextLine(std::string& line, bool& skip)
    {
        line.clear();
        skip = false;
        std::streambuf* buf = in_.rdbuf();
        if (buf == nullptr) return false;
        bool any = false;
        for (;;) {
            const auto c = buf->sbumpc();
            if (c == std::char_traits<char>::eof()) break;
            any = true;
            if (c == '\n') break;
            if (line.size() < kMaxLineLength) {
                line.push_back(static_cast<char>(c));
            } else {
                skip = true;
            }
        }
        if (!any) return false;
        ++lineNumber_;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (skip) Problem("the line is longer than 64 KiB");
        return true;
    }

    void Dispatch(std::string_view line)
    {
        if (!summary_.format) {
            if (IsBlank(line)) return;
            if (StartsWith(line, "{")) {
                summary_.format = OutputFormat::Json;
            } else if (StartsWith(line, "solution,") || StartsWith(line, "solutions")) {
                summary_.format = OutputFormat::Csv;
            } else if (StartsWith(line, "solution ") || line == kTerminated) {
                summary_.format = OutputFormat::Text;
            } else {
                Problem("not the start of any output of pandicube-search (text, JSON Lines or CSV)");
                return;
            }
        }
        switch (*summary_.format) {
        case OutputFormat::Text: TextLine(line); break;
        case OutputFormat::Json: JsonLine(line); break;
        case OutputFormat::Csv: CsvLine(line); break;
        }
    }

    // Text: "solution N: e1 ... e62", or "solution N:" and the five planes,
    // each "plane P:" and five rows of five; then the two closing lines.
    void TextLine(std::string_view line)
    {
        if (IsBlank(line)) return;
        if (pending_) {
            if (TextCubeLine(line)) return;
            if (!StartsWith(line, "solution ") && line != kTerminated) return;
        }
        if (skippingCube_) {
            if (LooksLikeCubeLine(line)) return;
            skippingCube_ = false;
        }
        if (closingLine_) {
            const std::size_t at = *closingLine_;
            closingLine_.reset();
            if (const auto count = ParseCountSentence(line)) {
                Closing({at, *count, std::nullopt});
                return;
            }
            ProblemAt(at, "\"computation terminated\" is not followed by the count sentence");
        }
        if (line == kTerminated) {
            closingLine_ = lineNumber_;
            return;
        }
        if (!StartsWith(line, "solution ")) {
            Problem("not a line of the text output");
            return;
        }
        TextSolutionLine(line.substr(9));
    }

    void TextSolutionLine(std::string_view rest)
    {
        const auto colon = rest.find(':');
        const auto number = ParseInt32(rest.substr(0, colon));
        if (colon == std::string_view::npos || !number || *number < 1) {
            Problem("\"solution\" is not followed by a solution number and \":\"");
            return;
        }
        rest.remove_prefix(colon + 1);
        CubeRecord cube;
        cube.line = lineNumber_;
        cube.number = *number;
        if (const auto mark = rest.find(kBestBoundMark); mark != std::string_view::npos) {
            cube.bestBound = ParseInt32(rest.substr(mark + kBestBoundMark.size()));
            if (!cube.bestBound) {
                Problem("the best upper bound is not a whole number in the 32-bit range");
                return;
            }
            rest = rest.substr(0, mark);
        }
        const std::vector<std::string_view> tokens = Tokens(rest);
        if (tokens.empty()) {
            cube.givenAsCells = true;
            pending_ = PendingCube{cube, 0, 0};
            return;
        }
        if (tokens.size() != kEntryCount) {
            Problem("expected 62 entries after \"solution " + std::to_string(*number) + ":\", found " +
                    Num(tokens.size()));
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
        cube.cells = CellsFromEntries(e);
        Cube(cube);
    }

    // One line inside a whole cube in text; false (after reporting) when the
    // line does not continue the cube.
    bool TextCubeLine(std::string_view line)
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
        const std::vector<std::string_view> tokens = Tokens(line);
        std::array<std::int32_t, 5> row{};
        bool ok = tokens.size() == 5;
        for (std::size_t i = 0; ok && i < 5; ++i) {
            const auto v = ParseInt32(tokens[i]);
            ok = v.has_value();
            if (ok) row[i] = *v;
        }
        if (!ok) {
            Problem(where + " expects a row of five whole numbers in the 32-bit range here");
            BreakCube();
            return false;
        }
        for (int column = 1; column <= 5; ++column) {
            p.cube.cells[static_cast<std::size_t>(25 * (p.plane - 1) + 5 * p.row + column)] =
                row[static_cast<std::size_t>(column - 1)];
        }
        ++p.row;
        if (p.plane == 5 && p.row == 5) {
            Cube(p.cube);
            pending_.reset();
        }
        return true;
    }

    // After a broken cube the rest of its planes are skipped up to the next
    // solution or closing line, so that one fault is reported once.
    void BreakCube()
    {
        pending_.reset();
        skippingCube_ = true;
    }

    static bool LooksLikeCubeLine(std::string_view line)
    {
        if (StartsWith(line, "plane ")) return true;
        for (std::string_view token : Tokens(line)) {
            if (!ParseInt32(token)) return false;
        }
        return true;
    }

    void FinishText()
    {
        if (pending_) {
            ProblemAt(pending_->cube.line, "the cube of solution " + std::to_string(pending_->cube.number) +
                                               " ends before its five planes are complete");
            pending_.reset();
        }
        if (closingLine_) ProblemAt(*closingLine_, "\"computation terminated\" is not followed by the count sentence");
        closingLine_.reset();
    }

    static std::optional<std::int32_t> ParseCountSentence(std::string_view line)
    {
        if (line == "no solution was found.") return 0;
        if (line == "exactly one solution was found.") return 1;
        constexpr std::string_view kTail = " solutions were found.";
        if (line.size() <= kTail.size() || line.substr(line.size() - kTail.size()) != kTail) return std::nullopt;
        const auto n = ParseInt32(line.substr(0, line.size() - kTail.size()));
        if (!n || *n < 2) return std::nullopt;
        return n;
    }

    void JsonLine(std::string_view line)
    {
        if (IsBlank(line)) return;
        const JsonRecord record = ParseJsonRecord(line);
        if (!record.error.empty()) {
            Problem(record.error);
            return;
        }
        if (record.closing) {
            Closing({lineNumber_, record.closing->count, record.closing->bestBound});
            return;
        }
        CubeRecord cube = record.cube;
        cube.line = lineNumber_;
        Cube(cube);
    }

    void CsvLine(std::string_view line)
    {
        if (IsBlank(line)) return;
        if (StartsWith(line, "solution,") || StartsWith(line, "solutions")) {
            layout_ = CsvLayoutOf(line);
            if (!layout_) {
                Problem("not a CSV header of pandicube-search");
            } else if (!layout_->countOnly) {
                summary_.cells = summary_.cells.value_or(layout_->cells);
                summary_.bestBound = summary_.bestBound || layout_->bestBound;
            }
            return;
        }
        if (!layout_) {
            Problem("a CSV row without a header line before it");
            return;
        }
        const std::vector<std::string_view> fields = SplitOn(line, ',');
        if (fields.size() != layout_->fields) {
            Problem("expected " + Num(layout_->fields) + " fields, found " + Num(fields.size()));
            return;
        }
        std::vector<std::int32_t> values;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const auto v = ParseInt32(fields[i]);
            if (!v) {
                Problem("field " + Num(i + 1) + " is not a whole number in the 32-bit range");
                return;
            }
            values.push_back(*v);
        }
        const std::optional<std::int32_t> bestBound =
            layout_->bestBound ? std::optional<std::int32_t>(values.back()) : std::nullopt;
        if (layout_->countOnly) {
            if (values[0] < 0) {
                Problem("the count of solutions is negative");
                return;
            }
            Closing({lineNumber_, values[0], bestBound});
            return;
        }
        if (values[0] < 1) {
            Problem("the solution number is not positive");
            return;
        }
        CubeRecord cube;
        cube.line = lineNumber_;
        cube.number = values[0];
        cube.bestBound = bestBound;
        cube.givenAsCells = layout_->cells;
        if (layout_->cells) {
            for (std::size_t k = 1; k <= kCellCount; ++k) cube.cells[k] = values[k];
        } else {
            Entries e{};
            for (std::size_t k = 1; k <= kEntryCount; ++k) e[k] = values[k];
            cube.cells = CellsFromEntries(e);
        }
        Cube(cube);
    }

    void Cube(const CubeRecord& cube)
    {
        ++cubesSinceClosing_;
        summary_.cells = summary_.cells.value_or(cube.givenAsCells);
        summary_.bestBound = summary_.bestBound || cube.bestBound.has_value();
        sink_.OnCube(cube);
    }

    void Closing(const ClosingRecord& closing)
    {
        // A count-only output has no cubes before its count.
        if (cubesSinceClosing_ > 0 && problemsSinceClosing_ == 0 &&
            cubesSinceClosing_ != static_cast<std::size_t>(closing.count)) {
            ProblemAt(closing.line, "the closing report counts " + std::to_string(closing.count) + " solutions, but " +
                                        Num(cubesSinceClosing_) + " cubes come before it");
        }
        cubesSinceClosing_ = 0;
        problemsSinceClosing_ = 0;
        sink_.OnClosing(closing);
    }

    void Problem(const std::string& message) { ProblemAt(lineNumber_, message); }

    void ProblemAt(std::size_t line, const std::string& message)
    {
        ++summary_.problems;
        ++problemsSinceClosing_;
        sink_.OnProblem(line, message);
    }

    struct PendingCube {
        CubeRecord cube;
        int plane = 0; // the plane being read, 1 to 5 (0 before the first)
        int row = 0;   // rows of it read so far
    };

    std::istream& in_;
    CubeSink& sink_;
    ReadSummary summary_;
    std::size_t lineNumber_ = 0;
    std::size_t cubesSinceClosing_ = 0;
    std::size_t problemsSinceClosing_ = 0;
    std::optional<PendingCube> pending_;
    bool skippingCube_ = false;
    std::optional<std::size_t> closingLine_;
    std::optional<CsvLayout> layout_;
};

} // namespace

std::optional<std::int32_t> ParseInt32(std::string_view text)
{
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty() || text.size() > 10) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

ReadSummary ReadCubes(std::istream& in, CubeSink& sink)
{
    return Reader(in, sink).Run();
}

} // namespace pandicube
