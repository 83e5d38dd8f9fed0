#include "cli/progress.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace pandicube {

std::string FormatDuration(std::chrono::seconds seconds)
{
    const long long total = std::max<long long>(0, seconds.count());
    char buf[48];
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    return buf;
}

ProgressLine::ProgressLine(std::ostream& err, const OuterUnits& units, std::function<Clock::time_point()> now,
                           Clock::duration interval)
    : err_(err), units_(units), now_(std::move(now)), interval_(interval), started_(now_())
{
}

double ProgressLine::ShareBefore(std::int32_t e14, std::int32_t e18) const
{
    if (units_.Count() == 0) return 0;
    return static_cast<double>(units_.CountBefore({e14, e18})) / static_cast<double>(units_.Count());
}

std::string ProgressLine::Describe(std::int32_t e14, std::int32_t e18, std::int64_t solutions,
                                   Clock::time_point at) const
{
    const double share = ShareBefore(e14, e18);
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(at - started_);
    std::string left = "?";
    const double done = share - startShare_;
    if (done > 0) {
        const double seconds = static_cast<double>(elapsed.count()) * (1.0 - share) / done;
        left = FormatDuration(std::chrono::seconds(static_cast<long long>(seconds + 0.5)));
    }
    char buf[200];
    std::snprintf(buf, sizeof buf, "e14 %d  e18 %d  %5.1f%% done  %lld %s  %s elapsed  ~%s left", static_cast<int>(e14),
                  static_cast<int>(e18), share * 100.0, static_cast<long long>(solutions), counted_.c_str(),
                  FormatDuration(elapsed).c_str(), left.c_str());
    return buf;
}

void ProgressLine::Update(std::int32_t e14, std::int32_t e18, std::int64_t solutions)
{
    // A run from start values begins part-way; the estimate counts from there.
    if (!haveStartShare_) {
        startShare_ = ShareBefore(e14, e18);
        haveStartShare_ = true;
    }
    const Clock::time_point at = now_();
    if (drawn_ && at - lastDraw_ < interval_) return;
    lastDraw_ = at;
    drawn_ = true;
    err_ << '\r' << Describe(e14, e18, solutions, at) << "\x1b[K" << std::flush;
}

void ProgressLine::Finish()
{
    if (drawn_) err_ << "\r\x1b[K" << std::flush;
    drawn_ = false;
}

} // namespace pandicube
