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
#include <variant>

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

// The options checked as the search checks its own: the bound of --bound
// and the threads of --search's run, or the usage error's status.
struct VerifyRun {
    std::optional<std::int32_t> bound;
    unsigned threads = 1;
};
std::variant<VerifyRun, int> CheckOptions(const VerifyOptions& opt, const CliEnvironment& env, std::ostream& err)
{
    VerifyRun run;
    if (opt.bound) {
        const InputCheck check = CheckUpperBound(*opt.bound);
        if (!check.Ok()) return RefuseUsage(err, NotAWholeNumber("verify --bound", 1, kMaxUpperBound, *opt.bound));
        run.bound = check.value;
    }
    if (opt.threads && !opt.search) return RefuseUsage(err, "verify --threads is for the search of --search");
    const std::optional<unsigned> threads = ParseThreads(opt.threads, "verify --threads", env, err);
    if (!threads) return kExitRefused;
    run.threads = *threads;
    if (opt.search && opt.file == "-")
        return RefuseUsage(err, "verify --search compares the run with a file, not with standard input");
    return run;
}

// What the reading found: the cubes checked and the invalid ones, also per
// output (by the line it starts at).
struct CubeCounts {
    std::int64_t checked = 0;
    std::int64_t invalid = 0;
    std::map<std::size_t, std::int64_t> invalidAtLine;
};

// Reads an input: checks every cube on its own (each invalid one written to
// `out`) and judges each output whole (its problems to `err`: the first
// kProblemsShown and the last, which may say why the reading stopped).
class FileReading {
public:
    FileReading(const VerifyOptions& opt, const VerifyRun& run, const std::string& where, std::ostream& out,
                std::ostream& err)
        : judge(
              [this, &where, &err](std::size_t line, const std::string& message) {
                  lastProblem_ = where + "line " + std::to_string(line) + ": " + message + '\n';
                  if (shown_++ < kProblemsShown) Say(err) << lastProblem_;
              },
              [this, &run, &out](const CubeRecord& cube, const OutputPart& part) {
                  ++counts.checked;
                  const auto bound = run.bound       ? run.bound
                                     : part.identity ? std::optional(part.identity->setup.upperBound)
                                                     : std::nullopt;
                  const CubeCheck check = CheckCube(cube.cells, bound);
                  if (check.Valid()) return;
                  ++counts.invalid;
                  ++counts.invalidAtLine[part.line];
                  ReportInvalidCube(out, cube, check);
              }),
          tally(judge, opt.classes), where_(where), err_(err)
    {
    }

    void Read(std::istream& in)
    {
        ReadCubes(in, tally);
        if (judge.Problems() <= kProblemsShown) return;
        Say(err_) << where_ << judge.Problems() - kProblemsShown - 1 << " more problems not shown\n";
        Say(err_) << lastProblem_;
    }

    CubeCounts counts;
    OutputJudge judge;
    ClassTally tally;

private:
    std::size_t shown_ = 0;
    std::string lastProblem_;
    const std::string& where_;
    std::ostream& err_;
};

// Says, for each output that is not whole, why; with --partial, writes
// instead how far a sound one is sound. True when any output is not whole.
bool ReportIncomplete(const VerifyOptions& opt, const OutputJudge& judge, const CubeCounts& counts,
                      const std::string& where, std::ostream& out, std::ostream& err)
{
    bool incomplete = false;
    for (const OutputPart& part : judge.Parts()) {
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
        const auto invalid = counts.invalidAtLine.find(part.line);
        if (!opt.partial) {
            Say(err) << where << "line " << part.line << ": " << why << '\n';
        } else if (part.problems == 0 && (invalid == counts.invalidAtLine.end() || invalid->second == 0)) {
            out << opt.file << ": output at line " << part.line << " is incomplete; its "
                << Plural(part.solutions, "solution is", "solutions are") << " sound\n";
        }
    }
    return incomplete;
}

