#include "cli/formats/output_reader.h"

#include "cli/formats/all_formats.h"
#include "cli/formats/census_record.h"
#include "cli/formats/number_text.h"

#include <cerrno>
#include <cstring>
#include <istream>

namespace pandicube {

class OutputReader::Impl : public RecordSink {
public:
    Impl(std::streambuf* in, CubeSink& sink) : in_(in), sink_(sink) {}

    bool Step()
    {
        if (stopped_) return false;
        std::string& line = line_;
        line.clear();
        const LineResult result = NextLine(line);
        if (result == LineResult::End) {
            Finish();
            return false;
        }
        if (result == LineResult::Line) Dispatch(line);
        if (problems_ >= kMaxProblems) Stop("too many problems; the rest of the input is not read");
        return !stopped_;
    }

    void StartAt(std::uint64_t offset, std::size_t line)
    {
        offset_ = offset;
        lineNumber_ = line;
    }

    std::optional<OutputFormat> format_;

private:
    enum class LineResult { Line, Skip, End };

    // Reads one line without its end. A line cut off by the end of the input
    // is reported, not read: an output that was killed ends that way.
    LineResult NextLine(std::string& line)
    {
        std::streambuf* buf = in_;
        if (buf == nullptr) return LineResult::End;
        lineOffset_ = offset_;
        bool any = false;
        bool ended = false;
        try {
            for (;;) {
                const auto c = buf->sbumpc();
                if (c == std::char_traits<char>::eof()) break;
                ++offset_;
                any = true;
                if (c == '\n') {
                    ended = true;
                    break;
                }
                if (line.size() == kMaxLineLength) {
                    ++lineNumber_;
                    Stop("the line is longer than 64 KiB: not an output of pandicube-search");
                    return LineResult::End;
                }
                line.push_back(static_cast<char>(c));
            }
        } catch (const std::exception&) {
            ++lineNumber_;
            Stop(std::string("the input cannot be read: ") + std::strerror(errno));
            return LineResult::End;
        }
        if (!any) return LineResult::End;
        ++lineNumber_;
        if (!ended) {
            CutShortAt(lineNumber_, "the line is cut short: the output ends inside it");
            return LineResult::Skip;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return LineResult::Line;
    }

    void Stop(const std::string& message)
    {
        if (stopped_) return;
        stopped_ = true;
        sink_.OnProblem(lineNumber_, message);
        ++problems_;
    }

    void Finish()
    {
        if (parser_) parser_->Finish();
        stopped_ = true;
    }

    void Dispatch(std::string_view line)
    {
        if (!format_) {
            format_ = FormatOpenedBy(line);
            if (!format_) {
                // Nothing else of such an input would be read either.
                Stop(StartsWith(line, "#")
                         ? "not the identity line of an output of pandicube-search"
                         : "not the start of any output of pandicube-search (text, JSON Lines or CSV)");
                return;
            }
            parser_ = ParserFor(*format_, *this);
        }
        if (census_ && CensusLine(line)) return;
        parser_->Read(line, lineNumber_, lineOffset_);
    }

    // A line of a --census output that holds a row (in CSV, or the table's
    // header): the lines of the identity and the completion record, and in
    // JSON every line that is not a row, are the format's own.
    bool CensusLine(std::string_view line)
    {
        if (StartsWith(line, "#")) return false;
        if (*format_ == OutputFormat::Json && !StartsWith(line, "{\"bound\"")) return false;
        if (*format_ == OutputFormat::Csv && (line == kCensusCsvHeader || !censusHeader_)) {
            censusHeader_ = line == kCensusCsvHeader;
            if (censusHeader_) sink_.OnHeader(offset_);
            if (!censusHeader_) ProblemAt(lineNumber_, "a CSV row without the census header before it");
            return true;
        }
        const std::optional<CensusRow> row = ParseCensusRow(line, *format_);
        if (!row) {
            ProblemAt(lineNumber_, "not a census row of pandicube-search");
            return true;
        }
        CensusRecord record;
        record.line = lineNumber_;
        record.offset = lineOffset_;
        record.end = offset_;
        record.row = *row;
        sink_.OnCensusRow(record);
        return true;
    }

    // From the parser, which places where its records start; each ends
    // after the line just read.
    void Identity(IdentityRecord identity) override
    {
        census_ = identity.identity.census;
        censusHeader_ = false;
        identity.end = offset_;
        sink_.OnIdentity(identity);
    }

    void Header() override { sink_.OnHeader(offset_); }

    void Cube(CubeRecord cube) override
    {
        cube.end = offset_;
        sink_.OnCube(cube);
    }

    void Closing(ClosingRecord closing) override
    {
        closing.end = offset_;
        sink_.OnClosing(closing);
    }

    void Completion(const CompletionRecord& completion) override { sink_.OnCompletion(completion); }

    void CutShortAt(std::size_t line, const std::string& message) override { sink_.OnCutShort(line, message); }

    void ProblemAt(std::size_t line, const std::string& message) override
    {
        ++problems_;
        sink_.OnProblem(line, message);
    }

    std::streambuf* in_;
    std::string line_; // the line being read, kept to spare an allocation per line
    CubeSink& sink_;
    std::uint64_t offset_ = 0;
    std::uint64_t lineOffset_ = 0;
    std::size_t lineNumber_ = 0;
    std::size_t problems_ = 0;
    bool stopped_ = false;
    std::unique_ptr<RecordParser> parser_; // of the format, once known
    bool census_ = false;                  // the output is a --census output
    bool censusHeader_ = false;            // its CSV header is read
};

OutputReader::OutputReader(std::istream& in, CubeSink& sink) : impl_(std::make_unique<Impl>(in.rdbuf(), sink)) {}
OutputReader::OutputReader(std::streambuf& in, CubeSink& sink) : impl_(std::make_unique<Impl>(&in, sink)) {}
OutputReader::~OutputReader() = default;

void OutputReader::StartAt(std::uint64_t offset, std::size_t line)
{
    impl_->StartAt(offset, line);
}

bool OutputReader::Step()
{
    return impl_->Step();
}

std::optional<OutputFormat> OutputReader::Format() const
{
    return impl_->format_;
}

void ReadCubes(std::istream& in, CubeSink& sink)
{
    if (in.rdbuf() != nullptr) ReadCubes(*in.rdbuf(), sink);
}

void ReadCubes(std::streambuf& in, CubeSink& sink)
{
    OutputReader reader(in, sink);
    while (reader.Step()) {
    }
}

} // namespace pandicube
