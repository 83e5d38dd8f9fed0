#include "tests/window/form1_fixture.h"

#include <QApplication>
#include <QFontInfo>
#include <QFrame>
#include <QIcon>
#include <QRect>

#include <vector>

namespace pandicube::testing {
namespace {

// Twips of the layout to the pixels of the window, 15 to one.
QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

// The window as it opens: its controls, their places, texts and order.
class Form1Layout : public Form1Test {};

TEST_F(Form1Layout, WindowHasItsTitleAndAFixedClientArea)
{
    EXPECT_EQ(form->windowTitle(),
              QStringLiteral("\"centralsymmetric\" perfect magic 5x5x5 cubes, outer planes pandiagonal"));
    EXPECT_EQ(form->size(), QSize(651, 493));
    EXPECT_EQ(form->minimumSize(), QSize(651, 493));
    EXPECT_EQ(form->maximumSize(), QSize(651, 493));
    EXPECT_EQ(form->objectName(), QStringLiteral("Form1"));
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(255, 224, 192));
    EXPECT_EQ(form->font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_DOUBLE_EQ(form->font().pointSizeF(), 8.25);
}

TEST_F(Form1Layout, SingleControlsStandInTheirRectangles)
{
    struct Expected {
        QWidget* control;
        const char* name;
        QRect rect;
    };
    const std::vector<Expected> controls{
        {form->Label13, "Label13", TwipsRect(1080, 105, 1335, 255)},
        {form->Label15, "Label15", TwipsRect(7440, 105, 1455, 255)},
        {form->Label7, "Label7", TwipsRect(7560, 2400, 1215, 180)},
        {form->Label6, "Label6", TwipsRect(6600, 2760, 1335, 375)},
        {form->Check2, "Check2", TwipsRect(8040, 2880, 255, 255)},
        {form->Text1, "Text1", TwipsRect(8040, 3360, 615, 285)},
        {form->Label10, "Label10", TwipsRect(120, 3600, 1890, 180)},
        {form->Label4, "Label4", TwipsRect(3360, 3600, 1830, 165)},
        {form->Label16, "Label16", TwipsRect(1080, 4080, 1215, 255)},
        {form->Text2, "Text2", TwipsRect(5520, 4635, 615, 285)},
        {form->Check3, "Check3", TwipsRect(5520, 5160, 255, 195)},
        {form->Check1, "Check1", TwipsRect(5520, 5760, 255, 255)},
        {form->Command3, "Command3", TwipsRect(3360, 6120, 1455, 375)},
        {form->Command1, "Command1", TwipsRect(7800, 4560, 795, 495)},
        {form->Command2, "Command2", TwipsRect(7800, 5280, 795, 495)},
        {form->Label3, "Label3", TwipsRect(7440, 7200, 1815, 255)},
        {form->Line1, "Line1", QRect(0, 264, 648, 1)},
        {form->Line2, "Line2", QRect(432, 264, 1, 232)},
    };
    for (const Expected& e : controls) {
        SCOPED_TRACE(e.name);
        ASSERT_NE(e.control, nullptr);
        EXPECT_EQ(e.control->objectName(), QString::fromLatin1(e.name));
        EXPECT_EQ(form->findChild<QWidget*>(QString::fromLatin1(e.name)), e.control);
        EXPECT_EQ(e.control->geometry(), e.rect);
    }
}

TEST_F(Form1Layout, SolutionDisplayIsThreeGridsOfPlanesOneToThree)
{
    struct Cell {
        int index;
        int left;
        int top;
    };
    // Entries 1, 10, 13, 14, 17, 18 of plane 1, the corners and centre of
    // plane 2, the first and last entry of plane 3, and the centre of the cube.
    const std::vector<Cell> cells{{1, 120, 360},    {10, 2520, 960},  {13, 1320, 1560}, {14, 1920, 1560},
                                  {17, 720, 2160},  {18, 1320, 2160}, {25, 2520, 2760}, {26, 3360, 360},
                                  {38, 4560, 1560}, {51, 6600, 360},  {62, 7200, 1560}, {63, 7800, 1560}};
    for (const Cell& c : cells) {
        SCOPED_TRACE(c.index);
        QLabel* label = form->Label11(c.index);
        EXPECT_EQ(label->objectName(), QStringLiteral("Label11(%1)").arg(c.index));
        EXPECT_EQ(label->geometry(), TwipsRect(c.left, c.top, 600, 600));
    }
    for (int k = 1; k <= 63; ++k) {
        SCOPED_TRACE(k);
        QLabel* label = form->Label11(k);
        EXPECT_EQ(label->alignment(), Qt::AlignCenter);
        EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 9.75);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), k == 63 ? QColor(255, 0, 0) : QColor(0, 0, 255));
        EXPECT_EQ(label->text(), k == 63 ? QStringLiteral("63") : QString());
    }
}

