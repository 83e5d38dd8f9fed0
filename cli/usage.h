#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <iosfwd>
#include <string>

namespace pandicube {

// The one style of the command lines of pandicube-search and pandicube-plot
// (the window's program follows it with Qt's parser): help that fits 80
// columns, and usage errors in one line that names the program, followed by
// "Try 'PROGRAM --help'.", with exit status 2.
inline constexpr int kExitUsage = 2;

// Wraps the help's descriptions to 79 columns, so that no line fills an
// 80-column terminal.
class HelpFormatter : public CLI::Formatter {
public:
    HelpFormatter();
    std::string make_description(const CLI::App* app) const override;
    std::string make_option_desc(const CLI::Option* option) const override;
    std::string make_subcommand(const CLI::App* sub) const override;
};

// Gives `app` the help formatter.
void SetHelpStyle(CLI::App& app);

// Writes "PROGRAM: MESSAGE" and the pointer to the help; returns kExitUsage.
int UsageError(std::ostream& err, const std::string& program, const std::string& message);

// Every message of pandicube-search on standard error begins with its name.
inline constexpr const char* kSearchProgram = "pandicube-search";
// Begins a message of pandicube-search on `err`: writes "pandicube-search: ".
std::ostream& Say(std::ostream& err);
// Writes "pandicube-search: MESSAGE" as one line; returns 2 (refused).
int RefuseWith(std::ostream& err, const std::string& message);
// A usage error of pandicube-search (UsageError); returns kExitUsage.
int RefuseUsage(std::ostream& err, const std::string& message);

// The parser's refusal in CLI11's words; for an argument that none of the
// options or subcommands took, the nearest name that was meant.
int ParseFailure(std::ostream& err, const CLI::App& app, const CLI::ParseError& error);

// "NAME must be a whole number from LOW to HIGH, not 'TEXT'".
std::string NotAWholeNumber(const std::string& name, std::int64_t low, std::int64_t high, const std::string& text);

// The option or subcommand name of `app` (and its subcommands' options) that
// is at most two edits from `typed`, the nearest; empty when none is.
std::string NearestName(const CLI::App& app, const std::string& typed);

} // namespace pandicube
