// One whole run per process, for timing with `time`:
//   pandicube-time engine|reference|units|classes|openers BOUND [THREADS] [reduce]
// "engine" runs RunSearch, "units" the outer units through RunOuterUnits on
// THREADS threads, "classes" the same with every solution put through a
// RunClassStream, "openers" the search that lists only the class openers
// (numbered by RunClassStream::AddOpener), "reference" the plain loops.
// Prints the count (and the number of classes and of the full run's cubes),
// the best bound and the seconds of the search itself.
#include "search/cube_classes.h"
#include "search/parallel_search.h"
#include "search/run_search.h"
#include "tests/reference_search.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

class CountingHost : public pandicube::SilentHost {
public:
    explicit CountingHost(bool reduce) : reduce_(reduce) {}
    bool ReduceBoundRequested() override { return reduce_; }
    void ReportSolution(const pandicube::SearchState& state) override
    {
        if (openers) {
            classes.AddOpener(state.e);
        } else if (grouping) {
            classes.Add(state.e, state.solutionCount);
        }
    }

    bool grouping = false;
    bool openers = false;
    pandicube::RunClassStream classes;

private:
    bool reduce_;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: pandicube-time engine|reference|units|classes|openers BOUND [THREADS] [reduce]\n";
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
    pandicube::PrepareSearchState(state, bound, nullptr);
    CountingHost host(reduce);
    const auto start = std::chrono::steady_clock::now();
    if (engine == "reference") {
        pandicube::RunReferenceSearch(state, host);
    } else if (engine == "units" || engine == "classes" || engine == "openers") {
        host.grouping = engine == "classes";
        host.openers = engine == "openers";
        state.classOpenersOnly = host.openers ? 1 : 0;
        const std::vector<pandicube::OuterUnit> units = pandicube::ListOuterUnits(state);
        pandicube::RunOuterUnits(state, host, units, threads);
    } else {
        pandicube::RunSearch(state, host);
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::cout << engine << " U=" << bound << " threads=" << threads << (reduce ? " reduce" : "")
              << " solutions=" << state.solutionCount;
    if (host.grouping) std::cout << " classes=" << host.classes.ClassCount();
    if (host.openers)
        std::cout << " classes=" << host.classes.ClassCount() << " runSolutions=" << host.classes.RunSolutionCount();
    std::cout << " bestBound=" << state.bestBound << " seconds=" << seconds.count() << '\n';
    return 0;
}
