#pragma once

#include "search/cells.h"
#include "search/cube/formulas.h"
#include "search/loops/search_state.h"
#include "search/vocabulary.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace pandicube {

// The slice (1 to N) of the unit with index i in its run: the units are dealt
// out to the N slices in rounds, forwards and backwards in turn (1, 2, ...,
// N, N, ..., 2, 1, 1, 2, ...), so that neighbouring units, which take similar
// time, are spread evenly.
unsigned SliceOfUnit(std::uint64_t i, unsigned count);

// The outer units of a run set up without start values, in the order in
// which RunSearch meets them, or one slice's share of them: for every e14
// from the lower limit up to 62 that passes its filters, every e18 in pair
// order that passes its filters and is free (not 63, e14 or 126 - e14); with
// classOpenersOnly only those with e14 < e18 < 126 - e14. They are counted,
// indexed and walked by arithmetic on e14 and the pair order, never listed:
// at the largest bound a run has about 5 * 10^12 of them.
class OuterUnitCursor;
class UnitRegion;

// From this upper bound on, a run's units are met only inside its UnitRegion.
inline constexpr std::int32_t kSkipFromBound = 2000;

class OuterUnits {
public:
    // Requires limits that add up to 126, as every run's do.
    OuterUnits(Limits limits, bool classOpenersOnly, std::optional<Slice> slice = std::nullopt);
    // The units of the state's limits and classOpenersOnly.
    explicit OuterUnits(const SearchState& state, std::optional<Slice> slice = std::nullopt);

    std::uint64_t Count() const;
    // The number of units that come before `unit` in the order; `unit` need
    // not be one of them.
    std::uint64_t CountBefore(OuterUnit unit) const;
    bool Contains(OuterUnit unit) const;

    // The units in order, from the first on, or from the first that does not
    // come before `unit` on. Above kSkipFromBound the cursor passes over the
    // units outside the run's UnitRegion, which hold no cube, by whole
    // stretches: at the largest bound about 10^12 of them come before the
    // first cube. (Below it every unit is met, as the loops meet them.)
    OuterUnitCursor Begin() const;
    OuterUnitCursor From(OuterUnit unit) const;

private:
    // The whole run's units, before any slicing.
    std::uint64_t RunCount() const;
    std::uint64_t RunCountBefore(OuterUnit unit) const;
    bool RunContains(OuterUnit unit) const;
    OuterUnit RunUnitAt(std::uint64_t index) const;
    // The first index from `index` on that belongs to the slice.
    std::uint64_t SliceIndexFrom(std::uint64_t index) const;
    // The number of indexes below `index` that belong to the slice.
    std::uint64_t SliceCountBelow(std::uint64_t index) const;
    // The unit that follows `unit` in the whole run's order; false at the end.
    bool StepRun(OuterUnit& unit) const;
    // The first unit of the run at or after `unit` (a unit of the run) that
    // lies inside `region`; false when there is none.
    bool SkipToRegion(const UnitRegion& region, OuterUnit& unit) const;

    std::int64_t PairLow(std::int64_t e14) const;
    std::int64_t UnitsBelowPair(std::int64_t e14, std::int64_t pair) const;
    std::int64_t UnitsOfE14(std::int64_t e14) const;
    std::int64_t UnitsBelowE14(std::int64_t e14) const;

    std::int32_t lowerLimit_;
    bool classOpenersOnly_;
    std::optional<Slice> slice_;
    std::int64_t firstE14_; // the smallest e14 of the run
    std::int64_t lastE14_;  // the largest; below firstE14_ when there is none
    std::uint64_t runCount_;
    std::int32_t upperLimit_;

    friend class OuterUnitCursor;
};

// Walks a run's units (or a slice's) in order, one at a time, holding one
// unit and a copy of the arithmetic: a source of units of fixed size.
class OuterUnitCursor {
public:
    // The next unit; none once the units have ended.
    std::optional<OuterUnit> Next();

private:
    friend class OuterUnits;
    OuterUnitCursor(const OuterUnits& units, std::uint64_t first);

    // Moves on from index_ to the first unit of the slice inside the region.
    void EnterRegion();

    OuterUnits units_;
    std::shared_ptr<const UnitRegion> region_; // none: every unit is met
    std::uint64_t index_;                      // in the whole run; `unit_` is the unit there
    OuterUnit unit_{};
};

} // namespace pandicube
