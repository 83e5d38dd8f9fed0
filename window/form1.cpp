#include "window/form1.h"

#include "search/engine.h"
#include "search/run_report.h"
#include "window/layout.h"
#include "window/search_thread.h"
#include "window/window_system.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <array>
#include <string>
#include <thread>
#include <vector>

namespace pandicube {

namespace {

const QString kMessageTitle = QStringLiteral("zorvik");

// During a run the window lets pending events run (and so repaints) at least
// this often, and not more often: about the pace of a display.
constexpr std::chrono::milliseconds kEventInterval{20};

QString Decimal(std::int32_t value)
{
    return QString::number(value);
}

// Counts and solution numbers pass 2^31 at large bounds.
QString Decimal(std::int64_t value)
{
    return QString::number(static_cast<qlonglong>(value));
}

std::string TextOf(const QLineEdit* box)
{
    return box->text().toStdString();
}

// Sets the text of a box; a box that shows it already keeps it, since a box
// lays its text out anew at every write (and a run writes four at every outer
// unit).
void WriteBox(QLineEdit* box, const QString& text)
{
    if (box->text() != text) box->setText(text);
}

} // namespace

// What the search reports, shown by the window's procedures; the window's own
// duties come at the same points: the time stamp of every solution, and the
// processing of pending events when it is due.
class Form1::RunReporter : public SearchReporter {
public:
    explicit RunReporter(Form1& form) : form_(form) {}

