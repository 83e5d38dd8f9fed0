#pragma once

#include "cli/cli_environment.h"
#include "cli/commands/search_command.h"
#include "cli/formats/run_identity.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <variant>

namespace pandicube {

// A command line that cannot run: says so, and points to the help (exit 2).
int RefuseUsage(std::ostream& err, const std::string& message);
// A run that cannot go on: says so (exit 2).
int RefuseWith(std::ostream& err, const std::string& message);

// --threads as typed (none: one per core); none after its refusal.
std::optional<unsigned> ParseThreads(const std::optional<std::string>& text, const CliEnvironment& env,
                                     std::ostream& err);

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
