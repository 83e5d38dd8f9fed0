#include "cli/formats/census_record.h"
#include "cli/formats/text_record.h"
#include "tests/cli/cli_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

namespace pandicube {
namespace {

using test::Lines;
using test::ReplacedNumber;
using test::RunTool;
using test::TempFiles;
using test::With;

// The census at U = 280 in the three formats, as the program writes it.
const std::vector<CensusRow> kRows280 = {
    {255, 24, 1, 24, 1}, {271, 24, 1, 48, 2}, {279, 72, 3, 120, 5}, {280, 24, 1, 144, 6}};
const std::map<std::string, std::string> kCensus280 = {
    {"text", "# pandicube-search 0.2.0 --bound 280 --census --format text\n"
             "bound 255: 24 cubes, 1 classes; up to 255: 24 cubes, 1 classes\n"
             "bound 271: 24 cubes, 1 classes; up to 271: 48 cubes, 2 classes\n"
             "bound 279: 72 cubes, 3 classes; up to 279: 120 cubes, 5 classes\n"
             "bound 280: 24 cubes, 1 classes; up to 280: 144 cubes, 6 classes\n"
             "# complete: 6 classes, xxh3 checksum 298eb57aecea06db\n"},
    {"json", "{\"program\": \"pandicube-search\", \"version\": \"0.2.0\", \"run\": \"--bound 280 --census --format "
             "json\"}\n"
             "{\"bound\": 255, \"cubes\": 24, \"classes\": 1, \"cubesUpTo\": 24, \"classesUpTo\": 1}\n"
             "{\"bound\": 271, \"cubes\": 24, \"classes\": 1, \"cubesUpTo\": 48, \"classesUpTo\": 2}\n"
             "{\"bound\": 279, \"cubes\": 72, \"classes\": 3, \"cubesUpTo\": 120, \"classesUpTo\": 5}\n"
             "{\"bound\": 280, \"cubes\": 24, \"classes\": 1, \"cubesUpTo\": 144, \"classesUpTo\": 6}\n"
             "{\"classes\": 6, \"xxh3Checksum\": \"298eb57aecea06db\", \"complete\": true}\n"},
    {"csv", "# pandicube-search 0.2.0 --bound 280 --census --format csv\n"
            "bound,cubes,classes,cubesUpTo,classesUpTo\n"
            "255,24,1,24,1\n271,24,1,48,2\n279,72,3,120,5\n280,24,1,144,6\n"
            "# complete: 6 classes, xxh3 checksum 298eb57aecea06db\n"},
};

std::variant<CensusOutput, std::string> Read(const std::string& text)
{
    std::istringstream in(text);
    return ReadCensus(in);
}

TEST(CensusReader, ReadsEveryFormat)
{
    for (const auto& [format, text] : kCensus280) {
        const auto read = Read(text);
        ASSERT_TRUE(std::holds_alternative<CensusOutput>(read)) << format << ": " << std::get<std::string>(read);
        const CensusOutput& census = std::get<CensusOutput>(read);
        EXPECT_EQ(census.rows, kRows280) << format;
        EXPECT_EQ(census.identity.bound, 280);
        EXPECT_STREQ(FormatName(census.identity.format), format.c_str());
        EXPECT_EQ(census.completion.solutions, 6);
        EXPECT_EQ(ChecksumText(census.completion.checksum), "298eb57aecea06db");
    }
}

// Edited, reordered, cut or foreign outputs are refused with the line.
TEST(CensusReader, RefusesWhatTheProgramNeverWrites)
{
    const std::string& text = kCensus280.at("text");
    const std::string& csv = kCensus280.at("csv");
    const auto replaced = [](std::string t, const std::string& from, const std::string& to) {
        return t.replace(t.find(from), from.size(), to);
    };
    const struct {
        std::string input;
        std::string error;
    } cases[] = {
        {ReplacedNumber(csv, "72", "48"), "line 5: the row of bound 279 counts 48 cubes for 3 classes"},
        {ReplacedNumber(csv, "120", "121"), "line 5: the row of bound 279 counts 121 cubes up to it"},
        {replaced(text, "complete: 6", "complete: 7"), "line 6: the completion record counts 7 classes, but"},
        {replaced(csv, "271,24,1,48,2", "255,24,1,48,2"), "line 4: the row of bound 255 follows that of bound 255"},
        {replaced(text, "--census", "--censuses"), "line 1: not the identity line"},
        {text.substr(0, text.size() - 10), "line 6: the line is cut short"},
        {text.substr(0, text.find("# complete")), "no completion record"},
        {replaced(text, "6 classes\n# complete", "6 class\n# complete"), "line 5: not a census row"},
        {replaced(kCensus280.at("json"), "\"cubes\": 72", "\"cubes\":72"), "line 4: not a census row"},
        {replaced(text, "\n# complete", "\n# interrupted by SIGINT"), "line 6: an interrupted run's record follows"},
        {"# pandicube-search 0.2.0 --bound 300 --classes --count-only --format text\n", "not the output of a --census"},
        {"", "holds no output"},
    };
    for (const auto& c : cases) {
        const auto read = Read(c.input);
        ASSERT_TRUE(std::holds_alternative<std::string>(read)) << c.input;
        EXPECT_NE(std::get<std::string>(read).find(c.error), std::string::npos)
            << std::get<std::string>(read) << "\nwanted: " << c.error;
    }
}

// The rows of a census run, read back (and checked) by ReadCensus.
std::vector<CensusRow> CensusOf(const std::vector<std::string>& args)
{
    const test::CliResult run = RunTool(args);
    EXPECT_EQ(run.status, 0) << run.err;
    const auto read = Read(run.out);
    EXPECT_TRUE(std::holds_alternative<CensusOutput>(read)) << std::get<std::string>(read);
    return std::holds_alternative<CensusOutput>(read) ? std::get<CensusOutput>(read).rows : std::vector<CensusRow>{};
}

// Records of a CSV listing (after `skip` leading fields) counted by their largest value.
std::map<std::int32_t, std::int64_t> CountByLargestValue(const std::string& csv, std::size_t skip)
{
    std::map<std::int32_t, std::int64_t> counts;
    const std::vector<std::string> lines = Lines(csv);
    for (std::size_t i = 2; i + 1 < lines.size(); ++i) {
        std::int32_t largest = 0;
        const std::vector<std::string_view> fields = SplitOn(lines[i], ',');
        for (std::size_t k = skip; k < fields.size(); ++k) largest = std::max(largest, *ParseInt32(fields[k]));
        ++counts[largest];
    }
    return counts;
}

// Each row counts exactly the cubes of the full listing, and the classes of
// the class listing, whose largest value is its bound.
TEST(CensusCommand, RowsAreTheListingsGroupedByLargestValue)
{
    const auto cubes = CountByLargestValue(RunTool({"--bound", "350", "--cube", "--format", "csv"}).out, 1);
    const auto classes = CountByLargestValue(RunTool({"--bound", "350", "--classes", "--format", "csv"}).out, 3);
    const std::vector<CensusRow> rows = CensusOf({"--bound", "350", "--census", "--format", "csv"});
    ASSERT_EQ(rows.size(), cubes.size());
    ASSERT_EQ(rows.size(), classes.size());
    auto cube = cubes.begin();
    auto cls = classes.begin();
    for (const CensusRow& row : rows) {
        EXPECT_EQ(row.bound, cube->first);
        EXPECT_EQ(row.cubes, (cube++)->second) << row.bound;
        EXPECT_EQ(row.bound, cls->first);
        EXPECT_EQ(row.classes, (cls++)->second) << row.bound;
    }
}

struct TotalsCase {
    std::string bound;
    std::int64_t cubes;
    std::int64_t classes;
};

class CensusTotals : public ::testing::TestWithParam<TotalsCase> {};

// The last row holds the run's counts in every format and on any threads,
// and the completion record is that of --classes --count-only.
TEST_P(CensusTotals, LastRowHoldsTheRunsCounts)
{
    const TotalsCase& c = GetParam();
    const std::vector<std::string> run = {"--bound", c.bound, "--census"};
    const std::vector<CensusRow> rows = CensusOf(run);
    EXPECT_EQ(rows.empty() ? 0 : rows.back().cubesUpTo, c.cubes);
    EXPECT_EQ(rows.empty() ? 0 : rows.back().classesUpTo, c.classes);
    for (const std::string format : {"json", "csv"}) {
        EXPECT_EQ(CensusOf(With(run, {"--format", format, "--threads", "1"})), rows) << format;
        EXPECT_EQ(RunTool(With(run, {"--format", format, "--threads", "1"})).out,
                  RunTool(With(run, {"--format", format, "--threads", "2"})).out);
    }
    EXPECT_EQ(Lines(RunTool(run).out).back(),
              Lines(RunTool({"--bound", c.bound, "--classes", "--count-only"}).out).back());
}

INSTANTIATE_TEST_SUITE_P(Bounds, CensusTotals,
                         ::testing::Values(TotalsCase{"254", 0, 0}, TotalsCase{"255", 24, 1},
                                           TotalsCase{"300", 504, 21}, TotalsCase{"400", 35376, 1474}));

// verify takes a census whole and refuses an edited row, total, order or
// completion record; --search proves the rows.
TEST(CensusCommand, VerifyRefusesEditedCensus)
{
    const std::string text = RunTool({"--bound", "300", "--census"}).out;
    ASSERT_EQ(RunTool({"verify", "-"}, text).status, 0);
    const auto replaced = [](std::string t, const std::string& from, const std::string& to) {
        return t.replace(t.find(from), from.size(), to);
    };
    const struct {
        std::string from;
        std::string to;
        std::string error;
    } cases[] = {
        {"287: 48 cubes", "287: 24 cubes", "line 9: the row of bound 287 counts 24 cubes for 2 classes"},
        {"up to 296: 456", "up to 296: 457", "line 12: the row of bound 296 counts 457 cubes up to it"},
        {"bound 284: 24 cubes, 1 classes; up to 284", "bound 283: 24 cubes, 1 classes; up to 283",
         "line 7: the row of bound 283 follows that of bound 283"},
        {"# complete: 21", "# complete: 20", "the completion record counts 20 classes, but the rows count 21"},
        {"bound 255: 24 cubes", "bound 255: 24 cube", "line 2: not a census row"},
    };
    for (const auto& c : cases) {
        const auto verified = RunTool({"verify", "-"}, replaced(text, c.from, c.to));
        EXPECT_EQ(verified.status, 2) << c.to;
        EXPECT_NE(verified.err.find(c.error), std::string::npos) << verified.err;
    }
}

// Rows moved to another bound that still add up pass every check but the
// search again.
TEST_F(TempFiles, VerifySearchProvesTheCensusRows)
{
    const std::string text = RunTool({"--bound", "300", "--census"}).out;
    const std::string path = Write("census", text);
    EXPECT_EQ(RunTool({"verify", "--search", path}).status, 0);
    const std::string moved = Write("moved", ReplacedNumber(text, "299", "300"));
    EXPECT_EQ(RunTool({"verify", moved}).status, 0);
    const auto searched = RunTool({"verify", "--search", moved});
    EXPECT_EQ(searched.status, 2);
    EXPECT_NE(searched.err.find("line 14 is not what the run writes there"), std::string::npos) << searched.err;
}

// Slices merge bound by bound also above the bounds counted in an array:
// the census at 280 with its bounds 279 and 280 moved to 69999 and 70000.
TEST(CensusCommand, MergeAddsRowsOfLargeBounds)
{
    const auto moved = [](const std::vector<std::string>& run) {
        return ReplacedNumber(ReplacedNumber(RunTool(run).out, "280", "70000"), "279", "69999");
    };
    const std::vector<std::string> run = {"--bound", "280", "--census", "--format", "csv"};
    const auto merged =
        RunTool({"merge", "-"}, moved(With(run, {"--slice", "2/2"})) + moved(With(run, {"--slice", "1/2"})));
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(merged.out, moved(run));
}

TEST(CensusCommand, RefusesOptionsThatMakeNoCensus)
{
    for (const auto& [option, why] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--reduce"}, "--reduce: the census counts the whole run"},
             {{"--start", "203,-75,-30,-58"}, "--start: the census counts the whole run"},
             {{"--classes"}, "--classes: the census counts the classes already"},
             {{"--count-only"}, "--count-only: the census is a count already"},
             {{"--cube"}, "--cube: the census writes no cubes"}}) {
        const auto refused = RunTool(With(option, {"--census"}));
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(refused.err, "pandicube-search: --census cannot be combined with " + why + "\n");
    }
}

} // namespace
} // namespace pandicube
