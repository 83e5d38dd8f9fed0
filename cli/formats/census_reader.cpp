#include "cli/formats/census_reader.h"

#include "cli/formats/output_judge.h"
#include "cli/formats/output_reader.h"

#include <istream>
#include <utility>

namespace pandicube {

namespace {

// Takes one --census output, hands each row on and keeps the first fault.
class CensusSink : public CubeSink {
public:
    explicit CensusSink(const std::function<void(const CensusRow&)>& onRow) : onRow_(onRow) {}

    void OnIdentity(const IdentityRecord& r) override
    {
        if (haveIdentity_) return Fail(r.line, "a second output begins here");
        if (!r.identity.census) return Fail(r.line, "not the output of a --census run: " + RunOptions(r.identity));
        output_.identity = r.identity;
        haveIdentity_ = true;
    }
    void OnCube(const CubeRecord& cube) override
    {
        Fail(cube.line, "a solution or class record stands in a --census output");
    }
    void OnClosing(const ClosingRecord& closing) override
    {
        Fail(closing.line, "a closing report stands in a --census output");
    }
    void OnCensusRow(const CensusRecord& r) override
    {
        if (!haveIdentity_) return Fail(r.line, "a census row before the identity line");
        if (completed_) return Fail(r.line, "a census row after the completion record");
        const std::string fault = CensusRowFault(r.row, last_ ? &*last_ : nullptr, output_.identity.setup.upperBound);
        if (!fault.empty()) return Fail(r.line, fault);
        last_ = r.row;
        if (error_.empty()) onRow_(r.row);
    }
    void OnCompletion(const CompletionRecord& c) override
    {
        if (!haveIdentity_ || completed_) return Fail(c.line, "a completion record without the identity line");
        const std::string fault = CensusCompletionFault(c, last_ ? &*last_ : nullptr);
        if (!fault.empty()) return Fail(c.line, fault);
        if (!c.complete)
            return Fail(c.line, "the run was interrupted by " + c.signal + "; pandicube-search resume runs it again");
        output_.completion = c;
        completed_ = true;
    }
    void OnProblem(std::size_t line, const std::string& message) override { Fail(line, message); }

    std::variant<CensusOutput, std::string> Result() const
    {
        if (!error_.empty()) return error_;
        if (!haveIdentity_) return std::string("the input holds no output of pandicube-search");
        if (!completed_)
            return std::string("the output has no completion record: the run was killed or the file is cut short");
        return output_;
    }

private:
    void Fail(std::size_t line, const std::string& message)
    {
        if (error_.empty()) error_ = "line " + std::to_string(line) + ": " + message;
    }

    const std::function<void(const CensusRow&)>& onRow_;
    CensusOutput output_;
    std::optional<CensusRow> last_;
    bool haveIdentity_ = false;
    bool completed_ = false;
    std::string error_;
};

} // namespace

std::variant<CensusOutput, std::string> ReadCensus(std::istream& in, const std::function<void(const CensusRow&)>& onRow)
{
    CensusSink sink(onRow);
    ReadCubes(in, sink);
    return sink.Result();
}

std::variant<CensusOutput, std::string> ReadCensus(std::istream& in)
{
    std::vector<CensusRow> rows;
    auto read = ReadCensus(in, [&rows](const CensusRow& row) { rows.push_back(row); });
    if (auto* census = std::get_if<CensusOutput>(&read)) census->rows = std::move(rows);
    return read;
}

} // namespace pandicube
