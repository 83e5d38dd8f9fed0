// Whole runs of the search without reduction: the engine on one and two
// threads against the plain reference loops.
#include "bench/silent_reporter.h"
#include "reference/reference_search.h"
#include "search/loops/run_search.h"
#include "search/rows/parallel_search.h"
#include "search/run_setup.h"

#include <benchmark/benchmark.h>

namespace {

using pandicube::SearchState;

// One whole run without reduction at the bound of the first argument, by the
// given search procedure.
template <void (*Search)(SearchState&, pandicube::SearchReporter&)>
void BM_WholeRun(benchmark::State& bench)
{
    const auto bound = static_cast<std::int32_t>(bench.range(0));
    for (auto _ : bench) {
        SearchState state;
        pandicube::PrepareSearchState(state, {bound});
        pandicube::SilentReporter reporter;
        Search(state, reporter);
        benchmark::DoNotOptimize(state.solutionCount);
    }
}

void BM_FullRun(benchmark::State& bench)
{
    BM_WholeRun<pandicube::RunSearch>(bench);
}
BENCHMARK(BM_FullRun)->Arg(300)->Arg(400)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FullRunOnThreads(benchmark::State& bench)
{
    const auto bound = static_cast<std::int32_t>(bench.range(0));
    const auto threads = static_cast<unsigned>(bench.range(1));
    for (auto _ : bench) {
        SearchState state;
        pandicube::PrepareSearchState(state, {bound});
        pandicube::SilentReporter reporter;
        pandicube::RunOuterUnits(state, reporter, pandicube::OuterUnits(state).Begin(), threads);
        benchmark::DoNotOptimize(state.solutionCount);
    }
}
BENCHMARK(BM_FullRunOnThreads)
    ->Args({400, 1})
    ->Args({400, 2})
    ->Args({500, 1})
    ->Args({500, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ReferenceLoops(benchmark::State& bench)
{
    BM_WholeRun<pandicube::RunReferenceSearch>(bench);
}
BENCHMARK(BM_ReferenceLoops)->Arg(300)->Arg(400)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

BENCHMARK_MAIN();
