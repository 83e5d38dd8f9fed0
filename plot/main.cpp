// pandicube-plot IN OUT: draws the census that pandicube-search --census
// wrote into a picture, off screen, without a display.
#include "cli/formats/census_record.h"
#include "cli/formats/run_identity.h"
#include "cli/usage.h"
#include "pandicube/version.h"
#include "plot/census_chart.h"

#include <CLI/CLI.hpp>

#include <QApplication>
#include <QtGlobal>

#include <fstream>
#include <iostream>
#include <string>
#include <variant>
#include <vector>

namespace {

constexpr int kExitRefused = 2;

int Refuse(const std::string& reason)
{
    std::cerr << "pandicube-plot: " << reason << '\n';
    return kExitRefused;
}

// Qt's own notes (a missing runtime folder, fonts) are not the program's
// business: only what it says itself reaches standard error.
void QuietMessages(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << "pandicube-plot: " << message.toStdString() << '\n';
}

// The census in IN ("-": standard input), or the reason it is none.
std::variant<pandicube::CensusOutput, std::string> ReadCensusFrom(const std::string& in)
{
    if (in == "-") return pandicube::ReadCensus(std::cin);
    std::ifstream file(in, std::ios::binary);
    if (!file.is_open()) return "cannot open " + in;
    return pandicube::ReadCensus(file);
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Draws a census that pandicube-search wrote (text, JSON Lines or CSV) into a picture: "
                 "the cubes and the classes up to each bound, on a logarithmic count axis.",
                 "pandicube-plot"};
    pandicube::SetHelpStyle(app);
    std::string in;
    std::string out;
    app.add_option("IN", in, "The census; - for standard input")->required()->type_name("");
    app.add_option("OUT", out, "The picture to write: a name ending in .svg or .png")->required()->type_name("");
    app.set_version_flag("--version", std::string("pandicube-plot ") + pandicube::kVersion,
                         "Print the version and exit");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return pandicube::ParseFailure(std::cerr, app, e);
    }

    const auto kind = pandicube::PictureKindOf(out);
    if (!kind) return Refuse(out + ": the picture's name must end in .svg or .png");
    auto read = ReadCensusFrom(in);
    if (const auto* problem = std::get_if<std::string>(&read)) return Refuse(in + ": " + *problem);
    const auto& census = std::get<pandicube::CensusOutput>(read);
    if (census.rows.empty()) return Refuse(in + ": the census has no bound to draw");
    std::vector<pandicube::CensusPoint> points;
    for (const pandicube::CensusRow& row : census.rows) points.push_back({row.bound, row.cubesUpTo, row.classesUpTo});
    const std::string title = "Census of pandicube-search " + pandicube::RunOptions(census.identity);

    // Off screen: the picture is drawn the same with or without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietMessages);
    int qtArgc = 1;
    QApplication qt(qtArgc, argv);
    if (const auto problem = pandicube::DrawCensus(points, title, out, *kind)) return Refuse(*problem);
    return 0;
}
