#pragma once

#include "cli/cli_environment.h"
#include "cli/commands/search_command.h"
#include "cli/formats/run_identity.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <variant>

namespace pandicube {

// A search command line that can run: the identity of its output and its
// threads.
struct CheckedSearch {
    RunIdentity identity;
    unsigned threads = 1;
};

// Checks the search options in the order the help gives them, the bound and
// start values by the window's rules, then the options that cannot go
// together; the exit status of the first refusal, written to `err`.
std::variant<CheckedSearch, int> CheckSearchOptions(const SearchOptions& opt, const CliEnvironment& env,
                                                    std::ostream& err);

} // namespace pandicube
