#include "cli/cli.h"

#include "cli/commands/merge_command.h"
#include "cli/commands/search_command.h"
#include "cli/commands/verify_command.h"
#include "pandicube/version.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstring>
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

// A flag takes no value: "--json=false" is refused, not read as false.
CLI::Option* AddFlag(CLI::App& app, const std::string& name, bool& target, const std::string& description)
{
    return app.add_flag(name, target, description)->disable_flag_override();
}

// The option of `app` or its commands that a parser message names.
std::string OptionNamed(const CLI::App& app, const std::string& message)
{
    std::string found;
    const auto look = [&](const CLI::App& a) {
        for (const CLI::Option* option : a.get_options()) {
            const std::string name = option->get_name();
            if (!name.empty() && message.find(name) != std::string::npos && name.size() > found.size()) found = name;
        }
    };
    look(app);
    for (const CLI::App* sub : app.get_subcommands({})) look(*sub);
    return found;
}

// The parser's complaint in the words of the README.
std::string Complaint(const CLI::ParseError& e, const CLI::App& app)
{
    const std::string message = e.what();
    const std::string option = OptionNamed(app, message);
    // The parser names a flag without its dashes here.
    if (message.find("flag override") != std::string::npos)
        return "--" + message.substr(0, message.find(' ')) + " takes no value";
    if (dynamic_cast<const CLI::ValidationError*>(&e) != nullptr && option == "--format")
        return "--format takes text, json or csv";
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr) {
        if (message.find("At Most") != std::string::npos) return option + " is given more than once";
        return option + " needs a value";
    }
    if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) return "FILE is missing";
    return message;
}

// The first argument that none of the options and commands took, in the
// order typed, or an option given twice.
std::string Leftover(const CLI::App& app)
{
    const auto unexpected = [](const CLI::App& a) -> std::string {
        const std::vector<std::string> extra = a.remaining();
        if (extra.empty()) return {};
        const std::string& first = extra.front();
        return first.size() > 1 && first[0] == '-' ? "unknown option " + first : "unexpected argument " + first;
    };
    const auto twice = [](const CLI::App& a) -> std::string {
        for (const CLI::Option* option : a.get_options()) {
            if (option->count() > 1 && !option->get_positional()) return option->get_name();
        }
        return {};
    };
    std::vector<const CLI::App*> apps = {&app};
    for (const CLI::App* sub : app.get_subcommands()) apps.push_back(sub);
    for (const CLI::App* a : apps) {
        if (std::string text = unexpected(*a); !text.empty()) return text;
        if (const std::string name = twice(*a); !name.empty()) return name + " is given more than once";
    }
    return {};
}

