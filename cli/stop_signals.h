#pragma once

#include <string>

namespace pandicube {

// SIGINT, SIGTERM and SIGHUP ask the program to stop. By default a handler
// only notes the signal, and the search looks at it between two records, so
// that its output ends on a whole record and says where it goes on.
void InstallStopSignals();
// The signal that asked to stop; 0 while none has come.
int StopSignal();
// "SIGINT", "SIGTERM", "SIGHUP".
std::string SignalName(int signal);

// While one lives, a stop signal ends the process at once, also while it is
// blocked reading its input: it writes "pandicube-search: COMMAND: interrupted
// by SIG..." to standard error, removes the files named by RemoveOnStop and
// exits with 128 + the signal. For the commands that have no record to end
// their output with (verify, merge). A signal that came before ends it here.
class StopAtOnce {
public:
    explicit StopAtOnce(const std::string& command);
    ~StopAtOnce();
    StopAtOnce(const StopAtOnce&) = delete;
    StopAtOnce& operator=(const StopAtOnce&) = delete;

    // A file to remove when a signal stops the process (at most two at once);
    // Keep() takes it off again.
    static void RemoveOnStop(const std::string& path);
    static void Keep(const std::string& path);
};

} // namespace pandicube
