#pragma once

#include "cli/formats/record_format.h"

#include <optional>
#include <string>
#include <string_view>

namespace pandicube {

// The identity and completion records of the text and CSV outputs, each a
// comment line that opens with "#".

// "# pandicube-search VERSION OPTIONS".
std::string IdentityComment(const RunIdentity& identity);
// Parses an identity comment line; nullopt when it is not one.
std::optional<RunIdentity> ParseIdentityComment(std::string_view line);

// "# complete: 504 solutions, xxh3 checksum 0123456789abcdef" ("21 classes"
// for a --classes output, whose checksum runs over the standard forms' first
// 62 cells) or
// "# interrupted by SIGINT: 120 solutions, best upper bound 270, xxh3
// checksum ..., next unit e14 -96 e18 -51". An FNV-1a checksum (version
// 0.1.0) is named "checksum" alone.
std::string CompletionComment(const CompletionRecord& record);
std::optional<CompletionRecord> ParseCompletionComment(std::string_view line);

// Whether the line is the identity comment of an output in `format`.
bool OpensOutputIn(std::string_view line, OutputFormat format);

// Reads a comment line of an output in `format`, which stands at `place`:
// hands its identity or completion record to the sink, or reports what is
// wrong with it. True when it opens another output of the format.
bool ReadCommentLine(std::string_view line, OutputFormat format, const RecordPlace& place, RecordSink& sink);

} // namespace pandicube
