#include "search/unit_region.h"

#include "search/formulas.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdlib>
#include <numeric>

namespace pandicube {

namespace {

// The free entries as the columns of an inequality.
enum Column : std::size_t { kColE10, kColE14, kColE17, kColE18, kColumnCount };

constexpr std::int64_t kUnbounded = std::int64_t{1} << 62;

// The inequality a . (e10, e14, e17, e18) <= bound, and the range tests it
// was summed from (one bit each, 124 in all).
struct Row {
    std::array<std::int64_t, kColumnCount> a{};
    std::int64_t bound = 0;
    std::array<std::uint64_t, 2> sources{};
};

int SourceCount(const Row& r)
{
    return std::popcount(r.sources[0]) + std::popcount(r.sources[1]);
}

// x * y + z, or false when a step leaves 64 bits.
bool MulAdd(std::int64_t x, std::int64_t y, std::int64_t z, std::int64_t& out)
{
    std::int64_t product = 0;
    return !__builtin_mul_overflow(x, y, &product) && !__builtin_add_overflow(product, z, &out);
}

// The closed relaxation of the range tests: 9 * lowerLimit <= 9 * e_k <=
// 9 * upperLimit for all 62 entries, the free ones included.
std::vector<Row> RangeRows(std::int32_t lowerLimit, std::int32_t upperLimit)
{
    std::vector<Row> rows;
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        const AffineForm& f = kAffineForms[static_cast<std::size_t>(entry)];
        const Row upper{{f.c10, f.c14, f.c17, f.c18}, kAffineDenominator * upperLimit - f.constant, {}};
        const Row lower{{-f.c10, -f.c14, -f.c17, -f.c18}, f.constant - kAffineDenominator * lowerLimit, {}};
        for (Row r : {upper, lower}) {
            const std::size_t bit = rows.size();
            r.sources[bit / 64] = std::uint64_t{1} << (bit % 64);
            rows.push_back(r);
        }
    }
    return rows;
}

// Divides a row by the common divisor of its coefficients, rounding the bound
// down: every integer point of the row keeps it. Only for rows whose columns
// all hold integers at the points that must stay inside.
void RoundToIntegers(Row& row)
{
    std::int64_t g = 0;
    for (std::int64_t c : row.a) g = std::gcd(g, c);
    if (g <= 1) return;
    for (std::int64_t& c : row.a) c /= g;
    row.bound = FloorDiv(row.bound, g);
}

// The rows that no point satisfying `rows` can break with `column` left out:
// those without it, and a positive sum of each pair with opposite signs in it
// (Fourier-Motzkin). A sum of more range tests than `maxSources` is implied
// by the others (Chernikov: at most one more than the columns left out so
// far) and is not formed. Rounded to integers, keeping the tightest row of
// each direction; false when the rows contradict each other outright.
bool Eliminate(std::vector<Row>& rows, std::size_t column, int maxSources)
{
    std::vector<Row> out;
    std::vector<const Row*> positive;
    std::vector<const Row*> negative;
    for (const Row& r : rows) {
        if (r.a[column] > 0)
            positive.push_back(&r);
        else if (r.a[column] < 0)
            negative.push_back(&r);
        else
            out.push_back(r);
    }
    for (const Row* p : positive) {
        for (const Row* n : negative) {
            Row sum;
            sum.sources = {p->sources[0] | n->sources[0], p->sources[1] | n->sources[1]};
            if (SourceCount(sum) > maxSources) continue;
            const std::int64_t wp = -n->a[column];
            const std::int64_t wn = p->a[column];
            bool fits = MulAdd(wp, p->bound, 0, sum.bound) && MulAdd(wn, n->bound, sum.bound, sum.bound);
            for (std::size_t c = 0; c < kColumnCount && fits; ++c)
                fits = MulAdd(wp, p->a[c], 0, sum.a[c]) && MulAdd(wn, n->a[c], sum.a[c], sum.a[c]);
            // A row too large for 64 bits is left out: the region only widens.
            if (fits) out.push_back(sum);
        }
    }
    rows.clear();
    for (Row& r : out) {
        RoundToIntegers(r);
        if (std::all_of(r.a.begin(), r.a.end(), [](std::int64_t c) { return c == 0; })) {
            if (r.bound < 0) return false;
            continue;
        }
        rows.push_back(r);
    }
    std::sort(rows.begin(), rows.end(),
              [](const Row& x, const Row& y) { return x.a != y.a ? x.a < y.a : x.bound < y.bound; });
    rows.erase(std::unique(rows.begin(), rows.end(), [](const Row& x, const Row& y) { return x.a == y.a; }),
               rows.end());
    return true;
}

// Leaves out the half-planes that do not bound the polygon, which contains
// the box's centre part only. The polygon is traced in floating point, by
// cutting the box with one half-plane after the other; a half-plane is kept
// when any corner lies on or near its line. Rounding can only keep too many
// or leave out an edge, which widens the region: never a unit too few.
void KeepEdges(std::vector<UnitRegion::HalfPlane>& planes, double boxLow, double boxHigh)
{
    struct Point {
        double x = 0;
        double y = 0;
    };
    std::vector<Point> polygon{{boxLow, boxLow}, {boxHigh, boxLow}, {boxHigh, boxHigh}, {boxLow, boxHigh}};
    std::vector<Point> cut;
    const auto slack = [](const UnitRegion::HalfPlane& p, Point v) {
        return static_cast<double>(p.bound) - static_cast<double>(p.a14) * v.x - static_cast<double>(p.a18) * v.y;
    };
    for (const UnitRegion::HalfPlane& p : planes) {
        cut.clear();
        for (std::size_t i = 0; i < polygon.size(); ++i) {
            const Point from = polygon[i];
            const Point to = polygon[(i + 1) % polygon.size()];
            const double s = slack(p, from);
            const double t = slack(p, to);
            if (s >= 0) cut.push_back(from);
            if ((s >= 0) != (t >= 0)) {
                const double f = s / (s - t);
                cut.push_back({from.x + f * (to.x - from.x), from.y + f * (to.y - from.y)});
            }
        }
        polygon.swap(cut);
        if (polygon.empty()) return; // Too thin to trace: every half-plane stays.
    }
    const double scale = boxHigh - boxLow + 1;
    std::erase_if(planes, [&](const UnitRegion::HalfPlane& p) {
        const double tolerance = 1e-6 * scale * static_cast<double>(std::abs(p.a14) + std::abs(p.a18));
        return std::none_of(polygon.begin(), polygon.end(), [&](Point v) { return slack(p, v) <= tolerance; });
    });
}

} // namespace

