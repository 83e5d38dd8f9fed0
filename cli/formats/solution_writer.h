#pragma once

#include "cli/formats/run_identity.h"
#include "search/cells.h"
#include "search/cube/cube_classes.h"
#include "search/search_reporter.h"

#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <optional>
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

// Writes the output of a run (or of merged slices) to a stream. Every output
// opens with the run's identity and ends with a completion record (the
// count, the best upper bound when the run reduces it and found a solution,
// the checksum of the solutions, and whether the run completed):
//   text: "# pandicube-search VERSION OPTIONS"; "solution N: e1 ... e62", or
//         with `cube` a "solution N:" line and the five planes; then
//         "computation terminated", the count sentence and "# complete: ...";
//   json: the identity object, one object per solution, the completion object;
//   csv:  the identity comment, a header line and one row per solution (with
//         countOnly a "solutions" header and one row), the completion comment.
// With `classes` one record per class instead of one per solution, its
// standard form in cells (SolutionWriter::WriteClass), and the completion
// record counts the classes.
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
    // The solutions of one unit searched by rows, numbered on from the last
    // one written, all in one write. PrepareUnit, which may run on any thread
    // and at the same time as any other call but WriteHead, makes their
    // records but for the numbers beforehand; WriteUnit writes what it finds
    // prepared and makes the rest. A --count-only run only adds the unit's
    // count and hash sum; with --classes, whose cubes each open a class,
    // PrepareUnit makes these the hashes of the classes' standard forms.
    void PrepareUnit(UnitSolutions& unit, std::int32_t bestBound) const;
    void WriteUnit(const UnitSolutions& unit, std::int32_t bestBound);
    // One class of essentially different cubes (a --classes run):
    //   text: "class N: solution S, size Z: c1 ... c125", or with `cube`
    //         "class N: solution S, size Z:" and the five planes;
    //   json: {"class": N, "solution": S, "size": Z, "entries": [...], "cells": [...]};
    //   csv:  "N,S,Z,c1,...,c125" under "class,solution,size,c1,...,c125".
    // The checksum runs over the standard form's first 62 cells.
    void WriteClass(const CubeClass& c);
    // The closing report and the completion record.
    void WriteCompletion();
    // The record of a run ended by a signal: where it stopped and how it goes
    // on (`next`, the first outer unit not searched; none when it starts over).
    void WriteInterruption(const std::string& signal, std::optional<OuterUnit> next);
    // Counts as written the solutions of an earlier part of the same run (a
    // resumed run), or of runs whose counts alone are merged.
    void ContinueAfter(std::int64_t solutions, std::uint64_t checksum, std::optional<std::int32_t> bestBound);

    std::int64_t Solutions() const { return solutions_; }
    std::uint64_t Checksum() const { return checksum_; }

private:
    // A number that opens a record: "solution" 3, or "class" 2, "solution"
    // 5 and "size" 24.
    struct RecordNumber {
        const char* name;
        std::int64_t value;
    };
    // A record is its head (its numbers) and its body: its entries (or all
    // cells with `allCells` or a --cube run), then the best upper bound when
    // one is given. A solution's body does not depend on its number.
    void AppendHead(std::string& line, std::initializer_list<RecordNumber> numbers) const;
    void AppendBody(std::string& line, const Cells& cells, bool allCells, std::optional<std::int32_t> bestBound) const;
    void AppendSolutionBody(std::string& line, const Cells& cells, std::int32_t bestBound) const;
    std::uint64_t HashOf(const Entries& entries, std::optional<std::uint64_t> found) const;
    void WriteTextCube(std::string& line, const Cells& cells) const;
    // ", \"bestBound\": B" in JSON, ",B" in CSV; nothing without reduction.
    void AppendBestBound(std::string& line, std::int32_t bestBound) const;
    CompletionRecord Record() const;
    void Put(std::string_view text, bool flush);
    // Counts one more solution (or class).
    void CountOne();

    std::ostream& out_;
    RunIdentity identity_;
    ChecksumKind kind_;
    std::string unitText_;
    std::int64_t solutions_ = 0;
    std::uint64_t checksum_ = 0;
    std::optional<std::int32_t> bestBound_;
};

// The CSV header of a --classes output: "class,solution,size,c1,...,c125".
std::string CsvClassHeader();

// The CSV header: "solution,e1,...,e62" or "solution,c1,...,c125", with
// ",bestBound" when the run reduces the bound; "solutions" or
// "solutions,bestBound" for an output of the count alone.
std::string CsvHeader(bool cells, bool bestBound, bool countOnly);

} // namespace pandicube
