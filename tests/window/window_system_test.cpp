#include "window/window_system.h"

#include <QDate>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPalette>
#include <QPushButton>
#include <QTime>

#include <gtest/gtest.h>

#include <ctime>

namespace pandicube {
namespace {

TEST(TimeStampTexts, AreZeroFilledMonthDayYearAndTwentyFourHourTime)
{
    EXPECT_EQ(DateText(QDate(2013, 1, 9)), QStringLiteral("01-09-2013"));
    EXPECT_EQ(DateText(QDate(2024, 12, 31)), QStringLiteral("12-31-2024"));
    EXPECT_EQ(TimeText(QTime(14, 5, 33)), QStringLiteral("14:05:33"));
    EXPECT_EQ(TimeText(QTime(0, 0, 7)), QStringLiteral("00:00:07"));
}

TEST(TimeStampTexts, DoNotDependOnTheLocale)
{
    const QLocale previous;
    for (const char* name : {"de_DE", "ar_EG", "hi_IN", "en_US"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        EXPECT_EQ(DateText(QDate(2013, 1, 9)), QStringLiteral("01-09-2013")) << name;
        EXPECT_EQ(TimeText(QTime(23, 59, 0)), QStringLiteral("23:59:00")) << name;
    }
    QLocale::setDefault(previous);
}

TEST(TimeStampTexts, AreTheLocalDateAndTimeAtTheCall)
{
    // Far from UTC, so that a stamp in UTC shows; a new second may begin
    // between the readings.
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "XST-5:30");
    tzset();
    QtWindowSystem windowSystem;
    const QDateTime before = QDateTime::currentDateTime();
    const QString stamp = windowSystem.CurrentDateText() + windowSystem.CurrentTimeText();
    const QDateTime after = QDateTime::currentDateTime();
    EXPECT_TRUE(stamp == DateText(before.date()) + TimeText(before.time()) ||
                stamp == DateText(after.date()) + TimeText(after.time()))
        << stamp.toStdString();
    zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
    tzset();
}

TEST(ControlOperations, ColoursAreGivenAsBlueGreenRed)
{
    QLineEdit box;
    SetBackColor(&box, 0x8080FF);
    SetForeColor(&box, 0x808080);
    EXPECT_EQ(box.palette().color(QPalette::Base), QColor(255, 128, 128));
    EXPECT_EQ(box.palette().color(QPalette::Text), QColor(128, 128, 128));

    QLabel label;
    SetBackColor(&label, 0xC0E0FF);
    SetForeColor(&label, 0xFF0000);
    EXPECT_EQ(label.palette().color(QPalette::Window), QColor(255, 224, 192));
    EXPECT_TRUE(label.autoFillBackground());
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 0, 255));
}

TEST(ControlOperations, ReadOnlyBoxesStillTakeTheProgramsText)
{
    QLineEdit box;
    SetReadOnly(&box);
    box.setText(QStringLiteral("203"));
    EXPECT_TRUE(box.isReadOnly());
    EXPECT_EQ(box.text(), QStringLiteral("203"));
}

TEST(ControlOperations, MovingKeepsTheSize)
{
    QPushButton button;
    button.setGeometry(520, 352, 53, 33);
    MoveTwips(&button, 7800, 4680);
    EXPECT_EQ(button.geometry(), QRect(520, 312, 53, 33));
}

} // namespace
} // namespace pandicube
