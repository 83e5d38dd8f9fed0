// One whole run per process, for timing with `time`:
//   pandicube-time engine|reference|units|classes|openers BOUND [THREADS] [reduce]
// "engine" runs RunSearch, "units" the outer units through RunOuterUnits on
// THREADS threads, "classes" the same with every solution put through a
// RunClassStream, "openers" the search that lists only the class openers
// (numbered by RunClassStream::AddOpener), "reference" the plain loops.
// Prints the count (and the number of classes and of the full run's cubes),
// the best bound and the seconds of the search itself.
#include "bench/silent_reporter.h"
#include "reference/reference_search.h"
#include "search/cube/cube_classes.h"
#include "search/loops/run_search.h"
#include "search/rows/parallel_search.h"
#include "search/run_setup.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

// Puts the solutions through the class grouping, when asked to.
class ClassReporter : public pandicube::SilentReporter {
public:
    void ReportSolution(const pandicube::Solution& solution) override
    {
        if (openers) {
            classes.AddOpener(solution.entries);
        } else if (grouping) {
            classes.Add(solution.entries, solution.number);
        }
    }

    bool grouping = false;
    bool openers = false;
    pandicube::RunClassStream classes;
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
    pandicube::PrepareSearchState(state, {bound, std::nullopt, reduce});
    ClassReporter reporter;
    const auto start = std::chrono::steady_clock::now();
    if (engine == "reference") {
        pandicube::RunReferenceSearch(state, reporter);
    } else if (engine == "units" || engine == "classes" || engine == "openers") {
        reporter.grouping = engine == "classes";
        reporter.openers = engine == "openers";
        state.classOpenersOnly = reporter.openers ? 1 : 0;
        pandicube::RunOuterUnits(state, reporter, pandicube::OuterUnits(state).Begin(), threads);
    } else {
        pandicube::RunSearch(state, reporter);
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::cout << engine << " U=" << bound << " threads=" << threads << (reduce ? " reduce" : "")
              << " solutions=" << state.solutionCount;
    if (reporter.grouping || reporter.openers) std::cout << " classes=" << reporter.classes.ClassCount();
    if (reporter.openers) std::cout << " runSolutions=" << reporter.classes.RunSolutionCount();
    std::cout << " bestBound=" << state.bestBound << " seconds=" << seconds.count() << '\n';
    return 0;
}
