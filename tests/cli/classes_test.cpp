#include "cli/commands/class_spool.h"
#include "cli/formats/checksum.h"
#include "cli/formats/csv_format.h"
#include "cli/formats/number_text.h"
#include "cli/formats/output_reader.h"
#include "search/cube/cube_symmetry.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/search_runs.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <xxhash.h>

#include <array>
#include <cstdint>
#include <map>
#include <random>
#include <tuple>

namespace pandicube {
namespace {

// The records of a --classes output, read from its CSV.
struct ClassRow {
    std::int32_t number = 0;
    std::int32_t solution = 0;
    std::int32_t size = 0;
    Cells cells{};
};

std::vector<ClassRow> ClassRows(const std::string& csv)
{
    std::vector<ClassRow> rows;
    const std::vector<std::string> lines = Lines(csv);
    EXPECT_GE(lines.size(), 3u);
    for (std::size_t i = 2; i + 1 < lines.size(); ++i) {
        const std::vector<std::string_view> fields = SplitOn(lines[i], ',');
        EXPECT_EQ(fields.size(), 3u + kCellCount) << lines[i];
        if (fields.size() != 3u + kCellCount) return rows;
        ClassRow row;
        row.number = ParseInt32(fields[0]).value_or(0);
        row.solution = ParseInt32(fields[1]).value_or(0);
        row.size = ParseInt32(fields[2]).value_or(0);
        for (std::size_t k = 1; k <= kCellCount; ++k) row.cells[k] = ParseInt32(fields[k + 2]).value_or(0);
        rows.push_back(row);
    }
    return rows;
}

// The cubes of a plain run, by solution number, from its CSV of cells.
std::map<std::int32_t, Cells> RunCubes(const std::string& bound)
{
    const test::CliResult run = RunTool({"--bound", bound, "--cube", "--format", "csv"});
    EXPECT_EQ(run.status, 0) << run.err;
    std::map<std::int32_t, Cells> cubes;
    const std::vector<std::string> lines = Lines(run.out);
    for (std::size_t i = 2; i + 1 < lines.size(); ++i) {
        const std::vector<std::string_view> fields = SplitOn(lines[i], ',');
        Cells& cells = cubes[ParseInt32(fields[0]).value_or(0)];
        for (std::size_t k = 1; k <= kCellCount && k < fields.size(); ++k) cells[k] = ParseInt32(fields[k]).value_or(0);
    }
    return cubes;
}

// The checksum of a count of classes, worked out from the plain run: the sum
// of XXH3-64 over the free entries e14, e18, e10 and e17 (4 bytes each,
// little-endian) of each class's first member in the run.
std::string OpenersChecksum(const std::map<std::int32_t, Cells>& cubes)
{
    std::uint64_t sum = 0;
    for (const auto& [number, cells] : cubes) {
        if (!OpensClassInRun(cells)) continue;
        const std::array<std::int32_t, 4> free = {cells[14], cells[18], cells[10], cells[17]};
        sum += XXH3_64bits(free.data(), sizeof free);
    }
    return ChecksumText(sum);
}

struct ClassCase {
    std::string bound;
    std::int32_t classes;
    std::int32_t solutions;
};

class ClassListing : public ::testing::TestWithParam<ClassCase> {};

// Each class record holds the standard form of the run's solution it names,
// the classes are numbered in run order, the sizes add up to the run, and
// every format and thread count tells the same.
TEST_P(ClassListing, ClassesAreTheStandardFormsOfTheirFirstSolutions)
{
    const ClassCase& c = GetParam();
    const test::CliResult csv = RunTool({"--bound", c.bound, "--classes", "--format", "csv", "--threads", "2"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(Lines(csv.out).at(1), CsvClassHeader());
    const std::vector<ClassRow> rows = ClassRows(csv.out);
    ASSERT_EQ(static_cast<std::int32_t>(rows.size()), c.classes);
    const std::map<std::int32_t, Cells> cubes = RunCubes(c.bound);
    ASSERT_EQ(static_cast<std::int32_t>(cubes.size()), c.solutions);
    std::int32_t members = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].number, static_cast<std::int32_t>(i + 1));
        if (i > 0) {
            EXPECT_LT(rows[i - 1].solution, rows[i].solution);
        }
        EXPECT_EQ(rows[i].size, 24);
        members += rows[i].size;
        ASSERT_TRUE(cubes.contains(rows[i].solution));
        EXPECT_EQ(rows[i].cells, StandardForm(cubes.at(rows[i].solution))) << "class " << rows[i].number;
    }
    EXPECT_EQ(rows.front().solution, 1);
    EXPECT_EQ(members, c.solutions);
    EXPECT_TRUE(Lines(csv.out).back().starts_with("# complete: " + std::to_string(c.classes) +
                                                  (c.classes == 1 ? " class, " : " classes, ")));

