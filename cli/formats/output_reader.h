#pragma once

#include "cli/formats/record_format.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>

namespace pandicube {

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

} // namespace pandicube