TEST_F(Form1Layout, WorkingDisplayRepeatsPlaneOneBelow)
{
    for (int k = 1; k <= 25; ++k) {
        SCOPED_TRACE(k);
        QLineEdit* cell = form->Text7(k);
        EXPECT_EQ(cell->objectName(), QStringLiteral("Text7(%1)").arg(k));
        EXPECT_EQ(cell->geometry(), form->Label11(k)->geometry().translated(0, 3960 / 15));
        EXPECT_TRUE(cell->text().isEmpty());
        EXPECT_EQ(cell->alignment(), Qt::AlignCenter);
    }
    EXPECT_EQ(form->Text7(1)->geometry(), TwipsRect(120, 4320, 600, 600));
    EXPECT_EQ(form->Text7(25)->geometry(), TwipsRect(2520, 6720, 600, 600));

    for (int k : {10, 14, 17, 18}) {
        EXPECT_EQ(Background(form->Text7(k)), kYellow) << k;
        EXPECT_FALSE(form->Text7(k)->isReadOnly()) << k;
    }
    for (int k : {1, 2, 3, 9, 15, 16}) {
        EXPECT_EQ(Background(form->Text7(k)), kWhite) << k;
        EXPECT_FALSE(form->Text7(k)->isReadOnly()) << k;
    }
    for (int k : {4, 5, 6, 7, 8, 11, 12, 13, 19, 20, 21, 22, 23, 24, 25}) {
        EXPECT_TRUE(form->Text7(k)->isReadOnly()) << k;
    }
}

