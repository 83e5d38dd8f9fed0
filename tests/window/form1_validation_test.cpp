#include "tests/window/form1_fixture.h"

#include <vector>

namespace pandicube::testing {
namespace {

struct Refusal {
    const char* text;
    const char* message;
};

class Form1Validation : public Form1Test {
protected:
    // Expects exactly one refusal with this message, and that no run began.
    void ExpectRefusedWith(const char* message)
    {
        ASSERT_EQ(windowSystem.messages.size(), 1u);
        const MessageShown& shown = windowSystem.messages.front();
        EXPECT_EQ(shown.text, QString::fromLatin1(message));
        EXPECT_EQ(shown.title, QStringLiteral("zorvik"));
        EXPECT_EQ(shown.icon, WindowSystem::Icon::Information);
        EXPECT_EQ(shown.buttons, WindowSystem::Buttons::Ok);
        EXPECT_EQ(form->State().abortRun, 1);
        EXPECT_TRUE(form->Label10->text().isEmpty());
        EXPECT_TRUE(form->Label4->text().isEmpty());
        EXPECT_TRUE(form->Command1->isVisible());
        EXPECT_FALSE(form->Command2->isVisible());
        EXPECT_FALSE(form->Text7(1)->isReadOnly());
    }

    // Fills the start cells and ticks "start search from yellow marked entries".
    void StartFrom(const char* e10, const char* e14, const char* e17, const char* e18)
    {
        Type(form->Text7(10), QString::fromLatin1(e10));
        Type(form->Text7(14), QString::fromLatin1(e14));
        Type(form->Text7(17), QString::fromLatin1(e17));
        Type(form->Text7(18), QString::fromLatin1(e18));
        SetChecked(form->Check1, true);
    }
};

TEST_F(Form1Validation, UpperBoundIsRefusedWithItsMessage)
{
    const std::vector<Refusal> refusals{
        {"", "no input"},
        {"3OO", "no cipher"},
        {"-5", "no cipher"},
        {"3.5", "no cipher"},
        {" 300", "no cipher"},
        {"300 ", "no cipher"},
        {"+300", "no cipher"},
        {"0", "erroneous number"},
        {"000", "erroneous number"},
        {"8323514", "erroneous number"},
        {"2147483647", "erroneous number"},
        {"99999999999", "erroneous number"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.text);
        windowSystem.messages.clear();
        Type(form->Text2, QString::fromLatin1(r.text));
        EXPECT_FALSE(ClickStart());
        ExpectRefusedWith(r.message);
        EXPECT_EQ(Background(form->Text2), kLightRed);
    }
}

TEST_F(Form1Validation, StartCellIsRefusedWithItsMessage)
{
    const std::vector<Refusal> refusals{
        {"", "no input"},
        {"7-5", "no cipher"},
        {"--5", "no cipher"},
        {"+5", "no cipher"},
        {"5 ", "no cipher"},
        {"-", "no cipher"},
        {"x", "no cipher"},
        {"302", "erroneous number"},
        {"-176", "erroneous number"},
        {"2147483648", "erroneous number"},
        {"-2147483649", "erroneous number"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.text);
        windowSystem.messages.clear();
        // Cell 14 is faulty; cell 10 has passed before it, 17 and 18 are never examined.
        StartFrom("203", r.text, "junk", "");
        EXPECT_FALSE(ClickStart());
        ExpectRefusedWith(r.message);
        EXPECT_EQ(Background(form->Text7(14)), kLightRed);
        EXPECT_EQ(Background(form->Text7(10)), kYellow);
        EXPECT_EQ(Background(form->Text7(17)), kYellow);
        EXPECT_EQ(Background(form->Text7(18)), kYellow);
        EXPECT_EQ(Background(form->Text2), kWhite);
    }
}

TEST_F(Form1Validation, OnlyTheFirstFaultyFieldIsReported)
{
    Type(form->Text2, QString());
    StartFrom("", "", "", "");
    EXPECT_FALSE(ClickStart());
    ExpectRefusedWith("no input");
    EXPECT_EQ(Background(form->Text2), kLightRed);
    for (int k : {10, 14, 17, 18}) EXPECT_EQ(Background(form->Text7(k)), kYellow) << k;

    // With the bound mended, the first start cell is next.
    windowSystem.messages.clear();
    Type(form->Text2, QStringLiteral("300"));
    EXPECT_FALSE(ClickStart());
    ExpectRefusedWith("no input");
    EXPECT_EQ(Background(form->Text2), kWhite);
    EXPECT_EQ(Background(form->Text7(10)), kLightRed);
    EXPECT_EQ(Background(form->Text7(14)), kYellow);
}

TEST_F(Form1Validation, RedMarkIsRemovedByTheNextValidation)
{
    StartFrom("203", "-75", "-30", "x");
    EXPECT_FALSE(ClickStart());
    ExpectRefusedWith("no cipher");
    EXPECT_EQ(Background(form->Text7(18)), kLightRed);

    // The next press restores the yellow before it refuses the bound.
    windowSystem.messages.clear();
    Type(form->Text2, QStringLiteral("abc"));
    EXPECT_FALSE(ClickStart());
    ExpectRefusedWith("no cipher");
    EXPECT_EQ(Background(form->Text7(18)), kYellow);
    EXPECT_EQ(Background(form->Text2), kLightRed);
}

TEST_F(Form1Validation, LimitsOfTheStartCellsAreIncluded)
{
    // 0300 is the bound 300: the start values -175 and 301 are the limits and
    // pass. e14 = 301 is no multiple of 3 and ends the search at once.
    Type(form->Text2, QStringLiteral("0300"));
    StartFrom("-175", "301", "-75", "0");
    EXPECT_FALSE(ClickStart());
    ASSERT_EQ(windowSystem.messages.size(), 1u);
    EXPECT_EQ(windowSystem.messages.front().text, QStringLiteral("computation terminated\nno solution was found."));
    EXPECT_EQ(form->State().upperLimit, 301);
    EXPECT_EQ(form->State().lowerLimit, -175);
    EXPECT_EQ(form->State().startE10, -175);
    EXPECT_EQ(form->State().startE14, 301);
    EXPECT_EQ(form->State().fullRange, 0);
}

TEST_F(Form1Validation, BoundBelowSixtyTwoRefusesEveryStartValue)
{
    Type(form->Text2, QStringLiteral("61"));
    StartFrom("63", "63", "63", "63");
    EXPECT_FALSE(ClickStart());
    ExpectRefusedWith("erroneous number");
    EXPECT_EQ(Background(form->Text7(10)), kLightRed);
}

TEST_F(Form1Validation, StartCellsAreIgnoredWithoutCheck1)
{
    Type(form->Text7(10), QStringLiteral("abc"));
    Type(form->Text7(14), QString());
    Type(form->Text7(18), QStringLiteral("-"));
    Type(form->Text2, QStringLiteral("1"));
    EXPECT_FALSE(ClickStart());
    // An upper bound of 1 passes although the label asks for 255 at least.
    ASSERT_EQ(windowSystem.messages.size(), 1u);
    EXPECT_EQ(windowSystem.messages.front().text, QStringLiteral("computation terminated\nno solution was found."));
    EXPECT_EQ(form->State().fullRange, 1);
    for (int k : {10, 14, 17, 18}) EXPECT_EQ(Background(form->Text7(k)), kYellow) << k;
}

} // namespace
} // namespace pandicube::testing
