#pragma once

#include "cli/formats/cube_reader.h"

#include <string>
#include <string_view>

namespace pandicube {

// One line of JSON Lines output, parsed: the identity object ({"program":
// "pandicube-search", "version": V, "run": OPTIONS}), a cube ({"solution": N,
// "entries": [...], "cells": [...], "bestBound": B}, with entries or cells or
// both), the completion object ({"solutions": N, "bestBound": B,
// "xxh3Checksum": H, "complete": true, ...}, with "checksum" in the outputs of
// version 0.1.0), the closing object of earlier versions
// ({"solutions": N, "bestBound": B}), or an error saying why the line is none
// of them. A key given twice is an error.
struct JsonRecord {
    std::string error;
    CubeRecord cube;
    std::optional<ClosingRecord> closing;
    std::optional<RunIdentity> identity;
    std::optional<CompletionRecord> completion;
};

JsonRecord ParseJsonRecord(std::string_view line);

} // namespace pandicube