    void ReportProgress(const Progress& progress) override
    {
        form_.ShowProgress(progress);
        form_.LetEventsRun();
    }
    void ReportSolution(const Solution& solution) override
    {
        form_.StampEndTime();
        form_.ReportSolution(solution);
        form_.LetEventsRun();
    }

private:
    Form1& form_;
};

Form1::Form1(WindowSystem& windowSystem, QWidget* parent)
    : QWidget(parent), windowSystem_(windowSystem), searchThreads_(std::max(1U, std::thread::hardware_concurrency()))
{
    setObjectName(QStringLiteral("Form1"));
    BuildControls();
    SetFocusOrder();
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
}

Form1::~Form1() = default;

// The run sequence: validate, stamp, set up, search, report, reset.
void Form1::Command1_Click()
{
    state_.abortRun = 0;
    ValidateInput();
    if (state_.abortRun != 0) return;
    StampStartTime();
    PrepareSearch();
    ProcessEvents();
    {
        const RepaintHold hold(*this);
        RunPlan plan;
        plan.setup = runSetup_;
        plan.threads = searchThreads_;
        // The loops run on the window's own thread and show its state as it
        // goes; the units run away from it.
        if (!RunsOnUnits(plan)) {
            RunReporter reporter(*this);
            RunEngine(state_, plan, reporter);
        } else {
            SearchOnThreads(plan);
        }
        WriteShownSolution();
    }
    StampEndTime();
    Label7->setText(Decimal(state_.solutionCount));
    ProcessEvents();
    windowSystem_.ShowMessage(this, QString::fromStdString(ClosingMessage(state_.solutionCount)),
                              WindowSystem::Icon::Information, WindowSystem::Buttons::Ok, kMessageTitle);
    ResetAfterRun();
}

// Shows the reports of a search on other threads as they come, exactly as the
// window shows those of a search on its own thread. The window's state follows
// the reports: the outer unit of each progress report, the entries and the
// number of each solution.
void Form1::SearchOnThreads(const RunPlan& plan)
{
    SearchThread search(state_, plan);
    std::vector<ThreadReport> reports;
    for (;;) {
        const bool more = search.Take(reports, kEventInterval);
        for (const ThreadReport& report : reports) {
            if (report.isSolution) {
                state_.e = report.entries;
                state_.solutionCount = report.number;
                StampEndTime();
                ReportSolution({state_.e, report.number, report.bestBound});
            } else {
                state_.e[kE14] = report.e14;
                state_.e[kE18] = report.e18;
                ShowProgress({report.e14, report.e18, state_.solutionCount});
            }
            LetEventsRun();
        }
        if (!more) return;
        // Nothing came for a while: the window answers all the same.
        if (reports.empty()) ProcessEvents();
    }
}

// Processes pending events when the last processing lies kEventInterval back.
void Form1::LetEventsRun()
{
    if (windowSystem_.Now() - eventsRanAt_ >= kEventInterval) ProcessEvents();
}

void Form1::ProcessEvents()
{
    WriteShownSolution();
    HoldCellRepaints(false);
    windowSystem_.ProcessEvents();
    HoldCellRepaints(repaintsHeld_);
    eventsRanAt_ = windowSystem_.Now();
}

// During a run the solution cells take every solution but repaint only when
// events run or a question box opens: far less often than solutions come, and
// a cell that repaints at every new text costs more than writing it.
void Form1::HoldCellRepaints(bool hold)
{
    if (!repaintsHeld_) return;
    for (int i = 1; i <= kEntryCount; ++i) Label11(i)->setUpdatesEnabled(!hold);
}

Form1::RepaintHold::RepaintHold(Form1& form) : form_(form)
{
    form_.repaintsHeld_ = true;
    form_.HoldCellRepaints(true);
}

Form1::RepaintHold::~RepaintHold()
{
    form_.HoldCellRepaints(false);
    form_.repaintsHeld_ = false;
}

// Checks the upper bound and, when the run starts from the yellow cells, the
// four start cells; the first faulty field is marked and reported.
void Form1::ValidateInput()
{
    for (int k : kStartCells) SetBackColor(Text7(k), kStartCellYellow);
    SetBackColor(Text2, kWhite);

    std::array<std::string, 4> start;
    for (std::size_t i = 0; i < start.size(); ++i) start[i] = TextOf(Text7(kStartCells[i]));
    const StartTexts startTexts{start[0], start[1], start[2], start[3]};
    const auto setup = SetUpRun(TextOf(Text2), Check1->isChecked() ? &startTexts : nullptr, Check3->isChecked());
    if (const auto* refusal = std::get_if<SetupRefusal>(&setup)) {
        RefuseField(FieldBox(refusal->field), refusal->error);
        return;
    }
    runSetup_ = std::get<RunSetup>(setup);
}

QLineEdit* Form1::FieldBox(SetupField field) const
{
    switch (field) {
    case SetupField::Bound: return Text2;
    case SetupField::E10: return Text7(10);
    case SetupField::E14: return Text7(14);
    case SetupField::E17: return Text7(17);
    case SetupField::E18: return Text7(18);
    }
    return Text2;
}

void Form1::RefuseField(QLineEdit* field, InputError error)
{
    SetBackColor(field, kLightRed);
    windowSystem_.ShowMessage(
        this,
        QString::fromUtf8(InputErrorMessage(error).data(), static_cast<qsizetype>(InputErrorMessage(error).size())),
        WindowSystem::Icon::Information, WindowSystem::Buttons::Ok, kMessageTitle);
    state_.abortRun = 1;
}

// Sets up the run state from the input that ValidateInput accepted and
// switches the controls to the running state.
void Form1::PrepareSearch()
{
    PrepareSearchState(state_, runSetup_);
    PrepareEntryTexts();

    Command1->setEnabled(false);
    Command1->setVisible(false);
    Command3->setEnabled(false);
    Command3->setVisible(false);
    Check1->setEnabled(false);
    Check3->setEnabled(false);
    MoveTwips(Command2, 7800, 4680);
    Command2->setEnabled(true);
    Command2->setVisible(true);
    for (int k = 1; k <= Text7.kCount; ++k) {
        SetReadOnly(Text7(k));
        SetForeColor(Text7(k), kGrey);
    }
}

// Back to idle after the closing message. The working display stays
// read-only and grey, and Command2 keeps its new place.
void Form1::ResetAfterRun()
{
    Command2->setVisible(false);
    Command2->setEnabled(false);
    Command1->setVisible(true);
    Command1->setEnabled(true);
    Check2->setEnabled(true);
    state_.solutionCount = 0;
    Label7->clear();
    Label10->clear();
    Label4->clear();
    for (int i = 1; i <= kEntryCount; ++i) Label11(i)->clear();
    for (int k = 1; k <= Text7.kCount; ++k) Text7(k)->clear();
    Check1->setEnabled(true);
    Check3->setEnabled(true);
    Text1->clear();
    Command3->setVisible(true);
    Command3->setEnabled(true);
}

QString Form1::TimeStamp()
{
    return windowSystem_.CurrentDateText() + QStringLiteral("    ") + windowSystem_.CurrentTimeText();
}

void Form1::StampStartTime()
{
    Label10->setText(TimeStamp());
}

void Form1::StampEndTime()
{
    Label4->setText(TimeStamp());
}

void Form1::ShowProgress(const Progress& progress)
{
    WriteBox(Text7(10), QString());
    WriteBox(Text7(14), EntryText(progress.e14));
    WriteBox(Text7(17), QString());
    WriteBox(Text7(18), EntryText(progress.e18));
}

// The texts of the values inside the limits are made once per run, when there
// are not too many: a label that takes a shared text needs no new memory.
void Form1::PrepareEntryTexts()
{
    constexpr std::int64_t kMaxTexts = 1 << 16;
    entryTextsFrom_ = state_.lowerLimit + 1;
    entryTexts_.clear();
    if (static_cast<std::int64_t>(state_.upperLimit) - entryTextsFrom_ > kMaxTexts) return;
    for (std::int32_t v = entryTextsFrom_; v < state_.upperLimit; ++v) entryTexts_.push_back(Decimal(v));
}

QString Form1::EntryText(std::int32_t value) const
{
    const std::int64_t i = static_cast<std::int64_t>(value) - entryTextsFrom_;
    if (i >= 0 && i < static_cast<std::int64_t>(entryTexts_.size())) return entryTexts_[static_cast<std::size_t>(i)];
    return Decimal(value);
}

// The solution is shown whenever the window can be seen or asked: its texts
// are written before events run, before a question box opens and at the end
// of the run. Of the solutions that come between two of these only the last
// one could ever be seen, so writing the texts of each would cost the run its
// speed (62 texts per solution, thousands of solutions per second) and change
// nothing on the screen.
void Form1::ShowSolution(const Solution& solution)
{
    shown_ = {solution.entries, solution.number, solution.bestBound};
    shownWritten_ = false;
}

void Form1::WriteShownSolution()
{
    if (shownWritten_) return;
    shownWritten_ = true;
    Label7->setText(Decimal(shown_.number));
    for (int i = 1; i <= kEntryCount; ++i) Label11(i)->setText(EntryText(shown_.entries[static_cast<std::size_t>(i)]));
    if (Check3->isChecked()) Text1->setText(Decimal(shown_.bestBound));
}

// Shows the solution and, when asked to stop at the next solution, lets the
// user go on, stop pausing, or end the program.
void Form1::ReportSolution(const Solution& solution)
{
    ShowSolution(solution);
    if (!Check2->isChecked()) return;
    const int answer = Ask(QStringLiteral("continue stop at next solution ?"), true, kMessageTitle);
    if (answer == WindowSystem::kYes) return;
    Check2->setChecked(false);
    if (answer != WindowSystem::kCancel) return;
    if (Ask(QStringLiteral("terminate program ?"), false, kMessageTitle) == WindowSystem::kYes) {
        windowSystem_.EndProgram(this);
    }
}

int Form1::Ask(const QString& text, bool withCancel, const QString& title)
{
    WriteShownSolution();
    HoldCellRepaints(false);
    const int answer = windowSystem_.ShowMessage(
        this, text, WindowSystem::Icon::Question,
        withCancel ? WindowSystem::Buttons::YesNoCancel : WindowSystem::Buttons::YesNo, title);
    HoldCellRepaints(repaintsHeld_);
    return answer;
}

void Form1::Command2_Click()
{
    StampEndTime();
    if (Ask(QStringLiteral("terminate program ?"), false, kMessageTitle) == WindowSystem::kYes) {
        windowSystem_.EndProgram(this);
        return;
    }
    Label4->clear();
}

void Form1::Command3_Click()
{
    Text7(10)->setText(QStringLiteral("203"));
    Text7(14)->setText(QStringLiteral("-75"));
    Text7(17)->setText(QStringLiteral("-30"));
    Text7(18)->setText(QStringLiteral("-58"));
}

void Form1::Form_QueryUnload(int& cancel, int unloadMode)
{
    StampEndTime();
    if (unloadMode != 0 && unloadMode != 1) return;
    if (Ask(QStringLiteral("terminate program ?"), false, windowTitle()) == WindowSystem::kYes) {
        windowSystem_.EndProgram(this);
        return;
    }
    cancel = 1;
    Label4->clear();
}

void Form1::RequestClose(int unloadMode)
{
    pendingUnloadMode_ = unloadMode;
    close();
}

void Form1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Qt draws focus marks only once the keyboard has moved the focus, and
    // forgets that whenever the window is shown; the window shows the mark on
    // Check2 from the start.
    setAttribute(Qt::WA_KeyboardFocusChange);
}

void Form1::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // The window keeps its one size: a window manager that offers full screen
    // anyway (openbox does, to every normal window) finds it declined at once,
    // and the window keeps its title bar and close box.
    if (event->type() == QEvent::WindowStateChange && windowState().testFlag(Qt::WindowFullScreen)) {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
    }
}

void Form1::closeEvent(QCloseEvent* event)
{
    const int unloadMode = pendingUnloadMode_;
    pendingUnloadMode_ = 0;
    int cancel = 0;
    Form_QueryUnload(cancel, unloadMode);
    if (cancel != 0) {
        event->ignore();
        return;
    }
    // A close without a prompt (end of session, termination request) ends the
    // program as well: no run goes on, and no message box stays open, behind
    // a closed window.
    event->accept();
    windowSystem_.EndProgram(this);
}

} // namespace pandicube
