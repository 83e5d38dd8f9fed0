// pandicube-plot IN OUT: draws the census that pandicube-search --census
// wrote into a picture, off screen, without a display.
#include "cli/formats/census_reader.h"
#include "cli/formats/run_identity.h"
#include "cli/help_style.h"
#include "cli/output_file.h"
#include "cli/usage.h"
#include "pandicube/version.h"
#include "plot/census_chart.h"

#include <CLI/CLI.hpp>

#include <QApplication>
#include <QBuffer>
#include <QtGlobal>

#include <fstream>
#include <iostream>
#include <string>
#include <variant>

#include <sys/stat.h>

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

// The census in IN ("-": standard input), its rows gathered into `curve`,
// or the reason it is none.
std::variant<pandicube::CensusOutput, std::string> ReadCensusFrom(const std::string& in, pandicube::CensusCurve& curve)
{
    const auto gather = [&curve](const pandicube::CensusRow& row) {
        curve.Add({row.bound, row.cubesUpTo, row.classesUpTo});
    };
    if (in == "-") return pandicube::ReadCensus(std::cin, gather);
    std::ifstream file(in, std::ios::binary);
    if (!file.is_open()) return "cannot open " + in;
    return pandicube::ReadCensus(file, gather);
}

// Why OUT must not be written, or nothing: the picture never replaces its
// census (the same file, through any link) and is never written through a
// link, as pandicube-search's outputs are not.
std::optional<std::string> OutputFault(const std::string& in, const std::string& out)
{
    if (in != "-" && pandicube::SameFile(in, out))
        return out + " is the census " + in + "; give the picture another name";
    struct stat st {};
    if (::lstat(out.c_str(), &st) != 0) return std::nullopt;
    if (S_ISLNK(st.st_mode)) return out + " is a symbolic link; give the file it names, or remove the link";
    if (!S_ISREG(st.st_mode)) return out + " is not a regular file";
    return std::nullopt;
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
    pandicube::PictureSize size;
    const auto pixels = CLI::Range(pandicube::PictureSize::kLeast, pandicube::PictureSize::kMost);
    app.add_option("--width", size.width, "The picture's width in pixels; its text scales with it")
        ->check(pixels)
        ->capture_default_str();
    app.add_option("--height", size.height, "The picture's height in pixels")->check(pixels)->capture_default_str();
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
    if (const auto fault = OutputFault(in, out)) return Refuse(*fault);
    pandicube::CensusCurve curve;
    auto read = ReadCensusFrom(in, curve);
    if (const auto* problem = std::get_if<std::string>(&read)) return Refuse(in + ": " + *problem);
    const auto& census = std::get<pandicube::CensusOutput>(read);
    if (curve.Empty()) return Refuse(in + ": the census has no bound to draw");
    curve.EndAt(census.identity.setup.upperBound);
    const pandicube::Slice slice = census.identity.slice.value_or(pandicube::Slice{});
    const std::string title = pandicube::CensusTitle(census.identity.setup.upperBound, slice.index, slice.count);

    // Off screen: the picture is drawn the same with or without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietMessages);
    int qtArgc = 1;
    QApplication qt(qtArgc, argv);
    // Drawn in memory, then written whole (flushed to the disk and renamed),
    // so a failure names its real cause and leaves no half picture.
    QBuffer picture;
    picture.open(QIODevice::WriteOnly);
    if (const auto problem = pandicube::DrawCensus(curve, title, picture, *kind, size)) return Refuse(*problem);
    const QByteArray& bytes = picture.data();
    const auto length = static_cast<std::size_t>(bytes.size());
    if (const auto problem = pandicube::WriteWholeFile(out, std::string_view(bytes.constData(), length)))
        return Refuse(*problem);
    return 0;
}
