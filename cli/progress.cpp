#include "cli/progress.h"

#include "search/loops/search_windows.h"
#include "search/rows/unit_work.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace pandicube {

namespace {

// The largest e14 of any run.
constexpr std::int32_t kLastE14 = 60;
// Units read per knot.
constexpr std::int64_t kUnitsPerKnot = 12;

// A row costs about as much as 64 candidates: most candidates are dropped by
// the unit's bitmaps before any entry is derived.
double WorkOf(const UnitWork& work)
{
    return static_cast<double>(work.rows) + static_cast<double>(work.candidates) / 64.0;
}

} // namespace

WorkShares::WorkShares(Limits limits, bool classOpenersOnly)
    : limits_(limits), units_(limits, false), firstE14_(3 * static_cast<std::int32_t>(FloorDiv(limits.lower, 3)) + 3),
      e14Count_(firstE14_ > kLastE14 ? 0 : static_cast<std::size_t>((kLastE14 - firstE14_) / 3 + 1))
{
    const std::size_t knots = std::min(e14Count_, kKnots);
    for (std::size_t k = 0; k < knots; ++k) {
        const std::size_t i = knots == 1 ? 0 : k * (e14Count_ - 1) / (knots - 1);
        const auto e14 = static_cast<std::int32_t>(firstE14_ + 3 * static_cast<std::int64_t>(i));
        // Units spread over the pairs of this e14: the first one of the run
        // from each of kUnitsPerKnot evenly spaced pairs on (every 9 pairs
        // hold one, when the e14 has any).
        double sum = 0;
        std::int64_t read = 0;
        const std::int64_t firstPair = std::int64_t{limits.lower} + 1;
        const std::int64_t pairs = kCentreValue - firstPair;
        for (std::int64_t s = 0; s < kUnitsPerKnot && pairs > 0; ++s) {
            const std::int64_t from = firstPair + s * pairs / kUnitsPerKnot;
            for (std::int64_t p = from; p < from + 9 && p < kCentreValue; ++p) {
                const OuterUnit low{e14, static_cast<std::int32_t>(p)};
                const OuterUnit high{e14, static_cast<std::int32_t>(kComplementSum - p)};
                const bool hasLow = units_.Contains(low);
                if (!hasLow && !units_.Contains(high)) continue;
                sum += WorkOf(MeasureUnitWork(limits, classOpenersOnly, hasLow ? low : high));
                ++read;
                break;
            }
        }
        knotIndex_.push_back(i);
        knotMean_.push_back(read > 0 ? sum / static_cast<double>(read) : 0.0);
    }
    double before = 0;
    for (std::size_t k = 0; k < knotIndex_.size(); ++k) {
        if (k > 0) before += WorkBetween(knotIndex_[k - 1], knotMean_[k - 1], knotIndex_[k], knotMean_[k]);
        knotBefore_.push_back(before);
    }
    total_ = WorkBeforeIndex(e14Count_);
}

std::uint64_t WorkShares::UnitsBeforeIndex(std::size_t i) const
{
    return units_.CountBefore({static_cast<std::int32_t>(firstE14_ + 3 * static_cast<std::int64_t>(i)), limits_.lower});
}

std::uint64_t WorkShares::UnitsOfIndex(std::size_t i) const
{
    return UnitsBeforeIndex(i + 1) - UnitsBeforeIndex(i);
}

// The units of one e14 repeat with e14 modulo 9, so between two e14 the
// mean work, read along the line between them, weighs their units evenly.
double WorkShares::WorkBetween(std::size_t from, double fromMean, std::size_t to, double toMean) const
{
    return static_cast<double>(UnitsBeforeIndex(to) - UnitsBeforeIndex(from)) * (fromMean + toMean) / 2;
}

double WorkShares::MeanWorkAt(std::size_t i) const
{
    const auto next = std::upper_bound(knotIndex_.begin(), knotIndex_.end(), i);
    const auto k = static_cast<std::size_t>(next - knotIndex_.begin());
    if (k == 0) return 0;
    if (k == knotIndex_.size()) return knotMean_.back();
    const double t =
        static_cast<double>(i - knotIndex_[k - 1]) / static_cast<double>(knotIndex_[k] - knotIndex_[k - 1]);
    return knotMean_[k - 1] + t * (knotMean_[k] - knotMean_[k - 1]);
}

double WorkShares::WorkBeforeIndex(std::size_t i) const
{
    const auto next = std::upper_bound(knotIndex_.begin(), knotIndex_.end(), i);
    if (next == knotIndex_.begin()) return 0;
    const auto k = static_cast<std::size_t>(next - knotIndex_.begin()) - 1;
    return knotBefore_[k] + WorkBetween(knotIndex_[k], knotMean_[k], i, MeanWorkAt(i));
}

