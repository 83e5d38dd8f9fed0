#include "search/run_report.h"

namespace pandicube {

std::string CountSentence(std::int64_t solutionCount)
{
    if (solutionCount == 0) return "no solution was found.";
    if (solutionCount == 1) return "exactly one solution was found.";
    return std::to_string(solutionCount) + " solutions were found.";
}

std::string ClosingMessage(std::int64_t solutionCount)
{
    return "computation terminated\n" + CountSentence(solutionCount);
}

} // namespace pandicube
