#include "cli/commands/merge_command.h"

#include "cli/formats/comment_lines.h"
#include "cli/formats/output_judge.h"
#include "cli/formats/solution_writer.h"
#include "cli/output_file.h"
#include "cli/stop_signals.h"
#include "cli/usage.h"
#include "search/cube/cube_classes.h"
#include "search/cube/cube_symmetry.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <ostream>
#include <queue>

#include <unistd.h>

namespace pandicube {

namespace {

constexpr std::size_t kProblemsShownPerFile = 10;
constexpr std::size_t kSlicesNamed = 12;

// One output found in the inputs, with the file it stands in.
struct Found {
    std::string file; // as the user named it ("-" for standard input)
    std::string path; // where it is read
    OutputPart part;

    std::string Where() const { return file + (part.line > 1 ? " (line " + std::to_string(part.line) + ")" : ""); }
    Slice SliceOf() const { return part.identity->slice.value_or(Slice{}); }
};

// What an identity says, field by field, so that a foreign output can be
// named by what differs.
std::vector<std::string> Fields(const RunIdentity& id)
{
    RunIdentity whole = WholeRun(id);
    return {"by pandicube-search " + id.version,
            "with --bound " + std::to_string(id.setup.upperBound),
            id.setup.reduceBound ? "with --reduce" : "without --reduce",
            whole.setup.start ? "with " + RunOptions(whole).substr(RunOptions(whole).find("--start"))
                              : "without --start",
            "as " + std::to_string(id.slice.value_or(Slice{}).count) + " slices",
            id.cube ? "with --cube" : "without --cube",
            id.classes ? "with --classes" : "without --classes",
            id.countOnly ? "with --count-only" : "without --count-only",
            id.census ? "with --census" : "without --census",
            std::string("with --format ") + FormatName(id.format)};
}

std::string JoinNumbers(const std::vector<unsigned>& numbers)
{
    std::string text;
    const std::size_t shown = std::min(numbers.size(), kSlicesNamed);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) text += i + 1 == shown && shown == numbers.size() ? " and " : ", ";
        text += std::to_string(numbers[i]);
    }
    if (shown < numbers.size()) text += " and " + std::to_string(numbers.size() - shown) + " more";
    return text;
}

// The inputs checked as a set: the slices 1 ... N of one run, each once and
// each complete. Collects every fault as a line of text.
struct SliceSet {
    std::optional<RunIdentity> run; // the identity most inputs share
    std::map<unsigned, std::vector<const Found*>> slices;
    std::vector<std::string> faults;
    std::vector<std::string> report; // for --check, a line per slice

    explicit SliceSet(const std::vector<Found>& found)
    {
        run = MajorityRun(found);
        for (const Found& f : found) Place(f);
        if (!run) {
            faults.push_back("no input holds an output with an identity line");
            return;
        }
        if (run->setup.reduceBound || run->setup.start)
            faults.push_back("the inputs come from a run with --reduce or --start, which is never sliced");
        const unsigned count = run->slice.value_or(Slice{}).count;
        std::vector<unsigned> missing;
        for (unsigned k = 1; k <= count; ++k) {
            const auto it = slices.find(k);
            if (it == slices.end()) {
                missing.push_back(k);
                report.push_back("slice " + std::to_string(k) + ": missing");
                continue;
            }
            std::string files;
            for (const Found* f : it->second) files += (files.empty() ? "" : ", ") + f->Where();
            if (it->second.size() > 1) {
                faults.push_back("slice " + std::to_string(k) + " of " + std::to_string(count) +
                                 " is given more than once: " + files);
                report.push_back("slice " + std::to_string(k) + ": given more than once (" + files + ")");
                continue;
            }
            const OutputPart& part = it->second.front()->part;
            std::string state =
                "complete, " + std::to_string(part.Count()) + (run->CountsClasses() ? " classes" : " solutions");
            if (part.problems > 0) {
                state = "malformed";
            } else if (!part.completion) {
                state = "incomplete: no completion record";
            } else if (!part.completion->complete) {
                state = "incomplete: interrupted by " + part.completion->signal;
            }
            if (!part.Complete()) faults.push_back(files + " is " + state);
            report.push_back("slice " + std::to_string(k) + ": " + state + " (" + files + ")");
        }
        FindCopies(count);
        if (!missing.empty()) {
            faults.push_back((missing.size() == 1 ? "slice " : "slices ") + JoinNumbers(missing) + " of " +
                             std::to_string(count) + (missing.size() == 1 ? " is" : " are") + " missing");
        }
    }

