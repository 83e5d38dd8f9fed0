#pragma once

#include "cli/formats/record_format.h"

#include <memory>
#include <optional>
#include <string_view>

namespace pandicube {

// The one place that knows every output format: a new format is a file pair
// of its own (its RecordWriter and RecordParser) and a case here.

// The writer of the identity's format.
std::unique_ptr<RecordWriter> WriterFor(const RunIdentity& identity);
// The parser of an input in `format`.
std::unique_ptr<RecordParser> ParserFor(OutputFormat format, RecordSink& sink);
// The format of an output that opens with this line; nullopt when none does.
std::optional<OutputFormat> FormatOpenedBy(std::string_view line);

} // namespace pandicube
