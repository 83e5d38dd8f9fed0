#include "cli/formats/all_formats.h"

#include "cli/formats/csv_format.h"
#include "cli/formats/json_format.h"
#include "cli/formats/text_format.h"

namespace pandicube {

std::unique_ptr<RecordWriter> WriterFor(const RunIdentity& identity)
{
    switch (identity.format) {
    case OutputFormat::Text: return std::make_unique<TextWriter>(identity);
    case OutputFormat::Json: return std::make_unique<JsonWriter>(identity);
    case OutputFormat::Csv: return std::make_unique<CsvWriter>(identity);
    }
    return std::make_unique<TextWriter>(identity);
}

std::unique_ptr<RecordParser> ParserFor(OutputFormat format, RecordSink& sink)
{
    switch (format) {
    case OutputFormat::Text: return std::make_unique<TextParser>(sink);
    case OutputFormat::Json: return std::make_unique<JsonParser>(sink);
    case OutputFormat::Csv: return std::make_unique<CsvParser>(sink);
    }
    return std::make_unique<TextParser>(sink);
}

std::optional<OutputFormat> FormatOpenedBy(std::string_view line)
{
    if (JsonParser::Opens(line)) return OutputFormat::Json;
    if (CsvParser::Opens(line)) return OutputFormat::Csv;
    if (TextParser::Opens(line)) return OutputFormat::Text;
    return std::nullopt;
}

} // namespace pandicube
