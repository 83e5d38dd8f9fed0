#pragma once

#include "search/engine.h"
#include "search/rows/outer_units.h"
#include "search/run_setup.h"
#include "search/vocabulary.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pandicube {

enum class OutputFormat { Text, Json, Csv };

// The program that writes the outputs, as they name it.
inline constexpr std::string_view kProgramName = "pandicube-search";

// "text", "json", "csv".
const char* FormatName(OutputFormat format);

// Everything that determines what a run writes: the program version, the
// bound, the bound walk, the start values, the slice, entries or whole
// cubes, the closing report alone, and the format. Every output opens with
// it, so that a file always says which run it belongs to.
struct RunIdentity {
    std::string version;
    RunSetup setup{300}; // the bound, the start values and the bound walk
    std::optional<Slice> slice;
    bool cube = false;
    bool classes = false; // one record per essentially different cube
    bool countOnly = false;
    bool census = false; // the cubes and classes per largest value (census_record.h)
    OutputFormat format = OutputFormat::Text;

    // The run searches the openers of the classes and counts classes, not
    // solutions: a listing or count of classes, or a census.
    bool CountsClasses() const { return classes || census; }
};

// The search of the run, from its start (on one thread).
RunPlan PlanOf(const RunIdentity& identity);
// The outer units of the run (of its slice), in the order of the search:
// those of the whole run, also with --classes, whose slices deal out the
// whole run's units.
OuterUnits RunUnits(const RunIdentity& identity);

// The version of this program.
std::string ProgramVersion();

// The options that repeat the run, in one fixed order:
// "--bound 300 --reduce --start 203,-75,-30,-58 --slice 3/8 --cube
// --classes --count-only --census --format text" (the flags only when set).
std::string RunOptions(const RunIdentity& identity);
// The identity without its slice: what the slices of one run share.
RunIdentity WholeRun(RunIdentity identity);
bool SameRun(const RunIdentity& a, const RunIdentity& b);

// Parses RunOptions' text; nullopt unless it is exactly such a text.
std::optional<RunIdentity> ParseRunOptions(std::string_view options, std::string version);

// The versions whose outputs this one goes on writing: its own, and the
// earlier ones of kEarlierVersions, each with its own checksum.
bool ContinuableVersion(const std::string& version);

} // namespace pandicube
