// The window at the moment it opens: every control with its name, text,
// rectangle (in twips), colours, font and place in the focus order.

#include "window/form1.h"

#include "pandicube/version.h"
#include "search/cells.h"
#include "window/layout.h"
#include "window/window_system.h"

#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>

#include <vector>

namespace pandicube {

namespace {

struct Twips {
    int left;
    int top;
    int width;
    int height;
};

void Place(QWidget* control, const QString& name, Twips r)
{
    control->setObjectName(name);
    control->setGeometry(Pixels(r.left), Pixels(r.top), Pixels(r.width), Pixels(r.height));
}

QFont Font(const char* family, double points, bool bold = false)
{
    QFont font(QString::fromLatin1(family));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Rectangles of this height and more hold two lines of the window's font.
constexpr int kTwoLineHeight = 375;

// A caption drawn from its top-left corner. It wraps at word boundaries where
// its rectangle holds a second line; a one-line rectangle clips instead, so a
// slightly wider fallback font never leaves a half-visible second line.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, Twips r)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(r.height >= kTwoLineHeight);
    label->setMargin(0);
    Place(label, QString::fromLatin1(name), r);
    return label;
}

QLineEdit* MakeTextBox(QWidget* parent, const char* name, Twips r)
{
    auto* box = new QLineEdit(parent);
    Place(box, QString::fromLatin1(name), r);
    return box;
}

// Only as wide as its box: the label to its left describes it.
QCheckBox* MakeCheckBox(QWidget* parent, const char* name, Twips r)
{
    auto* box = new QCheckBox(parent);
    Place(box, QString::fromLatin1(name), r);
    SetBackColor(box, kPanelColour);
    return box;
}

// The application's style with the check box indicator of the layout, 13 by
// 13 pixels: the styles' own (14 and more) does not fit Check3, which is only
// 13 pixels high.
class CheckBoxStyle : public QProxyStyle {
public:
    static constexpr int kIndicatorPixels = 13;

    explicit CheckBoxStyle(QObject* owner) : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
    {
        setParent(owner);
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_IndicatorWidth || metric == PM_IndicatorHeight) return kIndicatorPixels;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, Twips r)
{
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    Place(button, QString::fromLatin1(name), r);
    return button;
}

// A straight line one pixel wide in the default window-text colour.
QFrame* MakeLine(QWidget* parent, const char* name, bool horizontal, Twips r)
{
    auto* line = new QFrame(parent);
    line->setFrameStyle((horizontal ? QFrame::HLine : QFrame::VLine) | QFrame::Plain);
    line->setLineWidth(1);
    Place(line, QString::fromLatin1(name), r);
    return line;
}

// A cell of the solution display: centred text in its own colour inside a
// single-line border drawn in the default window-text colour.
class SolutionCell : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QLabel::paintEvent(event);
        QPainter painter(this);
        painter.setPen(QApplication::palette().color(QPalette::WindowText));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

// The window asks for the fonts it was laid out with. Where they are missing,
// narrow families come first: at 8.25 points Liberation Sans Narrow (Debian's
// fonts-liberation) and Nimbus Sans Narrow set every caption inside its
// rectangle with the line breaks of the layout; DejaVu Sans Condensed is
// already too wide for the last dot of Label9's leader.
void AddFontFallbacks()
{
    const QStringList narrow{QStringLiteral("Microsoft Sans Serif"),
                             QStringLiteral("Liberation Sans Narrow"),
                             QStringLiteral("Nimbus Sans Narrow"),
                             QStringLiteral("DejaVu Sans Condensed"),
                             QStringLiteral("Arimo"),
                             QStringLiteral("Liberation Sans"),
                             QStringLiteral("Arial")};
    if (QFont::substitutes(QStringLiteral("MS Sans Serif")).isEmpty()) {
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), narrow);
    }
    if (QFont::substitutes(QStringLiteral("System")).isEmpty()) {
        QFont::insertSubstitutions(QStringLiteral("System"), narrow);
    }
}

// The program's icon in the sizes drawn for it, from the resources.
QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/%1x%1/pandicube.png").arg(size), QSize(size, size));
    }
    return icon;
}

} // namespace

