#include "search/loops/search_windows.h"

#include "search/cube/cube_symmetry.h"

#include <algorithm>
#include <utility>

namespace pandicube {

namespace {

// Narrows [lo, hi] to the integers x with low < m * x < high (m != 0).
void NarrowToStrictRange(std::int64_t& lo, std::int64_t& hi, std::int64_t low, std::int64_t high, std::int64_t m)
{
    std::int64_t from = 0;
    std::int64_t to = 0;
    if (m > 0) {
        from = FloorDiv(low, m) + 1;
        to = CeilDiv(high, m) - 1;
    } else {
        from = FloorDiv(high, m) + 1;
        to = CeilDiv(low, m) - 1;
    }
    if (from > lo) lo = from;
    if (to < hi) hi = to;
}

// 9 times the entry at e10 = e17 = 0, for fixed e14 and e18.
std::int64_t OffsetAt(int entry, std::int32_t e14, std::int32_t e18)
{
    const AffineForm& f = kAffineForms[static_cast<std::size_t>(entry)];
    return f.constant + f.c14 * e14 + f.c18 * e18;
}

} // namespace

UnitWindows ComputeUnitWindows(std::int32_t e14, std::int32_t e18, std::int32_t lowerLimit, std::int32_t upperLimit,
                               bool classOpenersOnly)
{
    UnitWindows u;
    u.lowerLimit = lowerLimit;
    u.upperLimit = upperLimit;
    // 9 times the exclusive limits of an entry.
    const auto limits9 = [&](int entry) {
        std::int64_t low = lowerLimit;
        std::int64_t high = upperLimit;
        if (classOpenersOnly) NarrowToClassOpener(entry, e14, e18, low, high);
        return std::pair{kAffineDenominator * low, kAffineDenominator * high};
    };

    // Step 1. The range tests of e17 and of loop 4, one window on w per
    // direction. Every direction has members, so no window stays unbounded.
    u.wLow.fill(-(std::int64_t{1} << 40));
    u.wHigh.fill(std::int64_t{1} << 40);
    for (const window_detail::DirectionMember& member : kDirectionMembers) {
        const std::int64_t offset = OffsetAt(member.entry, e14, e18);
        const auto [low9, high9] = limits9(member.entry);
        NarrowToStrictRange(u.wLow[member.direction], u.wHigh[member.direction], low9 - offset, high9 - offset,
                            member.m);
    }

    // Step 2. The range tests of e10 itself and of loop 3 bound e10 directly.
    u.e10 = {std::int64_t{lowerLimit} + 1, std::int64_t{upperLimit} - 1};
    for (std::size_t i = kLevel3Steps.first; i < kLevel3Steps.end; ++i) {
        const int entry = kFormulaTable[i].entry;
        const std::int64_t offset = OffsetAt(entry, e14, e18);
        const auto [low9, high9] = limits9(entry);
        NarrowToStrictRange(u.e10.lo, u.e10.hi, low9 - offset, high9 - offset,
                            kAffineForms[static_cast<std::size_t>(entry)].c10);
    }

    // Step 3. An e17 must lie above the lower edge of every direction's window
    // and below the upper edge of every other: for directions 1 and 2,
    // (wLow1 - a1 e10) / b1 <= (wHigh2 - a2 e10) / b2, a bound on e10 alone.
    for (std::size_t d1 = 0; d1 < kDirectionCount; ++d1) {
        for (std::size_t d2 = 0; d2 < kDirectionCount; ++d2) {
            const window_detail::Direction& p = kDirections[d1];
            const window_detail::Direction& q = kDirections[d2];
            const std::int64_t coeff = q.a * p.b - p.a * q.b;
            const std::int64_t rhs = p.b * u.wHigh[d2] - q.b * u.wLow[d1];
            if (coeff > 0) {
                const std::int64_t hi = FloorDiv(rhs, coeff);
                if (hi < u.e10.hi) u.e10.hi = hi;
            } else if (coeff < 0) {
                const std::int64_t lo = CeilDiv(rhs, coeff);
                if (lo > u.e10.lo) u.e10.lo = lo;
            } else if (rhs < 0) {
                u.e10 = {}; // Two parallel windows that do not meet: no e10 at all.
                return u;
            }
        }
    }
    return u;
}

E17WindowCursor::E17WindowCursor(const UnitWindows& u, bool descending) : E17WindowCursor(u, u.e10, descending) {}

E17WindowCursor::E17WindowCursor(const UnitWindows& u, ValueWindow rows, bool descending) : descending_(descending)
{
    // e17 >= (wLow - a e10) / b and e17 <= (wHigh - a e10) / b per direction.
    // Descending, the edges are walked in e = -e10, whose slopes turn sign.
    const std::int64_t sign = descending ? -1 : 1;
    std::array<Edge::Line, kDirectionCount> low;
    std::array<Edge::Line, kDirectionCount> high;
    for (std::size_t d = 0; d < kDirectionCount; ++d) {
        low[d] = {u.wLow[d], sign * kDirections[d].a, kDirections[d].b};
        high[d] = {-u.wHigh[d], -sign * kDirections[d].a, kDirections[d].b};
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
        pieces_[count_++] = {start, lines[active]};
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
