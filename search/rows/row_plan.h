#pragma once

#include "search/cells.h"
#include "search/cube/formulas.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <tuple>

namespace pandicube::row_plan {

// The plan of the row search (see unit_search.cpp), worked out at compile
// time from the affine forms: each entry's line in e10 and u, the conditions
// that kill candidates before any entry is derived and their families, the
// families that get bitmaps, and the order in which a candidate's keys are
// tested.

// One entry as a function of the unit constant, e10 and u.
struct EntryLine {
    std::int32_t p = 0;
    std::int32_t s = 0;
    int level = 0; // 1: e14, e18; 2: e55, e59; 3: e10 and loop 3; 4: e17 and loop 4
};

inline constexpr std::array<EntryLine, kEntryCount + 1> kLines = [] {
    std::array<EntryLine, kEntryCount + 1> lines{};
    for (int k = 1; k <= kEntryCount; ++k) {
        const AffineForm& f = kAffineForms[static_cast<std::size_t>(k)];
        const std::int64_t e10Slope = (f.c10 + f.c17) / kAffineDenominator;
        const std::int64_t jSlope = f.c17 / 3;
        lines[static_cast<std::size_t>(k)].p = static_cast<std::int32_t>(e10Slope - jSlope);
        lines[static_cast<std::size_t>(k)].s = static_cast<std::int32_t>(jSlope);
    }
    lines[kE14].level = 1;
    lines[kE18].level = 1;
    lines[kE10].level = 3;
    lines[kE17].level = 4;
    for (const FormulaStep& step : kFormulaTable) lines[static_cast<std::size_t>(step.entry)].level = step.level;
    return lines;
}();

constexpr bool LinesAreSound()
{
    for (int k = 1; k <= kEntryCount; ++k) {
        const AffineForm& f = kAffineForms[static_cast<std::size_t>(k)];
        const EntryLine& line = kLines[static_cast<std::size_t>(k)];
        if ((f.c10 + f.c17) % kAffineDenominator != 0 || f.c17 % 3 != 0) return false;
        if (line.level == 0 || line.p < -2 || line.p > 2) return false;
        // Only the entries of loop 4 move with u, and only those of loops 3
        // and 4 with e10.
        if ((line.s != 0) != (line.level == 4)) return false;
        if (line.level < 3 && line.p != 0) return false;
    }
    return true;
}
static_assert(LinesAreSound());

inline constexpr std::size_t kMovingCount = [] {
    std::size_t n = 0;
    for (int k = 1; k <= kEntryCount; ++k) n += kLines[static_cast<std::size_t>(k)].level == 4 ? 1 : 0;
    return n;
}();
inline constexpr std::size_t kFixedCount = kEntryCount - kMovingCount;

// The conditions that kill candidates before any entry is derived. Each reads
// e10 and u only through t = P e10 + S u for one family (P, S): S > 0, or
// S = 0 and P = 1 for the conditions on e10 alone (they kill whole rows), or
// P = S = 0 for those on the unit alone. A condition holds exactly where t
// takes one value, so it kills one value of t.
struct Family {
    std::int32_t p = 0;
    std::int32_t s = 0;

