#include "tests/cli/cli_test_support.h"

#include <gtest/gtest.h>

namespace pandicube {
namespace {

std::string Join(const Cells& cells, int count, const char* separator)
{
    std::string text;
    for (int k = 1; k <= count; ++k)
        text += (k > 1 ? separator : "") + std::to_string(cells[static_cast<std::size_t>(k)]);
    return text;
}

std::string JsonCube(const Cells& cells)
{
    return R"({"solution": 1, "cells": [)" + Join(cells, 125, ",") + "]}\n";
}

// A JSON line with its first entry replaced by `value`.
std::string WithFirstEntry(std::string line, const std::string& value)
{
    const auto from = line.find('[') + 1;
    return line.replace(from, line.find(',', from) - from, value);
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(Verify, AcceptsEveryFormatTheSearchWrites)
{
    for (const std::vector<std::string>& format : {std::vector<std::string>{},
                                                   {"--cube"},
                                                   {"--json"},
                                                   {"--json", "--cube"},
                                                   {"--format", "csv"},
                                                   {"--format", "csv", "--cube"},
                                                   {"--reduce", "--cube"},
                                                   {"--reduce", "--format", "csv"}}) {
        std::vector<std::string> run = format;
        run.insert(run.end(), {"--bound", "280"});
        const std::string output = RunTool(run).out;
        const auto result = RunTool({"verify", "-", "--bound", "280"}, output);
        EXPECT_EQ(result.status, 0) << result.err;
        const std::string expected = format.size() > 0 && format[0] == "--reduce"
                                         ? "3 cubes checked, 3 valid, 0 invalid\n"
                                         : "144 cubes checked, 144 valid, 0 invalid\n";
        EXPECT_EQ(result.out, expected);
        EXPECT_TRUE(result.err.empty());
    }
    EXPECT_EQ(RunTool({"verify", "-"}, RunTool({"--count-only"}).out).out, "0 cubes checked, 0 valid, 0 invalid\n");
}

TEST(Verify, NamesTheRuleAndLinesOfEachFailingCube)
{
    const Cells example = CellsFromEntries(kWorkedExample);
    struct Case {
        std::string name;
        Cells cells;
        std::vector<std::string> expected;
        std::vector<std::string> absent;
    };
    std::vector<Case> cases;
    Cells changed = example;
    changed[7] = 1158; // plane 1, row 2, column 2, a value found nowhere else
    cases.push_back({"one cell changed",
                     changed,
                     {"magic lines: row (plane 1, row 2) sums to 1315 (cells 6 7 8 9 10)",
                      "central symmetry: cells 7 and 119 hold 1158 and -32, which add up to 1126, not 126"},
                     {"distinct values"}});
    Cells swapped = example;
    std::swap(swapped[1], swapped[25]); // 13 and 1 at two corners of plane 1
    cases.push_back({"two cells swapped",
                     swapped,
                     {"magic lines: row (plane 1, row 1) sums to 303",
                      "magic lines: column (plane 1, column 5) sums to 327", "central symmetry: cells 1 and 125"},
                     {"distinct values", "diagonal (plane 1, row = column)"}});
    Cells asymmetric = example;
    std::swap(asymmetric[1], asymmetric[125]); // a cell and its partner: every pair still adds up to 126
    asymmetric[63] = 62;
    cases.push_back({"symmetry broken", asymmetric, {"central symmetry: the centre cell 63 holds 62, not 63"}, {}});
    Cells repeated = example;
    repeated[2] = 13;
    cases.push_back({"value repeated", repeated, {"distinct values: value 13 appears in cells 1, 2"}, {}});

    for (const Case& c : cases) {
        const auto result = RunTool({"verify", "--partial", "-"}, JsonCube(example) + JsonCube(c.cells));
        EXPECT_EQ(result.status, 1) << c.name;
        EXPECT_TRUE(Contains(result.out, "solution 1 (line 2): invalid\n")) << c.name;
        for (const std::string& part : c.expected)
            EXPECT_TRUE(Contains(result.out, "  " + part)) << c.name << "\n" << result.out;
        for (const std::string& part : c.absent) EXPECT_FALSE(Contains(result.out, part)) << c.name;
        EXPECT_EQ(Lines(result.out).back(), "2 cubes checked, 1 valid, 1 invalid") << c.name;
    }

    const auto bound = RunTool({"verify", "--partial", "-", "--bound", "278"}, JsonCube(example));
    EXPECT_EQ(bound.status, 1);
    EXPECT_EQ(bound.out, "solution 1 (line 1): invalid\n"
                         "  bound: cell 62 holds -153, outside -152 to 278\n"
                         "  bound: cell 64 holds 279, outside -152 to 278\n"
                         "1 cube checked, 0 valid, 1 invalid\n");
    EXPECT_EQ(RunTool({"verify", "--partial", "-", "--bound", "279"}, JsonCube(example)).status, 0);
    EXPECT_EQ(RunTool({"verify", "-", "--bound", "0"}, JsonCube(example)).err,
              Usage("verify --bound must be a whole number from 1 to 8323513, not '0'"));
}

TEST(Verify, ChecksEntriesOnTheirOwnLine)
{
    std::string line = "solution 7: " + Join(CellsFromEntries(kWorkedExample), 62, " ");
    line.replace(line.find(" 56 "), 4, " 57 ");
    const auto result = RunTool({"verify", "--partial", "-"}, line + "\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(Contains(result.out, "solution 7 (line 1): invalid\n  magic lines: row (plane 1, row 1) sums to 316"));
    EXPECT_FALSE(Contains(result.out, "central symmetry")); // the complement rule builds cells 64 to 125
}

TEST(Verify, ReportsMalformedInputWithItsLineAndNeverAsValid)
{
    const std::string good = RunTool({"--json", "--bound", "270"}).out; // a few solutions
    const std::string entries = Join(CellsFromEntries(kWorkedExample), 62, " ");
    const std::string text = RunTool({"--start", "109,-33,-143,192", "--cube"}).out;
    const std::string csv = RunTool({"--format", "csv", "--bound", "270"}).out;
    struct Case {
        std::string name;
        std::string input;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"bad number", "solution 1: " + entries.substr(0, entries.size() - 4) + "-15x\n",
         "line 1: entry e62 is not a whole number in the 32-bit range"},
        {"too few entries", "solution 1: " + entries.substr(0, entries.rfind(' ')) + "\n",
         "line 1: expected 62 entries after \"solution 1:\", found 61"},
        {"truncated JSON line", Lines(good)[1].substr(0, 100) + "\n", "line 1: not valid JSON"},
        {"wrong count of cells",
         R"({"solution": 1, "cells": [1, 2, 3]})"
         "\n",
         "\"cells\" holds 3 values, not 125"},
        {"huge value", WithFirstEntry(Lines(good)[1], "99999999999") + "\n",
         "line 1: \"entries\" value 1 is not a 32-bit integer"},
        {"value just past 32 bits", WithFirstEntry(Lines(good)[1], "-2147483649") + "\n",
         "line 1: \"entries\" value 1 is not a 32-bit integer"},
        {"fraction", WithFirstEntry(Lines(good)[1], "13.5") + "\n",
         "line 1: \"entries\" value 1 is not a 32-bit integer"},
        {"huge value in text", "solution 1: 99999999999 " + entries.substr(entries.find(' ') + 1) + "\n",
         "line 1: entry e1 is not a whole number in the 32-bit range"},
        {"truncated CSV row", csv.substr(0, csv.find("\n1,") + 60) + "\n", "line 3: expected 63 fields, found"},
        {"truncated cube", text.substr(0, text.find("plane 4:")),
         "line 2: the cube of solution 1 ends before its five planes"},
        {"binary garbage",
         std::string("\x7f"
                     "ELF\0\x01\x02\xff\xfe",
                     10) +
             "\n{\x01}",
         "line 1: not the start of any output"},
        {"empty input", "", "the input holds no output of pandicube-search"},
        {"solution number past 64 bits", "solution 9223372036854775808: " + entries + "\n",
         "line 1: \"solution\" is not followed by a solution number"},
        {"JSON solution number past 64 bits",
         R"({"solution": 9223372036854775808, "entries": [1]})"
         "\n",
         "line 1: \"solution\" is not a positive 64-bit integer"},
        {"count past 64 bits", "computation terminated\n18446744073709551617 solutions were found.\n",
         "line 1: \"computation terminated\" is not followed by the count sentence"},
    };
    for (const Case& c : cases) {
        const auto result = RunTool({"verify", "-"}, c.input);
        EXPECT_EQ(result.status, 2) << c.name;
        EXPECT_TRUE(Contains(result.err, c.message)) << c.name << "\n" << result.err;
        EXPECT_FALSE(Contains(result.out, " 1 valid")) << c.name << "\n" << result.out;
    }
    // A closing count that disagrees with the cubes before it.
    const auto count =
        RunTool({"verify", "-"}, "solution 1: " + entries + "\ncomputation terminated\n2 solutions were found.\n");
    EXPECT_EQ(count.status, 2);
    EXPECT_TRUE(Contains(count.err, "line 2: the closing report counts 2 solutions, but 1 come before it"));
    // Good cubes around a broken line are still checked.
    const auto mixed = RunTool({"verify", "-"}, Lines(good)[1] + "\n{\"solution\": 2}\n" + Lines(good)[2] + "\n");
    EXPECT_EQ(mixed.status, 2);
    EXPECT_EQ(mixed.out, "2 cubes checked, 2 valid, 0 invalid\n");
    EXPECT_TRUE(Contains(mixed.err, "line 2: the object has neither \"entries\" nor \"cells\""));
}

TEST(Verify, RefusesAFileItCannotOpen)
{
    const auto result = RunTool({"verify", "/nonexistent/cubes.txt"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "pandicube-search: verify: cannot open /nonexistent/cubes.txt: No such file or directory\n");
}

// The text with the first occurrence of `from` replaced by `to`.

// A whole output proves itself: truncated, killed, miscounted, reordered,
// foreign or doubled outputs are refused with their line; --partial accepts
// an unfinished one and says how far it is sound.
TEST(Verify, JudgesTheWholeFileNotOnlyItsCubes)
{
    const std::string json = RunTool({"--json", "--bound", "270"}).out;
    const std::string reduce = RunTool({"--reduce", "--bound", "280"}).out;
    const std::vector<std::string> lines = Lines(json);
    const std::string solution2 = lines[2] + "\n";
    const std::string stopped = RunTool({"--bound", "300", "--threads", "1"}, "", false, StopAfter(30)).out;
    struct Case {
        std::string name;
        std::string input;
        int status;
        std::string message; // on standard error, or with status 0 on standard output
        std::vector<std::string> args = {};
    };
    const std::vector<Case> cases = {
        {"complete", json, 0, "24 cubes checked, 24 valid, 0 invalid"},
        {"cut at a line end", json.substr(0, json.rfind("{\"solutions\"")), 2,
         "line 1: the output that starts here "
         "has no completion record"},
        {"cut inside a number", json.substr(0, json.rfind("]")), 2, "line 25: the line is cut short"},
        {"cut, accepted as partial",
         json.substr(0, json.rfind("]")),
         0,
         "output at line 1 is incomplete; its 23 solutions are sound",
         {"--partial"}},
        {"count changed", test::Replaced(json, "\"solutions\": 24", "\"solutions\": 25"), 2,
         "line 26: the completion record counts 25 solutions, but 24 come before it"},
        {"checksum changed", test::Replaced(json, "\"xxh3Checksum\": \"", "\"xxh3Checksum\": \"0"), 2,
         "line 26: \"xxh3Checksum\" is not 16"},
        {"solution doubled", test::Replaced(json, solution2, solution2 + solution2), 2,
         "line 4: solution 2 stands where solution 3 belongs"},
        {"solutions swapped",
         test::Replaced(json, lines[1] + "\n" + lines[2],
                        test::Replaced(lines[2], ": 2,", ": 1,") + "\n" + test::Replaced(lines[1], ": 1,", ": 2,")),
         2, "line 3: solution 2 is out of the order of the search"},
        {"key given twice", test::Replaced(json, "\"entries\": [", "\"entries\": [], \"entries\": ["), 2,
         "line 2: the key \"entries\" is given twice"},
        {"output given twice", json + json, 0, "48 cubes checked, 48 valid, 0 invalid"},
        {"formats mixed", json + reduce, 2, "line 27: not valid JSON"},
        {"final bound changed", test::Replaced(reduce, "best upper bound 255, xxh3", "best upper bound 2, xxh3"), 2,
         "line 7: the completion record's best upper bound is not the last solution's"},
        {"bound of a cube changed", test::Replaced(reduce, "| best upper bound: 255", "| best upper bound: 2"), 2,
         "line 4: solution 3 carries the best upper bound 2, but its largest value is 255"},
        {"interrupted", stopped, 2, "the run was interrupted by SIGTERM after"},
        {"interrupted, partial", stopped, 0, "solutions are sound", {"--partial"}},
        {"lowest 32-bit entry", test::Replaced(json, "\"entries\": [29,", "\"entries\": [-2147483648,"), 2,
         "line 2: entry e1 is -2147483648: its complement 126 - e1 leaves the 32-bit range"},
        {"written by an earlier version", Body(RunTool({"--bound", "255"}).out), 2,
         "an output without identity line and completion record"},
        {"endless line", std::string(70000, '\0'), 2, "line 1: the line is longer than 64 KiB"},
        {"endless garbage", std::string(300, '\n'), 2, "line 1: not the start of any output"},
        {"endless broken lines",
         [] {
             std::string broken;
             for (int i = 0; i < 300; ++i) broken += "solution 1: x\n";
             return broken;
         }(),
         2, "too many problems; the rest of the input is not read"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"verify"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back("-");
        const auto result = RunTool(args, c.input);
        EXPECT_EQ(result.status, c.status) << c.name << "\n" << result.err;
        EXPECT_TRUE(Contains(c.status == 0 ? result.out : result.err, c.message)) << c.name << "\n"
                                                                                  << result.out << result.err;
    }
    EXPECT_EQ(RunTool({"verify", "/"}).err, "pandicube-search: verify: / is a directory\n");
}

} // namespace
} // namespace pandicube
