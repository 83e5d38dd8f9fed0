// The manual pages against the programs themselves: every option that
// `--help` lists (and each command's own `--help`) is described in its part of
// the page, and `--version` prints the version of the build.
#include "tests/support/run_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using pandicube::test::CommandOutput;

struct Program {
    const char* name;
    const char* path;
    const char* manualPage;
};

std::vector<Program> Programs()
{
    std::vector<Program> programs{{"pandicube-search", PANDICUBE_SEARCH_EXE, PANDICUBE_MAN_DIR "/pandicube-search.1"}};
#ifdef PANDICUBE_EXE
    programs.push_back({"pandicube", PANDICUBE_EXE, PANDICUBE_MAN_DIR "/pandicube.1"});
#endif
#ifdef PANDICUBE_PLOT_EXE
    programs.push_back({"pandicube-plot", PANDICUBE_PLOT_EXE, PANDICUBE_MAN_DIR "/pandicube-plot.1"});
#endif
    return programs;
}

// The options named in a help text: every word that begins with one or two
// dashes and a letter ("-h,--help" names two).
std::set<std::string> OptionsIn(const std::string& help)
{
    std::set<std::string> options;
    std::string word;
    auto take = [&] {
        const std::size_t dashes = word.rfind("--", 0) == 0 ? 2 : word.rfind('-', 0) == 0 ? 1 : 0;
        if (dashes > 0 && word.size() > dashes && std::isalpha(static_cast<unsigned char>(word[dashes]))) {
            options.insert(word);
        }
        word.clear();
    };
    for (char c : help) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-') {
            word += c;
        } else {
            take();
        }
    }
    take();
    return options;
}

// The commands listed under "Subcommands:" in a help text.
std::vector<std::string> CommandsIn(const std::string& help)
{
    std::vector<std::string> commands;
    std::istringstream lines(help);
    bool listed = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Subcommands:", 0) == 0) {
            listed = true;
        } else if (listed && line.rfind("  ", 0) == 0 && line.size() > 2 && line[2] != ' ') {
            commands.push_back(line.substr(2, line.find(' ', 2) - 2));
        } else if (listed && line.empty()) {
            listed = false;
        }
    }
    return commands;
}

// The page's text by section: roff's escapes for dashes and fonts removed,
// each .SH or .SS heading (as plain text) with the lines up to the next one.
std::map<std::string, std::string> SectionsOf(const std::string& path)
{
    std::ifstream file(path);
    std::map<std::string, std::string> sections;
    std::string heading;
    for (std::string line; std::getline(file, line);) {
        std::string plain;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] != '\\' || i + 1 == line.size()) {
                plain += line[i];
            } else if (line[i + 1] == '-') {
                plain += '-';
                ++i;
            } else if (line[i + 1] == 'f' && i + 2 < line.size()) {
                i += 2; // \fB, \fI, \fR, \fP
            } else if (line[i + 1] == '&') {
                ++i;
            } else {
                plain += line[i];
            }
        }
        if (plain.rfind(".SH ", 0) == 0 || plain.rfind(".SS ", 0) == 0) {
            heading = plain.substr(4);
            if (!heading.empty() && heading.front() == '"') heading = heading.substr(1, heading.find('"', 1) - 1);
        }
        sections[heading] += plain + '\n';
    }
    return sections;
}

