#pragma once

#include "tests/window/scripted_window_system.h"
#include "window/form1.h"

#include <QCheckBox>
#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace pandicube::testing {

// The real window, shown off screen, with a scripted window system.
class Form1Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = std::make_unique<Form1>(windowSystem);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    // Replaces the text of a box the way a user would: select all, then type.
    static void Type(QLineEdit* box, const QString& text)
    {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }

    static void Click(QWidget* control) { QTest::mouseClick(control, Qt::LeftButton); }

    // Ticks or clears a check box by clicking it.
    static void SetChecked(QCheckBox* box, bool checked)
    {
        if (box->isChecked() != checked) Click(box);
        ASSERT_EQ(box->isChecked(), checked);
    }

    // Presses "start"; true when the program ended during the run.
    bool ClickStart()
    {
        try {
            Click(form->Command1);
        } catch (const ProgramEnded&) {
            return true;
        }
        return false;
    }

    static QColor Background(const QLineEdit* box) { return box->palette().color(QPalette::Base); }
    static QColor TextColour(const QLineEdit* box) { return box->palette().color(QPalette::Text); }

    QString ClosingMessageShown() const
    {
        for (const MessageShown& m : windowSystem.messages) {
            if (m.text.startsWith(QStringLiteral("computation terminated"))) return m.text;
        }
        return {};
    }

    ScriptedWindowSystem windowSystem;
    std::unique_ptr<Form1> form;
};

// The question before a run is stopped or the window closed during a run.
inline const QString kTerminate = QStringLiteral("terminate program ?");

inline const QColor kYellow(255, 255, 192);
inline const QColor kLightRed(255, 128, 128);
inline const QColor kWhite(255, 255, 255);
inline const QColor kGreyText(128, 128, 128);

} // namespace pandicube::testing
