#include "tests/window/form1_fixture.h"

#include <array>
#include <vector>

namespace pandicube::testing {
namespace {

const QString kContinue = QStringLiteral("continue stop at next solution ?");

// The solution display as numbers, e1..e62 (index 0 unused).
std::array<int, 63> DisplayedEntries(const Form1& form)
{
    std::array<int, 63> e{};
    for (int k = 1; k <= 62; ++k) e[static_cast<std::size_t>(k)] = form.Label11(k)->text().toInt();
    return e;
}

// The rows, columns and both diagonals of plane 1 as shown must each make 315.
void ExpectPlaneOneIsMagic(const Form1& form)
{
    const auto e = DisplayedEntries(form);
    auto at = [&](int row, int column) { return e[static_cast<std::size_t>(5 * row + column + 1)]; };
    int diagonal = 0;
    int antiDiagonal = 0;
    for (int i = 0; i < 5; ++i) {
        int row = 0;
        int column = 0;
        for (int j = 0; j < 5; ++j) {
            row += at(i, j);
            column += at(j, i);
        }
        EXPECT_EQ(row, 315) << "row " << i;
        EXPECT_EQ(column, 315) << "column " << i;
        diagonal += at(i, i);
        antiDiagonal += at(i, 4 - i);
    }
    EXPECT_EQ(diagonal, 315);
    EXPECT_EQ(antiDiagonal, 315);
}

// A run from the window: its results, counts and the fields it writes.
class Form1Run : public Form1Test {};

TEST_F(Form1Run, WholeRunAtThreeHundred)
{
    bool sawSetUp = false;
    int progressReports = 0;
    windowSystem.onProcessEvents = [&] {
        if (!sawSetUp) {
            // The single processing right after the set-up: the running state.
            sawSetUp = true;
            EXPECT_EQ(form->Label10->text(), ScriptedWindowSystem::kStamp);
            EXPECT_FALSE(form->Command1->isVisible());
            EXPECT_FALSE(form->Command1->isEnabled());
            EXPECT_FALSE(form->Command3->isVisible());
            EXPECT_FALSE(form->Command3->isEnabled());
            EXPECT_FALSE(form->Check1->isEnabled());
            EXPECT_FALSE(form->Check3->isEnabled());
            EXPECT_TRUE(form->Check2->isEnabled());
            EXPECT_TRUE(form->Command2->isVisible());
            EXPECT_TRUE(form->Command2->isEnabled());
            EXPECT_EQ(form->Command2->pos(), QPoint(520, 312));
            for (int k = 1; k <= 25; ++k) {
                EXPECT_TRUE(form->Text7(k)->isReadOnly()) << k;
                EXPECT_EQ(TextColour(form->Text7(k)), kGreyText) << k;
            }
            return;
        }
        if (form->Command2->isVisible() && form->Label7->text().isEmpty() && progressReports++ < 50) {
            // Progress: the two outer loops in the working display.
            EXPECT_EQ(form->Text7(14)->text(), QString::number(form->State().e[14]));
            EXPECT_EQ(form->Text7(18)->text(), QString::number(form->State().e[18]));
            EXPECT_TRUE(form->Text7(10)->text().isEmpty());
            EXPECT_TRUE(form->Text7(17)->text().isEmpty());
            EXPECT_TRUE(form->Text1->text().isEmpty());
        }
    };
    bool sawClosing = false;
    windowSystem.onMessage = [&](const MessageShown& shown) {
        ASSERT_EQ(shown.icon, WindowSystem::Icon::Information);
        sawClosing = true;
        // The last solution, the count and both stamps are still on display.
        EXPECT_EQ(form->Label7->text(), QStringLiteral("504"));
        EXPECT_EQ(form->Label4->text(), ScriptedWindowSystem::kStamp);
        EXPECT_EQ(form->Label10->text(), ScriptedWindowSystem::kStamp);
        EXPECT_EQ(form->Label11(63)->text(), QStringLiteral("63"));
        for (int k = 1; k <= 62; ++k) {
            EXPECT_FALSE(form->Label11(k)->text().isEmpty()) << k;
        }
        ExpectPlaneOneIsMagic(*form);
    };

    ASSERT_FALSE(ClickStart());
    EXPECT_TRUE(sawSetUp);
    EXPECT_GT(progressReports, 0);
    ASSERT_TRUE(sawClosing);
    ASSERT_EQ(windowSystem.messages.size(), 1u);
    EXPECT_EQ(windowSystem.messages[0].text, QStringLiteral("computation terminated\n504 solutions were found."));
    EXPECT_EQ(windowSystem.messages[0].title, QStringLiteral("zorvik"));
    EXPECT_EQ(windowSystem.messages[0].buttons, WindowSystem::Buttons::Ok);

    // Back to idle.
    EXPECT_FALSE(form->Command2->isVisible());
    EXPECT_FALSE(form->Command2->isEnabled());
    EXPECT_EQ(form->Command2->pos(), QPoint(520, 312));
    EXPECT_TRUE(form->Command1->isVisible());
    EXPECT_TRUE(form->Command1->isEnabled());
    EXPECT_TRUE(form->Command3->isVisible());
    EXPECT_TRUE(form->Command3->isEnabled());
    for (QCheckBox* box : {form->Check1, form->Check2, form->Check3}) EXPECT_TRUE(box->isEnabled());
    EXPECT_EQ(form->State().solutionCount, 0);
    for (QLabel* label : {form->Label7, form->Label10, form->Label4}) EXPECT_TRUE(label->text().isEmpty());
    for (int k = 1; k <= 62; ++k) EXPECT_TRUE(form->Label11(k)->text().isEmpty()) << k;
    EXPECT_EQ(form->Label11(63)->text(), QStringLiteral("63"));
    EXPECT_TRUE(form->Text1->text().isEmpty());
    EXPECT_EQ(form->Text2->text(), QStringLiteral("300"));
    for (int k = 1; k <= 25; ++k) {
        EXPECT_TRUE(form->Text7(k)->text().isEmpty()) << k;
        EXPECT_TRUE(form->Text7(k)->isReadOnly()) << k;
        EXPECT_EQ(TextColour(form->Text7(k)), kGreyText) << k;
    }
    for (int k : {10, 14, 17, 18}) EXPECT_EQ(Background(form->Text7(k)), kYellow) << k;

    windowSystem.onMessage = nullptr;
    windowSystem.onProcessEvents = nullptr;

    // The start cells stay read-only for the user, but default values still
    // reach them; a run from empty start cells is refused.
    Type(form->Text7(10), QStringLiteral("5"));
    EXPECT_TRUE(form->Text7(10)->text().isEmpty());
    SetChecked(form->Check1, true);
    windowSystem.messages.clear();
    EXPECT_FALSE(ClickStart());
    ASSERT_EQ(windowSystem.messages.size(), 1u);
    EXPECT_EQ(windowSystem.messages[0].text, QStringLiteral("no input"));
    EXPECT_EQ(Background(form->Text7(10)), kLightRed);
    Click(form->Command3);
    EXPECT_EQ(form->Text7(10)->text(), QStringLiteral("203"));
    EXPECT_EQ(TextColour(form->Text7(10)), kGreyText);
}

class Form1Pause : public Form1Test {
protected:
    void SetUp() override
    {
        Form1Test::SetUp();
        Type(form->Text2, QStringLiteral("255")); // 24 solutions
        SetChecked(form->Check2, true);
        windowSystem.onMessage = [this](const MessageShown& shown) {
            if (shown.text == kContinue) countAtPrompt.push_back(form->Label7->text().toInt());
        };
    }

