#pragma once

// Running other programs from a test: whether a tool is installed, what a
// shell command writes to standard output, and the KEY=VALUE lines of it.

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

namespace pandicube::test {

inline bool OnPath(const std::string& tool)
{
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// The standard output of `command` (run by sh); its exit status goes to
// `status` (-1 when it did not end normally).
inline std::string CommandOutput(const std::string& command, int* status = nullptr)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    const int result = pclose(pipe);
    if (status != nullptr) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return output;
}

inline std::map<std::string, std::string> KeyValues(const std::string& output)
{
    std::map<std::string, std::string> values;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

} // namespace pandicube::test
