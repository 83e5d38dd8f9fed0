#pragma once

#include <functional>
#include <iosfwd>

namespace pandicube {

// How a terminal takes the progress line: its width, and whether it understands the
// escape that clears to the end of the line (a dumb terminal does not).
struct TerminalStyle {
    unsigned columns = 80;
    bool escapes = true;
    // The width as the terminal has it now, 0 when it cannot say: a window
    // may be resized during a run. Without it, `columns` holds.
    std::function<unsigned()> columnsNow;
};

// What the front end learns from its surroundings rather than its arguments:
// whether standard error is a terminal (for the progress line) and standard
// output the same terminal, where standard input is ("-" as a file name), how
// many cores there are, whether a signal asks the run to stop (the signal's
// number, 0 while none has come), and how standard error's terminal takes the
// progress line.
struct CliEnvironment {
    bool errIsTerminal = false;
    std::istream* in = nullptr;
    unsigned cores = 1;
    bool outIsErrTerminal = false;
    std::function<int()> interruption;
    TerminalStyle errStyle;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitRefused = 2;
inline constexpr int kExitWriteFailed = 3;
// A run ended by signal S exits with 128 + S, as a shell reports it.
inline constexpr int kExitSignalBase = 128;

} // namespace pandicube
