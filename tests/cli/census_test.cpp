#include "cli/formats/census_reader.h"
#include "cli/formats/number_text.h"
#include "tests/cli/cli_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <sstream>
#include <tuple>

namespace pandicube {
namespace {

std::variant<CensusOutput, std::string> Read(const std::string& text)
{
    std::istringstream in(text);
    return ReadCensus(in);
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

using Counts = std::map<std::int32_t, std::array<std::int64_t, 2>>; // cubes and classes by bound

// Counts the records of a CSV listing (values after `skip` fields) in
// column `column` of their largest value.
void CountByLargestValue(const std::string& csv, std::size_t skip, std::size_t column, Counts& counts)
{
    const std::vector<std::string> lines = Lines(csv);
    for (std::size_t i = 2; i + 1 < lines.size(); ++i) {
        std::int32_t largest = 0;
        const std::vector<std::string_view> fields = SplitOn(lines[i], ',');
        for (std::size_t k = skip; k < fields.size(); ++k) largest = std::max(largest, *ParseInt32(fields[k]));
        ++counts[largest][column];
    }
}

// --census, and verify, merge and ReadCensus of its outputs.
class CensusCommand : public TempFiles {};

// Each row counts exactly the cubes of the full listing, and the classes of
// the class listing, whose largest value is its bound.
TEST_F(CensusCommand, RowsAreTheListingsGroupedByLargestValue)
{
    Counts listed;
    CountByLargestValue(RunTool({"--bound", "350", "--cube", "--format", "csv"}).out, 1, 0, listed);
    CountByLargestValue(RunTool({"--bound", "350", "--classes", "--format", "csv"}).out, 3, 1, listed);
    Counts census;
    for (const CensusRow& row : CensusOf({"--bound", "350", "--census", "--format", "csv"}))
        census[row.bound] = {row.cubes, row.classes};
    EXPECT_EQ(census, listed);
}

// The last row holds the run's counts in every format and on any threads,
// and the completion record is that of --classes --count-only.
TEST_F(CensusCommand, LastRowHoldsTheRunsCounts)
{
    for (const auto& [bound, cubes, classes] : std::vector<std::tuple<std::string, std::int64_t, std::int64_t>>{
             {"254", 0, 0}, {"255", 24, 1}, {"300", 504, 21}, {"400", 35376, 1474}}) {
        const std::vector<std::string> run = {"--bound", bound, "--census"};
        const std::vector<CensusRow> rows = CensusOf(run);
        EXPECT_EQ(rows.empty() ? 0 : rows.back().cubesUpTo, cubes);
        EXPECT_EQ(rows.empty() ? 0 : rows.back().classesUpTo, classes);
        for (const std::string format : {"json", "csv"}) {
            EXPECT_EQ(CensusOf(With(run, {"--format", format, "--threads", "1"})), rows) << format;
            EXPECT_EQ(RunTool(With(run, {"--format", format, "--threads", "1"})).out,
                      RunTool(With(run, {"--format", format, "--threads", "2"})).out);
        }
        EXPECT_EQ(Lines(RunTool(run).out).back(),
                  Lines(RunTool({"--bound", bound, "--classes", "--count-only"}).out).back());
    }
}

// verify and ReadCensus refuse an edited row, total, order, completion
// record, cut or foreign output alike, naming the line.
TEST_F(CensusCommand, VerifyAndReadCensusRefuseWhatTheProgramNeverWrites)
{
    const std::string text = RunTool({"--bound", "300", "--census"}).out;
    const std::string csv = RunTool({"--bound", "280", "--census", "--format", "csv"}).out;
    const std::string json = RunTool({"--bound", "280", "--census", "--json"}).out;
    ASSERT_EQ(RunTool({"verify", "-"}, text).status, 0);
    const auto sound = RunTool({"verify", "-"}, json);
    ASSERT_EQ(sound.status, 0);
    EXPECT_EQ(sound.out, "4 census rows checked: 144 cubes, 6 classes\n");
    const auto replaced = [](std::string t, const std::string& from, const std::string& to) {
        return t.replace(t.find(from), from.size(), to);
    };
    const struct {
        std::string input;
        std::string error;
    } cases[] = {
        {replaced(text, "287: 48 cubes", "287: 24 cubes"),
         "line 9: the row of bound 287 counts 24 cubes for 2 classes"},
        {replaced(text, "to 296: 456", "to 296: 457"), "line 12: the row of bound 296 counts 457 cubes up to it"},
        {replaced(csv, "271,24,1,48,2", "255,24,1,48,2"), "line 4: the row of bound 255 follows that of bound 255"},
        {replaced(csv, "\n255,24,1,24,1", "\n124,24,1,24,1"),
         "line 3: the row of bound 124 lies below 125, the least largest value of a cube"},
        {replaced(text, "complete: 21", "complete: 20"),
         "the completion record counts 20 classes, but the rows count 21"},
        {replaced(text, "\n# complete", "\n# interrupted by SIGINT"), "line 15: an interrupted run's record follows"},
        {replaced(text, "255: 24 cubes", "255: 24 cube"), "line 2: not a census row"},
        {replaced(json, "\"cubes\": 72", "\"cubes\":72"), "line 4: "},
        {replaced(csv, "\n280,", "\nsolution 1:"), "line 6: "},
        {text.substr(0, text.size() - 10), "line 15: the line is cut short"},
        {text.substr(0, text.find("# complete")), "no completion record"},
    };
    for (const auto& c : cases) {
        const auto verified = RunTool({"verify", "-"}, c.input);
        EXPECT_EQ(verified.status, 2) << c.input;
        EXPECT_NE(verified.err.find(c.error), std::string::npos) << verified.err << "wanted: " << c.error;
        const auto read = Read(c.input);
        ASSERT_TRUE(std::holds_alternative<std::string>(read)) << c.input;
        EXPECT_NE(std::get<std::string>(read).find(c.error), std::string::npos) << std::get<std::string>(read);
    }
    for (const std::string foreign :
         {"", "# pandicube-search 0.2.0 --bound 300 --classes --count-only --format text\n"})
        EXPECT_TRUE(std::holds_alternative<std::string>(Read(foreign)));
}

// The census says "1 class", and reads the "1 classes" of earlier builds,
// which the search again finds to be what the run writes; an interrupted
// census counts the classes it has found.
TEST_F(CensusCommand, CensusCountsOneClassAndInterruptionsInClasses)
{
    const std::string text = RunTool({"--bound", "271", "--census"}).out;
    EXPECT_EQ(Lines(text)[1], "bound 255: 24 cubes, 1 class; up to 255: 24 cubes, 1 class");
    EXPECT_EQ(Lines(text)[2], "bound 271: 24 cubes, 1 class; up to 271: 48 cubes, 2 classes");
    EXPECT_EQ(RunTool({"verify", "-"}, text).status, 0);
    std::string earlier = text;
    for (const std::string one : {"1 class;", "1 class\n"}) {
        for (std::size_t at = earlier.find(one); at != std::string::npos; at = earlier.find(one, at))
            earlier.insert(at += 7, "es");
    }
    EXPECT_EQ(RunTool({"verify", "-"}, earlier).status, 0) << earlier;
    const auto searched = RunTool({"verify", "--search", Write("earlier", earlier)});
    EXPECT_EQ(searched.status, 0) << searched.err;
    const auto stopped = RunTool({"--bound", "300", "--census", "--threads", "1"}, "", false, StopAfter(60));
    ASSERT_EQ(stopped.status, 128 + 15);
    EXPECT_TRUE(stopped.err.find(" after ") != std::string::npos && stopped.err.ends_with(" classes\n")) << stopped.err;
    const auto verified = RunTool({"verify", "-"}, stopped.out);
    EXPECT_NE(verified.err.find(" classes; pandicube-search resume continues it"), std::string::npos) << verified.err;
}

// Rows moved to another bound that still add up pass every check but the
// search again.
TEST_F(CensusCommand, VerifySearchProvesTheCensusRows)
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
TEST_F(CensusCommand, MergeAddsRowsOfLargeBounds)
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

TEST_F(CensusCommand, RefusesOptionsThatMakeNoCensus)
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
        EXPECT_EQ(refused.err, Usage("--census cannot be combined with " + why));
    }
}

} // namespace
} // namespace pandicube
