#include "cli/cli.h"
#include "cli/stop_signals.h"

#include <atomic>
#include <iostream>
#include <thread>

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
    const pandicube::CliEnvironment env{isatty(STDERR_FILENO) == 1, &std::cin, std::thread::hardware_concurrency(),
                                        SameTerminal(), pandicube::StopSignal};
    return pandicube::RunCli(argc, argv, std::cout, std::cerr, env);
}
