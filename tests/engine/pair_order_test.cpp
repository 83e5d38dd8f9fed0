// The pair order of values (v, 126 - v, v + 1, 125 - v, ...), in which loops
// 2, 3 and 4, the row engine, the order of solutions and the classes meet
// values: its walk, its rank, the skip over a window and the visit of a run.
#include "search/vocabulary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <vector>

namespace pandicube::test {
namespace {

// Pair order from -174: every complementary pair once, farthest from 63
// first, lower member first.
TEST(NextInPairOrder, VisitsEveryPairFromTheOutsideIn)
{
    std::vector<std::int32_t> expected;
    for (std::int32_t distance = 237; distance >= 1; --distance) {
        expected.push_back(63 - distance);
        expected.push_back(63 + distance);
    }
    std::vector<std::int32_t> visited;
    std::int32_t v = -174;
    do visited.push_back(v);
    while (NextInPairOrder(v));
    EXPECT_EQ(visited, expected);
    ASSERT_GE(visited.size(), 8u);
    EXPECT_EQ((std::vector<std::int32_t>(visited.begin(), visited.begin() + 4)),
              (std::vector<std::int32_t>{-174, 300, -173, 299}));
    EXPECT_EQ((std::vector<std::int32_t>(visited.end() - 4, visited.end())),
              (std::vector<std::int32_t>{61, 65, 62, 64}));
}

TEST(NextInPairOrder, StartAboveTheCentreJoinsTheSequence)
{
    std::int32_t v = 203;
    ASSERT_TRUE(NextInPairOrder(v));
    EXPECT_EQ(v, -76);
    ASSERT_TRUE(NextInPairOrder(v));
    EXPECT_EQ(v, 202);
    v = 65;
    ASSERT_TRUE(NextInPairOrder(v));
    EXPECT_EQ(v, 62);
    ASSERT_TRUE(NextInPairOrder(v));
    EXPECT_EQ(v, 64);
}

TEST(NextInPairOrder, EndsAfter64And63)
{
    std::int32_t v = 64;
    EXPECT_FALSE(NextInPairOrder(v));
    v = 63;
    EXPECT_FALSE(NextInPairOrder(v));
}

// The rank, its one-number code and the visit of a sorted run all follow the
// order that NextInPairOrder walks.
TEST(PairOrder, RankCodeAndVisitFollowTheWalk)
{
    std::int32_t v = -174;
    std::vector<std::int32_t> order{v};
    while (NextInPairOrder(v)) order.push_back(v);
    ASSERT_EQ(order.size(), 474u); // -174 to 62 and 64 to 300
    for (std::size_t i = 1; i < order.size(); ++i) {
        EXPECT_LT(RankInPairOrder(order[i - 1]), RankInPairOrder(order[i])) << order[i - 1] << " " << order[i];
        EXPECT_LT(PairOrderCode(order[i - 1]), PairOrderCode(order[i])) << order[i - 1] << " " << order[i];
    }
    // Runs of ascending values, visited in pair order: the walk's order of
    // their members.
    const std::vector<std::vector<std::int32_t>> runs = {
        {}, {5}, {70}, {-174, 62, 64, 300}, {-3, 0, 61, 65, 66, 129, 200}, {64, 65, 66}, {-10, -9, 100}};
    for (const std::vector<std::int32_t>& run : runs) {
        std::vector<std::int32_t> visited;
        VisitInPairOrder(
            0, run.size(), [&](std::size_t i) { return run[i]; }, [&](std::size_t i) { visited.push_back(run[i]); });
        std::vector<std::int32_t> expected;
        for (std::int32_t w : order) {
            if (std::find(run.begin(), run.end(), w) != run.end()) expected.push_back(w);
        }
        EXPECT_EQ(visited, expected);
    }
}

// The first value at or after v in pair order inside the window with the
// residue, found by walking the order one step at a time; 63 (only ever a
// start value, and never available) does not count.
std::optional<std::int32_t> WalkPairOrder(std::int32_t v, ValueWindow w, std::int32_t modulus, std::int32_t residue)
{
    do {
        if (v != 63 && w.Contains(v) && ((v % modulus) + modulus) % modulus == residue) return v;
    } while (NextInPairOrder(v));
    return std::nullopt;
}

TEST(SkipInPairOrder, StopsAtTheSameValueAsWalkingTheOrder)
{
    std::mt19937 rng(5u);
    const auto uniform = [&rng](std::int32_t lo, std::int32_t hi) {
        return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng);
    };
    for (int i = 0; i < 20000; ++i) {
        const std::int32_t modulus = uniform(0, 1) == 0 ? 1 : 3;
        const std::int32_t residue = uniform(0, modulus - 1);
        const std::int32_t a = uniform(-60, 190);
        const std::int32_t b = uniform(-60, 190);
        const ValueWindow w{std::min(a, b), uniform(0, 9) == 0 ? std::min(a, b) - 1 : std::max(a, b)};
        const std::int32_t start = i % 7 == 0 ? uniform(60, 66) : uniform(-70, 200);
        std::int32_t v = start;
        const std::optional<std::int32_t> expected = WalkPairOrder(start, w, modulus, residue);
        const bool found = SkipInPairOrder(v, w, modulus, residue);
        ASSERT_EQ(found, expected.has_value()) << "from " << start << " in " << w.lo << ".." << w.hi;
        if (found) {
            ASSERT_EQ(v, *expected) << "from " << start << " in " << w.lo << ".." << w.hi;
        }
    }
}

TEST(SkipInPairOrder, EndsAfter63And64)
{
    std::int32_t v = 63;
    EXPECT_FALSE(SkipInPairOrder(v, {-100, 200}, 1, 0));
    v = 64;
    EXPECT_TRUE(SkipInPairOrder(v, {-100, 200}, 1, 0));
    EXPECT_EQ(v, 64);
    v = 62;
    EXPECT_TRUE(SkipInPairOrder(v, {63, 200}, 1, 0));
    EXPECT_EQ(v, 64);
}

} // namespace
} // namespace pandicube::test
