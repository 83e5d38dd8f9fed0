#pragma once

#include "cli/cli_environment.h"
#include "cli/formats/solution_writer.h"
#include "cli/reporting/run_reporter.h"
#include "search/cube/solution_order.h"
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

// The most threads and slices the options take.
inline constexpr std::int32_t kMaxThreads = 1024;
inline constexpr std::int32_t kMaxSlices = 1000000;

// The threads that `option` asks for (all cores when not given); nullopt
// after a usage error on `err` when its text is no whole number from 1 to
// kMaxThreads.
std::optional<unsigned> ParseThreads(const std::optional<std::string>& text, const std::string& option,
                                     const CliEnvironment& env, std::ostream& err);

class OutputFile;

// Writes a run, its head first when `writeHead`; a complete run's output
// file is renamed to its name. When a signal ended the run, says how to go
// on (with `resumeName`, the file that `resume` takes).
int WriteRun(SolutionWriter& writer, const RunStart& from, unsigned threads, bool quiet, EnginePath path,
             const CliEnvironment& env, std::ostream& err, bool writeHead, bool toFile, OutputFile* file,
             const std::string& resumeName);

} // namespace pandicube
