#include "cli/cube_reader.h"

#include "cli/json_record.h"
#include "cli/text_record.h"

#include <cstdint>
#include <istream>
#include <vector>

namespace pandicube {

namespace {

constexpr std::size_t kMaxLineLength = 64 * 1024;

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

std::string Num(std::size_t v)
{
    return std::to_string(v);
}

class Reader : public RecordSink {
public:
    Reader(std::istream& in, CubeSink& sink) : in_(in), sink_(sink), text_(*this) {}

    ReadSummary Run()
    {
        std::string line;
        bool skip = false;
        while (NextLine(line, skip)) {
            if (!skip) Dispatch(line);
        }
        if (summary_.format == OutputFormat::Text) text_.Finish();
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
            } else if (StartsWith(line, "solution ") || line == kTextTerminated) {
                summary_.format = OutputFormat::Text;
            } else {
                Problem("not the start of any output of pandicube-search (text, JSON Lines or CSV)");
                return;
            }
        }
        switch (*summary_.format) {
        case OutputFormat::Text: text_.Line(line, lineNumber_); break;
        case OutputFormat::Json: JsonLine(line); break;
        case OutputFormat::Csv: CsvLine(line); break;
        }
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

    void Cube(const CubeRecord& cube) override
    {
        ++cubesSinceClosing_;
        summary_.cells = summary_.cells.value_or(cube.givenAsCells);
        summary_.bestBound = summary_.bestBound || cube.bestBound.has_value();
        sink_.OnCube(cube);
    }

    void Closing(const ClosingRecord& closing) override
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

    void ProblemAt(std::size_t line, const std::string& message) override
    {
        ++summary_.problems;
        ++problemsSinceClosing_;
        sink_.OnProblem(line, message);
    }

    std::istream& in_;
    CubeSink& sink_;
    ReadSummary summary_;
    std::size_t lineNumber_ = 0;
    std::size_t cubesSinceClosing_ = 0;
    std::size_t problemsSinceClosing_ = 0;
    TextRecordParser text_;
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
