#pragma once

#include "cli/cli_environment.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace pandicube {

struct MergeOptions {
    std::vector<std::string> files; // "-" for standard input
};

// `pandicube-search merge FILE...`: reads the outputs of slice runs (all in
// one format, with entries or all with cells) and writes their solutions as a
// single run writes them: in the order of the search, numbered 1 to N, with
// the closing report of the total. Outputs of --count-only runs merge into the
// sum of their counts. Returns 0, or 2 when an input is malformed, unfinished,
// carries a best upper bound, repeats a solution or differs in format.
int RunMergeCommand(const MergeOptions& options, const CliEnvironment& env, std::ostream& out, std::ostream& err);

} // namespace pandicube
