#pragma once

#include "cli/formats/run_identity.h"
#include "search/cells.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>

namespace pandicube {

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

struct CensusRecord; // census_record.h

// Receives what the reader finds, in the order of the input.
class CubeSink {
public:
    virtual ~CubeSink() = default;
    virtual void OnIdentity(const IdentityRecord&) {}
    // The CSV header line; `end` is the offset after it.
    virtual void OnHeader(std::uint64_t /*end*/) {}
    virtual void OnCube(const CubeRecord& cube) = 0;
    virtual void OnClosing(const ClosingRecord&) {}
    virtual void OnCompletion(const CompletionRecord&) {}
    // A row of a --census output.
    virtual void OnCensusRow(const CensusRecord&) {}
    // Input that is not part of any output the tool writes.
    virtual void OnProblem(std::size_t line, const std::string& message) = 0;
    // The input ends inside a record: the output was cut off (a killed run).
    virtual void OnCutShort(std::size_t line, const std::string& message) { OnProblem(line, message); }
};

// The limits of what the reader takes: longer lines, and more problems than
// this, end the reading.
inline constexpr std::size_t kMaxLineLength = 64 * 1024;
inline constexpr std::size_t kMaxProblems = 100;

// Reads every output format the tool writes: text (entries on one line, or
// the five planes of the whole cube), JSON Lines and CSV, each with entries
// or cells, with identity and completion records or without (as written by
// earlier versions). Never throws on bad input: every line it cannot take is
// reported to the sink with its number. A line longer than kMaxLineLength, a
// read error or the kMaxProblems-th problem ends the reading. Step() reads
// one line, so that several inputs can be read side by side.
class OutputReader {
public:
    OutputReader(std::istream& in, CubeSink& sink);
    OutputReader(std::streambuf& in, CubeSink& sink);
    ~OutputReader();
    OutputReader(const OutputReader&) = delete;
    OutputReader& operator=(const OutputReader&) = delete;

    // Starts counting bytes and lines at these values (after a seek).
    void StartAt(std::uint64_t offset, std::size_t line);
    // Reads and hands on one line; false at the end of the input.
    bool Step();
    // The format (from the first line), once known.
    std::optional<OutputFormat> Format() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// Reads the whole input.
void ReadCubes(std::istream& in, CubeSink& sink);
void ReadCubes(std::streambuf& in, CubeSink& sink);

// The bytes of a string as a stream buffer, without a stream around them.
class TextBuffer : public std::streambuf {
public:
    explicit TextBuffer(std::string_view text)
    {
        char* begin = const_cast<char*>(text.data());
        setg(begin, begin, begin + text.size());
    }
    void SeekTo(std::uint64_t offset) { setg(eback(), eback() + offset, egptr()); }
};

// A whole decimal number as the writer writes it: an optional "-" and 1 to 10
// digits without a leading zero (0 itself, never -0), in the signed 32-bit
// range.
std::optional<std::int32_t> ParseInt32(std::string_view text);
// The same for counts and solution numbers: 1 to 19 digits, in the signed
// 64-bit range; a number beyond it is refused, never wrapped.
std::optional<std::int64_t> ParseInt64(std::string_view text);

// Fills `cells` with the cube of 62 entries; returns what is wrong (empty
// when nothing is), for an entry whose complement leaves the 32-bit range.
std::string FillCells(const Entries& e, Cells& cells);

} // namespace pandicube
