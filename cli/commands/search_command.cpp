#include "cli/commands/search_command.h"

#include "cli/commands/resume_command.h"
#include "cli/commands/search_refusals.h"
#include "cli/formats/output_reader.h"
#include "cli/output_file.h"
#include "cli/progress.h"
#include "cli/reporting/run_reporter.h"
#include "cli/stop_signals.h"
#include "cli/usage.h"
#include "search/cube/cube_check.h"
#include "search/cube/solution_order.h"
#include "search/engine.h"
#include "search/run_setup.h"

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
        progress =
            std::make_unique<ProgressLine>(err, WorkShares(LimitsOf(id.setup.upperBound), plan.classes), env.errStyle);
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

} // namespace pandicube
