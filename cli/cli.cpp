#include "cli/cli.h"

#include "cli/commands/merge_command.h"
#include "cli/commands/resume_command.h"
#include "cli/commands/search_command.h"
#include "cli/commands/verify_command.h"
#include "cli/help_style.h"
#include "cli/usage.h"
#include "pandicube/version.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <map>

namespace pandicube {

namespace {

// Binds an option whose text the input rules check later; it is given once.
CLI::Option* AddText(CLI::App& app, const std::string& name, std::optional<std::string>& target,
                     const std::string& description, const std::string& placeholder)
{
    return app
        .add_option_function<std::string>(
            name, [&target](const std::string& text) { target = text; }, description)
        ->type_name(placeholder)
        ->multi_option_policy(CLI::MultiOptionPolicy::Throw);
}

// A flag takes no value: "--json=false" is refused, not read as false.
CLI::Option* AddFlag(CLI::App& app, const std::string& name, bool& target, const std::string& description)
{
    return app.add_flag(name, target, description)
        ->disable_flag_override()
        ->multi_option_policy(CLI::MultiOptionPolicy::Throw);
}

// The first flag given a value ("--json=false", or "--json=" with an empty
// one, which the parser would take for the flag alone): a flag takes none.
std::string FlagWithValue(const CLI::App& app, int argc, const char* const* argv)
{
    std::vector<const CLI::App*> apps = {&app};
    for (const CLI::App* sub : app.get_subcommands({})) apps.push_back(sub);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") break;
        const std::size_t equals = arg.find('=');
        if (!arg.starts_with("--") || equals == std::string::npos) continue;
        for (const CLI::App* a : apps) {
            for (const CLI::Option* option : a->get_options()) {
                if (option->get_disable_flag_override() && option->check_lname(arg.substr(2, equals - 2)))
                    return arg.substr(0, equals) + " takes no value, not '" + arg.substr(equals + 1) + "'";
            }
        }
    }
    return {};
}

// The search's options, at the top level; --format as typed, and --json.
struct SearchLine {
    SearchOptions search;
    std::string format = "text";
    bool json = false;
    CLI::Option* formatOption = nullptr;
    CLI::Option* jsonOption = nullptr;
};

void AddSearchOptions(CLI::App& app, SearchLine& line)
{
    SearchOptions& search = line.search;
    app.add_option("--bound", search.bound, "Upper bound U for the entries (default 300)")
        ->type_name("U")
        ->multi_option_policy(CLI::MultiOptionPolicy::Throw);
    AddFlag(app, "--reduce", search.reduce, "Lower the upper bound after each solution");
    AddText(app, "--start", search.start, "Start the search from these values of e10, e14, e17 and e18",
            "E10,E14,E17,E18");
    line.formatOption = app.add_option("--format", line.format, "Output format: text (default), json or csv")
                            ->option_text("text|json|csv")
                            ->check(CLI::IsMember({"text", "json", "csv"}))
                            ->multi_option_policy(CLI::MultiOptionPolicy::Throw);
    line.jsonOption = AddFlag(app, "--json", line.json, "Short for --format json");
    AddFlag(app, "--cube", search.cube, "Write every solution as its 125 cells");
    AddFlag(app, "--classes", search.classes,
            "Write one record per essentially different cube: its standard form, first solution and class size");
    AddFlag(app, "--count-only", search.countOnly, "Write only the closing report");
    AddFlag(app, "--census", search.census,
            "Write, for each largest value b, the cubes and classes whose largest value is b, with running totals");
    AddFlag(app, "--quiet", search.quiet, "No progress line on the terminal");
    AddText(app, "--threads", search.threads, "Threads for the search, 1 to 1024 (default: all cores)", "N");
    AddText(app, "--slice", search.slice, "Search only part K of N (N up to 1000000) of the run", "K/N");
    AddText(app, "--output", search.output, "Write to FILE, which appears only when the run is complete", "FILE");
    AddFlag(app, "--continue", search.continueRun,
            "With --output: go on with FILE.part of this run, or leave FILE of this run as it is");
}

CLI::App* AddVerifyCommand(CLI::App& app, VerifyOptions& verify)
{
    auto* command = app.add_subcommand("verify", "Check an output file: every cube, and the file as a whole");
    command->add_option("FILE", verify.file, "Output of pandicube-search (- for standard input)")
        ->required()
        ->type_name("");
    AddText(*command, "--bound", verify.bound, "Also check that every value lies from 126 - U to U", "U");
    AddFlag(*command, "--partial", verify.partial,
            "Accept an output without completion record and say how far it is sound");
    AddFlag(*command, "--classes", verify.classes,
            "Group the cubes into classes of essentially different cubes; flag a full listing that lacks members");
    AddFlag(*command, "--search", verify.search,
            "Search the run of the file's identity again and compare every byte with the file");
    AddText(*command, "--threads", verify.threads, "Threads for --search (default: all cores)", "N");
    return command;
}

CLI::App* AddMergeCommand(CLI::App& app, MergeOptions& merge)
{
    auto* command = app.add_subcommand("merge", "Merge the outputs of the slices of a run into the whole run");
    command->add_option("FILE", merge.files, "Outputs of the slices (- for standard input)")->required()->type_name("");
    AddFlag(*command, "--check", merge.check, "Report which slices are complete, missing or foreign; write nothing");
    AddText(*command, "--output", merge.output, "Write to FILE, which appears only when the merge is complete", "FILE");
    return command;
}

CLI::App* AddResumeCommand(CLI::App& app, ResumeOptions& resume)
{
    auto* command = app.add_subcommand("resume", "Continue the output of an interrupted or killed run, in place");
    command->add_option("FILE", resume.file, "The output to continue (NAME finds the NAME.part of --output)")
        ->required()
        ->type_name("");
    AddText(*command, "--threads", resume.threads, "Threads for the search (default: all cores)", "N");
    AddFlag(*command, "--quiet", resume.quiet, "No progress line on the terminal");
    return command;
}

// The help and the version are the output: a failure to write them is
// reported like any other write failure.
int Answer(std::ostream& out, std::ostream& err, const std::string& text, const char* what)
{
    errno = 0;
    out << text;
    out.flush();
    if (out.good()) return kExitOk;
    Say(err) << "cannot write the " << what << ": " << (errno != 0 ? std::strerror(errno) : "the output stream failed")
             << '\n';
    return kExitWriteFailed;
}

} // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err, const CliEnvironment& env)
{
    CLI::App app{"Searches for centrally symmetric perfect magic 5x5x5 cubes whose six outer planes are pandiagonal.",
                 kSearchProgram};
    app.require_subcommand(0, 1);
    SetHelpStyle(app);
    app.set_version_flag("--version", std::string("pandicube-search ") + kVersion, "Print the version and exit");
    SearchLine line;
    AddSearchOptions(app, line);
    VerifyOptions verify;
    const CLI::App* verifyCommand = AddVerifyCommand(app, verify);
    MergeOptions merge;
    const CLI::App* mergeCommand = AddMergeCommand(app, merge);
    ResumeOptions resume;
    AddResumeCommand(app, resume);

    // A flag takes no value, not even an empty one ("--json=").
    if (const std::string refusal = FlagWithValue(app, argc, argv); !refusal.empty()) return RefuseUsage(err, refusal);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        return Answer(out, err, app.help(), "help");
    } catch (const CLI::CallForVersion& e) {
        return Answer(out, err, std::string(e.what()) + '\n', "version");
    } catch (const CLI::ParseError& e) {
        return ParseFailure(err, app, e);
    }

    CLI::App* command = app.get_subcommands().empty() ? nullptr : app.get_subcommands().front();
    if (command != nullptr) {
        // The search options belong to the search alone.
        for (const CLI::Option* option : app.get_options()) {
            if (option->count() > 0 && option->get_name() != "--help")
                return RefuseUsage(err,
                                   option->get_name() + " is an option of the search, not of " + command->get_name());
        }
        if (command == verifyCommand) return RunVerifyCommand(verify, env, out, err);
        if (command == mergeCommand) return RunMergeCommand(merge, env, out, err);
        return RunResumeCommand(resume, env, err);
    }

    if (line.jsonOption->count() > 0 && line.formatOption->count() > 0)
        return RefuseUsage(err, "--json is short for --format json; give only one of them");
    static const std::map<std::string, OutputFormat> kFormats = {
        {"text", OutputFormat::Text}, {"json", OutputFormat::Json}, {"csv", OutputFormat::Csv}};
    line.search.format = line.json ? OutputFormat::Json : kFormats.at(line.format);
    return RunSearchCommand(line.search, env, out, err);
}

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    return RunCli(argc, argv, out, err, CliEnvironment{false, &std::cin, 1, false, {}, {}});
}

} // namespace pandicube