// Writes the classes that the cubes read fall into. A file that claims to be
// one full listing (its completion record says the run completed) must hold
// every member of each class: `lacksMembers` when it does not. Returns 0, or
// 3 when the classes cannot be grouped.
int ReportClasses(const OutputJudge& judge, ClassTally& tally, const std::string& where, std::ostream& out,
                  std::ostream& err, bool& lacksMembers)
{
    const auto& parts = judge.Parts();
    const auto* id = parts.size() == 1 && parts.front().identity ? &*parts.front().identity : nullptr;
    const bool fullListing = id != nullptr && parts.front().completion && parts.front().completion->complete &&
                             !id->slice && !id->setup.start && !id->setup.reduceBound && !id->countOnly && !id->classes;
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
            Say(err) << where << "class " << k << " (first met at solution " << c.firstSolution << ") lacks " << missing
                     << " of its " << c.sizeInRun << " members: the listing is not whole\n";
        }
    });
    if (!grouped) {
        Say(err) << "verify: cannot group the classes: " << tally.spool.Failure() << '\n';
        return kExitWriteFailed;
    }
    out << Plural(k, "class", "classes") << " among " << Plural(tally.cubes, "cube", "cubes") << '\n';
    return kExitOk;
}

// The closing line of the report: what the census rows hold, when every
// output is a census, or the cubes checked.
void ReportCounts(const OutputJudge& judge, const CubeCounts& counts, std::ostream& out)
{
    const auto& parts = judge.Parts();
    const bool census = !parts.empty() && std::all_of(parts.begin(), parts.end(), [](const OutputPart& part) {
        return part.identity && part.identity->census;
    });
    if (!census) {
        out << Plural(counts.checked, "cube", "cubes") << " checked, " << counts.checked - counts.invalid << " valid, "
            << counts.invalid << " invalid\n";
        return;
    }
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
}

// Flushes the report; 0, or 3 after saying that it cannot be written.
int FlushReport(std::ostream& out, std::ostream& err)
{
    out.flush();
    if (out.good()) return kExitOk;
    Say(err) << "verify: cannot write the report: " << std::strerror(errno) << '\n';
    return kExitWriteFailed;
}

} // namespace

int RunVerifyCommand(const VerifyOptions& opt, const CliEnvironment& env, std::ostream& out, std::ostream& err)
{
    const auto checked = CheckOptions(opt, env, err);
    if (const int* status = std::get_if<int>(&checked)) return *status;
    const VerifyRun& run = std::get<VerifyRun>(checked);
    // Nothing is left to record when verify stops: a signal ends it at once.
    const StopAtOnce stop("verify");
    std::unique_ptr<std::istream> owned;
    std::istream* in = OpenInput(opt.file, env, owned, err, "verify");
    if (in == nullptr) return kExitRefused;

    // Step 1. Read the file: every cube on its own, and each output whole.
    const std::string where = "verify: " + opt.file + ": ";
    FileReading reading(opt, run, where, out, err);
    reading.Read(*in);
    const OutputJudge& judge = reading.judge;
    const CubeCounts& counts = reading.counts;

    // Step 2. Report what is not whole, the classes and the counts.
    const bool incomplete = ReportIncomplete(opt, judge, counts, where, out, err);
    bool lacksMembers = false;
    if (opt.classes) {
        if (const int status = ReportClasses(judge, reading.tally, where, out, err, lacksMembers); status != kExitOk)
            return status;
    }
    ReportCounts(judge, counts, out);
    if (const int status = FlushReport(out, err); status != kExitOk) return status;

    // Step 3. The verdict on the file.
    if (judge.Parts().empty() && judge.Problems() == 0) {
        Say(err) << where << "the input holds no output of pandicube-search\n";
        return kExitRefused;
    }
    if (judge.Problems() > 0) {
        Say(err) << where << "the input is malformed ("
                 << Plural(static_cast<std::int64_t>(judge.Problems()), "problem", "problems") << ")\n";
        return kExitRefused;
    }
    if ((incomplete && !opt.partial) || lacksMembers) return kExitRefused;
    if (counts.invalid > 0) return kExitFailed;
    if (!opt.search) return kExitOk;

    // Step 4. With --search, the one complete output against its run.
    if (judge.Parts().size() != 1 || incomplete) {
        Say(err) << where << "--search compares one complete output with its run; this input holds "
                 << Plural(static_cast<std::int64_t>(judge.Parts().size()), "output", "outputs")
                 << (incomplete ? ", not complete" : "") << '\n';
        return kExitRefused;
    }
    owned.reset();
    const int status = SearchAgain(opt.file, *judge.Parts().front().identity, run.threads, env, out, err);
    if (const int flushed = FlushReport(out, err); flushed != kExitOk) return flushed;
    return status;
}

} // namespace pandicube
