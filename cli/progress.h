#pragma once

#include "search/rows/outer_units.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace pandicube {

// The live progress line of a headless run on a terminal: e14 and e18 in
// progress, the share of the outer units done, the solutions so far, the time
// elapsed and an estimate of what is left. Redraws in place ("\r", then the
// line, then clear to the end) at most once per interval; Finish() clears it.
class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;

    // `units` are the outer units of the run (or of its slice); the number
    // of them before the current (e14, e18) gives the share done. `now` is the clock (a test may pass its own).
    ProgressLine(std::ostream& err, const OuterUnits& units, std::function<Clock::time_point()> now = Clock::now,
                 Clock::duration interval = std::chrono::milliseconds(100));

    // Called at every accepted e18; draws when the interval has passed (and
    // always the first time).
    void Update(std::int32_t e14, std::int32_t e18, std::int64_t solutions);

    // What the count on the line counts: "solutions" (the default), or
    // "classes" for a run that lists classes.
    void SetCounted(std::string what) { counted_ = std::move(what); }

    // Clears the line if one was drawn.
    void Finish();

    // The text of the line for the given state, without control characters.
    std::string Describe(std::int32_t e14, std::int32_t e18, std::int64_t solutions, Clock::time_point at) const;

    // The share of the units before (e14, e18), 0 to 1.
    double ShareBefore(std::int32_t e14, std::int32_t e18) const;

private:
    std::ostream& err_;
    OuterUnits units_;
    std::function<Clock::time_point()> now_;
    Clock::duration interval_;
    Clock::time_point started_;
    Clock::time_point lastDraw_{};
    bool drawn_ = false;
    bool haveStartShare_ = false;
    double startShare_ = 0;
    std::string counted_ = "solutions";
};

// "H:MM:SS".
std::string FormatDuration(std::chrono::seconds seconds);

} // namespace pandicube
