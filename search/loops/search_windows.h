#pragma once

#include "search/cells.h"
#include "search/cube/formulas.h"
#include "search/vocabulary.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <numeric>
#include <utility>

namespace pandicube {

// Integer division rounded towards minus and plus infinity, for any signs
// (the built-in division truncates towards zero). d must not be 0.
constexpr std::int64_t FloorDiv(std::int64_t n, std::int64_t d)
{
    const std::int64_t q = n / d;
    return (n % d != 0 && ((n < 0) != (d < 0))) ? q - 1 : q;
}

constexpr std::int64_t CeilDiv(std::int64_t n, std::int64_t d)
{
    const std::int64_t q = n / d;
    return (n % d != 0 && ((n < 0) == (d < 0))) ? q + 1 : q;
}

namespace window_detail {

// A direction of the (e10, e17) plane: w = a * e10 + b * e17 with b > 0 and
// gcd(a, b) = 1. Every range test of loop 4 reads one linear combination of
// e10 and e17 (the other free entries are fixed by then), and only 12 distinct
// directions occur, so one window on w per direction replaces them all.
struct Direction {
    std::int64_t a = 0;
    std::int64_t b = 0;
};

// A range test on w: 9 * entry = offset + m * w, with the offset read from
// the entry's affine form at fixed e14 and e18.
struct DirectionMember {
    int entry = 0;
    std::size_t direction = 0;
    std::int64_t m = 0;
};

constexpr bool ReadsE17(int entry)
{
    return kAffineForms[static_cast<std::size_t>(entry)].c17 != 0;
}

constexpr Direction DirectionOf(int entry)
{
    const AffineForm& f = kAffineForms[static_cast<std::size_t>(entry)];
    std::int64_t g = std::gcd(f.c10, f.c17);
    if (f.c17 < 0) g = -g;
    return {f.c10 / g, f.c17 / g};
}

// The entries range-tested once e17 is set: e17 itself and the 52 of loop 4.
constexpr std::array<int, 53> kE17Entries = [] {
    std::array<int, 53> entries{};
    std::size_t n = 0;
    entries[n++] = kE17;
    for (std::size_t i = kLevel4Steps.first; i < kLevel4Steps.end; ++i) entries[n++] = kFormulaTable[i].entry;
    return entries;
}();

constexpr std::size_t CountDirections()
{
    std::array<Direction, kE17Entries.size()> seen{};
    std::size_t count = 0;
    for (int entry : kE17Entries) {
        const Direction d = DirectionOf(entry);
        bool known = false;
        for (std::size_t i = 0; i < count; ++i) known = known || (seen[i].a == d.a && seen[i].b == d.b);
        if (!known) seen[count++] = d;
    }
    return count;
}

} // namespace window_detail

inline constexpr std::size_t kDirectionCount = window_detail::CountDirections();

// The distinct directions, in order of first appearance.
inline constexpr std::array<window_detail::Direction, kDirectionCount> kDirections = [] {
    std::array<window_detail::Direction, kDirectionCount> dirs{};
    std::size_t count = 0;
    for (int entry : window_detail::kE17Entries) {
        const window_detail::Direction d = window_detail::DirectionOf(entry);
        bool known = false;
        for (std::size_t i = 0; i < count; ++i) known = known || (dirs[i].a == d.a && dirs[i].b == d.b);
        if (!known) dirs[count++] = d;
    }
    return dirs;
}();

inline constexpr std::array<window_detail::DirectionMember, window_detail::kE17Entries.size()> kDirectionMembers = [] {
    std::array<window_detail::DirectionMember, window_detail::kE17Entries.size()> members{};
    std::size_t n = 0;
    for (int entry : window_detail::kE17Entries) {
        static_assert(window_detail::ReadsE17(kE17));
        const window_detail::Direction d = window_detail::DirectionOf(entry);
        std::size_t index = 0;
        while (kDirections[index].a != d.a || kDirections[index].b != d.b) ++index;
        members[n++] = {entry, index, kAffineForms[static_cast<std::size_t>(entry)].c17 / d.b};
    }
    return members;
}();

// The range tests of one outer unit (e14, e18) under the current limits,
// turned into windows: for every direction the allowed values of w, and the
// values of e10 for which the range tests of loops 3 and 4 leave any e17 at
// all. A unit whose window of some direction is empty has no e10, and the
// windows of the directions after that one may be left unbounded: that one
// alone leaves no e17 at any e10.
struct UnitWindows {
    std::array<std::int64_t, kDirectionCount> wLow{};
    std::array<std::int64_t, kDirectionCount> wHigh{};
    ValueWindow e10;
    // The limits these windows were computed for.
    std::int32_t lowerLimit = 0;
    std::int32_t upperLimit = 0;
};

// Computes the windows of the unit for the exclusive limits given. Every e10
// outside `e10` fails a range test of loop 3 (or its own), or leaves every e17
// to fail a range test of loop 4; the converse need not hold. With
// classOpenersOnly the limits of each entry are narrowed to those of a cube
// that opens its class (NarrowToClassOpener), and "fails" reads "fails those".
UnitWindows ComputeUnitWindows(std::int32_t e14, std::int32_t e18, std::int32_t lowerLimit, std::int32_t upperLimit,
                               bool classOpenersOnly = false);

// Exactly the values of e17 for which e17 and every entry of loop 4 pass the
// range test, at the given e10: the e17 inside every direction's window.
constexpr ValueWindow E17Window(const UnitWindows& u, std::int32_t e10)
{
    ValueWindow w{-(std::int64_t{1} << 62), std::int64_t{1} << 62};
    for (std::size_t d = 0; d < kDirectionCount; ++d) {
        const window_detail::Direction& direction = kDirections[d];
        const std::int64_t lo = CeilDiv(u.wLow[d] - direction.a * e10, direction.b);
        const std::int64_t hi = FloorDiv(u.wHigh[d] - direction.a * e10, direction.b);
        if (lo > w.lo) w.lo = lo;
        if (hi < w.hi) w.hi = hi;
    }
    return w;
}

// What a cursor over the rows of a unit gives at each row: the window of
// e17, or that of u = (e17 + 2 e10) / 3 over the e17 of the window that keep
// e17 - e10 a multiple of 3 (the row search's).
enum class RowWindow { kOfE17, kOfU };

// E17Window for the rows of a unit in ascending order, e10 = u.e10.lo,
// u.e10.lo + 1, ..., without a division at most rows. Each edge of the
// window is the maximum (lower edge) or minimum (upper edge) over the
// directions of a line in e10, and only a few of the 12 lines ever hold it
// inside the unit's e10 window: the cursor keeps those, each from the first
// e10 at which it does. So is each edge of the window of u, since
// ceil((ceil(x) + 2 e10) / 3) = ceil((x + 2 e10) / 3): its lines are those of
// e17 with a - 2 b for a and 3 b for b.
class E17WindowCursor {
public:
    // With `descending`, for the rows from u.e10.hi down to u.e10.lo.
    explicit E17WindowCursor(const UnitWindows& u, bool descending = false);
    // For the rows of `rows` alone (within u.e10).
    E17WindowCursor(const UnitWindows& u, ValueWindow rows, bool descending = false,
                    RowWindow window = RowWindow::kOfE17);

