#pragma once

#include <optional>

namespace pandicube {

// The program's own options, --help, --help-all and --version. They are
// answered before the window system is opened, so that they work without a
// display: when one of them is given, AnswerTextOptions prints its text and
// returns the exit status; otherwise it returns nothing and the window opens.
// --help-all lists the window system's options too (such as -platform and
// -display), which it learns from an application on the off-screen platform.
// Sets the program's name and version for all of them.
std::optional<int> AnswerTextOptions(int& argc, char* argv[]);

// Checks, before the window system starts, that there is a display to open
// the window on, when neither the environment (QT_QPA_PLATFORM,
// WAYLAND_DISPLAY) nor the arguments (-platform) choose where it goes: the X
// display of DISPLAY, or of -display, must answer. Without one it says so in
// one line on standard error and returns the exit status 1; otherwise it
// returns nothing.
std::optional<int> RefuseWithoutDisplay(int argc, char* argv[]);

// Refuses, before the window system starts (and so with or without a
// display), an option that neither the program nor the window system takes,
// and any argument that is no option: says so in the style of the other
// programs and returns the exit status 2; otherwise returns nothing.
std::optional<int> RefuseBadArguments(int argc, char* argv[]);

} // namespace pandicube
