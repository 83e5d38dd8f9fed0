#include "cli/formats/all_formats.h"

#include "cli/formats/csv_format.h"
#include "cli/formats/json_format.h"
#include "cli/formats/text_format.h"

namespace pandicube {

std::unique_ptr<RecordWriter> WriterFor(const RunIdentity& identity)
{
    switch (identity.format) {
    case OutputFormat::Text: return MakeTextWriter(identity);
    case OutputFormat::Json: return MakeJsonWriter(identity);
    case OutputFormat::Csv: return MakeCsvWriter(identity);
    }
    return MakeTextWriter(identity);
}

std::unique_ptr<RecordParser> ParserFor(OutputFormat format, RecordSink& sink)
{
    switch (format) {
    case OutputFormat::Text: return MakeTextParser(sink);
    case OutputFormat::Json: return MakeJsonParser(sink);
    case OutputFormat::Csv: return MakeCsvParser(sink);
    }
    return MakeTextParser(sink);
}

std::optional<OutputFormat> FormatOpenedBy(std::string_view line)
{
    if (OpensJsonOutput(line)) return OutputFormat::Json;
    if (OpensCsvOutput(line)) return OutputFormat::Csv;
    if (OpensTextOutput(line)) return OutputFormat::Text;
    return std::nullopt;
}

} // namespace pandicube