    // The same window as E17Window(u, e10) (or the window of u from it); e10
    // must not fall (or, with `descending`, rise) between calls.
    [[gnu::always_inline]] ValueWindow At(std::int64_t e10)
    {
        const std::int64_t e = descending_ ? -e10 : e10;
        return {low_.At(e), -high_.At(e)};
    }

private:
    // ceil(n / divisor) for a divisor that is the b of one of the directions
    // or 3 b: each is a constant there, so the division is a multiplication
    // (a piece keeps its divisor over many rows, so the branches are well
    // predicted).
    template <std::size_t... D>
    static std::int64_t CeilDivByDirection(std::int64_t n, std::int64_t divisor, std::index_sequence<D...>)
    {
        std::int64_t q = 0;
        const bool known = ((divisor == kDirections[D].b && (q = CeilDiv(n, kDirections[D].b), true)) || ...) ||
                           ((divisor == 3 * kDirections[D].b && (q = CeilDiv(n, 3 * kDirections[D].b), true)) || ...);
        return known ? q : CeilDiv(n, divisor);
    }

    // max over the lines of ceil((n - slope * e) / divisor), divisor > 0; the
    // upper edge with every sign turned, as min(floor(x)) = -max(ceil(-x)).
    class Edge {
    public:
        struct Line {
            std::int64_t n = 0;
            std::int64_t slope = 0;
            std::int64_t divisor = 1;
        };

        void Build(const std::array<Line, kDirectionCount>& lines, std::int64_t from, std::int64_t to);
        // At the next e on the same line, the edge steps from the last one:
        // with n - slope e = divisor * value - rest (0 <= rest < divisor),
        // one more e takes slope off, the quotient of slope by the divisor
        // from the value and its remainder onto the rest. Elsewhere it
        // divides.
        [[gnu::always_inline]] std::int64_t At(std::int64_t e)
        {
            if (e != e_ + 1 || (at_ + 1 < count_ && e >= pieces_[at_ + 1].from)) return Divide(e);
            const Piece& p = pieces_[at_];
            e_ = e;
            value_ -= p.slopeQuotient;
            rest_ += p.slopeRemainder;
            if (rest_ >= p.line.divisor) {
                rest_ -= p.line.divisor;
                --value_;
            }
            return value_;
        }

    private:
        [[gnu::noinline]] std::int64_t Divide(std::int64_t e)
        {
            while (at_ + 1 < count_ && e >= pieces_[at_ + 1].from) ++at_;
            const Line& l = pieces_[at_].line;
            const std::int64_t n = l.n - l.slope * e;
            value_ = CeilDivByDirection(n, l.divisor, std::make_index_sequence<kDirectionCount>{});
            rest_ = value_ * l.divisor - n;
            e_ = e;
            return value_;
        }

        struct Piece {
            std::int64_t from = 0;
            Line line;
            std::int64_t slopeQuotient = 0; // floor(slope / divisor)
            std::int64_t slopeRemainder = 0;
        };
        std::array<Piece, kDirectionCount> pieces_{};
        std::size_t count_ = 0;
        std::size_t at_ = 0;
        // The last e met and the edge there; none yet.
        std::int64_t e_ = std::numeric_limits<std::int64_t>::min();
        std::int64_t value_ = 0;
        std::int64_t rest_ = 0;
    };

    Edge low_;
    Edge high_;
    bool descending_ = false;
};

} // namespace pandicube
