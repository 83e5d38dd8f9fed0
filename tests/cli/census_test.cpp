#include "cli/formats/census_record.h"
#include "tests/cli/cli_test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace pandicube {
namespace {

using test::ReplacedNumber;

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

} // namespace
} // namespace pandicube
