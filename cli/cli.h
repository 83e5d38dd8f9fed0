#pragma once

#include <iosfwd>

namespace pandicube {

// The headless front end `pandicube-search`: parses the arguments, runs the
// search and writes the solutions to `out`, refusals and errors to `err`.
// Returns the exit status: 0 when the search ran to its end, 2 for refused
// input.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

} // namespace pandicube
