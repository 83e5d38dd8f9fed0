// One whole run per process, for timing with `time`:
//   pandicube-time engine|reference|units BOUND [THREADS] [reduce]
// "engine" runs RunSearch, "units" the outer units through RunOuterUnits on
// THREADS threads, "reference" the plain loops. Prints the count, the best
// bound and the seconds of the search itself.
#include "bench/silent_reporter.h"
#include "reference/reference_search.h"
#include "search/parallel_search.h"
#include "search/run_search.h"
#include "search/run_setup.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: pandicube-time engine|reference|units BOUND [THREADS] [reduce]\n";
        return 2;
    }
    const std::string engine = argv[1];
    const auto bound = static_cast<std::int32_t>(std::atoi(argv[2]));
    const auto threads = static_cast<unsigned>(argc > 3 ? std::atoi(argv[3]) : 1);
    const bool reduce = argc > 4 && std::string(argv[4]) == "reduce";
    if (bound < 1 || bound > pandicube::kMaxUpperBound) {
        std::cerr << "bound out of range\n";
        return 2;
    }

    pandicube::SearchState state;
    pandicube::PrepareSearchState(state, {bound, std::nullopt, reduce});
    pandicube::SilentReporter reporter;
    const auto start = std::chrono::steady_clock::now();
    if (engine == "reference") {
        pandicube::RunReferenceSearch(state, reporter);
    } else if (engine == "units") {
        const std::vector<pandicube::OuterUnit> units = pandicube::ListOuterUnits(state);
        pandicube::RunOuterUnits(state, reporter, units, threads);
    } else {
        pandicube::RunSearch(state, reporter);
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::cout << engine << " U=" << bound << " threads=" << threads << (reduce ? " reduce" : "")
              << " solutions=" << state.solutionCount << " bestBound=" << state.bestBound
              << " seconds=" << seconds.count() << '\n';
    return 0;
}