void Form1::BuildControls()
{
    setWindowTitle(QStringLiteral("\"centralsymmetric\" perfect magic 5x5x5 cubes, outer planes pandiagonal"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(Pixels(kClientWidth), Pixels(kClientHeight));
    setWindowIcon(ProgramIcon());
    AddFontFallbacks();
    setFont(Font("MS Sans Serif", 8.25));
    SetBackColor(this, kPanelColour);
    const QColor fieldBackground = QPalette().color(QPalette::Base);
    const QFont cellFont = Font("MS Sans Serif", 9.75);
    const QFont buttonFont = Font("System", 9.75, true);

    // Upper band: the solution display with its read-outs.
    Label13 = MakeLabel(this, "Label13", QStringLiteral("entries no. 1 - 25"), {1080, 105, 1335, 255});
    Label14 = MakeLabel(this, "Label14", QStringLiteral("entries no. 26 - 50"), {4320, 105, 1695, 255});
    Label15 = MakeLabel(this, "Label15", QStringLiteral("entries no. 51 - 62"), {7440, 105, 1455, 255});
    for (int k = 1; k <= Label11.kCount; ++k) {
        const int block = (k - 1) / 25;
        const int row = ((k - 1) % 25) / 5;
        const int column = (k - 1) % 5;
        auto* cell = new SolutionCell(this);
        Place(cell, QStringLiteral("Label11(%1)").arg(k),
              {120 + 3240 * block + 600 * column, 360 + 600 * row, 600, 600});
        // A cell keeps its size, so a new entry repaints the cell alone and
        // never asks the window to lay itself out again.
        cell->setFixedSize(cell->size());
        cell->setAlignment(Qt::AlignCenter);
        cell->setFont(cellFont);
        QPalette palette = cell->palette();
        palette.setColor(QPalette::Window, fieldBackground);
        cell->setPalette(palette);
        cell->setAutoFillBackground(true);
        SetForeColor(cell, k == kCentreCell ? kRed : kBlue);
        if (k == kCentreCell) cell->setText(QStringLiteral("63"));
        Label11.Place(k, cell);
    }
    Label2 = MakeLabel(this, "Label2", QStringLiteral("solution no.:"), {6600, 2400, 900, 255});
    Label7 = MakeLabel(this, "Label7", QString(), {7560, 2400, 1215, 180});
    Label6 = MakeLabel(this, "Label6", QStringLiteral("stop at next solution  .  .  .  .  ."), {6600, 2760, 1335, 375});
    Check2 = MakeCheckBox(this, "Check2", {8040, 2880, 255, 255});
    Label12 = MakeLabel(this, "Label12", QStringLiteral("best upper bound:"), {6600, 3450, 1695, 255});
    Text1 = MakeTextBox(this, "Text1", {8040, 3360, 615, 285});
    Text1->setReadOnly(true);
    Label10 = MakeLabel(this, "Label10", QString(), {120, 3600, 1890, 180});
    Label4 = MakeLabel(this, "Label4", QString(), {3360, 3600, 1830, 165});
    SetForeColor(Label4, kBlack);
    Line1 = MakeLine(this, "Line1", true, {0, 3960, 9720, kTwipsPerPixel});
    Line2 = MakeLine(this, "Line2", false, {6480, 3960, kTwipsPerPixel, 7440 - 3960});

    // Lower left: the working display and the run options.
    Label16 = MakeLabel(this, "Label16", QStringLiteral(" working display"), {1080, 4080, 1215, 255});
    for (int k = 1; k <= Text7.kCount; ++k) {
        const int row = (k - 1) / 5;
        const int column = (k - 1) % 5;
        auto* cell = new QLineEdit(this);
        Place(cell, QStringLiteral("Text7(%1)").arg(k), {120 + 600 * column, 4320 + 600 * row, 600, 600});
        cell->setAlignment(Qt::AlignCenter);
        cell->setFont(cellFont);
        if (IsStartCell(k)) {
            SetBackColor(cell, kStartCellYellow);
        } else if (IsWhiteWorkingCell(k)) {
            SetBackColor(cell, kWhite);
        } else {
            cell->setReadOnly(true);
        }
        Text7.Place(k, cell);
    }
    Label9 = MakeLabel(this, "Label9", QStringLiteral("start with upper bound (>=255) .  .  .  .  .  .  .  .  .  .  ."),
                       {3360, 4560, 2055, 375});
    Text2 = MakeTextBox(this, "Text2", {5520, 4635, 615, 285});
    Text2->setText(QStringLiteral("300"));
    SetBackColor(Text2, kWhite);
    Label1 = MakeLabel(this, "Label1", QStringLiteral(" reduce upper bound .  .  .  ."), {3360, 5160, 2055, 255});
    Check3 = MakeCheckBox(this, "Check3", {5520, 5160, 255, 195});
    Label5 = MakeLabel(this, "Label5", QStringLiteral("start search from yellow marked entries  .  .  .  .  .  .  ."),
                       {3360, 5640, 2175, 375});
    Check1 = MakeCheckBox(this, "Check1", {5520, 5760, 255, 255});
    Command3 = MakeButton(this, "Command3", QStringLiteral("default values"), {3360, 6120, 1455, 375});

    // Lower right: the two buttons and the credit lines.
    Command1 = MakeButton(this, "Command1", QStringLiteral("start"), {7800, 4560, 795, 495});
    Command1->setFont(buttonFont);
    Command2 = MakeButton(this, "Command2", QStringLiteral("stop"), {7800, 5280, 795, 495});
    Command2->setFont(buttonFont);
    Command2->setVisible(false);
    Command2->setEnabled(false);
    Label8 = MakeLabel(this, "Label8", QStringLiteral("Pandicube ") + QLatin1String(kVersion), {7440, 6960, 1575, 255});
    SetForeColor(Label8, kCreditColour);
    // The project's home page, as the package and the metadata give it.
    Label3 = MakeLabel(this, "Label3", QString::fromLatin1(kHomePage), {7440, 7200, 1815, 255});
    SetForeColor(Label3, kCreditColour);

    // Text1 lies on top of the right end of Label12.
    Text1->raise();

    // Made after the check boxes, so that it outlives them.
    auto* checkBoxStyle = new CheckBoxStyle(this);
    for (QCheckBox* box : {Check1, Check2, Check3}) box->setStyle(checkBoxStyle);
}

void Form1::SetFocusOrder()
{
    std::vector<QWidget*> order{Check2, Command2, Command1};
    for (int k = 1; k <= Text7.kCount; ++k) order.push_back(Text7(k));
    order.insert(order.end(), {Text2, Check1, Command3, Text1, Check3});
    for (std::size_t i = 0; i + 1 < order.size(); ++i) QWidget::setTabOrder(order[i], order[i + 1]);
    Check2->setFocus();
}

} // namespace pandicube
