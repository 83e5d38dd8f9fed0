// The time to the first cube of a run, one run per process:
//   pandicube-first-cube units|ranges|region BOUND [SECONDS]
// "units" walks the outer units one by one in run order and searches each
// with FindUnitCubes; "region" walks the same order but passes over the units
// outside the run's UnitRegion by whole stretches, and "ranges" over those
// outside the region of RegionRule::kRangesOnly. Both stop at the first
// unit that holds a cube, or give up after SECONDS (20 unless given). Prints
// the unit, the units searched, the seconds and the peak memory.
#include "search/loops/run_search.h"
#include "search/rows/unit_region.h"
#include "search/rows/unit_search.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Walks the outer units of a run without reduction in run order, those the
// region admits only when it is given, until one holds a cube or time is up.
class FirstCubeWalk {
public:
    FirstCubeWalk(std::int32_t bound, double seconds) : lower_(pandicube::Complement(bound + 1)), upper_(bound + 1)
    {
        deadline_ = start_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    }

    // True when a cube was found; `unit` is the unit last searched.
    bool Run(const std::optional<pandicube::UnitRegion>& region)
    {
        std::int32_t e14 = lower_ + 1;
        std::int32_t e14End = pandicube::kCentreValue - 1;
        if (region) {
            e14 = static_cast<std::int32_t>(std::max<std::int64_t>(e14, region->E14Range().lo));
            e14End = static_cast<std::int32_t>(std::min<std::int64_t>(e14End, region->E14Range().hi));
        }
        for (; e14 <= e14End; ++e14) {
            if (e14 % 3 != 0) continue;
            std::int32_t e18 = lower_ + 1;
            do {
                if (region && !pandicube::SkipE18IntoRegion(*region, e14, e18)) break;
                if ((e14 - e18) % 9 != 0 || e18 == e14 || e18 == pandicube::Complement(e14) ||
                    e18 == pandicube::kCentreValue)
                    continue;
                unit = {e14, e18};
                ++units;
                pandicube::FindUnitCubes({lower_, upper_}, false, unit, cubes_);
                if (!cubes_.empty()) return true;
                if ((units & 0xff) == 0 && Clock::now() > deadline_) return false;
            } while (pandicube::NextInPairOrder(e18));
        }
        return false;
    }

    pandicube::OuterUnit unit;
    long long units = 0;

private:
    std::int32_t lower_;
    std::int32_t upper_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point deadline_;
    std::vector<pandicube::Entries> cubes_;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: pandicube-first-cube units|ranges|region BOUND [SECONDS]\n";
        return 2;
    }
    const std::string walk = argv[1];
    const auto bound = static_cast<std::int32_t>(std::atoi(argv[2]));
    const double seconds = argc > 3 ? std::atof(argv[3]) : 20.0;
    if ((walk != "units" && walk != "ranges" && walk != "region") || bound < 1 || bound > pandicube::kMaxUpperBound) {
        std::cerr << "bad arguments\n";
        return 2;
    }

    const Clock::time_point start = Clock::now();
    FirstCubeWalk first(bound, seconds);
    std::optional<pandicube::UnitRegion> region;
    if (walk != "units") {
        region.emplace(pandicube::LimitsOf(bound),
                       walk == "ranges" ? pandicube::RegionRule::kRangesOnly : pandicube::RegionRule::kDistinctEntries);
    }
    const bool found = first.Run(region);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::cout << (found ? "first cube" : "gave up") << " at e14 " << first.unit.e14 << " e18 " << first.unit.e18
              << " units " << first.units << " seconds " << elapsed << " peak_kb " << usage.ru_maxrss << '\n';
    return found ? 0 : 1;
}
