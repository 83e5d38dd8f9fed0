#include "search/run_report.h"
#include "tests/support/search_runs.h"
#include "tests/window/form1_fixture.h"

#include <QStringList>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace pandicube::testing {
namespace {

using std::chrono::milliseconds;

constexpr std::int32_t kBound = 255;

// What the window shows of a run: the count, the outer unit in the working
// display and the solution display.
struct Shown {
    QString count;
    QString e14;
    QString e18;
    QStringList cells;

    friend bool operator==(const Shown&, const Shown&) = default;
};

void PrintTo(const Shown& shown, std::ostream* out)
{
    *out << "solution " << shown.count.toStdString() << " unit " << shown.e14.toStdString() << ", "
         << shown.e18.toStdString() << " cells " << shown.cells.join(QChar(' ')).toStdString();
}

Shown ShownBy(const Form1& form)
{
    Shown shown{form.Label7->text(), form.Text7(14)->text(), form.Text7(18)->text(), {}};
    for (int k = 1; k <= 62; ++k) shown.cells.append(form.Label11(k)->text());
    return shown;
}

// The displays that the reports of the search on the window's thread leave,
// one after each report, from the empty display on.
std::vector<Shown> DisplaysOfTheSearch()
{
    const test::RecordedRun run = test::RecordRun({kBound});
    std::vector<Shown> displays{{QString(), QString(), QString(), QStringList(62, QString())}};
    for (const test::Report& report : run.reporter.reports) {
        Shown next = displays.back();
        if (report.kind == test::Report::Kind::Progress) {
            next.e14 = QString::number(report.entries[kE14]);
            next.e18 = QString::number(report.entries[kE18]);
        } else {
            next.count = QString::number(report.count);
            for (int k = 1; k <= 62; ++k)
                next.cells[k - 1] = QString::number(report.entries[static_cast<std::size_t>(k)]);
        }
        displays.push_back(next);
    }
    return displays;
}

struct ThreadedRun {
    unsigned threads;
    milliseconds clockStep; // 20 ms: events run after every report; 0: only when nothing comes
};

class Form1Threads : public Form1Test, public ::testing::WithParamInterface<ThreadedRun> {
protected:
    void SetUp() override
    {
        Form1Test::SetUp();
        Type(form->Text2, QString::number(kBound));
        form->SetSearchThreads(GetParam().threads);
        windowSystem.clockStep = GetParam().clockStep;
    }
};

TEST_P(Form1Threads, ShowsTheReportsOfTheSearchInItsOrder)
{
    std::vector<Shown> seen;
    windowSystem.onProcessEvents = [&] {
        if (seen.empty() || !(seen.back() == ShownBy(*form))) seen.push_back(ShownBy(*form));
    };
    std::vector<Shown> atClosing;
    windowSystem.onMessage = [&](const MessageShown&) { atClosing.push_back(ShownBy(*form)); };
    ASSERT_FALSE(ClickStart());

    const std::vector<Shown> expected = DisplaysOfTheSearch();
    ASSERT_EQ(atClosing.size(), 1u);
    EXPECT_EQ(atClosing[0], expected.back());
    EXPECT_EQ(windowSystem.messages[0].text, QString::fromStdString(ClosingMessage(24)));
    if (GetParam().clockStep >= milliseconds(20)) {
        EXPECT_EQ(seen, expected);
    } else {
        // What the window showed whenever events ran, in the search's order.
        auto next = expected.begin();
        for (const Shown& shown : seen) {
            next = std::find(next, expected.end(), shown);
            ASSERT_NE(next, expected.end()) << ::testing::PrintToString(shown);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, Form1Threads,
                         ::testing::Values(ThreadedRun{1, milliseconds(20)}, ThreadedRun{2, milliseconds(20)},
                                           ThreadedRun{3, milliseconds(20)}, ThreadedRun{2, milliseconds(0)}),
                         [](const ::testing::TestParamInfo<ThreadedRun>& run) {
                             return std::to_string(run.param.threads) + "threads_clockStep" +
                                    std::to_string(run.param.clockStep.count()) + "ms";
                         });

// The window acts on a click when events run next; the run stops at the first
// solution after that, and a program ended there shows no later solution.
struct ClickDuringARun {
    const char* name;
    int answer;           // to the one question box
    bool ends;            // the answer ends the program
    int promptAfterClick; // solutions shown between the click and the question box
    void (*click)(Form1& form);
};

const ClickDuringARun kClicks[] = {
    {"stop at next solution, then No", WindowSystem::kNo, false, 1, [](Form1& f) { f.Check2->click(); }},
    {"stop button, Yes", WindowSystem::kYes, true, 0, [](Form1& f) { f.Command2->click(); }},
    {"stop button, No", WindowSystem::kNo, false, 0, [](Form1& f) { f.Command2->click(); }},
    {"close box, Yes", WindowSystem::kYes, true, 0, [](Form1& f) { f.close(); }},
};

TEST_F(Form1Test, ClicksDuringAThreadedRunActAtTheFirstSolutionAfterThem)
{
    for (unsigned threads : {1U, 2U, 3U}) {
        for (const ClickDuringARun& row : kClicks) {
            SCOPED_TRACE(::testing::Message() << row.name << ", " << threads << " threads");
            Form1 window(windowSystem);
            window.show();
            window.Text2->setText(QString::number(kBound));
            window.SetSearchThreads(threads);
            windowSystem.messages.clear();
            windowSystem.answers = {row.answer};
            windowSystem.clockStep = milliseconds(5); // events run at every fourth report
            int atClick = 0;
            windowSystem.onProcessEvents = [&] {
                if (atClick > 0 || !window.Command2->isVisible() || window.Label7->text().toInt() < 3) return;
                atClick = window.Label7->text().toInt();
                row.click(window);
            };
            int atQuestion = 0;
            windowSystem.onMessage = [&](const MessageShown& shown) {
                if (shown.icon == WindowSystem::Icon::Question) atQuestion = window.Label7->text().toInt();
            };
            bool ended = false;
            try {
                window.Command1->click();
            } catch (const ProgramEnded&) {
                ended = true;
            }
            ASSERT_GT(atClick, 0);
            ASSERT_LT(atClick, 24);
            EXPECT_EQ(atQuestion, atClick + row.promptAfterClick);
            EXPECT_EQ(ended, row.ends);
            if (row.ends) {
                EXPECT_EQ(window.Label7->text().toInt(), atClick);
                EXPECT_EQ(windowSystem.messages.size(), 1u);
            } else {
                EXPECT_EQ(windowSystem.messages.back().text, QString::fromStdString(ClosingMessage(24)));
            }
            windowSystem.onProcessEvents = nullptr;
            windowSystem.onMessage = nullptr;
        }
    }
}

} // namespace
} // namespace pandicube::testing
