#include "cli/commands/search_refusals.h"

#include "cli/formats/number_text.h"
#include "cli/usage.h"
#include "search/input_rules.h"
#include "search/run_setup.h"

#include <array>
#include <ostream>
#include <string_view>
#include <utility>
#include <vector>

namespace pandicube {

namespace {

// The bound and the start values, by the same rules as the window's fields,
// in the same order; none after a refusal, whose status is `status`.
std::optional<RunSetup> CheckSetup(const SearchOptions& opt, std::ostream& err, int& status)
{
    std::vector<std::string_view> startParts;
    StartTexts startTexts;
    if (opt.start) {
        startParts = SplitOn(*opt.start, ',');
        for (std::size_t i = 0; i < startTexts.size() && i < startParts.size(); ++i) startTexts[i] = startParts[i];
    }
    const auto checked = SetUpRun(opt.bound, opt.start ? &startTexts : nullptr, opt.reduce);
    const auto* refusal = std::get_if<SetupRefusal>(&checked);
    if (refusal == nullptr && !(opt.start && startParts.size() != 4)) return std::get<RunSetup>(checked);
    if (refusal != nullptr && refusal->field == SetupField::Bound) {
        status = RefuseUsage(err, NotAWholeNumber("--bound", 1, kMaxUpperBound, opt.bound));
    } else if (opt.start && startParts.size() != 4) {
        status = RefuseUsage(err, "--start takes four values E10,E14,E17,E18, not '" + *opt.start + "'");
    } else {
        const std::array<const char*, 4> names = {"e10", "e14", "e17", "e18"};
        const auto field = static_cast<std::size_t>(refusal->field) - 1;
        const Limits limits = LimitsOf(CheckUpperBound(opt.bound).value);
        // Below 63 no value lies inside the limits.
        status = limits.lower > limits.upper
                     ? RefuseUsage(err, "--start takes no values at a bound below 63, not '" + *opt.start + "'")
                     : RefuseUsage(err, NotAWholeNumber(std::string(names[field]) + " of --start", limits.lower,
                                                        limits.upper, std::string(startParts[field])));
    }
    return std::nullopt;
}

// The options that cannot go with --classes or --census; the first one's
// refusal, or none.
std::optional<std::string> ClassOptionsFault(const SearchOptions& opt)
{
    // The classes are numbered in the order of the whole run, which the bound
    // walk and start values change.
    if (opt.classes && opt.reduce)
        return "--classes cannot be combined with --reduce: the classes are those of the whole run";
    if (opt.classes && opt.start)
        return "--classes cannot be combined with --start: the classes are those of the whole run";
    if (!opt.census) return std::nullopt;
    // The census counts the classes of the whole run and writes no cubes.
    const std::array<std::pair<bool, const char*>, 5> others = {{
        {opt.reduce, "--reduce: the census counts the whole run"},
        {opt.start.has_value(), "--start: the census counts the whole run"},
        {opt.classes, "--classes: the census counts the classes already"},
        {opt.countOnly, "--count-only: the census is a count already"},
        {opt.cube, "--cube: the census writes no cubes"},
    }};
    for (const auto& [given, why] : others) {
        if (given) return std::string("--census cannot be combined with ") + why;
    }
    return std::nullopt;
}

// --slice K/N; none without it; the refusal's status in `status`.
std::optional<Slice> CheckSlice(const SearchOptions& opt, std::ostream& err, int& status)
{
    if (!opt.slice) return std::nullopt;
    const std::vector<std::string_view> parts = SplitOn(*opt.slice, '/');
    const InputCheck count = parts.size() == 2 ? CheckStartValue(parts[1], 1, kMaxSlices) : InputCheck{};
    const InputCheck index = count.Ok() ? CheckStartValue(parts[0], 1, count.value) : InputCheck{};
    if (parts.size() != 2 || !count.Ok() || !index.Ok()) {
        status = RefuseUsage(err, "--slice takes K/N, part K of N parts, with N a whole number from 1 to " +
                                      std::to_string(kMaxSlices) + " and K from 1 to N, not '" + *opt.slice + "'");
    } else if (opt.reduce) {
        status = RefuseUsage(err, "--slice cannot be combined with --reduce: the bound walk is sequential");
    } else if (opt.start) {
        status = RefuseUsage(err, "--slice cannot be combined with --start: slices cover the whole run");
    } else {
        return Slice{static_cast<unsigned>(index.value), static_cast<unsigned>(count.value)};
    }
    return std::nullopt;
}

} // namespace

std::optional<unsigned> ParseThreads(const std::optional<std::string>& text, const std::string& option,
                                     const CliEnvironment& env, std::ostream& err)
{
    if (!text) return env.cores > 0 ? env.cores : 1;
    const InputCheck check = CheckStartValue(*text, 1, kMaxThreads);
    if (!check.Ok()) {
        RefuseUsage(err, NotAWholeNumber(option, 1, kMaxThreads, *text));
        return std::nullopt;
    }
    return static_cast<unsigned>(check.value);
}

std::variant<CheckedSearch, int> CheckSearchOptions(const SearchOptions& opt, const CliEnvironment& env,
                                                    std::ostream& err)
{
    int status = kExitRefused;
    const std::optional<RunSetup> setup = CheckSetup(opt, err, status);
    if (!setup) return status;
    const std::optional<unsigned> threads = ParseThreads(opt.threads, "--threads", env, err);
    if (!threads) return kExitRefused;
    if (const std::optional<std::string> fault = ClassOptionsFault(opt)) return RefuseUsage(err, *fault);
    const std::optional<Slice> slice = CheckSlice(opt, err, status);
    if (opt.slice && !slice) return status;
    if (opt.continueRun && !opt.output)
        return RefuseUsage(err, "--continue goes with --output FILE: it goes on with that file");

    CheckedSearch checked;
    checked.threads = *threads;
    RunIdentity& id = checked.identity;
    id.version = ProgramVersion();
    id.format = opt.format;
    id.cube = opt.cube;
    id.countOnly = opt.countOnly;
    id.classes = opt.classes;
    id.census = opt.census;
    id.setup = *setup;
    id.slice = slice;
    return checked;
}

} // namespace pandicube
