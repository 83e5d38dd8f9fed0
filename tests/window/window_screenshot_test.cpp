// The real program on a real X display with a window manager (openbox under
// xvfb-run): a picture of the window at opening, checked pixel by pixel where
// the check boxes, the dots of the captions and the focus mark must show.
#include "tests/support/run_command.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using pandicube::test::CommandOutput;
using pandicube::test::KeyValues;
using pandicube::test::OnPath;

const QColor kPanel(255, 224, 192);
constexpr int kIndicator = 13; // pixels, as the check boxes of the layout

QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

struct CheckBox {
    const char* name;
    QRect rect;
    // The indicator: at the left edge, centred from top to bottom.
    QRect Indicator() const
    {
        return QRect(rect.left(), rect.top() + (rect.height() - kIndicator) / 2, kIndicator, kIndicator);
    }
};

const std::vector<CheckBox> kCheckBoxes{
    {"Check2", TwipsRect(8040, 2880, 255, 255)},
    {"Check3", TwipsRect(5520, 5160, 255, 195)},
    {"Check1", TwipsRect(5520, 5760, 255, 255)},
};

class WindowScreenshot : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!OnPath("xvfb-run") || !OnPath("xdotool") || !OnPath("openbox") || !OnPath("import")) return;
        const std::string picture = std::string(PANDICUBE_SCREENSHOT_DIR) + "/window_at_opening.png";
        std::remove(picture.c_str());
        report_ = CommandOutput(std::string("timeout 120 xvfb-run -a sh '") + PANDICUBE_SCREENSHOT_SCRIPT + "' '" +
                                PANDICUBE_EXE + "' '" + picture + "' '" + PANDICUBE_CLOSE_REQUEST + "' 2>&1");
        values_ = KeyValues(report_);
        image_ = QImage(QString::fromStdString(picture)).convertToFormat(QImage::Format_RGB32);
        ran_ = true;
    }

    void SetUp() override
    {
        if (!ran_) GTEST_SKIP() << "xvfb-run, xdotool, openbox or import is missing";
        ASSERT_EQ(image_.size(), QSize(651, 493)) << report_;
        ASSERT_EQ(values_["ACTIVE"], "yes") << report_;
    }

    static QColor At(int x, int y) { return image_.pixelColor(x, y); }

    // The columns that the title takes in the title bar of a screen picture
    // (`step` of the script), from its first to its last column of ink: the
    // colours that differ from the bar's own in their row, between the
    // window icon at the left and the three buttons at the right.
    static int TitleWidth(const std::string& step)
    {
        constexpr int kIcon = 20;
        constexpr int kButtons = 52;
        std::istringstream bar(values_[step]);
        int left = 0, top = 0, width = 0, height = 0;
        bar >> left >> top >> width >> height;
        const QImage screen = QImage(QString::fromStdString(std::string(PANDICUBE_SCREENSHOT_DIR) +
                                                            "/window_at_opening-" + step + ".png"))
                                  .convertToFormat(QImage::Format_RGB32);
        int first = width;
        int last = -1;
        for (int y = top; y < top + height; ++y) {
            std::map<QRgb, int> counts;
            for (int x = left; x < left + width; ++x) ++counts[screen.pixel(x, y)];
            const QRgb barColour = std::max_element(counts.begin(), counts.end(), [](auto a, auto b) {
                                       return a.second < b.second;
                                   })->first;
            for (int x = left + kIcon; x < left + width - kButtons; ++x) {
                const QRgb p = screen.pixel(x, y);
                const int difference = std::abs(qRed(p) - qRed(barColour)) + std::abs(qGreen(p) - qGreen(barColour)) +
                                       std::abs(qBlue(p) - qBlue(barColour));
                if (difference > 60) {
                    first = std::min(first, x - left);
                    last = std::max(last, x - left);
                }
            }
        }
        return last - first + 1;
    }

    // The middle pixel of each side of the indicator's border.
    static std::vector<QColor> BorderMiddles(const CheckBox& box)
    {
        const QRect r = box.Indicator();
        const int midX = r.left() + kIndicator / 2;
        const int midY = r.top() + kIndicator / 2;
        return {At(r.left(), midY), At(r.right(), midY), At(midX, r.top()), At(midX, r.bottom())};
    }

    // Counts the dots drawn in `rect` (one for a full stop, two for a colon):
    // specks of ink no larger than 2 by 2 pixels with no ink just below them,
    // which tells them from the dots over the letter i.
    static int DotsIn(const QRect& rect)
    {
        auto ink = [&](int x, int y) { return rect.contains(x, y) && qGray(image_.pixel(x, y)) < 160; };
        std::vector<bool> seen(static_cast<std::size_t>(rect.width() * rect.height()), false);
        auto index = [&](int x, int y) {
            return static_cast<std::size_t>((y - rect.top()) * rect.width() + x - rect.left());
        };
        int dots = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x) {
                if (!ink(x, y) || seen[index(x, y)]) continue;
                QRect speck(x, y, 1, 1);
                std::vector<QPoint> stack{{x, y}};
                seen[index(x, y)] = true;
                while (!stack.empty()) {
                    const QPoint p = stack.back();
                    stack.pop_back();
                    speck |= QRect(p, QSize(1, 1));
                    for (int dy = -1; dy <= 1; ++dy) {
                        for (int dx = -1; dx <= 1; ++dx) {
                            const int nx = p.x() + dx;
                            const int ny = p.y() + dy;
                            if (ink(nx, ny) && !seen[index(nx, ny)]) {
                                seen[index(nx, ny)] = true;
                                stack.push_back({nx, ny});
                            }
                        }
                    }
                }
                if (speck.width() > 2 || speck.height() > 2) continue;
                bool inkBelow = false;
                for (int by = speck.bottom() + 1; by <= speck.bottom() + 4; ++by) {
                    for (int bx = speck.left() - 1; bx <= speck.right() + 1; ++bx) inkBelow = inkBelow || ink(bx, by);
                }
                if (!inkBelow) ++dots;
            }
        }
        return dots;
    }

    static inline bool ran_ = false;
    static inline std::string report_;
    static inline std::map<std::string, std::string> values_;
    static inline QImage image_;
};