double WorkShares::ShareBefore(OuterUnit unit) const
{
    // A run of units without work (none at all, or only empty ones) goes by
    // its units.
    if (total_ <= 0) {
        const std::uint64_t count = units_.Count();
        return count == 0 ? 0 : static_cast<double>(units_.CountBefore(unit)) / static_cast<double>(count);
    }
    if (unit.e14 < firstE14_) return 0;
    if (unit.e14 > kLastE14) return 1;
    const auto i = static_cast<std::size_t>((unit.e14 - firstE14_) / 3);
    double before = WorkBeforeIndex(i);
    if (const std::uint64_t ofE14 = UnitsOfIndex(i); ofE14 > 0) {
        const std::uint64_t within = units_.CountBefore(unit) - UnitsBeforeIndex(i);
        before += (WorkBeforeIndex(i + 1) - before) * static_cast<double>(std::min(within, ofE14)) /
                  static_cast<double>(ofE14);
    }
    return std::clamp(before / total_, 0.0, 1.0);
}

std::string FormatDuration(std::chrono::seconds seconds)
{
    const long long total = std::max<long long>(0, seconds.count());
    char buf[48];
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    return buf;
}

ProgressLine::ProgressLine(std::ostream& err, WorkShares shares, TerminalStyle style,
                           std::function<Clock::time_point()> now, Clock::duration interval)
    : err_(err), shares_(std::move(shares)), style_(style), now_(std::move(now)), interval_(interval), started_(now_())
{
}

std::string ProgressLine::Describe(std::int32_t e14, std::int32_t e18, std::int64_t solutions,
                                   Clock::time_point at) const
{
    return Describe(e14, e18, solutions, at, Width());
}

std::string ProgressLine::Describe(std::int32_t e14, std::int32_t e18, std::int64_t solutions, Clock::time_point at,
                                   std::size_t width) const
{
    const double share = shares_.ShareBefore({e14, e18});
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(at - started_);
    // The time per share of work is measured as the run goes, from where it
    // started.
    std::string left = "?";
    const double done = share - startShare_;
    if (done > 0) {
        const double seconds = std::chrono::duration<double>(at - started_).count() * (1.0 - share) / done;
        left = FormatDuration(std::chrono::seconds(static_cast<long long>(seconds + 0.5)));
    }
    char units[64];
    std::snprintf(units, sizeof units, "e14 %d  e18 %d  ", static_cast<int>(e14), static_cast<int>(e18));
    char count[128];
    std::snprintf(count, sizeof count, "%5.1f%% done  %lld %s  ", share * 100.0, static_cast<long long>(solutions),
                  counted_.c_str());
    const std::string time = FormatDuration(elapsed) + " elapsed  ";
    const std::string estimate = "~" + left + " left";
    for (const std::string& line : {units + (count + time + estimate), count + time + estimate, count + estimate}) {
        if (line.size() <= width) return line;
    }
    return (count + estimate).substr(0, width);
}

std::size_t ProgressLine::Width() const
{
    const unsigned now = style_.columnsNow ? style_.columnsNow() : 0;
    const unsigned columns = now > 0 ? now : style_.columns;
    return columns > 1 ? columns - 1 : 1;
}

void ProgressLine::Update(std::int32_t e14, std::int32_t e18, std::int64_t solutions)
{
    // A run from start values, or one that goes on, begins part-way; the
    // estimate counts from there.
    if (!haveStartShare_) {
        startShare_ = shares_.ShareBefore({e14, e18});
        haveStartShare_ = true;
    }
    const Clock::time_point at = now_();
    if (drawn_ && at - lastDraw_ < interval_) return;
    lastDraw_ = at;
    drawn_ = true;
    // The terminal's width is read once a drawing.
    const std::size_t width = Width();
    const std::string line = Describe(e14, e18, solutions, at, width);
    err_ << '\r' << line;
    // A dumb terminal is cleared with blanks over what was there, within
    // the width it has now.
    drawnLength_ = std::min(drawnLength_, width);
    if (style_.escapes) {
        err_ << "\x1b[K";
    } else if (line.size() < drawnLength_) {
        err_ << std::string(drawnLength_ - line.size(), ' ');
    }
    drawnLength_ = std::max(drawnLength_, line.size());
    err_ << std::flush;
}

void ProgressLine::Finish()
{
    if (drawn_) {
        err_ << '\r' << (style_.escapes ? "\x1b[K" : std::string(std::min(drawnLength_, Width()), ' ') + '\r')
             << std::flush;
    }
    drawn_ = false;
    drawnLength_ = 0;
}

} // namespace pandicube
