// Feeds arbitrary bytes to the reader and the judge of whole outputs behind
// `verify`: they must never throw, overflow or hang; every problem has a line
// and a message; an output counts as complete only when its completion
// record agrees with the solutions read (in a census, with its last row).
#include "cli/formats/output_judge.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    pandicube::TextBuffer in(std::string_view(reinterpret_cast<const char*>(data), size));
    std::size_t reported = 0;
    pandicube::OutputJudge judge(
        [&](std::size_t line, const std::string& message) {
            Require(line >= 1 && !message.empty());
            ++reported;
        },
        [&](const pandicube::CubeRecord& cube, const pandicube::OutputPart&) {
            Require(cube.number >= 1 && cube.line >= 1 && cube.offset < cube.end && cube.end <= size);
        });
    pandicube::ReadCubes(in, judge);
    Require(reported == judge.Problems());
    for (const pandicube::OutputPart& part : judge.Parts()) {
        if (!part.Complete() || part.identity->countOnly) continue;
        if (part.identity->census) {
            // A census counts the classes of its last row.
            Require(part.completion->solutions == (part.census.empty() ? 0 : part.census.back().classesUpTo));
            continue;
        }
        Require(part.completion->solutions == part.solutions && part.completion->checksum == part.checksum);
    }
    return 0;
}
