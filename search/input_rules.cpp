#include "search/input_rules.h"

#include "search/cells.h"

#include <limits>

namespace pandicube {

namespace {

constexpr bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Converts an optional "-" and at least one digit; false when the number does
// not fit a signed 32-bit integer.
bool ToInt32(std::string_view text, std::int32_t& out)
{
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    std::int64_t value = 0;
    for (char c : text) {
        value = value * 10 + (c - '0');
        if (value > static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1) return false;
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    out = static_cast<std::int32_t>(value);
    return true;
}

InputCheck Refuse(InputError error)
{
    return {error, 0};
}

} // namespace

std::string_view InputErrorMessage(InputError error)
{
    switch (error) {
    case InputError::NoInput: return "no input";
    case InputError::NoCipher: return "no cipher";
    case InputError::ErroneousNumber: return "erroneous number";
    case InputError::None: break;
    }
    return {};
}

InputCheck CheckUpperBound(std::string_view text)
{
    if (text.empty()) return Refuse(InputError::NoInput);
    for (char c : text) {
        if (!IsDigit(c)) return Refuse(InputError::NoCipher);
    }
    std::int32_t u = 0;
    if (!ToInt32(text, u) || u < 1 || u > kMaxUpperBound) return Refuse(InputError::ErroneousNumber);
    return {InputError::None, u};
}

InputCheck CheckStartValue(std::string_view text, std::int32_t lowerLimit, std::int32_t upperLimit)
{
    if (text.empty()) return Refuse(InputError::NoInput);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool allowed = IsDigit(text[i]) || (i == 0 && text[i] == '-');
        if (!allowed) return Refuse(InputError::NoCipher);
    }
    // A lone "-" carries no digit at all.
    if (text == "-") return Refuse(InputError::NoCipher);
    std::int32_t v = 0;
    if (!ToInt32(text, v) || v < lowerLimit || v > upperLimit) return Refuse(InputError::ErroneousNumber);
    return {InputError::None, v};
}

} // namespace pandicube
