#include "tests/call_log.h"

#include <algorithm>
#include <sstream>

namespace pandicube {

namespace {

const char* KindName(HostCall::Kind kind)
{
    switch (kind) {
    case HostCall::Kind::ShowProgress: return "ShowProgress";
    case HostCall::Kind::ProcessEvents: return "ProcessEvents";
    case HostCall::Kind::ReduceBoundRequested: return "ReduceBoundRequested";
    case HostCall::Kind::StampEndTime: return "StampEndTime";
    case HostCall::Kind::ReportSolution: return "ReportSolution";
    }
    return "?";
}

std::int32_t CountInUse(const ValuePool& pool)
{
    std::int32_t n = 0;
    for (std::int32_t v = pool.Low(); v <= pool.High(); ++v) n += pool.Flag(v) == 0 ? 1 : 0;
    return n;
}

} // namespace

std::ostream& operator<<(std::ostream& out, const HostCall& call)
{
    out << KindName(call.kind) << " #" << call.solutionCount << " bound " << call.bestBound << " limits "
        << call.lowerLimit << ".." << call.upperLimit << " unwind " << call.unwindLevel << " in use "
        << call.valuesInUse << " e14 " << call.entries[14] << " e18 " << call.entries[18] << " e10 " << call.entries[10]
        << " e17 " << call.entries[17];
    return out;
}

HostCall CallLogHost::Snapshot(HostCall::Kind kind, const SearchState& state) const
{
    HostCall call;
    call.kind = kind;
    call.solutionCount = state.solutionCount;
    call.bestBound = state.bestBound;
    call.lowerLimit = state.lowerLimit;
    call.upperLimit = state.upperLimit;
    call.unwindLevel = state.unwindLevel;
    call.valuesInUse = CountInUse(state.pool);
    return call;
}

void CallLogHost::ShowProgress(const SearchState& state)
{
    HostCall call = Snapshot(HostCall::Kind::ShowProgress, state);
    call.entries[14] = state.e[14];
    call.entries[18] = state.e[18];
    calls_.push_back(call);
}

void CallLogHost::ProcessEvents()
{
    HostCall call;
    call.kind = HostCall::Kind::ProcessEvents;
    calls_.push_back(call);
}

bool CallLogHost::ReduceBoundRequested()
{
    HostCall call;
    call.kind = HostCall::Kind::ReduceBoundRequested;
    calls_.push_back(call);
    return reduce_;
}

void CallLogHost::StampEndTime()
{
    HostCall call;
    call.kind = HostCall::Kind::StampEndTime;
    calls_.push_back(call);
}

void CallLogHost::ReportSolution(const SearchState& state)
{
    HostCall call = Snapshot(HostCall::Kind::ReportSolution, state);
    call.entries = state.e;
    calls_.push_back(call);
}

std::vector<HostCall> CallLogHost::Solutions() const
{
    std::vector<HostCall> solutions;
    for (const HostCall& call : calls_) {
        if (call.kind == HostCall::Kind::ReportSolution) solutions.push_back(call);
    }
    return solutions;
}

std::string FirstDifference(const std::vector<HostCall>& actual, const std::vector<HostCall>& expected)
{
    std::ostringstream out;
    const std::size_t common = std::min(actual.size(), expected.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (actual[i] == expected[i]) continue;
        out << "call " << i << " differs\n  actual:   " << actual[i] << "\n  expected: " << expected[i];
        return out.str();
    }
    if (actual.size() != expected.size()) out << actual.size() << " calls instead of " << expected.size();
    return out.str();
}

FinalState FinalStateOf(const SearchState& state)
{
    FinalState f;
    f.solutionCount = state.solutionCount;
    f.bestBound = state.bestBound;
    f.lowerLimit = state.lowerLimit;
    f.upperLimit = state.upperLimit;
    f.unwindLevel = state.unwindLevel;
    f.fullRange = state.fullRange;
    f.largestUsed = state.largestUsed;
    f.loopIndex = state.loopIndex;
    f.poolLow = state.pool.Low();
    for (std::int32_t v = state.pool.Low(); v <= state.pool.High(); ++v) f.poolFlags.push_back(state.pool.Flag(v));
    return f;
}

std::ostream& operator<<(std::ostream& out, const FinalState& s)
{
    std::int32_t inUse = 0;
    for (std::int32_t flag : s.poolFlags) inUse += flag == 0 ? 1 : 0;
    out << "count " << s.solutionCount << " bound " << s.bestBound << " limits " << s.lowerLimit << ".." << s.upperLimit
        << " unwind " << s.unwindLevel << " fullRange " << s.fullRange << " largestUsed " << s.largestUsed
        << " loopIndex " << s.loopIndex << " pool from " << s.poolLow << " (" << s.poolFlags.size() << " flags, "
        << inUse << " in use)";
    return out;
}

} // namespace pandicube
