#include "cli/cli.h"

#include "cli/merge_command.h"
#include "cli/search_command.h"
#include "cli/verify_command.h"
#include "pandicube/version.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <map>

namespace pandicube {

namespace {

// Binds an option whose text the input rules check later.
CLI::Option* AddText(CLI::App& app, const std::string& name, std::optional<std::string>& target,
                     const std::string& description, const std::string& placeholder)
{
    return app
        .add_option_function<std::string>(
            name, [&target](const std::string& text) { target = text; }, description)
        ->option_text(placeholder);
}

} // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err, const CliEnvironment& env)
{
    CLI::App app{"Searches for centrally symmetric perfect magic 5x5x5 cubes whose six outer planes are pandiagonal.",
                 "pandicube-search"};
    app.require_subcommand(0, 1);
    app.set_version_flag("--version", std::string("pandicube-search ") + kVersion, "Print the version and exit");

    SearchOptions search;
    std::string format = "text";
    bool json = false;
    app.add_option("--bound", search.bound, "Upper bound U for the entries (default 300)")->option_text("U");
    app.add_flag("--reduce", search.reduce, "Lower the upper bound after each solution");
    AddText(app, "--start", search.start, "Start the search from these values of e10, e14, e17 and e18",
            "E10,E14,E17,E18");
    auto* formatOption = app.add_option("--format", format, "Output format: text (default), json or csv")
                             ->option_text("text|json|csv")
                             ->check(CLI::IsMember({"text", "json", "csv"}));
    auto* jsonOption = app.add_flag("--json", json, "Short for --format json");
    app.add_flag("--cube", search.cube, "Write every solution as its 125 cells");
    app.add_flag("--count-only", search.countOnly, "Write only the closing report");
    app.add_flag("--quiet", search.quiet, "No progress line on the terminal");
    AddText(app, "--threads", search.threads, "Threads for the search (default: all cores)", "N");
    AddText(app, "--slice", search.slice, "Search only part K of N of the run", "K/N");

    VerifyOptions verify;
    auto* verifyCommand = app.add_subcommand("verify", "Check every cube of an output file from the geometry");
    verifyCommand->add_option("FILE", verify.file, "Output of pandicube-search (- for standard input)")
        ->required()
        ->type_name("");
    AddText(*verifyCommand, "--bound", verify.bound, "Also check that every value lies from 126 - U to U", "U");

    MergeOptions merge;
    auto* mergeCommand = app.add_subcommand("merge", "Merge the outputs of --slice runs into the output of one run");
    mergeCommand->add_option("FILE", merge.files, "Outputs of the slices (- for standard input)")
        ->required()
        ->type_name("");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return kExitOk;
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << '\n';
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        err << "pandicube-search: " << e.what() << '\n';
        return kExitRefused;
    }

    if (verifyCommand->parsed() || mergeCommand->parsed()) {
        // The search options belong to the search alone.
        for (const CLI::Option* option : app.get_options()) {
            if (option->count() > 0 && option->get_name() != "--help") {
                err << "pandicube-search: " << option->get_name() << " is an option of the search, not of "
                    << (verifyCommand->parsed() ? "verify" : "merge") << '\n';
                return kExitRefused;
            }
        }
        return verifyCommand->parsed() ? RunVerifyCommand(verify, env, out, err)
                                       : RunMergeCommand(merge, env, out, err);
    }

    if (jsonOption->count() > 0 && formatOption->count() > 0) {
        err << "pandicube-search: --json is short for --format json; give only one of them\n";
        return kExitRefused;
    }
    static const std::map<std::string, OutputFormat> kFormats = {
        {"text", OutputFormat::Text}, {"json", OutputFormat::Json}, {"csv", OutputFormat::Csv}};
    search.format = json ? OutputFormat::Json : kFormats.at(format);
    return RunSearchCommand(search, env, out, err);
}

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    return RunCli(argc, argv, out, err, CliEnvironment{false, &std::cin, 1});
}

} // namespace pandicube
