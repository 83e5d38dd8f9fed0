#pragma once

#include <CLI/CLI.hpp>

#include <iosfwd>
#include <string>

namespace pandicube {

// The command lines' help, which fits 80 columns, and the parser's refusals
// in the style of usage.h.

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

// The parser's refusal in CLI11's words; for an argument that none of the
// options or subcommands took, the nearest name that was meant.
int ParseFailure(std::ostream& err, const CLI::App& app, const CLI::ParseError& error);

// The option or subcommand name of `app` (and its subcommands' options) that
// is at most two edits from `typed`, the nearest; empty when none is.
std::string NearestName(const CLI::App& app, const std::string& typed);

} // namespace pandicube
