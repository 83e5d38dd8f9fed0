#include "cli/cli.h"

#include "cli/solution_writer.h"
#include "search/input_rules.h"
#include "search/run_search.h"

#include <CLI/CLI.hpp>

#include <array>
#include <ostream>
#include <string>
#include <vector>

namespace pandicube {

namespace {

constexpr int kExitRefused = 2;

struct Options {
    std::string bound = "300";
    bool reduce = false;
    std::string start;
    bool startGiven = false;
    bool json = false;
};

std::vector<std::string> SplitCommas(const std::string& text)
{
    std::vector<std::string> parts;
    std::string::size_type from = 0;
    for (;;) {
        const auto comma = text.find(',', from);
        parts.push_back(text.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (comma == std::string::npos) return parts;
        from = comma + 1;
    }
}

int Refuse(std::ostream& err, const std::string& what, InputError error)
{
    err << "pandicube-search: " << what << ": " << InputErrorMessage(error) << '\n';
    return kExitRefused;
}

} // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    CLI::App app{"Searches for centrally symmetric perfect magic 5x5x5 cubes whose six outer planes are pandiagonal.",
                 "pandicube-search"};
    Options opt;
    app.add_option("--bound", opt.bound, "Upper bound U for the entries (default 300)")->option_text("U");
    app.add_flag("--reduce", opt.reduce, "Lower the upper bound after each solution");
    auto* startOption =
        app.add_option("--start", opt.start, "Start the search from these values of e10, e14, e17 and e18")
            ->option_text("E10,E14,E17,E18");
    app.add_flag("--json", opt.json, "Write JSON Lines instead of text");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::ParseError& e) {
        err << "pandicube-search: " << e.what() << '\n';
        return kExitRefused;
    }
    opt.startGiven = startOption->count() > 0;

    // The same rules as the window's fields, in the same order.
    const InputCheck bound = CheckUpperBound(opt.bound);
    if (!bound.Ok()) return Refuse(err, "--bound", bound.error);
    const std::int32_t upperLimit = bound.value + 1;
    const std::int32_t lowerLimit = 125 - bound.value;

    StartValues start;
    if (opt.startGiven) {
        const std::vector<std::string> parts = SplitCommas(opt.start);
        if (parts.size() > 4) {
            err << "pandicube-search: --start takes four values E10,E14,E17,E18\n";
            return kExitRefused;
        }
        const std::array<const char*, 4> names = {"e10", "e14", "e17", "e18"};
        const std::array<std::int32_t*, 4> targets = {&start.e10, &start.e14, &start.e17, &start.e18};
        for (std::size_t i = 0; i < 4; ++i) {
            const std::string text = i < parts.size() ? parts[i] : std::string();
            const InputCheck check = CheckStartValue(text, lowerLimit, upperLimit);
            if (!check.Ok()) return Refuse(err, std::string("--start (") + names[i] + ")", check.error);
            *targets[i] = check.value;
        }
    }

    SearchState state;
    PrepareSearchState(state, bound.value, opt.startGiven ? &start : nullptr);
    SolutionWriter writer(out, opt.json ? OutputFormat::Json : OutputFormat::Text, opt.reduce);
    RunSearch(state, writer);
    writer.WriteSummary(state);
    return out.good() ? 0 : 1;
}

} // namespace pandicube
