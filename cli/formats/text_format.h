#pragma once

#include "cli/formats/record_format.h"

#include <memory>
#include <string_view>

namespace pandicube {

// The text output: the identity comment; "solution N: e1 ... e62" (with
// " | best upper bound: B" from a run that reduces the bound), or with
// --cube "solution N:" and the five planes of the whole cube, each
// "plane P:" and five rows of five, right-aligned to the widest value;
// then "computation terminated", the count sentence and the completion
// comment. A --classes output has "class N: solution S, size Z: c1 ...
// c125" records (or the planes after "class N: solution S, size Z:"), and
// the completion comment alone at its end.
std::unique_ptr<RecordWriter> MakeTextWriter(const RunIdentity& identity);
std::unique_ptr<RecordParser> MakeTextParser(RecordSink& sink);
// Whether an output in text opens with this line.
bool OpensTextOutput(std::string_view line);

} // namespace pandicube
