// Feeds arbitrary text to the input rules shared by the window and the
// command line: the first byte picks the rule, the next eight give the limits
// of a start value, the rest is the typed text. Whatever a rule accepts must
// be a plain decimal number inside its range that reads back to its value.
#include "search/cells.h"
#include "search/input_rules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

// The value of an accepted text, read independently of the rules.
std::int64_t ReadBack(std::string_view text)
{
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    Require(!text.empty());
    std::int64_t value = 0;
    for (char c : text) {
        Require(c >= '0' && c <= '9');
        value = value * 10 + (c - '0');
        if (value > (std::int64_t{1} << 40)) std::abort();
    }
    return negative ? -value : value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace pandicube;
    if (size < 9) return 0;
    std::int32_t lower = 0;
    std::int32_t upper = 0;
    std::memcpy(&lower, data + 1, 4);
    std::memcpy(&upper, data + 5, 4);
    const std::string_view text(reinterpret_cast<const char*>(data + 9), size - 9);

    if (data[0] % 2 == 0) {
        const InputCheck check = CheckUpperBound(text);
        Require(check.Ok() == InputErrorMessage(check.error).empty());
        if (check.Ok()) {
            Require(check.value >= 1 && check.value <= kMaxUpperBound);
            Require(text.front() != '-');
            Require(ReadBack(text) == check.value);
        }
        Require(!text.empty() || check.error == InputError::NoInput);
    } else {
        const InputCheck check = CheckStartValue(text, lower, upper);
        if (check.Ok()) {
            Require(check.value >= lower && check.value <= upper);
            Require(ReadBack(text) == check.value);
        }
        Require(text != "-" || check.error == InputError::NoCipher);
    }
    return 0;
}