    friend constexpr bool operator==(const Family&, const Family&) = default;
};

inline constexpr Family kUnitFamily{0, 0};
inline constexpr Family kRowFamily{1, 0};
inline constexpr Family kUFamily{0, 1};

// One condition "A0 + P0 e10 + S0 u = 0" with A0 = a_k + other * a_l + offset,
// read from two entries (equal, or complements) or from one entry and 63. With
// g = gcd(P0, S0) and the sign that normalises the family, it holds exactly
// where t = -sign * A0 / g, and never when g does not divide A0.
struct DeadCondition {
    int k = 0;
    int l = 0;
    std::int32_t other = 0; // -1, 0 or 1
    std::int32_t offset = 0;
    std::int32_t sign = 1;
    std::int32_t divisor = 1; // g
    Family family;
};

constexpr std::int32_t Gcd(std::int32_t x, std::int32_t y)
{
    x = x < 0 ? -x : x;
    y = y < 0 ? -y : y;
    while (y != 0) {
        const std::int32_t r = x % y;
        x = y;
        y = r;
    }
    return x;
}

constexpr DeadCondition Condition(int k, int l, std::int32_t other, std::int32_t offset, std::int32_t p0,
                                  std::int32_t s0)
{
    const std::int32_t g = (p0 == 0 && s0 == 0) ? 1 : Gcd(p0, s0);
    const std::int32_t sign = (s0 < 0 || (s0 == 0 && p0 < 0)) ? -1 : 1;
    return {k, l, other, offset, sign, g, {sign * p0 / g, sign * s0 / g}};
}

// Every condition: an entry of loop 3 or 4 that would be 63, and every pair
// with such an entry that would be equal or complements. (The entries of loops
// 1 and 2 are fixed by the unit and tested with it.) The pairs without an
// entry of loop 4 kill whole rows, or the unit.
template <typename Visit>
constexpr void ForEachCondition(Visit visit)
{
    for (int k = 1; k <= kEntryCount; ++k) {
        const EntryLine& a = kLines[static_cast<std::size_t>(k)];
        if (a.level >= 3) visit(Condition(k, 0, 0, -kCentreValue, a.p, a.s));
        for (int l = k + 1; l <= kEntryCount; ++l) {
            const EntryLine& b = kLines[static_cast<std::size_t>(l)];
            if (a.level < 3 && b.level < 3) continue;
            visit(Condition(k, l, -1, 0, a.p - b.p, a.s - b.s));
            visit(Condition(k, l, 1, -kComplementSum, a.p + b.p, a.s + b.s));
        }
    }
}

// The entries of loops 3 and 4, which vary inside a unit.
inline constexpr std::size_t kVaryingCount = [] {
    std::size_t n = 0;
    for (int k = 1; k <= kEntryCount; ++k) n += kLines[static_cast<std::size_t>(k)].level >= 3 ? 1 : 0;
    return n;
}();

inline constexpr std::size_t kConditionTotal =
    kVaryingCount + 2 * (kVaryingCount * (kVaryingCount - 1) / 2 + kVaryingCount * (kEntryCount - kVaryingCount));

// The largest |s| of an entry: a family has 0 <= S <= 2 * kMaxS and
// -4 <= P <= 4, which places it in a small square.
inline constexpr std::int32_t kMaxS = [] {
    std::int32_t m = 0;
    for (const EntryLine& line : kLines) m = line.s > m ? line.s : line.s < -m ? -line.s : m;
    return m;
}();
inline constexpr std::size_t kFamilySquare = 9 * static_cast<std::size_t>(4 * kMaxS + 1);

constexpr std::size_t SquareOf(Family f)
{
    return static_cast<std::size_t>(f.p + 4) * static_cast<std::size_t>(4 * kMaxS + 1) +
           static_cast<std::size_t>(f.s + 2 * kMaxS);
}

// Every condition once, every family once in order of first appearance with
// its number of conditions, and for each pair of entries with one of loop 4
// the families of "equal" and of "complements".
struct Catalogue {
    static constexpr std::uint16_t kNone = 0xffff;

