#include "cli/formats/number_text.h"

#include <array>
#include <charconv>
#include <cstring>
#include <limits>

namespace pandicube {

void AppendInt(std::string& line, std::int64_t v)
{
    char buf[24];
    const auto result = std::to_chars(buf, buf + sizeof buf, v);
    line.append(buf, result.ptr);
}

std::size_t IntWidth(std::int32_t v)
{
    char buf[16];
    return static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, v).ptr - buf);
}

namespace {

// The digits of 0 to 9999, each in 4 characters (left-aligned), and their
// count: the values of cubes are small, and a cube has 125 of them.
struct SmallNumbers {
    std::array<std::array<char, 4>, 10000> digits{};
    std::array<std::uint8_t, 10000> length{};
};

constexpr SmallNumbers kSmallNumbers = [] {
    SmallNumbers n;
    for (std::size_t v = 0; v < n.digits.size(); ++v) {
        char text[4];
        std::size_t count = 0;
        for (std::size_t rest = v; count == 0 || rest > 0; rest /= 10)
            text[count++] = static_cast<char>('0' + rest % 10);
        for (std::size_t i = 0; i < count; ++i) n.digits[v][i] = text[count - 1 - i];
        n.length[v] = static_cast<std::uint8_t>(count);
    }
    return n;
}();

// Writes v at `at`, which has room for 12 characters; returns the end.
char* PutValue(char* at, std::int32_t v)
{
    std::uint32_t magnitude = static_cast<std::uint32_t>(v);
    if (v < 0) {
        *at++ = '-';
        magnitude = 0u - magnitude;
    }
    if (magnitude >= kSmallNumbers.digits.size()) return std::to_chars(at, at + 11, magnitude).ptr;
    std::memcpy(at, kSmallNumbers.digits[magnitude].data(), 4);
    return at + kSmallNumbers.length[magnitude];
}

} // namespace

void AppendRange(std::string& line, const Cells& cells, int first, int last, char separator, bool leading)
{
    // Made in one buffer and appended at once: a value takes at most 11
    // characters, its separator one.
    char buf[12 * kCellCount];
    char* at = buf;
    for (int k = first; k <= last; ++k) {
        if (k > first || leading) *at++ = separator;
        at = PutValue(at, cells[static_cast<std::size_t>(k)]);
    }
    line.append(buf, at);
}

std::optional<std::int32_t> ParseInt32(std::string_view text)
{
    const std::optional<std::int64_t> value = ParseInt64(text);
    if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
        *value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

std::optional<std::int64_t> ParseInt64(std::string_view text)
{
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty() || text.size() > 19) return std::nullopt;
    // Only the writer's way of writing a number: no leading zero, no "-0".
    if (text.front() == '0' && (text.size() > 1 || negative)) return std::nullopt;
    // Accumulated unsigned: 19 digits fit, and the lowest value has no
    // positive counterpart.
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (value > kMax + (negative ? 1 : 0)) return std::nullopt;
    if (!negative) return static_cast<std::int64_t>(value);
    return value == kMax + 1 ? std::numeric_limits<std::int64_t>::min() : -static_cast<std::int64_t>(value);
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::vector<std::string_view> SplitOn(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

std::vector<std::string_view> Tokens(std::string_view text)
{
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        const std::size_t from = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
        if (i > from) tokens.push_back(text.substr(from, i - from));
    }
    return tokens;
}

} // namespace pandicube
