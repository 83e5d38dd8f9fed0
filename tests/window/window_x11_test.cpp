// The real program on a real X display: started under xvfb-run, driven with
// xdotool and a close request like a window manager's close box.
#include "tests/support/run_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using pandicube::test::CommandOutput;
using pandicube::test::KeyValues;
using pandicube::test::OnPath;

// The window's class (WM_CLASS) is the one its desktop entry names, so that
// the desktop ties the window to its launcher.
TEST(RealWindow, OpensAtItsSizeInItsLaunchersClassAndEndsWithStatusZeroWhenCloseIsConfirmed)
{
    if (!OnPath("xvfb-run") || !OnPath("xdotool")) GTEST_SKIP() << "xvfb-run or xdotool is missing";
    const std::string title = "\"centralsymmetric\" perfect magic 5x5x5 cubes, outer planes pandiagonal";
    const std::string command = std::string("timeout 120 xvfb-run -a sh '") + PANDICUBE_X11_SCRIPT + "' '" +
                                PANDICUBE_EXE + "' '" + PANDICUBE_CLOSE_REQUEST + "' 2>&1";
    const std::string output = CommandOutput(command);
    auto values = KeyValues(output);
    SCOPED_TRACE(output);
    EXPECT_EQ(values["TITLE"], title);
    EXPECT_EQ(values["SIZE"], "651x493");
    EXPECT_FALSE(values["PROMPT"].empty());
    EXPECT_EQ(values["PROMPT_TITLE"], title);
    EXPECT_EQ(values["STATUS"], "0");
    const std::string entry = CommandOutput(std::string("cat '") + PANDICUBE_DESKTOP_ENTRY + "'");
    const std::string startupClass = KeyValues(entry)["StartupWMClass"];
    ASSERT_FALSE(startupClass.empty()) << entry;
    // WM_CLASS(STRING) = "instance", "class"
    EXPECT_NE(values["CLASS"].find(", \"" + startupClass + "\""), std::string::npos);
}

// Without a display the program says so in one line, before the window
// system starts, and ends with status 1 (an unknown option is refused first,
// as a usage error: see the front end's ThreePrograms test).
TEST(ProgramWithoutDisplay, SaysSoInOneLineAndEndsWithStatusOne)
{
    struct Case {
        const char* environment;
        const char* arguments;
        const char* says;
    };
    const Case cases[] = {
        {"", "", "no display found"},
        {"", "-display :4711", "cannot open the display :4711"},
        {"DISPLAY=:4711", "", "cannot open the display :4711"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.environment) + " pandicube " + c.arguments);
        int status = -1;
        const std::string errors =
            CommandOutput(std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ") + c.environment + " '" +
                              PANDICUBE_EXE + "' " + c.arguments + " 2>&1 >/dev/null",
                          &status);
        EXPECT_EQ(status, 1);
        EXPECT_EQ(errors.rfind(std::string("pandicube: ") + c.says, 0), 0u) << errors;
        EXPECT_NE(errors.find("pandicube-search searches without one"), std::string::npos) << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
}

} // namespace
