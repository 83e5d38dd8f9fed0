#pragma once

#include <QString>

#include <chrono>
#include <cstdint>

class QDate;
class QLineEdit;
class QTime;
class QWidget;

namespace pandicube {

// The operations of the window system that the window relies on and that a
// test must be able to script: modal message boxes, the processing of pending
// events, the clock, and ending the program. The real program uses
// QtWindowSystem; tests answer the boxes and observe the end themselves.
class WindowSystem {
public:
    enum class Icon { Information, Question };
    enum class Buttons { Ok, YesNo, YesNoCancel };

    // Results of a message box, as the window's handlers compare them.
    static constexpr int kOk = 1;
    static constexpr int kCancel = 2;
    static constexpr int kYes = 6;
    static constexpr int kNo = 7;

    virtual ~WindowSystem() = default;

    // Shows a modal message box over `owner` and waits for the answer:
    // kOk, kCancel, kYes or kNo.
    virtual int ShowMessage(QWidget* owner, const QString& text, Icon icon, Buttons buttons, const QString& title) = 0;
    // Handles every pending event, then returns at once; never waits.
    virtual void ProcessEvents() = 0;
    // "MM-dd-yyyy" and "hh:mm:ss" (24-hour clock), whatever the locale.
    virtual QString CurrentDateText() = 0;
    virtual QString CurrentTimeText() = 0;
    // A clock that only goes forward, for the pace of the event processing.
    virtual std::chrono::steady_clock::time_point Now() = 0;
    // Closes `window` and ends the program at once, from wherever it is
    // called; no further handler of the program runs.
    virtual void EndProgram(QWidget* window) = 0;
};

// The window system of the real program, over Qt.
class QtWindowSystem : public WindowSystem {
public:
    int ShowMessage(QWidget* owner, const QString& text, Icon icon, Buttons buttons, const QString& title) override;
    void ProcessEvents() override;
    QString CurrentDateText() override;
    QString CurrentTimeText() override;
    std::chrono::steady_clock::time_point Now() override;
    [[noreturn]] void EndProgram(QWidget* window) override;

private:
    // The local date and time of the second read last: a window stamps every
    // solution, and the local time costs a look at the time zone each time.
    void ReadClock();

    std::int64_t clockSecond_ = -1;
    QString dateText_;
    QString timeText_;
};

// Date and time texts of the time stamps, in fixed formats that no locale takes
// part in: month-day-year with hyphens, hours:minutes:seconds (24-hour clock).
QString DateText(const QDate& date);
QString TimeText(const QTime& time);

// Positions and sizes of the layout are in twips; 15 twips make one pixel.
inline constexpr int kTwipsPerPixel = 15;
constexpr int Pixels(int twips)
{
    return twips / kTwipsPerPixel;
}

// The control operations of the window. Colours are given as 0x00BBGGRR.
void SetBackColor(QWidget* control, std::uint32_t bgr);
void SetForeColor(QWidget* control, std::uint32_t bgr);
// The user can no longer type into the box; the program can still write it.
void SetReadOnly(QLineEdit* box);
// Moves a control to a new left and top, in twips; its size stays.
void MoveTwips(QWidget* control, int leftTwips, int topTwips);

} // namespace pandicube
