#include "search/input_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace pandicube {
namespace {

std::string BoundError(std::string_view text)
{
    return std::string(InputErrorMessage(CheckUpperBound(text).error));
}

// Start values checked against the limits of U = 300.
std::string StartError(std::string_view text)
{
    return std::string(InputErrorMessage(CheckStartValue(text, -175, 301).error));
}

TEST(InputRules, MessagesAreTheWindowsWords)
{
    EXPECT_EQ(InputErrorMessage(InputError::NoInput), "no input");
    EXPECT_EQ(InputErrorMessage(InputError::NoCipher), "no cipher");
    EXPECT_EQ(InputErrorMessage(InputError::ErroneousNumber), "erroneous number");
    EXPECT_EQ(InputErrorMessage(InputError::None), "");
}

TEST(InputRules, UpperBoundRefusesEmptyAndNonDigitText)
{
    EXPECT_EQ(BoundError(""), "no input");
    for (const char* text : {"3OO", "-5", "3.5", " 300", "300 ", "+300", "30 0", "３００"}) {
        EXPECT_EQ(BoundError(text), "no cipher") << '"' << text << '"';
    }
}

TEST(InputRules, UpperBoundRefusesNumbersOutOfRange)
{
    for (const char* text : {"0", "000", "8323514", "2147483647", "2147483648", "4294967297", "99999999999",
                             "0000000000000000000000000000008323514"}) {
        EXPECT_EQ(BoundError(text), "erroneous number") << text;
    }
}

TEST(InputRules, UpperBoundAcceptsFrom1To8323513)
{
    const auto value = [](std::string_view text) {
        const InputCheck check = CheckUpperBound(text);
        EXPECT_TRUE(check.Ok()) << text;
        return check.value;
    };
    EXPECT_EQ(value("1"), 1);
    EXPECT_EQ(value("0300"), 300);
    EXPECT_EQ(value("300"), 300);
    EXPECT_EQ(value("255"), 255);
    EXPECT_EQ(value("8323513"), 8323513);
    EXPECT_EQ(value("00000000000000000000001"), 1);
}

TEST(InputRules, StartValueAcceptsTheLimitsThemselves)
{
    const auto value = [](std::string_view text) {
        const InputCheck check = CheckStartValue(text, -175, 301);
        EXPECT_TRUE(check.Ok()) << text;
        return check.value;
    };
    EXPECT_EQ(value("301"), 301);
    EXPECT_EQ(value("-175"), -175);
    EXPECT_EQ(value("-75"), -75);
    EXPECT_EQ(value("0"), 0);
    EXPECT_EQ(value("-0"), 0);
    EXPECT_EQ(value("-0075"), -75);
}

TEST(InputRules, StartValueRefusesNumbersBeyondTheLimits)
{
    for (const char* text : {"302", "-176", "2147483647", "2147483648", "-2147483648", "-2147483649", "99999999999"}) {
        EXPECT_EQ(StartError(text), "erroneous number") << text;
    }
    // Below U = 62 the limits cross and nothing is accepted.
    for (const char* text : {"0", "63", "64", "-1"}) {
        EXPECT_EQ(InputErrorMessage(CheckStartValue(text, 125 - 61, 61 + 1).error), "erroneous number") << text;
    }
}

TEST(InputRules, StartValueRefusesBadCharacters)
{
    EXPECT_EQ(StartError(""), "no input");
    for (const char* text : {"7-5", "--5", "+5", "5 ", " 5", "-", "5.0", "a"}) {
        EXPECT_EQ(StartError(text), "no cipher") << '"' << text << '"';
    }
}

} // namespace
} // namespace pandicube
