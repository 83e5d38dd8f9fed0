#include "cli/commands/search_command.h"

#include "cli/commands/output_judge.h"
#include "cli/commands/search_refusals.h"
#include "cli/formats/output_reader.h"
#include "cli/output_file.h"
#include "cli/progress.h"
#include "cli/reporting/run_reporter.h"
#include "cli/stop_signals.h"
#include "search/cube/cube_check.h"
#include "search/cube/solution_order.h"
#include "search/engine.h"
#include "search/loops/run_setup.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <utility>
#include <variant>

namespace pandicube {

namespace {

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
        progress = std::make_unique<ProgressLine>(err, WorkShares(LimitsOf(id.bound), plan.classes), env.errStyle);
    }
    if (progress && plan.classes) progress->SetCounted("classes");
    const std::unique_ptr<RunReporter> reporting =
        MakeRunReporter(writer, progress.get(), env, from, plan, state.bestBound);
    RunReporter& reporter = *reporting;

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
        err << "pandicube-search: cannot write the output: " << failure.what() << '\n';
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

// Writes a run, its head first when `writeHead`; a complete run's output
// file is renamed to its name. When a signal ended the run, says how to go
// on (with `resumeName`, the file that `resume` takes).
int WriteRun(SolutionWriter& writer, const RunStart& from, unsigned threads, bool quiet, EnginePath path,
             const CliEnvironment& env, std::ostream& err, bool writeHead, bool toFile, OutputFile* file,
             const std::string& resumeName)
{
    try {
        if (writeHead) writer.WriteHead();
    } catch (const WriteFailure& failure) {
        err << "pandicube-search: cannot write the output: " << failure.what() << '\n';
        return kExitWriteFailed;
    }
    const int status = ExecuteRun(from, threads, quiet, toFile, path, writer, env, err);
    if (status > kExitSignalBase) {
        const bool one = writer.Solutions() == 1;
        const char* counted =
            writer.Identity().CountsClasses() ? (one ? " class" : " classes") : (one ? " solution" : " solutions");
        err << "pandicube-search: interrupted by " << SignalName(status - kExitSignalBase) << " after "
            << writer.Solutions() << counted;
        if (!resumeName.empty()) err << "; pandicube-search resume " << resumeName << " goes on";
        err << '\n';
    }
    if (status == kExitOk && file != nullptr && !file->Commit(err, "")) return kExitWriteFailed;
    return status;
}

// With --continue, an output already there must be of this very run; resume
// then leaves a whole one as it is and goes on with a part (a part of a
// listing of classes starts over). None when the run starts afresh. (A name
// that cannot become an output, a link among them, is refused first.)
std::optional<int> ContinueRun(const SearchOptions& opt, const RunIdentity& id, const CliEnvironment& env,
                               std::ostream& err)
{
    if (const int status = OutputFile::CheckName(*opt.output, err, ""); status != kExitOk) return status;
    for (const std::string& path : {*opt.output, OutputFile::PartPath(*opt.output)}) {
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) continue;
        const std::optional<RunIdentity> there = IdentityOf(path);
        if (!there)
            return RefuseWith(err,
                              "--continue: " + path + " is not the output of a run; remove it or choose another FILE");
        if (RunOptions(*there) != RunOptions(id)) {
            return RefuseWith(err, "--continue: " + path + " holds another run (" + RunOptions(*there) +
                                       "), not this one (" + RunOptions(id) + "); remove it or choose another FILE");
        }
        if (path != *opt.output && there->classes) return std::nullopt;
        return RunResumeCommand({*opt.output, opt.threads, opt.quiet}, env, err);
    }
    return std::nullopt;
}

} // namespace

