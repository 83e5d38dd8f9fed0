#include "cli/cli.h"
#include "cli/stop_signals.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>

#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Standard output and standard error are the same terminal.
bool SameTerminal()
{
    struct stat out {};
    struct stat err {};
    return isatty(STDOUT_FILENO) == 1 && isatty(STDERR_FILENO) == 1 && fstat(STDOUT_FILENO, &out) == 0 &&
           fstat(STDERR_FILENO, &err) == 0 && out.st_rdev == err.st_rdev;
}

// The width of standard error's terminal now; 0 when it does not say.
unsigned ErrorTerminalColumns()
{
    winsize size{};
    return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

// The width of standard error's terminal (COLUMNS when it does not say), and
// whether it takes escapes: not on TERM=dumb, nor without TERM.
pandicube::TerminalStyle ErrorTerminalStyle()
{
    pandicube::TerminalStyle style;
    if (const unsigned width = ErrorTerminalColumns(); width > 0) {
        style.columns = width;
        style.columnsNow = ErrorTerminalColumns;
    } else if (const char* columns = std::getenv("COLUMNS"); columns != nullptr) {
        const long value = std::strtol(columns, nullptr, 10);
        if (value > 0 && value < 10000) style.columns = static_cast<unsigned>(value);
    }
    const char* term = std::getenv("TERM");
    style.escapes = term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
    return style;
}

} // namespace

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    pandicube::InstallStopSignals();
    // merge reads every slice at once: allow as many open files as may be.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
    const pandicube::CliEnvironment env{
        isatty(STDERR_FILENO) == 1, &std::cin,           std::thread::hardware_concurrency(), SameTerminal(),
        pandicube::StopSignal,      ErrorTerminalStyle()};
    return pandicube::RunCli(argc, argv, std::cout, std::cerr, env);
}
