#include "cli/formats/census_record.h"

#include "cli/formats/number_text.h"
#include "cli/formats/output_reader.h"

#include <algorithm>
#include <initializer_list>
#include <istream>
#include <limits>
#include <utility>

namespace pandicube {

namespace {

std::string Num(std::int64_t v)
{
    return std::to_string(v);
}

// The numbers between the literal pieces of a line: piece, number, piece,
// ..., number, piece. Nothing unless the line is exactly such a text.
std::optional<std::vector<std::int64_t>> NumbersBetween(std::string_view line,
                                                        std::initializer_list<std::string_view> pieces)
{
    std::vector<std::int64_t> values;
    bool first = true;
    for (const std::string_view piece : pieces) {
        if (!first) {
            std::size_t n = 0;
            while (n < line.size() && (line[n] == '-' || (line[n] >= '0' && line[n] <= '9'))) ++n;
            const std::optional<std::int64_t> v = ParseInt64(line.substr(0, n));
            if (!v) return std::nullopt;
            values.push_back(*v);
            line.remove_prefix(n);
        }
        first = false;
        if (!StartsWith(line, piece)) return std::nullopt;
        line.remove_prefix(piece.size());
    }
    if (!line.empty()) return std::nullopt;
    return values;
}

} // namespace

namespace {

// A row in text; `plural` as an earlier version wrote "1 classes".
std::string TextRow(const CensusRow& r, bool plural)
{
    const auto classes = [plural](std::int64_t n) { return Num(n) + (n == 1 && !plural ? " class" : " classes"); };
    return "bound " + Num(r.bound) + ": " + Num(r.cubes) + " cubes, " + classes(r.classes) + "; up to " + Num(r.bound) +
           ": " + Num(r.cubesUpTo) + " cubes, " + classes(r.classesUpTo);
}

} // namespace

std::string CensusRowLine(const CensusRow& r, OutputFormat format)
{
    switch (format) {
    case OutputFormat::Text: return TextRow(r, false);
    case OutputFormat::Json:
        return "{\"bound\": " + Num(r.bound) + ", \"cubes\": " + Num(r.cubes) + ", \"classes\": " + Num(r.classes) +
               ", \"cubesUpTo\": " + Num(r.cubesUpTo) + ", \"classesUpTo\": " + Num(r.classesUpTo) + "}";
    case OutputFormat::Csv:
        return Num(r.bound) + ',' + Num(r.cubes) + ',' + Num(r.classes) + ',' + Num(r.cubesUpTo) + ',' +
               Num(r.classesUpTo);
    }
    return {};
}

std::optional<CensusRow> ParseCensusRow(std::string_view line, OutputFormat format)
{
    std::optional<std::vector<std::int64_t>> v;
    switch (format) {
    case OutputFormat::Text: {
        // "1 class" read as "1 classes"; the canonical text is checked below.
        std::string plural(line);
        if (const std::size_t at = plural.find(" class;"); at != std::string::npos) plural.insert(at + 6, "es");
        if (plural.ends_with(" class")) plural += "es";
        v = NumbersBetween(plural, {"bound ", ": ", " cubes, ", " classes; up to ", ": ", " cubes, ", " classes"});
        if (v) v->erase(v->begin() + 3); // the bound, written twice
        break;
    }
    case OutputFormat::Json:
        v = NumbersBetween(line, {"{\"bound\": ", ", \"cubes\": ", ", \"classes\": ", ", \"cubesUpTo\": ",
                                  ", \"classesUpTo\": ", "}"});
        break;
    case OutputFormat::Csv: v = NumbersBetween(line, {"", ",", ",", ",", ",", ""}); break;
    }
    if (!v || v->size() != 5 || (*v)[0] < 1 || (*v)[0] > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    const CensusRow row{static_cast<std::int32_t>((*v)[0]), (*v)[1], (*v)[2], (*v)[3], (*v)[4]};
    // Only the canonical text (in text, the bound written twice alike), or
    // the text of an earlier version.
    if (CensusRowLine(row, format) != line && (format != OutputFormat::Text || TextRow(row, true) != line))
        return std::nullopt;
    return row;
}

std::vector<CensusRow> CensusTable::Rows() const
{
    std::vector<CensusRow> rows;
    std::int64_t classesUpTo = 0;
    const auto add = [&](std::int32_t bound, std::int64_t classes) {
        if (classes == 0) return;
        classesUpTo += classes;
        rows.push_back({bound, classes * kCubesPerClass, classes, classesUpTo * kCubesPerClass, classesUpTo});
    };
    auto sparse = sparse_.begin();
    for (; sparse != sparse_.end() && sparse->first < 0; ++sparse) add(sparse->first, sparse->second);
    for (std::size_t bound = 0; bound < dense_.size(); ++bound) add(static_cast<std::int32_t>(bound), dense_[bound]);
    for (; sparse != sparse_.end(); ++sparse) add(sparse->first, sparse->second);
    return rows;
}

std::string CensusRowFault(const CensusRow& row, const CensusRow* previous, std::int32_t runBound)
{
    const std::string at = "the row of bound " + Num(row.bound);
    if (previous && row.bound <= previous->bound)
        return at + " follows that of bound " + Num(previous->bound) + ": the bounds do not ascend";
    if (row.bound > runBound) return at + " lies above the run's bound " + Num(runBound);
    if (row.bound < kLeastLargestValue)
        return at + " lies below " + Num(kLeastLargestValue) + ", the least largest value of a cube";
    if (row.classes < 1) return at + " counts no class";
    std::int64_t cubes = 0;
    if (__builtin_mul_overflow(row.classes, kCubesPerClass, &cubes) || cubes != row.cubes)
        return at + " counts " + Num(row.cubes) + " cubes for " + Num(row.classes) + " classes, not " +
               Num(kCubesPerClass) + " per class";
    std::int64_t classesUpTo = 0;
    std::int64_t cubesUpTo = 0;
    const bool overflow = __builtin_add_overflow(previous ? previous->classesUpTo : 0, row.classes, &classesUpTo) ||
                          __builtin_add_overflow(previous ? previous->cubesUpTo : 0, row.cubes, &cubesUpTo);
    if (overflow || row.classesUpTo != classesUpTo)
        return at + " counts " + Num(row.classesUpTo) + " classes up to it, but its rows add up to " + Num(classesUpTo);
    if (row.cubesUpTo != cubesUpTo)
        return at + " counts " + Num(row.cubesUpTo) + " cubes up to it, but its rows add up to " + Num(cubesUpTo);
    return {};
}

std::string CensusCompletionFault(const CompletionRecord& completion, const CensusRow* last)
{
    if (!completion.classes) return "the completion record of a --census output counts no classes";
    if (completion.bestBound) return "the completion record of a --census output carries a best upper bound";
    if (!completion.complete) return last != nullptr ? "an interrupted run's record follows census rows" : "";
    const std::int64_t total = last != nullptr ? last->classesUpTo : 0;
    if (completion.solutions != total)
        return "the completion record counts " + Num(completion.solutions) + " classes, but the rows count " +
               Num(total);
    return {};
}

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
        if (error_.empty()) error_ = "line " + Num(static_cast<std::int64_t>(line)) + ": " + message;
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
