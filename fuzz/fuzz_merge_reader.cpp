// Feeds arbitrary bytes to the readers behind `merge`: the judge finds the
// outputs in the input, and merge then reads each output again from its
// first byte, one solution at a time. Read that way, every complete output
// must give back exactly the solutions the judge counted, in order.
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

// Collects the solutions of one output, read from where it starts.
class Rereader : public pandicube::CubeSink {
public:
    void OnCube(const pandicube::CubeRecord& cube) override
    {
        if (!done) ++cubes;
        last = cube.number;
    }
    void OnCompletion(const pandicube::CompletionRecord&) override { done = true; }
    void OnProblem(std::size_t, const std::string&) override { failed = true; }

    std::int64_t cubes = 0;
    std::int64_t last = 0;
    bool done = false;
    bool failed = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    pandicube::TextBuffer in(input);
    pandicube::OutputJudge judge([](std::size_t, const std::string&) {});
    pandicube::ReadCubes(in, judge);
    for (const pandicube::OutputPart& part : judge.Parts()) {
        if (!part.Complete()) continue;
        pandicube::TextBuffer again(input);
        again.SeekTo(part.offset);
        Rereader rereader;
        pandicube::OutputReader reader(again, rereader);
        reader.StartAt(part.offset, part.line - 1);
        while (!rereader.done && reader.Step()) {
        }
        Require(rereader.done && !rereader.failed && rereader.cubes == part.solutions);
        Require(part.solutions == 0 || rereader.last == part.solutions);
    }
    return 0;
}
