#include "cli/search_command.h"

#include "cli/output_file.h"
#include "cli/output_judge.h"
#include "cli/progress.h"
#include "cli/verify_command.h"
#include "search/cube_classes.h"
#include "search/cube_symmetry.h"
#include "search/input_rules.h"
#include "search/parallel_search.h"
#include "search/run_setup.h"
#include "search/solution_order.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>

namespace pandicube {

namespace {

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

std::string SignalName(int signal)
{
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "signal " + std::to_string(signal);
    }
}

// A signal asked the run to stop before the outer unit `next` (none: before
// the run has left its start values, so that it must start over).
struct RunInterrupted {
    int signal = 0;
    std::optional<OuterUnit> next;
};

// Where a run begins: at its start, or, for a resumed run, after the
// solutions already written, at the outer unit `unit`, leaving out the
// solutions up to `after` (already written when the run was killed).
struct RunStart {
    std::int64_t solutions = 0;
    std::uint64_t checksum = 0;
    std::optional<std::int32_t> bestBound;
    std::optional<OuterUnit> unit;
    std::optional<SolutionOrderKey> after;
};

// Writes every solution, draws the progress on a terminal, and stops the run
// between two records when a signal has come.
class SearchOutputReporter : public SearchReporter {
public:
    SearchOutputReporter(SolutionWriter& writer, ProgressLine* progress, const CliEnvironment& env,
                         const RunStart& from)
        : writer_(writer), progress_(progress), env_(env), after_(from.after),
          leftStart_(!writer.Identity().start || from.unit.has_value())
    {
    }