    // Two slices of one run hold different cubes and classes: a slice with
    // the same nonzero count and checksum as another is that other slice,
    // relabelled or copied under the wrong name. (A census or a count lists
    // nothing else that would show which slice it is.)
    void FindCopies(unsigned count)
    {
        std::map<std::pair<std::int64_t, std::uint64_t>, const Found*> seen;
        for (const auto& [k, files] : slices) {
            const Found& f = *files.front();
            if (files.size() > 1 || !f.part.Complete() || f.part.Count() == 0) continue;
            const auto [first, fresh] = seen.try_emplace({f.part.Count(), f.part.completion->checksum}, &f);
            if (fresh) continue;
            const auto name = [count](const Found& g) {
                return g.Where() + " (slice " + std::to_string(g.SliceOf().index) + " of " + std::to_string(count) +
                       ")";
            };
            faults.push_back(name(f) + " holds what " + name(*first->second) + " holds: relabelled or copied?");
            report.push_back("copied: " + faults.back());
        }
    }

    // The run is the one that most outputs name; the others are foreign.
    static std::optional<RunIdentity> MajorityRun(const std::vector<Found>& found)
    {
        std::map<std::string, std::size_t> votes;
        for (const Found& f : found) {
            if (f.part.identity) ++votes[IdentityComment(WithCount(*f.part.identity))];
        }
        const Found* majority = nullptr;
        std::size_t best = 0;
        for (const Found& f : found) {
            if (!f.part.identity) continue;
            const std::size_t n = votes[IdentityComment(WithCount(*f.part.identity))];
            if (n > best) {
                best = n;
                majority = &f;
            }
        }
        return majority != nullptr ? majority->part.identity : std::nullopt;
    }

    // The identity with the slice number left out (a whole run is slice 1/1).
    static RunIdentity WithCount(RunIdentity id)
    {
        id.slice = Slice{1, id.slice.value_or(Slice{}).count};
        return id;
    }

    void Place(const Found& f)
    {
        if (!f.part.identity) {
            faults.push_back(f.Where() + " is an output without identity line (written by an earlier "
                                         "pandicube-search); make that slice again");
            report.push_back("foreign: " + faults.back());
            return;
        }
        if (run && !SameRun(WithCount(*f.part.identity), WithCount(*run))) {
            const std::vector<std::string> mine = Fields(*f.part.identity);
            const std::vector<std::string> theirs = Fields(*run);
            std::size_t i = 0;
            while (i + 1 < mine.size() && mine[i] == theirs[i]) ++i;
            faults.push_back(f.Where() + " was made " + mine[i] + ", the others " + theirs[i]);
            report.push_back("foreign: " + faults.back());
            return;
        }
        slices[f.SliceOf().index].push_back(&f);
    }
};

// Reads one output's solutions, one at a time, from where it starts.
class Cursor : public CubeSink {
public:
    explicit Cursor(const Found& found) : in_(found.path, std::ios::binary), reader_(in_, *this)
    {
        in_.seekg(static_cast<std::streamoff>(found.part.offset));
        reader_.StartAt(found.part.offset, found.part.line - 1);
    }

