#include "search/parallel_search.h"

namespace pandicube {

void RunOuterUnits(SearchState& state, SearchHost& host, std::span<const OuterUnit> units, unsigned /*threads*/)
{
    for (const OuterUnit& unit : units) RunOuterUnit(state, host, unit);
}

} // namespace pandicube
