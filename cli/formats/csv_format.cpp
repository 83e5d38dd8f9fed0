#include "cli/formats/csv_format.h"

#include "cli/formats/census_record.h"
#include "cli/formats/comment_lines.h"
#include "cli/formats/number_text.h"

#include <vector>

namespace pandicube {

namespace {

// The first line of every table; a header is checked whole by LayoutOf.
bool IsHeader(std::string_view line)
{
    return StartsWith(line, "solution,") || StartsWith(line, "solutions") || StartsWith(line, "class");
}

std::string Num(std::size_t v)
{
    return std::to_string(v);
}

class CsvWriter final : public RecordWriter {
public:
    using RecordWriter::RecordWriter;

    std::string Head() const override
    {
        std::string head = IdentityComment(identity_) + '\n';
        if (!identity_.countOnly)
            head += (identity_.census    ? std::string(kCensusCsvHeader)
                     : identity_.classes ? CsvClassHeader()
                                         : CsvHeader(identity_.cube, identity_.setup.reduceBound, false)) +
                    '\n';
        return head;
    }

    void AppendHead(std::string& line, std::initializer_list<RecordNumber> numbers) const override
    {
        // "N" or "N,S,Z".
        const char* separator = "";
        for (const RecordNumber& n : numbers) {
            line += separator;
            AppendInt(line, n.value);
            separator = ",";
        }
    }

    void AppendBody(std::string& line, const Cells& cells, bool allCells,
                    std::optional<std::int32_t> bestBound) const override
    {
        AppendRange(line, cells, 1, identity_.cube || allCells ? kCellCount : kEntryCount, ',', true);
        if (bestBound) {
            line += ',';
            AppendInt(line, *bestBound);
        }
        line += '\n';
    }

    std::string End(const CompletionRecord& record) const override
    {
        // A CSV table has rows of solutions only; the count of a --count-only
        // run is a table of its own.
        std::string text;
        if (record.complete && identity_.countOnly) {
            text = (identity_.classes ? std::string("classes") : CsvHeader(false, identity_.setup.reduceBound, true)) +
                   '\n';
            AppendInt(text, record.solutions);
            if (identity_.setup.reduceBound) {
                text += ',';
                if (record.bestBound) AppendInt(text, *record.bestBound);
            }
            text += '\n';
        }
        return text + CompletionComment(record) + '\n';
    }
};

class CsvParser final : public RecordParser {
public:
    using RecordParser::RecordParser;

private:
    // The table the rows belong to, from its header line.
    struct Layout {
        bool countOnly = false;
        bool cells = false;
        bool bestBound = false;
        std::size_t fields = 0;
        bool classes = false; // class,solution,size,c1,...,c125
    };
    static std::optional<Layout> LayoutOf(std::string_view header);

    void Line(std::string_view line) override;
    // A row of the layout: its values, as whole numbers, to the record they
    // make.
    void Row(const std::vector<std::string_view>& fields);
    std::optional<std::vector<std::int64_t>> Values(const std::vector<std::string_view>& fields, bool noBound);
    void CubeRow(std::vector<std::int64_t>& values, std::optional<std::int32_t> bestBound);

    std::optional<Layout> layout_;
};

} // namespace

std::string CsvHeader(bool cells, bool bestBound, bool countOnly)
{
    if (countOnly) return bestBound ? "solutions,bestBound" : "solutions";
    std::string header = "solution";
    const char prefix = cells ? 'c' : 'e';
    const int count = cells ? kCellCount : kEntryCount;
    for (int k = 1; k <= count; ++k) {
        header += ',';
        header += prefix;
        AppendInt(header, k);
    }
    if (bestBound) header += ",bestBound";
    return header;
}

std::string CsvClassHeader()
{
    std::string header = "class,solution,size";
    for (int k = 1; k <= kCellCount; ++k) {
        header += ",c";
        AppendInt(header, k);
    }
    return header;
}

bool OpensCsvOutput(std::string_view line)
{
    return IsHeader(line) || OpensOutputIn(line, OutputFormat::Csv);
}

std::optional<CsvParser::Layout> CsvParser::LayoutOf(std::string_view header)
{
    if (header == "classes") return Layout{true, false, false, 1, true};
    if (header == CsvClassHeader()) return Layout{false, true, false, 3 + kCellCount, true};
    for (bool countOnly : {false, true}) {
        for (bool cells : {false, true}) {
            for (bool bestBound : {false, true}) {
                if (header == CsvHeader(cells, bestBound, countOnly)) {
                    const std::size_t values =
                        countOnly ? 1 : 1 + static_cast<std::size_t>(cells ? kCellCount : kEntryCount);
                    return Layout{countOnly, cells, bestBound, values + (bestBound ? 1 : 0)};
                }
            }
        }
    }
    return std::nullopt;
}

void CsvParser::Line(std::string_view line)
{
    if (StartsWith(line, "#")) {
        if (ReadCommentLine(line, OutputFormat::Csv, Here(), sink_)) layout_.reset();
        return;
    }
    if (IsHeader(line)) {
        layout_ = LayoutOf(line);
        if (!layout_) {
            Problem("not a CSV header of pandicube-search");
        } else {
            sink_.Header();
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
    Row(fields);
}

void CsvParser::Row(const std::vector<std::string_view>& fields)
{
    // A --count-only run of the bound walk that found nothing has no bound.
    const bool noBound = layout_->countOnly && layout_->bestBound && fields.back().empty();
    std::optional<std::vector<std::int64_t>> values = Values(fields, noBound);
    if (!values) return;
    const std::optional<std::int32_t> bestBound =
        layout_->bestBound && !noBound ? std::optional<std::int32_t>(static_cast<std::int32_t>(values->back()))
                                       : std::nullopt;
    if (!layout_->countOnly) return CubeRow(*values, bestBound);
    if ((*values)[0] < 0) {
        Problem("the count of solutions is negative");
        return;
    }
    ClosingRecord closing;
    Place(closing);
    closing.count = (*values)[0];
    closing.bestBound = bestBound;
    sink_.Closing(closing);
}

std::optional<std::vector<std::int64_t>> CsvParser::Values(const std::vector<std::string_view>& fields, bool noBound)
{
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
            Problem("field " + Num(i + 1) + " is not a whole number in the " + (i < wide ? "64" : "32") + "-bit range");
            return std::nullopt;
        }
        values.push_back(*v);
    }
    return values;
}

void CsvParser::CubeRow(std::vector<std::int64_t>& values, std::optional<std::int32_t> bestBound)
{
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
    sink_.Cube(cube);
}

std::unique_ptr<RecordWriter> MakeCsvWriter(const RunIdentity& identity)
{
    return std::make_unique<CsvWriter>(identity);
}

std::unique_ptr<RecordParser> MakeCsvParser(RecordSink& sink)
{
    return std::make_unique<CsvParser>(sink);
}

} // namespace pandicube
