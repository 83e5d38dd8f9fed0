#include "cli/commands/resume_command.h"

#include "cli/formats/solution_writer.h"
#include "cli/output_file.h"
#include "cli/usage.h"
#include "search/cube/cube_check.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>

namespace pandicube {

namespace {

constexpr std::size_t kResumeProblemsShown = 10;

// `resume NAME` also finds the NAME.part that --output NAME left.
std::string OutputPath(const std::string& name)
{
    std::error_code ec;
    if (!std::filesystem::exists(name, ec) && std::filesystem::exists(OutputFile::PartPath(name), ec))
        return OutputFile::PartPath(name);
    return name;
}

// Reads the output in `path` whole, as verify judges it, and takes its one
// output into `part`: every solution kept must be a cube of the run. Returns
// 0, or 2 after saying why the output cannot be continued.
int ReadOutput(const std::string& path, const CliEnvironment& env, std::ostream& err, OutputPart& part)
{
    std::unique_ptr<std::istream> owned;
    if (OpenInput(path, env, owned, err, "resume") == nullptr) return kExitRefused;
    std::size_t problems = 0;
    const auto report = [&](std::size_t line, const std::string& message) {
        if (problems++ < kResumeProblemsShown)
            Say(err) << "resume: " << path << ": line " << line << ": " << message << '\n';
    };
    OutputJudge judge(report, [&](const CubeRecord& cube, const OutputPart& in) {
        const CubeCheck check =
            CheckCube(cube.cells, in.identity ? std::optional(in.identity->setup.upperBound) : std::nullopt);
        if (check.Valid()) return;
        report(cube.line, "solution " + std::to_string(cube.number) + " is not a valid cube of the run (" +
                              CubeRuleName(check.failures.front().rule) + ": " + check.failures.front().detail + ")");
    });
    ReadCubes(*owned, judge);
    if (judge.Parts().size() != 1 || !judge.Parts().front().identity)
        return RefuseWith(err, "resume: " + path + " does not hold the output of one run with its identity line");
    if (problems > 0) return RefuseWith(err, "resume: " + path + " is malformed; it cannot be continued");
    part = judge.Parts().front();
    const RunIdentity& id = *part.identity;
    if (!ContinuableVersion(id.version)) {
        return RefuseWith(err, "resume: " + path + " was written by pandicube-search " + id.version +
                                   ", not by this version (" + ProgramVersion() + "); run it again");
    }
    return kExitOk;
}

// A complete NAME.part takes its name NAME, flushed to the disk; false after
// saying why it cannot.
bool RenameWhole(OwnedFile& file, const std::string& path, std::ostream& err)
{
    const std::optional<std::string> wholePath = OutputFile::WholePath(path);
    if (!wholePath || (file.SyncToDisk() && RenameDurably(file.Descriptor(), path, *wholePath))) return true;
    Say(err) << "resume: cannot rename " << path << " to " << *wholePath << ": " << std::strerror(errno) << '\n';
    return false;
}

} // namespace

ResumePoint WhereRunGoesOn(const OutputPart& part)
{
    const RunIdentity& id = *part.identity;
    ResumePoint point;
    RunStart& from = point.from;
    const std::optional<CompletionRecord>& stop = part.completion;
    if (stop && stop->next) {
        from.unit = stop->next;
        from.solutions = stop->solutions;
        from.checksum = stop->checksum;
        from.bestBound = stop->bestBound;
        point.keep = part.headEnd;
        if (!id.countOnly && part.last) {
            point.keep = part.last->end;
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
        if (!id.setup.start || unit.e14 != first.e14 || unit.e18 != first.e18) {
            from.unit = unit;
            from.after = OrderKeyOf(e);
            from.solutions = part.solutions;
            from.checksum = part.checksum;
            from.bestBound = part.last->bestBound;
            point.keep = part.last->end;
        }
    }
    return point;
}

int RunResumeCommand(const ResumeOptions& opt, const CliEnvironment& env, std::ostream& err)
{
    const std::optional<unsigned> threads = ParseThreads(opt.threads, "--threads", env, err);
    if (!threads) return kExitRefused;
    const std::string path = OutputPath(opt.file);

    // The output is continued in place: it must be a file, and this process
    // must own it.
    if (path == "-") return RefuseWith(err, "resume: continues a file in place, not standard input");
    // (Taken first: a FIFO or a device is refused before anything waits on it.)
    OwnedFile file;
    if (const int status = file.Take(path, false, err, "resume: "); status != kExitOk) return status;
    OutputPart part;
    if (const int status = ReadOutput(path, env, err, part); status != kExitOk) return status;
    const RunIdentity& id = *part.identity;
    if (part.Complete()) {
        // NAME is complete only once it exists under its name.
        if (!RenameWhole(file, path, err)) return kExitWriteFailed;
        Say(err) << "resume: " << OutputFile::WholePath(path).value_or(path) << " is complete; nothing to do\n";
        return kExitOk;
    }
    if (id.classes)
        return RefuseWith(err,
                          "resume: " + path + " is a --classes output, which resume cannot continue; run it again");

    const ResumePoint point = WhereRunGoesOn(part);
    const bool restart = !point.from.unit;
    if (!file.Shorten(point.keep))
        return RefuseWith(err, "resume: cannot shorten " + path + ": " + std::strerror(errno));

    SolutionWriter writer(file.Stream(), id);
    int status =
        WriteRun(writer, point.from, *threads, opt.quiet, EnginePath::Auto, env, err, restart, true, nullptr, path);
    if (status == kExitOk && !file.SyncToDisk()) {
        Say(err) << "cannot write the output: " << std::strerror(errno) << '\n';
        status = kExitWriteFailed;
    }
    // Renamed while this process still owns it.
    if (status == kExitOk && !RenameWhole(file, path, err)) status = kExitWriteFailed;
    file.Close();
    return status;
}

} // namespace pandicube