    void ReportProgress(const Progress& p) override
    {
        if (env_.interruption) {
            // A run from start values goes on at a unit only once it has left
            // them: a solution shows it has; before one it starts over.
            if (const int signal = env_.interruption(); signal != 0)
                throw RunInterrupted{signal,
                                     leftStart_ ? std::optional<OuterUnit>(OuterUnit{p.e14, p.e18}) : std::nullopt};
        }
        if (progress_ != nullptr) progress_->Update(p.e14, p.e18, writer_.Solutions());
    }
    void ReportSolution(const Solution& s) override
    {
        if (classes_) {
            // With classOpenersOnly the run hands on the cubes that open a
            // class, in run order. A slice cannot know the whole run's
            // solution numbers: it numbers its classes, and their first
            // members, within the slice; merge renumbers them.
            if (writer_.Identity().slice) {
                const Cells cube = CellsFromEntries(s.entries);
                const std::int64_t n = writer_.Solutions() + 1;
                writer_.WriteClass(CubeClass{n, n, ClassSizeInRun(cube), StandardForm(cube)});
            } else {
                writer_.WriteClass(classes_->AddOpener(s.entries));
            }
            leftStart_ = true;
            return;
        }
        if (after_ && !(*after_ < OrderKeyOf(s.entries))) return;
        writer_.WriteSolution(writer_.Solutions() + 1, CellsFromEntries(s.entries), s.bestBound);
        leftStart_ = true;
    }

private:
    SolutionWriter& writer_;
    ProgressLine* progress_;
    const CliEnvironment& env_;
    std::optional<SolutionOrderKey> after_;
    bool leftStart_;
    std::unique_ptr<RunClassStream> classes_ =
        writer_.Identity().classes ? std::make_unique<RunClassStream>() : nullptr;
};

// The outer units of a run (of its slice), in the order of the search.
OuterUnits RunUnits(const RunIdentity& id)
{
    const Limits limits = LimitsOf(id.bound);
    std::optional<UnitSlice> slice;
    if (id.slice) slice = UnitSlice{id.slice->index, id.slice->count};
    return OuterUnits(limits.lower, limits.upper, false, slice);
}

// Runs the search the identity describes from `from` on, writing to
// `writer` (whose head is written), and ends the output with its completion
// record, or with the record of the interruption.
int ExecuteRun(const RunStart& from, unsigned threads, bool quiet, EnginePath path, SolutionWriter& writer,
               const CliEnvironment& env, std::ostream& err)
{
    const RunIdentity& id = writer.Identity();
    writer.ContinueAfter(from.solutions, from.checksum, from.bestBound);
    const bool sequential = !from.unit && (id.reduce || id.start || (path == EnginePath::Sequential && !id.slice));

    // A bound walk goes on at the bound its last solution set.
    SearchState state;
    const bool reduced = id.reduce && from.bestBound.has_value();
    PrepareSearchState(
        state, RunSetup(reduced ? *from.bestBound - 1 : id.bound, from.unit ? std::nullopt : id.start, id.reduce));
    if (reduced) state.bestBound = *from.bestBound;
    if (id.classes) state.classOpenersOnly = 1;
    state.solutionCount = from.solutions;

    // The progress line stands on its own line of the terminal: only when
    // the results do not go there too, or when only the count does.
    const bool drawProgress = env.errIsTerminal && !quiet && (!env.outIsErrTerminal || id.countOnly);
    const OuterUnits units = RunUnits(id);
    std::unique_ptr<ProgressLine> progress;
    if (drawProgress) progress = std::make_unique<ProgressLine>(err, units);
    SearchOutputReporter reporter(writer, progress.get(), env, from);

    int status = kExitOk;
    try {
        try {
            if (sequential) {
                RunSearch(state, reporter);
            } else {
                if (from.unit && !units.Contains(*from.unit)) {
                    if (progress) progress->Finish();
                    return RefuseWith(err, "resume: the output goes on at a unit that is not one of its run's");
                }
                if (!id.reduce) {
                    RunOuterUnits(state, reporter, from.unit ? units.From(*from.unit) : units.Begin(), threads);
                } else {
                    // The bound walk goes on unit by unit among the units
                    // of its current limits: those of the run that lie
                    // inside them, the ones the loops still reach.
                    OuterUnitCursor rest = OuterUnits(state).From(*from.unit);
                    std::int32_t walkLimit = state.upperLimit;
                    while (const std::optional<OuterUnit> unit = rest.Next()) {
                        RunOuterUnit(state, reporter, *unit);
                        if (state.upperLimit == walkLimit) continue;
                        walkLimit = state.upperLimit;
                        const OuterUnits lowered(state);
                        rest = lowered.From(*unit);
                        if (lowered.Contains(*unit)) rest.Next();
                    }
                }
            }
            if (progress) progress->Finish();
            writer.WriteCompletion();
        } catch (const RunInterrupted& interrupted) {
            if (progress) progress->Finish();
            writer.WriteInterruption(SignalName(interrupted.signal), interrupted.next);
            status = kExitSignalBase + interrupted.signal;
        }
    } catch (const WriteFailure& failure) {
        if (progress) progress->Finish();
        err << "pandicube-search: cannot write the output: " << failure.what() << '\n';
        return kExitWriteFailed;
    }
    return status;
}

std::optional<unsigned> ParseThreads(const std::optional<std::string>& text, const CliEnvironment& env,
                                     std::ostream& err)
{
    if (!text) return env.cores > 0 ? env.cores : 1;
    const InputCheck check = CheckStartValue(*text, 1, kMaxThreads);
    if (!check.Ok()) {
        Refuse(err, "--threads", check.error);
        return std::nullopt;
    }
    return static_cast<unsigned>(check.value);
}

// Writes a run, its head first when `writeHead`; a complete run's output
// file is renamed to its name. When a signal ended the run, says how to go
// on (with `resumeName`, the file that `resume` takes).
int WriteRun(SolutionWriter& writer, const RunStart& from, unsigned threads, bool quiet, EnginePath path,
             const CliEnvironment& env, std::ostream& err, bool writeHead, OutputFile* file,
             const std::string& resumeName)
{
    try {
        if (writeHead) writer.WriteHead();
    } catch (const WriteFailure& failure) {
        err << "pandicube-search: cannot write the output: " << failure.what() << '\n';
        return kExitWriteFailed;
    }
    const int status = ExecuteRun(from, threads, quiet, path, writer, env, err);
    if (status > kExitSignalBase) {
        err << "pandicube-search: interrupted by " << SignalName(status - kExitSignalBase) << " after "
            << writer.Solutions() << (writer.Solutions() == 1 ? " solution" : " solutions");
        if (!resumeName.empty()) err << "; pandicube-search resume " << resumeName << " goes on";
        err << '\n';
    }
    if (status == kExitOk && file != nullptr && !file->Commit(err, "")) return kExitWriteFailed;
    return status;
}

} // namespace

int RunSearchCommand(const SearchOptions& opt, const CliEnvironment& env, std::ostream& out, std::ostream& err)
{
    RunIdentity id;
    id.version = ProgramVersion();
    id.reduce = opt.reduce;
    id.format = opt.format;
    id.cube = opt.cube;
    id.countOnly = opt.countOnly;
    id.classes = opt.classes;

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
    id.bound = setup.upperBound;
    id.start = setup.start;

    const std::optional<unsigned> threads = ParseThreads(opt.threads, env, err);
    if (!threads) return kExitRefused;

    // The classes are numbered in the order of the whole run, which the bound
    // walk and start values change.
    if (opt.classes && opt.reduce)
        return RefuseWith(err, "--classes cannot be combined with --reduce: the classes are those of the whole run");
    if (opt.classes && opt.start)
        return RefuseWith(err, "--classes cannot be combined with --start: the classes are those of the whole run");

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
        id.slice = Slice{static_cast<unsigned>(index.value), static_cast<unsigned>(count.value)};
    }

    if (!opt.output) {
        SolutionWriter writer(out, id);
        return WriteRun(writer, {}, *threads, opt.quiet, opt.path, env, err, true, nullptr, "");
    }
    OutputFile file(*opt.output);
    if (!file.Open(err, "")) return kExitWriteFailed;
    SolutionWriter writer(file.Stream(), id);
    return WriteRun(writer, {}, *threads, opt.quiet, opt.path, env, err, true, &file, file.PartPath());
}

