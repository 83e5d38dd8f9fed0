#pragma once

#include <cstdint>
#include <string_view>

namespace pandicube {

// The rules by which typed input is accepted, shared by the window and the
// headless front end so that both refuse the same texts with the same words.
enum class InputError { None, NoInput, NoCipher, ErroneousNumber };

// "no input", "no cipher", "erroneous number"; empty for None.
std::string_view InputErrorMessage(InputError error);

struct InputCheck {
    InputError error = InputError::None;
    std::int32_t value = 0;

    bool Ok() const { return error == InputError::None; }
};

// The upper bound: digits only (leading zeros allowed), at least 1 and at most
// kMaxUpperBound.
InputCheck CheckUpperBound(std::string_view text);

// A start value: an optional leading "-" and digits, a number from lowerLimit
// to upperLimit, both included. A lone "-" has no digit and is refused with
// "no cipher".
InputCheck CheckStartValue(std::string_view text, std::int32_t lowerLimit, std::int32_t upperLimit);

} // namespace pandicube
