#pragma once

#include "cli/cli.h"
#include "search/cells.h"
#include "tests/support/worked_example.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pandicube::test {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// `text` with the first `from` replaced by `to`; a test that means to change
// text that is not there fails.
inline std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const auto at = text.find(from);
    if (at == std::string::npos) {
        ADD_FAILURE() << "'" << from << "' is not in the text";
        return text;
    }
    return text.replace(at, from.size(), to);
}

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
    const CliEnvironment env{terminal, &in, 2, false, std::move(interruption), {}};
    CliResult result;
    result.status = RunCli(static_cast<int>(argv.size()), argv.data(), out, err, env);
    result.out = out.str();
    result.err = err.str();
    return result;
}

// The arguments with more after them.
inline std::vector<std::string> With(std::vector<std::string> args, std::initializer_list<std::string> more)
{
    args.insert(args.end(), more);
    return args;
}

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// What a usage error writes: the message, then the pointer to the help.
inline std::string Usage(const std::string& message)
{
    return "pandicube-search: " + message + "\nTry 'pandicube-search --help'.\n";
}

// A command that the front end refuses before it starts: exit status 2,
// nothing on standard output, and `message` as the whole of standard error
// (or, when it is empty, some message).
struct Refusal {
    std::vector<std::string> args;
    std::string message;
};

inline void ExpectRefused(const std::vector<Refusal>& refusals)
{
    for (const Refusal& refusal : refusals) {
        const CliResult result = RunTool(refusal.args);
        EXPECT_EQ(result.status, 2) << refusal.args[0] << ": " << refusal.message;
        EXPECT_EQ(result.out, "") << refusal.args[0] << ": " << refusal.message;
        if (refusal.message.empty())
            EXPECT_NE(result.err, "") << refusal.args[0];
        else
            EXPECT_EQ(result.err, refusal.message);
    }
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

class TempFiles : public ::testing::Test {
protected:
    // A path for a file of the test, removed with NAME.part at the end.
    std::string Path(const std::string& name)
    {
        const auto path =
            std::filesystem::temp_directory_path() / ("pandicube-test-" + std::to_string(::getpid()) + "-" + name);
        paths_.push_back(path);
        paths_.push_back(path.string() + ".part");
        return path.string();
    }
    std::string Write(const std::string& name, const std::string& text)
    {
        const std::string path = Path(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    ~TempFiles() override
    {
        for (const auto& path : paths_) std::filesystem::remove(path);
    }

private:
    std::vector<std::filesystem::path> paths_;
};

// Reads a whole file.
inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

#ifdef PANDICUBE_SEARCH_BINARY
// Starts the built program with standard input empty and standard output
// and error going to the files named; returns its process id, or -1.
inline pid_t SpawnProgram(std::vector<std::string> args, const std::string& outPath, const std::string& errPath)
{
    args.insert(args.begin(), PANDICUBE_SEARCH_BINARY);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Starts the built program with standard output going to `outPath` and
// standard error discarded; returns its process id.
inline pid_t StartProgram(std::vector<std::string> args, const std::string& outPath)
{
    return SpawnProgram(std::move(args), outPath, "/dev/null");
}

// Runs the built program as a user does and waits for it: its exit status
// (128 + S when signal S ended it), standard output and standard error.
inline CliResult RunProgram(std::vector<std::string> args)
{
    const std::string base = std::filesystem::temp_directory_path() / ("pandicube-run-" + std::to_string(::getpid()));
    CliResult result;
    if (const pid_t pid = SpawnProgram(std::move(args), base + ".out", base + ".err"); pid > 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    for (auto [suffix, text] : {std::pair{".out", &result.out}, std::pair{".err", &result.err}}) {
        std::ifstream in(base + suffix, std::ios::binary);
        *text = std::string(std::istreambuf_iterator<char>(in), {});
        std::filesystem::remove(base + suffix);
    }
    return result;
}

// Waits until `path` holds at least `bytes` (or the program has ended), then
// sends `signal`; returns the exit status, 128 + S for a program that S ended.
inline int StopProgramAt(pid_t pid, const std::string& path, std::uintmax_t bytes, int signal)
{
    std::error_code ec;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::filesystem::exists(path, ec) && std::filesystem::file_size(path, ec) >= bytes) {
            kill(pid, signal);
            waitpid(pid, &status, 0);
            break;
        }
        usleep(2000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Waits until `path` exists, at most `seconds`; false when it never does.
inline bool AwaitFile(const std::string& path, int seconds = 10)
{
    std::error_code ec;
    for (int i = 0; i < seconds * 100 && !std::filesystem::exists(path, ec); ++i) usleep(10000);
    return std::filesystem::exists(path, ec);
}

// Sends `signal` (0: none) and waits at most `seconds` for the program to end: its exit
// status, or -1 when it died of the signal or had to be killed, still running.
inline int EndWithSignal(pid_t pid, int signal, int seconds = 5)
{
    kill(pid, signal);
    int status = 0;
    for (int i = 0; i < seconds * 100; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

// Sends `signal` (none when 0) once `delay` has passed, unless the program
// has ended before; returns the exit status as StopProgramAt does.
inline int StopProgramAfter(pid_t pid, std::chrono::microseconds delay, int signal)
{
    const auto at = std::chrono::steady_clock::now() + delay;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (signal == 0 || std::chrono::steady_clock::now() >= at) {
            if (signal != 0) kill(pid, signal);
            waitpid(pid, &status, 0);
            break;
        }
        usleep(500);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
#endif

// `text` with every whole number `from` (not part of a longer number)
// replaced by `to`.
inline std::string ReplacedNumber(std::string text, const std::string& from, const std::string& to)
{
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        const std::size_t end = at + from.size();
        if ((at > 0 && digit(text[at - 1])) || (end < text.size() && digit(text[end]))) {
            at = end;
            continue;
        }
        text.replace(at, from.size(), to);
        at += to.size();
    }
    return text;
}

} // namespace pandicube::test

namespace pandicube {

// The front end's tests name these helpers without their namespace.
using test::Body;
using test::ExpectRefused;
using test::kWorkedExample;
using test::Lines;
using test::ReadFile;
using test::Refusal;
using test::ReplacedNumber;
using test::RunTool;
using test::StopAfter;
using test::TempFiles;
using test::Usage;
using test::With;

} // namespace pandicube
