#pragma once

#include "search/search_state.h"

namespace pandicube {

// Whoever runs the search: the window, the headless front end, the tests.
// The search calls out only once per accepted e18 (ShowProgress, then
// ProcessEvents) and once per solution (ReduceBoundRequested, StampEndTime,
// ReportSolution, ProcessEvents); never inside the inner loops otherwise.
class SearchHost {
public:
    virtual ~SearchHost() = default;

    // e18 has been accepted and taken; e14 and e18 are current.
    virtual void ShowProgress(const SearchState& state) = 0;
    // Lets pending window events run; a host without events does nothing.
    virtual void ProcessEvents() = 0;
    // Read once per solution: lower the upper bound after this solution?
    virtual bool ReduceBoundRequested() = 0;
    // Called once per solution, after solutionCount has been incremented.
    virtual void StampEndTime() = 0;
    // The complete cube stands in state.e; may end the program instead of returning.
    virtual void ReportSolution(const SearchState& state) = 0;
};

// A host that shows nothing and never reduces the bound: for benchmarks and
// counting.
class SilentHost : public SearchHost {
public:
    void ShowProgress(const SearchState&) override {}
    void ProcessEvents() override {}
    bool ReduceBoundRequested() override { return false; }
    void StampEndTime() override {}
    void ReportSolution(const SearchState&) override {}
};

} // namespace pandicube