// The first flag given as "--FLAG=" with an empty value, which the parser
// would take for the flag alone.
std::string EmptyFlagValue(const CLI::App& app, int argc, const char* const* argv)
{
    std::vector<const CLI::App*> apps = {&app};
    for (const CLI::App* sub : app.get_subcommands({})) apps.push_back(sub);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") break;
        if (!arg.starts_with("--") || !arg.ends_with('=')) continue;
        const std::string name = arg.substr(0, arg.size() - 1);
        for (const CLI::App* a : apps) {
            for (const CLI::Option* option : a->get_options()) {
                if (option->get_disable_flag_override() && option->check_lname(name.substr(2))) return name;
            }
        }
    }
    return {};
}

} // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err, const CliEnvironment& env)
{
    CLI::App app{"Searches for centrally symmetric perfect magic 5x5x5 cubes whose six outer planes are pandiagonal.",
                 "pandicube-search"};
    app.require_subcommand(0, 1);
    app.allow_extras();
    app.set_version_flag("--version", std::string("pandicube-search ") + kVersion, "Print the version and exit");

    SearchOptions search;
    std::string format = "text";
    bool json = false;
    app.add_option("--bound", search.bound, "Upper bound U for the entries (default 300)")->option_text("U");
    AddFlag(app, "--reduce", search.reduce, "Lower the upper bound after each solution");
    AddText(app, "--start", search.start, "Start the search from these values of e10, e14, e17 and e18",
            "E10,E14,E17,E18");
    auto* formatOption = app.add_option("--format", format, "Output format: text (default), json or csv")
                             ->option_text("text|json|csv")
                             ->check(CLI::IsMember({"text", "json", "csv"}));
    auto* jsonOption = AddFlag(app, "--json", json, "Short for --format json");
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

    VerifyOptions verify;
    auto* verifyCommand = app.add_subcommand("verify", "Check an output file: every cube, and the file as a whole");
    verifyCommand->allow_extras();
    verifyCommand->add_option("FILE", verify.file, "Output of pandicube-search (- for standard input)")
        ->required()
        ->type_name("");
    AddText(*verifyCommand, "--bound", verify.bound, "Also check that every value lies from 126 - U to U", "U");
    AddFlag(*verifyCommand, "--partial", verify.partial,
            "Accept an output without completion record and say how far it is sound");
    AddFlag(*verifyCommand, "--classes", verify.classes,
            "Group the cubes into classes of essentially different cubes; flag a full listing that lacks members");
    AddFlag(*verifyCommand, "--search", verify.search,
            "Search the run of the file's identity again and compare every byte with the file");
    AddText(*verifyCommand, "--threads", verify.threads, "Threads for --search (default: all cores)", "N");

    MergeOptions merge;
    auto* mergeCommand = app.add_subcommand("merge", "Merge the outputs of the slices of a run into the whole run");
    mergeCommand->allow_extras();
    mergeCommand->add_option("FILE", merge.files, "Outputs of the slices (- for standard input)")
        ->required()
        ->type_name("");
    AddFlag(*mergeCommand, "--check", merge.check,
            "Report which slices are complete, missing or foreign; write nothing");
    AddText(*mergeCommand, "--output", merge.output, "Write to FILE, which appears only when the merge is complete",
            "FILE");

    ResumeOptions resume;
    auto* resumeCommand = app.add_subcommand("resume", "Continue the output of an interrupted or killed run, in place");
    resumeCommand->allow_extras();
    resumeCommand->add_option("FILE", resume.file, "The output to continue (NAME finds the NAME.part of --output)")
        ->required()
        ->type_name("");
    AddText(*resumeCommand, "--threads", resume.threads, "Threads for the search (default: all cores)", "N");
    AddFlag(*resumeCommand, "--quiet", resume.quiet, "No progress line on the terminal");

    // A flag takes no value, not even an empty one ("--json=").
    if (const std::string flag = EmptyFlagValue(app, argc, argv); !flag.empty()) {
        err << "pandicube-search: " << flag << " takes no value\n";
        return kExitRefused;
    }
    // The help and the version are the output: a failure to write them is
    // reported like any other write failure.
    const auto answer = [&](const std::string& text, const char* what) {
        errno = 0;
        out << text;
        out.flush();
        if (out.good()) return kExitOk;
        err << "pandicube-search: cannot write the " << what << ": "
            << (errno != 0 ? std::strerror(errno) : "the output stream failed") << '\n';
        return kExitWriteFailed;
    };
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        return answer(app.help(), "help");
    } catch (const CLI::CallForVersion& e) {
        return answer(std::string(e.what()) + '\n', "version");
    } catch (const CLI::ParseError& e) {
        err << "pandicube-search: " << Complaint(e, app) << '\n';
        return kExitRefused;
    }
    if (const std::string leftover = Leftover(app); !leftover.empty()) {
        err << "pandicube-search: " << leftover << '\n';
        return kExitRefused;
    }

    CLI::App* command = app.get_subcommands().empty() ? nullptr : app.get_subcommands().front();
    if (command != nullptr) {
        // The search options belong to the search alone.
        for (const CLI::Option* option : app.get_options()) {
            if (option->count() > 0 && option->get_name() != "--help") {
                err << "pandicube-search: " << option->get_name() << " is an option of the search, not of "
                    << command->get_name() << '\n';
                return kExitRefused;
            }
        }
        if (command == verifyCommand) return RunVerifyCommand(verify, env, out, err);
        if (command == mergeCommand) return RunMergeCommand(merge, env, out, err);
        return RunResumeCommand(resume, env, err);
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
    return RunCli(argc, argv, out, err, CliEnvironment{false, &std::cin, 1, false, {}, {}});
}

} // namespace pandicube
