#include "cli/commands/search_command.h"

#include "cli/commands/resume_command.h"

#include "cli/formats/number_text.h"
#include "cli/formats/output_judge.h"
#include "cli/formats/output_reader.h"
#include "cli/output_file.h"
#include "cli/progress.h"
#include "cli/stop_signals.h"
#include "cli/usage.h"
#include "search/cube/cube_check.h"
#include "search/cube/cube_classes.h"
#include "search/cube/cube_symmetry.h"
#include "search/cube/solution_order.h"
#include "search/engine.h"
#include "search/input_rules.h"
#include "search/rows/parallel_search.h"
#include "search/run_setup.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <utility>

namespace pandicube {

namespace {

// The bytes that numbering the classes of a run may keep of the members ahead.
constexpr std::size_t kClassMembersBudget = std::size_t{28} << 20;

// A signal asked the run to stop before the outer unit `next` (none: before
// the run has left its start values, so that it must start over).
struct RunInterrupted {
    int signal = 0;
    std::optional<OuterUnit> next;
};

// Writes every solution, draws the progress on a terminal, and stops the run
// between two records when a signal has come.
class SearchOutputReporter : public SearchReporter {
public:
    SearchOutputReporter(SolutionWriter& writer, ProgressLine* progress, const CliEnvironment& env,
                         const RunStart& from, const RunPlan& plan, std::int32_t bestBound)
        : writer_(writer), progress_(progress), env_(env), after_(from.after),
          leftStart_(!writer.Identity().setup.start || from.unit.has_value()),
          atStartValues_(writer.Identity().setup.start && !from.unit), bestBound_(bestBound)
    {
        // A listing of a whole run's classes numbers them from the members
        // ahead, within a budget: beyond it, the openers are searched again.
        if (writer_.Identity().classes && !writer_.Identity().countOnly && !writer_.Identity().slice) {
            // A signal ends a replay at its next unit, and the run with it.
            classes_ = std::make_unique<RunClassStream>(
                [this, &plan](std::int32_t e14, std::int32_t rank18, const std::function<void(const Entries&)>& take) {
                    ReplayClassOpeners(plan, e14, rank18, take, [this] { return Signal() != 0; });
                    if (Signal() != 0) throw ReplayStopped{};
                },
                kClassMembersBudget);
        }
    }

