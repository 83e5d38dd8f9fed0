#pragma once

#include "search/loops/search_windows.h"
#include "search/vocabulary.h"

#include <cstdint>
#include <vector>

namespace pandicube {

// What a UnitRegion assumes of the units it must hold.
enum class RegionRule {
    // Every entry inside the limits, e17 real: the region holds every unit
    // whose e10 window (ComputeUnitWindows) is not empty.
    kRangesOnly,
    // Also the keys |e_k - 63| of a cube's 62 entries differ, and each entry
    // is fixed modulo some number: the region holds every unit with a cube.
    // Tighter where entries crowd a limit: at large bounds it leaves out the
    // first e14 of the other region, whose units have wide e10 windows but
    // no cube, and whose search would take hours.
    kDistinctEntries,
};

// Where in the (e14, e18) plane an outer unit can hold a cube at all. Every
// entry is affine in the four free entries, and a cube keeps all 62 of them
// inside the limits; so the units whose e10 and e17 leave any chance lie in
// one convex polygon, the shadow of that polytope on (e14, e18). At large
// bounds almost every unit that the loops meet before the first cube lies
// outside it, and a run passes over them by whole stretches instead of one
// by one.
//
// The polygon is found once per run (in some tens of milliseconds) by
// eliminating e17 and then e10 (Fourier-Motzkin) in exact integer arithmetic,
// with e17 real, and rounding only the final half-planes in the integers e14
// and e18. A derived inequality whose numbers would leave 64 bits is dropped,
// which can only widen the region. Either rule holds with or without
// classOpenersOnly, which only narrows the limits.
class UnitRegion {
public:
    // The half-plane a14 * e14 + a18 * e18 <= bound.
    struct HalfPlane {
        std::int64_t a14 = 0;
        std::int64_t a18 = 0;
        std::int64_t bound = 0;
    };

    // The region for the exclusive limits of a run.
    explicit UnitRegion(Limits limits, RegionRule rule = RegionRule::kDistinctEntries);

    // Every e14 of a unit inside the region (empty when no unit is).
    ValueWindow E14Range() const { return e14Range_; }

    // Every e18 that makes a unit inside the region with this e14 (empty when
    // there is none).
    ValueWindow E18Range(std::int32_t e14) const;

    // The edges of the polygon, as half-planes.
    const std::vector<HalfPlane>& HalfPlanes() const { return halfPlanes_; }

private:
    std::vector<HalfPlane> halfPlanes_;
    ValueWindow e14Range_;
};

// False when the unit lies outside the region: then it holds no cube (and
// under kRangesOnly its e10 window is empty).
bool UnitMayHoldCubes(const UnitRegion& region, OuterUnit unit);

// Moves e18 to the first value of loop 2's pair order, at e18's own place or
// later, that lies inside E18Range(e14) and is congruent to e14 modulo 9 (the
// only values the loop accepts); 63 never counts. Returns false when no such
// value remains: the units of this e14 are done. A walk over the units calls
// it with lowerLimit + 1 when it opens an e14, and after each NextInPairOrder,
// and still applies the other tests of loop 2 (e18 is not e14 or its
// complement, classOpenersOnly) to the value it lands on.
bool SkipE18IntoRegion(const UnitRegion& region, std::int32_t e14, std::int32_t& e18);

} // namespace pandicube
