#pragma once

#include "cli/formats/record_format.h"

#include <memory>
#include <string>
#include <string_view>

namespace pandicube {

// CSV: the identity comment, a header line and one row per solution
// ("N,e1,...,e62" or with --cube "N,c1,...,c125", then ",B" when the run
// reduces the bound) or per class ("N,S,Z,c1,...,c125"); the count of a
// --count-only run is a table of its own ("solutions" or
// "solutions,bestBound", or "classes", and one row); then the completion
// comment.
std::unique_ptr<RecordWriter> MakeCsvWriter(const RunIdentity& identity);
std::unique_ptr<RecordParser> MakeCsvParser(RecordSink& sink);
// Whether an output in CSV opens with this line.
bool OpensCsvOutput(std::string_view line);
// The CSV header of a --classes output: "class,solution,size,c1,...,c125".
std::string CsvClassHeader();

// The CSV header: "solution,e1,...,e62" or "solution,c1,...,c125", with
// ",bestBound" when the run reduces the bound; "solutions" or
// "solutions,bestBound" for an output of the count alone.
std::string CsvHeader(bool cells, bool bestBound, bool countOnly);

} // namespace pandicube
