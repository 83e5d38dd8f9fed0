#pragma once

#include "cli/formats/record_format.h"

#include <optional>
#include <string>
#include <string_view>

namespace pandicube {

// CSV: the identity comment, a header line and one row per solution
// ("N,e1,...,e62" or with --cube "N,c1,...,c125", then ",B" when the run
// reduces the bound) or per class ("N,S,Z,c1,...,c125"); the count of a
// --count-only run is a table of its own ("solutions" or
// "solutions,bestBound", or "classes", and one row); then the completion
// comment.
class CsvWriter : public RecordWriter {
public:
    using RecordWriter::RecordWriter;

    std::string Head() const override;
    void AppendHead(std::string& line, std::initializer_list<RecordNumber> numbers) const override;
    void AppendBody(std::string& line, const Cells& cells, bool allCells,
                    std::optional<std::int32_t> bestBound) const override;
    std::string Completion(const CompletionRecord& record) const override;
    std::string Interruption(const CompletionRecord& record) const override;
};

class CsvParser : public RecordParser {
public:
    using RecordParser::RecordParser;

    // Whether an output in CSV opens with this line.
    static bool Opens(std::string_view line);

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

    std::optional<Layout> layout_;
};

// The CSV header of a --classes output: "class,solution,size,c1,...,c125".
std::string CsvClassHeader();

// The CSV header: "solution,e1,...,e62" or "solution,c1,...,c125", with
// ",bestBound" when the run reduces the bound; "solutions" or
// "solutions,bestBound" for an output of the count alone.
std::string CsvHeader(bool cells, bool bestBound, bool countOnly);

} // namespace pandicube
