#pragma once

#include "search/vocabulary.h"

#include <cstdint>

namespace pandicube {

// What searching one outer unit by rows costs, in the terms that drive its
// time: its rows (each e10 inside the unit's window) and the candidates of
// those rows (each (e10, e17) inside the range windows, e17 = e10 mod 3).
// The rows are counted exactly; the candidates are read at up to 64 rows
// spread over the window and scaled, so that the measure costs about a
// microsecond at any bound. A front end weighs its progress by it.
struct UnitWork {
    std::int64_t rows = 0;
    std::int64_t candidates = 0;
};

UnitWork MeasureUnitWork(Limits limits, bool classOpenersOnly, OuterUnit unit);

} // namespace pandicube
