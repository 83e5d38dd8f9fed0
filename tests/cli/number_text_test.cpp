#include "cli/formats/number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <limits>
#include <random>
#include <string>

namespace pandicube {
namespace {

// The values of a record are written as the standard library writes them,
// from the small ones that cubes hold to the ends of the 32-bit range, and
// read back as they were.
TEST(NumberText, RangesAreWrittenAsDecimalsAndReadBack)
{
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const std::int32_t edges[] = {0, 1, -1, 9, 10, -10, 99, 100, 999, 1000, 9999, -9999, 10000, -10000, kMin, kMax};
    std::mt19937 rng(20261210u);
    std::uniform_int_distribution<std::int32_t> any(kMin, kMax);
    std::uniform_int_distribution<std::int32_t> small(-12000, 12000);
    for (int round = 0; round < 200; ++round) {
        Cells cells{};
        for (std::size_t k = 1; k < cells.size(); ++k) {
            cells[k] = round == 0 ? edges[k % std::size(edges)] : (k % 7 == 0 ? any(rng) : small(rng));
        }
        for (const auto& [separator, leading] : {std::pair{' ', true}, {',', false}}) {
            std::string line = "x";
            AppendRange(line, cells, 1, kCellCount, separator, leading);
            std::string expected = "x";
            for (int k = 1; k <= kCellCount; ++k) {
                if (k > 1 || leading) expected += separator;
                char buf[16];
                expected.append(buf, std::to_chars(buf, buf + sizeof buf, cells[static_cast<std::size_t>(k)]).ptr);
            }
            ASSERT_EQ(line, expected) << "round " << round;
            const std::vector<std::string_view> fields =
                SplitOn(std::string_view(line).substr(leading ? 2 : 1), separator);
            ASSERT_EQ(fields.size(), static_cast<std::size_t>(kCellCount));
            for (int k = 1; k <= kCellCount; ++k)
                EXPECT_EQ(ParseInt32(fields[static_cast<std::size_t>(k - 1)]), cells[static_cast<std::size_t>(k)]);
        }
    }
}

} // namespace
} // namespace pandicube
