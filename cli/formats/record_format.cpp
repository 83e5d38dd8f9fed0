#include "cli/formats/record_format.h"

#include <limits>

namespace pandicube {

std::string FillCells(const Entries& e, Cells& cells)
{
    constexpr std::int64_t kLowest = std::int64_t{kComplementSum} - std::numeric_limits<std::int32_t>::max();
    for (std::size_t k = 1; k <= kEntryCount; ++k) {
        if (e[k] < kLowest) {
            return "entry e" + std::to_string(k) + " is " + std::to_string(e[k]) + ": its complement 126 - e" +
                   std::to_string(k) + " leaves the 32-bit range";
        }
    }
    cells = CellsFromEntries(e);
    return {};
}

} // namespace pandicube
