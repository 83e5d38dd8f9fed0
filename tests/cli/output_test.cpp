#include "cli/commands/search_command.h"
#include "tests/cli/cli_test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <nlohmann/json.hpp>

#include "cli/formats/number_text.h"

namespace pandicube {
namespace {

// The worked example is the first solution from these start values.
const std::vector<std::string> kExampleRun = {"--start", "109,-33,-143,192", "--bound", "300"};

// True when `text` is `count` whole numbers, each after `separator`.
bool IsNumberList(const std::string& text, char separator, std::size_t count)
{
    std::size_t found = 0;
    for (std::size_t at = 0; at < text.size(); ++found) {
        if (text[at] != separator) return false;
        const std::size_t end = std::min(text.find(separator, at + 1), text.size());
        if (!ParseInt32(std::string_view(text).substr(at + 1, end - at - 1))) return false;
        at = end;
    }
    return found == count;
}

TEST(SearchOutput, KeepsTheTextAndJsonLinesOfARun)
{
    const auto text = RunTool({});
    ASSERT_EQ(text.status, 0);
    const auto lines = Lines(Body(text.out));
    ASSERT_EQ(lines.size(), 506u);
    EXPECT_EQ(lines[0].substr(0, 11), "solution 1:");
    EXPECT_TRUE(IsNumberList(lines[0].substr(11), ' ', 62));
    EXPECT_EQ(lines[504], "computation terminated");
    EXPECT_EQ(lines[505], "504 solutions were found.");
    EXPECT_TRUE(text.err.empty());

    const auto reduce = RunTool({"--start", "203,-75,-30,-58", "--reduce", "--json"});
    EXPECT_EQ(Lines(Body(reduce.out)).size(), 3u);
    EXPECT_EQ(nlohmann::json::parse(Lines(Body(reduce.out))[1])["bestBound"], 255);
    EXPECT_EQ(Lines(Body(reduce.out))[2],
              R"({"solutions": 2, "bestBound": 255, "xxh3Checksum": "9343e79ec25ccf6d", "complete": true})");
    EXPECT_EQ(RunTool({"--start", "203,-75,-30,-58", "--reduce", "--format", "json"}).out, reduce.out);
}

TEST(SearchOutput, WritesTheWholeCubeOfTheWorkedExampleCellByCell)
{
    const Cells cells = CellsFromEntries(kWorkedExample);
    const auto text = RunTool(With(kExampleRun, {"--cube"}));
    const auto lines = Lines(Body(text.out));
    ASSERT_GE(lines.size(), 31u);
    EXPECT_EQ(lines[0], "solution 1:");
    EXPECT_EQ(lines[1], "plane 1:");
    EXPECT_EQ(lines[2], "  13   56   54   97   95");
    EXPECT_EQ(lines[16], " -99 -153   63  279  225"); // plane 3, row 3, with the centre
    for (int plane = 1; plane <= 5; ++plane) {
        EXPECT_EQ(lines[static_cast<std::size_t>(6 * plane - 5)], "plane " + std::to_string(plane) + ":");
        for (int row = 1; row <= 5; ++row) {
            std::istringstream in(lines[static_cast<std::size_t>(6 * plane - 5 + row)]);
            for (int column = 1; column <= 5; ++column) {
                int v = 0;
                in >> v;
                EXPECT_EQ(v, cells[static_cast<std::size_t>(25 * (plane - 1) + 5 * (row - 1) + column)])
                    << plane << " " << row << " " << column;
            }
        }
    }
    // Cells 121 to 125 hold 126 - e5, ..., 126 - e1.
    EXPECT_EQ(lines[30], "  31   29   72   70  113");

    const auto json = nlohmann::json::parse(Lines(Body(RunTool(With(kExampleRun, {"--cube", "--json"})).out))[0]);
    ASSERT_EQ(json["cells"].size(), 125u);
    for (int k = 1; k <= 125; ++k)
        EXPECT_EQ(json["cells"][static_cast<std::size_t>(k - 1)], cells[static_cast<std::size_t>(k)]);
    EXPECT_EQ(json["entries"].size(), 62u);
    EXPECT_EQ(json["solution"], 1);
}

TEST(SearchOutput, WritesCsvWithAHeaderAndOneRowPerSolution)
{
    const auto csv = Lines(Body(RunTool({"--format", "csv"}).out));
    ASSERT_EQ(csv.size(), 505u);
    EXPECT_EQ(csv[0].substr(0, 21), "solution,e1,e2,e3,e4,");
    EXPECT_EQ(csv[0].substr(csv[0].size() - 8), ",e61,e62");
    EXPECT_EQ(csv[504].substr(0, 3), "504");
    EXPECT_TRUE(IsNumberList(csv[504].substr(3), ',', 62));

    const auto cube = Lines(Body(RunTool(With(kExampleRun, {"--format", "csv", "--cube", "--reduce"})).out));
    EXPECT_EQ(cube[0].substr(cube[0].size() - 20), ",c124,c125,bestBound");
    EXPECT_EQ(cube[1].substr(0, 12), "1,13,56,54,9");
    EXPECT_EQ(cube[1].substr(cube[1].size() - 8), ",113,279"); // c125 and the best upper bound
}

TEST(SearchOutput, CountOnlyWritesTheClosingReportAlone)
{
    EXPECT_EQ(Body(RunTool({"--count-only"}).out), "computation terminated\n504 solutions were found.\n");
    const std::string json = RunTool({"--json", "--bound", "255"}).out;
    EXPECT_EQ(Body(RunTool({"--count-only", "--json", "--bound", "255"}).out),
              json.substr(json.rfind("{\"solutions\"")));
    EXPECT_EQ(Body(RunTool({"--count-only", "--format", "csv", "--bound", "200"}).out), "solutions\n0\n");
    EXPECT_EQ(Body(RunTool({"--count-only", "--bound", "200"}).out),
              "computation terminated\nno solution was found.\n");
}

TEST(SearchOutput, BothEnginePathsWriteTheSameBytes)
{
    for (OutputFormat format : {OutputFormat::Text, OutputFormat::Json}) {
        SearchOptions options;
        options.format = format;
        options.cube = format == OutputFormat::Json;
        std::ostringstream sequential;
        std::ostringstream units;
        std::ostringstream threaded;
        std::ostringstream err;
        options.path = EnginePath::Sequential;
        ASSERT_EQ(RunSearchCommand(options, {false, nullptr, 1, false, {}, {}}, sequential, err), 0);
        options.path = EnginePath::Units;
        ASSERT_EQ(RunSearchCommand(options, {false, nullptr, 1, false, {}, {}}, units, err), 0);
        options.threads = "2";
        ASSERT_EQ(RunSearchCommand(options, {false, nullptr, 1, false, {}, {}}, threaded, err), 0);
        EXPECT_EQ(Lines(sequential.str()).size(), format == OutputFormat::Text ? 508u : 506u);
        EXPECT_EQ(sequential.str(), units.str());
        EXPECT_EQ(sequential.str(), threaded.str());
    }
}

// Each output mode has a reporter of its own, whose work on a part of a unit
// the search keeps with the part for reuse: one mode after another in one
// process (as the window and merge's --search do) writes what it writes
// after any other.
TEST(RunReporter, EachModeWritesTheSameAfterAnyOther)
{
    const std::vector<std::vector<std::string>> modes = {
        {}, {"--count-only"}, {"--classes"}, {"--classes", "--count-only"}, {"--census"}};
    for (const std::string threads : {"1", "2"}) {
        std::vector<std::string> forward;
        for (const auto& mode : modes)
            forward.push_back(RunTool(With(mode, {"--bound", "350", "--threads", threads})).out);
        for (std::size_t i = modes.size(); i-- > 0;) {
            EXPECT_EQ(RunTool(With(modes[i], {"--bound", "350", "--threads", threads})).out, forward[i])
                << i << " on " << threads << " threads";
        }
        EXPECT_EQ(Lines(forward[0]).size(), 5668u); // 5664 solutions, the head and the closing report
        EXPECT_NE(forward[4], forward[3]);
    }
}

// A stream buffer that takes `room` bytes and then fails as a full disk does.
class FullDisk : public std::streambuf {
public:
    explicit FullDisk(std::size_t room) : room_(room) {}
    std::size_t taken = 0;

protected:
    std::streamsize xsputn(const char*, std::streamsize n) override
    {
        if (taken + static_cast<std::size_t>(n) > room_) {
            errno = ENOSPC;
            return 0;
        }
        taken += static_cast<std::size_t>(n);
        return n;
    }
    int_type overflow(int_type c) override { return xsputn(nullptr, 1) == 1 ? c : traits_type::eof(); }

private:
    std::size_t room_;
};

// A write that fails stops the command at once with the system's reason and
// status 3, whether the head, a solution or a report cannot be written.
TEST(SearchOutput, WriteFailuresStopTheRunAtOnce)
{
    const std::string whole = RunTool({"--bound", "280"}).out;
    struct Case {
        std::vector<const char*> args;
        std::size_t room;
    };
    for (const Case& c : std::vector<Case>{{{"pandicube-search", "--bound", "280"}, 0},
                                           {{"pandicube-search", "--bound", "280"}, 5000},
                                           {{"pandicube-search", "--bound", "280", "--count-only"}, 70},
                                           {{"pandicube-search", "merge", "-"}, 5000},
                                           {{"pandicube-search", "verify", "-"}, 0},
                                           {{"pandicube-search", "--help"}, 0},
                                           {{"pandicube-search", "--version"}, 0},
                                           {{"pandicube-search", "merge", "--help"}, 0}}) {
        FullDisk disk(c.room);
        std::ostream out(&disk);
        std::ostringstream err;
        std::istringstream in(whole);
        const CliEnvironment env{false, &in, 1, false, {}, {}};
        EXPECT_EQ(RunCli(static_cast<int>(c.args.size()), c.args.data(), out, err, env), 3) << c.args[1] << c.room;
        EXPECT_NE(err.str().find("No space left on device"), std::string::npos) << err.str();
        EXPECT_LE(disk.taken, c.room);
    }
}

TEST(SearchOptions, AreRefusedNamingTheOption)
{
    const std::string slice =
        "--slice takes K/N, part K of N parts, with N a whole number from 1 to 1000000 and K from 1 to N, not ";
    ExpectRefused({
        {{"--bound", "30x"}, Usage("--bound must be a whole number from 1 to 8323513, not '30x'")},
        {{"--start", "1,2,3"}, Usage("--start takes four values E10,E14,E17,E18, not '1,2,3'")},
        {{"--threads", "0"}, Usage("--threads must be a whole number from 1 to 1024, not '0'")},
        {{"--threads", "two"}, Usage("--threads must be a whole number from 1 to 1024, not 'two'")},
        {{"--slice", "3"}, Usage(slice + "'3'")},
        {{"--slice", "4/3"}, Usage(slice + "'4/3'")},
        {{"--slice", "1/0"}, Usage(slice + "'1/0'")},
        {{"--slice", "1/-"}, Usage(slice + "'1/-'")},
        {{"--slice", "1/3", "--reduce"},
         Usage("--slice cannot be combined with --reduce: the bound walk is sequential")},
        {{"--slice", "1/3", "--start", "203,-75,-30,-58"},
         Usage("--slice cannot be combined with --start: slices cover the whole run")},
        {{"--json", "--format", "json"}, Usage("--json is short for --format json; give only one of them")},
        {{"verify", "x", "--json"}, ""},
        {{"--bound", "300", "verify", "x"}, Usage("--bound is an option of the search, not of verify")},
    });
    EXPECT_EQ(RunTool({"--format", "xml"}).status, 2);
    EXPECT_EQ(RunTool({"--format", "csv", "--json"}).status, 2);
    EXPECT_EQ(RunTool({"merge"}).status, 2);
}

TEST(SearchOptions, HelpListsEveryCommandAndOption)
{
    const auto help = RunTool({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* word : {"--bound", "--reduce", "--start", "--format", "--json", "--cube", "--count-only",
                             "--quiet", "--threads", "--slice", "verify", "merge"}) {
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    }
    const auto verifyHelp = RunTool({"verify", "--help"});
    EXPECT_EQ(verifyHelp.status, 0);
    EXPECT_NE(verifyHelp.out.find("FILE"), std::string::npos);
}

} // namespace
} // namespace pandicube
