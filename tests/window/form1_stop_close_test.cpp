#include "tests/window/form1_fixture.h"

#include "window/close_requests.h"

#include <QApplication>

#include <csignal>

namespace pandicube::testing {
namespace {

const QString kTwentyFour = QStringLiteral("computation terminated\n24 solutions were found.");

// Runs at U = 255 (24 solutions) and acts once, at the first processing of
// events after the first solution.
class Form1StopClose : public Form1Test {
protected:
    void SetUp() override
    {
        Form1Test::SetUp();
        Type(form->Text2, QStringLiteral("255"));
        windowSystem.onMessage = [this](const MessageShown& shown) {
            if (shown.text == kTerminate) label4AtPrompt = form->Label4->text();
        };
    }

    template <typename Action>
    void AfterFirstSolution(Action action)
    {
        windowSystem.onProcessEvents = [this, action] {
            if (acted || form->Label7->text() != QStringLiteral("1")) return;
            acted = true;
            action();
        };
    }

    bool acted = false;
    QString label4AtPrompt;
    QString label4AfterAnswer;
};

TEST_F(Form1StopClose, StopAnsweredNoLetsTheRunGoOn)
{
    windowSystem.answers = {WindowSystem::kNo};
    AfterFirstSolution([this] {
        Click(form->Command2);
        label4AfterAnswer = form->Label4->text();
    });
    ASSERT_FALSE(ClickStart());
    ASSERT_TRUE(acted);
    ASSERT_EQ(windowSystem.messages.size(), 2u);
    EXPECT_EQ(windowSystem.messages[0].text, kTerminate);
    EXPECT_EQ(windowSystem.messages[0].title, QStringLiteral("zorvik"));
    EXPECT_EQ(windowSystem.messages[0].buttons, WindowSystem::Buttons::YesNo);
    EXPECT_EQ(label4AtPrompt, ScriptedWindowSystem::kStamp);
    EXPECT_TRUE(label4AfterAnswer.isEmpty());
    // Later solutions still came.
    EXPECT_EQ(windowSystem.messages[1].text, kTwentyFour);
    EXPECT_FALSE(windowSystem.ended);
}

TEST_F(Form1StopClose, StopAnsweredYesEndsAtOnce)
{
    windowSystem.answers = {WindowSystem::kYes};
    AfterFirstSolution([this] { Click(form->Command2); });
    EXPECT_TRUE(ClickStart());
    EXPECT_TRUE(windowSystem.ended);
    EXPECT_FALSE(form->isVisible());
    ASSERT_EQ(windowSystem.messages.size(), 1u);
    EXPECT_EQ(windowSystem.messages[0].text, kTerminate);
    EXPECT_EQ(form->Label7->text(), QStringLiteral("1"));
}

TEST_F(Form1StopClose, CloseDuringARunAnsweredNoLetsTheRunGoOn)
{
    windowSystem.answers = {WindowSystem::kNo};
    AfterFirstSolution([this] {
        form->close();
        label4AfterAnswer = form->Label4->text();
    });
    ASSERT_FALSE(ClickStart());
    ASSERT_EQ(windowSystem.messages.size(), 2u);
    EXPECT_EQ(windowSystem.messages[0].text, kTerminate);
    EXPECT_EQ(windowSystem.messages[0].title, form->windowTitle());
    EXPECT_TRUE(label4AfterAnswer.isEmpty());
    EXPECT_EQ(windowSystem.messages[1].text, kTwentyFour);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(Form1StopClose, CloseWhileIdleAnsweredNoChangesNothing)
{
    windowSystem.answers = {WindowSystem::kNo};
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(windowSystem.messages.size(), 1u);
    EXPECT_EQ(windowSystem.messages[0].text, kTerminate);
    EXPECT_EQ(windowSystem.messages[0].title,
              QStringLiteral("\"centralsymmetric\" perfect magic 5x5x5 cubes, outer planes pandiagonal"));
    EXPECT_EQ(windowSystem.messages[0].icon, WindowSystem::Icon::Question);
    EXPECT_EQ(label4AtPrompt, ScriptedWindowSystem::kStamp);
    EXPECT_TRUE(form->Label4->text().isEmpty());
    EXPECT_FALSE(windowSystem.ended);
}

TEST_F(Form1StopClose, CloseWhileIdleAnsweredYesEndsTheProgram)
{
    windowSystem.answers = {WindowSystem::kYes};
    EXPECT_THROW(form->close(), ProgramEnded);
    EXPECT_TRUE(windowSystem.ended);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(Form1StopClose, SessionEndAndTerminationCloseWithoutAPrompt)
{
    for (int unloadMode : {2, 3}) {
        SCOPED_TRACE(unloadMode);
        Form1 window(windowSystem);
        window.show();
        windowSystem.ended = false;
        EXPECT_THROW(window.RequestClose(unloadMode), ProgramEnded);
        EXPECT_TRUE(windowSystem.ended);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(window.Label4->text(), ScriptedWindowSystem::kStamp);
    }
    EXPECT_TRUE(windowSystem.messages.empty());
}

TEST_F(Form1StopClose, TerminationDuringARunEndsItWithAFinalStamp)
{
    AfterFirstSolution([this] { form->RequestClose(3); });
    EXPECT_TRUE(ClickStart());
    EXPECT_TRUE(windowSystem.ended);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->Label4->text(), ScriptedWindowSystem::kStamp);
    EXPECT_TRUE(windowSystem.messages.empty());
}

TEST_F(Form1StopClose, SigtermArrivesAsATerminationRequest)
{
    TerminationWatcher watcher;
    RouteCloseRequests(*qobject_cast<QGuiApplication*>(QCoreApplication::instance()), watcher, *form);
    AfterFirstSolution([] { std::raise(SIGTERM); });
    // The signal is served at the next processing of events of the search.
    EXPECT_TRUE(ClickStart());
    EXPECT_TRUE(windowSystem.ended);
    EXPECT_EQ(form->Label4->text(), ScriptedWindowSystem::kStamp);
    EXPECT_TRUE(windowSystem.messages.empty());
    EXPECT_FALSE(form->Label7->text().isEmpty());
}

TEST_F(Form1StopClose, SighupWhileIdleClosesTheWindow)
{
    TerminationWatcher watcher;
    RouteCloseRequests(*qobject_cast<QGuiApplication*>(QCoreApplication::instance()), watcher, *form);
    std::raise(SIGHUP);
    EXPECT_THROW(QCoreApplication::processEvents(), ProgramEnded);
    EXPECT_TRUE(windowSystem.ended);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(windowSystem.messages.empty());
}

} // namespace
} // namespace pandicube::testing