    std::vector<int> countAtPrompt;
};

TEST_F(Form1Pause, YesAtEverySolutionPausesAtEach)
{
    windowSystem.answerAll = [](const MessageShown& shown) {
        EXPECT_EQ(shown.buttons, WindowSystem::Buttons::YesNoCancel);
        EXPECT_EQ(shown.icon, WindowSystem::Icon::Question);
        EXPECT_EQ(shown.title, QStringLiteral("zorvik"));
        return WindowSystem::kYes;
    };
    ASSERT_FALSE(ClickStart());
    std::vector<int> expected;
    for (int n = 1; n <= 24; ++n) expected.push_back(n);
    EXPECT_EQ(countAtPrompt, expected);
    EXPECT_TRUE(form->Check2->isChecked());
    EXPECT_EQ(ClosingMessageShown(), QStringLiteral("computation terminated\n24 solutions were found."));
}

TEST_F(Form1Pause, NoOnceStopsThePausing)
{
    windowSystem.answers = {WindowSystem::kNo};
    ASSERT_FALSE(ClickStart());
    EXPECT_EQ(countAtPrompt, std::vector<int>{1});
    EXPECT_FALSE(form->Check2->isChecked());
    EXPECT_EQ(ClosingMessageShown(), QStringLiteral("computation terminated\n24 solutions were found."));
}

TEST_F(Form1Pause, CheckingAgainDuringTheRunPausesAgain)
{
    windowSystem.answers = {WindowSystem::kNo, WindowSystem::kNo};
    windowSystem.onProcessEvents = [this] {
        if (form->Label7->text() == QStringLiteral("5") && !form->Check2->isChecked()) Click(form->Check2);
    };
    ASSERT_FALSE(ClickStart());
    // The tick after solution 5 takes effect at solution 6.
    EXPECT_EQ(countAtPrompt, (std::vector<int>{1, 6}));
    EXPECT_EQ(ClosingMessageShown(), QStringLiteral("computation terminated\n24 solutions were found."));
}

TEST_F(Form1Pause, CancelThenNoGoesOnWithoutPausing)
{
    windowSystem.answers = {WindowSystem::kCancel, WindowSystem::kNo};
    ASSERT_FALSE(ClickStart());
    ASSERT_EQ(windowSystem.messages.size(), 3u);
    EXPECT_EQ(windowSystem.messages[1].text, kTerminate);
    EXPECT_EQ(windowSystem.messages[1].buttons, WindowSystem::Buttons::YesNo);
    EXPECT_EQ(windowSystem.messages[1].icon, WindowSystem::Icon::Question);
    EXPECT_EQ(windowSystem.messages[1].title, QStringLiteral("zorvik"));
    EXPECT_FALSE(form->Check2->isChecked());
    EXPECT_EQ(windowSystem.messages[2].text, QStringLiteral("computation terminated\n24 solutions were found."));
    EXPECT_FALSE(windowSystem.ended);
}

TEST_F(Form1Pause, CancelThenYesEndsTheProgram)
{
    windowSystem.answers = {WindowSystem::kCancel, WindowSystem::kYes};
    EXPECT_TRUE(ClickStart());
    EXPECT_TRUE(windowSystem.ended);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(countAtPrompt, std::vector<int>{1});
    EXPECT_EQ(windowSystem.messages.size(), 2u);
    EXPECT_TRUE(ClosingMessageShown().isEmpty());
}

TEST_F(Form1Run, ReducingFromTheDefaultValuesFindsTwoCubes)
{
    Click(form->Command3);
    SetChecked(form->Check1, true);
    SetChecked(form->Check3, true);
    SetChecked(form->Check2, true);
    std::vector<QString> bestBounds;
    windowSystem.answerAll = [&](const MessageShown&) {
        bestBounds.push_back(form->Text1->text());
        return WindowSystem::kYes;
    };
    ASSERT_FALSE(ClickStart());
    EXPECT_EQ(bestBounds, (std::vector<QString>{QStringLiteral("283"), QStringLiteral("255")}));
    EXPECT_EQ(ClosingMessageShown(), QStringLiteral("computation terminated\n2 solutions were found."));
    EXPECT_TRUE(form->Text1->text().isEmpty());
}

TEST_F(Form1Run, SecondRunStartsAfresh)
{
    Type(form->Text2, QStringLiteral("255"));
    ASSERT_FALSE(ClickStart());
    ASSERT_FALSE(ClickStart());
    ASSERT_EQ(windowSystem.messages.size(), 2u);
    EXPECT_EQ(windowSystem.messages[0].text, windowSystem.messages[1].text);
    EXPECT_EQ(form->State().bestBound, 256);
}

} // namespace
} // namespace pandicube::testing
