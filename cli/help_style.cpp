#include "cli/help_style.h"

#include "cli/usage.h"

#include <algorithm>
#include <ostream>
#include <sstream>
#include <vector>

namespace pandicube {

namespace {

constexpr std::size_t kHelpColumns = 79;
constexpr std::size_t kNameColumns = 28;

// `text` in lines of at most `width` characters, broken at spaces.
std::string Wrapped(const std::string& text, std::size_t width)
{
    std::istringstream words(text);
    std::string out;
    std::size_t line = 0;
    for (std::string word; words >> word;) {
        if (line > 0 && line + 1 + word.size() > width) {
            out += '\n';
            line = 0;
        } else if (line > 0) {
            out += ' ';
            ++line;
        }
        out += word;
        line += word.size();
    }
    return out;
}

// The edits (insertions, deletions, substitutions, swaps of neighbours) that
// turn a into b.
std::size_t Distance(const std::string& a, const std::string& b)
{
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

} // namespace

HelpFormatter::HelpFormatter()
{
    column_width(kNameColumns);
}

std::string HelpFormatter::make_description(const CLI::App* app) const
{
    const std::string description = app->get_description();
    return description.empty() ? std::string() : Wrapped(description, kHelpColumns) + '\n';
}

std::string HelpFormatter::make_option_desc(const CLI::Option* option) const
{
    return Wrapped(option->get_description(), kHelpColumns - kNameColumns);
}

std::string HelpFormatter::make_subcommand(const CLI::App* sub) const
{
    std::stringstream out;
    CLI::detail::format_help(out, sub->get_display_name(), Wrapped(sub->get_description(), kHelpColumns - kNameColumns),
                             kNameColumns);
    return out.str();
}

void SetHelpStyle(CLI::App& app)
{
    app.formatter(std::make_shared<HelpFormatter>());
}

std::string NearestName(const CLI::App& app, const std::string& typed)
{
    std::vector<std::string> names;
    const auto collect = [&names](const CLI::App& a) {
        for (const CLI::Option* option : a.get_options()) {
            for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
        }
    };
    collect(app);
    for (const CLI::App* sub : app.get_subcommands({})) {
        names.push_back(sub->get_name());
        collect(*sub);
    }
    // An option typed with its value ("--boundd=300") is compared by its name.
    const std::string word = typed.substr(0, typed.find('='));
    std::string nearest;
    std::size_t best = 3;
    for (const std::string& name : names) {
        const std::size_t distance = Distance(word, name);
        if (distance > 0 && distance < best) {
            best = distance;
            nearest = name;
        }
    }
    return nearest;
}

int ParseFailure(std::ostream& err, const CLI::App& app, const CLI::ParseError& error)
{
    std::string message = error.what();
    // The arguments left over are those of the subcommand in use, if any.
    const CLI::App* at = &app;
    for (const CLI::App* sub : app.get_subcommands()) at = sub;
    // The first argument that nothing took is named, as typed (the "--" that
    // ends the options aside); it may be the option meant where a value is
    // still missing.
    std::vector<std::string> extra = at->remaining();
    std::erase(extra, "--");
    const bool required = dynamic_cast<const CLI::RequiredError*>(&error) != nullptr;
    if ((dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr || required) && !extra.empty()) {
        message = CLI::ExtrasError({extra.front()}).what();
        if (const std::string nearest = NearestName(app, extra.front()); !nearest.empty())
            message += "; did you mean '" + nearest + "'?";
    }
    return UsageError(err, app.get_name(), message);
}

} // namespace pandicube
