#include "cli/stop_signals.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <cstring>
#include <string_view>

#include <unistd.h>

namespace pandicube {

namespace {

constexpr std::size_t kNameSize = 4096;

// What the handler reads: set before the flag that makes it read them.
volatile std::sig_atomic_t gSignal = 0;
volatile std::sig_atomic_t gAtOnce = 0;
std::array<char, 64> gCommand{};
struct Removal {
    volatile std::sig_atomic_t set = 0;
    std::array<char, kNameSize> path{};
};
std::array<Removal, 2> gRemovals;

void Put(const char* text)
{
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, text, left);
        if (n <= 0) return;
        text += n;
        left -= static_cast<std::size_t>(n);
    }
}

// Only async-signal-safe calls from here on.
[[noreturn]] void StopNow(int signal)
{
    for (Removal& removal : gRemovals) {
        if (removal.set != 0) ::unlink(removal.path.data());
    }
    Put("pandicube-search: ");
    Put(gCommand.data());
    Put(": interrupted by ");
    Put(signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : signal == SIGHUP ? "SIGHUP" : "a signal");
    Put("\n");
    ::_exit(128 + signal);
}

extern "C" void NoteSignal(int signal)
{
    gSignal = signal;
    if (gAtOnce != 0) StopNow(signal);
}

void Copy(std::string_view text, char* to, std::size_t size)
{
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(to, text.data(), n);
    to[n] = '\0';
}

} // namespace

void InstallStopSignals()
{
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

int StopSignal()
{
    return static_cast<int>(gSignal);
}

std::string SignalName(int signal)
{
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "signal " + std::to_string(signal);
    }
}

StopAtOnce::StopAtOnce(const std::string& command)
{
    Copy(command, gCommand.data(), gCommand.size());
    gAtOnce = 1;
    if (const int signal = gSignal; signal != 0) StopNow(signal);
}

StopAtOnce::~StopAtOnce()
{
    gAtOnce = 0;
    for (Removal& removal : gRemovals) removal.set = 0;
}

void StopAtOnce::RemoveOnStop(const std::string& path)
{
    if (path.size() >= kNameSize) return;
    for (Removal& removal : gRemovals) {
        if (removal.set != 0) continue;
        Copy(path, removal.path.data(), removal.path.size());
        removal.set = 1;
        return;
    }
}

void StopAtOnce::Keep(const std::string& path)
{
    for (Removal& removal : gRemovals) {
        if (removal.set != 0 && path == removal.path.data()) removal.set = 0;
    }
}

} // namespace pandicube
