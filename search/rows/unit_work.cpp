#include "search/rows/unit_work.h"

#include "search/loops/search_windows.h"

namespace pandicube {

UnitWork MeasureUnitWork(Limits limits, bool classOpenersOnly, OuterUnit unit)
{
    constexpr std::int64_t kReadRows = 64;
    const UnitWindows windows = ComputeUnitWindows(unit.e14, unit.e18, limits.lower, limits.upper, classOpenersOnly);
    UnitWork work;
    if (windows.e10.Empty()) return work;
    work.rows = windows.e10.hi - windows.e10.lo + 1;
    const std::int64_t read = work.rows < kReadRows ? work.rows : kReadRows;
    std::int64_t candidates = 0;
    for (std::int64_t i = 0; i < read; ++i) {
        const std::int64_t e10 = windows.e10.lo + i * work.rows / read;
        const ValueWindow e17 = E17Window(windows, static_cast<std::int32_t>(e10));
        if (!e17.Empty()) candidates += FloorDiv(e17.hi - e10, 3) - CeilDiv(e17.lo - e10, 3) + 1;
    }
    work.candidates = candidates * work.rows / read;
    return work;
}

} // namespace pandicube