    std::array<DeadCondition, kConditionTotal> conditions{};
    std::array<std::uint16_t, kConditionTotal> familyOf{};
    std::array<Family, kFamilySquare> families{};
    std::array<std::int32_t, kFamilySquare> counts{};
    std::size_t familyCount = 0;
    std::array<std::array<std::array<std::uint16_t, 2>, kEntryCount + 1>, kEntryCount + 1> pairFamilies{};
};

inline constexpr Catalogue kCatalogue = [] {
    Catalogue c;
    std::array<std::uint16_t, kFamilySquare> bySquare{};
    for (std::uint16_t& id : bySquare) id = Catalogue::kNone;
    std::size_t n = 0;
    ForEachCondition([&](const DeadCondition& d) {
        std::uint16_t& id = bySquare[SquareOf(d.family)];
        if (id == Catalogue::kNone) {
            id = static_cast<std::uint16_t>(c.familyCount);
            c.families[c.familyCount++] = d.family;
        }
        ++c.counts[id];
        c.familyOf[n] = id;
        c.conditions[n++] = d;
        // The pair's entry: "equal" has other = -1, "complements" other = 1.
        if (d.l != 0) {
            const std::size_t kind = d.other < 0 ? 0 : 1;
            c.pairFamilies[static_cast<std::size_t>(d.k)][static_cast<std::size_t>(d.l)][kind] = id;
            c.pairFamilies[static_cast<std::size_t>(d.l)][static_cast<std::size_t>(d.k)][kind] = id;
        }
    });
    return c;
}();

// The families of conditions worth a bitmap: those on the unit, on e10 alone
// and on u alone (P = 0, S = 1: the pairs of the same p-group, which kill most
// candidates), then the `Extra` ones that kill most per value of u, counted
// as conditions per residue class of t: count / S.
template <std::size_t Extra>
inline constexpr std::size_t kFamilyCount = 3 + Extra;

template <std::size_t Extra>
inline constexpr std::array<Family, kFamilyCount<Extra>> kFamilies = [] {
    const Catalogue& c = kCatalogue;
    std::array<Family, kFamilyCount<Extra>> chosen{kUnitFamily, kRowFamily, kUFamily};
    for (std::size_t f = 3; f < chosen.size(); ++f) {
        std::size_t best = c.familyCount;
        for (std::size_t i = 0; i < c.familyCount; ++i) {
            bool taken = c.families[i].s == 0;
            for (std::size_t j = 0; j < f; ++j) taken = taken || chosen[j] == c.families[i];
            if (taken) continue;
            // count / s compared without division
            if (best == c.familyCount || c.counts[i] * c.families[best].s > c.counts[best] * c.families[i].s) best = i;
        }
        chosen[f] = c.families[best];
    }
    return chosen;
}();

// The place of each family of the catalogue among the plan's, or
// kFamilyCount when it has no bitmap.
template <std::size_t Extra>
inline constexpr std::array<std::size_t, kFamilySquare> kPlace = [] {
    std::array<std::size_t, kFamilySquare> place{};
    for (std::size_t i = 0; i < kFamilySquare; ++i) {
        place[i] = kFamilyCount<Extra>;
        for (std::size_t f = 0; f < kFamilyCount<Extra>; ++f)
            if (i < kCatalogue.familyCount && kFamilies<Extra>[f] == kCatalogue.families[i]) place[i] = f;
    }
    return place;
}();

template <std::size_t Extra>
constexpr bool Covered(std::uint16_t family)
{
    return kPlace<Extra>[family] < kFamilyCount<Extra>;
}

// The entries that a row fixes (loops 1 to 3), then the entries of loop 4 in
// the order they are tested: each next one is the entry with the most kinds
// of collision (equal, complements) whose family has no bitmap against those
// already placed (the lowest number on a tie), so that a candidate that fails
// at all tends to fail early.
template <std::size_t Extra>
inline constexpr std::array<int, kEntryCount> kTestOrder = [] {
    // The uncovered kinds of each pair with an entry of loop 4, once.
    std::array<std::array<int, kEntryCount + 1>, kEntryCount + 1> uncovered{};
    for (std::size_t k = 1; k <= kEntryCount; ++k) {
        for (std::size_t l = 1; l <= kEntryCount; ++l) {
            if (k == l || (kLines[k].level != 4 && kLines[l].level != 4)) continue;
            for (const std::uint16_t family : kCatalogue.pairFamilies[k][l])
                uncovered[k][l] += Covered<Extra>(family) ? 0 : 1;
        }
    }
    std::array<int, kEntryCount> order{};
    std::array<bool, kEntryCount + 1> placed{};
    // The score of each entry not yet placed: its uncovered kinds against
    // those placed.
    std::array<int, kEntryCount + 1> score{};
    std::size_t n = 0;
    const auto place = [&](int k) {
        order[n++] = k;
        placed[static_cast<std::size_t>(k)] = true;
        for (std::size_t j = 1; j <= kEntryCount; ++j) score[j] += uncovered[j][static_cast<std::size_t>(k)];
    };
    for (int k = 1; k <= kEntryCount; ++k)
        if (kLines[static_cast<std::size_t>(k)].level < 4) place(k);
    while (n < order.size()) {
        int best = 0;
        for (int k = 1; k <= kEntryCount; ++k) {
            if (!placed[static_cast<std::size_t>(k)] &&
                (best == 0 || score[static_cast<std::size_t>(k)] > score[static_cast<std::size_t>(best)]))
                best = k;
        }
        place(best);
    }
    return order;
}();

// Every entry once, those a row fixes first.
template <std::size_t Extra>
constexpr bool TestOrderIsSound()
{
    std::array<int, kEntryCount + 1> seen{};
    for (std::size_t i = 0; i < kEntryCount; ++i) {
        const int k = kTestOrder<Extra>[i];
        if (k < 1 || k > kEntryCount || seen[static_cast<std::size_t>(k)]++ != 0) return false;
        if ((kLines[static_cast<std::size_t>(k)].level < 4) != (i < kFixedCount)) return false;
    }
    return true;
}

// How many entries of loop 4, from the first in test order, must hold their
// keys while a candidate is tested: after them, every entry collides with
// later ones only through families with bitmaps, which a candidate that
// reaches the test has passed, so their keys are only looked up.
template <std::size_t Extra>
inline constexpr std::size_t kHeldMovingKeys = [] {
    std::size_t held = 0;
    for (std::size_t i = kFixedCount; i < kEntryCount; ++i) {
        const auto k = static_cast<std::size_t>(kTestOrder<Extra>[i]);
        for (std::size_t j = i + 1; j < kEntryCount; ++j) {
            const auto l = static_cast<std::size_t>(kTestOrder<Extra>[j]);
            for (const std::uint16_t family : kCatalogue.pairFamilies[k][l])
                if (!Covered<Extra>(family)) held = i - kFixedCount + 1;
        }
    }
    return held;
}();

// The slopes in e10 (p) and in u (s) of the entries of loop 4, in test order.
template <std::size_t Extra, std::int32_t EntryLine::*Slope>
inline constexpr std::array<std::int32_t, kMovingCount> kMovingSlopes = [] {
    std::array<std::int32_t, kMovingCount> slopes{};
    for (std::size_t i = 0; i < kMovingCount; ++i)
        slopes[i] = kLines[static_cast<std::size_t>(kTestOrder<Extra>[kFixedCount + i])].*Slope;
    return slopes;
}();

// A condition's value, sign * (a_k + other * a_l + offset), as a form in e14
// and e18 times the affine forms' denominator: every unit makes each a_k a
// whole number, so two conditions with one family, one divisor and one form
// mark the same value of t in every unit.
struct ConditionKey {
    std::uint16_t family = 0;
    std::int32_t divisor = 1;
    std::int64_t constant = 0;
    std::int64_t c14 = 0;
    std::int64_t c18 = 0;

