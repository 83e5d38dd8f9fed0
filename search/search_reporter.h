#pragma once

#include "search/cells.h"
#include "search/vocabulary.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <vector>

namespace pandicube {

// Where a run stands when loop 2 has accepted an e18: the outer unit (e14,
// e18) about to be searched and the solutions found before it.
struct Progress {
    std::int32_t e14 = 0;
    std::int32_t e18 = 0;
    std::int64_t solutionCount = 0;
};

// One solution: its 62 entries, its number in the run (from 1), the best
// upper bound, which a run with bound reduction has just lowered to at most
// the cube's largest value (U + 1 throughout a run without reduction), and
// its SolutionHash. The entries are valid during the report only.
struct Solution {
    const Entries& entries;
    std::int64_t number = 0;
    std::int32_t bestBound = 0;
    std::uint64_t hash = 0;
};

// What a reporter's PrepareUnit made of a part, of a type of the reporter's
// own; the search only holds it, and keeps it with the part for reuse.
struct PreparedPart {
    virtual ~PreparedPart() = default;
};

// Cubes found below one outer unit (e14, e18) searched by rows (all of them,
// or one chunk of them), in the order of the search, with the SolutionHash of
// each and their sum modulo 2^64, all computed on the thread that searched
// the unit. For a reporter whose SightingsSuffice the part holds sightings
// instead, and neither cubes nor hashes.
struct UnitSolutions {
    std::int32_t e14 = 0;
    std::int32_t e18 = 0;
    std::vector<Entries> cubes;
    std::vector<std::uint64_t> hashes;
    std::uint64_t hashSum = 0;
    std::vector<CubeSighting> sightings;
    std::unique_ptr<PreparedPart> prepared;

    std::size_t Size() const { return cubes.size() + sightings.size(); }
};

// What the search tells whoever runs it (the window, the headless front end,
// the tests), in plain values: progress once per accepted e18 and each
// solution; nothing from loops 3 and 4 otherwise. A reporter ends the run by
// asking it to stop: the search then returns after the report that asked,
// releasing what it holds, and searches nothing more (after a progress
// report, not the unit it announced). An exception from a reporter is a
// failure and leaves the search the same way.
class SearchReporter {
public:
    virtual ~SearchReporter() = default;

    virtual void ReportProgress(const Progress& progress) = 0;
    virtual void ReportSolution(const Solution& solution) = 0;

    // The cubes of a unit searched by rows pass through both of these, a part
    // of the unit (a chunk of its cubes, or all) at a time, after the unit's
    // progress has been reported. PrepareUnit runs on the thread that
    // searched the part, possibly on several threads at once, before its turn
    // comes: work that needs no order (formatting) belongs here, and it must
    // not change the reporter. ReportCubes then reports the part in the order
    // of the search, numbering its solutions on from `solutions` and
    // advancing it past each one it has reported; by default as each
    // solution, until the run is asked to stop.
    virtual void PrepareUnit(UnitSolutions& /*part*/) const {}
    // Whether the parts need the SolutionHash of each cube and their sum. A
    // reporter that sums hashes of its own (those of the classes' standard
    // forms), or none, says no: the parts' hashes are then 0 and the search
    // threads spare the work.
    virtual bool HashesSolutions() const { return true; }
    // Whether the parts may hold sightings instead of cubes: a reporter that
    // needs of each cube only where it lies and its largest value says yes,
    // and the search threads then build no cube.
    virtual bool SightingsSuffice() const { return false; }
    virtual void ReportCubes(const UnitSolutions& part, std::int64_t& solutions, std::int32_t bestBound)
    {
        for (std::size_t i = 0; i < part.cubes.size() && !StopRequested(); ++i)
            ReportSolution({part.cubes[i], ++solutions, bestBound, part.hashes[i]});
    }

    // Asked now and then inside a unit, which at the largest bounds may take
    // many seconds, on the thread that reports (the unit's progress has been
    // reported): a reporter that must end the run soon asks it to stop here.
    // The run then stops inside the unit, the solutions of the unit reported
    // so far standing.
    virtual void PollStop() {}

    // May be asked from any thread.
    void RequestStop() { stop_.request_stop(); }
    bool StopRequested() const { return stop_.stop_requested(); }

private:
    std::stop_source stop_;
};

} // namespace pandicube
