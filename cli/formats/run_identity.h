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

// The hash that a run's checksum sums (search/solution_hash.h): FNV-1a in
// the outputs of version 0.1.0, XXH3 in those of later versions. Each output
// keeps its own: a resumed or merged output goes on with its version's.
enum class ChecksumKind { Fnv1a, Xxh3 };
ChecksumKind ChecksumKindOf(const std::string& version);
// The versions whose outputs this one goes on writing: its own, and 0.1.0
// with its FNV-1a checksum.
bool ContinuableVersion(const std::string& version);
std::uint64_t SolutionHashOf(ChecksumKind kind, const Entries& entries);

// The last record of every output: the number of solutions, the best upper
// bound of a run that reduces it (when it found a solution), the checksum of
// the solutions, and whether the run completed or was interrupted, by which
// signal, and at which outer unit it goes on.
struct CompletionRecord {
    std::size_t line = 0;
    std::int64_t solutions = 0; // the classes of a --classes output
    bool classes = false;       // counts classes: "21 classes", {"classes": 21, ...}
    std::optional<std::int32_t> bestBound;
    std::uint64_t checksum = 0;
    ChecksumKind checksumKind = ChecksumKind::Xxh3; // names the checksum
    bool complete = true;
    std::string signal;            // "SIGINT", ... when interrupted
    std::optional<OuterUnit> next; // the first unit not yet searched
};

// The checksum of a run's solutions is the sum, modulo 2^64, of the hash of
// each solution's 62 entries. The order of the solutions is checked on its
// own (they come in the order of the search), so the sums of the slices add
// up to the whole run's. Written as 16 hexadecimal digits.
std::string ChecksumText(std::uint64_t checksum);
std::optional<std::uint64_t> ParseChecksum(std::string_view text);

} // namespace pandicube
