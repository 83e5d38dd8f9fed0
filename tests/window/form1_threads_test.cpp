#include "search/run_report.h"
#include "tests/support/search_runs.h"
#include "tests/window/form1_fixture.h"

#include <QStringList>

#include <chrono>
#include <vector>

namespace pandicube::testing {
namespace {

using std::chrono::milliseconds;

constexpr std::int32_t kBound = 255; // 24 solutions
const QString kClosing = QString::fromStdString(ClosingMessage(24));

// The count, the outer unit of the working display and the solution display.
QString Display(const QString& count, const QString& e14, const QString& e18, const QStringList& cells)
{
    return count + QStringLiteral(" | ") + e14 + QChar(',') + e18 + QStringLiteral(" | ") + cells.join(QChar(' '));
}

QString DisplayOf(const Form1& form)
{
    QStringList cells;
    for (int k = 1; k <= 62; ++k) cells.append(form.Label11(k)->text());
    return Display(form.Label7->text(), form.Text7(14)->text(), form.Text7(18)->text(), cells);
}

// The displays that the reports of the search on one thread leave, one after
// each report, from the empty display on.
std::vector<QString> DisplaysOfTheSearch()
{
    const test::RecordedRun run = test::RecordRun({kBound});
    QString count, e14, e18;
    QStringList cells(62, QString());
    std::vector<QString> displays{Display(count, e14, e18, cells)};
    for (const test::Report& report : run.reporter.reports) {
        if (report.kind == test::Report::Kind::Progress) {
            e14 = QString::number(report.entries[kE14]);
            e18 = QString::number(report.entries[kE18]);
        } else {
            count = QString::number(report.count);
            for (int k = 1; k <= 62; ++k) cells[k - 1] = QString::number(report.entries[static_cast<std::size_t>(k)]);
        }
        displays.push_back(Display(count, e14, e18, cells));
    }
    return displays;
}

// Whether the whole solution display can repaint at this moment.
bool DisplayRepaints(const Form1& form)
{
    for (int k = 1; k <= 62; ++k) {
        if (!form.Label11(k)->updatesEnabled()) return false;
    }
    return true;
}

class Form1Threads : public Form1Test {
protected:
    // A fresh window at kBound searching on `threads` threads; the scripted
    // clock goes on by `step` at every reading (20 ms: events run after every
    // report, 5 ms: at every fourth).
    void NewWindow(unsigned threads, milliseconds step)
    {
        form = std::make_unique<Form1>(windowSystem);
        form->show();
        form->Text2->setText(QString::number(kBound));
        form->SetSearchThreads(threads);
        windowSystem = {};
        windowSystem.clockStep = step;
    }
};

TEST_F(Form1Threads, ShowEveryReportOfTheSearchInItsOrder)
{
    const std::vector<QString> expected = DisplaysOfTheSearch();
    for (unsigned threads : {1U, 2U, 3U}) {
        SCOPED_TRACE(threads);
        NewWindow(threads, milliseconds(20));
        std::vector<QString> seen;
        windowSystem.onProcessEvents = [&] {
            if (seen.empty() || seen.back() != DisplayOf(*form)) seen.push_back(DisplayOf(*form));
        };
        QString atClosing;
        windowSystem.onMessage = [&](const MessageShown&) { atClosing = DisplayOf(*form); };
        ASSERT_FALSE(ClickStart());
        EXPECT_EQ(seen, expected);
        EXPECT_EQ(atClosing, expected.back());
        EXPECT_EQ(ClosingMessageShown(), kClosing);
    }
}

// A click acts when events run next: the run stops at the first solution after
// it, and a program ended there shows no later solution.
struct ClickDuringARun {
    const char* name;
    int answer;           // to the one question box
    int promptAfterClick; // solutions shown between the click and the question box
    void (*click)(Form1& form);
};

const ClickDuringARun kClicks[] = {
    {"stop at next solution, No", WindowSystem::kNo, 1, [](Form1& f) { f.Check2->click(); }},
    {"stop button, Yes", WindowSystem::kYes, 0, [](Form1& f) { f.Command2->click(); }},
    {"stop button, No", WindowSystem::kNo, 0, [](Form1& f) { f.Command2->click(); }},
    {"close box, Yes", WindowSystem::kYes, 0, [](Form1& f) { f.close(); }},
};

TEST_F(Form1Threads, ClicksActAtTheFirstSolutionAfterThem)
{
    for (unsigned threads : {1U, 2U, 3U}) {
        for (const ClickDuringARun& row : kClicks) {
            SCOPED_TRACE(::testing::Message() << row.name << ", " << threads << " threads");
            NewWindow(threads, milliseconds(5));
            windowSystem.answers = {row.answer};
            int atClick = 0;
            windowSystem.onProcessEvents = [&] {
                EXPECT_TRUE(DisplayRepaints(*form));
                if (atClick > 0 || !form->Command2->isVisible() || form->Label7->text().toInt() < 3) return;
                atClick = form->Label7->text().toInt();
                row.click(*form);
            };
            int atQuestion = 0;
            windowSystem.onMessage = [&](const MessageShown& shown) {
                EXPECT_TRUE(DisplayRepaints(*form));
                if (shown.icon == WindowSystem::Icon::Question) atQuestion = form->Label7->text().toInt();
            };
            const bool ended = ClickStart();
            ASSERT_GT(atClick, 0);
            ASSERT_LT(atClick, 24);
            EXPECT_EQ(atQuestion, atClick + row.promptAfterClick);
            EXPECT_EQ(ended, row.answer == WindowSystem::kYes);
            if (ended) {
                EXPECT_EQ(form->Label7->text().toInt(), atClick);
            }
            EXPECT_EQ(ClosingMessageShown(), ended ? QString() : kClosing);
        }
    }
}

} // namespace
} // namespace pandicube::testing
