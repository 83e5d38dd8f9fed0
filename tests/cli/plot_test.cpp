// pandicube-plot as a user runs it, without a display: the census of a run in
// each format becomes an SVG or a PNG picture, and input that is no whole
// census, or a picture it cannot write, gets one line and status 2 and leaves
// no picture behind.
#include "tests/cli/cli_test_support.h"
#include "tests/support/run_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace pandicube {
namespace {

using test::CommandOutput;

class PlotTest : public test::TempFiles {
protected:
    // Runs the program without a display; its standard error (and output).
    std::string Plot(const std::string& in, const std::string& out, int& status)
    {
        return CommandOutput("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" PANDICUBE_PLOT_EXE "' '" + in +
                                 "' '" + out + "' 2>&1",
                             &status);
    }

    std::string Census(const std::string& format)
    {
        const auto run = RunTool({"--bound", "300", "--census", "--quiet", "--format", format});
        EXPECT_EQ(run.status, 0) << run.err;
        return Write("census-" + format, run.out);
    }
};

TEST_F(PlotTest, DrawsTheCensusOfEachFormatAsSvgAndPng)
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
        for (const char* text : {"Census of pandicube-search --bound 300 --census", "classes", "bound U"})
            EXPECT_NE(drawn.find(text), std::string::npos) << format << ": " << text;
        EXPECT_EQ(Plot(census, png, status), "") << format;
        EXPECT_EQ(status, 0) << format;
        EXPECT_TRUE(ReadFile(png).starts_with("\x89PNG\r\n\x1a\n")) << format;
    }
}

TEST_F(PlotTest, RefusesWhatIsNoWholeCensusAndLeavesNoPicture)
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
TEST_F(PlotTest, NeverWritesItsInputOrThroughALink)
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
TEST_F(PlotTest, APictureIsOnDiskBeforeItsNameAndAFailedWriteLeavesNothing)
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
