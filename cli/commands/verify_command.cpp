#include "cli/commands/verify_command.h"

#include "cli/commands/class_spool.h"
#include "cli/commands/search_again.h"
#include "cli/commands/search_command.h"
#include "cli/formats/output_judge.h"
#include "cli/formats/solution_writer.h"
#include "cli/output_file.h"
#include "cli/stop_signals.h"
#include "cli/usage.h"
#include "search/cells.h"
#include "search/cube/cube_check.h"
#include "search/cube/cube_classes.h"
#include "search/input_rules.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

namespace pandicube {

namespace {

// At most this many details per broken rule, and problems per input.
constexpr std::size_t kDetailsPerRule = 8;
constexpr std::size_t kProblemsShown = 20;

std::string Plural(std::int64_t n, const char* one, const char* many)
{
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

// Writes the rules a cube breaks, at most kDetailsPerRule details each.
void ReportInvalidCube(std::ostream& out, const CubeRecord& cube, const CubeCheck& check)
{
    out << "solution " << cube.number << " (line " << cube.line << "): invalid\n";
    std::array<std::size_t, 4> perRule{};
    for (const RuleFailure& failure : check.failures) {
        std::size_t& n = perRule[static_cast<std::size_t>(failure.rule)];
        if (n++ < kDetailsPerRule) out << "  " << CubeRuleName(failure.rule) << ": " << failure.detail << '\n';
    }
    for (std::size_t rule = 0; rule < perRule.size(); ++rule) {
        if (perRule[rule] > kDetailsPerRule) {
            out << "  " << CubeRuleName(static_cast<CubeRule>(rule)) << ": and " << perRule[rule] - kDetailsPerRule
                << " more\n";
        }
    }
}

// Groups every cube read into classes (also those the judge finds out of
// place) and hands everything on to the judge.
class ClassTally : public CubeSink {
public:
    ClassTally(OutputJudge& judge, bool group) : judge_(judge), group_(group) {}

    void OnIdentity(const IdentityRecord& r) override { judge_.OnIdentity(r); }
    void OnHeader(std::uint64_t end) override { judge_.OnHeader(end); }
    void OnCube(const CubeRecord& cube) override
    {
        if (group_) {
            ++cubes;
            if (spool.Failure().empty()) spool.Add(cube.cells, cube.number);
        }
        judge_.OnCube(cube);
    }
    void OnClosing(const ClosingRecord& r) override { judge_.OnClosing(r); }
    void OnCompletion(const CompletionRecord& r) override { judge_.OnCompletion(r); }
    void OnCensusRow(const CensusRecord& r) override { judge_.OnCensusRow(r); }
    void OnProblem(std::size_t line, const std::string& message) override { judge_.OnProblem(line, message); }
    void OnCutShort(std::size_t line, const std::string& message) override { judge_.OnCutShort(line, message); }

    // The classes, kept on temporary files: memory does not grow with the
    // listing.
    ClassSpool spool;
    std::int64_t cubes = 0;

private:
    OutputJudge& judge_;
    bool group_;
};

} // namespace

int RunVerifyCommand(const VerifyOptions& opt, const CliEnvironment& env, std::ostream& out, std::ostream& err)
{
    std::optional<std::int32_t> bound;
    if (opt.bound) {
        const InputCheck check = CheckUpperBound(*opt.bound);
        if (!check.Ok()) {
            return UsageError(err, "pandicube-search",
                              NotAWholeNumber("verify --bound", 1, kMaxUpperBound, *opt.bound));
        }
        bound = check.value;
    }
    if (opt.threads && !opt.search)
        return UsageError(err, "pandicube-search", "verify --threads is for the search of --search");
    const std::optional<unsigned> threads = ParseThreads(opt.threads, "verify --threads", env, err);
    if (!threads) return kExitRefused;
    if (opt.search && opt.file == "-") {
        return UsageError(err, "pandicube-search",
                          "verify --search compares the run with a file, not with standard input");
    }
    // Nothing is left to record when verify stops: a signal ends it at once.
    const StopAtOnce stop("verify");
    std::unique_ptr<std::istream> owned;
    std::istream* in = OpenInput(opt.file, env, owned, err, "verify");
    if (in == nullptr) return kExitRefused;

    const std::string where = "pandicube-search: verify: " + opt.file + ": ";
    std::size_t shown = 0;
    std::string lastProblem; // shown in any case: it may say why the reading stopped
    std::int64_t checked = 0;
    std::int64_t invalid = 0;
    std::map<std::size_t, std::int64_t> invalidAtLine; // invalid cubes of the output that starts at a line
    OutputJudge judge(
        [&](std::size_t line, const std::string& message) {
            lastProblem = where + "line " + std::to_string(line) + ": " + message + '\n';
            if (shown++ < kProblemsShown) err << lastProblem;
        },
        [&](const CubeRecord& cube, const OutputPart& part) {
            ++checked;
            const CubeCheck check =
                CheckCube(cube.cells, bound           ? bound
                                      : part.identity ? std::optional(part.identity->setup.upperBound)
                                                      : std::nullopt);
            if (check.Valid()) return;
            ++invalid;
            ++invalidAtLine[part.line];
            ReportInvalidCube(out, cube, check);
        });
    ClassTally tally(judge, opt.classes);
    ReadCubes(*in, tally);
    if (judge.Problems() > kProblemsShown)
        err << where << judge.Problems() - kProblemsShown - 1 << " more problems not shown\n" << lastProblem;

    // The file as a whole: is every output in it complete?
    bool incomplete = false;
    for (const OutputPart& part : judge.Parts()) {
        const std::string at = where + "line " + std::to_string(part.line) + ": ";
        std::string why;
        if (!part.identity) {
            why = "an output without identity line and completion record (written by an earlier "
                  "pandicube-search): nothing shows that it is whole";
        } else if (!part.completion) {
            why = "the output that starts here has no completion record: the run was killed or the file is "
                  "truncated";
            if (!part.cutShort.empty()) why += "; " + part.cutShort;
        } else if (!part.completion->complete) {
            why = "the run was interrupted by " + part.completion->signal + " after " +
                  (part.completion->classes ? Plural(part.completion->solutions, "class", "classes")
                                            : Plural(part.completion->solutions, "solution", "solutions")) +
                  "; pandicube-search resume continues it";
        }
        if (why.empty()) continue;
        incomplete = true;
        if (!opt.partial) {
            err << at << why << '\n';
        } else if (part.problems == 0 && invalidAtLine[part.line] == 0) {
            out << opt.file << ": output at line " << part.line << " is incomplete; its "
                << Plural(part.solutions, "solution is", "solutions are") << " sound\n";
        }
    }
    bool lacksMembers = false;
    if (opt.classes) {
        // A file that claims to be one full listing (its completion record
        // says the run completed) must hold every member of each class.
        const auto& parts = judge.Parts();
        const bool fullListing = parts.size() == 1 && parts.front().completion && parts.front().completion->complete &&
                                 parts.front().identity && !parts.front().identity->slice &&
                                 !parts.front().identity->setup.start && !parts.front().identity->setup.reduceBound &&
                                 !parts.front().identity->countOnly && !parts.front().identity->classes;
        std::int64_t k = 0;
        const bool grouped = tally.spool.Failure().empty() && tally.spool.ForEachClass([&](const ClassSpool::Class& c) {
            ++k;
            out << "class " << k << ": " << Plural(static_cast<std::int64_t>(c.members.size()), "cube", "cubes")
                << ": solutions";
            for (const std::int64_t number : c.members) out << ' ' << number;
            out << '\n';
            const std::int64_t missing = c.sizeInRun - static_cast<std::int64_t>(c.members.size());
            if (fullListing && missing > 0) {
                lacksMembers = true;
                err << where << "class " << k << " (first met at solution " << c.firstSolution << ") lacks " << missing
                    << " of its " << c.sizeInRun << " members: the listing is not whole\n";
            }
        });
        if (!grouped) {
            err << "pandicube-search: verify: cannot group the classes: " << tally.spool.Failure() << '\n';
            return kExitWriteFailed;
        }
        out << Plural(k, "class", "classes") << " among " << Plural(tally.cubes, "cube", "cubes") << '\n';
    }
    // A census holds rows, not cubes: its report counts what they hold.
    const auto& parts = judge.Parts();
    const bool census = !parts.empty() && std::all_of(parts.begin(), parts.end(), [](const OutputPart& part) {
        return part.identity && part.identity->census;
    });
    if (census) {
        std::int64_t rows = 0;
        std::int64_t cubes = 0;
        std::int64_t classes = 0;
        for (const OutputPart& part : parts) {
            if (part.census.empty()) continue;
            rows += static_cast<std::int64_t>(part.census.size());
            cubes += part.census.back().cubesUpTo;
            classes += part.census.back().classesUpTo;
        }
        out << Plural(rows, "census row", "census rows") << " checked: " << Plural(cubes, "cube", "cubes") << ", "
            << Plural(classes, "class", "classes") << '\n';
    } else {
        out << Plural(checked, "cube", "cubes") << " checked, " << checked - invalid << " valid, " << invalid
            << " invalid\n";
    }
    out.flush();
    if (!out.good()) {
        err << "pandicube-search: verify: cannot write the report: " << std::strerror(errno) << '\n';
        return kExitWriteFailed;
    }
    if (judge.Parts().empty() && judge.Problems() == 0) {
        err << where << "the input holds no output of pandicube-search\n";
        return kExitRefused;
    }
    if (judge.Problems() > 0) {
        err << where << "the input is malformed ("
            << Plural(static_cast<std::int64_t>(judge.Problems()), "problem", "problems") << ")\n";
        return kExitRefused;
    }
    if (incomplete && !opt.partial) return kExitRefused;
    if (lacksMembers) return kExitRefused;
    if (invalid > 0) return kExitFailed;
    if (!opt.search) return kExitOk;
    if (judge.Parts().size() != 1 || incomplete) {
        err << where << "--search compares one complete output with its run; this input holds "
            << Plural(static_cast<std::int64_t>(judge.Parts().size()), "output", "outputs")
            << (incomplete ? ", not complete" : "") << '\n';
        return kExitRefused;
    }
    owned.reset();
    const int status = SearchAgain(opt.file, *judge.Parts().front().identity, *threads, env, out, err);
    out.flush();
    if (!out.good()) {
        err << "pandicube-search: verify: cannot write the report: " << std::strerror(errno) << '\n';
        return kExitWriteFailed;
    }
    return status;
}

} // namespace pandicube
