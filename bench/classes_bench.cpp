// The cost of sorting a run's cubes into classes: the standard form, the
// first-member test, the grouper and the stream over every cube of the run at
// U = 500 (one pass each), whole runs with the stream, and the search that
// lists only the class openers (against BM_FullRunOnThreads).
#include "bench/silent_reporter.h"
#include "search/cube/cube_classes.h"
#include "search/cube/cube_symmetry.h"
#include "search/loops/run_search.h"
#include "search/rows/parallel_search.h"
#include "search/run_setup.h"

#include <benchmark/benchmark.h>

#include <map>
#include <vector>

namespace {

using pandicube::Cells;
using pandicube::Entries;
using pandicube::SearchState;

class CollectingHost : public pandicube::SilentReporter {
public:
    void ReportSolution(const pandicube::Solution& solution) override { cubes.push_back(solution.entries); }
    std::vector<Entries> cubes;
};

class StreamingHost : public pandicube::SilentReporter {
public:
    void ReportSolution(const pandicube::Solution& solution) override
    {
        classes.Add(solution.entries, solution.number);
    }
    pandicube::RunClassStream classes;
};

// The cubes of a whole run, kept as entries (92 MB at U = 500).
const std::vector<Entries>& RunCubes(std::int32_t bound)
{
    static std::map<std::int32_t, std::vector<Entries>> runs;
    auto [it, fresh] = runs.try_emplace(bound);
    if (fresh) {
        SearchState state;
        pandicube::PrepareSearchState(state, pandicube::RunSetup{bound});
        CollectingHost host;
        pandicube::RunOuterUnits(state, host, pandicube::OuterUnits(state).Begin(), 2);
        it->second = std::move(host.cubes);
    }
    return it->second;
}

// Per iteration, one call for every cube of the run at the given bound,
// including the cells from the entries.
template <typename PerCube>
void OverRunCubes(benchmark::State& bench, PerCube perCube)
{
    const std::vector<Entries>& cubes = RunCubes(static_cast<std::int32_t>(bench.range(0)));
    for (auto _ : bench) {
        for (const Entries& e : cubes) perCube(pandicube::CellsFromEntries(e));
    }
    bench.SetItemsProcessed(static_cast<std::int64_t>(bench.iterations()) * static_cast<std::int64_t>(cubes.size()));
}

void BM_StandardFormOfRun(benchmark::State& bench)
{
    OverRunCubes(bench, [](const Cells& cells) { benchmark::DoNotOptimize(pandicube::StandardForm(cells)); });
}
BENCHMARK(BM_StandardFormOfRun)->Arg(500)->Unit(benchmark::kMillisecond);

void BM_OpensClassOfRun(benchmark::State& bench)
{
    OverRunCubes(bench, [](const Cells& cells) { benchmark::DoNotOptimize(pandicube::OpensClassInRun(cells)); });
}
BENCHMARK(BM_OpensClassOfRun)->Arg(500)->Unit(benchmark::kMillisecond);

void BM_GroupRunIntoClasses(benchmark::State& bench)
{
    const std::vector<Entries>& cubes = RunCubes(static_cast<std::int32_t>(bench.range(0)));
    for (auto _ : bench) {
        pandicube::ClassGrouper grouper;
        std::int64_t solution = 0;
        for (const Entries& e : cubes) grouper.Add(pandicube::CellsFromEntries(e), ++solution);
        benchmark::DoNotOptimize(grouper.ClassCount());
    }
    bench.SetItemsProcessed(static_cast<std::int64_t>(bench.iterations()) * static_cast<std::int64_t>(cubes.size()));
}
BENCHMARK(BM_GroupRunIntoClasses)->Arg(500)->Unit(benchmark::kMillisecond);

void BM_StreamRunIntoClasses(benchmark::State& bench)
{
    const std::vector<Entries>& cubes = RunCubes(static_cast<std::int32_t>(bench.range(0)));
    for (auto _ : bench) {
        pandicube::RunClassStream classes;
        std::int64_t solution = 0;
        for (const Entries& e : cubes) classes.Add(e, ++solution);
        benchmark::DoNotOptimize(classes.ClassCount());
    }
    bench.SetItemsProcessed(static_cast<std::int64_t>(bench.iterations()) * static_cast<std::int64_t>(cubes.size()));
}
BENCHMARK(BM_StreamRunIntoClasses)->Arg(500)->Unit(benchmark::kMillisecond);

// A whole run on one thread with every solution streamed into its class, as
// the front end's class listing does;
// compare with BM_FullRunOnThreads at the same bound and 1 thread.
void BM_FullRunWithClasses(benchmark::State& bench)
{
    const auto bound = static_cast<std::int32_t>(bench.range(0));
    for (auto _ : bench) {
        SearchState state;
        pandicube::PrepareSearchState(state, pandicube::RunSetup{bound});
        StreamingHost host;
        pandicube::RunOuterUnits(state, host, pandicube::OuterUnits(state).Begin(), 1);
        benchmark::DoNotOptimize(host.classes.ClassCount());
    }
}
BENCHMARK(BM_FullRunWithClasses)->Arg(400)->Arg(500)->Unit(benchmark::kMillisecond)->UseRealTime();

class OpenerHost : public pandicube::SilentReporter {
public:
    void ReportSolution(const pandicube::Solution& solution) override { classes.AddOpener(solution.entries); }
    pandicube::RunClassStream classes;
};

// The search that lists only the cubes opening a class, each numbered as the
// full run would; against BM_FullRunOnThreads, which counts the whole run.
void BM_ClassOpenersRun(benchmark::State& bench)
{
    const auto bound = static_cast<std::int32_t>(bench.range(0));
    const auto threads = static_cast<unsigned>(bench.range(1));
    for (auto _ : bench) {
        SearchState state;
        pandicube::PrepareSearchState(state, pandicube::RunSetup{bound});
        state.classOpenersOnly = 1;
        OpenerHost host;
        pandicube::RunOuterUnits(state, host, pandicube::OuterUnits(state).Begin(), threads);
        benchmark::DoNotOptimize(host.classes.RunSolutionCount());
    }
}
BENCHMARK(BM_ClassOpenersRun)
    ->Args({400, 1})
    ->Args({500, 1})
    ->Args({500, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
