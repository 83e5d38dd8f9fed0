#pragma once

#include "search/search_host.h"

#include <iosfwd>

namespace pandicube {

enum class OutputFormat { Text, Json };

// Reports every solution of a headless run to a stream: one line per solution
// in text ("solution N: e1 ... e62") or as JSON Lines, then the closing lines.
class SolutionWriter : public SearchHost {
public:
    SolutionWriter(std::ostream& out, OutputFormat format, bool reduce);

    void ShowProgress(const SearchState&) override {}
    void ProcessEvents() override {}
    bool ReduceBoundRequested() override { return reduce_; }
    void StampEndTime() override {}
    void ReportSolution(const SearchState& state) override;

    // The closing lines after the run.
    void WriteSummary(const SearchState& state);

private:
    std::ostream& out_;
    OutputFormat format_;
    bool reduce_;
};

} // namespace pandicube
