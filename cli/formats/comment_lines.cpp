#include "cli/formats/comment_lines.h"

#include "cli/formats/number_text.h"

namespace pandicube {

namespace {

constexpr std::string_view kComplete = "# complete: ";
constexpr std::string_view kInterrupted = "# interrupted by ";

std::string SolutionsText(std::int64_t n, bool classes)
{
    if (classes) return std::to_string(n) + (n == 1 ? " class" : " classes");
    return std::to_string(n) + (n == 1 ? " solution" : " solutions");
}

} // namespace

std::string IdentityComment(const RunIdentity& identity)
{
    return "# " + std::string(kProgramName) + ' ' + identity.version + ' ' + RunOptions(identity);
}

std::optional<RunIdentity> ParseIdentityComment(std::string_view line)
{
    const std::string prefix = "# " + std::string(kProgramName) + ' ';
    if (!StartsWith(line, prefix)) return std::nullopt;
    line.remove_prefix(prefix.size());
    const auto space = line.find(' ');
    if (space == std::string_view::npos || space == 0) return std::nullopt;
    return ParseRunOptions(line.substr(space + 1), std::string(line.substr(0, space)));
}

std::string CompletionComment(const CompletionRecord& r)
{
    std::string text = r.complete ? std::string(kComplete) : std::string(kInterrupted) + r.signal + ": ";
    text += SolutionsText(r.solutions, r.classes);
    if (r.bestBound) text += ", best upper bound " + std::to_string(*r.bestBound);
    text += r.checksumKind == ChecksumKind::Xxh3 ? ", xxh3 checksum " : ", checksum ";
    text += ChecksumText(r.checksum);
    if (r.next) text += ", next unit e14 " + std::to_string(r.next->e14) + " e18 " + std::to_string(r.next->e18);
    return text;
}

std::optional<CompletionRecord> ParseCompletionComment(std::string_view line)
{
    const std::string_view whole = line;
    CompletionRecord r;
    if (StartsWith(line, kComplete)) {
        line.remove_prefix(kComplete.size());
    } else if (StartsWith(line, kInterrupted)) {
        line.remove_prefix(kInterrupted.size());
        const auto colon = line.find(": ");
        if (colon == std::string_view::npos || !StartsWith(line, "SIG")) return std::nullopt;
        r.signal = std::string(line.substr(0, colon));
        r.complete = false;
        line.remove_prefix(colon + 2);
    } else {
        return std::nullopt;
    }
    const std::vector<std::string_view> parts = SplitOn(line, ',');
    std::size_t i = 0;
    const auto words = [&](std::size_t at) { return at < parts.size() ? Tokens(parts[at]) : decltype(Tokens("")){}; };
    auto w = words(i++);
    const auto count = w.size() == 2 ? ParseInt64(w[0]) : std::nullopt;
    if (!count || *count < 0) return std::nullopt;
    r.classes = w[1] == (*count == 1 ? "class" : "classes");
    if (!r.classes && w[1] != (*count == 1 ? "solution" : "solutions")) return std::nullopt;
    r.solutions = *count;
    w = words(i++);
    if (w.size() == 4 && w[0] == "best" && w[1] == "upper" && w[2] == "bound") {
        r.bestBound = ParseInt32(w[3]);
        if (!r.bestBound) return std::nullopt;
        w = words(i++);
    }
    if (w.size() == 3 && w[0] == "xxh3") {
        r.checksumKind = ChecksumKind::Xxh3;
        w.erase(w.begin());
    } else {
        r.checksumKind = ChecksumKind::Fnv1a;
    }
    if (w.size() != 2 || w[0] != "checksum") return std::nullopt;
    const auto checksum = ParseChecksum(w[1]);
    if (!checksum) return std::nullopt;
    r.checksum = *checksum;
    if (i < parts.size() && !r.complete) {
        w = words(i++);
        const auto e14 = w.size() == 6 ? ParseInt32(w[3]) : std::nullopt;
        const auto e18 = w.size() == 6 ? ParseInt32(w[5]) : std::nullopt;
        if (!e14 || !e18 || w[0] != "next" || w[1] != "unit" || w[2] != "e14" || w[4] != "e18") return std::nullopt;
        r.next = OuterUnit{*e14, *e18};
    }
    // Only the canonical text: every record reads one way.
    if (i != parts.size() || CompletionComment(r) != whole) return std::nullopt;
    return r;
}

bool OpensOutputIn(std::string_view line, OutputFormat format)
{
    const auto identity = ParseIdentityComment(line);
    return identity && identity->format == format;
}

bool ReadCommentLine(std::string_view line, OutputFormat format, const RecordPlace& place, RecordSink& sink)
{
    if (const auto identity = ParseIdentityComment(line)) {
        if (identity->format != format) {
            sink.ProblemAt(place.line, std::string("an output in ") + FormatName(identity->format) +
                                           " follows one in " + FormatName(format) +
                                           ": outputs of different formats are mixed");
            return false;
        }
        IdentityRecord record;
        static_cast<RecordPlace&>(record) = place;
        record.identity = *identity;
        sink.Identity(record);
        return true;
    }
    if (auto completion = ParseCompletionComment(line)) {
        completion->line = place.line;
        sink.Completion(*completion);
        return false;
    }
    sink.ProblemAt(place.line, "not an identity or completion line of pandicube-search");
    return false;
}

} // namespace pandicube
