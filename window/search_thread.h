#pragma once

#include "search/cells.h"
#include "search/engine.h"
#include "search/loops/search_state.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace pandicube {

// One report of a run searched on other threads: a progress report (the
// outer unit e14, e18) or a solution with its number.
struct ThreadReport {
    bool isSolution = false;
    std::int32_t e14 = 0;
    std::int32_t e18 = 0;
    std::int64_t number = 0;    // solutions: the solution's number in the run
    std::int32_t bestBound = 0; // solutions: the best bound at the report
    Entries entries{};          // solutions: e1..e62
};

// Searches a run plan's outer units (RunsOnUnits) on the plan's threads,
// away from the thread that owns it, and hands its reports
// over in the order of a single-threaded search. The owner takes them when it
// is ready; the search runs ahead by a bounded number of reports and then
// waits, so a window that stands still (a question box open) holds the search
// as well.
class SearchThread {
public:
    // Starts searching at once; `state` is set up for the plan and copied.
    SearchThread(const SearchState& state, const RunPlan& plan);
    // Stops the search at its next report, if it still runs, and waits for it.
    ~SearchThread();
    SearchThread(const SearchThread&) = delete;
    SearchThread& operator=(const SearchThread&) = delete;

    // Replaces the contents of `reports` with the reports that arrived since
    // the last call, waiting up to `wait` for the first one. Returns false
    // once the search has ended and every report was taken; an exception of
    // the search then reaches the caller.
    bool Take(std::vector<ThreadReport>& reports, std::chrono::milliseconds wait);

private:
    class Queue;
    void Search(SearchState state, RunPlan plan);

    std::mutex mutex_;
    std::condition_variable arrived_;   // reports arrived, or the search ended
    std::condition_variable taken_;     // reports taken, or the owner stopped the search
    std::vector<ThreadReport> waiting_; // reports not yet taken
    bool ended_ = false;                // the search returned or failed
    bool stopping_ = false;             // the owner wants no more reports
    std::exception_ptr failure_;
    std::thread thread_;
};

} // namespace pandicube