UnitRegion::UnitRegion(std::int32_t lowerLimit, std::int32_t upperLimit)
{
    // Step 1. The range tests of all entries, in the four free entries.
    std::vector<Row> rows = RangeRows(lowerLimit, upperLimit);
    // Step 2. Leave out e17, which may be real here (the windows of a unit
    // round only e10 and the combinations of e10 and e17 they test), then
    // e10; every row left reads integers only, so rounding is sound.
    if (!Eliminate(rows, kColE17, 2) || !Eliminate(rows, kColE10, 3)) return;
    for (const Row& r : rows) halfPlanes_.push_back({r.a[kColE14], r.a[kColE18], r.bound});
    // The range tests of e14 and e18 themselves keep the polygon inside the
    // square of the limits.
    KeepEdges(halfPlanes_, lowerLimit - 1.0, upperLimit + 1.0);

    // Step 3. The shadow of the polygon on e14: leave out e18 as well.
    e14Range_ = {-kUnbounded, kUnbounded};
    const auto narrow = [this](std::int64_t a14, std::int64_t bound) {
        if (a14 > 0)
            e14Range_.hi = std::min(e14Range_.hi, FloorDiv(bound, a14));
        else if (a14 < 0)
            e14Range_.lo = std::max(e14Range_.lo, CeilDiv(bound, a14));
        else if (bound < 0)
            e14Range_ = {};
    };
    for (const HalfPlane& p : halfPlanes_) {
        if (p.a18 == 0) narrow(p.a14, p.bound);
        if (p.a18 <= 0) continue;
        for (const HalfPlane& n : halfPlanes_) {
            if (n.a18 >= 0) continue;
            std::int64_t a14 = 0;
            std::int64_t bound = 0;
            if (MulAdd(-n.a18, p.a14, 0, a14) && MulAdd(p.a18, n.a14, a14, a14) && MulAdd(-n.a18, p.bound, 0, bound) &&
                MulAdd(p.a18, n.bound, bound, bound))
                narrow(a14, bound);
        }
    }
}

ValueWindow UnitRegion::E18Range(std::int32_t e14) const
{
    if (!e14Range_.Contains(e14)) return {};
    ValueWindow w{-kUnbounded, kUnbounded};
    for (const HalfPlane& p : halfPlanes_) {
        // Each bound is at most about 2^50 and each coefficient times e14
        // about 2^40 (see the test at the largest bound), far inside 64 bits.
        const std::int64_t rest = p.bound - p.a14 * e14;
        if (p.a18 > 0)
            w.hi = std::min(w.hi, FloorDiv(rest, p.a18));
        else if (p.a18 < 0)
            w.lo = std::max(w.lo, CeilDiv(rest, p.a18));
        else if (rest < 0)
            return {};
    }
    return w;
}

bool UnitMayHoldCubes(const UnitRegion& region, OuterUnit unit)
{
    return region.E18Range(unit.e14).Contains(unit.e18);
}

bool SkipE18IntoRegion(const UnitRegion& region, std::int32_t e14, std::int32_t& e18)
{
    constexpr std::int32_t kModulus = 9;
    return SkipInPairOrder(e18, region.E18Range(e14), kModulus, ((e14 % kModulus) + kModulus) % kModulus);
}

} // namespace pandicube
