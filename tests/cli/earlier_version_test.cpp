#include "cli/formats/run_identity.h"
#include "tests/cli/cli_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pandicube {
namespace {

// Outputs that version 0.1.0 wrote at U = 256, whose checksums are sums of
// FNV-1a hashes: they stay readable, mergeable and resumable.
const std::string kData = PANDICUBE_TEST_DATA "/0.1.0/";
const std::vector<std::string> kOutputs = {"bound256.txt", "bound256.jsonl", "bound256-cube.csv"};

// The outputs of version 0.1.0, read and continued with their own checksums.
class EarlierVersionOutputs : public TempFiles {};

TEST_F(EarlierVersionOutputs, OutputsOfVersion010AreVerifiedMergedAndResumedWithTheirChecksums)
{
    for (const std::string& name : kOutputs) {
        const std::string whole = ReadFile(kData + name);
        ASSERT_NE(whole.find("0.1.0"), std::string::npos) << name;
        const auto verified = RunTool({"verify", "--bound", "256", kData + name});
        EXPECT_EQ(verified.status, 0) << name << "\n" << verified.out << verified.err;
        // Killed anywhere and resumed on 1 or 2 threads, it goes on as
        // version 0.1.0 would: its version and checksum, byte for byte.
        for (const char* threads : {"1", "2"}) {
            const std::string path = Write(name + "-cut-" + threads, whole.substr(0, whole.size() / 2));
            const auto resumed = RunTool({"resume", path, "--threads", threads});
            EXPECT_EQ(resumed.status, 0) << name << "\n" << resumed.err;
            EXPECT_EQ(ReadFile(path), whole) << name << " on " << threads << " threads";
        }
    }
    const auto merged = RunTool({"merge", kData + "bound256-slice1of2.txt", kData + "bound256-slice2of2.txt"});
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(merged.out, ReadFile(kData + "bound256.txt"));
}

// Counts of classes that version 0.2.0 wrote at U = 300 (a census, its two
// slices, a count of classes), whose checksums sum the hashes of the classes'
// standard forms, where later versions sum those of their first members:
// they stay readable, mergeable and resumable with their own sums.
const std::string kData020 = PANDICUBE_TEST_DATA "/0.2.0/";

TEST_F(EarlierVersionOutputs, CountsOfClassesOfVersion020KeepTheirSumsOfStandardForms)
{
    for (const std::string name : {"census300.txt", "census300.csv", "classes300-count.txt"}) {
        const std::string whole = ReadFile(kData020 + name);
        const std::vector<std::string> lines = Lines(whole);
        ASSERT_TRUE(lines.front().starts_with("# pandicube-search 0.2.0 ")) << name;
        const auto verified = RunTool({"verify", kData020 + name});
        EXPECT_EQ(verified.status, 0) << name << "\n" << verified.out << verified.err;
        // A census stopped by a signal (which writes no census rows) and
        // resumed runs again as version 0.2.0 would: its version and its
        // checksum. (A count of classes is not resumed: it is run again.)
        if (!name.starts_with("census")) continue;
        std::string stopped = lines[0] + '\n';
        if (name.ends_with(".csv")) stopped += lines[1] + '\n';
        stopped += "# interrupted by SIGINT: 7 classes, xxh3 checksum 0123456789abcdef\n";
        const std::string path = Write(name + "-stopped", stopped);
        const auto resumed = RunTool({"resume", path});
        EXPECT_EQ(resumed.status, 0) << name << "\n" << resumed.err;
        EXPECT_EQ(ReadFile(path), whole) << name;
    }
    const auto merged = RunTool({"merge", kData020 + "census300-slice1of2.txt", kData020 + "census300-slice2of2.txt"});
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(merged.out, ReadFile(kData020 + "census300.txt"));

    // This version finds the same rows, under another sum.
    std::vector<std::string> now = Lines(RunTool({"--bound", "300", "--census"}).out);
    std::vector<std::string> then = Lines(ReadFile(kData020 + "census300.txt"));
    ASSERT_EQ(now.size(), then.size());
    EXPECT_NE(now.back(), then.back());
    EXPECT_EQ(now.back().substr(0, now.back().find(',')), then.back().substr(0, then.back().find(',')));
    EXPECT_EQ(std::vector(now.begin() + 1, now.end() - 1), std::vector(then.begin() + 1, then.end() - 1));
}

// Each version's outputs carry the checksum of its own hash, under its name.
TEST_F(EarlierVersionOutputs, AChecksumOfTheOtherVersionsHashIsAFault)
{
    const std::string current = RunTool({"--bound", "256"}).out;
    const std::string earlier = ReadFile(kData + "bound256.txt");
    const struct {
        const char* what;
        std::string output;
        const char* message;
    } cases[] = {
        {"earlier output, current name", test::Replaced(earlier, ", checksum ", ", xxh3 checksum "),
         "names an XXH3 checksum, but the outputs of version 0.1.0 carry FNV-1a sums"},
        {"current output, earlier name", test::Replaced(current, ", xxh3 checksum ", ", checksum "),
         "names an FNV-1a checksum"},
        {"current output as of 0.1.0", test::Replaced(current, ProgramVersion(), "0.1.0"), "names an XXH3 checksum"},
        {"current sum under the earlier name",
         test::Replaced(test::Replaced(current, ProgramVersion(), "0.1.0"), ", xxh3 checksum ", ", checksum "),
         "does not match the solutions"},
    };
    for (const auto& c : cases) {
        const auto verified = RunTool({"verify", Write("changed", c.output)});
        EXPECT_EQ(verified.status, 2) << c.what;
        EXPECT_NE((verified.out + verified.err).find(c.message), std::string::npos) << c.what << "\n"
                                                                                    << verified.out << verified.err;
    }
}

} // namespace
} // namespace pandicube
