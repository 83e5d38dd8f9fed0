#pragma once

// Running other programs from a test: whether a tool is installed, what a
// shell command writes to standard output, the KEY=VALUE lines of it, and
// whether a command flushes what it renames to the disk.

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

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

// Whether `command` (run by sh under strace) flushes a file to the disk
// (fsync) before it renames a file to `name`, and flushes again (the folder)
// after the rename. False when the command renames nothing to `name`.
inline bool SyncsAroundRename(const std::string& command, const std::string& name)
{
    const std::string log = name + ".strace";
    CommandOutput("strace -f -qq -e trace=fsync,rename,renameat,renameat2 -o '" + log + "' " + command +
                  " >/dev/null 2>&1");
    std::vector<std::string> calls;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) calls.push_back(line);
    std::remove(log.c_str());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].find("rename") == std::string::npos || calls[i].find("\"" + name + "\"") == std::string::npos)
            continue;
        const auto synced = [](const std::string& call) { return call.find("fsync(") != std::string::npos; };
        return std::any_of(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(i), synced) &&
               std::any_of(calls.begin() + static_cast<std::ptrdiff_t>(i) + 1, calls.end(), synced);
    }
    return false;
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
