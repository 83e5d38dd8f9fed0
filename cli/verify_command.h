#pragma once

#include "cli/cli_environment.h"

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

namespace pandicube {

struct VerifyOptions {
    std::string file;                 // "-" for standard input
    std::optional<std::string> bound; // the upper bound U, as typed
    bool partial = false;             // accept outputs without completion record
};

// `pandicube-search verify FILE`: checks every cube of the file on its own
// from the geometry and reports each failing cube with its rules and lines,
// then "N cubes checked, N valid, N invalid"; and judges the file as a whole
// (identity, order, numbering, best upper bounds, completion record, count
// and checksum). Returns 0 when all is sound, 1 when a cube is invalid, 2 for
// malformed or incomplete input (incomplete is accepted with `partial`) or a
// refused option, 3 when the report cannot be written.
int RunVerifyCommand(const VerifyOptions& options, const CliEnvironment& env, std::ostream& out, std::ostream& err);

// Opens `file` ("-": the environment's standard input); on failure writes
// the reason to `err` and returns null.
std::istream* OpenInput(const std::string& file, const CliEnvironment& env, std::unique_ptr<std::istream>& owned,
                        std::ostream& err, const char* command);

} // namespace pandicube
