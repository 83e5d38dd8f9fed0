#include "cli/cli.h"
#include "search/cells.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/cube_checker.h"
#include "tests/support/run_command.h"

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

// A refusal says what is allowed and what was given.
TEST(CliRefusal, BadInputExitsWithStatus2AndSaysWhatIsAllowed)
{
    const std::string bound = "--bound must be a whole number from 1 to 8323513, not ";
    const std::string e10 = "e10 of --start must be a whole number from -175 to 301, not ";
    ExpectRefused({
        {{"--bound", ""}, Usage(bound + "''")},
        {{"--bound", "3OO"}, Usage(bound + "'3OO'")},
        {{"--bound", "0"}, Usage(bound + "'0'")},
        {{"--bound", "-5"}, Usage(bound + "'-5'")},
        {{"--bound", "8323514"}, Usage(bound + "'8323514'")},
        {{"--bound", "2147483648"}, Usage(bound + "'2147483648'")},
        {{"--bound", "abc", "--start", "x,y,z,w"}, Usage(bound + "'abc'")},
        {{"--start", "302,-75,-30,-58"}, Usage(e10 + "'302'")},
        {{"--start", "203,--75,-30,-58"}, Usage("e14 of --start must be a whole number from -175 to 301, not '--75'")},
        {{"--start", "203,-75,-30"}, Usage("--start takes four values E10,E14,E17,E18, not '203,-75,-30'")},
        {{"--start", "203,-75,,-58"}, Usage("e17 of --start must be a whole number from -175 to 301, not ''")},
        {{"--start", "203,-75,-30,-"}, Usage("e18 of --start must be a whole number from -175 to 301, not '-'")},
        {{"--bound", "61", "--start", "0,0,0,0"}, Usage("--start takes no values at a bound below 63, not '0,0,0,0'")},
        {{"--start", "1,2,3,4,5"}, Usage("--start takes four values E10,E14,E17,E18, not '1,2,3,4,5'")},
    });
}

// The parser's refusals come in its own words, one line each, naming the
// first offending argument as typed and the name meant for a typo; "--" ends
// the options.
TEST(CliRefusal, ParserRefusalsNameTheArgumentAndTheNearestName)
{
    const std::string unexpected = "The following argument was not expected: ";
    ExpectRefused({
        {{"--frobnicate"}, Usage(unexpected + "--frobnicate")},
        {{"--boundd", "300"}, Usage(unexpected + "--boundd; did you mean '--bound'?")},
        {{"--qiet"}, Usage(unexpected + "--qiet; did you mean '--quiet'?")},
        {{"verifyy", "a"}, Usage(unexpected + "verifyy; did you mean 'verify'?")},
        {{"verify", "--parital", "a"}, Usage(unexpected + "--parital; did you mean '--partial'?")},
        {{"300", "400"}, Usage(unexpected + "300")},
        {{"--", "--bound", "300"}, Usage(unexpected + "--bound")},
        {{"--bound"}, Usage("--bound: 1 required U missing")},
        {{"--reduce=maybe"}, Usage("--reduce takes no value, not 'maybe'")},
        {{"--json=false"}, Usage("--json takes no value, not 'false'")},
        {{"--json="}, Usage("--json takes no value, not ''")},
        {{"verify", "--partial=", "a"}, Usage("--partial takes no value, not ''")},
        {{"--bound", "300", "--bound", "301"}, Usage("--bound: At Most 1 required but received 2")},
        {{"--cube", "--cube"}, Usage("--cube: At Most 1 required but received 2")},
        {{"--format", "xml"}, Usage("--format: xml not in {text,json,csv}")},
        {{"verify"}, Usage("FILE is required")},
        {{"verify", "a", "b"}, Usage(unexpected + "b")},
        {{"merge", "--check", "--check", "a"}, Usage("--check: At Most 1 required but received 2")},
        {{"resume", "a", "--reduce"}, Usage(unexpected + "--reduce")},
    });
    // After "--" an argument that begins with a dash is a file.
    EXPECT_EQ(RunTool({"verify", "--", "-no-such-file"}).err,
              "pandicube-search: verify: cannot open -no-such-file: No such file or directory\n");
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
    EXPECT_EQ(stderrOnly.out, Usage("--bound must be a whole number from 1 to 8323513, not '0'"));
}

// The three programs share one style: a usage error is one line that names
// the program, then the pointer to its help, with status 2, with or without a
// display; extra arguments are refused; and the help fits 80 columns.
TEST(ThreePrograms, ShareOneStyleOfUsageErrorsAndHelp)
{
    struct Case {
        std::string name;
        std::string path;
        std::string args;
        std::string says;
    };
    std::vector<Case> cases = {
        {"pandicube-search", PANDICUBE_SEARCH_BINARY, "--frob", "The following argument was not expected: --frob"},
        {"pandicube-search", PANDICUBE_SEARCH_BINARY, "resumee x",
         "The following argument was not expected: resumee; did you mean 'resume'?"},
    };
#ifdef PANDICUBE_PLOT_EXE
    const std::string unexpected = "The following argument was not expected: ";
    cases.insert(cases.end(), {
                                  {"pandicube-plot", PANDICUBE_PLOT_EXE, "--frob in out.svg", unexpected + "--frob"},
                                  {"pandicube-plot", PANDICUBE_PLOT_EXE, "in out.svg extra", unexpected + "extra"},
                                  {"pandicube-plot", PANDICUBE_PLOT_EXE, "in", "OUT is required"},
                                  {"pandicube-plot", PANDICUBE_PLOT_EXE, "--verison",
                                   unexpected + "--verison; did you mean '--version'?"},
                                  {"pandicube", PANDICUBE_EXE, "--frob", "unknown option '--frob'"},
                                  {"pandicube", PANDICUBE_EXE, "extra-arg", "unexpected argument 'extra-arg'"},
                                  {"pandicube", PANDICUBE_EXE, "-- x", "unexpected argument 'x'"},
                                  {"pandicube", PANDICUBE_EXE, "-display", "option '-display' needs a value"},
                              });
#endif
    for (const Case& c : cases) {
        int status = -1;
        const std::string err = CommandOutput("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" + c.path + "' " +
                                                  c.args + " 2>&1 >/dev/null",
                                              &status);
        EXPECT_EQ(status, 2) << c.name << ' ' << c.args;
        EXPECT_EQ(err, c.name + ": " + c.says + "\nTry '" + c.name + " --help'.\n") << c.args;
    }
    std::vector<std::string> helps = {"", "verify", "merge", "resume"};
    for (std::string& help : helps) help = std::string(PANDICUBE_SEARCH_BINARY) + ' ' + help;
#ifdef PANDICUBE_PLOT_EXE
    helps.insert(helps.end(), {PANDICUBE_PLOT_EXE, std::string("QT_QPA_PLATFORM=offscreen ") + PANDICUBE_EXE});
#endif
    for (const std::string& help : helps) {
        int status = -1;
        const std::string text = CommandOutput("env " + help + " --help", &status);
        EXPECT_EQ(status, 0) << help;
        EXPECT_GT(Lines(text).size(), 5U) << help;
        for (const std::string& line : Lines(text)) EXPECT_LT(line.size(), 80U) << help << ": " << line;
    }
}

} // namespace
} // namespace pandicube::test
