#pragma once

#include "window/window_system.h"

#include <QCoreApplication>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <vector>

namespace pandicube::testing {

// Thrown by the scripted window system when the program ends, so that control
// leaves a running search and comes back to the test.
struct ProgramEnded {};

struct MessageShown {
    QString text;
    WindowSystem::Icon icon;
    WindowSystem::Buttons buttons;
    QString title;
};

// A window system whose message boxes are answered by script, whose clock
// stands still, and whose end of the program is only recorded.
class ScriptedWindowSystem : public WindowSystem {
public:
    static inline const QString kDate = QStringLiteral("01-09-2013");
    static inline const QString kTime = QStringLiteral("14:05:33");
    static inline const QString kStamp = QStringLiteral("01-09-2013    14:05:33");

    std::vector<MessageShown> messages;
    // Answers to question boxes, in order; an information box is answered OK.
    std::deque<int> answers;
    // When set, answers every question box instead of `answers`.
    std::function<int(const MessageShown&)> answerAll;
    // Sees the window while a box is open.
    std::function<void(const MessageShown&)> onMessage;
    // Runs at every processing of pending events, after Qt's own.
    std::function<void()> onProcessEvents;
    int processEventsCalls = 0;
    std::chrono::steady_clock::time_point clock;
    std::chrono::milliseconds clockStep{20};
    bool ended = false;

    int ShowMessage(QWidget*, const QString& text, Icon icon, Buttons buttons, const QString& title) override
    {
        messages.push_back({text, icon, buttons, title});
        const MessageShown shown = messages.back();
        if (onMessage) onMessage(shown);
        if (buttons == Buttons::Ok) return kOk;
        if (answerAll) return answerAll(shown);
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return kNo;
        }
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }

    void ProcessEvents() override
    {
        ++processEventsCalls;
        QCoreApplication::processEvents();
        if (onProcessEvents) onProcessEvents();
    }

    QString CurrentDateText() override { return kDate; }
    QString CurrentTimeText() override { return kTime; }
    // Goes on by clockStep at every reading: by default every check finds the
    // processing of events due, so events run after every report.
    std::chrono::steady_clock::time_point Now() override { return clock += clockStep; }

    void EndProgram(QWidget* window) override
    {
        ended = true;
        if (window != nullptr) window->hide();
        throw ProgramEnded{};
    }

    // The messages with this text.
    int CountOf(const QString& text) const
    {
        int n = 0;
        for (const MessageShown& m : messages) n += m.text == text ? 1 : 0;
        return n;
    }
};

} // namespace pandicube::testing
