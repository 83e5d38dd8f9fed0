#include "search/rows/unit_region.h"

#include "search/cube/formulas.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <numeric>
#include <tuple>
#include <utility>

namespace pandicube {

namespace {

// The free entries as the columns of an inequality.
enum Column : std::size_t { kColE10, kColE14, kColE17, kColE18, kColumnCount };

constexpr std::int64_t kUnbounded = std::int64_t{1} << 62;

// The range tests a row is summed from, at most three (see Eliminate): the
// index of each (2 * (entry - 1), plus 1 for its lower limit) and its weight.
struct RowSource {
    int test = 0;
    std::int64_t weight = 0;
};
inline constexpr std::size_t kMaxSources = 3;

// The inequality a . (e10, e14, e17, e18) <= bound, the positive sum of the
// range tests in `sources`.
struct Row {
    std::array<std::int64_t, kColumnCount> a{};
    std::int64_t bound = 0;
    std::array<RowSource, kMaxSources> sources{};
    std::size_t sourceCount = 0;
};

// How many range tests a sum of the two rows would add up.
std::size_t UnionCount(const Row& p, const Row& n)
{
    std::size_t count = p.sourceCount + n.sourceCount;
    for (std::size_t i = 0; i < p.sourceCount; ++i) {
        for (std::size_t j = 0; j < n.sourceCount; ++j) count -= p.sources[i].test == n.sources[j].test ? 1 : 0;
    }
    return count;
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
        Row upper{{f.c10, f.c14, f.c17, f.c18}, kAffineDenominator * upperLimit - f.constant, {}, 1};
        Row lower{{-f.c10, -f.c14, -f.c17, -f.c18}, f.constant - kAffineDenominator * lowerLimit, {}, 1};
        for (Row* r : {&upper, &lower}) {
            r->sources[0] = {static_cast<int>(rows.size()), 1};
            rows.push_back(*r);
        }
    }
    return rows;
}

// wp * p + wn * n, or false when a number would leave 64 bits.
bool SumRows(const Row& p, std::int64_t wp, const Row& n, std::int64_t wn, Row& sum)
{
    bool fits = MulAdd(wp, p.bound, 0, sum.bound) && MulAdd(wn, n.bound, sum.bound, sum.bound);
    for (std::size_t c = 0; c < kColumnCount && fits; ++c)
        fits = MulAdd(wp, p.a[c], 0, sum.a[c]) && MulAdd(wn, n.a[c], sum.a[c], sum.a[c]);
    sum.sourceCount = 0;
    for (const auto& [row, w] : {std::pair{&p, wp}, std::pair{&n, wn}}) {
        for (std::size_t i = 0; i < row->sourceCount && fits; ++i) {
            const RowSource& source = row->sources[i];
            std::size_t j = 0;
            while (j < sum.sourceCount && sum.sources[j].test != source.test) ++j;
            if (j == sum.sourceCount) sum.sources[sum.sourceCount++] = {source.test, 0};
            fits = MulAdd(w, source.weight, sum.sources[j].weight, sum.sources[j].weight);
        }
    }
    if (!fits) return false;
    // Keep the numbers small: divide by whatever divides them all.
    std::int64_t g = sum.bound;
    for (std::int64_t c : sum.a) g = std::gcd(g, c);
    for (std::size_t i = 0; i < sum.sourceCount; ++i) g = std::gcd(g, sum.sources[i].weight);
    if (g > 1) {
        sum.bound /= g;
        for (std::int64_t& c : sum.a) c /= g;
        for (std::size_t i = 0; i < sum.sourceCount; ++i) sum.sources[i].weight /= g;
    }
    return true;
}

// The rows that no point satisfying `rows` can break with `column` left out:
// those without it, and a positive sum of each pair with opposite signs in it
// (Fourier-Motzkin). A sum of more than `maxSources` range tests is implied by
// the others (Chernikov: at most one more than the columns left out so far)
// and is not formed; nor is a row whose numbers would leave 64 bits, which
// can only widen the region.
void Eliminate(std::vector<Row>& rows, std::size_t column, std::size_t maxSources)
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
            if (UnionCount(*p, *n) > maxSources) continue;
            Row sum;
            if (SumRows(*p, -n->a[column], *n, p->a[column], sum)) out.push_back(sum);
        }
    }
    rows.swap(out);
}

