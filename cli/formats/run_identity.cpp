#include "cli/formats/run_identity.h"

#include "cli/formats/checksum.h"
#include "cli/formats/number_text.h"

#include "pandicube/version.h"

#include <array>

namespace pandicube {

namespace {

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

} // namespace

RunPlan PlanOf(const RunIdentity& id)
{
    RunPlan plan;
    plan.setup = id.setup;
    plan.slice = id.slice;
    plan.classes = id.CountsClasses();
    return plan;
}

OuterUnits RunUnits(const RunIdentity& identity)
{
    return PlanUnits(PlanOf(identity));
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
    std::string text = "--bound " + std::to_string(id.setup.upperBound);
    if (id.setup.reduceBound) text += " --reduce";
    if (id.setup.start) text += " --start " + StartText(*id.setup.start);
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
            id.setup.upperBound = static_cast<std::int32_t>(*bound);
            haveBound = true;
        } else if (w == "--reduce" && !id.setup.reduceBound) {
            id.setup.reduceBound = true;
        } else if (w == "--start" && hasValue && !id.setup.start) {
            const std::vector<std::string_view> parts = SplitOn(words[++i], ',');
            std::array<std::optional<std::int32_t>, 4> v;
            for (std::size_t k = 0; k < 4 && parts.size() == 4; ++k) v[k] = ParseInt32(parts[k]);
            if (!v[0] || !v[1] || !v[2] || !v[3]) return std::nullopt;
            id.setup.start = StartValues{*v[0], *v[1], *v[2], *v[3]};
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

bool ContinuableVersion(const std::string& version)
{
    return version == ProgramVersion() || EarlierVersionOf(version) != nullptr;
}

} // namespace pandicube
