#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace pandicube {

// The one style of the messages of pandicube-search and pandicube-plot (the
// window's program follows it with Qt's parser): usage errors in one line that
// names the program, followed by "Try 'PROGRAM --help'.", with exit status 2.
// The parser's side of that style (help that fits 80 columns, its refusals)
// is in help_style.h, which alone needs the parser's header.
inline constexpr int kExitUsage = 2;

// Writes "PROGRAM: MESSAGE" and the pointer to the help; returns kExitUsage.
int UsageError(std::ostream& err, const std::string& program, const std::string& message);

// Every message of pandicube-search on standard error begins with its name.
inline constexpr const char* kSearchProgram = "pandicube-search";
// Begins a message of pandicube-search on `err`: writes "pandicube-search: ".
std::ostream& Say(std::ostream& err);
// Writes "pandicube-search: MESSAGE" as one line; returns 2 (refused).
int RefuseWith(std::ostream& err, const std::string& message);
// A usage error of pandicube-search (UsageError); returns kExitUsage.
int RefuseUsage(std::ostream& err, const std::string& message);

// "NAME must be a whole number from LOW to HIGH, not 'TEXT'".
std::string NotAWholeNumber(const std::string& name, std::int64_t low, std::int64_t high, const std::string& text);

} // namespace pandicube