TEST_F(WindowScreenshot, CheckBoxesStandOnThePanelColourAroundTheirIndicator)
{
    for (const CheckBox& box : kCheckBoxes) {
        SCOPED_TRACE(box.name);
        int panel = 0;
        for (int y = box.rect.top(); y <= box.rect.bottom(); ++y) {
            for (int x = box.rect.left(); x <= box.rect.right(); ++x) {
                if (box.Indicator().contains(x, y)) continue;
                ASSERT_EQ(At(x, y), kPanel) << x << "," << y;
                ++panel;
            }
        }
        EXPECT_GT(panel, 0);
    }
}

TEST_F(WindowScreenshot, EveryIndicatorShowsItsBorderOnAllFourSides)
{
    for (const CheckBox& box : kCheckBoxes) {
        SCOPED_TRACE(box.name);
        for (const QColor& border : BorderMiddles(box)) {
            EXPECT_NE(border, kPanel);
            EXPECT_LT(qGray(border.rgb()), 215) << border.name().toStdString();
        }
    }
}

TEST_F(WindowScreenshot, FocusMarkShowsOnCheck2FromTheStart)
{
    for (const CheckBox& box : kCheckBoxes) {
        SCOPED_TRACE(box.name);
        const bool focused = std::string(box.name) == "Check2";
        for (const QColor& border : BorderMiddles(box)) {
            EXPECT_EQ(border.blue() > border.red() + 40, focused) << border.name().toStdString();
        }
    }
}

TEST_F(WindowScreenshot, EveryDotOfTheCaptionsIsDrawn)
{
    struct Caption {
        const char* name;
        QRect rect;
        const char* text;
    };
    const std::vector<Caption> captions{
        {"Label13", TwipsRect(1080, 105, 1335, 255), "entries no. 1 - 25"},
        {"Label14", TwipsRect(4320, 105, 1695, 255), "entries no. 26 - 50"},
        {"Label15", TwipsRect(7440, 105, 1455, 255), "entries no. 51 - 62"},
        {"Label2", TwipsRect(6600, 2400, 900, 255), "solution no.:"},
        {"Label6", TwipsRect(6600, 2760, 1335, 375), "stop at next solution  .  .  .  .  ."},
        {"Label12", TwipsRect(6600, 3450, 1440, 255), "best upper bound:"}, // up to Text1
        {"Label9", TwipsRect(3360, 4560, 2055, 375), "start with upper bound (>=255) .  .  .  .  .  .  .  .  .  .  ."},
        {"Label1", TwipsRect(3360, 5160, 2055, 255), " reduce upper bound .  .  .  ."},
        {"Label5", TwipsRect(3360, 5640, 2160, 375), "start search from yellow marked entries  .  .  .  .  .  .  ."},
    };
    for (const Caption& c : captions) {
        const std::string text = c.text;
        EXPECT_EQ(DotsIn(c.rect),
                  std::count(text.begin(), text.end(), '.') + 2 * std::count(text.begin(), text.end(), ':'))
            << c.name << ": " << text;
    }
}

TEST_F(WindowScreenshot, WindowManagerOffersNoMaximiseAndShowsTheProgramIcon)
{
    EXPECT_NE(values_["ACTIONS"].find("_NET_WM_ACTION_MOVE"), std::string::npos) << report_;
    EXPECT_EQ(values_["ACTIONS"].find("MAXIMIZE"), std::string::npos) << report_;
    EXPECT_EQ(values_["ACTIONS"].find("_NET_WM_ACTION_RESIZE"), std::string::npos) << report_;
    // Qt hands the window manager the sizes up to 128 pixels.
    for (const char* size : {"16 x 16", "32 x 32", "48 x 48", "64 x 64", "128 x 128"}) {
        EXPECT_NE(values_["ICONS"].find(size), std::string::npos) << size << " in " << values_["ICONS"];
    }
}

// A message box shows its whole title: as wide in its title bar as the same
// title on the wide window (the refusal's "zorvik" once the window takes it
// as its title; the close prompt's, the window's own).
TEST_F(WindowScreenshot, MessageBoxesShowTheirWholeTitle)
{
    struct Box {
        const char* step;
        const char* sameTitle;
    };
    for (const Box& box : {Box{"refusal", "renamed"}, Box{"prompt", "main"}}) {
        SCOPED_TRACE(box.step);
        const int whole = TitleWidth(box.sameTitle);
        EXPECT_GT(whole, 20) << report_;
        EXPECT_NEAR(TitleWidth(box.step), whole, 1) << report_;
    }
}

TEST_F(WindowScreenshot, FullScreenIsDeclinedAndTheTitleBarStays)
{
    EXPECT_EQ(values_["STATE"].find("FULLSCREEN"), std::string::npos) << report_;
    EXPECT_EQ(values_["FRAME"], "1, 1, 20, 1") << report_;
    EXPECT_EQ(values_["SIZE"], "651x493") << report_;
}

} // namespace