int RunResumeCommand(const ResumeOptions& opt, const CliEnvironment& env, std::ostream& err)
{
    const std::optional<unsigned> threads = ParseThreads(opt.threads, env, err);
    if (!threads) return kExitRefused;
    // `resume NAME` also finds the NAME.part that --output NAME left.
    std::string path = opt.file;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && std::filesystem::exists(OutputFile::PartPath(path), ec))
        path = OutputFile::PartPath(path);

    // The output is continued in place: it must be a file.
    if (path == "-") return RefuseWith(err, "resume: continues a file in place, not standard input");
    std::unique_ptr<std::istream> owned;
    if (OpenInput(path, env, owned, err, "resume") == nullptr) return kExitRefused;
    std::size_t problems = 0;
    OutputJudge judge([&](std::size_t line, const std::string& message) {
        if (problems++ < 10)
            err << "pandicube-search: resume: " << path << ": line " << line << ": " << message << '\n';
    });
    ReadCubes(*owned, judge);
    owned.reset();
    if (judge.Parts().size() != 1 || !judge.Parts().front().identity)
        return RefuseWith(err, "resume: " + path + " does not hold the output of one run with its identity line");
    if (judge.Parts().front().identity->classes)
        return RefuseWith(err,
                          "resume: " + path + " is a --classes output, which resume cannot continue; run it again");
    if (problems > 0) return RefuseWith(err, "resume: " + path + " is malformed; it cannot be continued");
    const OutputPart& part = judge.Parts().front();
    const RunIdentity& id = *part.identity;
    const bool isPart = path.size() > 5 && path.ends_with(".part");
    const std::string finalPath = isPart ? path.substr(0, path.size() - 5) : path;
    if (part.Complete()) {
        if (isPart) std::filesystem::rename(path, finalPath, ec);
        err << "pandicube-search: resume: " << finalPath << " is complete; nothing to do\n";
        return kExitOk;
    }

    // Where the run goes on: at the unit the interruption names, or after the
    // last whole solution record of a killed run. A run from start values
    // whose last solution lies in its first unit starts over, since that unit
    // was searched from the start values on, not whole.
    RunStart from;
    std::uint64_t keep = part.headEnd;
    const std::optional<CompletionRecord>& stop = part.completion;
    if (stop && stop->next) {
        from.unit = stop->next;
        from.solutions = stop->solutions;
        from.checksum = stop->checksum;
        from.bestBound = stop->bestBound;
        if (!id.countOnly && part.last) {
            keep = part.last->end;
            // The unit named may already hold solutions that are written: a
            // resumed run that a signal stopped before it had left the unit
            // it went on in, where it left out those solutions. They come
            // before the next one in the order of the search either way.
            from.after = OrderKeyOf(EntriesFromCells(part.last->cells));
        }
    } else if (part.last && !id.countOnly) {
        const Entries e = EntriesFromCells(part.last->cells);
        const OuterUnit unit{e[kE14], e[kE18]};
        const OuterUnit first{part.first->cells[kE14], part.first->cells[kE18]};
        if (!id.start || unit.e14 != first.e14 || unit.e18 != first.e18) {
            from.unit = unit;
            from.after = OrderKeyOf(e);
            from.solutions = part.solutions;
            from.checksum = part.checksum;
            from.bestBound = part.last->bestBound;
            keep = part.last->end;
        }
    }
    const bool restart = !from.unit;
    std::filesystem::resize_file(path, restart ? 0 : keep, ec);
    if (ec) return RefuseWith(err, "resume: cannot shorten " + path + ": " + ec.message());

    std::ofstream stream(path, std::ios::binary | std::ios::app);
    if (!stream) return RefuseWith(err, "resume: cannot write " + path);
    SolutionWriter writer(stream, id);
    const int status = WriteRun(writer, from, *threads, opt.quiet, EnginePath::Auto, env, err, restart, nullptr, path);
    stream.close();
    if (status == kExitOk && isPart) {
        std::filesystem::rename(path, finalPath, ec);
        if (ec) {
            err << "pandicube-search: resume: cannot rename " << path << ": " << ec.message() << '\n';
            return kExitWriteFailed;
        }
    }
    return status;
}

} // namespace pandicube
