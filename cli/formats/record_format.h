#pragma once

#include "cli/formats/checksum.h"
#include "cli/formats/run_identity.h"
#include "search/cells.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace pandicube {

// What every output format provides, and the records its lines carry: a
// RecordWriter, which makes the lines of its records, and a RecordParser,
// which reads them back. SolutionWriter and OutputReader drive them; the
// formats themselves are chosen in all_formats.h.

// Where a record stands in its input: the line it starts on, and the byte
// offsets of its first byte and of the byte after its last line.
struct RecordPlace {
    std::size_t line = 0;
    std::uint64_t offset = 0;
    std::uint64_t end = 0;
};

// One cube read back from the tool's output: its solution number, its 125
// cells (given, or built from 62 entries with the complement rule) and the
// best upper bound it carried, if any.
struct CubeRecord : RecordPlace {
    std::int64_t number = 0;
    bool givenAsCells = false;
    Cells cells{};
    std::optional<std::int32_t> bestBound;
    // A class record of a --classes output (`number` is the class's number,
    // `cells` its standard form): the run's solution that first met the
    // class, and the class's size.
    struct ClassOf {
        std::int64_t solution = 0;
        std::int32_t size = 0;
    };
    std::optional<ClassOf> classOf;
};

// The identity line that opens every output.
struct IdentityRecord : RecordPlace {
    RunIdentity identity;
};

// The closing report of one output: the text lines "computation terminated"
// and the count sentence, the CSV count row of --count-only, or the closing
// JSON object of an output written before outputs carried a completion record.
struct ClosingRecord : RecordPlace {
    std::int64_t count = 0;
    std::optional<std::int32_t> bestBound;
};

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

// A number that opens a record: "solution" 3, or "class" 2, "solution" 5
// and "size" 24.
struct RecordNumber {
    const char* name;
    std::int64_t value;
};

// How one format writes an output's lines; SolutionWriter counts, sums and
// writes what it makes. A record is its head (its numbers) and its body:
// its entries (or all cells with `allCells` or a --cube run), then the best
// upper bound when one is given. Every call may run on any thread.
class RecordWriter {
public:
    explicit RecordWriter(RunIdentity identity) : identity_(std::move(identity)) {}
    virtual ~RecordWriter() = default;

    // The lines that open the output: the identity (and a table's header).
    virtual std::string Head() const = 0;
    virtual void AppendHead(std::string& line, std::initializer_list<RecordNumber> numbers) const = 0;
    virtual void AppendBody(std::string& line, const Cells& cells, bool allCells,
                            std::optional<std::int32_t> bestBound) const = 0;
    // The end of the output: the closing report of a complete run, where the
    // format has one, and the completion record.
    virtual std::string End(const CompletionRecord& record) const = 0;

protected:
    const RunIdentity identity_;
};

// Where a RecordParser hands what it finds. The reader places the records'
// ends (the offset after the line just read) and counts the problems.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual void Identity(IdentityRecord identity) = 0;
    // A table's header line, the one just read.
    virtual void Header() = 0;
    virtual void Cube(CubeRecord cube) = 0;
    virtual void Closing(ClosingRecord closing) = 0;
    virtual void Completion(const CompletionRecord& completion) = 0;
    virtual void ProblemAt(std::size_t line, const std::string& message) = 0;
    // The input ends inside a record: the output was cut off (a killed run).
    virtual void CutShortAt(std::size_t line, const std::string& message) = 0;
};

// Reads the lines of one format, one at a time, and hands their records on.
class RecordParser {
public:
    explicit RecordParser(RecordSink& sink) : sink_(sink) {}
    virtual ~RecordParser() = default;

    // One line without its end, its number and the offset of its first byte.
    void Read(std::string_view line, std::size_t number, std::uint64_t offset)
    {
        lineNumber_ = number;
        lineOffset_ = offset;
        Line(line);
    }
    // At the end of the input: reports a record left open.
    virtual void Finish() {}

protected:
    virtual void Line(std::string_view line) = 0;
    // The line being read, as the place of a record that starts on it.
    RecordPlace Here() const { return RecordPlace{lineNumber_, lineOffset_, 0}; }
    void Place(RecordPlace& record) const { record = Here(); }
    void Problem(const std::string& message) { sink_.ProblemAt(lineNumber_, message); }

    RecordSink& sink_;
    std::size_t lineNumber_ = 0;
    std::uint64_t lineOffset_ = 0;
};

// Fills `cells` with the cube of 62 entries; returns what is wrong (empty
// when nothing is), for an entry whose complement leaves the 32-bit range.
std::string FillCells(const Entries& e, Cells& cells);

} // namespace pandicube
