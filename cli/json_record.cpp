#include "cli/json_record.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <limits>

namespace pandicube {

namespace {

using nlohmann::json;

std::optional<std::int32_t> ToInt32(const json& value)
{
    if (value.is_number_unsigned()) {
        const auto v = value.get<std::uint64_t>();
        if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return std::nullopt;
        return static_cast<std::int32_t>(v);
    }
    if (value.is_number_integer()) {
        const auto v = value.get<std::int64_t>();
        if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) {
            return std::nullopt;
        }
        return static_cast<std::int32_t>(v);
    }
    return std::nullopt;
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

} // namespace

JsonRecord ParseJsonRecord(std::string_view line)
{
    const json object = json::parse(line.begin(), line.end(), nullptr, /*allow_exceptions=*/false);
    if (object.is_discarded()) return Error("not valid JSON");
    if (!object.is_object()) return Error("not a JSON object");

    std::optional<std::int32_t> bestBound;
    if (object.contains("bestBound")) {
        bestBound = ToInt32(object.at("bestBound"));
        if (!bestBound) return Error("\"bestBound\" is not a 32-bit integer");
    }

    if (object.contains("solutions")) {
        for (const auto& item : object.items()) {
            if (item.key() != "solutions" && item.key() != "bestBound") {
                return Error("unexpected key \"" + item.key() + "\" in the closing object");
            }
        }
        const auto count = ToInt32(object.at("solutions"));
        if (!count || *count < 0) return Error("\"solutions\" is not a count of solutions");
        JsonRecord record;
        record.closing = ClosingRecord{0, *count, bestBound};
        return record;
    }

    for (const auto& item : object.items()) {
        const std::string& key = item.key();
        if (key != "solution" && key != "entries" && key != "cells" && key != "bestBound") {
            return Error("unexpected key \"" + key + "\"");
        }
    }
    if (!object.contains("solution")) return Error("the object has no \"solution\" number");
    const auto number = ToInt32(object.at("solution"));
    if (!number || *number < 1) return Error("\"solution\" is not a positive 32-bit integer");

    JsonRecord record;
    record.cube.number = *number;
    record.cube.bestBound = bestBound;
    const bool hasEntries = object.contains("entries");
    const bool hasCells = object.contains("cells");
    if (!hasEntries && !hasCells) return Error("the object has neither \"entries\" nor \"cells\"");
    Entries e{};
    if (hasEntries) {
        if (auto error = ReadArray(object, "entries", kEntryCount, e.data()); !error.empty()) return Error(error);
        record.cube.cells = CellsFromEntries(e);
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

} // namespace pandicube
