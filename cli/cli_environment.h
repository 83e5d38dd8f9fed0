#pragma once

#include <iosfwd>

namespace pandicube {

// What the front end learns from its surroundings rather than its arguments:
// whether standard error is a terminal (for the progress line), where
// standard input is ("-" as a file name), and how many cores there are.
struct CliEnvironment {
    bool errIsTerminal = false;
    std::istream* in = nullptr;
    unsigned cores = 1;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitRefused = 2;

} // namespace pandicube
