#pragma once

#include "cli/formats/census_record.h"
#include "cli/formats/output_reader.h"
#include "search/cube/solution_order.h"
#include "search/rows/outer_units.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pandicube {

// One output found in an input: from its identity line to its completion
// record (or, for an output of an earlier version, to its closing report).
struct OutputPart {
    std::size_t line = 0;     // its first line
    std::uint64_t offset = 0; // the offset of its first byte
    std::optional<RunIdentity> identity;
    std::uint64_t headEnd = 0;       // the offset after the identity (and the CSV header)
    std::int64_t solutions = 0;      // solution records read
    std::uint64_t checksum = 0;      // of those records
    std::optional<CubeRecord> first; // the first solution record read
    std::optional<CubeRecord> last;  // the last solution record read
    std::optional<std::int64_t> closingCount;
    std::optional<CompletionRecord> completion;
    std::vector<CensusRow> census; // the rows of a --census output
    std::size_t problems = 0;
    std::string cutShort; // where and how the input ends inside a record

    bool Complete() const { return completion && completion->complete && problems == 0; }
    // Solutions of the run: read, or counted by a --count-only run.
    std::int64_t Count() const;
};

// What is wrong with a row that follows `previous` (none for the first) in
// the census of a run at `runBound`: its bound not above the one before or
// above the run's, no class, cubes not 24 per class, running totals that do
// not add up. Empty when nothing is.
std::string CensusRowFault(const CensusRow& row, const CensusRow* previous, std::int32_t runBound);
// What is wrong with the completion record that follows the rows ending in
// `last` (none: no rows): a complete census counts the classes of its rows;
// an interrupted one has written no rows.
std::string CensusCompletionFault(const CompletionRecord& completion, const CensusRow* last);

// Judges the structure of whole outputs while they are read: every output
// opens with its identity and ends with a completion record; solutions are
// numbered from 1 without a gap, come in the order of the search and are of
// the kind the identity names; each is one that its run lists (e14 below 63,
// the values that pass the loops' filters, and the outer unit, or with
// --classes that of the class's first member, in the slice the identity
// names); under --reduce each carries its cube's largest value as the best
// upper bound, strictly falling; the completion record's count, checksum and
// bound agree with the solutions before it.
// Every fault goes to `report` with its line; each cube read to `onCube`.
class OutputJudge : public CubeSink {
public:
    using Report = std::function<void(std::size_t line, const std::string& message)>;
    using CubeHandler = std::function<void(const CubeRecord& cube, const OutputPart& part)>;

    explicit OutputJudge(Report report, CubeHandler onCube = {});

    void OnIdentity(const IdentityRecord& record) override;
    void OnHeader(std::uint64_t end) override;
    void OnCube(const CubeRecord& cube) override;
    void OnClosing(const ClosingRecord& closing) override;
    void OnCompletion(const CompletionRecord& completion) override;
    void OnCensusRow(const CensusRecord& record) override;
    void OnProblem(std::size_t line, const std::string& message) override;
    void OnCutShort(std::size_t line, const std::string& message) override;

    const std::vector<OutputPart>& Parts() const { return parts_; }
    std::size_t Problems() const { return problems_; }

private:
    // The output a record belongs to; opens one without identity when needed.
    OutputPart& Current(std::size_t line, std::uint64_t offset);
    void Problem(std::size_t line, const std::string& message);
    // Why the record of the current output, with entries `e`, lies outside
    // its slice (empty when it does not, or the output is not a slice's).
    std::string OutsideSliceOf(const CubeRecord& cube, const Entries& e) const;
    // Why a record, with order key `key`, does not stand where it does in
    // its output: its number, form, size, order or best upper bound (empty
    // when it does).
    std::string PlaceFault(const OutputPart& part, const CubeRecord& cube, const SolutionOrderKey& key) const;

    Report report_;
    CubeHandler onCube_;
    std::vector<OutputPart> parts_;
    std::optional<SolutionOrderKey> lastKey_;
    std::optional<OuterUnits> runUnits_; // the whole run's, for an output of a slice
    std::size_t problems_ = 0;
};

} // namespace pandicube