// Each entry of a cube is fixed modulo some number: e_k = residue (mod
// modulus), whatever the free entries, once they pass the loops' own tests
// (e14 a multiple of 3, e18 = e14 and e17 = e10 modulo 9 and 3) and make every
// entry an integer. Shifting a free entry by 9 moves e_k by its coefficient,
// so the residues of the free entries modulo 9 decide everything.
struct EntryResidue {
    std::int64_t residue = 0;
    std::int64_t modulus = 0;
};

const std::array<EntryResidue, kEntryCount + 1>& EntryResidues()
{
    static const std::array<EntryResidue, kEntryCount + 1> residues = [] {
        std::array<EntryResidue, kEntryCount + 1> out{};
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            const AffineForm& f = kAffineForms[static_cast<std::size_t>(entry)];
            out[static_cast<std::size_t>(entry)].modulus = std::gcd(std::gcd(f.c10, f.c14), std::gcd(f.c17, f.c18));
        }
        bool first = true;
        const auto forms = [](std::int64_t e10, std::int64_t e14, std::int64_t e17, std::int64_t e18, int entry) {
            const AffineForm& f = kAffineForms[static_cast<std::size_t>(entry)];
            return f.constant + f.c10 * e10 + f.c14 * e14 + f.c17 * e17 + f.c18 * e18;
        };
        for (std::int64_t e14 = 0; e14 < 9; e14 += 3) {
            for (std::int64_t e10 = 0; e10 < 9; ++e10) {
                for (std::int64_t e17 = e10 % 3; e17 < 9; e17 += 3) {
                    bool integral = true;
                    for (int entry = 1; entry <= kEntryCount && integral; ++entry)
                        integral = forms(e10, e14, e17, e14, entry) % kAffineDenominator == 0;
                    if (!integral) continue;
                    for (int entry = 1; entry <= kEntryCount; ++entry) {
                        EntryResidue& r = out[static_cast<std::size_t>(entry)];
                        const std::int64_t value = forms(e10, e14, e17, e14, entry) / kAffineDenominator;
                        if (first) r.residue = value;
                        r.modulus = std::gcd(r.modulus, value - r.residue);
                    }
                    first = false;
                }
            }
        }
        return out;
    }();
    return residues;
}

