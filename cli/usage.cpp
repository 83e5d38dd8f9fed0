#include "cli/usage.h"

#include "cli/cli_environment.h"

#include <ostream>

namespace pandicube {

int UsageError(std::ostream& err, const std::string& program, const std::string& message)
{
    err << program << ": " << message << "\nTry '" << program << " --help'.\n";
    return kExitUsage;
}

std::ostream& Say(std::ostream& err)
{
    return err << kSearchProgram << ": ";
}

int RefuseWith(std::ostream& err, const std::string& message)
{
    Say(err) << message << '\n';
    return kExitRefused;
}

int RefuseUsage(std::ostream& err, const std::string& message)
{
    return UsageError(err, kSearchProgram, message);
}

std::string NotAWholeNumber(const std::string& name, std::int64_t low, std::int64_t high, const std::string& text)
{
    return name + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) + ", not '" +
           text + "'";
}

} // namespace pandicube
