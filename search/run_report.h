#pragma once

#include <cstdint>
#include <string>

namespace pandicube {

// The closing report of a run: "computation terminated", a line feed, and the
// count sentence ("no solution was found.", "exactly one solution was found."
// or "N solutions were found.").
std::string CountSentence(std::int64_t solutionCount);
std::string ClosingMessage(std::int64_t solutionCount);

} // namespace pandicube
