#pragma once

#include "cli/formats/census_record.h"
#include "cli/formats/record_format.h"
#include "search/cells.h"
#include "search/cube/cube_classes.h"
#include "search/search_reporter.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pandicube {

// The output could not be written; what() names the cause ("No space left on
// device").
class WriteFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Checks a stream after writing to it: throws WriteFailure with the system's
// reason when the write failed.
void CheckWritten(std::ostream& out);

// Writes the output of a run (or of merged slices) to a stream, in the
// format that the run's identity names (text_format.h, json_format.h,
// csv_format.h), and counts and sums what it writes. Every output opens with
// the run's identity and ends with a completion record (the count, the best
// upper bound when the run reduces it and found a solution, the checksum of
// the solutions, and whether the run completed). With `classes` one record
// per class instead of one per solution, its standard form in cells, and the
// completion record counts the classes.
// Every write is checked; a failure throws WriteFailure.
class SolutionWriter {
public:
    SolutionWriter(std::ostream& out, RunIdentity identity);

    const RunIdentity& Identity() const { return identity_; }

    // The identity line (and the CSV header), flushed.
    void WriteHead();
    // One solution; `bestBound` is written only when the run reduces the bound.
    // `hash`, its SolutionHash when the search has computed it, spares the
    // writer computing it again.
    void WriteSolution(std::int64_t number, const Cells& cells, std::int32_t bestBound,
                       std::optional<std::uint64_t> hash = std::nullopt);
    // The same for a solution as the search found it.
    void WriteSolution(std::int64_t number, const Entries& entries, std::int32_t bestBound, std::uint64_t hash);
    // A solution's record but for its head ("solution N"), appended to
    // `text`; any thread may make these while another writes.
    void AppendSolutionBody(std::string& text, const Entries& entries, std::int32_t bestBound) const;
    // The solutions of one part of a unit searched by rows, numbered on from
    // the last one written, all in one write: `text` holds their records but
    // for the heads, solution i's ending at ends[i].
    void WriteSolutionBodies(const UnitSolutions& part, std::string_view text, std::span<const std::size_t> ends,
                             std::int32_t bestBound);
    // The solutions of one part counted (--count-only), none written.
    void CountSolutions(const UnitSolutions& part, std::int32_t bestBound);
    // One class of essentially different cubes (a --classes run): its
    // number, the solution that first met it, its size and its standard
    // form. The checksum runs over the standard form's first 62 cells.
    void WriteClass(const CubeClass& c);
    // A class's record but for its head, from its standard form, appended to
    // `text`; any thread may make these while another writes.
    void AppendClassBody(std::string& text, const Cells& standardForm) const;
    // A class as WriteClass writes it, its record but for the head made
    // beforehand (AppendClassBody) and the hash of its standard form given
    // (HashOfClass); held until WriteClassRecords writes what was added.
    void AddClassRecord(std::int64_t number, std::int64_t firstSolution, int sizeInRun, std::uint64_t hash,
                        std::string_view body);
    void WriteClassRecords();
    // One class of a count of classes, by the cube that opens it, none
    // written (HashOfCountedClass); in a census also at its largest value
    // (its census rows are written with the completion record).
    void CountClass(const Entries& opener);
    // Classes counted elsewhere, by the sum of their hashes
    // (HashOfCountedClass), without their largest values.
    void CountClasses(std::int64_t classes, std::uint64_t hashSum);
    // What the checksum adds for a class with this standard form.
    std::uint64_t HashOfClass(const Entries& standardForm) const { return SolutionHashOf(kind_, standardForm); }
    // What the checksum of a count of classes adds for the class that
    // `opener` opens: the hash of the opener's free entries (OpenerHash), or
    // in the outputs of versions 0.1.0 and 0.2.0 that of the class's
    // standard form.
    std::uint64_t HashOfCountedClass(const Entries& opener) const;
    // Whether HashOfCountedClass needs no more of an opener than its free
    // entries.
    bool HashesOpeners() const { return countsHashOpeners_; }
    // Classes of a census at their largest value `bound` (their count and
    // checksum: CountClasses, or ContinueAfter for merged rows).
    void AddCensusClasses(std::int32_t bound, std::int64_t classes) { census_.Add(bound, classes); }
    // The closing report (or the census rows) and the completion record.
    void WriteCompletion();
    // The record of a run ended by a signal: where it stopped and how it goes
    // on (`next`, the first outer unit not searched; none when it starts over).
    void WriteInterruption(const std::string& signal, std::optional<OuterUnit> next);
    // Counts as written the solutions of an earlier part of the same run (a
    // resumed run), or of runs whose counts alone are merged.
    void ContinueAfter(std::int64_t solutions, std::uint64_t checksum, std::optional<std::int32_t> bestBound);

    std::int64_t Solutions() const { return solutions_; }
    std::uint64_t Checksum() const { return checksum_; }
    std::optional<std::int32_t> BestBound() const { return bestBound_; }

private:
    void AppendBody(std::string& line, const Cells& cells, std::int32_t bestBound) const;
    std::uint64_t HashOf(const Entries& entries, std::optional<std::uint64_t> found) const;
    CompletionRecord Record() const;
    void Put(std::string_view text, bool flush);
    // Counts one more solution (or class), or `more`.
    void CountOne();
    void CountMore(std::int64_t more);
    // Adds a part's solutions to the checksum and takes its best bound.
    void TakePart(const UnitSolutions& part, std::int32_t bestBound);
    void WriteLine(std::int64_t number, const Cells& cells, std::int32_t bestBound);

    std::ostream& out_;
    RunIdentity identity_;
    std::unique_ptr<RecordWriter> format_; // makes the lines of the identity's format
    ChecksumKind kind_;
    bool countsHashOpeners_;
    std::string unitText_;
    std::int64_t solutions_ = 0;
    std::uint64_t checksum_ = 0;
    std::optional<std::int32_t> bestBound_;
    CensusTable census_;
};

} // namespace pandicube
