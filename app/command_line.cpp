#include "app/command_line.h"

#include "pandicube/version.h"

#include <QApplication>
#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace pandicube {

namespace {

void DescribeOptions(QCommandLineParser& parser)
{
    // In lines that fit 80 columns: the parser prints the text as it stands.
    parser.setApplicationDescription(
        QStringLiteral("Opens the window that searches for centrally symmetric perfect magic 5x5x5\n"
                       "cubes whose six outer planes are pandiagonal. pandicube-search runs the same\n"
                       "search without a window."));
    parser.addHelpOption();
    parser.addVersionOption();
}

// The window system's options are written with one dash or two.
bool IsQtOption(const char* argument, const char* name)
{
    if (argument[0] != '-') return false;
    const char* word = argument[1] == '-' ? argument + 2 : argument + 1;
    return std::strcmp(word, name) == 0;
}

// The options of the window system that an application takes: those of
// every platform and of X11, which --help-all lists, and QApplication's own;
// `value`: the option takes the next argument (or one after "=").
struct QtOption {
    const char* name;
    bool value;
};
constexpr QtOption kQtOptions[] = {
    {"qmljsdebugger", true}, {"platform", true},     {"platformpluginpath", true},
    {"platformtheme", true}, {"plugin", true},       {"qwindowgeometry", true},
    {"qwindowicon", true},   {"qwindowtitle", true}, {"reverse", false},
    {"session", true},       {"display", true},      {"name", true},
    {"nograb", false},       {"dograb", false},      {"visual", true},
    {"geometry", true},      {"icon", true},         {"title", true},
    {"style", true},         {"stylesheet", true},   {"widgetcount", false},
};

int RefuseUsage(const std::string& message)
{
    std::fprintf(stderr, "pandicube: %s\nTry 'pandicube --help'.\n", message.c_str());
    return 2;
}

} // namespace

std::optional<int> RefuseBadArguments(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        // "--" ends the options; the program takes no other arguments.
        if (argument == "--") {
            if (i + 1 < argc) return RefuseUsage(std::string("unexpected argument '") + argv[i + 1] + "'");
            break;
        }
        if (argument.size() < 2 || argument[0] != '-') return RefuseUsage("unexpected argument '" + argument + "'");
        const std::string word = argument.substr(argument[1] == '-' ? 2 : 1);
        const std::string name = word.substr(0, word.find('='));
        const QtOption* known = nullptr;
        for (const QtOption& option : kQtOptions) {
            if (name == option.name) known = &option;
        }
        if (known == nullptr) return RefuseUsage("unknown option '" + argument + "'");
        if (known->value && name.size() == word.size()) {
            if (i + 1 == argc) return RefuseUsage("option '" + argument + "' needs a value");
            ++i;
        }
    }
    return std::nullopt;
}

std::optional<int> AnswerTextOptions(int& argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("pandicube"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    bool asked = false;
    bool askedAll = false;
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"-h", "--help", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0) asked = true;
        }
        askedAll = askedAll || std::strcmp(argv[i], "--help-all") == 0;
    }
    if (!asked) return std::nullopt;

    QCommandLineParser parser;
    DescribeOptions(parser);
    if (askedAll) {
        // Only an application of the window system knows its options; the
        // off-screen platform needs no display (the last -platform counts).
        std::vector<char*> arguments(argv, argv + argc);
        char platformOption[] = "-platform";
        char offscreen[] = "offscreen";
        arguments.push_back(platformOption);
        arguments.push_back(offscreen);
        arguments.push_back(nullptr);
        int count = argc + 2;
        QApplication app(count, arguments.data());
        parser.process(app); // prints the text and ends the program
    } else {
        QCoreApplication app(argc, argv);
        parser.process(app); // prints the text and ends the program
    }
    return 0;
}

std::optional<int> RefuseWithoutDisplay(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return std::nullopt;
    }
    QByteArray display = qgetenv("DISPLAY");
    for (int i = 1; i < argc; ++i) {
        if (IsQtOption(argv[i], "platform")) return std::nullopt;
        if (IsQtOption(argv[i], "display") && i + 1 < argc) display = argv[i + 1];
    }
    if (display.isEmpty()) {
        std::fputs("pandicube: no display found (DISPLAY is not set); pandicube-search searches without one\n", stderr);
        return 1;
    }
    xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
    const bool opened = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (opened) return std::nullopt;
    std::fprintf(stderr, "pandicube: cannot open the display %s; pandicube-search searches without one\n",
                 display.constData());
    return 1;
}

} // namespace pandicube
