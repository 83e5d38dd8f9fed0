#pragma once

#include "cli/formats/census_record.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <variant>
#include <vector>

namespace pandicube {

// A whole --census output as read: its identity, its rows and its completion
// record.
struct CensusOutput {
    RunIdentity identity;
    std::vector<CensusRow> rows;
    CompletionRecord completion;
};

// Reads one complete --census output in any of the three formats, checking
// its rows and its completion record as verify does; otherwise the reason,
// "line N: ...".
std::variant<CensusOutput, std::string> ReadCensus(std::istream& in);
// The same, handing each row to `onRow` as it is read and keeping none, so
// that a census of millions of rows is read in little memory: the result's
// rows are empty. A row handed on may belong to an input refused later.
std::variant<CensusOutput, std::string> ReadCensus(std::istream& in,
                                                   const std::function<void(const CensusRow&)>& onRow);

} // namespace pandicube