    constexpr auto Tied() const { return std::tie(family, divisor, constant, c14, c18); }
};

constexpr ConditionKey KeyOf(std::size_t i)
{
    const DeadCondition& c = kCatalogue.conditions[i];
    const AffineForm& a = kAffineForms[static_cast<std::size_t>(c.k)];
    const AffineForm& b = kAffineForms[static_cast<std::size_t>(c.l)]; // e0: all zero
    return {kCatalogue.familyOf[i], c.divisor,
            c.sign * (a.constant + c.other * b.constant + c.offset * kAffineDenominator),
            c.sign * (a.c14 + c.other * b.c14), c.sign * (a.c18 + c.other * b.c18)};
}

// The conditions that mark what an earlier one of the catalogue marks: about
// two in five. (Found through an open hash table of the keys: sorting them
// takes more steps than a compiler allows a constant.)
inline constexpr std::array<bool, kConditionTotal> kRepeated = [] {
    constexpr std::size_t kSlots = 8192;
    static_assert(kSlots >= 2 * kConditionTotal);
    std::array<ConditionKey, kConditionTotal> keys{};
    std::array<std::size_t, kSlots> slots{}; // index + 1 of a key, 0 for none
    std::array<bool, kConditionTotal> repeated{};
    for (std::size_t i = 0; i < kConditionTotal; ++i) {
        keys[i] = KeyOf(i);
        const ConditionKey& key = keys[i];
        std::uint64_t h = key.family * 0x9e3779b97f4a7c15ull;
        for (const std::int64_t part : {std::int64_t{key.divisor}, key.constant, key.c14, key.c18})
            h = (h ^ static_cast<std::uint64_t>(part)) * 0xff51afd7ed558ccdull;
        std::size_t at = static_cast<std::size_t>(h >> 51) % kSlots;
        while (slots[at] != 0 && !(keys[slots[at] - 1].Tied() == key.Tied())) at = (at + 1) % kSlots;
        if (slots[at] != 0) {
            repeated[i] = true;
        } else {
            slots[at] = i + 1;
        }
    }
    return repeated;
}();

// The conditions marked in a unit: those of the families with bitmaps, each
// value once.
template <std::size_t Extra>
constexpr bool Marked(std::size_t i)
{
    return Covered<Extra>(kCatalogue.familyOf[i]) && !kRepeated[i];
}

template <std::size_t Extra>
inline constexpr std::size_t kConditionCount = [] {
    std::size_t n = 0;
    for (std::size_t i = 0; i < kConditionTotal; ++i) n += Marked<Extra>(i) ? 1 : 0;
    return n;
}();

// The largest divisor of a condition.
inline constexpr std::int32_t kMaxDivisor = [] {
    std::int32_t g = 1;
    for (const DeadCondition& c : kCatalogue.conditions) g = c.divisor > g ? c.divisor : g;
    return g;
}();

// The conditions of the chosen families, grouped by family and divisor (both
// ascending; a counting sort).
template <std::size_t Extra>
inline constexpr std::array<DeadCondition, kConditionCount<Extra>> kConditions = [] {
    constexpr std::size_t kGroups = kFamilyCount<Extra> * static_cast<std::size_t>(kMaxDivisor);
    const auto group = [](const DeadCondition& c, std::uint16_t family) {
        return kPlace<Extra>[family] * static_cast<std::size_t>(kMaxDivisor) + static_cast<std::size_t>(c.divisor - 1);
    };
    std::array<std::size_t, kGroups + 1> start{};
    for (std::size_t i = 0; i < kConditionTotal; ++i) {
        if (Marked<Extra>(i)) ++start[group(kCatalogue.conditions[i], kCatalogue.familyOf[i]) + 1];
    }
    for (std::size_t g = 0; g < kGroups; ++g) start[g + 1] += start[g];
    std::array<DeadCondition, kConditionCount<Extra>> all{};
    for (std::size_t i = 0; i < kConditionTotal; ++i) {
        if (Marked<Extra>(i))
            all[start[group(kCatalogue.conditions[i], kCatalogue.familyOf[i])]++] = kCatalogue.conditions[i];
    }
    return all;
}();

// A run of conditions with one family and one divisor; one more entry closes
// the last.
struct ConditionRun {
    std::size_t family = 0;
    std::int32_t divisor = 1;
    std::size_t first = 0;
};

template <std::size_t Extra>
constexpr std::size_t FamilyIndex(Family f)
{
    for (std::size_t i = 0; i < kFamilyCount<Extra>; ++i)
        if (kFamilies<Extra>[i] == f) return i;
    return kFamilyCount<Extra>;
}

template <std::size_t Extra>
constexpr bool StartsRun(std::size_t i)
{
    return i == 0 || !(kConditions<Extra>[i].family == kConditions<Extra>[i - 1].family) ||
           kConditions<Extra>[i].divisor != kConditions<Extra>[i - 1].divisor;
}

template <std::size_t Extra>
inline constexpr std::size_t kRunCount = [] {
    std::size_t n = 0;
    for (std::size_t i = 0; i < kConditions<Extra>.size(); ++i) n += StartsRun<Extra>(i) ? 1 : 0;
    return n;
}();

template <std::size_t Extra>
inline constexpr std::array<ConditionRun, kRunCount<Extra> + 1> kRuns = [] {
    std::array<ConditionRun, kRunCount<Extra> + 1> runs{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < kConditions<Extra>.size(); ++i) {
        if (StartsRun<Extra>(i))
            runs[n++] = {FamilyIndex<Extra>(kConditions<Extra>[i].family), kConditions<Extra>[i].divisor, i};
    }
    runs[n] = {kFamilyCount<Extra>, 1, kConditions<Extra>.size()};
    return runs;
}();

} // namespace pandicube::row_plan
