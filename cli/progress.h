#pragma once

#include "cli/cli_environment.h"
#include "search/rows/outer_units.h"
#include "search/vocabulary.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace pandicube {

// The estimated share of a run's work that comes before each of its outer
// units. A unit's work is its rows plus a small part of its candidates
// (MeasureUnitWork), which differ by orders of magnitude between units that
// the run meets early and late; the units of one e14 are alike. So the mean
// work of a unit is measured at up to kKnots values of e14, a dozen units
// each, and read in between along a straight line; within an e14 the share
// grows with the units.
class WorkShares {
public:
    WorkShares(Limits limits, bool classOpenersOnly);

    // From 0 to 1; `unit` need not be one of the run's.
    double ShareBefore(OuterUnit unit) const;

private:
    static constexpr std::size_t kKnots = 512;

    std::uint64_t UnitsBeforeIndex(std::size_t i) const;
    std::uint64_t UnitsOfIndex(std::size_t i) const;
    double WorkBetween(std::size_t from, double fromMean, std::size_t to, double toMean) const;
    double MeanWorkAt(std::size_t i) const;
    double WorkBeforeIndex(std::size_t i) const;

    Limits limits_;
    OuterUnits units_;
    std::int32_t firstE14_;
    std::size_t e14Count_;
    std::vector<std::size_t> knotIndex_; // ascending indexes of e14 (e14 = firstE14_ + 3 i)
    std::vector<double> knotMean_;       // the mean work of a unit there
    std::vector<double> knotBefore_;     // the work of every e14 below the knot
    double total_ = 0;                   // the work of the run
};

// The live progress line of a headless run on a terminal: e14 and e18 in
// progress, the share of the work done, the solutions so far, the time
// elapsed and an estimate of what is left. Redraws in place at most once per
// interval, cut to the terminal's width less one column (so that it never
// wraps), as wide as the terminal is at each drawing; Finish() clears it.
class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;

    // `now` is the clock (a test may pass its own).
    ProgressLine(std::ostream& err, WorkShares shares, TerminalStyle style,
                 std::function<Clock::time_point()> now = Clock::now,
                 Clock::duration interval = std::chrono::milliseconds(100));

    // Called at every accepted e18; draws when the interval has passed (and
    // always the first time).
    void Update(std::int32_t e14, std::int32_t e18, std::int64_t solutions);

    // What the count on the line counts: "solutions" (the default), or
    // "classes" for a run that lists classes.
    void SetCounted(std::string what) { counted_ = std::move(what); }

    // Clears the line if one was drawn.
    void Finish();

    // The text of the line for the given state, without control characters,
    // as it fits the terminal: the units, then the time elapsed, give way
    // first.
    std::string Describe(std::int32_t e14, std::int32_t e18, std::int64_t solutions, Clock::time_point at) const;

private:
    // The columns the line may take now: the terminal's width less one.
    std::size_t Width() const;
    // Describe within `width` columns.
    std::string Describe(std::int32_t e14, std::int32_t e18, std::int64_t solutions, Clock::time_point at,
                         std::size_t width) const;

    std::ostream& err_;
    WorkShares shares_;
    TerminalStyle style_;
    std::function<Clock::time_point()> now_;
    Clock::duration interval_;
    Clock::time_point started_;
    Clock::time_point lastDraw_{};
    bool drawn_ = false;
    std::size_t drawnLength_ = 0;
    bool haveStartShare_ = false;
    double startShare_ = 0;
    std::string counted_ = "solutions";
};

// "H:MM:SS".
std::string FormatDuration(std::chrono::seconds seconds);

} // namespace pandicube
