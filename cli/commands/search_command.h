#pragma once

#include "cli/cli_environment.h"
#include "cli/formats/solution_writer.h"
#include "search/engine.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace pandicube {

// The search options as typed; the texts are checked by the input rules.
struct SearchOptions {
    std::string bound = "300";
    bool reduce = false;
    std::optional<std::string> start;
    OutputFormat format = OutputFormat::Text;
    bool cube = false;
    bool classes = false; // one record per essentially different cube
    bool countOnly = false;
    bool census = false; // the cubes and classes per largest value instead of the solutions
    bool quiet = false;
    std::optional<std::string> threads;
    std::optional<std::string> slice;
    std::optional<std::string> output; // written as OUTPUT.part, renamed when whole
    // Safe to run again: an OUTPUT.part of the same run is continued, a
    // complete OUTPUT of the same run left as it is, another run's refused.
    bool continueRun = false;
    EnginePath path = EnginePath::Auto;
};

// Checks the options, runs the search and writes its output to `out` (or to
// the output file), refusals and the progress line to `err`. Returns 0; 2
// for refused input; 3 when the output cannot be written; 128 + S when
// signal S ended the run (its output then ends with a record that says so).
int RunSearchCommand(const SearchOptions& options, const CliEnvironment& env, std::ostream& out, std::ostream& err);

// `pandicube-search resume FILE`: continues the output of a run that was
// interrupted or killed, in place, so that FILE ends up holding exactly what
// the whole run writes; FILE.part is renamed to FILE when it is whole.
struct ResumeOptions {
    std::string file;
    std::optional<std::string> threads;
    bool quiet = false;
};
int RunResumeCommand(const ResumeOptions& options, const CliEnvironment& env, std::ostream& err);

// The most threads and slices the options take.
inline constexpr std::int32_t kMaxThreads = 1024;
inline constexpr std::int32_t kMaxSlices = 1000000;

} // namespace pandicube