    void ReportProgress(const Progress& p) override
    {
        if (env_.interruption) {
            // A run from start values goes on at a unit only once it has left
            // them: a solution shows it has; before one it starts over.
            if (const int signal = env_.interruption(); signal != 0) {
                interruption_ = {signal, leftStart_ ? std::optional<OuterUnit>(OuterUnit{p.e14, p.e18}) : std::nullopt};
                RequestStop();
                return;
            }
        }
        if (progress_ != nullptr) progress_->Update(p.e14, p.e18, writer_.Solutions());
        unit_ = {OuterUnit{p.e14, p.e18}, writer_.Solutions(), writer_.Checksum(), writer_.BestBound()};
        inStartUnit_ = std::exchange(atStartValues_, false);
    }
    void PollStop() override
    {
        const int signal = Signal();
        if (signal == 0) return;
        // Stopped inside the unit: the run goes on at it again, after the
        // solutions written of it. A run stopped inside the unit it began at
        // its start values starts over.
        interruption_ = {signal, leftStart_ && !inStartUnit_ ? std::optional(unit_.unit) : std::nullopt};
        stoppedInUnit_ = true;
        RequestStop();
    }
    // A count stopped inside a unit counts only the units before it: the
    // unit is searched again.
    void CountUpToTheUnit()
    {
        if (stoppedInUnit_ && writer_.Identity().countOnly)
            writer_.ContinueAfter(unit_.solutions, unit_.checksum, unit_.bestBound);
    }
    void ReportSolution(const Solution& s) override
    {
        if (writer_.Identity().census) {
            // The openers of the classes, each counted at its largest value.
            writer_.CountCensusClass(StandardForm(CellsFromEntries(s.entries)));
            return;
        }
        if (writer_.Identity().classes) {
            // With classOpenersOnly the run hands on the cubes that open a
            // class, in run order. A slice cannot know the whole run's
            // solution numbers: it numbers its classes, and their first
            // members, within the slice; merge renumbers them. A count
            // needs only the standard forms, for the checksum: no numbers,
            // so nothing is kept between the classes.
            if (writer_.Identity().slice || writer_.Identity().countOnly) {
                const Cells cube = CellsFromEntries(s.entries);
                const std::int64_t n = writer_.Solutions() + 1;
                // A count writes no sizes (every class has 24 members in a
                // run's listing; a listing's records carry and verify them).
                const int size = writer_.Identity().countOnly ? 0 : ClassSizeInRun(cube);
                writer_.WriteClass(CubeClass{n, n, size, StandardForm(cube)});
            } else {
                try {
                    writer_.WriteClass(classes_->AddOpener(s.entries));
                } catch (const ReplayStopped&) {
                    // The class is not numbered: the run goes on at its unit.
                    interruption_ = {Signal(), OuterUnit{s.entries[kE14], s.entries[kE18]}};
                    RequestStop();
                    return;
                }
            }
            leftStart_ = true;
            return;
        }
        if (after_ && !(*after_ < OrderKeyOf(s.entries))) return;
        writer_.WriteSolution(writer_.Solutions() + 1, CellsFromEntries(s.entries), s.bestBound, s.hash);
        leftStart_ = true;
    }
    // A unit searched by rows: its records are made on the search threads,
    // and this thread only numbers and writes them (or, for --count-only,
    // adds the unit's count and hash sum).
    void PrepareUnit(UnitSolutions& unit) const override
    {
        if (!writer_.Identity().classes || writer_.Identity().countOnly) writer_.PrepareUnit(unit, bestBound_);
    }
    // Runs that count classes hash the classes' standard forms, never the
    // cubes the search found.
    bool HashesSolutions() const override { return !writer_.Identity().CountsClasses(); }
    void ReportCubes(const UnitSolutions& part, std::int64_t& solutions, std::int32_t bestBound) override
    {
        // A count of classes, and a census, add the hashes of the classes'
        // standard forms, which PrepareUnit made.
        if ((writer_.Identity().classes && !writer_.Identity().countOnly) || after_ || bestBound != bestBound_) {
            // The solutions of a resumed unit up to `after` are written
            // already; the cubes after the first one past it lie after them
            // in the order.
            SearchReporter::ReportCubes(part, solutions, bestBound);
            if (after_ && !part.cubes.empty() && *after_ < OrderKeyOf(part.cubes.back())) after_.reset();
            return;
        }
        writer_.WriteUnit(part, bestBound);
        solutions += static_cast<std::int64_t>(part.cubes.size());
        if (!part.cubes.empty()) leftStart_ = true;
    }

    // The signal that stopped the run, and where it goes on.
    const RunInterrupted& Interruption() const { return interruption_; }

private:
    struct ReplayStopped {};
    int Signal() const { return env_.interruption ? env_.interruption() : 0; }

    // The unit in progress, and the counts before it.
    struct UnitStart {
        OuterUnit unit;
        std::int64_t solutions = 0;
        std::uint64_t checksum = 0;
        std::optional<std::int32_t> bestBound;
    };

    SolutionWriter& writer_;
    ProgressLine* progress_;
    const CliEnvironment& env_;
    std::optional<SolutionOrderKey> after_;
    bool leftStart_;
    bool atStartValues_; // the next unit is the one the run begins at its start values
    bool inStartUnit_ = false;
    bool stoppedInUnit_ = false;
    UnitStart unit_;
    RunInterrupted interruption_;
    // The best bound of units searched by rows (no reduction: U + 1 throughout).
    std::int32_t bestBound_;
    std::unique_ptr<RunClassStream> classes_;
};

// Runs the search the identity describes from `from` on, writing to
// `writer` (whose head is written), and ends the output with its completion
// record, or with the record of the interruption.
int ExecuteRun(const RunStart& from, unsigned threads, bool quiet, bool toFile, EnginePath path, SolutionWriter& writer,
               const CliEnvironment& env, std::ostream& err)
{
    const RunIdentity& id = writer.Identity();
    writer.ContinueAfter(from.solutions, from.checksum, from.bestBound);
    RunPlan plan = PlanOf(id);
    plan.threads = threads;
    plan.path = path;
    plan.from = from.unit;
    plan.solutions = from.solutions;
    plan.bestBound = from.bestBound;
    SearchState state;
    PrepareRun(state, plan);

    // The progress line stands on its own line of the terminal: only when
    // the results do not go there too (they go to a file, or elsewhere), or
    // when only the count does.
    const bool drawProgress = env.errIsTerminal && !quiet && (toFile || !env.outIsErrTerminal || id.countOnly);
    const OuterUnits units = PlanUnits(plan);
    std::unique_ptr<ProgressLine> progress;
    if (drawProgress) {
        progress =
            std::make_unique<ProgressLine>(err, WorkShares(LimitsOf(id.setup.upperBound), plan.classes), env.errStyle);
    }
    if (progress && plan.classes) progress->SetCounted("classes");
    SearchOutputReporter reporter(writer, progress.get(), env, from, plan, state.bestBound);

    try {
        if (from.unit && !units.Contains(*from.unit)) {
            if (progress) progress->Finish();
            return RefuseWith(err, "resume: the output goes on at a unit that is not one of its run's");
        }
        const bool ended = RunEngine(state, plan, reporter);
        if (progress) progress->Finish();
        if (ended) {
            writer.WriteCompletion();
            return kExitOk;
        }
        const RunInterrupted& interrupted = reporter.Interruption();
        reporter.CountUpToTheUnit();
        // A census writes its rows only at the end: resume runs it again.
        writer.WriteInterruption(SignalName(interrupted.signal), id.census ? std::nullopt : interrupted.next);
        return kExitSignalBase + interrupted.signal;
    } catch (const WriteFailure& failure) {
        if (progress) progress->Finish();
        Say(err) << "cannot write the output: " << failure.what() << '\n';
        return kExitWriteFailed;
    }
}

// The identity of the output in `path`, read from its first record; none
// when it opens with anything else (or cannot be read).
std::optional<RunIdentity> IdentityOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    struct FirstRecord : CubeSink {
        std::optional<RunIdentity> identity;
        bool other = false;
        void OnIdentity(const IdentityRecord& record) override { identity = record.identity; }
        void OnCube(const CubeRecord&) override { other = true; }
        void OnProblem(std::size_t, const std::string&) override { other = true; }
    } first;
    OutputReader reader(in, first);
    while (!first.identity && !first.other && reader.Step()) {
    }
    return first.identity;
}

} // namespace

