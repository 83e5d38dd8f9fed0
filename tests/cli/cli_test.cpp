#include "cli/cli.h"
#include "search/cells.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/cube_checker.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace pandicube::test {
namespace {

// The entries of a text solution line "solution N: e1 ... e62 [| ...]".
Entries EntriesOfLine(const std::string& line)
{
    std::istringstream in(line.substr(line.find(':') + 1));
    Entries e{};
    for (int k = 1; k <= 62; ++k) in >> e[static_cast<std::size_t>(k)];
    return e;
}

// Reads an integer at `pos`: an optional "-" and at least one digit.
bool ReadInteger(const std::string& line, std::size_t& pos, bool allowSign)
{
    if (allowSign && pos < line.size() && line[pos] == '-') ++pos;
    const std::size_t first = pos;
    while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') ++pos;
    return pos > first;
}

bool ReadText(const std::string& line, std::size_t& pos, std::string_view text)
{
    if (line.compare(pos, text.size(), text) != 0) return false;
    pos += text.size();
    return true;
}

// "solution N: " and 62 numbers separated by single spaces, optionally
// followed by " | best upper bound: B".
bool IsSolutionLine(const std::string& line)
{
    std::size_t pos = 0;
    if (!ReadText(line, pos, "solution ") || line[pos] == '0' || !ReadInteger(line, pos, false)) return false;
    if (!ReadText(line, pos, ":")) return false;
    for (int k = 1; k <= 62; ++k) {
        if (!ReadText(line, pos, " ") || !ReadInteger(line, pos, true)) return false;
    }
    if (pos == line.size()) return true;
    return ReadText(line, pos, " | best upper bound: ") && ReadInteger(line, pos, false) && pos == line.size();
}

TEST(CliText, DefaultStartWithReductionPrintsTwoCubesAndTheCount)
{
    const CliResult result = RunTool({"--start", "203,-75,-30,-58", "--reduce"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    const std::vector<std::string> lines = Lines(Body(result.out));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              "solution 1: -19 52 48 119 115 34 10 96 -58 233 57 123 219 -75 -9 110 -94 -48 238 109 133 224 0 91 -133 "
              "-92 199 -30 131 107 226 152 68 -91 -40 -21 65 271 87 -87 122 -52 84 -95 256 80 -49 -78 283 79 120 186 "
              "-33 -12 54 168 44 -65 66 102 -69 -113 | best upper bound: 283");
    EXPECT_EQ(lines[1].rfind("solution 2: ", 0), 0u);
    EXPECT_TRUE(lines[1].ends_with(" | best upper bound: 255"));
    EXPECT_EQ(lines[2], "computation terminated");
    EXPECT_EQ(lines[3], "2 solutions were found.");
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(IsSolutionLine(lines[i])) << lines[i];
        EXPECT_EQ(CubeFaults(EntriesOfLine(lines[i]), -175, 301), std::vector<std::string>{});
    }
}

TEST(CliText, SolutionLineShapeIsChecked)
{
    std::string line = "solution 3:";
    for (int k = 1; k <= 62; ++k) {
        line += ' ';
        line += std::to_string(k - 31);
    }
    // The line with `from` characters of its head replaced by `head`.
    const auto withHead = [&](std::string head, std::size_t from) { return head.append(line, from); };
    EXPECT_TRUE(IsSolutionLine(line));
    EXPECT_TRUE(IsSolutionLine(std::string(line).append(" | best upper bound: 255")));
    EXPECT_FALSE(IsSolutionLine(std::string(line).append(" 1")));
    EXPECT_FALSE(IsSolutionLine(std::string(line).append(" ")));
    EXPECT_FALSE(IsSolutionLine(std::string(line).append(" | best upper bound: ")));
    EXPECT_FALSE(IsSolutionLine(line.substr(0, line.rfind(' '))));
    EXPECT_FALSE(IsSolutionLine(withHead("solution 3:  ", 12)));
    EXPECT_FALSE(IsSolutionLine(withHead("solution 03:", 11)));
    EXPECT_FALSE(IsSolutionLine(withHead("solution -3:", 11)));
}

TEST(CliText, RunWithoutReductionShowsNoBound)
{
    const CliResult result = RunTool({"--bound", "255", "--start", "25,36,178,9"});
    EXPECT_EQ(result.status, 0);
    const std::vector<std::string> lines = Lines(Body(result.out));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(IsSolutionLine(lines[0])) << lines[0];
    EXPECT_EQ(lines[0].find('|'), std::string::npos);
    const Entries e = EntriesOfLine(lines[0]);
    EXPECT_EQ(e[10], 25);
    EXPECT_EQ(e[14], 36);
    EXPECT_EQ(e[17], 178);
    EXPECT_EQ(e[18], 9);
    EXPECT_EQ(CubeFaults(e, -130, 256), std::vector<std::string>{});
    EXPECT_EQ(lines[1], "computation terminated");
    EXPECT_EQ(lines[2], "exactly one solution was found.");
}

TEST(CliText, RunWithoutCubesPrintsOnlyTheClosingLines)
{
    const CliResult result = RunTool({"--bound", "63"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(Body(result.out), "computation terminated\nno solution was found.\n");
    EXPECT_EQ(result.err, "");
}

TEST(CliJson, EveryLineIsAnObjectAndTheLastCountsThem)
{
    const CliResult result = RunTool({"--bound", "255", "--json"});
    EXPECT_EQ(result.status, 0);
    const std::vector<std::string> lines = Lines(Body(result.out));
    ASSERT_EQ(lines.size(), 25u);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const nlohmann::json object = nlohmann::json::parse(lines[i]);
        EXPECT_EQ(object.size(), 2u) << lines[i];
        EXPECT_EQ(object.at("solution"), i + 1);
        const nlohmann::json& entries = object.at("entries");
        ASSERT_EQ(entries.size(), 62u);
        Entries e{};
        for (int k = 1; k <= 62; ++k) e[static_cast<std::size_t>(k)] = entries.at(static_cast<std::size_t>(k - 1));
        EXPECT_EQ(CubeFaults(e, -130, 256), std::vector<std::string>{}) << "solution " << i + 1;
        EXPECT_FALSE(object.contains("bestBound"));
    }
    EXPECT_EQ(nlohmann::json::parse(lines.back()),
              nlohmann::json::parse(R"({"solutions": 24, "xxh3Checksum": "52e36ab53c19605a", "complete": true})"));
}

TEST(CliJson, ReductionAddsTheBestBound)
{
    const CliResult result = RunTool({"--json", "--reduce", "--start", "203,-75,-30,-58"});
    EXPECT_EQ(result.status, 0);
    const std::vector<std::string> lines = Lines(Body(result.out));
    ASSERT_EQ(lines.size(), 3u);
    const nlohmann::json first = nlohmann::json::parse(lines[0]);
    const nlohmann::json second = nlohmann::json::parse(lines[1]);
    EXPECT_EQ(first.at("solution"), 1);
    EXPECT_EQ(first.at("bestBound"), 283);
    EXPECT_EQ(first.at("entries").at(48), 283); // e49
    EXPECT_EQ(second.at("solution"), 2);
    EXPECT_EQ(second.at("bestBound"), 255);
    EXPECT_EQ(second.at("entries").size(), 62u);
    EXPECT_EQ(nlohmann::json::parse(lines[2]),
              nlohmann::json::parse(
                  R"({"solutions": 2, "bestBound": 255, "xxh3Checksum": "9343e79ec25ccf6d", "complete": true})"));
}

TEST(CliText, CentreValueAsStartE14EndsTheRunWithoutCubes)
{
    // 63 is the centre's value: e14 = 63 is refused and no e14 below 63 is left.
    const CliResult result = RunTool({"--start", "109,63,-143,192"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(Body(result.out), "computation terminated\nno solution was found.\n");
    EXPECT_EQ(result.err, "");
}

TEST(CliRefusal, BadInputExitsWithStatus2AndNamesTheOption)
{
    ExpectRefused({
        {{"--bound", ""}, "pandicube-search: --bound: no input\n"},
        {{"--bound", "3OO"}, "pandicube-search: --bound: no cipher\n"},
        {{"--bound", "0"}, "pandicube-search: --bound: erroneous number\n"},
        {{"--bound", "8323514"}, "pandicube-search: --bound: erroneous number\n"},
        {{"--bound", "2147483648"}, "pandicube-search: --bound: erroneous number\n"},
        {{"--bound", "abc", "--start", "x,y,z,w"}, "pandicube-search: --bound: no cipher\n"},
        {{"--start", "302,-75,-30,-58"}, "pandicube-search: --start (e10): erroneous number\n"},
        {{"--start", "203,--75,-30,-58"}, "pandicube-search: --start (e14): no cipher\n"},
        {{"--start", "203,-75,-30"}, "pandicube-search: --start (e18): no input\n"},
        {{"--start", "203,-75,,-58"}, "pandicube-search: --start (e17): no input\n"},
        {{"--start", "203,-75,-30,-"}, "pandicube-search: --start (e18): no cipher\n"},
        {{"--bound", "61", "--start", "0,0,0,0"}, "pandicube-search: --start (e10): erroneous number\n"},
        {{"--start", "1,2,3,4,5"}, "pandicube-search: --start takes four values E10,E14,E17,E18\n"},
    });
}

// The option parser's refusals come in the README's words, one line each,
// naming the first offending argument as typed.
TEST(CliRefusal, ParserRefusalsAreOneLineInTheReadmesWords)
{
    ExpectRefused({
        {{"--frobnicate"}, "pandicube-search: unknown option --frobnicate\n"},
        {{"300", "400"}, "pandicube-search: unexpected argument 300\n"},
        {{"--bound"}, "pandicube-search: --bound needs a value\n"},
        {{"--reduce=maybe"}, "pandicube-search: --reduce takes no value\n"},
        {{"--json=false"}, "pandicube-search: --json takes no value\n"},
        {{"--json="}, "pandicube-search: --json takes no value\n"},
        {{"verify", "--partial=", "a"}, "pandicube-search: --partial takes no value\n"},
        {{"--bound", "300", "--bound", "301"}, "pandicube-search: --bound is given more than once\n"},
        {{"--cube", "--cube"}, "pandicube-search: --cube is given more than once\n"},
        {{"--format", "xml"}, "pandicube-search: --format takes text, json or csv\n"},
        {{"verify"}, "pandicube-search: FILE is missing\n"},
        {{"verify", "a", "b"}, "pandicube-search: unexpected argument b\n"},
        {{"verify", "--partial=yes", "a"}, "pandicube-search: --partial takes no value\n"},
        {{"merge", "--check", "--check", "a"}, "pandicube-search: --check is given more than once\n"},
        {{"resume", "a", "--reduce"}, "pandicube-search: unknown option --reduce\n"},
    });
}

TEST(CliHelp, ListsTheOptionsAndSucceeds)
{
    const CliResult result = RunTool({"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    for (const char* option : {"--bound", "--reduce", "--start", "--json"}) {
        EXPECT_NE(result.out.find(option), std::string::npos) << option;
    }
}

// Runs the built program through the shell; returns its exit status and what
// it wrote to the stream selected by `redirect`.
CliResult RunProgram(const std::string& args, const std::string& redirect)
{
    const std::string command = std::string(PANDICUBE_SEARCH_BINARY) + " " + args + " " + redirect;
    CliResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST(CliProgram, WritesTheSameAsTheInProcessRun)
{
    const CliResult program = RunProgram("--bound 255 --start 25,36,178,9", "2>/dev/null");
    const CliResult inProcess = RunTool({"--bound", "255", "--start", "25,36,178,9"});
    EXPECT_EQ(program.status, 0);
    EXPECT_EQ(program.out, inProcess.out);
    EXPECT_NE(program.out.find("exactly one solution was found."), std::string::npos);
}

TEST(CliProgram, RefusesOnStandardErrorWithStatus2)
{
    const CliResult stdoutOnly = RunProgram("--bound 0", "2>/dev/null");
    EXPECT_EQ(stdoutOnly.status, 2);
    EXPECT_EQ(stdoutOnly.out, "");
    const CliResult stderrOnly = RunProgram("--bound 0", "2>&1 >/dev/null");
    EXPECT_EQ(stderrOnly.status, 2);
    EXPECT_EQ(stderrOnly.out, "pandicube-search: --bound: erroneous number\n");
}

} // namespace
} // namespace pandicube::test
