#pragma once

#include "cli/cli_environment.h"
#include "cli/commands/search_command.h"
#include "cli/formats/output_judge.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

namespace pandicube {

// `pandicube-search resume FILE`: continues the output of a run that was
// interrupted or killed, in place, so that FILE ends up holding exactly what
// the whole run writes; FILE.part is renamed to FILE when it is whole.
struct ResumeOptions {
    std::string file;
    std::optional<std::string> threads;
    bool quiet = false;
};
int RunResumeCommand(const ResumeOptions& options, const CliEnvironment& env, std::ostream& err);

// Where the run of an unfinished output goes on, and the bytes of the output
// it keeps: at the unit the interruption names, or after the last whole
// solution record of a killed run. A run without such a unit starts over
// (`from.unit` empty, nothing kept): a count or census killed before its
// completion record, a run stopped before it left its start values, and a
// run from start values whose last solution lies in its first unit, which
// was searched from the start values on, not whole.
struct ResumePoint {
    RunStart from;
    std::uint64_t keep = 0;
};
ResumePoint WhereRunGoesOn(const OutputPart& part);

} // namespace pandicube
