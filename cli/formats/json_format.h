#pragma once

#include "cli/formats/record_format.h"

#include <optional>
#include <string>
#include <string_view>

namespace pandicube {

// JSON Lines, one object a line: the identity ({"program":
// "pandicube-search", "version": V, "run": OPTIONS}); one object per
// solution ({"solution": N, "entries": [...], "cells": [...], "bestBound":
// B}, the cells with --cube) or per class ({"class": N, "solution": S,
// "size": Z, "entries": [...], "cells": [...]}); the completion object
// ({"solutions": N, "bestBound": B, "xxh3Checksum": H, "complete": true,
// ...}, with "checksum" in the outputs of version 0.1.0, "classes" for a
// --classes output). Outputs of earlier versions end with a closing object
// ({"solutions": N, "bestBound": B}) instead.
class JsonWriter : public RecordWriter {
public:
    using RecordWriter::RecordWriter;

    std::string Head() const override;
    void AppendHead(std::string& line, std::initializer_list<RecordNumber> numbers) const override;
    void AppendBody(std::string& line, const Cells& cells, bool allCells,
                    std::optional<std::int32_t> bestBound) const override;
    std::string Completion(const CompletionRecord& record) const override;
    std::string Interruption(const CompletionRecord& record) const override;
};

// Takes only what the writer writes: a key given twice, an unknown key or
// spacing the writer never writes is a problem.
class JsonParser : public RecordParser {
public:
    using RecordParser::RecordParser;

    // Whether an output in JSON opens with this line.
    static bool Opens(std::string_view line);

private:
    void Line(std::string_view line) override;
};

} // namespace pandicube
