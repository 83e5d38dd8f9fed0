#pragma once

#include "search/search_host.h"
#include "search/search_state.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace pandicube {

// One call of the search to its host, with what the host could see at that
// moment. Two runs behave alike for every host exactly when their call logs
// are equal.
struct HostCall {
    enum class Kind { ShowProgress, ProcessEvents, ReduceBoundRequested, StampEndTime, ReportSolution };

    Kind kind = Kind::ProcessEvents;
    std::int32_t solutionCount = 0;
    std::int32_t bestBound = 0;
    std::int32_t lowerLimit = 0;
    std::int32_t upperLimit = 0;
    std::int32_t unwindLevel = 0;
    // ShowProgress: e14 and e18 only; ReportSolution: the whole cube.
    Entries entries{};
    // How many values are in use (flag 0) in the pool.
    std::int32_t valuesInUse = 0;

    friend bool operator==(const HostCall&, const HostCall&) = default;
};

std::ostream& operator<<(std::ostream& out, const HostCall& call);

// A host that logs every call and answers the bound-reduction question with a
// fixed answer.
class CallLogHost : public SearchHost {
public:
    explicit CallLogHost(bool reduce = false) : reduce_(reduce) {}

    void ShowProgress(const SearchState& state) override;
    void ProcessEvents() override;
    bool ReduceBoundRequested() override;
    void StampEndTime() override;
    void ReportSolution(const SearchState& state) override;

    const std::vector<HostCall>& Calls() const { return calls_; }
    // The ReportSolution calls only.
    std::vector<HostCall> Solutions() const;

private:
    HostCall Snapshot(HostCall::Kind kind, const SearchState& state) const;

    bool reduce_;
    std::vector<HostCall> calls_;
};

// Empty when both logs are equal; otherwise describes the first difference.
std::string FirstDifference(const std::vector<HostCall>& actual, const std::vector<HostCall>& expected);

// The state a run leaves behind, apart from the entries and `candidate`,
// which hold the last values tried.
struct FinalState {
    std::int32_t solutionCount = 0;
    std::int32_t bestBound = 0;
    std::int32_t lowerLimit = 0;
    std::int32_t upperLimit = 0;
    std::int32_t unwindLevel = 0;
    std::int32_t fullRange = 0;
    std::int32_t largestUsed = 0;
    std::int32_t loopIndex = 0;
    std::int32_t poolLow = 0;
    std::vector<std::int32_t> poolFlags;

    friend bool operator==(const FinalState&, const FinalState&) = default;
};

FinalState FinalStateOf(const SearchState& state);
std::ostream& operator<<(std::ostream& out, const FinalState& state);

} // namespace pandicube
