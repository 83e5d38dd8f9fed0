#include "cli/merge_command.h"

#include "cli/cube_reader.h"
#include "cli/solution_writer.h"
#include "cli/verify_command.h"
#include "search/solution_order.h"

#include <algorithm>
#include <istream>
#include <limits>
#include <ostream>

namespace pandicube {

namespace {

struct Solution {
    SolutionOrderKey key;
    Cells cells;
};

class MergeSink : public CubeSink {
public:
    MergeSink(std::vector<Solution>& solutions, std::ostream& err, const std::string& file)
        : solutions_(solutions), err_(err), file_(file)
    {
    }

    void OnCube(const CubeRecord& cube) override
    {
        Entries e{};
        std::copy(cube.cells.begin() + 1, cube.cells.begin() + kEntryCount + 1, e.begin() + 1);
        solutions_.push_back({OrderKeyOf(e), cube.cells});
    }

    void OnClosing(const ClosingRecord& closing) override { counted_ += closing.count; }

    void OnProblem(std::size_t line, const std::string& message) override
    {
        if (problems_++ < 10)
            err_ << "pandicube-search: merge: " << file_ << ": line " << line << ": " << message << '\n';
    }

    std::int64_t counted_ = 0;
    std::size_t problems_ = 0;

private:
    std::vector<Solution>& solutions_;
    std::ostream& err_;
    const std::string& file_;
};

int Refuse(std::ostream& err, const std::string& message)
{
    err << "pandicube-search: merge: " << message << '\n';
    return kExitRefused;
}

} // namespace

int RunMergeCommand(const MergeOptions& opt, const CliEnvironment& env, std::ostream& out, std::ostream& err)
{
    std::vector<Solution> solutions;
    std::optional<OutputFormat> format;
    std::optional<bool> cells;
    std::int64_t counted = 0;
    for (const std::string& file : opt.files) {
        std::unique_ptr<std::istream> owned;
        std::istream* in = OpenInput(file, env, owned, err, "merge");
        if (in == nullptr) return kExitRefused;
        MergeSink sink(solutions, err, file);
        const ReadSummary summary = ReadCubes(*in, sink);
        if (sink.problems_ > 0) return Refuse(err, file + " is malformed");
        if (!summary.format) return Refuse(err, file + " holds no output of pandicube-search");
        if (format && *format != *summary.format)
            return Refuse(err, file + " is in another format than the first input");
        format = summary.format;
        if (summary.cells) {
            if (cells && *cells != *summary.cells) {
                return Refuse(err, file + " has " + (*summary.cells ? "whole cubes" : "entries") +
                                       " where the first input has " + (*cells ? "whole cubes" : "entries"));
            }
            cells = summary.cells;
        }
        if (summary.bestBound) return Refuse(err, file + " comes from a run that reduced the bound; slices never do");
        if (summary.cubesAfterLastClosing && *format != OutputFormat::Csv) {
            return Refuse(err, file + " ends without its closing report: the run may not have finished");
        }
        counted += sink.counted_;
    }

    // Sorted by the order of a single run; a solution found twice means an
    // input was given twice or slices of different runs were mixed.
    std::sort(solutions.begin(), solutions.end(), [](const Solution& a, const Solution& b) { return a.key < b.key; });
    const auto twice = std::adjacent_find(solutions.begin(), solutions.end(),
                                          [](const Solution& a, const Solution& b) { return a.key == b.key; });
    if (twice != solutions.end()) {
        return Refuse(err, "the solution with e10 " + std::to_string(twice->cells[kE10]) + ", e14 " +
                               std::to_string(twice->cells[kE14]) + ", e17 " + std::to_string(twice->cells[kE17]) +
                               ", e18 " + std::to_string(twice->cells[kE18]) + " appears twice");
    }

    // Outputs of --count-only runs carry counts alone; others carry every cube
    // (and, except in CSV, a closing count that agrees with them).
    const bool csv = format == OutputFormat::Csv;
    const bool countOnly = solutions.empty() && !(csv && cells.has_value());
    if (!solutions.empty() && counted != (csv ? 0 : static_cast<std::int64_t>(solutions.size()))) {
        return Refuse(err, "the inputs mix outputs of --count-only runs with outputs that list the solutions");
    }
    const std::int64_t total = countOnly ? counted : static_cast<std::int64_t>(solutions.size());
    if (total > std::numeric_limits<std::int32_t>::max()) return Refuse(err, "more solutions than a count can hold");

    SolutionWriter writer(out, {format.value_or(OutputFormat::Text), cells.value_or(false), false, countOnly});
    writer.WriteHeader();
    std::int32_t number = 0;
    for (const Solution& solution : solutions) writer.WriteSolution(++number, solution.cells, 0);
    writer.WriteSummary(static_cast<std::int32_t>(total), 0);
    return out.good() ? kExitOk : kExitFailed;
}

} // namespace pandicube
