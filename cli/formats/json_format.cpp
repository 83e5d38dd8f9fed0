#include "cli/formats/json_format.h"

#include "cli/formats/number_text.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <limits>
#include <vector>

namespace pandicube {

namespace {

using nlohmann::json;

// One line, parsed: the identity object, a cube, the completion object,
// the closing object of earlier versions, or an error saying why the line is
// none of them.
struct JsonRecord {
    std::string error;
    CubeRecord cube;
    std::optional<ClosingRecord> closing;
    std::optional<RunIdentity> identity;
    std::optional<CompletionRecord> completion;
};

// The identity object.
std::string IdentityJson(const RunIdentity& identity)
{
    return "{\"program\": \"" + std::string(kProgramName) +
           "\", \"version\": " + nlohmann::json(identity.version).dump() + ", \"run\": \"" + RunOptions(identity) +
           "\"}";
}

// The completion object: {"solutions": 504, "xxh3Checksum": "...", "complete": true}, or
// with "complete": false, "interrupted": "SIGINT" and "next": [e14, e18].
std::string CompletionJson(const CompletionRecord& r)
{
    std::string text = (r.classes ? "{\"classes\": " : "{\"solutions\": ") + std::to_string(r.solutions);
    if (r.bestBound) text += ", \"bestBound\": " + std::to_string(*r.bestBound);
    text += r.checksumKind == ChecksumKind::Xxh3 ? ", \"xxh3Checksum\": \"" : ", \"checksum\": \"";
    text += ChecksumText(r.checksum) + "\", \"complete\": ";
    text += r.complete ? "true" : "false";
    if (!r.complete) text += ", \"interrupted\": \"" + r.signal + '"';
    if (r.next) text += ", \"next\": [" + std::to_string(r.next->e14) + ", " + std::to_string(r.next->e18) + ']';
    return text + '}';
}

// Counts and solution numbers: an integer in the signed 64-bit range (a
// larger one is refused, never wrapped).
std::optional<std::int64_t> ToInt64(const json& value)
{
    if (value.is_number_unsigned()) {
        const auto v = value.get<std::uint64_t>();
        if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
        return static_cast<std::int64_t>(v);
    }
    if (value.is_number_integer()) return value.get<std::int64_t>();
    return std::nullopt;
}

std::optional<std::int32_t> ToInt32(const json& value)
{
    const std::optional<std::int64_t> v = ToInt64(value);
    if (!v || *v < std::numeric_limits<std::int32_t>::min() || *v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

// Reads an array of exactly `count` 32-bit integers into values[1..count].
std::string ReadArray(const json& object, const char* key, std::size_t count, std::int32_t* values)
{
    const json& array = object.at(key);
    if (!array.is_array()) return std::string("\"") + key + "\" is not an array";
    if (array.size() != count) {
        return std::string("\"") + key + "\" holds " + std::to_string(array.size()) + " values, not " +
               std::to_string(count);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const auto v = ToInt32(array[i]);
        if (!v) return std::string("\"") + key + "\" value " + std::to_string(i + 1) + " is not a 32-bit integer";
        values[i + 1] = *v;
    }
    return {};
}

JsonRecord Error(std::string message)
{
    JsonRecord record;
    record.error = std::move(message);
    return record;
}

// Parses a JSON text, refusing a key given twice in one object.
json ParseStrict(std::string_view line, std::string& duplicate)
{
    std::vector<std::vector<std::string>> keys;
    const json::parser_callback_t callback = [&](int, json::parse_event_t event, json& parsed) {
        if (event == json::parse_event_t::object_start) keys.emplace_back();
        if (event == json::parse_event_t::object_end && !keys.empty()) keys.pop_back();
        if (event == json::parse_event_t::key && !keys.empty()) {
            const std::string key = parsed.get<std::string>();
            for (const std::string& seen : keys.back()) {
                if (seen == key && duplicate.empty()) duplicate = key;
            }
            keys.back().push_back(key);
        }
        return true;
    };
    return json::parse(line.begin(), line.end(), callback, /*allow_exceptions=*/false);
}

bool OnlyKeys(const json& object, std::initializer_list<const char*> allowed, std::string& unexpected)
{
    for (const auto& item : object.items()) {
        bool ok = false;
        for (const char* key : allowed) ok = ok || item.key() == key;
        if (!ok) {
            unexpected = item.key();
            return false;
        }
    }
    return true;
}

JsonRecord IdentityRecordOf(const json& object)
{
    std::string unexpected;
    if (!OnlyKeys(object, {"program", "version", "run"}, unexpected))
        return Error("unexpected key \"" + unexpected + "\" in the identity object");
    const json& program = object.at("program");
    if (!program.is_string() || program.get<std::string>() != kProgramName || !object.contains("version") ||
        !object.at("version").is_string() || !object.contains("run") || !object.at("run").is_string()) {
        return Error("not the identity object of an output of pandicube-search");
    }
    auto identity = ParseRunOptions(object.at("run").get<std::string>(), object.at("version").get<std::string>());
    if (!identity || identity->format != OutputFormat::Json)
        return Error("the identity object does not name a JSON run of pandicube-search");
    JsonRecord record;
    record.identity = std::move(identity);
    return record;
}

JsonRecord CompletionRecordOf(const json& object, std::optional<std::int32_t> bestBound)
{
    std::string unexpected;
    CompletionRecord r;
    r.classes = object.contains("classes");
    const char* counted = r.classes ? "classes" : "solutions";
    // One checksum, named by its hash: "xxh3Checksum", or "checksum" (FNV-1a).
    r.checksumKind = object.contains("checksum") ? ChecksumKind::Fnv1a : ChecksumKind::Xxh3;
    const char* sumKey = r.checksumKind == ChecksumKind::Xxh3 ? "xxh3Checksum" : "checksum";
    if (!OnlyKeys(object, {counted, "bestBound", sumKey, "complete", "interrupted", "next"}, unexpected))
        return Error("unexpected key \"" + unexpected + "\" in the completion object");
    const auto count = ToInt64(object.at(counted));
    if (!count || *count < 0) return Error("\"solutions\" is not a count of solutions");
    r.solutions = *count;
    r.bestBound = bestBound;
    const json& checksum = object.contains(sumKey) ? object.at(sumKey) : json();
    const auto sum = checksum.is_string() ? ParseChecksum(checksum.get<std::string>()) : std::nullopt;
    if (!sum) {
        return Error(r.checksumKind == ChecksumKind::Xxh3 ? "\"xxh3Checksum\" is not 16 hexadecimal digits"
                                                          : "\"checksum\" is not 16 hexadecimal digits");
    }
    r.checksum = *sum;
    if (!object.at("complete").is_boolean()) return Error("\"complete\" is not true or false");
    r.complete = object.at("complete").get<bool>();
    if (!r.complete) {
        const json& signal = object.contains("interrupted") ? object.at("interrupted") : json();
        if (!signal.is_string()) return Error("an interrupted run's completion object does not name the signal");
        r.signal = signal.get<std::string>();
        if (object.contains("next")) {
            const json& next = object.at("next");
            const auto e14 = next.is_array() && next.size() == 2 ? ToInt32(next[0]) : std::nullopt;
            const auto e18 = next.is_array() && next.size() == 2 ? ToInt32(next[1]) : std::nullopt;
            if (!e14 || !e18) return Error("\"next\" is not the pair [e14, e18]");
            r.next = OuterUnit{*e14, *e18};
        }
    } else if (object.contains("interrupted") || object.contains("next")) {
        return Error("a complete run's completion object names an interruption");
    }
    JsonRecord record;
    record.completion = r;
    return record;
}

// What the writer never writes into a JSON line, outside its strings: a
// blank other than one space after ":" or ",", a blank inside the values of
// "entries" or "cells", a number "-0".
std::string SpacingProblem(std::string_view line)
{
    std::string_view lastString;
    std::vector<bool> valueArrays; // for each open array: does it hold entries or cells?
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            const std::size_t from = i + 1;
            while (++i < line.size() && line[i] != '"') {
                if (line[i] == '\\') ++i;
            }
            lastString = line.substr(from, i - from);
            continue;
        }
        if (c == '[') valueArrays.push_back(lastString == "entries" || lastString == "cells");
        if (c == ']' && !valueArrays.empty()) valueArrays.pop_back();
        const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        if (blank && (c != ' ' || i == 0 || (line[i - 1] != ':' && line[i - 1] != ',') ||
                      (!valueArrays.empty() && valueArrays.back())))
            return "spacing that pandicube-search never writes (a doubled, leading or trailing blank, or a tab)";
        if (c == '-' && i + 1 < line.size() && line[i + 1] == '0') return "the number -0, which is written 0";
    }
    return {};
}

// The closing object of an output written before outputs carried a
// completion record: {"solutions": N} (with "bestBound").
JsonRecord ClosingRecordOf(const json& object, std::optional<std::int32_t> bestBound)
{
    for (const auto& item : object.items()) {
        if (item.key() != "solutions" && item.key() != "bestBound") {
            return Error("unexpected key \"" + item.key() + "\" in the closing object");
        }
    }
    const auto count = ToInt64(object.at("solutions"));
    if (!count || *count < 0) return Error("\"solutions\" is not a count of solutions");
    JsonRecord record;
    record.closing = ClosingRecord{};
    record.closing->count = *count;
    record.closing->bestBound = bestBound;
    return record;
}

// A solution, or a class record, which also names its class and size.
JsonRecord CubeRecordOf(const json& object, std::optional<std::int32_t> bestBound)
{
    const bool isClass = object.contains("class");
    for (const auto& item : object.items()) {
        const std::string& key = item.key();
        if (key != "solution" && key != "entries" && key != "cells" && key != "bestBound" &&
            (!isClass || (key != "class" && key != "size"))) {
            return Error("unexpected key \"" + key + "\"");
        }
    }
    if (!object.contains("solution")) return Error("the object has no \"solution\" number");
    const auto number = ToInt64(object.at("solution"));
    if (!number || *number < 1) return Error("\"solution\" is not a positive 64-bit integer");

    JsonRecord record;
    record.cube.number = *number;
    if (isClass) {
        const auto classNumber = ToInt64(object.at("class"));
        if (!classNumber || *classNumber < 1) return Error("\"class\" is not a positive 64-bit integer");
        const auto size = object.contains("size") ? ToInt32(object.at("size")) : std::nullopt;
        if (!size || *size < 1) return Error("\"size\" is not a positive 32-bit integer");
        record.cube.number = *classNumber;
        record.cube.classOf = CubeRecord::ClassOf{*number, *size};
    }
    record.cube.bestBound = bestBound;
    const bool hasEntries = object.contains("entries");
    const bool hasCells = object.contains("cells");
    if (!hasEntries && !hasCells) return Error("the object has neither \"entries\" nor \"cells\"");
    Entries e{};
    if (hasEntries) {
        if (auto error = ReadArray(object, "entries", kEntryCount, e.data()); !error.empty()) return Error(error);
        if (std::string problem = FillCells(e, record.cube.cells); !problem.empty()) return Error(problem);
    }
    if (hasCells) {
        Cells cells{};
        if (auto error = ReadArray(object, "cells", kCellCount, cells.data()); !error.empty()) return Error(error);
        for (std::size_t k = 1; hasEntries && k <= kEntryCount; ++k) {
            if (cells[k] != e[k]) return Error("\"entries\" and \"cells\" disagree at e" + std::to_string(k));
        }
        record.cube.cells = cells;
        record.cube.givenAsCells = true;
    }
    return record;
}

JsonRecord ParseJsonObject(std::string_view line)
{
    std::string duplicate;
    const json object = ParseStrict(line, duplicate);
    if (object.is_discarded()) return Error("not valid JSON");
    if (!duplicate.empty()) return Error("the key \"" + duplicate + "\" is given twice");
    if (!object.is_object()) return Error("not a JSON object");
    if (object.contains("program")) return IdentityRecordOf(object);

    std::optional<std::int32_t> bestBound;
    if (object.contains("bestBound")) {
        bestBound = ToInt32(object.at("bestBound"));
        if (!bestBound) return Error("\"bestBound\" is not a 32-bit integer");
    }
    if ((object.contains("solutions") || object.contains("classes")) && object.contains("complete"))
        return CompletionRecordOf(object, bestBound);
    if (object.contains("solutions")) return ClosingRecordOf(object, bestBound);
    return CubeRecordOf(object, bestBound);
}

JsonRecord ParseJsonRecord(std::string_view line)
{
    JsonRecord record = ParseJsonObject(line);
    if (record.error.empty()) {
        if (std::string problem = SpacingProblem(line); !problem.empty()) return Error(problem);
    }
    return record;
}

class JsonWriter final : public RecordWriter {
public:
    using RecordWriter::RecordWriter;

