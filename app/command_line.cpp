#include "app/command_line.h"

#include "pandicube/version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstring>

namespace pandicube {

namespace {

void DescribeOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Opens the window that searches for centrally symmetric perfect magic 5x5x5 cubes whose six "
                       "outer planes are pandiagonal. pandicube-search runs the same search without a window."));
    parser.addHelpOption();
    parser.addVersionOption();
}

} // namespace

std::optional<int> AnswerTextOptions(int& argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("pandicube"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"-h", "--help", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0) asked = true;
        }
    }
    if (!asked) return std::nullopt;

    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    DescribeOptions(parser);
    parser.process(app); // prints the text and ends the program
    return 0;
}

void RefuseUnknownOptions(const QCoreApplication& app)
{
    QCommandLineParser parser;
    DescribeOptions(parser);
    parser.process(app);
}

} // namespace pandicube