int RunSearchCommand(const SearchOptions& opt, const CliEnvironment& env, std::ostream& out, std::ostream& err)
{
    const std::variant<CheckedSearch, int> checked = CheckSearchOptions(opt, env, err);
    if (const int* status = std::get_if<int>(&checked)) return *status;
    const auto& [id, threads] = std::get<CheckedSearch>(checked);
    if (opt.continueRun) {
        if (const std::optional<int> status = ContinueRun(opt, id, env, err)) return *status;
    }
    if (!opt.output) {
        SolutionWriter writer(out, id);
        return WriteRun(writer, {}, threads, opt.quiet, opt.path, env, err, true, false, nullptr, "");
    }
    OutputFile file(*opt.output);
    if (const int status = file.Open(err, ""); status != kExitOk) return status;
    SolutionWriter writer(file.Stream(), id);
    return WriteRun(writer, {}, threads, opt.quiet, opt.path, env, err, true, true, &file, file.PartPath());
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

    // The output is continued in place: it must be a file, and this process
    // must own it.
    if (path == "-") return RefuseWith(err, "resume: continues a file in place, not standard input");
    // (Taken first: a FIFO or a device is refused before anything waits on it.)
    OwnedFile file;
    if (const int status = file.Take(path, false, err, "resume: "); status != kExitOk) return status;
    std::unique_ptr<std::istream> owned;
    if (OpenInput(path, env, owned, err, "resume") == nullptr) return kExitRefused;
    std::size_t problems = 0;
    const auto report = [&](std::size_t line, const std::string& message) {
        if (problems++ < 10)
            err << "pandicube-search: resume: " << path << ": line " << line << ": " << message << '\n';
    };
    // Every solution kept must be a cube of the run, as verify checks it.
    OutputJudge judge(report, [&](const CubeRecord& cube, const OutputPart& part) {
        const CubeCheck check =
            CheckCube(cube.cells, part.identity ? std::optional(part.identity->bound) : std::nullopt);
        if (check.Valid()) return;
        report(cube.line, "solution " + std::to_string(cube.number) + " is not a valid cube of the run (" +
                              CubeRuleName(check.failures.front().rule) + ": " + check.failures.front().detail + ")");
    });
    ReadCubes(*owned, judge);
    owned.reset();
    if (judge.Parts().size() != 1 || !judge.Parts().front().identity)
        return RefuseWith(err, "resume: " + path + " does not hold the output of one run with its identity line");
    if (problems > 0) return RefuseWith(err, "resume: " + path + " is malformed; it cannot be continued");
    const OutputPart& part = judge.Parts().front();
    const RunIdentity& id = *part.identity;
    if (!ContinuableVersion(id.version)) {
        return RefuseWith(err, "resume: " + path + " was written by pandicube-search " + id.version +
                                   ", not by this version (" + ProgramVersion() + "); run it again");
    }
    const std::optional<std::string> wholePath = OutputFile::WholePath(path);
    const std::string finalPath = wholePath.value_or(path);
    // A complete NAME.part takes its name NAME, flushed to the disk.
    const auto rename = [&] {
        if (!wholePath || (file.SyncToDisk() && RenameDurably(file.Descriptor(), path, *wholePath))) return true;
        err << "pandicube-search: resume: cannot rename " << path << " to " << *wholePath << ": "
            << std::strerror(errno) << '\n';
        return false;
    };
    if (part.Complete()) {
        // NAME is complete only once it exists under its name.
        if (!rename()) return kExitWriteFailed;
        err << "pandicube-search: resume: " << finalPath << " is complete; nothing to do\n";
        return kExitOk;
    }
    if (id.classes)
        return RefuseWith(err,
                          "resume: " + path + " is a --classes output, which resume cannot continue; run it again");

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
    if (!file.Shorten(restart ? 0 : keep))
        return RefuseWith(err, "resume: cannot shorten " + path + ": " + std::strerror(errno));

    SolutionWriter writer(file.Stream(), id);
    int status = WriteRun(writer, from, *threads, opt.quiet, EnginePath::Auto, env, err, restart, true, nullptr, path);
    if (status == kExitOk && !file.SyncToDisk()) {
        err << "pandicube-search: cannot write the output: " << std::strerror(errno) << '\n';
        status = kExitWriteFailed;
    }
    // Renamed while this process still owns it.
    if (status == kExitOk && !rename()) status = kExitWriteFailed;
    file.Close();
    return status;
}

} // namespace pandicube
