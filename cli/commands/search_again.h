#pragma once

#include "cli/cli_environment.h"
#include "cli/formats/run_identity.h"

#include <iosfwd>
#include <string>

namespace pandicube {

// Searches the run that `identity` names (a whole run or one slice) again
// with `threads` threads and compares what it writes, byte for byte, with
// the file at `path`, which holds that run's output; the search stops at the
// first byte that differs. Writes "FILE: searched again: the same N bytes"
// to `out` and returns 0 when every byte agrees; otherwise names the first
// line that differs on `err` and returns 2 (also for an output of another
// version, whose bytes this program cannot write). A signal that ends the
// search returns 128 + the signal; an unreadable file 2.
int SearchAgain(const std::string& path, const RunIdentity& identity, unsigned threads, const CliEnvironment& env,
                std::ostream& out, std::ostream& err);

} // namespace pandicube
