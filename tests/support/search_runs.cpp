#include "tests/support/search_runs.h"

namespace pandicube::test {

RecordedRun RecordRun(const RunSetup& setup, std::int32_t stopAfterSolutions, SearchFunction search)
{
    RecordedRun run{SearchState{}, RecordingReporter(nullptr, stopAfterSolutions)};
    PrepareSearchState(run.state, setup);
    run.reporter.watched = &run.state;
    search(run.state, run.reporter);
    run.reporter.watched = nullptr; // the run may move
    return run;
}

FinalState FinalStateOf(const SearchState& state)
{
    FinalState f{state.solutionCount, state.bestBound,   state.lowerLimit, state.upperLimit, state.unwindLevel,
                 state.fullRange,     state.largestUsed, state.loopIndex,  state.pool.Low(), {}};
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

std::vector<std::string> PoolFaults(const ValuePool& pool)
{
    std::vector<std::string> faults;
    for (std::int32_t v = pool.Low(); v <= pool.High(); ++v) {
        const std::int32_t expected = v == kCentreValue ? 0 : 1;
        if (pool.Flag(v) != expected)
            faults.push_back("flag(" + std::to_string(v) + ") = " + std::to_string(pool.Flag(v)));
    }
    return faults;
}

std::vector<std::int32_t> PairOrderFrom(std::int32_t lowest)
{
    std::vector<std::int32_t> order;
    for (std::int32_t v = lowest; v <= 62; ++v) {
        order.push_back(v);
        order.push_back(126 - v);
    }
    return order;
}

std::vector<std::int32_t> AcceptedE18(std::int32_t e14, const std::vector<std::int32_t>& order)
{
    const auto mod9 = [](std::int32_t v) { return ((v % 9) + 9) % 9; };
    std::vector<std::int32_t> accepted;
    for (std::int32_t e18 : order) {
        if (mod9(e18) == mod9(e14) && e18 != e14 && e18 != 126 - e14) accepted.push_back(e18);
    }
    return accepted;
}

std::vector<OuterUnit> UnitsOf(OuterUnitCursor cursor)
{
    std::vector<OuterUnit> units;
    while (const std::optional<OuterUnit> unit = cursor.Next()) units.push_back(*unit);
    return units;
}

bool HasFreeEntries(const Entries& e, StartValues free)
{
    return e[kE10] == free.e10 && e[kE14] == free.e14 && e[kE17] == free.e17 && e[kE18] == free.e18;
}

} // namespace pandicube::test
