// pandicube-plot as a user runs it, without a display: the census of a run in
// each format becomes an SVG or a PNG picture, and input that is no whole
// census, or a picture it cannot write, gets one line and status 2 and leaves
// no picture behind.
#include "tests/cli/cli_test_support.h"
#include "tests/support/run_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pandicube {
namespace {

using test::CommandOutput;

class PlotProgram : public test::TempFiles {
protected:
    // Runs the program without a display; its standard error (and output).
    std::string Plot(const std::string& in, const std::string& out, int& status, const std::string& options = "")
    {
        return CommandOutput("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" PANDICUBE_PLOT_EXE "' '" + in +
                                 "' '" + out + "' " + options + " 2>&1",
                             &status);
    }

    std::string Census(const std::string& format, std::vector<std::string> options = {"--bound", "300"})
    {
        const auto run = RunTool(test::With(options, {"--census", "--quiet", "--format", format}));
        EXPECT_EQ(run.status, 0) << run.err;
        return Write("census-" + format, run.out);
    }
};

// The words of an SVG picture, in the order drawn: title, axis titles, the
// bounds' labels, the counts' labels, the legend.
std::vector<std::string> Words(const std::string& svg)
{
    std::vector<std::string> words;
    for (std::size_t at = svg.find("</text>"); at != std::string::npos; at = svg.find("</text>", at + 1))
        words.push_back(svg.substr(svg.rfind('>', at) + 1, at - svg.rfind('>', at) - 1));
    return words;
}

// The census of `rows` bounds from 255 on, with 1 to 3 classes at each.
std::string DenseCensus(int rows)
{
    std::string census = "# pandicube-search " PANDICUBE_VERSION_TEXT " --bound " + std::to_string(254 + rows) +
                         " --census --format csv\nbound,cubes,classes,cubesUpTo,classesUpTo\n";
    std::int64_t total = 0;
    for (int bound = 255; bound < 255 + rows; ++bound) {
        const int classes = 1 + bound % 3;
        total += classes;
        census += std::to_string(bound) + "," + std::to_string(24 * classes) + "," + std::to_string(classes) + "," +
                  std::to_string(24 * total) + "," + std::to_string(total) + "\n";
    }
    return census + "# complete: " + std::to_string(total) + " classes, xxh3 checksum 0000000000000000\n";
}

TEST_F(PlotProgram, DrawsTheCensusOfEachFormatAsSvgAndPng)
{
    for (const std::string format : {"text", "json", "csv"}) {
        const std::string census = Census(format);
        const std::string svg = Path(format + ".svg");
        const std::string png = Path(format + ".PNG");
        int status = -1;
        EXPECT_EQ(Plot(census, svg, status), "") << format;
        EXPECT_EQ(status, 0) << format;
        const std::string drawn = ReadFile(svg);
        EXPECT_TRUE(drawn.starts_with("<?xml")) << format;
        EXPECT_NE(drawn.find("<svg"), std::string::npos) << format;
        // The title names the run; the legend and the axes are labelled.
        for (const char* text : {"with largest value at most U, up to U = 300<", "classes", "bound U"})
            EXPECT_NE(drawn.find(text), std::string::npos) << format << ": " << text;
        EXPECT_EQ(Plot(census, png, status), "") << format;
        EXPECT_EQ(status, 0) << format;
        EXPECT_TRUE(ReadFile(png).starts_with("\x89PNG\r\n\x1a\n")) << format;
    }
}

// The title in words, a slice named, whole-numbered bounds that each occur
// once (also for a census of one bound), counts in powers of ten written
// alike, and text that scales with the picture.
TEST_F(PlotProgram, LabelsTheChartInPlainWordsAtAnySize)
{
    const std::string svg = Path("chart.svg");
    struct Case {
        std::vector<std::string> run;
        std::string options;
        std::string title;
        std::vector<std::string> bounds;
        std::string size;
        std::string titleFont;
    } cases[] = {
        {{"--bound", "300"}, "", "up to U = 300", {"250", "260", "270", "280", "290", "300"}, "0 0 1000 640", "9"},
        {{"--bound", "260"},
         "--width 2000 --height 1280",
         "up to U = 260",
         {"255", "256", "257", "258", "259", "260"},
         "0 0 2000 1280",
         "18"},
        {{"--bound", "255"}, "", "up to U = 255", {"253", "254", "255", "256", "257"}, "0 0 1000 640", "9"},
        {{"--bound", "300", "--slice", "2/3"},
         "--height 400",
         "up to U = 300, slice 2 of 3",
         {},
         "0 0 1000 400",
         "5.625"},
    };
    for (const Case& c : cases) {
        int status = -1;
        EXPECT_EQ(Plot(Census("csv", c.run), svg, status, c.options), "") << c.title;
        const std::string drawn = ReadFile(svg);
        const std::vector<std::string> words = Words(drawn);
        ASSERT_GT(words.size(), 3u) << c.title;
        EXPECT_EQ(words[0], "Cubes and classes with largest value at most U, " + c.title);
        if (!c.bounds.empty()) {
            const auto bounds = words.begin() + 3;
            EXPECT_EQ(std::vector(bounds, bounds + static_cast<long>(c.bounds.size())), c.bounds) << c.title;
        }
        std::vector<std::string> powers;
        for (const std::string& w : words)
            if (w.starts_with("10") && w.size() > 2 && !std::isdigit(static_cast<unsigned char>(w[2])))
                powers.push_back(w);
        EXPECT_EQ(powers.front(), "10\u2070") << c.title;
        EXPECT_EQ(powers.size(), c.run[1] == "300" ? 4u : 3u) << c.title; // up to 10^3 or 10^2
        EXPECT_NE(drawn.find("viewBox=\"" + c.size + "\""), std::string::npos) << c.title;
        EXPECT_NE(drawn.find("font-size=\"" + c.titleFont + "\" font-weight=\"400\" font-style=\"normal\" \n >Cubes"),
                  std::string::npos)
            << c.title;
    }
    // A PNG has the size asked for; a size out of range is refused.
    const std::string png = Path("sized.png");
    int status = -1;
    EXPECT_EQ(Plot(Census("text"), png, status, "--width 1200 --height 300"), "");
    const std::string header = ReadFile(png).substr(16, 8); // IHDR: width, height
    EXPECT_EQ(header, std::string("\0\0\x04\xb0\0\0\x01\x2c", 8));
    for (const char* size : {"--width 199", "--height 3001", "--width wide"}) {
        const std::string said = Plot(Census("text"), Path("refused.png"), status, size);
        EXPECT_EQ(status, 2) << size << ": " << said;
        EXPECT_FALSE(std::filesystem::exists(Path("refused.png"))) << size;
    }
}

// A census of far more bounds than the picture has pixel columns is drawn
// with a few points per column, up to its last count.
TEST_F(PlotProgram, DrawsADenseCensusWithAFewPointsPerPixelColumn)
{
    const std::string svg = Path("dense.svg");
    int status = -1;
    EXPECT_EQ(Plot(Write("dense.csv", DenseCensus(150000)), svg, status), "");
    EXPECT_EQ(status, 0);
    // Qt draws a line series as one polyline per segment: two series of at
    // most three points per column of the 1000 pixels, beside a few grid lines.
    const std::string drawn = ReadFile(svg);
    std::size_t lines = 0;
    for (std::size_t at = drawn.find("<polyline"); at != std::string::npos; at = drawn.find("<polyline", at + 1))
        ++lines;
    EXPECT_GT(lines, 2000u); // both curves rise in every column
    EXPECT_LE(lines, 2u * 3u * 1000u + 100u);
    const std::vector<std::string> words = Words(drawn);
    // About 7,200,000 cubes in all: the counts' axis ends at 10^7.
    EXPECT_NE(std::find(words.begin(), words.end(), "10\u2077"), words.end());
    EXPECT_EQ(std::find(words.begin(), words.end(), "10\u2078"), words.end());
}

TEST_F(PlotProgram, RefusesWhatIsNoWholeCensusAndLeavesNoPicture)
{
    const std::string census = ReadFile(Census("text"));
    const std::string listing = RunTool({"--bound", "300", "--quiet"}).out;
    const std::string cutShort = census.substr(0, census.rfind('\n', census.size() - 2) + 1);
    const std::string ok = Write("ok", census);
    struct Case {
        const char* name;
        std::string in;
        std::string out;
        const char* says;
    } cases[] = {
        {"a listing", Write("listing", listing), Path("listing.svg"), "census"},
        {"empty", Write("empty", ""), Path("empty.svg"), ""},
        {"cut short", Write("cut", cutShort), Path("cut.svg"), "cut short"},
        {"missing input", Path("missing"), Path("missing.svg"), "cannot open"},
        {"unknown extension", ok, Path("picture.jpg"), ".svg or .png"},
        {"no extension", ok, Path("picture"), ".svg or .png"},
        {"unwritable", ok, Path("no-such-folder") + "/census.svg", "cannot write"},
    };
    for (const Case& c : cases) {
        int status = -1;
        const std::string said = Plot(c.in, c.out, status);
        EXPECT_EQ(status, 2) << c.name << ": " << said;
        ASSERT_EQ(Lines(said).size(), 1u) << c.name << ": " << said;
        EXPECT_TRUE(said.starts_with("pandicube-plot: ")) << c.name << ": " << said;
        EXPECT_NE(said.find(c.says), std::string::npos) << c.name << ": " << said;
        EXPECT_FALSE(std::filesystem::exists(c.out)) << c.name;
    }
    // A picture that is there stays as it was.
    const std::string kept = Write("kept.svg", "an earlier picture");
    int status = -1;
    Plot(cases[0].in, kept, status);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(ReadFile(kept), "an earlier picture");
}

// The picture never replaces its census, by the same name or through a
// link, and is never written through a link at OUT: exit 2, nothing changed.
TEST_F(PlotProgram, NeverWritesItsInputOrThroughALink)
{
    const std::string census = ReadFile(Census("text"));
    const std::string png = Write("census.png", census);
    const std::string input = Write("input.csv", census);
    const std::string link = Path("link.png");
    std::filesystem::create_symlink(input, link);
    const std::string dangling = Path("dangling.svg");
    const std::string target = Path("target.svg");
    std::filesystem::create_symlink(target, dangling);
    const struct {
        std::string in;
        std::string out;
        std::string says;
    } cases[] = {
        {png, png, png + " is the census " + png},
        {link, link, link + " is the census " + link},
        {input, link, link + " is the census " + input},
        {input, dangling, dangling + " is a symbolic link"},
    };
    for (const auto& c : cases) {
        int status = -1;
        const std::string said = Plot(c.in, c.out, status);
        EXPECT_EQ(status, 2) << c.says;
        EXPECT_EQ(said.find("pandicube-plot: " + c.says), 0u) << said;
    }
    EXPECT_EQ(ReadFile(png), census);
    EXPECT_EQ(ReadFile(input), census);
    EXPECT_TRUE(std::filesystem::is_symlink(link) && std::filesystem::is_symlink(dangling));
    EXPECT_FALSE(std::filesystem::exists(target));
}

// The picture takes its name only once it is on the disk (flushed before the
// rename, its folder after); a write that fails (here: past the file size
// limit) names its cause and leaves no picture, whole or part, behind.
TEST_F(PlotProgram, APictureIsOnDiskBeforeItsNameAndAFailedWriteLeavesNothing)
{
    const std::string census = Census("csv");
    const std::string durable = Path("durable.svg");
    if (test::OnPath("strace")) {
        EXPECT_TRUE(test::SyncsAroundRename(
            "env -u DISPLAY '" PANDICUBE_PLOT_EXE "' '" + census + "' '" + durable + "'", durable));
    }
    for (const std::string name : {"limited.svg", "limited.png"}) {
        const std::string out = Path(name);
        int status = -1;
        const std::string said = CommandOutput("trap '' XFSZ; ulimit -f 1; env -u DISPLAY '" PANDICUBE_PLOT_EXE "' '" +
                                                   census + "' '" + out + "' 2>&1",
                                               &status);
        EXPECT_EQ(status, 2) << name;
        EXPECT_EQ(said, "pandicube-plot: cannot write " + out + ": File too large\n");
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(out).parent_path()))
            EXPECT_FALSE(entry.path().string().starts_with(out)) << entry.path();
    }
}

} // namespace
} // namespace pandicube
