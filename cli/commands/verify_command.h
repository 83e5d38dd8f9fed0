#pragma once

#include "cli/cli_environment.h"

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

namespace pandicube {

struct VerifyOptions {
    std::string file;                   // "-" for standard input
    std::optional<std::string> bound;   // the upper bound U, as typed
    bool partial = false;               // accept outputs without completion record
    bool classes = false;               // also group the cubes into classes
    bool search = false;                // search the run again and compare its bytes
    std::optional<std::string> threads; // for the search, as typed
};

// `pandicube-search verify FILE`: checks every cube of the file on its own
// from the geometry and reports each failing cube with its rules and lines,
// then "N cubes checked, N valid, N invalid"; and judges the file as a whole
// (identity, order, numbering, best upper bounds, completion record, count
// and checksum). Returns 0 when all is sound, 1 when a cube is invalid, 2 for
// malformed or incomplete input (incomplete is accepted with `partial`) or a
// refused option, 3 when the report cannot be written.
// With `classes` it also groups the cubes into classes of essentially
// different cubes and writes, for each, "class K: Z cubes: solutions A B ..."
// (the cubes that are images of one another), then "N classes among M
// cubes"; a file that holds one full listing (a complete run without
// --slice, --start or --reduce) that lacks members of a class is refused
// (2), naming the class and how many members it lacks.
// With `search`, a file of one sound output is then compared byte for byte
// with what the run of its identity writes when it is searched again
// (SearchAgain): the only way to prove a file that was edited and given a
// new checksum, or the count of a --count-only output.
int RunVerifyCommand(const VerifyOptions& options, const CliEnvironment& env, std::ostream& out, std::ostream& err);

} // namespace pandicube