    bool Open() const { return in_.good(); }
    // Reads on to the next solution; false at the end of the output.
    bool Advance()
    {
        next_.reset();
        while (!next_ && !done_ && reader_.Step()) {
        }
        return next_.has_value();
    }
    const CubeRecord& Next() const { return *next_; }
    bool Failed() const { return failed_; }

    void OnCube(const CubeRecord& cube) override { next_ = cube; }
    void OnCompletion(const CompletionRecord&) override { done_ = true; }
    void OnProblem(std::size_t, const std::string&) override { failed_ = done_ = true; }

private:
    std::ifstream in_;
    OutputReader reader_;
    std::optional<CubeRecord> next_;
    bool done_ = false;
    bool failed_ = false;
};

SolutionOrderKey KeyOf(const Cells& cells)
{
    return OrderKeyOf(EntriesFromCells(cells));
}

// A k-way merge of the slices' records, each slice's in the order of the
// search: hands each record (with `openers`, the first member in run order
// of each class record) and its key to `take` in the whole run's order,
// holding no record beyond its turn. False, with the reason on `err`, when
// an input cannot be opened or changed while it was merged, or `take`
// refuses a record.
bool MergeInRunOrder(const SliceSet& set, bool openers, std::ostream& err,
                     const std::function<bool(const Cells&, const SolutionOrderKey&)>& take)
{
    std::vector<std::unique_ptr<Cursor>> cursors;
    std::vector<Cells> heads; // of each slice's next record
    using Entry = std::pair<SolutionOrderKey, std::size_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> heap;
    const auto advance = [&](std::size_t i) {
        if (!cursors[i]->Advance()) return;
        const Cells& cells = cursors[i]->Next().cells;
        heads[i] = openers ? ClassMembersInRun(cells).front() : cells;
        heap.push({KeyOf(heads[i]), i});
    };
    for (const auto& [k, found] : set.slices) {
        cursors.push_back(std::make_unique<Cursor>(*found.front()));
        heads.emplace_back();
        if (!cursors.back()->Open()) {
            Say(err) << "merge: cannot open " << found.front()->file << ": " << std::strerror(errno) << '\n';
            return false;
        }
        advance(cursors.size() - 1);
    }
    while (!heap.empty()) {
        const auto [key, i] = heap.top();
        heap.pop();
        if (!take(heads[i], key)) return false;
        advance(i);
    }
    for (const auto& cursor : cursors) {
        if (cursor->Failed()) {
            Say(err) << "merge: an input changed while it was merged\n";
            return false;
        }
    }
    return true;
}

// The classes of all slices: each slice lists the classes whose first
// member in run order lies in it, in the order of those first members. The
// merge by the first members hands each class's first member to `take` in
// the whole run's order. False, with the reason on `err`, when two slices
// claim a class, a slice is out of that order, or an input fails.
bool MergeClasses(const SliceSet& set, std::ostream& err, const std::function<void(const Cells&)>& take)
{
    std::optional<SolutionOrderKey> last;
    return MergeInRunOrder(set, true, err, [&](const Cells& opener, const SolutionOrderKey& key) {
        if (last && *last == key) {
            Say(err) << "merge: a class stands in more than one slice\n";
            return false;
        }
        if (last && key < *last) {
            Say(err) << "merge: the classes of a slice are not in the order of the search\n";
            return false;
        }
        last = key;
        take(opener);
        return true;
    });
}

// The merged classes, numbered as the whole run numbers them; the class
// stream gives each the whole run's solution number.
int WriteMergedClasses(const SliceSet& set, SolutionWriter& writer, std::int64_t total, std::uint64_t checksum,
                       std::ostream& err)
{
    RunClassStream stream;
    if (!MergeClasses(set, err,
                      [&](const Cells& first) { writer.WriteClass(stream.AddOpener(EntriesFromCells(first))); }))
        return kExitRefused;
    if (writer.Solutions() != total || writer.Checksum() != checksum) {
        Say(err) << "merge: the merged classes do not add up to the slices' counts\n";
        return kExitRefused;
    }
    writer.WriteCompletion();
    return kExitOk;
}

