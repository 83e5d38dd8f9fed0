#include "search/unit_search.h"

#include "search/formulas.h"
#include "search/search_windows.h"
#include "search/solution_order.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

namespace pandicube {

// How a unit is searched by rows.
//
// Fix e14 and e18, and write e17 = e10 + 3 j (the filter of loop 4). Every
// entry is then an affine function of e10 and j with whole coefficients, and
// with u = e10 + j
//     e_k = a_k + p_k * e10 + s_k * u
// where a_k depends on the unit only and p_k is one of -2 .. 2 (e10 itself:
// p = 1, s = 0; e17: p = -2, s = 3; e14, e18, e55 and e59: p = s = 0). Both
// the coefficients and the constants come from the affine forms of the table.
//
// A cube needs its 62 entries to be pairwise distinct and never each other's
// complement, and none of them 63: their keys |e_k - 63| must be distinct and
// nonzero. For two entries with the same p, "e_k = e_l" reads
// (a_k - a_l) + (s_k - s_l) u = 0, and for two with opposite p,
// "e_k + e_l = 126" reads (a_k + a_l - 126) + (s_k + s_l) u = 0: either holds
// for at most one u, whatever e10 is. So each such pair kills one u for the
// whole unit, and so does an entry with p = 0 that would be 63. About 1,100
// such conditions give, per unit, a bitmap of dead u; it removes most of the
// candidates that lie inside the range windows before a single entry is
// derived for them.
//
// A row is one e10 inside the unit's e10 window: its five entries of loop 3
// are tested once, its e17 window (exact, from the range strips) gives a run
// of u, and the candidates are the u of that run whose bit is clear. Each is
// then tested in full through a table indexed by key that holds, per key, the
// stamp of the candidate (or the row) that last used it: a key whose stamp is
// the current candidate's or the row's is taken. So nothing is ever released,
// and the entries are tested in an order that mixes the p-groups, since the
// pairs inside a group can no longer collide.
//
// The rows are met in ascending e10 and each row's cubes in ascending u, so
// the cubes are sorted into the order of the loops (e10, then e17, each in
// pair order) at the end of the unit.

namespace {

// One entry as a function of the unit constant, e10 and u.
struct EntryLine {
    std::int32_t p = 0;
    std::int32_t s = 0;
    int level = 0; // 1: e14, e18; 2: e55, e59; 3: e10 and loop 3; 4: e17 and loop 4
};

constexpr std::array<EntryLine, kEntryCount + 1> kLines = [] {
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

template <int Level>
constexpr std::size_t CountOfLevel()
{
    std::size_t n = 0;
    for (int k = 1; k <= kEntryCount; ++k) n += kLines[static_cast<std::size_t>(k)].level == Level ? 1 : 0;
    return n;
}

constexpr std::size_t kFixedCount = CountOfLevel<1>() + CountOfLevel<2>() + CountOfLevel<3>();
constexpr std::size_t kMovingCount = CountOfLevel<4>();
static_assert(kFixedCount + kMovingCount == kEntryCount);

// Whether two entries of the same row may still collide once the dead u are
// removed: the kinds "equal" and "complement" that no condition covers.
constexpr int UncoveredKinds(int k, int l)
{
    const EntryLine& a = kLines[static_cast<std::size_t>(k)];
    const EntryLine& b = kLines[static_cast<std::size_t>(l)];
    return (a.p != b.p ? 1 : 0) + (a.p != -b.p ? 1 : 0);
}

// The entries that a row fixes (loops 1 to 3), then the entries of loop 4 in
// the order they are tested: each next one is the entry with the most
// uncovered kinds against those already placed (the lowest number on a tie),
// so that a candidate that fails at all tends to fail early.
constexpr std::array<int, kEntryCount> kTestOrder = [] {
    std::array<int, kEntryCount> order{};
    std::array<bool, kEntryCount + 1> placed{};
    std::size_t n = 0;
    for (int k = 1; k <= kEntryCount; ++k) {
        if (kLines[static_cast<std::size_t>(k)].level < 4) {
            order[n++] = k;
            placed[static_cast<std::size_t>(k)] = true;
        }
    }
    while (n < order.size()) {
        int best = 0;
        int bestScore = -1;
        for (int k = 1; k <= kEntryCount; ++k) {
            if (placed[static_cast<std::size_t>(k)]) continue;
            int score = 0;
            for (std::size_t i = 0; i < n; ++i) score += UncoveredKinds(k, order[i]);
            if (score > bestScore) {
                best = k;
                bestScore = score;
            }
        }
        order[n++] = best;
        placed[static_cast<std::size_t>(best)] = true;
    }
    return order;
}();

// One condition "A + S u = 0" with S > 0, where
// A = sign * (a_k + other * a_l + offset).
struct DeadCondition {
    int k = 0;
    int l = 0;
    std::int32_t other = 0; // -1, 0 or 1
    std::int32_t offset = 0;
    std::int32_t sign = 1;
    std::int32_t slope = 0; // S; 0 for a condition that does not read u
};

template <typename Visit>
constexpr void ForEachCondition(Visit visit)
{
    for (int k = 1; k <= kEntryCount; ++k) {
        const EntryLine& a = kLines[static_cast<std::size_t>(k)];
        if (a.level == 4 && a.p == 0) visit(DeadCondition{k, 0, 0, -kCentreValue, 1, a.s});
        for (int l = k + 1; l <= kEntryCount; ++l) {
            const EntryLine& b = kLines[static_cast<std::size_t>(l)];
            if (a.level != 4 && b.level != 4) continue;
            if (a.p == b.p) visit(DeadCondition{k, l, -1, 0, 1, a.s - b.s});
            if (a.p == -b.p) visit(DeadCondition{k, l, 1, -kComplementSum, 1, a.s + b.s});
        }
    }
}

constexpr DeadCondition Normalised(DeadCondition c)
{
    if (c.slope < 0) {
        c.sign = -1;
        c.slope = -c.slope;
    }
    return c;
}

constexpr std::size_t kConditionCount = [] {
    std::size_t n = 0;
    ForEachCondition([&](const DeadCondition&) { ++n; });
    return n;
}();

// The conditions sorted by slope, those that do not read u first.
constexpr std::array<DeadCondition, kConditionCount> kConditions = [] {
    std::array<DeadCondition, kConditionCount> all{};
    std::size_t n = 0;
    ForEachCondition([&](const DeadCondition& c) { all[n++] = Normalised(c); });
    std::sort(all.begin(), all.end(), [](const DeadCondition& x, const DeadCondition& y) { return x.slope < y.slope; });
    return all;
}();

constexpr std::size_t kSlopeCount = [] {
    std::size_t n = 0;
    for (std::size_t i = 0; i < kConditions.size(); ++i)
        n += (i == 0 || kConditions[i].slope != kConditions[i - 1].slope);
    return n;
}();

// Per distinct slope, its first condition; one more entry closes the last.
struct SlopeRun {
    std::int32_t slope = 0;
    std::size_t first = 0;
};
constexpr std::array<SlopeRun, kSlopeCount + 1> kSlopeRuns = [] {
    std::array<SlopeRun, kSlopeCount + 1> runs{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < kConditions.size(); ++i) {
        if (i == 0 || kConditions[i].slope != kConditions[i - 1].slope) runs[n++] = {kConditions[i].slope, i};
    }
    runs[n] = {0, kConditions.size()};
    return runs;
}();

// The direction of the range strips that bounds e17 alone.
constexpr std::size_t kE17Direction = [] {
    for (std::size_t d = 0; d < kDirectionCount; ++d) {
        if (kDirections[d].a == 0 && kDirections[d].b == 1) return d;
    }
    return kDirectionCount;
}();
static_assert(kE17Direction < kDirectionCount);

using UnitConstants = std::array<std::int64_t, kEntryCount + 1>;

constexpr std::int64_t ConditionValue(const DeadCondition& c, const UnitConstants& a)
{
    return c.sign * (a[static_cast<std::size_t>(c.k)] + c.other * a[static_cast<std::size_t>(c.l)] + c.offset);
}

struct FreeDeleter {
    void operator()(std::uint32_t* p) const { std::free(p); }
};

// The scratch tables of one thread.
class RowSearcher {
public:
    void Search(std::int32_t lowerLimit, std::int32_t upperLimit, bool classOpenersOnly, OuterUnit unit,
                std::vector<Entries>& cubes);

private:
    template <std::size_t Run>
    void MarkSlopeRun(const UnitConstants& a);
    void MarkDead(const UnitConstants& a);
    void EnsureKeys(std::size_t size);
    std::uint32_t NextStamp(std::size_t needed);
    bool TakeRowKeys(const std::array<std::int64_t, kEntryCount + 1>& v);

    std::unique_ptr<std::uint32_t[], FreeDeleter> stamps_;
    std::size_t keyCount_ = 0;
    std::uint32_t stamp_ = 0;
    std::vector<std::uint64_t> dead_;
    std::int64_t uBase_ = 0;
    std::int64_t uEnd_ = 0; // exclusive
    bool unitDead_ = false;
};

// Marks the u killed by the conditions of one slope; the divisor is a
// constant, so no division is executed.
template <std::size_t Run>
void RowSearcher::MarkSlopeRun(const UnitConstants& a)
{
    constexpr std::int64_t slope = kSlopeRuns[Run].slope;
    for (std::size_t i = kSlopeRuns[Run].first; i < kSlopeRuns[Run + 1].first; ++i) {
        const std::int64_t value = ConditionValue(kConditions[i], a);
        if constexpr (slope == 0) {
            if (value == 0) unitDead_ = true;
        } else {
            if (value % slope != 0) continue;
            const std::int64_t u = -value / slope;
            if (u >= uBase_ && u < uEnd_) {
                const auto bit = static_cast<std::uint64_t>(u - uBase_);
                dead_[bit >> 6] |= std::uint64_t{1} << (bit & 63);
            }
        }
    }
}

void RowSearcher::MarkDead(const UnitConstants& a)
{
    unitDead_ = false;
    const auto words = static_cast<std::size_t>((uEnd_ - uBase_ + 63) / 64);
    dead_.assign(words, 0);
    [&]<std::size_t... Run>(std::index_sequence<Run...>)
    {
        (MarkSlopeRun<Run>(a), ...);
    }
    (std::make_index_sequence<kSlopeCount>{});
}

void RowSearcher::EnsureKeys(std::size_t size)
{
    if (size <= keyCount_) return;
    // calloc: the pages of a large table are only mapped once a key on them
    // is used.
    auto* table = static_cast<std::uint32_t*>(std::calloc(size, sizeof(std::uint32_t)));
    if (table == nullptr) throw std::bad_alloc();
    stamps_.reset(table);
    keyCount_ = size;
    stamp_ = 0;
}

// A stamp that no key holds yet, with `needed` more free after it.
std::uint32_t RowSearcher::NextStamp(std::size_t needed)
{
    if (stamp_ > std::numeric_limits<std::uint32_t>::max() - needed - 1) {
        std::memset(stamps_.get(), 0, keyCount_ * sizeof(std::uint32_t));
        stamp_ = 0;
    }
    return ++stamp_;
}

void RowSearcher::Search(std::int32_t lowerLimit, std::int32_t upperLimit, bool classOpenersOnly, OuterUnit unit,
                         std::vector<Entries>& cubes)
{
    cubes.clear();
    UnitConstants a{};
    for (int k = 1; k <= kEntryCount; ++k) {
        const AffineForm& f = kAffineForms[static_cast<std::size_t>(k)];
        a[static_cast<std::size_t>(k)] = (f.constant + f.c14 * unit.e14 + f.c18 * unit.e18) / kAffineDenominator;
    }
    // Loop 2: e55 and e59 inside the limits and free.
    const auto key = [](std::int64_t v) {
        return static_cast<std::size_t>(v < kCentreValue ? kCentreValue - v : v - kCentreValue);
    };
    for (const int k : {55, 59}) {
        const std::int64_t v = a[static_cast<std::size_t>(k)];
        if (v <= lowerLimit || v >= upperLimit) return;
    }
    {
        const std::array<std::size_t, 5> keys = {0, key(unit.e14), key(unit.e18), key(a[55]), key(a[59])};
        for (std::size_t i = 0; i < keys.size(); ++i)
            for (std::size_t j = i + 1; j < keys.size(); ++j)
                if (keys[i] == keys[j]) return;
    }

    const UnitWindows windows = ComputeUnitWindows(unit.e14, unit.e18, lowerLimit, upperLimit, classOpenersOnly);
    if (windows.e10.Empty()) return;
    const std::int64_t e17Low = windows.wLow[kE17Direction];
    const std::int64_t e17High = windows.wHigh[kE17Direction];
    if (e17Low > e17High) return;
    // u = (e17 + 2 e10) / 3.
    uBase_ = FloorDiv(e17Low + 2 * windows.e10.lo, 3);
    uEnd_ = CeilDiv(e17High + 2 * windows.e10.hi, 3) + 1;
    MarkDead(a);
    if (unitDead_) return;

    // Every entry lies strictly inside the limits, so its key stays below
    // the larger distance of a limit from 63.
    EnsureKeys(static_cast<std::size_t>(
        std::max(std::int64_t{upperLimit} - kCentreValue, kCentreValue - std::int64_t{lowerLimit})));

    std::array<std::int64_t, kEntryCount + 1> v{};
    std::array<std::int64_t, kMovingCount> rowBase{};
    struct Found {
        std::int32_t e10;
        std::int64_t u;
    };
    std::vector<Found> found;
    for (std::int64_t e10 = windows.e10.lo; e10 <= windows.e10.hi; ++e10) {
        // e17 = 3 u - 2 e10: the e17 of the row's window that keep e17 - e10
        // a multiple of 3.
        const ValueWindow e17 = E17Window(windows, static_cast<std::int32_t>(e10));
        const std::int64_t uFrom = CeilDiv(e17.lo + 2 * e10, 3);
        const std::int64_t uTo = FloorDiv(e17.hi + 2 * e10, 3); // inclusive
        if (uFrom > uTo) continue;
        assert(uFrom >= uBase_ && uTo < uEnd_);
        for (std::size_t i = 0; i < kFixedCount; ++i) {
            const auto k = static_cast<std::size_t>(kTestOrder[i]);
            v[k] = a[k] + kLines[k].p * e10;
        }
        const std::uint32_t row = NextStamp(static_cast<std::size_t>(uTo - uFrom + 1));
        bool rowFree = true;
        stamps_[0] = row;
        for (std::size_t i = 0; i < kFixedCount && rowFree; ++i) {
            const std::size_t slot = key(v[static_cast<std::size_t>(kTestOrder[i])]);
            rowFree = stamps_[slot] != row;
            stamps_[slot] = row;
        }
        if (!rowFree) continue;
        for (std::size_t i = 0; i < kMovingCount; ++i) {
            const auto k = static_cast<std::size_t>(kTestOrder[kFixedCount + i]);
            rowBase[i] = a[k] + kLines[k].p * e10 - kCentreValue;
        }
        // The live u of the row: clear bits of the dead map in [uFrom, uTo].
        const auto firstBit = static_cast<std::uint64_t>(uFrom - uBase_);
        const auto lastBit = static_cast<std::uint64_t>(uTo - uBase_);
        for (std::uint64_t w = firstBit >> 6; w <= lastBit >> 6; ++w) {
            std::uint64_t live = ~dead_[w];
            if (w == firstBit >> 6) live &= ~std::uint64_t{0} << (firstBit & 63);
            if (w == lastBit >> 6 && (lastBit & 63) != 63) live &= (std::uint64_t{1} << ((lastBit & 63) + 1)) - 1;
            while (live != 0) {
                const std::int64_t u =
                    uBase_ + static_cast<std::int64_t>(w * 64 + static_cast<std::uint64_t>(std::countr_zero(live)));
                live &= live - 1;
                const std::uint32_t mine = ++stamp_;
                bool free = true;
                for (std::size_t i = 0; i < kMovingCount; ++i) {
                    const std::int64_t d =
                        rowBase[i] + kLines[static_cast<std::size_t>(kTestOrder[kFixedCount + i])].s * u;
                    const auto slot = static_cast<std::size_t>(d < 0 ? -d : d);
                    const std::uint32_t held = stamps_[slot];
                    if (held == mine || held == row) {
                        free = false;
                        break;
                    }
                    stamps_[slot] = mine;
                }
                if (free) found.push_back({static_cast<std::int32_t>(e10), u});
            }
        }
    }

    for (const Found& f : found) {
        Entries e{};
        for (int k = 1; k <= kEntryCount; ++k) {
            const auto i = static_cast<std::size_t>(k);
            e[i] = static_cast<std::int32_t>(a[i] + kLines[i].p * f.e10 + kLines[i].s * f.u);
        }
        cubes.push_back(e);
    }
    std::sort(cubes.begin(), cubes.end(), [](const Entries& x, const Entries& y) {
        return std::pair(RankInPairOrder(x[kE10]), RankInPairOrder(x[kE17])) <
               std::pair(RankInPairOrder(y[kE10]), RankInPairOrder(y[kE17]));
    });
}

} // namespace

void FindUnitCubes(std::int32_t lowerLimit, std::int32_t upperLimit, bool classOpenersOnly, OuterUnit unit,
                   std::vector<Entries>& cubes)
{
    thread_local RowSearcher searcher;
    searcher.Search(lowerLimit, upperLimit, classOpenersOnly, unit, cubes);
}

} // namespace pandicube
