#include "window/search_thread.h"

#include "search/search_reporter.h"

#include <utility>

namespace pandicube {

namespace {

// Reports that may wait for the owner before the search waits too: a few
// hundred kilobytes, well over what a window shows between two processings of
// its events.
constexpr std::size_t kMaxWaiting = 1024;

} // namespace

// Passes the reports of the search, as they come from its in-order stage on
// whatever thread, to the owner's side.
class SearchThread::Queue : public SearchReporter {
public:
    explicit Queue(SearchThread& owner) : owner_(owner) {}

    void ReportProgress(const Progress& progress) override
    {
        if (!Wait()) return;
        ThreadReport& report = Slot();
        report.isSolution = false;
        report.e14 = progress.e14;
        report.e18 = progress.e18;
        Hand();
    }
    void ReportSolution(const Solution& solution) override
    {
        if (!Wait()) return;
        ThreadReport& report = Slot();
        report.isSolution = true;
        report.number = solution.number;
        report.bestBound = solution.bestBound;
        report.entries = solution.entries;
        Hand();
    }

private:
    // Waits for room for the next report; false (the run stopped) when the
    // owner has stopped the search.
    bool Wait()
    {
        lock_ = std::unique_lock(owner_.mutex_);
        owner_.taken_.wait(lock_, [this] { return owner_.stopping_ || owner_.waiting_.size() < kMaxWaiting; });
        if (!owner_.stopping_) return true;
        lock_.unlock();
        RequestStop();
        return false;
    }
    // The place of the next report, once Wait() has made room for it.
    ThreadReport& Slot()
    {
        // The first report after a take wakes the owner if it waits.
        wake_ = owner_.waiting_.empty();
        return owner_.waiting_.emplace_back();
    }
    void Hand()
    {
        lock_.unlock();
        if (wake_) owner_.arrived_.notify_one();
    }

    SearchThread& owner_;
    std::unique_lock<std::mutex> lock_;
    bool wake_ = false;
};

SearchThread::SearchThread(const SearchState& state, const RunPlan& plan)
    : thread_(&SearchThread::Search, this, state, plan)
{
}

SearchThread::~SearchThread()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    taken_.notify_all();
    thread_.join();
}

void SearchThread::Search(SearchState state, RunPlan plan)
{
    std::exception_ptr failure;
    try {
        Queue queue(*this);
        RunEngine(state, plan, queue);
    } catch (...) {
        failure = std::current_exception();
    }
    {
        const std::lock_guard lock(mutex_);
        ended_ = true;
        failure_ = failure;
    }
    arrived_.notify_one();
}

bool SearchThread::Take(std::vector<ThreadReport>& reports, std::chrono::milliseconds wait)
{
    reports.clear();
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, wait, [this] { return ended_ || !waiting_.empty(); });
    if (waiting_.empty() && ended_) {
        if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
        return false;
    }
    std::swap(reports, waiting_);
    lock.unlock();
    taken_.notify_one();
    return true;
}

} // namespace pandicube
