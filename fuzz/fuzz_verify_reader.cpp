// Feeds arbitrary bytes to `pandicube-search verify -` and to the reader
// behind it. The command must end with 0, 1 or 2 and its summary line; it may
// answer 0 only when every cube it read passes the checker; the reader must
// report every line it cannot take.
#include "cli/cli.h"
#include "cli/cube_reader.h"
#include "search/cube_check.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

class CheckingSink : public pandicube::CubeSink {
public:
    void OnCube(const pandicube::CubeRecord& cube) override
    {
        Require(cube.line >= 1);
        Require(cube.number >= 1);
        allValid = allValid && pandicube::CheckCube(cube.cells, std::nullopt).Valid();
    }
    void OnClosing(const pandicube::ClosingRecord& closing) override { Require(closing.count >= 0); }
    void OnProblem(std::size_t line, const std::string& message) override
    {
        Require(!message.empty());
        Require(line >= 1);
        ++problems;
    }
    bool allValid = true;
    std::size_t problems = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);

    std::istringstream readerInput(input);
    CheckingSink sink;
    const pandicube::ReadSummary summary = pandicube::ReadCubes(readerInput, sink);
    Require(summary.problems == sink.problems);

    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    const char* argv[] = {"pandicube-search", "verify", "-"};
    const int status = pandicube::RunCli(3, argv, out, err, {false, &in, 1});
    Require(status == 0 || status == 1 || status == 2);
    Require(out.str().find(" cubes checked, ") != std::string::npos);
    if (status == 0) Require(sink.allValid && sink.problems == 0 && summary.format.has_value());
    if (sink.problems > 0) Require(status == 2 && !err.str().empty());
    return 0;
}
