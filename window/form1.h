#pragma once

#include "search/engine.h"
#include "search/input_rules.h"
#include "search/loops/search_state.h"
#include "search/run_setup.h"
#include "search/search_reporter.h"

#include <QWidget>

#include <array>
#include <cassert>
#include <chrono>
#include <cstdint>
#include <vector>

class QCheckBox;
class QCloseEvent;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

namespace pandicube {

class WindowSystem;

// A row of controls of one kind, indexed from 1 to N like the cells they show.
template <typename Control, int N>
class ControlArray {
public:
    static constexpr int kCount = N;

    Control* operator()(int index) const
    {
        assert(index >= 1 && index <= N);
        return elements_[static_cast<std::size_t>(index - 1)];
    }
    void Place(int index, Control* control) { elements_[static_cast<std::size_t>(index - 1)] = control; }

private:
    std::array<Control*, N> elements_{};
};

// The program's one window: the solution display, the working display, the
// run options and the buttons, and the run sequence behind the start button.
// A run goes on synchronously inside Command1_Click; the window answers the
// user only where the run lets pending events run. A run without start values
// and without bound reduction is searched on other threads while the window's
// thread shows its reports, in the order of the search; every other run is
// searched on the window's thread.
class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(WindowSystem& windowSystem, QWidget* parent = nullptr);
    ~Form1() override;

    // The four event handlers.
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    // Decides on a request to close the window; unloadMode 0 the user, 1 the
    // program's own code, 2 the end of the desktop session, 3 a termination
    // request from outside. A non-zero cancel keeps the window open.
    void Form_QueryUnload(int& cancel, int unloadMode);

    // Closes the window for a reason other than the user's (unloadMode 2 or 3).
    void RequestClose(int unloadMode);

    const SearchState& State() const { return state_; }

    // The threads that search a run without start values and without bound
    // reduction; from the next run on. At first the machine's cores.
    void SetSearchThreads(unsigned threads) { searchThreads_ = threads; }

    // The controls, by their names (the same names are their object names).
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* Label16 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check3 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QFrame* Line1 = nullptr;
    QFrame* Line2 = nullptr;
    ControlArray<QLineEdit, 25> Text7; // the working display, plane 1
    ControlArray<QLabel, 63> Label11;  // the solution display, entries 1..62 and the centre

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class RunReporter;
    // Holds the cells' repaints back for as long as it lives.
    class RepaintHold {
    public:
        explicit RepaintHold(Form1& form);
        ~RepaintHold();
        RepaintHold(const RepaintHold&) = delete;
        RepaintHold& operator=(const RepaintHold&) = delete;

    private:
        Form1& form_;
    };

    void BuildControls();
    void SetFocusOrder();

    void ValidateInput();
    QLineEdit* FieldBox(SetupField field) const;
    void RefuseField(QLineEdit* field, InputError error);
    void PrepareSearch();
    void SearchOnThreads(const RunPlan& plan);
    void LetEventsRun();
    void ProcessEvents();
    void HoldCellRepaints(bool hold);
    void ResetAfterRun();
    void StampStartTime();
    void StampEndTime();
    QString TimeStamp();
    void ShowProgress(const Progress& progress);
    void PrepareEntryTexts();
    QString EntryText(std::int32_t value) const;
    void ShowSolution(const Solution& solution);
    void WriteShownSolution();
    void ReportSolution(const Solution& solution);
    int Ask(const QString& text, bool withCancel, const QString& title);

    WindowSystem& windowSystem_;
    SearchState state_;
    RunSetup runSetup_;         // the input of the next run, as ValidateInput accepted it
    int pendingUnloadMode_ = 0; // reason of the next close event; 0 the user
    unsigned searchThreads_;
    std::vector<QString> entryTexts_; // the texts of entryTextsFrom_, entryTextsFrom_ + 1, ...
    std::int32_t entryTextsFrom_ = 0;
    std::chrono::steady_clock::time_point eventsRanAt_; // the last processing of events
    bool repaintsHeld_ = false;                         // a run holds the cells' repaints back between processings
    // The latest solution, until its texts are written (WriteShownSolution).
    struct ShownSolution {
        Entries entries{};
        std::int64_t number = 0;
        std::int32_t bestBound = 0;
    };
    ShownSolution shown_;
    bool shownWritten_ = true;
};

} // namespace pandicube