    // Text and JSON carry the same records; one thread the same bytes.
    EXPECT_EQ(RunTool({"--bound", c.bound, "--classes", "--format", "csv", "--threads", "1"}).out, csv.out);
    const test::CliResult text = RunTool({"--bound", c.bound, "--classes"});
    const test::CliResult json = RunTool({"--bound", c.bound, "--classes", "--json"});
    const std::vector<std::string> textLines = Lines(text.out);
    const std::vector<std::string> jsonLines = Lines(json.out);
    ASSERT_EQ(textLines.size(), rows.size() + 2);
    ASSERT_EQ(jsonLines.size(), rows.size() + 2);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::string expected =
            "class " + std::to_string(rows[i].number) + ": solution " + std::to_string(rows[i].solution) + ", size 24:";
        for (std::size_t k = 1; k <= kCellCount; ++k) expected += ' ' + std::to_string(rows[i].cells[k]);
        EXPECT_EQ(textLines[i + 1], expected);
        const auto record = nlohmann::json::parse(jsonLines[i + 1]);
        EXPECT_EQ(record.at("class"), rows[i].number);
        EXPECT_EQ(record.at("solution"), rows[i].solution);
        EXPECT_EQ(record.at("size"), 24);
        EXPECT_EQ(record.at("cells").get<std::vector<std::int32_t>>(),
                  std::vector<std::int32_t>(rows[i].cells.begin() + 1, rows[i].cells.end()));
        EXPECT_EQ(record.at("entries").size(), static_cast<std::size_t>(kEntryCount));
    }
    EXPECT_EQ(nlohmann::json::parse(jsonLines.back()).at("classes"), c.classes);
    // The checksum is the same, whatever the format, and so is the count. A
    // count of the classes counts the same classes by their first members.
    const std::string completion = textLines.back();
    EXPECT_EQ(Lines(csv.out).back(), completion);
    const test::CliResult count = RunTool({"--bound", c.bound, "--classes", "--count-only"});
    EXPECT_EQ(Lines(count.out).back(), "# complete: " + std::to_string(c.classes) +
                                           (c.classes == 1 ? " class" : " classes") + ", xxh3 checksum " +
                                           OpenersChecksum(cubes));
    EXPECT_EQ(Lines(count.out).size(), 2u);

    // verify reads every kind of --classes output as whole and sound.
    const test::CliResult cube = RunTool({"--bound", c.bound, "--classes", "--cube"});
    const test::CliResult countCsv = RunTool({"--bound", c.bound, "--classes", "--count-only", "--format", "csv"});
    for (const std::string* output : {&text.out, &json.out, &csv.out, &count.out, &cube.out, &countCsv.out}) {
        const test::CliResult verified = RunTool({"verify", "-"}, *output);
        EXPECT_EQ(verified.status, 0) << verified.err << *output;
    }
}

INSTANTIATE_TEST_SUITE_P(Bounds, ClassListing, ::testing::Values(ClassCase{"255", 1, 24}, ClassCase{"300", 21, 504}));

TEST(ClassesRefusal, TheBoundWalkAndStartValuesAreRefused)
{
    for (const auto& [option, value] :
         std::vector<std::pair<std::string, std::string>>{{"--reduce", ""}, {"--start", "109,-33,-143,192"}}) {
        std::vector<std::string> args = {"--bound", "300", "--classes", option};
        if (!value.empty()) args.push_back(value);
        const test::CliResult r = RunTool(args);
        EXPECT_EQ(r.status, 2) << option;
        EXPECT_TRUE(r.out.empty()) << option;
        EXPECT_TRUE(r.err.starts_with("pandicube-search: --classes cannot be combined with " + option + ": ")) << r.err;
        EXPECT_EQ(Lines(r.err), (std::vector<std::string>{Lines(r.err).front(), "Try 'pandicube-search --help'."}));
    }
}

class ClassesOutput : public test::TempFiles {};

