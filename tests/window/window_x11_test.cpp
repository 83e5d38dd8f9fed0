// The real program on a real X display: started under xvfb-run, driven with
// xdotool and a close request like a window manager's close box.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

namespace {

bool OnPath(const std::string& tool)
{
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command and gathers the KEY=VALUE lines it prints.
std::map<std::string, std::string> RunAndRead(const std::string& command, std::string& output)
{
    std::map<std::string, std::string> values;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return values;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    pclose(pipe);
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

TEST(RealWindow, OpensAtItsSizeAndEndsWithStatusZeroWhenCloseIsConfirmed)
{
    if (!OnPath("xvfb-run") || !OnPath("xdotool")) GTEST_SKIP() << "xvfb-run or xdotool is missing";
    const std::string title = "\"centralsymmetric\" perfect magic 5x5x5 cubes, outer planes pandiagonal";
    const std::string command = std::string("timeout 120 xvfb-run -a sh '") + PANDICUBE_X11_SCRIPT + "' '" +
                                PANDICUBE_EXE + "' '" + PANDICUBE_CLOSE_REQUEST + "' 2>&1";
    std::string output;
    auto values = RunAndRead(command, output);
    SCOPED_TRACE(output);
    EXPECT_EQ(values["TITLE"], title);
    EXPECT_EQ(values["SIZE"], "651x493");
    EXPECT_FALSE(values["PROMPT"].empty());
    EXPECT_EQ(values["PROMPT_TITLE"], title);
    EXPECT_EQ(values["STATUS"], "0");
}

} // namespace
