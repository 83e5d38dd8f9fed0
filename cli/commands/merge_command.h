#pragma once

#include "cli/cli_environment.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace pandicube {

struct MergeOptions {
    std::vector<std::string> files; // "-" for standard input
    bool check = false;             // report on the slices, write nothing
    std::optional<std::string> output;
};

// `pandicube-search merge FILE...`: reads the outputs of the slices 1 ... N of
// one run (several may stand in one file) and writes the output of the whole
// run, byte for byte: its identity, the solutions in the order of the search
// numbered from 1, and its completion record. Outputs of --count-only slices
// merge into the sum of their counts. Refuses (2), naming the files and what
// is wrong, anything but a complete set: a slice missing, given twice,
// incomplete, malformed or from another run. With `check` it reports on each
// slice and writes nothing. 3 when the output cannot be written.
int RunMergeCommand(const MergeOptions& options, const CliEnvironment& env, std::ostream& out, std::ostream& err);

} // namespace pandicube
