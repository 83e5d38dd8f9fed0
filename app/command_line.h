#pragma once

#include <optional>

class QCoreApplication;

namespace pandicube {

// The program's own options, --help and --version. They are answered before
// the window system is opened, so that they work without a display: when one
// of them is given, AnswerTextOptions prints its text and returns the exit
// status; otherwise it returns nothing and the window opens. Sets the
// program's name and version for both.
std::optional<int> AnswerTextOptions(int& argc, char* argv[]);

// Refuses options the program does not know (after the window system has
// taken its own, such as -platform or -display); ends the program with status 1
// on one.
void RefuseUnknownOptions(const QCoreApplication& app);

} // namespace pandicube
