// Setting up a run: the typed fields checked in order, and the state that a
// run starts from.
#include "search/run_setup.h"
#include "tests/support/search_runs.h"
#include "tests/support/worked_example.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace pandicube::test {
namespace {

struct SetupCase {
    const char* bound;
    std::vector<const char*> start; // none: the run starts at the limits
    std::optional<SetupRefusal> refusal;
};

TEST(SetUpRun, RefusesTheFirstFaultyFieldInTheOrderOfTheWindow)
{
    using enum SetupField;
    using enum InputError;
    const std::vector<SetupCase> cases{
        {"", {"x", "x", "x", "x"}, SetupRefusal{Bound, NoInput}},
        {"3OO", {}, SetupRefusal{Bound, NoCipher}},
        {"0", {}, SetupRefusal{Bound, ErroneousNumber}},
        {"300", {"", "", "", ""}, SetupRefusal{E10, NoInput}},
        {"300", {"203", "7-5", "junk", ""}, SetupRefusal{E14, NoCipher}},
        {"300", {"203", "-75", "302", "-58"}, SetupRefusal{E17, ErroneousNumber}},
        {"300", {"203", "-75", "-30", "-176"}, SetupRefusal{E18, ErroneousNumber}},
        {"61", {"63", "63", "63", "63"}, SetupRefusal{E10, ErroneousNumber}},
        {"0300", {"-175", "301", "-75", "0"}, std::nullopt},
        {"1", {}, std::nullopt},
    };
    for (const SetupCase& c : cases) {
        SCOPED_TRACE(std::string(c.bound) + (c.start.empty() ? "" : " with start values"));
        StartTexts texts;
        for (std::size_t i = 0; i < c.start.size(); ++i) texts[i] = c.start[i];
        const auto result = SetUpRun(c.bound, c.start.empty() ? nullptr : &texts, false);
        const auto* refusal = std::get_if<SetupRefusal>(&result);
        ASSERT_EQ(refusal != nullptr, c.refusal.has_value());
        if (refusal != nullptr) {
            EXPECT_EQ(refusal->field, c.refusal->field);
            EXPECT_EQ(refusal->error, c.refusal->error);
        }
    }
}

TEST(SetUpRun, GivesTheBoundTheStartValuesAndTheReduction)
{
    const StartTexts texts{"203", "-75", "-030", "-58"};
    const RunSetup setup = std::get<RunSetup>(SetUpRun("0255", &texts, true));
    EXPECT_EQ(setup.upperBound, 255);
    ASSERT_TRUE(setup.start.has_value());
    const StartValues& start = *setup.start;
    EXPECT_EQ((std::array{start.e10, start.e14, start.e17, start.e18}), (std::array{203, -75, -30, -58}));
    EXPECT_TRUE(setup.reduceBound);

    const RunSetup plain = std::get<RunSetup>(SetUpRun("300", nullptr, false));
    EXPECT_EQ(plain.upperBound, 300);
    EXPECT_FALSE(plain.start.has_value());
    EXPECT_FALSE(plain.reduceBound);
}

TEST(PrepareSearchState, SetsLimitsAndPoolForU300)
{
    SearchState state;
    state.e.fill(7);
    state.unwindLevel = 2;
    PrepareSearchState(state, {300});
    EXPECT_EQ(state.lowerLimit, -175);
    EXPECT_EQ(state.upperLimit, 301);
    EXPECT_EQ(state.bestBound, 301);
    EXPECT_EQ(state.pool.Low(), -175);
    EXPECT_EQ(state.pool.High(), 301);
    EXPECT_EQ(state.pool.Size(), 477u);
    EXPECT_EQ(state.fullRange, 1);
    EXPECT_EQ(state.unwindLevel, 0);
    EXPECT_FALSE(state.reduceBound);
    EXPECT_EQ(PoolFaults(state.pool), std::vector<std::string>{});
    for (int k = 1; k <= 62; ++k) EXPECT_EQ(state.e[static_cast<std::size_t>(k)], 0) << "e" << k;
}

TEST(PrepareSearchState, SetsLimitsAndPoolForU255WithStartValues)
{
    SearchState state;
    PrepareSearchState(state, {255, kDefaultStart, true});
    EXPECT_EQ(state.lowerLimit, -130);
    EXPECT_EQ(state.upperLimit, 256);
    EXPECT_EQ(state.bestBound, 256);
    EXPECT_EQ(state.pool.Size(), 2u * 255u - 123u);
    EXPECT_EQ(state.fullRange, 0);
    EXPECT_EQ(state.startE10, 203);
    EXPECT_EQ(state.startE14, -75);
    EXPECT_EQ(state.startE17, -30);
    EXPECT_EQ(state.startE18, -58);
    EXPECT_TRUE(state.reduceBound);
}

TEST(PrepareSearchState, StartsAFreshPoolOnEveryRun)
{
    SearchState state;
    PrepareSearchState(state, {300});
    state.pool.Take(100);
    PrepareSearchState(state, {255});
    EXPECT_EQ(state.pool.Low(), -130);
    EXPECT_EQ(PoolFaults(state.pool), std::vector<std::string>{});
}

} // namespace
} // namespace pandicube::test
