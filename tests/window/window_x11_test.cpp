// The real program on a real X display: started under xvfb-run, driven with
// xdotool and a close request like a window manager's close box.
#include "tests/support/run_command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using pandicube::test::CommandOutput;
using pandicube::test::KeyValues;
using pandicube::test::OnPath;

TEST(RealWindow, OpensAtItsSizeAndEndsWithStatusZeroWhenCloseIsConfirmed)
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
}

} // namespace
