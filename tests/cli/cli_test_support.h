#pragma once

#include "cli/cli.h"
#include "search/cube.h"

#include <functional>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace pandicube::test {

// The worked example of the formula table: e10 = 109, e14 = -33, e17 = -143,
// e18 = 192 and the 58 entries they give, e1 to e62 (index 0 unused).
inline constexpr Entries kWorkedExample = {
    0,   13, 56,  54,  97, 95,   -94, 158, -15, 157, 109, 129, 210, -39, -33, 48,  22,  -143, 192, 182, 62,
    245, 34, 123, -88, 1,  26,   -22, 105, -23, 229, 203, 172, 66,  -85, -41, 180, 41,  -73,  68,  99,  -98,
    240, 43, 146, -16, 4,  -116, 174, 209, 44,  69,  150, 201, -93, -12, 0,   61,  247, 88,   -81, -99, -153};

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the front end in-process with the given arguments (without the
// program name), standard input `input`, and standard error a terminal or not.
inline CliResult RunTool(std::vector<std::string> args, const std::string& input = {}, bool terminal = false,
                         std::function<int()> interruption = {})
{
    args.insert(args.begin(), "pandicube-search");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    const CliEnvironment env{terminal, &in, 2, false, std::move(interruption)};
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

// A stand-in for the signal handler: SIGTERM comes after `calls` looks.
inline std::function<int()> StopAfter(int calls)
{
    return [calls]() mutable { return --calls < 0 ? 15 : 0; };
}

// The results of an output: without its identity line and, in text and CSV,
// without its completion comment (in JSON the completion object stays: it
// is also the closing count).
inline std::string Body(const std::string& output)
{
    std::string body = output;
    if (body.starts_with("# pandicube-search ") || body.starts_with("{\"program\"")) body.erase(0, body.find('\n') + 1);
    const auto last = body.rfind('\n', body.size() >= 2 ? body.size() - 2 : 0);
    const std::size_t from = last == std::string::npos ? 0 : last + 1;
    if (body.compare(from, 2, "# ") == 0) body.erase(from);
    return body;
}

} // namespace pandicube::test