std::optional<unsigned> ParseThreads(const std::optional<std::string>& text, const std::string& option,
                                     const CliEnvironment& env, std::ostream& err)
{
    if (!text) return env.cores > 0 ? env.cores : 1;
    const InputCheck check = CheckStartValue(*text, 1, kMaxThreads);
    if (!check.Ok()) {
        RefuseUsage(err, NotAWholeNumber(option, 1, kMaxThreads, *text));
        return std::nullopt;
    }
    return static_cast<unsigned>(check.value);
}

int WriteRun(SolutionWriter& writer, const RunStart& from, unsigned threads, bool quiet, EnginePath path,
             const CliEnvironment& env, std::ostream& err, bool writeHead, bool toFile, OutputFile* file,
             const std::string& resumeName)
{
    try {
        if (writeHead) writer.WriteHead();
    } catch (const WriteFailure& failure) {
        Say(err) << "cannot write the output: " << failure.what() << '\n';
        return kExitWriteFailed;
    }
    const int status = ExecuteRun(from, threads, quiet, toFile, path, writer, env, err);
    if (status > kExitSignalBase) {
        const bool one = writer.Solutions() == 1;
        const char* counted =
            writer.Identity().CountsClasses() ? (one ? " class" : " classes") : (one ? " solution" : " solutions");
        Say(err) << "interrupted by " << SignalName(status - kExitSignalBase) << " after " << writer.Solutions()
                 << counted;
        if (!resumeName.empty()) err << "; pandicube-search resume " << resumeName << " goes on";
        err << '\n';
    }
    if (status == kExitOk && file != nullptr && !file->Commit(err, "")) return kExitWriteFailed;
    return status;
}

