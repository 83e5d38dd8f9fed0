#pragma once

#include "cli/formats/record_format.h"

#include <memory>
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
std::unique_ptr<RecordWriter> MakeJsonWriter(const RunIdentity& identity);
std::unique_ptr<RecordParser> MakeJsonParser(RecordSink& sink);
// Whether an output in JSON opens with this line.
bool OpensJsonOutput(std::string_view line);

} // namespace pandicube