// The classes of the slices, merged, are the whole run's, byte for byte: the
// same numbers, first solutions and checksum, in every format.
TEST_F(ClassesOutput, MergedSlicesAreTheWholeRun)
{
    for (const std::string format : {"text", "json", "csv"}) {
        const std::vector<std::string> run = {"--bound", "300", "--classes", "--format", format};
        std::vector<std::string> merge = {"merge"};
        for (const std::string slice : {"1/3", "2/3", "3/3"}) {
            std::vector<std::string> args = run;
            args.insert(args.end(), {"--slice", slice});
            const test::CliResult part = RunTool(args);
            ASSERT_EQ(part.status, 0) << part.err;
            EXPECT_EQ(RunTool({"verify", "-"}, part.out).status, 0) << format << ' ' << slice;
            merge.push_back(Write(format + slice.substr(0, 1), part.out));
        }
        const test::CliResult merged = RunTool(merge);
        EXPECT_EQ(merged.status, 0) << merged.err;
        EXPECT_EQ(merged.out, RunTool(run).out) << format;
    }
}

// A count of classes (which numbers nothing) counts the classes of the
// listing, on any threads and slices, each by its first member, and its
// slices merge into the whole run's count.
TEST_F(ClassesOutput, CountOfClassesCountsTheClassesOfTheListing)
{
    const std::string openers = OpenersChecksum(RunCubes("400"));
    for (const std::string format : {"text", "csv"}) {
        std::vector<std::string> merge = {"merge"};
        std::string whole;
        for (const auto& [slice, threads] :
             std::vector<std::pair<std::string, std::string>>{{"", "2"}, {"1/3", "1"}, {"2/3", "2"}, {"3/3", "1"}}) {
            std::vector<std::string> run = {"--bound", "400", "--classes", "--format", format, "--threads", threads};
            if (!slice.empty()) run.insert(run.end(), {"--slice", slice});
            const std::string listing = RunTool(run).out;
            run.push_back("--count-only");
            const test::CliResult count = RunTool(run);
            ASSERT_EQ(count.status, 0) << count.err;
            const std::string counted = Lines(count.out).back();
            const std::string listed = Lines(listing).back();
            EXPECT_EQ(counted.substr(0, counted.find(',')), listed.substr(0, listed.find(','))) << format << slice;
            if (slice.empty()) {
                whole = count.out;
                EXPECT_TRUE(counted.ends_with(", xxh3 checksum " + openers)) << counted;
            } else {
                merge.push_back(Write(format + slice.substr(0, 1), count.out));
            }
        }
        const test::CliResult merged = RunTool(merge);
        EXPECT_EQ(merged.status, 0) << merged.err;
        EXPECT_EQ(merged.out, whole) << format;
    }
}

// merge takes each slice's classes in the order of their first members and
// refuses a class that two slices claim, or a slice out of that order, even
// with sound records, counts and checksums.
TEST_F(ClassesOutput, MergeRefusesClassesClaimedTwiceOrOutOfOrder)
{
    const auto slice = [](const std::string& k) {
        return RunTool({"--bound", "300", "--classes", "--format", "csv", "--slice", k + "/3"}).out;
    };
    const std::string first = slice("1");
    std::vector<std::string> swapped = Lines(first);
    ASSERT_GE(swapped.size(), 6u); // identity, header, two classes at least, completion
    const auto cellsOf = [](const std::string& row) { return row.substr(row.find(',', row.find(',', 2) + 1)); };
    const std::string second = cellsOf(swapped[3]);
    swapped[3] = swapped[3].substr(0, swapped[3].size() - second.size()) + cellsOf(swapped[2]);
    swapped[2] = swapped[2].substr(0, swapped[2].size() - cellsOf(swapped[2]).size()) + second;
    std::string outOfOrder;
    for (const std::string& line : swapped) outOfOrder += line + '\n';
    std::string claimedTwice = first;
    claimedTwice.replace(claimedTwice.find("--slice 1/3"), 11, "--slice 2/3");
    for (const auto& [name, one, two] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"out of order", outOfOrder, slice("2")}, {"claimed twice", first, claimedTwice}}) {
        const test::CliResult merged = RunTool({"merge", Write("a", one), Write("b", two), Write("c", slice("3"))});
        EXPECT_EQ(merged.status, 2) << name << ": " << merged.err;
        EXPECT_TRUE(merged.out.empty()) << name;
    }
}

