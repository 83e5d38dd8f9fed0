#pragma once

#include "search/cells.h"

#include <compare>
#include <cstddef>
#include <cstdint>

namespace pandicube {

// The words every part of the search shares: the limits of a run, its outer
// units and slices, and the pair order in which loops 2, 3 and 4 (and the
// row engine, the order of solutions and the classes) meet values.

// The exclusive limits of the entry values for the upper bound U: 125 - U and
// U + 1, which add up to 126. Start values may lie on them.
struct Limits {
    std::int32_t lower = 0;
    std::int32_t upper = 0;
};

constexpr Limits LimitsOf(std::int32_t upperBound)
{
    return {kComplementSum - 1 - upperBound, upperBound + 1};
}

// One accepted pair of values of the two outer loops (e14, e18). Without a
// bound reduction and with full range, a run is exactly the sequence of its
// outer units in order, each searched on its own: the basis for splitting a
// run over threads or machines.
struct OuterUnit {
    std::int32_t e14 = 0;
    std::int32_t e18 = 0;

    friend bool operator==(const OuterUnit&, const OuterUnit&) = default;
};

// A cube found by rows as a count of its class needs it: its free entries
// e10 and e17 (the part's unit holds e14 and e18) and its largest value.
struct CubeSighting {
    std::int32_t e10 = 0;
    std::int32_t e17 = 0;
    std::int32_t largest = 0;
};

// Part K of N (1 <= K <= N) of a run's outer units.
struct Slice {
    unsigned index = 1;
    unsigned count = 1;

    friend bool operator==(const Slice&, const Slice&) = default;
};

// A closed range of values, empty when lo > hi.
struct ValueWindow {
    std::int64_t lo = 0;
    std::int64_t hi = -1;

    constexpr bool Contains(std::int64_t v) const { return lo <= v && v <= hi; }
    constexpr bool Empty() const { return lo > hi; }
};

// Pair order: v, 126 - v, v + 1, 125 - v, ... A value ranks first by its
// distance from the lower end, min(v, 126 - v), then the value below 63
// before its complement above; the order ends after 63 or 64.
struct PairOrderRank {
    std::int64_t low = 0;
    bool high = false;

    friend constexpr auto operator<=>(const PairOrderRank&, const PairOrderRank&) = default;
};

constexpr PairOrderRank RankInPairOrder(std::int32_t v)
{
    // In 64 bits, so that any 32-bit value read from a file ranks safely.
    const std::int64_t complement = std::int64_t{kComplementSum} - v;
    return {v < complement ? std::int64_t{v} : complement, v > kCentreValue};
}

// The rank as one number (2 low + high), ascending in pair order, for values
// whose pair lies in 32 bits.
constexpr std::int32_t PairOrderCode(std::int32_t v)
{
    const PairOrderRank rank = RankInPairOrder(v);
    return static_cast<std::int32_t>(2 * rank.low + (rank.high ? 1 : 0));
}

// The next value of loops 2, 3 and 4 after v in pair order; returns false when
// the order has ended (after 63 or 64).
constexpr bool NextInPairOrder(std::int32_t& v)
{
    if (v <= 62) {
        v = 126 - v;
        return true;
    }
    if (v >= 65) {
        v = 127 - v;
        return true;
    }
    return false;
}

// Moves v to the first value of the pair order, at v's own place or later,
// that lies in the window and leaves `residue` modulo `modulus` (modulus 1:
// every value). Pair order ranks a value by its distance from 63, the farthest
// first and the lower member of a pair before the upper, and ends after 64; so
// a loop that skips to this value passes over exactly the values outside the
// window or of another residue, and 63 (a start value at most, and never
// available). Returns false when no such value remains.
constexpr bool SkipInPairOrder(std::int32_t& v, ValueWindow window, std::int32_t modulus, std::int32_t residue)
{
    const auto positiveMod = [modulus](std::int64_t x) { return ((x % modulus) + modulus) % modulus; };
    // The rank of v: the lower member m of its pair, and whether v is the upper.
    const std::int64_t m = v <= kCentreValue ? v : Complement(v);
    const bool upper = v > kCentreValue;
    // The first lower member (at most 62) at or after v.
    std::int64_t low = window.lo > m + (upper ? 1 : 0) ? window.lo : m + (upper ? 1 : 0);
    low += positiveMod(residue - low);
    const bool lowOk = low <= window.hi && low <= kCentreValue - 1;
    // The first upper member (at least 64) at or after v: the largest one
    // whose lower member is not below m.
    std::int64_t high = window.hi < kComplementSum - m ? window.hi : kComplementSum - m;
    high -= positiveMod(high - residue);
    const bool highOk = high >= window.lo && high >= kCentreValue + 1;
    if (!lowOk && !highOk) return false;
    // Of the two, the one with the farther pair; the lower member on a tie.
    const bool takeLow = lowOk && (!highOk || low <= kComplementSum - high);
    v = static_cast<std::int32_t>(takeLow ? low : high);
    return true;
}

// Visits the places [begin, end) of a run whose values (value(i), never 63)
// ascend strictly, in the pair order of the values: those below 63 ascend and
// those above descend in it, so the two ends of the run are merged.
template <typename Value, typename Visit>
void VisitInPairOrder(std::size_t begin, std::size_t end, Value value, Visit visit)
{
    std::size_t split = begin;
    while (split < end && value(split) < kCentreValue) ++split;
    std::size_t low = begin;
    std::size_t high = end;
    while (low < split || high > split) {
        const bool takeLow =
            high == split || (low < split && value(low) <= kComplementSum - value(high - 1)); // tie: the lower first
        if (takeLow) {
            visit(low++);
        } else {
            visit(--high);
        }
    }
}

} // namespace pandicube
