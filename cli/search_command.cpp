#include "cli/search_command.h"

#include "cli/progress.h"
#include "search/input_rules.h"
#include "search/parallel_search.h"
#include "search/run_setup.h"

#include <array>
#include <memory>
#include <ostream>

namespace pandicube {

namespace {

// Limits of the numbers the options take besides the bound and start values.
constexpr std::int32_t kMaxThreads = 1024;
constexpr std::int32_t kMaxSlices = 1000000;

int Refuse(std::ostream& err, const std::string& what, InputError error)
{
    err << "pandicube-search: " << what << ": " << InputErrorMessage(error) << '\n';
    return kExitRefused;
}

int RefuseWith(std::ostream& err, const std::string& message)
{
    err << "pandicube-search: " << message << '\n';
    return kExitRefused;
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string::size_type from = 0;
    for (;;) {
        const auto at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return parts;
        from = at + 1;
    }
}

// Reports every solution to the writer and, on a terminal, the progress.
class SearchOutputReporter : public SearchReporter {
public:
    SearchOutputReporter(SolutionWriter& writer, ProgressLine* progress) : writer_(writer), progress_(progress) {}

    void ReportProgress(const Progress& p) override
    {
        if (progress_ != nullptr) progress_->Update(p.e14, p.e18, p.solutionCount);
    }
    void ReportSolution(const Solution& s) override
    {
        writer_.WriteSolution(s.number, CellsFromEntries(s.entries), s.bestBound);
    }

private:
    SolutionWriter& writer_;
    ProgressLine* progress_;
};

} // namespace

unsigned SliceOfUnit(std::size_t i, unsigned count)
{
    const std::size_t round = i / count;
    const auto place = static_cast<unsigned>(i % count);
    return 1 + (round % 2 == 0 ? place : count - 1 - place);
}

std::vector<OuterUnit> SliceUnits(const std::vector<OuterUnit>& units, Slice slice)
{
    std::vector<OuterUnit> part;
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (SliceOfUnit(i, slice.count) == slice.index) part.push_back(units[i]);
    }
    return part;
}

int RunSearchCommand(const SearchOptions& opt, const CliEnvironment& env, std::ostream& out, std::ostream& err)
{
    // The same rules as the window's fields, in the same order.
    std::vector<std::string> startParts;
    StartTexts startTexts;
    if (opt.start) {
        startParts = Split(*opt.start, ',');
        for (std::size_t i = 0; i < startTexts.size() && i < startParts.size(); ++i) startTexts[i] = startParts[i];
    }
    const auto checked = SetUpRun(opt.bound, opt.start ? &startTexts : nullptr, opt.reduce);
    const auto* refusal = std::get_if<SetupRefusal>(&checked);
    if (refusal != nullptr && refusal->field == SetupField::Bound) return Refuse(err, "--bound", refusal->error);
    if (startParts.size() > 4) return RefuseWith(err, "--start takes four values E10,E14,E17,E18");
    if (refusal != nullptr) {
        const std::array<const char*, 4> names = {"e10", "e14", "e17", "e18"};
        const std::string name = names[static_cast<std::size_t>(refusal->field) - 1];
        return Refuse(err, "--start (" + name + ")", refusal->error);
    }
    const RunSetup& setup = std::get<RunSetup>(checked);

    unsigned threads = env.cores > 0 ? env.cores : 1;
    if (opt.threads) {
        const InputCheck check = CheckStartValue(*opt.threads, 1, kMaxThreads);
        if (!check.Ok()) return Refuse(err, "--threads", check.error);
        threads = static_cast<unsigned>(check.value);
    }

    std::optional<Slice> slice;
    if (opt.slice) {
        const std::vector<std::string> parts = Split(*opt.slice, '/');
        if (parts.size() != 2) return RefuseWith(err, "--slice takes K/N, the part K of N parts");
        const InputCheck count = CheckStartValue(parts[1], 1, kMaxSlices);
        if (!count.Ok()) return Refuse(err, "--slice (N)", count.error);
        const InputCheck index = CheckStartValue(parts[0], 1, count.value);
        if (!index.Ok()) return Refuse(err, "--slice (K)", index.error);
        if (opt.reduce)
            return RefuseWith(err, "--slice cannot be combined with --reduce: the bound walk is sequential");
        if (opt.start) return RefuseWith(err, "--slice cannot be combined with --start: slices cover the whole run");
        slice = Slice{static_cast<unsigned>(index.value), static_cast<unsigned>(count.value)};
    }

    // The units path needs full range and no bound reduction; a slice needs it.
    const bool sequentialOnly = opt.reduce || opt.start.has_value();
    const EnginePath path =
        sequentialOnly || (opt.path == EnginePath::Sequential && !slice) ? EnginePath::Sequential : EnginePath::Units;

    SearchState state;
    PrepareSearchState(state, setup);

    // The units that this run searches; the progress line places (e14, e18)
    // among them. A sequential run measures against all units of the bound.
    std::vector<OuterUnit> units;
    if (path == EnginePath::Units || (env.errIsTerminal && !opt.quiet)) {
        SearchState full;
        PrepareSearchState(full, {setup.upperBound});
        units = ListOuterUnits(full);
        if (slice) units = SliceUnits(units, *slice);
    }
    std::unique_ptr<ProgressLine> progress;
    if (env.errIsTerminal && !opt.quiet) progress = std::make_unique<ProgressLine>(err, units);

    SolutionWriter writer(out, {opt.format, opt.cube, opt.reduce, opt.countOnly});
    SearchOutputReporter reporter(writer, progress.get());
    writer.WriteHeader();
    if (path == EnginePath::Units) {
        RunOuterUnits(state, reporter, units, threads);
    } else {
        RunSearch(state, reporter);
    }
    if (progress) progress->Finish();
    writer.WriteSummary(state.solutionCount, state.bestBound);
    return out.good() ? kExitOk : kExitFailed;
}

} // namespace pandicube
