#pragma once

#include "search/cells.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pandicube {

// The numbers and words of every output, as the writers write them and the
// readers take them back.

// Appends a whole number in decimal.
void AppendInt(std::string& line, std::int64_t v);
// The number of characters AppendInt writes for `v`.
std::size_t IntWidth(std::int32_t v);
// Appends values first..last of `cells`, each after `separator`, the first
// one only when `leading` is set.
void AppendRange(std::string& line, const Cells& cells, int first, int last, char separator, bool leading);

// A whole decimal number as the writer writes it: an optional "-" and 1 to 10
// digits without a leading zero (0 itself, never -0), in the signed 32-bit
// range.
std::optional<std::int32_t> ParseInt32(std::string_view text);
// The same for counts and solution numbers: 1 to 19 digits, in the signed
// 64-bit range; a number beyond it is refused, never wrapped.
std::optional<std::int64_t> ParseInt64(std::string_view text);

bool StartsWith(std::string_view text, std::string_view prefix);
std::vector<std::string_view> SplitOn(std::string_view text, char separator);
// Splits on runs of blanks; no empty tokens.
std::vector<std::string_view> Tokens(std::string_view text);

} // namespace pandicube
