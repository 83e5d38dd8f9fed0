#include "search/rows/outer_units.h"

#include "search/cube/cube_symmetry.h"
#include "search/loops/search_windows.h"
#include "search/rows/unit_region.h"

#include <algorithm>
#include <cassert>

namespace pandicube {

namespace {

// The largest e14 of any run: the largest multiple of 3 below the centre.
constexpr std::int64_t kLastE14 = 60;
// Pairs in pair order are named by their member below the centre.
constexpr std::int64_t kLastPair = kCentreValue - 1;

constexpr std::int64_t Mod9(std::int64_t v)
{
    return v - 9 * FloorDiv(v, 9);
}

// The numbers x with lo <= x <= hi and x = r (mod 9).
constexpr std::int64_t CountCongruent(std::int64_t lo, std::int64_t hi, std::int64_t r)
{
    return hi < lo ? 0 : FloorDiv(hi - r, 9) - FloorDiv(lo - 1 - r, 9);
}

} // namespace

// With e14 = 0 (mod 3), the filters of e18 say e18 = e14 (mod 9); and since
// 126 = 0 (mod 9), the pair p gives a unit with its first member when
// p = e14 (mod 9), with its second when p = -e14 (mod 9): both when
// e14 = 0 (mod 9). The pair p = e14 gives none, its members being e14 and
// 126 - e14. So the units of one e14 depend on e14 only through e14 mod 9
// (without classOpenersOnly) or affinely on e14 within each class mod 9 (with
// it, whose pairs start above e14): sums over e14 are sums of arithmetic
// sequences.

unsigned SliceOfUnit(std::uint64_t i, unsigned count)
{
    const std::uint64_t round = i / count;
    const auto place = static_cast<unsigned>(i % count);
    return 1 + (round % 2 == 0 ? place : count - 1 - place);
}

OuterUnits::OuterUnits(Limits limits, bool classOpenersOnly, std::optional<Slice> slice)
    : lowerLimit_(limits.lower), classOpenersOnly_(classOpenersOnly), slice_(slice),
      firstE14_(3 * FloorDiv(std::int64_t{limits.lower}, 3) + 3), lastE14_(kLastE14), upperLimit_(limits.upper)
{
    assert(std::int64_t{limits.lower} + limits.upper == kComplementSum);
    assert(!slice || (slice->count >= 1 && slice->index >= 1 && slice->index <= slice->count));
    runCount_ = static_cast<std::uint64_t>(UnitsBelowE14(lastE14_ + 1));
}

OuterUnits::OuterUnits(const SearchState& state, std::optional<Slice> slice)
    : OuterUnits(Limits{state.lowerLimit, state.upperLimit}, state.classOpenersOnly != 0, slice)
{
}

// The first pair that may give e14 a unit.
std::int64_t OuterUnits::PairLow(std::int64_t e14) const
{
    return classOpenersOnly_ ? e14 + 1 : std::int64_t{lowerLimit_} + 1;
}

// The units of e14 whose pair lies below `pair`.
std::int64_t OuterUnits::UnitsBelowPair(std::int64_t e14, std::int64_t pair) const
{
    const std::int64_t lo = PairLow(e14);
    const std::int64_t hi = std::min(pair - 1, kLastPair);
    const std::int64_t r = Mod9(e14);
    std::int64_t n = CountCongruent(lo, hi, r) + CountCongruent(lo, hi, Mod9(-r));
    if (lo <= e14 && e14 <= hi) n -= r == 0 ? 2 : 1;
    return n;
}

std::int64_t OuterUnits::UnitsOfE14(std::int64_t e14) const
{
    return UnitsBelowPair(e14, kLastPair + 1);
}

// The units of every e14 below `e14`: per class of e14 mod 9, the sum of an
// arithmetic sequence, its count times the mean of its ends.
std::int64_t OuterUnits::UnitsBelowE14(std::int64_t e14) const
{
    const std::int64_t hi = std::min(e14 - 1, lastE14_);
    std::int64_t total = 0;
    for (std::int64_t first = firstE14_; first < firstE14_ + 9 && first <= hi; first += 3) {
        const std::int64_t terms = (hi - first) / 9 + 1;
        const std::int64_t last = first + 9 * (terms - 1);
        total += terms * (UnitsOfE14(first) + UnitsOfE14(last)) / 2;
    }
    return total;
}

std::uint64_t OuterUnits::RunCount() const
{
    return runCount_;
}

bool OuterUnits::RunContains(OuterUnit unit) const
{
    const std::int64_t e14 = unit.e14;
    const std::int64_t e18 = unit.e18;
    if (!E14PassesFilters(unit.e14) || e14 <= lowerLimit_ || e14 > lastE14_) return false;
    if (e18 <= lowerLimit_ || e18 >= kComplementSum - std::int64_t{lowerLimit_} || e18 == kCentreValue) return false;
    if (!E18PassesFilters(unit.e14, unit.e18) || e18 == e14 || e18 == kComplementSum - e14) return false;
    return !classOpenersOnly_ || UnitMayOpenClasses(unit.e14, unit.e18);
}

std::uint64_t OuterUnits::RunCountBefore(OuterUnit unit) const
{
    const std::int64_t e14 = unit.e14;
    std::int64_t n = UnitsBelowE14(e14);
    if (E14PassesFilters(unit.e14) && e14 > lowerLimit_ && e14 <= lastE14_) {
        const PairOrderRank place = RankInPairOrder(unit.e18);
        const std::int64_t lo = PairLow(e14);
        n += UnitsBelowPair(e14, std::clamp(place.low, lo, kLastPair + 1));
        // The first member of the unit's own pair comes before its second.
        if (place.high && place.low >= lo && place.low <= kLastPair &&
            RunContains({unit.e14, static_cast<std::int32_t>(place.low)}))
            ++n;
    }
    return static_cast<std::uint64_t>(n);
}

OuterUnit OuterUnits::RunUnitAt(std::uint64_t index) const
{
    assert(index < runCount_);
    const auto i = static_cast<std::int64_t>(index);
    // The last e14 with at most `index` units before it, then the last pair.
    std::int64_t low = 0;
    std::int64_t high = (lastE14_ - firstE14_) / 3;
    while (low < high) {
        const std::int64_t mid = low + (high - low + 1) / 2;
        if (UnitsBelowE14(firstE14_ + 3 * mid) <= i) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    const std::int64_t e14 = firstE14_ + 3 * low;
    const std::int64_t within = i - UnitsBelowE14(e14);
    std::int64_t pair = PairLow(e14);
    std::int64_t pairHigh = kLastPair;
    while (pair < pairHigh) {
        const std::int64_t mid = pair + (pairHigh - pair + 1) / 2;
        if (UnitsBelowPair(e14, mid) <= within) {
            pair = mid;
        } else {
            pairHigh = mid - 1;
        }
    }
    const OuterUnit first{static_cast<std::int32_t>(e14), static_cast<std::int32_t>(pair)};
    if (within == UnitsBelowPair(e14, pair) && RunContains(first)) return first;
    const OuterUnit second{first.e14, Complement(first.e18)};
    assert(RunContains(second));
    return second;
}

bool OuterUnits::StepRun(OuterUnit& unit) const
{
    for (;;) {
        if (unit.e18 < kCentreValue) {
            unit.e18 = Complement(unit.e18);
        } else {
            std::int64_t pair = kComplementSum + 1 - std::int64_t{unit.e18};
            if (pair > kLastPair) {
                if (unit.e14 + 3 > lastE14_) return false;
                unit.e14 += 3;
                pair = PairLow(unit.e14);
            }
            unit.e18 = static_cast<std::int32_t>(pair);
        }
        if (RunContains(unit)) return true;
    }
}

// Slice K of N takes, in round r of N indexes, the place K - 1 when r is
// even and N - K when it is odd.
std::uint64_t OuterUnits::SliceIndexFrom(std::uint64_t index) const
{
    if (!slice_) return index;
    const std::uint64_t n = slice_->count;
    const auto placeIn = [&](std::uint64_t round) { return round % 2 == 0 ? slice_->index - 1 : n - slice_->index; };
    const std::uint64_t round = index / n;
    const std::uint64_t at = round * n + placeIn(round);
    return at >= index ? at : (round + 1) * n + placeIn(round + 1);
}

std::uint64_t OuterUnits::SliceCountBelow(std::uint64_t index) const
{
    if (!slice_) return index;
    const std::uint64_t n = slice_->count;
    const std::uint64_t round = index / n;
    const std::uint64_t place = round % 2 == 0 ? slice_->index - 1 : n - slice_->index;
    return round + (place < index % n ? 1 : 0);
}

std::uint64_t OuterUnits::Count() const
{
    return SliceCountBelow(runCount_);
}

std::uint64_t OuterUnits::CountBefore(OuterUnit unit) const
{
    return SliceCountBelow(RunCountBefore(unit));
}

bool OuterUnits::Contains(OuterUnit unit) const
{
    return RunContains(unit) && (!slice_ || SliceOfUnit(RunCountBefore(unit), slice_->count) == slice_->index);
}

OuterUnitCursor OuterUnits::Begin() const
{
    return {*this, 0};
}

OuterUnitCursor OuterUnits::From(OuterUnit unit) const
{
    return {*this, RunCountBefore(unit)};
}

bool OuterUnits::SkipToRegion(const UnitRegion& region, OuterUnit& unit) const
{
    const ValueWindow e14s = region.E14Range();
    for (;;) {
        if (unit.e14 > e14s.hi) return false;
        if (unit.e14 >= e14s.lo) {
            std::int32_t e18 = unit.e18;
            if (SkipE18IntoRegion(region, unit.e14, e18)) {
                const bool moved = e18 != unit.e18;
                unit.e18 = e18;
                if (!moved && RunContains(unit)) return true;
                if (moved && RunContains(unit)) return true;
                if (!StepRun(unit)) return false;
                continue;
            }
        }
        // Nothing more for this e14: the first unit of the next one (inside
        // E14Range).
        std::int64_t e14 = std::max<std::int64_t>(unit.e14 + 3, 3 * CeilDiv(e14s.lo, 3));
        if (e14 == kCentreValue) e14 += 3;
        if (e14 > lastE14_ || e14 > e14s.hi) return false;
        unit = {static_cast<std::int32_t>(e14), static_cast<std::int32_t>(PairLow(e14))};
        if (!RunContains(unit) && !StepRun(unit)) return false;
    }
}

OuterUnitCursor::OuterUnitCursor(const OuterUnits& units, std::uint64_t first)
    : units_(units), index_(units.SliceIndexFrom(first))
{
    if (units.upperLimit_ > kSkipFromBound)
        region_ = std::make_shared<const UnitRegion>(Limits{units.lowerLimit_, units.upperLimit_});
    if (index_ < units_.runCount_) unit_ = units_.RunUnitAt(index_);
    EnterRegion();
}

void OuterUnitCursor::EnterRegion()
{
    if (!region_) return;
    while (index_ < units_.runCount_ && !UnitMayHoldCubes(*region_, unit_)) {
        if (!units_.SkipToRegion(*region_, unit_)) {
            index_ = units_.runCount_;
            return;
        }
        // The unit reached may belong to another slice: go on from the
        // slice's next unit.
        const std::uint64_t at = units_.RunCountBefore(unit_);
        index_ = units_.SliceIndexFrom(at);
        if (index_ != at && index_ < units_.runCount_) unit_ = units_.RunUnitAt(index_);
    }
}

std::optional<OuterUnit> OuterUnitCursor::Next()
{
    if (index_ >= units_.runCount_) return std::nullopt;
    const OuterUnit unit = unit_;
    const std::uint64_t next = units_.SliceIndexFrom(index_ + 1);
    if (next < units_.runCount_) {
        // A few steps along the order cost less than finding a unit by its
        // index; a slice of many skips far.
        constexpr std::uint64_t kMostSteps = 64;
        if (next - index_ <= kMostSteps) {
            for (std::uint64_t i = index_; i < next; ++i) units_.StepRun(unit_);
        } else {
            unit_ = units_.RunUnitAt(next);
        }
    }
    index_ = next;
    EnterRegion();
    return unit;
}

} // namespace pandicube
