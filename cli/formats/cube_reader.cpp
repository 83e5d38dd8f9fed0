#include "cli/formats/cube_reader.h"

#include "cli/formats/census_record.h"
#include "cli/formats/json_record.h"
#include "cli/formats/solution_writer.h"
#include "cli/formats/text_record.h"

#include <cerrno>
#include <cstring>
#include <istream>
#include <limits>
#include <vector>

namespace pandicube {

namespace {

// The CSV layouts the tool writes.
struct CsvLayout {
    bool countOnly = false;
    bool cells = false;
    bool bestBound = false;
    std::size_t fields = 0;
    bool classes = false; // class,solution,size,c1,...,c125
};

std::optional<CsvLayout> CsvLayoutOf(std::string_view header)
{
    if (header == "classes") return CsvLayout{true, false, false, 1, true};
    if (header == CsvClassHeader()) return CsvLayout{false, true, false, 3 + kCellCount, true};
    for (bool countOnly : {false, true}) {
        for (bool cells : {false, true}) {
            for (bool bestBound : {false, true}) {
                if (header == CsvHeader(cells, bestBound, countOnly)) {
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

} // namespace

class OutputReader::Impl : public RecordSink {
public:
    Impl(std::streambuf* in, CubeSink& sink) : in_(in), sink_(sink), text_(*this) {}

    bool Step()
    {
        if (stopped_) return false;
        std::string& line = line_;
        line.clear();
        const LineResult result = NextLine(line);
        if (result == LineResult::End) {
            Finish();
            return false;
        }
        if (result == LineResult::Line) Dispatch(line);
        if (problems_ >= kMaxProblems) Stop("too many problems; the rest of the input is not read");
        return !stopped_;
    }

    void StartAt(std::uint64_t offset, std::size_t line)
    {
        offset_ = offset;
        lineNumber_ = line;
    }

    std::optional<OutputFormat> format_;

private:
    enum class LineResult { Line, Skip, End };

    // Reads one line without its end. A line cut off by the end of the input
    // is reported, not read: an output that was killed ends that way.
    LineResult NextLine(std::string& line)
    {
        std::streambuf* buf = in_;
        if (buf == nullptr) return LineResult::End;
        lineOffset_ = offset_;
        bool any = false;
        bool ended = false;
        try {
            for (;;) {
                const auto c = buf->sbumpc();
                if (c == std::char_traits<char>::eof()) break;
                ++offset_;
                any = true;
                if (c == '\n') {
                    ended = true;
                    break;
                }
                if (line.size() == kMaxLineLength) {
                    ++lineNumber_;
                    Stop("the line is longer than 64 KiB: not an output of pandicube-search");
                    return LineResult::End;
                }
                line.push_back(static_cast<char>(c));
            }
        } catch (const std::exception&) {
            ++lineNumber_;
            Stop(std::string("the input cannot be read: ") + std::strerror(errno));
            return LineResult::End;
        }
        if (!any) return LineResult::End;
        ++lineNumber_;
        if (!ended) {
            CutShortAt(lineNumber_, "the line is cut short: the output ends inside it");
            return LineResult::Skip;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return LineResult::Line;
    }

    void Stop(const std::string& message)
    {
        if (stopped_) return;
        stopped_ = true;
        sink_.OnProblem(lineNumber_, message);
        ++problems_;
    }

    void Finish()
    {
        if (format_ == OutputFormat::Text) text_.Finish();
        stopped_ = true;
    }

    void Dispatch(std::string_view line)
    {
        if (!format_) {
            if (StartsWith(line, "{")) {
                format_ = OutputFormat::Json;
            } else if (StartsWith(line, "#")) {
                const auto identity = ParseIdentityComment(line);
                if (!identity || identity->format == OutputFormat::Json) {
                    Stop("not the identity line of an output of pandicube-search");
                    return;
                }
                format_ = identity->format;
            } else if (StartsWith(line, "solution,") || StartsWith(line, "solutions") || StartsWith(line, "class")) {
                format_ = OutputFormat::Csv;
            } else if (StartsWith(line, "solution ") || line == kTextTerminated) {
                format_ = OutputFormat::Text;
            } else {
                // Nothing else of such an input would be read either.
                Stop("not the start of any output of pandicube-search (text, JSON Lines or CSV)");
                return;
            }
        }
        if (*format_ != OutputFormat::Json && StartsWith(line, "#")) {
            CommentLine(line);
            return;
        }
        if (census_ && CensusLine(line)) return;
        switch (*format_) {
        case OutputFormat::Text: text_.Line(line, lineNumber_, lineOffset_); break;
        case OutputFormat::Json: JsonLine(line); break;
        case OutputFormat::Csv: CsvLine(line); break;
        }
    }

    // The identity and completion lines of text and CSV outputs.
    void CommentLine(std::string_view line)
    {
        if (*format_ == OutputFormat::Text) text_.Finish();
        if (const auto identity = ParseIdentityComment(line)) {
            if (identity->format != *format_) {
                Problem(std::string("an output in ") + FormatName(identity->format) + " follows one in " +
                        FormatName(*format_) + ": outputs of different formats are mixed");
                return;
            }
            layout_.reset();
            census_ = identity->census;
            censusHeader_ = false;
            IdentityRecord record;
            Place(record);
            record.identity = *identity;
            sink_.OnIdentity(record);
            return;
        }
        if (auto completion = ParseCompletionComment(line)) {
            completion->line = lineNumber_;
            sink_.OnCompletion(*completion);
            return;
        }
        Problem("not an identity or completion line of pandicube-search");
    }

    void Place(RecordPlace& place) const
    {
        place.line = lineNumber_;
        place.offset = lineOffset_;
        place.end = offset_;
    }

    void JsonLine(std::string_view line)
    {
        JsonRecord record = ParseJsonRecord(line);
        if (!record.error.empty()) {
            Problem(record.error);
            return;
        }
        if (record.identity) {
            census_ = record.identity->census;
            IdentityRecord identity;
            Place(identity);
            identity.identity = *record.identity;
            sink_.OnIdentity(identity);
        } else if (record.completion) {
            record.completion->line = lineNumber_;
            sink_.OnCompletion(*record.completion);
        } else if (record.closing) {
            Place(*record.closing);
            sink_.OnClosing(*record.closing);
        } else {
            Place(record.cube);
            sink_.OnCube(record.cube);
        }
    }

    // A line of a --census output: a row (in CSV, or its header); false
    // for the other lines of a JSON output.
    bool CensusLine(std::string_view line)
    {
        if (*format_ == OutputFormat::Json && !StartsWith(line, "{\"bound\"")) return false;
        if (*format_ == OutputFormat::Csv && (line == kCensusCsvHeader || !censusHeader_)) {
            censusHeader_ = line == kCensusCsvHeader;
            if (censusHeader_) sink_.OnHeader(offset_);
            if (!censusHeader_) Problem("a CSV row without the census header before it");
            return true;
        }
        CensusRecord record;
        const std::optional<CensusRow> row = ParseCensusRow(line, *format_);
        if (!row) {
            Problem("not a census row of pandicube-search");
            return true;
        }
        Place(record);
        record.row = *row;
        sink_.OnCensusRow(record);
        return true;
    }

    void CsvLine(std::string_view line)
    {
        if (StartsWith(line, "solution,") || StartsWith(line, "solutions") || StartsWith(line, "class")) {
            layout_ = CsvLayoutOf(line);
            if (!layout_) {
                Problem("not a CSV header of pandicube-search");
            } else {
                sink_.OnHeader(offset_);
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
        // A --count-only run of the bound walk that found nothing has no bound.
        const bool noBound = layout_->countOnly && layout_->bestBound && fields.back().empty();
        // The leading count or solution number (and a class's solution
        // number) is 64-bit; every value of a cube and the bound 32-bit.
        const std::size_t wide = layout_->classes ? 2 : 1;
        std::vector<std::int64_t> values;
        for (std::size_t i = 0; i < fields.size() - (noBound ? 1 : 0); ++i) {
            std::optional<std::int64_t> v = ParseInt64(fields[i]);
            if (i >= wide) {
                const auto narrow = ParseInt32(fields[i]);
                v = narrow ? std::optional<std::int64_t>(*narrow) : std::nullopt;
            }
            if (!v) {
                Problem("field " + Num(i + 1) + " is not a whole number in the " + (i < wide ? "64" : "32") +
                        "-bit range");
                return;
            }
            values.push_back(*v);
        }
        const std::optional<std::int32_t> bestBound =
            layout_->bestBound && !noBound ? std::optional<std::int32_t>(static_cast<std::int32_t>(values.back()))
                                           : std::nullopt;
        if (layout_->countOnly) {
            if (values[0] < 0) {
                Problem("the count of solutions is negative");
                return;
            }
            ClosingRecord closing;
            Place(closing);
            closing.count = values[0];
            closing.bestBound = bestBound;
            sink_.OnClosing(closing);
            return;
        }
        if (values[0] < 1) {
            Problem("the solution number is not positive");
            return;
        }
        CubeRecord cube;
        cube.number = values[0];
        cube.bestBound = bestBound;
        cube.givenAsCells = layout_->cells;
        if (layout_->classes) {
            if (values[1] < 1 || values[2] < 1) {
                Problem("the solution number or the size of the class is not positive");
                return;
            }
            cube.classOf = CubeRecord::ClassOf{values[1], static_cast<std::int32_t>(values[2])};
            values.erase(values.begin() + 1, values.begin() + 3);
        }
        if (layout_->cells) {
            for (std::size_t k = 1; k <= kCellCount; ++k) cube.cells[k] = static_cast<std::int32_t>(values[k]);
        } else {
            Entries e{};
            for (std::size_t k = 1; k <= kEntryCount; ++k) e[k] = static_cast<std::int32_t>(values[k]);
            if (const std::string problem = FillCells(e, cube.cells); !problem.empty()) return Problem(problem);
        }
        Place(cube);
        sink_.OnCube(cube);
    }

    // From the text parser, which knows where its records start.
    void Cube(const CubeRecord& cube) override
    {
        CubeRecord placed = cube;
        placed.end = offset_;
        sink_.OnCube(placed);
    }

    void Closing(const ClosingRecord& closing) override
    {
        ClosingRecord placed = closing;
        placed.end = offset_;
        sink_.OnClosing(placed);
    }

    void Problem(const std::string& message) { ProblemAt(lineNumber_, message); }

    void CutShortAt(std::size_t line, const std::string& message) override { sink_.OnCutShort(line, message); }

    void ProblemAt(std::size_t line, const std::string& message) override
    {
        ++problems_;
        sink_.OnProblem(line, message);
    }

    std::streambuf* in_;
    std::string line_; // the line being read, kept to spare an allocation per line
    CubeSink& sink_;
    std::uint64_t offset_ = 0;
    std::uint64_t lineOffset_ = 0;
    std::size_t lineNumber_ = 0;
    std::size_t problems_ = 0;
    bool stopped_ = false;
    TextRecordParser text_;
    std::optional<CsvLayout> layout_;
    bool census_ = false;       // the output is a --census output
    bool censusHeader_ = false; // its CSV header is read
};

OutputReader::OutputReader(std::istream& in, CubeSink& sink) : impl_(std::make_unique<Impl>(in.rdbuf(), sink)) {}
OutputReader::OutputReader(std::streambuf& in, CubeSink& sink) : impl_(std::make_unique<Impl>(&in, sink)) {}
OutputReader::~OutputReader() = default;

void OutputReader::StartAt(std::uint64_t offset, std::size_t line)
{
    impl_->StartAt(offset, line);
}

bool OutputReader::Step()
{
    return impl_->Step();
}

std::optional<OutputFormat> OutputReader::Format() const
{
    return impl_->format_;
}

void ReadCubes(std::istream& in, CubeSink& sink)
{
    if (in.rdbuf() != nullptr) ReadCubes(*in.rdbuf(), sink);
}

void ReadCubes(std::streambuf& in, CubeSink& sink)
{
    OutputReader reader(in, sink);
    while (reader.Step()) {
    }
}

std::optional<std::int32_t> ParseInt32(std::string_view text)
{
    const std::optional<std::int64_t> value = ParseInt64(text);
    if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
        *value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

std::optional<std::int64_t> ParseInt64(std::string_view text)
{
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty() || text.size() > 19) return std::nullopt;
    // Only the writer's way of writing a number: no leading zero, no "-0".
    if (text.front() == '0' && (text.size() > 1 || negative)) return std::nullopt;
    // Accumulated unsigned: 19 digits fit, and the lowest value has no
    // positive counterpart.
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (value > kMax + (negative ? 1 : 0)) return std::nullopt;
    if (!negative) return static_cast<std::int64_t>(value);
    return value == kMax + 1 ? std::numeric_limits<std::int64_t>::min() : -static_cast<std::int64_t>(value);
}

std::string FillCells(const Entries& e, Cells& cells)
{
    constexpr std::int64_t kLowest = std::int64_t{kComplementSum} - std::numeric_limits<std::int32_t>::max();
    for (std::size_t k = 1; k <= kEntryCount; ++k) {
        if (e[k] < kLowest) {
            return "entry e" + Num(k) + " is " + std::to_string(e[k]) + ": its complement 126 - e" + Num(k) +
                   " leaves the 32-bit range";
        }
    }
    cells = CellsFromEntries(e);
    return {};
}

} // namespace pandicube
