#include "cli/formats/census_record.h"

#include "cli/formats/number_text.h"

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

} // namespace pandicube