// Writes the whole run from its complete slices: a k-way merge of the slices'
// solutions (each in the order of the search), so memory does not grow with
// the number of solutions.
int WriteMerged(const SliceSet& set, std::ostream& out, std::ostream& err)
{
    SolutionWriter writer(out, WholeRun(*set.run));
    std::int64_t total = 0;
    std::uint64_t checksum = 0;
    for (const auto& [k, found] : set.slices) {
        if (__builtin_add_overflow(total, found.front()->part.Count(), &total)) {
            Say(err) << "merge: the slices' counts add up to more than a 64-bit count\n";
            return kExitRefused;
        }
        checksum += found.front()->part.completion->checksum;
    }
    // Nothing is written unless the slices' classes merge: a first pass
    // reads them side by side and checks their order.
    if (set.run->classes && !set.run->countOnly && !MergeClasses(set, err, [](const Cells&) {})) return kExitRefused;
    writer.WriteHead();
    if (set.run->countOnly || set.run->census) {
        writer.ContinueAfter(total, checksum, std::nullopt);
        // The rows of the slices add up bound by bound.
        for (const auto& [k, found] : set.slices) {
            for (const CensusRow& row : found.front()->part.census) writer.AddCensusClasses(row.bound, row.classes);
        }
        writer.WriteCompletion();
        return kExitOk;
    }
    if (set.run->classes) return WriteMergedClasses(set, writer, total, checksum, err);
    std::int64_t number = 0;
    const bool merged = MergeInRunOrder(set, false, err, [&](const Cells& cells, const SolutionOrderKey&) {
        writer.WriteSolution(++number, cells, 0);
        return true;
    });
    if (!merged) return kExitRefused;
    if (writer.Solutions() != total || writer.Checksum() != checksum) {
        Say(err) << "merge: the merged solutions do not add up to the slices' counts\n";
        return kExitRefused;
    }
    writer.WriteCompletion();
    return kExitOk;
}

// Standard input, copied to a temporary file so that it can be read twice.
class SpooledInput {
public:
    ~SpooledInput()
    {
        if (path_.empty()) return;
        std::remove(path_.c_str());
        StopAtOnce::Keep(path_);
    }
    bool Spool(std::istream& in, std::ostream& err)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "pandicube-merge-XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) {
            Say(err) << "merge: cannot keep standard input: " << std::strerror(errno) << '\n';
            return false;
        }
        ::close(fd);
        path_ = pattern;
        StopAtOnce::RemoveOnStop(path_);
        std::ofstream copy(path_, std::ios::binary);
        errno = 0;
        // An empty input copies nothing, which is no failure: it holds no
        // output, as the reading then says.
        std::streambuf* from = in.rdbuf();
        if (from != nullptr && !std::char_traits<char>::eq_int_type(from->sgetc(), std::char_traits<char>::eof()))
            copy << from;
        copy.flush();
        if (!copy.good()) {
            Say(err) << "merge: cannot keep standard input: " << std::strerror(errno) << '\n';
            return false;
        }
        return true;
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// The output must be able to hold a whole merge, and must not be one of
// the inputs (or the NAME.part it is written to): it would overwrite it.
int CheckOutputName(const MergeOptions& opt, std::ostream& err)
{
    if (const int status = OutputFile::CheckName(*opt.output, err, "merge: "); status != kExitOk) return status;
    for (const std::string& name : opt.files) {
        for (const std::string& written : {*opt.output, OutputFile::PartPath(*opt.output)}) {
            if (name != "-" && SameFile(name, written)) {
                Say(err) << "merge: the input " << name << " is the file the merge writes (" << written
                         << "); give another --output\n";
                return kExitRefused;
            }
        }
    }
    return kExitOk;
}