    std::string Head() const override { return IdentityJson(identity_) + '\n'; }

    void AppendHead(std::string& line, std::initializer_list<RecordNumber> numbers) const override
    {
        // {"solution": N or {"class": N, "solution": S, "size": Z.
        const char* separator = "{";
        for (const RecordNumber& n : numbers) {
            line += separator;
            line += '"';
            line += n.name;
            line += "\": ";
            AppendInt(line, n.value);
            separator = ", ";
        }
    }

    void AppendBody(std::string& line, const Cells& cells, bool allCells,
                    std::optional<std::int32_t> bestBound) const override
    {
        line += ", \"entries\": [";
        AppendRange(line, cells, 1, kEntryCount, ',', false);
        line += "]";
        if (identity_.cube || allCells) {
            line += ", \"cells\": [";
            AppendRange(line, cells, 1, kCellCount, ',', false);
            line += "]";
        }
        if (bestBound) {
            line += ", \"bestBound\": ";
            AppendInt(line, *bestBound);
        }
        line += "}\n";
    }

    std::string End(const CompletionRecord& record) const override { return CompletionJson(record) + '\n'; }
};

// Takes only what the writer writes: a key given twice, an unknown key or
// spacing the writer never writes is a problem.
class JsonParser final : public RecordParser {
public:
    using RecordParser::RecordParser;

private:
    void Line(std::string_view line) override;
};

} // namespace

bool OpensJsonOutput(std::string_view line)
{
    return StartsWith(line, "{");
}

void JsonParser::Line(std::string_view line)
{
    JsonRecord record = ParseJsonRecord(line);
    if (!record.error.empty()) {
        Problem(record.error);
        return;
    }
    if (record.identity) {
        IdentityRecord identity;
        Place(identity);
        identity.identity = *record.identity;
        sink_.Identity(identity);
    } else if (record.completion) {
        record.completion->line = lineNumber_;
        sink_.Completion(*record.completion);
    } else if (record.closing) {
        Place(*record.closing);
        sink_.Closing(*record.closing);
    } else {
        Place(record.cube);
        sink_.Cube(record.cube);
    }
}

std::unique_ptr<RecordWriter> MakeJsonWriter(const RunIdentity& identity)
{
    return std::make_unique<JsonWriter>(identity);
}

std::unique_ptr<RecordParser> MakeJsonParser(RecordSink& sink)
{
    return std::make_unique<JsonParser>(sink);
}

} // namespace pandicube
