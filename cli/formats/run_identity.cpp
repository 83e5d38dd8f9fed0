#include "cli/formats/run_identity.h"

#include "cli/formats/cube_reader.h"
#include "cli/formats/text_record.h"
#include "search/solution_hash.h"

#include "pandicube/version.h"

#include <nlohmann/json.hpp>

#include <array>
#include <charconv>

namespace pandicube {

namespace {

constexpr std::string_view kProgram = "pandicube-search";
constexpr std::string_view kComplete = "# complete: ";
constexpr std::string_view kInterrupted = "# interrupted by ";

std::string StartText(const StartValues& s)
{
    return std::to_string(s.e10) + ',' + std::to_string(s.e14) + ',' + std::to_string(s.e17) + ',' +
           std::to_string(s.e18);
}

std::optional<unsigned> ParseCount(std::string_view text)
{
    const auto v = ParseInt32(text);
    if (!v || *v < 1 || text.front() == '-' || text.front() == '0') return std::nullopt;
    return static_cast<unsigned>(*v);
}

std::string SolutionsText(std::int64_t n, bool classes)
{
    if (classes) return std::to_string(n) + (n == 1 ? " class" : " classes");
    return std::to_string(n) + (n == 1 ? " solution" : " solutions");
}

} // namespace

OuterUnits RunUnits(const RunIdentity& id)
{
    return OuterUnits(LimitsOf(id.bound), false, id.slice);
}

const char* FormatName(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Text: return "text";
    case OutputFormat::Json: return "json";
    case OutputFormat::Csv: return "csv";
    }
    return "text";
}

std::string ProgramVersion()
{
    return kVersion;
}

std::string RunOptions(const RunIdentity& id)
{
    std::string text = "--bound " + std::to_string(id.bound);
    if (id.reduce) text += " --reduce";
    if (id.start) text += " --start " + StartText(*id.start);
    if (id.slice) text += " --slice " + std::to_string(id.slice->index) + '/' + std::to_string(id.slice->count);
    if (id.cube) text += " --cube";
    if (id.classes) text += " --classes";
    if (id.countOnly) text += " --count-only";
    if (id.census) text += " --census";
    text += " --format ";
    text += FormatName(id.format);
    return text;
}

RunIdentity WholeRun(RunIdentity identity)
{
    identity.slice.reset();
    return identity;
}

bool SameRun(const RunIdentity& a, const RunIdentity& b)
{
    return a.version == b.version && RunOptions(a) == RunOptions(b);
}

std::string IdentityComment(const RunIdentity& identity)
{
    return "# " + std::string(kProgram) + ' ' + identity.version + ' ' + RunOptions(identity);
}

std::string IdentityJson(const RunIdentity& identity)
{
    return "{\"program\": \"" + std::string(kProgram) + "\", \"version\": " + nlohmann::json(identity.version).dump() +
           ", \"run\": \"" + RunOptions(identity) + "\"}";
}

std::optional<RunIdentity> ParseRunOptions(std::string_view options, std::string version)
{
    const std::vector<std::string_view> words = SplitOn(options, ' ');
    RunIdentity id;
    id.version = std::move(version);
    bool haveBound = false;
    bool haveFormat = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string_view w = words[i];
        const bool hasValue = i + 1 < words.size();
        if (w == "--bound" && hasValue && !haveBound) {
            const auto bound = ParseCount(words[++i]);
            if (!bound || *bound > static_cast<unsigned>(kMaxUpperBound)) return std::nullopt;
            id.bound = static_cast<std::int32_t>(*bound);
            haveBound = true;
        } else if (w == "--reduce" && !id.reduce) {
            id.reduce = true;
        } else if (w == "--start" && hasValue && !id.start) {
            const std::vector<std::string_view> parts = SplitOn(words[++i], ',');
            std::array<std::optional<std::int32_t>, 4> v;
            for (std::size_t k = 0; k < 4 && parts.size() == 4; ++k) v[k] = ParseInt32(parts[k]);
            if (!v[0] || !v[1] || !v[2] || !v[3]) return std::nullopt;
            id.start = StartValues{*v[0], *v[1], *v[2], *v[3]};
        } else if (w == "--slice" && hasValue && !id.slice) {
            const std::vector<std::string_view> parts = SplitOn(words[++i], '/');
            if (parts.size() != 2) return std::nullopt;
            const auto k = ParseCount(parts[0]);
            const auto n = ParseCount(parts[1]);
            if (!k || !n || *k > *n) return std::nullopt;
            id.slice = Slice{*k, *n};
        } else if (w == "--cube" && !id.cube) {
            id.cube = true;
        } else if (w == "--classes" && !id.classes) {
            id.classes = true;
        } else if (w == "--count-only" && !id.countOnly) {
            id.countOnly = true;
        } else if (w == "--census" && !id.census) {
            id.census = true;
        } else if (w == "--format" && hasValue && !haveFormat) {
            const std::string_view f = words[++i];
            if (f == "text")
                id.format = OutputFormat::Text;
            else if (f == "json")
                id.format = OutputFormat::Json;
            else if (f == "csv")
                id.format = OutputFormat::Csv;
            else
                return std::nullopt;
            haveFormat = true;
        } else {
            return std::nullopt;
        }
    }
    // Only the canonical text: the same run always reads the same.
    if (!haveBound || !haveFormat || RunOptions(id) != options) return std::nullopt;
    return id;
}

std::optional<RunIdentity> ParseIdentityComment(std::string_view line)
{
    const std::string prefix = "# " + std::string(kProgram) + ' ';
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

std::string CompletionJson(const CompletionRecord& r)
{
    std::string text = (r.classes ? "{\"classes\": " : "{\"solutions\": ") + std::to_string(r.solutions);
    if (r.bestBound) text += ", \"bestBound\": " + std::to_string(*r.bestBound);
    text += r.checksumKind == ChecksumKind::Xxh3 ? ", \"xxh3Checksum\": \"" : ", \"checksum\": \"";
    text += ChecksumText(r.checksum) + "\", \"complete\": ";
    text += r.complete ? "true" : "false";
    if (!r.complete) text += ", \"interrupted\": \"" + r.signal + '"';
    if (r.next) text += ", \"next\": [" + std::to_string(r.next->e14) + ", " + std::to_string(r.next->e18) + ']';
    return text + '}';
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

ChecksumKind ChecksumKindOf(const std::string& version)
{
    return version == "0.1.0" ? ChecksumKind::Fnv1a : ChecksumKind::Xxh3;
}

bool ContinuableVersion(const std::string& version)
{
    return version == ProgramVersion() || version == "0.1.0";
}

std::uint64_t SolutionHashOf(ChecksumKind kind, const Entries& entries)
{
    return kind == ChecksumKind::Fnv1a ? SolutionHashFnv1a(entries) : SolutionHash(entries);
}

std::string ChecksumText(std::uint64_t checksum)
{
    char buf[17];
    for (int i = 15; i >= 0; --i) {
        buf[i] = "0123456789abcdef"[checksum & 0xf];
        checksum >>= 4;
    }
    return std::string(buf, 16);
}

std::optional<std::uint64_t> ParseChecksum(std::string_view text)
{
    std::uint64_t value = 0;
    if (text.size() != 16) return std::nullopt;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || ptr != text.data() + text.size() || ChecksumText(value) != text) return std::nullopt;
    return value;
}

} // namespace pandicube