// Reads every input ("-": standard input, kept in `spooled`) and gathers the
// outputs found in them; `malformed` when an input holds a fault or no
// output. Returns 0, or 2 when an input cannot be read.
int ReadInputs(const MergeOptions& opt, const CliEnvironment& env, SpooledInput& spooled, std::vector<Found>& found,
               bool& malformed, std::ostream& err)
{
    for (const std::string& name : opt.files) {
        std::string file = name;
        if (name == "-") {
            if (!spooled.Path().empty()) return RefuseWith(err, "merge: - (standard input) is given twice");
            if (!spooled.Spool(env.in != nullptr ? *env.in : std::cin, err)) return kExitRefused;
            file = spooled.Path();
        }
        std::unique_ptr<std::istream> owned;
        std::istream* in = OpenInput(file, env, owned, err, "merge");
        if (in == nullptr) return kExitRefused;
        std::size_t shown = 0;
        OutputJudge judge([&](std::size_t line, const std::string& message) {
            if (shown++ < kProblemsShownPerFile)
                Say(err) << "merge: " << name << ": line " << line << ": " << message << '\n';
        });
        ReadCubes(*in, judge);
        if (judge.Problems() > 0) malformed = true;
        if (judge.Parts().empty() && judge.Problems() == 0) {
            Say(err) << "merge: " << name << " holds no output of pandicube-search\n";
            malformed = true;
        }
        for (const OutputPart& part : judge.Parts()) found.push_back({name, file, part});
    }
    return kExitOk;
}

// merge --check: a line per slice and the verdict, writing nothing else.
int WriteCheckReport(const SliceSet& set, bool malformed, std::ostream& out, std::ostream& err)
{
    if (set.run) out << "run: " << IdentityComment(WholeRun(*set.run)).substr(2) << '\n';
    for (const std::string& line : set.report) out << line << '\n';
    const bool whole = set.faults.empty() && !malformed;
    out << (whole ? "complete: merge can join these slices\n" : "incomplete: merge refuses these slices\n");
    out.flush();
    if (!out.good()) {
        Say(err) << "merge: cannot write the report: " << std::strerror(errno) << '\n';
        return kExitWriteFailed;
    }
    return whole ? kExitOk : kExitRefused;
}

// The merge written to `out`; 3 when the writing fails.
int WriteMergedTo(const SliceSet& set, std::ostream& out, std::ostream& err)
{
    try {
        return WriteMerged(set, out, err);
    } catch (const WriteFailure& failure) {
        Say(err) << "merge: cannot write the output: " << failure.what() << '\n';
        return kExitWriteFailed;
    }
}

} // namespace

int RunMergeCommand(const MergeOptions& opt, const CliEnvironment& env, std::ostream& out, std::ostream& err)
{
    // A signal ends the merge at once, and removes what it wrote.
    const StopAtOnce stop("merge");
    if (opt.output && !opt.check) {
        if (const int status = CheckOutputName(opt, err); status != kExitOk) return status;
    }
    SpooledInput spooled;
    std::vector<Found> found;
    bool malformed = false;
    if (const int status = ReadInputs(opt, env, spooled, found, malformed, err); status != kExitOk) return status;

    const SliceSet set(found);
    if (opt.check) return WriteCheckReport(set, malformed, out, err);
    for (const std::string& fault : set.faults) Say(err) << "merge: " << fault << '\n';
    if (malformed || !set.faults.empty()) return kExitRefused;
    if (!opt.output) return WriteMergedTo(set, out, err);

    // A merge that fails leaves nothing behind: it is made again, never resumed.
    OutputFile file(*opt.output);
    if (const int status = file.Open(err, "merge: "); status != kExitOk) return status;
    StopAtOnce::RemoveOnStop(file.PartPath());
    int status = WriteMergedTo(set, file.Stream(), err);
    if (status == kExitOk && !file.Commit(err, "merge: ")) status = kExitWriteFailed;
    if (status != kExitOk) file.Discard();
    StopAtOnce::Keep(file.PartPath());
    return status;
}

} // namespace pandicube