bool Describes(const std::string& text, const std::string& option)
{
    for (std::size_t at = text.find(option); at != std::string::npos; at = text.find(option, at + 1)) {
        const std::size_t end = at + option.size();
        const bool wholeWord =
            end == text.size() || !(std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-');
        if (wholeWord) return true;
    }
    return false;
}

std::string HelpOf(const Program& program, const std::string& command)
{
    int status = -1;
    const std::string help = CommandOutput(std::string("'") + program.path + "' " + command + " --help", &status);
    EXPECT_EQ(status, 0) << program.name << ' ' << command << " --help";
    return help;
}

TEST(ManualPage, DescribesEveryOptionOfTheHelpInItsSection)
{
    for (const Program& program : Programs()) {
        SCOPED_TRACE(program.manualPage);
        const auto sections = SectionsOf(program.manualPage);
        ASSERT_TRUE(sections.count("OPTIONS")) << "no OPTIONS section";
        const std::string help = HelpOf(program, "");
        const std::set<std::string> options = OptionsIn(help);
        EXPECT_TRUE(options.count("--help") && options.count("--version")) << help;
        for (const std::string& option : options) {
            EXPECT_TRUE(Describes(sections.at("OPTIONS"), option)) << option << " is missing from OPTIONS";
        }
        // Each command has a subsection whose heading begins with its name.
        for (const std::string& command : CommandsIn(help)) {
            std::string text;
            for (const auto& [heading, body] : sections) {
                if (heading.rfind(command + ' ', 0) == 0 || heading == command) text = body;
            }
            ASSERT_FALSE(text.empty()) << "no subsection for the command " << command;
            for (const std::string& option : OptionsIn(HelpOf(program, command))) {
                EXPECT_TRUE(Describes(text, option)) << option << " of " << command << " is missing";
            }
        }
    }
}

// The ```sh blocks of a Markdown page, each as its commands (a line ending in
// a backslash joined with the next).
std::vector<std::vector<std::string>> ShellBlocks(const std::filesystem::path& page)
{
    std::vector<std::vector<std::string>> blocks;
    std::ifstream file(page);
    bool inBlock = false;
    std::string command;
    for (std::string line; std::getline(file, line);) {
        if (line.rfind("```", 0) == 0) {
            inBlock = line == "```sh";
            if (inBlock) blocks.emplace_back();
            continue;
        }
        if (!inBlock) continue;
        command += line;
        if (!command.empty() && command.back() == '\\') {
            command.back() = ' ';
            continue;
        }
        blocks.back().push_back(command);
        command.clear();
    }
    return blocks;
}

// The commands in the ```sh blocks of README.md, CONTRIBUTING.md and
// docs/*.md use only options that their program's (or command's) --help lists.
TEST(ManualPage, DocumentedCommandsUseOnlyOptionsOfTheirHelp)
{
    std::vector<std::filesystem::path> pages{PANDICUBE_SOURCE_DIR "/README.md",
                                             PANDICUBE_SOURCE_DIR "/CONTRIBUTING.md"};
    for (const auto& entry : std::filesystem::directory_iterator(PANDICUBE_SOURCE_DIR "/docs")) {
        if (entry.path().extension() == ".md") pages.push_back(entry.path());
    }
    const std::vector<Program> programs = Programs();
    std::map<std::string, std::set<std::string>> helps; // by "program command"
    std::size_t checked = 0;
    for (const auto& page : pages) {
        for (const auto& block : ShellBlocks(page)) {
            for (const std::string& command : block) {
                std::istringstream words(command);
                const Program* program = nullptr;
                std::string key;
                for (std::string word; words >> word;) {
                    word.erase(std::remove_if(word.begin(), word.end(), [](char c) { return c == '[' || c == ']'; }),
                               word.end());
                    if (word.empty()) continue;
                    if (word == "|" || word == "&&" || word == "||" || word == ";" || word == "#") program = nullptr;
                    if (!program) {
                        for (const Program& p : programs) {
                            if (word == p.name || word == std::string("'") + p.name) program = &p;
                        }
                        if (!program) continue;
                        key = program->name;
                        if (!helps.count(key)) helps[key] = OptionsIn(HelpOf(*program, ""));
                        ++checked;
                        continue;
                    }
                    if (key.find(' ') == std::string::npos &&
                        (word == "verify" || word == "merge" || word == "resume")) {
                        key += ' ' + word;
                        if (!helps.count(key)) helps[key] = OptionsIn(HelpOf(*program, word));
                        continue;
                    }
                    const bool quoteEnds = word.back() == '\'';
                    const std::string option = word.substr(0, word.find('='));
                    if (option.size() > 1 && option[0] == '-' &&
                        std::isalpha(static_cast<unsigned char>(option.back()))) {
                        EXPECT_TRUE(helps[key].count(option))
                            << page << ": " << key << ' ' << option << " is not in --help";
                    }
                    if (quoteEnds) program = nullptr;
                }
            }
        }
    }
    EXPECT_GT(checked, 40u); // the pages show that many commands
}

#ifdef PANDICUBE_PLOT_EXE
// The README's commands of the two headless programs run as written, block by
// block, in an empty folder.
TEST(ManualPage, ReadmeCommandsRunAsWritten)
{
    const auto folder = std::filesystem::temp_directory_path() / ("readme-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = std::filesystem::path(PANDICUBE_SEARCH_EXE).parent_path().string() + ':' +
                             std::filesystem::path(PANDICUBE_PLOT_EXE).parent_path().string();
    std::size_t ran = 0;
    for (const auto& block : ShellBlocks(PANDICUBE_SOURCE_DIR "/README.md")) {
        const bool headless = std::all_of(block.begin(), block.end(), [](const std::string& command) {
            return command.rfind("pandicube-search ", 0) == 0 || command.rfind("pandicube-plot ", 0) == 0;
        });
        if (!headless) continue;
        std::string script =
            "cd '" + folder.string() + "' && export PATH='" + path + ":$PATH' QT_QPA_PLATFORM=offscreen";
        for (const std::string& command : block) script += " && " + command.substr(0, command.find(" #"));
        int status = -1;
        const std::string said = CommandOutput("bash -c \"" + script + "\" 2>&1 >/dev/null", &status);
        EXPECT_EQ(status, 0) << block.front() << ": " << said;
        ++ran;
    }
    EXPECT_GE(ran, 4u); // a first search, verify, census and plot, slices
    std::filesystem::remove_all(folder);
}
#endif

TEST(ManualPage, VersionIsTheVersionOfTheBuild)
{
    for (const Program& program : Programs()) {
        int status = -1;
        EXPECT_EQ(CommandOutput(std::string("'") + program.path + "' --version", &status),
                  std::string(program.name) + ' ' + PANDICUBE_VERSION_TEXT + '\n');
        EXPECT_EQ(status, 0) << program.name;
        std::ifstream page(program.manualPage);
        std::string heading;
        std::getline(page, heading);
        while (heading.rfind(".TH", 0) != 0 && std::getline(page, heading)) {
        }
        EXPECT_NE(heading.find(std::string("\"Pandicube ") + PANDICUBE_VERSION_TEXT + '"'), std::string::npos)
            << heading;
    }
}

// The line that whatis and apropos show for a page, as man-db reads it from
// the NAME section, keeps the size of the cubes.
TEST(ManualPage, WhatisLineNamesTheCubesFiveByFiveByFive)
{
    if (!pandicube::test::OnPath("lexgrog")) GTEST_SKIP() << "lexgrog (man-db) is missing";
    for (const Program& program : Programs()) {
        const std::string line = CommandOutput(std::string("lexgrog '") + program.manualPage + "'");
        EXPECT_NE(line.find(std::string("\"") + program.name + " - "), std::string::npos) << line;
        EXPECT_NE(line.find(" perfect magic 5x5x5 cubes\""), std::string::npos) << line;
    }
}

#ifdef PANDICUBE_EXE
// --help-all lists Qt's options besides the program's own, without a display:
// those of every platform, and in an X11 session those of X.
TEST(ManualPage, HelpAllOfTheWindowListsQtsOptionsWithoutADisplay)
{
    int status = -1;
    const std::string help =
        CommandOutput(std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_SESSION_TYPE=x11 '") +
                          PANDICUBE_EXE + "' --help-all",
                      &status);
    EXPECT_EQ(status, 0);
    const std::set<std::string> options = OptionsIn(help);
    for (const char* option : {"--help", "--help-all", "--version", "--platform", "--display", "--qwindowtitle"}) {
        EXPECT_TRUE(options.count(option)) << option << " is missing from " << help;
    }
}
#endif

} // namespace
