#pragma once

#include "cli/cli_environment.h"

#include <iosfwd>

namespace pandicube {

// The headless front end `pandicube-search`: the search (options at the top
// level), `verify FILE` and `merge FILE...`. Writes results to `out`,
// refusals, reports of malformed input and the progress line to `err`.
// Returns the exit status: 0 on success, 1 when `verify` finds an invalid
// cube, 2 for refused or malformed input.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err, const CliEnvironment& env);

// As above, with standard input and without a terminal.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

} // namespace pandicube