// How much a row's bound drops because the entries of a cube differ. A row
// sums weight w times the slack 9 * s of each of its tests, s = upperLimit -
// e_k or e_k - lowerLimit, a positive integer fixed modulo the entry's
// modulus. While s stays below R = upperLimit - 63, it is the distance of the
// key |e_k - 63| from R; the keys of a cube's entries differ, so the s of
// different entries differ too. The drop is 9 times the least sum of w * s
// over such choices (or w * R, if that is less).
std::int64_t DistinctEntriesDrop(const Row& r, std::int32_t lowerLimit, std::int32_t upperLimit)
{
    struct Slack {
        std::int64_t weight = 0;
        std::int64_t least = 0; // the least s >= 1 of its residue class
        std::int64_t step = 1;
    };
    std::array<Slack, kMaxSources> slacks{};
    const std::int64_t reach = upperLimit - kCentreValue;
    std::int64_t drop = reach * r.sources[0].weight;
    for (std::size_t i = 0; i < r.sourceCount; ++i) {
        const int entry = r.sources[i].test / 2 + 1;
        for (std::size_t j = 0; j < i; ++j) {
            if (r.sources[j].test / 2 + 1 == entry) return 0; // Both limits of one entry.
        }
        const EntryResidue& e = EntryResidues()[static_cast<std::size_t>(entry)];
        const std::int64_t s = r.sources[i].test % 2 == 0 ? upperLimit - e.residue : e.residue - lowerLimit;
        const std::int64_t step = e.modulus == 0 ? 1 : e.modulus; // 1: nothing known
        slacks[i] = {r.sources[i].weight, ((s - 1) % step + step) % step + 1, step};
        drop = std::min(drop, reach * r.sources[i].weight);
    }
    // Each s among the first three of its class: the others block two at most.
    std::array<std::int64_t, kMaxSources> s{};
    std::array<std::size_t, kMaxSources> pick{};
    for (;;) {
        std::int64_t sum = 0;
        bool distinct = true;
        for (std::size_t i = 0; i < r.sourceCount; ++i) {
            s[i] = slacks[i].least + static_cast<std::int64_t>(pick[i]) * slacks[i].step;
            for (std::size_t j = 0; j < i; ++j) distinct = distinct && s[i] != s[j];
            sum += slacks[i].weight * s[i];
        }
        if (distinct) drop = std::min(drop, sum);
        std::size_t i = 0;
        while (i < r.sourceCount && ++pick[i] == kMaxSources) pick[i++] = 0;
        if (i == r.sourceCount) break;
    }
    return MulAdd(drop, kAffineDenominator, 0, drop) ? drop : 0;
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

UnitRegion::UnitRegion(Limits limits, RegionRule rule)
{
    const std::int32_t lowerLimit = limits.lower;
    const std::int32_t upperLimit = limits.upper;
    // Step 1. The range tests of all entries, in the four free entries.
    std::vector<Row> rows = RangeRows(lowerLimit, upperLimit);
    // Step 2. Leave out e17 and e10: e17 is real here, as the windows of a
    // unit round only e10 and the combinations of e10 and e17 they test.
    Eliminate(rows, kColE17, 2);
    Eliminate(rows, kColE10, 3);
    // Step 3. Tighten the rows by the distinct entries of a cube (which needs
    // limits symmetric about 63, as every run's are), then round them to the
    // integers e14 and e18, keeping the tightest of each direction.
    const bool distinct = rule == RegionRule::kDistinctEntries && lowerLimit + upperLimit == kComplementSum;
    for (const Row& r : rows) {
        HalfPlane p{r.a[kColE14], r.a[kColE18],
                    r.bound - (distinct ? DistinctEntriesDrop(r, lowerLimit, upperLimit) : 0)};
        const std::int64_t g = std::gcd(p.a14, p.a18);
        if (g == 0) {
            if (p.bound < 0) return; // The limits admit no cube at all.
            continue;
        }
        halfPlanes_.push_back({p.a14 / g, p.a18 / g, FloorDiv(p.bound, g)});
    }
    std::sort(halfPlanes_.begin(), halfPlanes_.end(), [](const HalfPlane& x, const HalfPlane& y) {
        return std::tie(x.a14, x.a18, x.bound) < std::tie(y.a14, y.a18, y.bound);
    });
    halfPlanes_.erase(
        std::unique(halfPlanes_.begin(), halfPlanes_.end(),
                    [](const HalfPlane& x, const HalfPlane& y) { return x.a14 == y.a14 && x.a18 == y.a18; }),
        halfPlanes_.end());
    // The range tests of e14 and e18 themselves keep the polygon inside the
    // square of the limits.
    KeepEdges(halfPlanes_, lowerLimit - 1.0, upperLimit + 1.0);

    // Step 4. The shadow of the polygon on e14: leave out e18 as well.
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
        // Far inside 64 bits at every bound the tool accepts; were it not, the
        // half-plane would be passed over, which only widens the region.
        std::int64_t rest = 0;
        if (!MulAdd(-p.a14, e14, p.bound, rest)) continue;
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
