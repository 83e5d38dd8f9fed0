#pragma once

#include "cli/cube_reader.h"

#include <string>
#include <string_view>

namespace pandicube {

// One line of JSON Lines output, parsed: a cube ({"solution": N, "entries":
// [...], "cells": [...], "bestBound": B}, with entries or cells or both), a
// closing object ({"solutions": N, "bestBound": B}), or an error saying why
// the line is neither.
struct JsonRecord {
    std::string error;
    CubeRecord cube;
    std::optional<ClosingRecord> closing;
};

JsonRecord ParseJsonRecord(std::string_view line);

} // namespace pandicube
