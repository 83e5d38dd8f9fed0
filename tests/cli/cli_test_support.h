#pragma once

#include "cli/cli.h"
#include "search/cube.h"
#include "tests/support/worked_example.h"

#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace pandicube::test {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the front end in-process with the given arguments (without the
// program name), standard input `input`, and standard error a terminal or not.
inline CliResult RunTool(std::vector<std::string> args, const std::string& input = {}, bool terminal = false)
{
    args.insert(args.begin(), "pandicube-search");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    const CliEnvironment env{terminal, &in, 2};
    CliResult result;
    result.status = RunCli(static_cast<int>(argv.size()), argv.data(), out, err, env);
    result.out = out.str();
    result.err = err.str();
    return result;
}

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

} // namespace pandicube::test
