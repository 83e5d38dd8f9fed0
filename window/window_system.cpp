#include "window/window_system.h"

#include <QApplication>
#include <QColor>
#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QScreen>
#include <QSpacerItem>
#include <QTime>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace pandicube {

namespace {

QColor ColorFromBgr(std::uint32_t bgr)
{
    return QColor(static_cast<int>(bgr & 0xFFu), static_cast<int>((bgr >> 8) & 0xFFu),
                  static_cast<int>((bgr >> 16) & 0xFFu));
}

// A message box is only as wide as its text and buttons, but the window
// manager sets the title in a title bar beside an icon and three buttons: a
// short text under a title such as "zorvik" would leave the title only "...".
// The box is made wide enough for its whole title in the bold title font and
// eight lines' height of decorations, but never wider than the screen's free
// area.
void MakeRoomForTitle(QMessageBox& box)
{
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    int width = metrics.horizontalAdvance(box.windowTitle()) + 8 * metrics.height();
    if (const QScreen* screen = box.screen()) width = std::min(width, screen->availableGeometry().width() * 3 / 4);
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) return;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

} // namespace

int QtWindowSystem::ShowMessage(QWidget* owner, const QString& text, Icon icon, Buttons buttons, const QString& title)
{
    QMessageBox box(icon == Icon::Information ? QMessageBox::Information : QMessageBox::Question, title, text,
                    QMessageBox::NoButton, owner);
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    box.setWindowModality(Qt::ApplicationModal);
    MakeRoomForTitle(box);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Yes: return kYes;
    case QMessageBox::No: return kNo;
    case QMessageBox::Cancel: return kCancel;
    default: return kOk;
    }
}

void QtWindowSystem::ProcessEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtWindowSystem::ReadClock()
{
    const std::int64_t second =
        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()).time_since_epoch().count();
    if (second == clockSecond_) return;
    clockSecond_ = second;
    const QDateTime local = QDateTime::fromSecsSinceEpoch(second);
    dateText_ = DateText(local.date());
    timeText_ = TimeText(local.time());
}

QString QtWindowSystem::CurrentDateText()
{
    ReadClock();
    return dateText_;
}

QString QtWindowSystem::CurrentTimeText()
{
    ReadClock();
    return timeText_;
}

std::chrono::steady_clock::time_point QtWindowSystem::Now()
{
    return std::chrono::steady_clock::now();
}

void QtWindowSystem::EndProgram(QWidget* window)
{
    // Hiding (not closing) the window: a close would ask its close handler
    // again. Nothing else of the program runs after this.
    if (window != nullptr) window->hide();
    std::fflush(nullptr);
    std::_Exit(0);
}

// Formats given as text always use the C locale: ASCII digits, whatever the
// user's locale.
QString DateText(const QDate& date)
{
    return date.toString(u"MM-dd-yyyy");
}

QString TimeText(const QTime& time)
{
    return time.toString(u"HH:mm:ss");
}

void SetBackColor(QWidget* control, std::uint32_t bgr)
{
    QPalette palette = control->palette();
    const QColor color = ColorFromBgr(bgr);
    if (qobject_cast<QLineEdit*>(control) != nullptr) {
        palette.setColor(QPalette::Base, color);
    } else {
        // Buttons and check boxes fill their background from the Button role.
        palette.setColor(QPalette::Window, color);
        palette.setColor(control->backgroundRole(), color);
        control->setAutoFillBackground(true);
    }
    control->setPalette(palette);
}

void SetForeColor(QWidget* control, std::uint32_t bgr)
{
    QPalette palette = control->palette();
    const QColor color = ColorFromBgr(bgr);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::WindowText, color);
    control->setPalette(palette);
}

void SetReadOnly(QLineEdit* box)
{
    box->setReadOnly(true);
}

void MoveTwips(QWidget* control, int leftTwips, int topTwips)
{
    control->move(Pixels(leftTwips), Pixels(topTwips));
}

} // namespace pandicube
