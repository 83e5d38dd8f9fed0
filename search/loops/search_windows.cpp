#include "search/loops/search_windows.h"

#include "search/cube/cube_symmetry.h"

#include <algorithm>
#include <utility>

namespace pandicube {

namespace {

// Narrows [lo, hi] to the integers x with low < M * x < high (M != 0). M is a
// constant, so the divisions are multiplications.
template <std::int64_t M>
void NarrowToStrictRange(std::int64_t& lo, std::int64_t& hi, std::int64_t low, std::int64_t high)
{
    static_assert(M != 0);
    std::int64_t from = 0;
    std::int64_t to = 0;
    if constexpr (M > 0) {
        from = FloorDiv(low, M) + 1;
        to = CeilDiv(high, M) - 1;
    } else {
        from = FloorDiv(high, M) + 1;
        to = CeilDiv(low, M) - 1;
    }
    if (from > lo) lo = from;
    if (to < hi) hi = to;
}

// 9 times the entry at e10 = e17 = 0, for fixed e14 and e18.
template <int Entry>
std::int64_t OffsetAt(std::int32_t e14, std::int32_t e18)
{
    constexpr AffineForm f = kAffineForms[static_cast<std::size_t>(Entry)];
    return f.constant + f.c14 * e14 + f.c18 * e18;
}

// The unit's exclusive limits of one entry, times 9: the run's, or with
// classOpenersOnly those of a cube that opens its class.
template <int Entry>
std::pair<std::int64_t, std::int64_t> Limits9(std::int32_t e14, std::int32_t e18, std::int32_t lowerLimit,
                                              std::int32_t upperLimit, bool classOpenersOnly)
{
    std::int64_t low = lowerLimit;
    std::int64_t high = upperLimit;
    if (classOpenersOnly) NarrowToClassOpener<Entry>(e14, e18, low, high);
    return {kAffineDenominator * low, kAffineDenominator * high};
}

// The number of members of each direction.
inline constexpr std::array<std::size_t, kDirectionCount> kMembersOfDirection = [] {
    std::array<std::size_t, kDirectionCount> members{};
    for (const window_detail::DirectionMember& m : kDirectionMembers) ++members[m.direction];
    return members;
}();
// The direction with the most members, which half the entries of loop 4
// share: its window is the one that most often closes.
inline constexpr std::size_t kWidestDirection = static_cast<std::size_t>(
    std::max_element(kMembersOfDirection.begin(), kMembersOfDirection.end()) - kMembersOfDirection.begin());
inline constexpr std::size_t kWidestMembers = kMembersOfDirection[kWidestDirection];

// The members of step 1 in the order they are met: those of the widest
// direction first.
inline constexpr std::array<std::size_t, kDirectionMembers.size()> kMemberOrder = [] {
    std::array<std::size_t, kDirectionMembers.size()> order{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < kDirectionMembers.size(); ++i)
        if (kDirectionMembers[i].direction == kWidestDirection) order[n++] = i;
    for (std::size_t i = 0; i < kDirectionMembers.size(); ++i)
        if (kDirectionMembers[i].direction != kWidestDirection) order[n++] = i;
    return order;
}();

// Step 1 for the I-th member in kMemberOrder, an entry of loop 4 (or e17):
// its range test bounds the window of its direction.
template <std::size_t I>
void NarrowDirectionWindow(UnitWindows& u, std::int32_t e14, std::int32_t e18, bool classOpenersOnly)
{
    constexpr window_detail::DirectionMember member = kDirectionMembers[kMemberOrder[I]];
    const std::int64_t offset = OffsetAt<member.entry>(e14, e18);
    const auto [low9, high9] = Limits9<member.entry>(e14, e18, u.lowerLimit, u.upperLimit, classOpenersOnly);
    NarrowToStrictRange<member.m>(u.wLow[member.direction], u.wHigh[member.direction], low9 - offset, high9 - offset);
}

// Step 2 for one entry of loop 3: its range test bounds e10 directly.
template <std::size_t I>
void NarrowE10ByLevel3(UnitWindows& u, std::int32_t e14, std::int32_t e18, bool classOpenersOnly)
{
    constexpr int entry = kFormulaTable[kLevel3Steps.first + I].entry;
    const std::int64_t offset = OffsetAt<entry>(e14, e18);
    const auto [low9, high9] = Limits9<entry>(e14, e18, u.lowerLimit, u.upperLimit, classOpenersOnly);
    NarrowToStrictRange<kAffineForms[static_cast<std::size_t>(entry)].c10>(u.e10.lo, u.e10.hi, low9 - offset,
                                                                           high9 - offset);
}

// Step 3 for one pair of directions (D1, D2): an e17 must lie above the
// lower edge of D1's window and below the upper edge of D2's, that is
// (wLow1 - a1 e10) / b1 <= (wHigh2 - a2 e10) / b2, a bound on e10 alone;
// false when it leaves no e10 at all (two parallel windows that do not meet).
template <std::size_t Pair>
bool NarrowE10ByDirections(UnitWindows& u)
{
    constexpr std::size_t d1 = Pair / kDirectionCount;
    constexpr std::size_t d2 = Pair % kDirectionCount;
    constexpr window_detail::Direction p = kDirections[d1];
    constexpr window_detail::Direction q = kDirections[d2];
    constexpr std::int64_t coeff = q.a * p.b - p.a * q.b;
    const std::int64_t rhs = p.b * u.wHigh[d2] - q.b * u.wLow[d1];
    if constexpr (coeff > 0) {
        const std::int64_t hi = FloorDiv(rhs, coeff);
        if (hi < u.e10.hi) u.e10.hi = hi;
    } else if constexpr (coeff < 0) {
        const std::int64_t lo = CeilDiv(rhs, coeff);
        if (lo > u.e10.lo) u.e10.lo = lo;
    } else {
        return rhs >= 0;
    }
    return true;
}

} // namespace

UnitWindows ComputeUnitWindows(std::int32_t e14, std::int32_t e18, std::int32_t lowerLimit, std::int32_t upperLimit,
                               bool classOpenersOnly)
{
    UnitWindows u;
    u.lowerLimit = lowerLimit;
    u.upperLimit = upperLimit;
    // Every member, direction and divisor is a constant, each step written
    // out: a unit's windows take some tens of nanoseconds, where most units
    // of a search of the class openers have none.

    // Step 1. The range tests of e17 and of loop 4, one window on w per
    // direction. Every direction has members, so no window stays unbounded.
    // A direction whose window is empty leaves no e17 at any e10 (step 3
    // would find it as a pair of parallel windows that do not meet). Most
    // units of a search of the class openers end so, at the widest direction:
    // its window is made and looked at first.
    u.wLow.fill(-(std::int64_t{1} << 40));
    u.wHigh.fill(std::int64_t{1} << 40);
    const auto closed = [&u](std::size_t d) {
        if (u.wLow[d] <= u.wHigh[d]) return false;
        u.e10 = {};
        return true;
    };
    [&]<std::size_t... I>(std::index_sequence<I...>)
    {
        (NarrowDirectionWindow<I>(u, e14, e18, classOpenersOnly), ...);
    }
    (std::make_index_sequence<kWidestMembers>{});
    if (closed(kWidestDirection)) return u;
    [&]<std::size_t... I>(std::index_sequence<I...>)
    {
        (NarrowDirectionWindow<kWidestMembers + I>(u, e14, e18, classOpenersOnly), ...);
    }
    (std::make_index_sequence<kDirectionMembers.size() - kWidestMembers>{});
    for (std::size_t d = 0; d < kDirectionCount; ++d)
        if (closed(d)) return u;

    // Step 2. The range tests of e10 itself and of loop 3 bound e10
    // directly.
    u.e10 = {std::int64_t{lowerLimit} + 1, std::int64_t{upperLimit} - 1};
    [&]<std::size_t... I>(std::index_sequence<I...>)
    {
        (NarrowE10ByLevel3<I>(u, e14, e18, classOpenersOnly), ...);
    }
    (std::make_index_sequence<kLevel3Steps.end - kLevel3Steps.first>{});

    // Step 3. Every pair of directions bounds e10 (nothing to narrow when
    // loop 3 has left none), up to a pair of parallel windows that do not
    // meet.
    if (u.e10.Empty()) return u;
    const bool meet = [&]<std::size_t... Pair>(std::index_sequence<Pair...>)
    {
        return (NarrowE10ByDirections<Pair>(u) && ...);
    }
    (std::make_index_sequence<kDirectionCount * kDirectionCount>{});
    if (!meet) u.e10 = {};
    return u;
}

E17WindowCursor::E17WindowCursor(const UnitWindows& u, bool descending) : E17WindowCursor(u, u.e10, descending) {}

E17WindowCursor::E17WindowCursor(const UnitWindows& u, ValueWindow rows, bool descending, RowWindow window)
    : descending_(descending)
{
    // e17 >= (wLow - a e10) / b and e17 <= (wHigh - a e10) / b per direction.
    // Descending, the edges are walked in e = -e10, whose slopes turn sign.
    const std::int64_t sign = descending ? -1 : 1;
    std::array<Edge::Line, kDirectionCount> low;
    std::array<Edge::Line, kDirectionCount> high;
    for (std::size_t d = 0; d < kDirectionCount; ++d) {
        const std::int64_t b = kDirections[d].b;
        const std::int64_t a = window == RowWindow::kOfU ? kDirections[d].a - 2 * b : kDirections[d].a;
        const std::int64_t divisor = window == RowWindow::kOfU ? 3 * b : b;
        low[d] = {u.wLow[d], sign * a, divisor};
        high[d] = {-u.wHigh[d], -sign * a, divisor};
    }
    const std::int64_t from = descending ? -rows.hi : rows.lo;
    const std::int64_t to = descending ? -rows.lo : rows.hi;
    low_.Build(low, from, to);
    high_.Build(high, from, to);
}

void E17WindowCursor::Edge::Build(const std::array<Line, kDirectionCount>& lines, std::int64_t from, std::int64_t to)
{
    // Whether line x lies above line y at e; whether x rises faster.
    const auto above = [](const Line& x, const Line& y, std::int64_t e) {
        return (x.n - x.slope * e) * y.divisor > (y.n - y.slope * e) * x.divisor;
    };
    const auto steeper = [](const Line& x, const Line& y) { return y.slope * x.divisor > x.slope * y.divisor; };
    count_ = 0;
    at_ = 0;
    e_ = std::numeric_limits<std::int64_t>::min();
    std::int64_t start = from;
    for (;;) {
        // The line that holds the maximum at `start`; of several, the
        // steepest, which holds it longest. Each new one is steeper than the
        // one before, so there are at most as many pieces as lines.
        std::size_t active = 0;
        for (std::size_t d = 1; d < lines.size(); ++d) {
            if (above(lines[d], lines[active], start) ||
                (!above(lines[active], lines[d], start) && steeper(lines[d], lines[active])))
                active = d;
        }
        const Line& line = lines[active];
        const std::int64_t quotient = FloorDiv(line.slope, line.divisor);
        pieces_[count_++] = {start, line, quotient, line.slope - quotient * line.divisor};
        // It holds the maximum up to the first e at which a steeper line rises
        // above it; the others lie below it at `start`, so that e comes later.
        std::int64_t next = to + 1;
        const Line& a = lines[active];
        for (const Line& l : lines) {
            const std::int64_t m = a.slope * l.divisor - l.slope * a.divisor;
            if (m > 0) next = std::min(next, FloorDiv(a.n * l.divisor - l.n * a.divisor, m) + 1);
        }
        if (next > to) return;
        start = next;
    }
}

} // namespace pandicube
