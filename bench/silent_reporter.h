#pragma once

#include "search/search_reporter.h"

namespace pandicube {

// Takes every report and does nothing with it: the search alone is timed.
class SilentReporter : public SearchReporter {
public:
    void ReportProgress(const Progress&) override {}
    void ReportSolution(const Solution&) override {}
};

} // namespace pandicube