// A listing in any order grouped within any memory budget (with runs on
// temporary files down to a few cubes each): the classes of the standard
// forms, in the order of their first cubes, each with its cubes in the order
// of the listing.
TEST(ClassSpool, GroupsAListingAlikeWithinAnyBudget)
{
    const test::RecordedRun run = test::RecordRun(RunSetup(300));
    std::vector<Cells> cubes;
    for (const test::Report& r : run.reporter.solutions) cubes.push_back(CellsFromEntries(r.entries));
    std::shuffle(cubes.begin(), cubes.end(), std::mt19937(25));
    std::map<Cells, std::size_t> classOf; // by standard form
    std::vector<std::vector<std::int64_t>> expected;
    for (std::size_t i = 0; i < cubes.size(); ++i) {
        const auto [at, fresh] = classOf.try_emplace(StandardForm(cubes[i]), expected.size());
        if (fresh) expected.emplace_back();
        expected[at->second].push_back(static_cast<std::int64_t>(i) + 1);
    }
    ASSERT_EQ(expected.size(), 21u);
    for (const std::size_t budget : {std::size_t{1} << 30, std::size_t{4096}, std::size_t{200}}) {
        ClassSpool spool(budget);
        for (std::size_t i = 0; i < cubes.size(); ++i)
            ASSERT_TRUE(spool.Add(cubes[i], static_cast<std::int64_t>(i) + 1));
        std::vector<std::vector<std::int64_t>> grouped;
        ASSERT_TRUE(spool.ForEachClass([&](const ClassSpool::Class& c) {
            EXPECT_EQ(c.firstSolution, c.members.front());
            EXPECT_EQ(c.sizeInRun, 24);
            grouped.push_back(c.members);
        })) << spool.Failure();
        EXPECT_EQ(grouped, expected) << budget;
    }
}

// verify --classes groups a full listing into its classes, and flags the
// listing when a member of a class is missing.
TEST_F(ClassesOutput, FullListingIsGroupedAndAMissingMemberIsFlagged)
{
    const std::string listing = RunTool({"--bound", "300"}).out;
    const test::CliResult whole = RunTool({"verify", "--classes", Write("whole", listing)});
    EXPECT_EQ(whole.status, 0) << whole.err;
    EXPECT_NE(whole.out.find("21 classes among 504 cubes\n"), std::string::npos) << whole.out;
    EXPECT_NE(whole.out.find("\nclass 21: 24 cubes: solutions "), std::string::npos);

    // Without solution 2, whose class is the first one's or another's.
    std::string cut = listing;
    const auto from = cut.find("\nsolution 2:");
    cut.erase(from, cut.find('\n', from + 1) - from);
    const test::CliResult flagged = RunTool({"verify", "--classes", Write("cut", cut)});
    EXPECT_EQ(flagged.status, 2);
    EXPECT_NE(flagged.err.find(") lacks 1 of its 24 members"), std::string::npos) << flagged.err;
    EXPECT_NE(flagged.out.find("21 classes among 503 cubes\n"), std::string::npos) << flagged.out;
}

// verify judges class records: their standard form and size; resume
// refuses a --classes output.
TEST_F(ClassesOutput, ClassRecordsAreJudgedAndOnlyWholeListingsResumed)
{
    const std::string csv = RunTool({"--bound", "255", "--classes", "--format", "csv"}).out;
    const std::string row = Lines(csv).at(2);
    const std::vector<std::string_view> fields = SplitOn(row, ',');
    // The row with its size, or with its first two cells, changed.
    std::string resized = "1,1,23" + row.substr(row.find(',', row.find(',', 2) + 1));
    std::string swapped = "1,1,24," + std::string(fields[4]) + ',' + std::string(fields[3]) +
                          row.substr(row.find(std::string(",") + std::string(fields[5]) + ','));
    for (const auto& [changed, message] : std::vector<std::pair<std::string, std::string>>{
             {resized, "class 1 has the size 23, not 24"}, {swapped, "class 1 is not given in its standard form"}}) {
        std::string text = csv;
        text.replace(text.find(row), row.size(), changed);
        const test::CliResult r = RunTool({"verify", "-"}, text);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
    // A whole listing of classes is complete; one cut short is run again.
    const std::string path = Write("classes", csv);
    const test::CliResult whole = RunTool({"resume", path});
    EXPECT_EQ(whole.status, 0);
    EXPECT_NE(whole.err.find("is complete; nothing to do"), std::string::npos) << whole.err;
    const std::string cut = Write("cut-classes", csv.substr(0, csv.rfind('\n', csv.size() - 2) + 1));
    const test::CliResult resumed = RunTool({"resume", cut});
    EXPECT_EQ(resumed.status, 2);
    EXPECT_NE(resumed.err.find("is a --classes output, which resume cannot continue"), std::string::npos);
    EXPECT_EQ(ReadFile(path), csv);
}

} // namespace
} // namespace pandicube