TEST_F(Form1Layout, OpensIdleWithTheStopButtonHidden)
{
    EXPECT_TRUE(form->Command1->isVisible());
    EXPECT_TRUE(form->Command1->isEnabled());
    EXPECT_FALSE(form->Command2->isVisible());
    EXPECT_FALSE(form->Command2->isEnabled());
    EXPECT_TRUE(form->Command3->isVisible());
    for (QCheckBox* box : {form->Check1, form->Check2, form->Check3}) {
        EXPECT_FALSE(box->isChecked());
        EXPECT_TRUE(box->isEnabled());
        EXPECT_TRUE(box->text().isEmpty());
    }
    EXPECT_EQ(form->Text2->text(), QStringLiteral("300"));
    EXPECT_EQ(Background(form->Text2), kWhite);
    EXPECT_TRUE(form->Text1->text().isEmpty());
    EXPECT_TRUE(form->Text1->isReadOnly());
    for (QLabel* label : {form->Label7, form->Label10, form->Label4}) EXPECT_TRUE(label->text().isEmpty());
    EXPECT_EQ(form->Label4->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    EXPECT_EQ(form->Label8->palette().color(QPalette::WindowText), QColor(192, 192, 255));
    EXPECT_EQ(form->Label3->palette().color(QPalette::WindowText), QColor(192, 192, 255));
    EXPECT_TRUE(form->Label8->text().startsWith(QStringLiteral("Pandicube ")));
    EXPECT_EQ(form->Label3->text(), QStringLiteral("https://pandicube.org/"));
    EXPECT_EQ(form->Label9->text(), QStringLiteral("start with upper bound (>=255) .  .  .  .  .  .  .  .  .  .  ."));
    EXPECT_EQ(form->Label16->text(), QStringLiteral(" working display"));
    EXPECT_EQ(form->Command1->text(), QStringLiteral("start"));
    EXPECT_TRUE(form->Command1->font().bold());
    EXPECT_DOUBLE_EQ(form->Command1->font().pointSizeF(), 9.75);
    EXPECT_EQ(form->Command1->font().family(), QStringLiteral("System"));
}

// The stand-in fonts set every caption inside its rectangle: every line of a
// wrapped caption stands in its label down to the baseline, where the dots of
// the leaders sit (descenders may touch the edge); a one-line label and a
// button show their caption without clipping it.
TEST_F(Form1Layout, EveryCaptionFitsItsRectangle)
{
    int captions = 0;
    for (QLabel* label : form->findChildren<QLabel*>()) {
        if (label->text().isEmpty()) continue;
        ++captions;
        SCOPED_TRACE(label->objectName().toStdString() + " in " + QFontInfo(label->font()).family().toStdString());
        if (label->wordWrap()) {
            const QFontMetrics metrics = label->fontMetrics();
            const int lines = label->heightForWidth(label->width()) / metrics.lineSpacing();
            EXPECT_LE((lines - 1) * metrics.lineSpacing() + metrics.ascent(), label->height()) << lines << " lines";
        } else {
            EXPECT_LE(label->sizeHint().width(), label->width());
        }
    }
    for (QPushButton* button : form->findChildren<QPushButton*>()) {
        ++captions;
        SCOPED_TRACE(button->objectName().toStdString() + " in " + QFontInfo(button->font()).family().toStdString());
        EXPECT_LT(button->fontMetrics().horizontalAdvance(button->text()), button->width() - 8);
    }
    EXPECT_EQ(captions, 12 + 1 + 3); // the single labels with text, the centre cell, the buttons
}

TEST_F(Form1Layout, ShowsTheProgramIconInEverySizeDrawnForIt)
{
    const QList<QSize> sizes = form->windowIcon().availableSizes();
    for (int size : {16, 32, 48, 64, 128, 256}) EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
}

TEST_F(Form1Layout, FocusStartsOnCheck2AndFollowsTheTabOrder)
{
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), form->Check2);

    // Command2 is hidden, so Tab skips it.
    std::vector<QWidget*> expected{form->Command1};
    for (int k = 1; k <= 25; ++k) expected.push_back(form->Text7(k));
    expected.insert(expected.end(),
                    {form->Text2, form->Check1, form->Command3, form->Text1, form->Check3, form->Check2});
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
}

TEST_F(Form1Layout, OnlyTheEditableCellsTakeTyping)
{
    Type(form->Text7(4), QStringLiteral("12"));
    Type(form->Text1, QStringLiteral("12"));
    Type(form->Text7(14), QStringLiteral("-75"));
    Type(form->Text7(9), QStringLiteral("9"));
    EXPECT_TRUE(form->Text7(4)->text().isEmpty());
    EXPECT_TRUE(form->Text1->text().isEmpty());
    EXPECT_EQ(form->Text7(14)->text(), QStringLiteral("-75"));
    EXPECT_EQ(form->Text7(9)->text(), QStringLiteral("9"));
}

TEST_F(Form1Layout, DefaultValuesFillTheStartCellsOnly)
{
    Click(form->Command3);
    EXPECT_EQ(form->Text7(10)->text(), QStringLiteral("203"));
    EXPECT_EQ(form->Text7(14)->text(), QStringLiteral("-75"));
    EXPECT_EQ(form->Text7(17)->text(), QStringLiteral("-30"));
    EXPECT_EQ(form->Text7(18)->text(), QStringLiteral("-58"));
    EXPECT_FALSE(form->Check1->isChecked());
    for (int k = 1; k <= 25; ++k) {
        if (k != 10 && k != 14 && k != 17 && k != 18) {
            EXPECT_TRUE(form->Text7(k)->text().isEmpty()) << k;
        }
    }
    EXPECT_TRUE(windowSystem.messages.empty());
}

} // namespace
} // namespace pandicube::testing