int RunSearchCommand(const SearchOptions& opt, const CliEnvironment& env, std::ostream& out, std::ostream& err)
{
    RunIdentity id;
    id.version = ProgramVersion();
    id.format = opt.format;
    id.cube = opt.cube;
    id.countOnly = opt.countOnly;
    id.classes = opt.classes;
    id.census = opt.census;

    // The same rules as the window's fields, in the same order.
    std::vector<std::string_view> startParts;
    StartTexts startTexts;
    if (opt.start) {
        startParts = SplitOn(*opt.start, ',');
        for (std::size_t i = 0; i < startTexts.size() && i < startParts.size(); ++i) startTexts[i] = startParts[i];
    }
    const auto checked = SetUpRun(opt.bound, opt.start ? &startTexts : nullptr, opt.reduce);
    const auto* refusal = std::get_if<SetupRefusal>(&checked);
    if (refusal != nullptr && refusal->field == SetupField::Bound)
        return RefuseUsage(err, NotAWholeNumber("--bound", 1, kMaxUpperBound, opt.bound));
    if (opt.start && startParts.size() != 4)
        return RefuseUsage(err, "--start takes four values E10,E14,E17,E18, not '" + *opt.start + "'");
    if (refusal != nullptr) {
        const std::array<const char*, 4> names = {"e10", "e14", "e17", "e18"};
        const auto field = static_cast<std::size_t>(refusal->field) - 1;
        const Limits limits = LimitsOf(CheckUpperBound(opt.bound).value);
        // Below 63 no value lies inside the limits.
        if (limits.lower > limits.upper)
            return RefuseUsage(err, "--start takes no values at a bound below 63, not '" + *opt.start + "'");
        return RefuseUsage(err, NotAWholeNumber(std::string(names[field]) + " of --start", limits.lower, limits.upper,
                                                std::string(startParts[field])));
    }
    id.setup = std::get<RunSetup>(checked);

    const std::optional<unsigned> threads = ParseThreads(opt.threads, "--threads", env, err);
    if (!threads) return kExitRefused;

    // The classes are numbered in the order of the whole run, which the bound
    // walk and start values change.
    if (opt.classes && opt.reduce)
        return RefuseUsage(err, "--classes cannot be combined with --reduce: the classes are those of the whole run");
    if (opt.classes && opt.start)
        return RefuseUsage(err, "--classes cannot be combined with --start: the classes are those of the whole run");

    // The census counts the classes of the whole run and writes no cubes.
    if (opt.census) {
        const std::array<std::pair<bool, const char*>, 5> others = {{
            {opt.reduce, "--reduce: the census counts the whole run"},
            {opt.start.has_value(), "--start: the census counts the whole run"},
            {opt.classes, "--classes: the census counts the classes already"},
            {opt.countOnly, "--count-only: the census is a count already"},
            {opt.cube, "--cube: the census writes no cubes"},
        }};
        for (const auto& [given, why] : others) {
            if (given) return RefuseUsage(err, std::string("--census cannot be combined with ") + why);
        }
    }

    if (opt.slice) {
        const std::vector<std::string_view> parts = SplitOn(*opt.slice, '/');
        const InputCheck count = parts.size() == 2 ? CheckStartValue(parts[1], 1, kMaxSlices) : InputCheck{};
        const InputCheck index = count.Ok() ? CheckStartValue(parts[0], 1, count.value) : InputCheck{};
        if (parts.size() != 2 || !count.Ok() || !index.Ok()) {
            return RefuseUsage(err, "--slice takes K/N, part K of N parts, with N a whole number from 1 to " +
                                        std::to_string(kMaxSlices) + " and K from 1 to N, not '" + *opt.slice + "'");
        }
        if (opt.reduce)
            return RefuseUsage(err, "--slice cannot be combined with --reduce: the bound walk is sequential");
        if (opt.start) return RefuseUsage(err, "--slice cannot be combined with --start: slices cover the whole run");
        id.slice = Slice{static_cast<unsigned>(index.value), static_cast<unsigned>(count.value)};
    }

    if (opt.continueRun && !opt.output)
        return RefuseUsage(err, "--continue goes with --output FILE: it goes on with that file");
    if (opt.continueRun) {
        // An output already there must be of this very run; resume then
        // leaves a whole one as it is and goes on with a part. (A name that
        // cannot become an output, a link among them, is refused first.)
        if (const int status = OutputFile::CheckName(*opt.output, err, ""); status != kExitOk) return status;
        for (const std::string& path : {*opt.output, OutputFile::PartPath(*opt.output)}) {
            std::error_code ec;
            if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) continue;
            const std::optional<RunIdentity> there = IdentityOf(path);
            if (!there)
                return RefuseWith(err, "--continue: " + path +
                                           " is not the output of a run; remove it or choose another FILE");
            if (RunOptions(*there) != RunOptions(id)) {
                return RefuseWith(err, "--continue: " + path + " holds another run (" + RunOptions(*there) +
                                           "), not this one (" + RunOptions(id) +
                                           "); remove it or choose another FILE");
            }
            // A part of a listing of classes cannot be continued: it starts over.
            if (path != *opt.output && there->classes) break;
            return RunResumeCommand({*opt.output, opt.threads, opt.quiet}, env, err);
        }
    }

    if (!opt.output) {
        SolutionWriter writer(out, id);
        return WriteRun(writer, {}, *threads, opt.quiet, opt.path, env, err, true, false, nullptr, "");
    }
    OutputFile file(*opt.output);
    if (const int status = file.Open(err, ""); status != kExitOk) return status;
    SolutionWriter writer(file.Stream(), id);
    return WriteRun(writer, {}, *threads, opt.quiet, opt.path, env, err, true, true, &file, file.PartPath());
}

} // namespace pandicube
