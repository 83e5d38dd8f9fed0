#include "search/cube/cube_classes.h"
#include "search/cube/cube_symmetry.h"
#include "search/cube/solution_order.h"
#include "search/engine.h"
#include "search/loops/run_search.h"
#include "search/rows/parallel_search.h"
#include "search/run_setup.h"
#include "tests/support/cube_checker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace pandicube::test {
namespace {

class CollectingHost : public SearchReporter {
public:
    void ReportProgress(const Progress&) override {}
    void ReportSolution(const Solution& solution) override { cubes.push_back(CellsFromEntries(solution.entries)); }
    std::vector<Cells> cubes;
};

// Every cube of a full run at U, in run order (outer units on two threads).
const std::vector<Cells>& RunCubes(std::int32_t upperBound)
{
    static std::map<std::int32_t, std::vector<Cells>> runs;
    auto [it, fresh] = runs.try_emplace(upperBound);
    if (fresh) {
        SearchState state;
        PrepareSearchState(state, RunSetup{upperBound});
        CollectingHost host;
        RunOuterUnits(state, host, OuterUnits(state).Begin(), 2);
        it->second = std::move(host.cubes);
    }
    return it->second;
}

std::vector<std::int32_t> Sequence(const Cells& cells)
{
    return {cells.begin() + 1, cells.end()};
}

Point PointOf(int k)
{
    return {(k - 1) / 25 + 1, ((k - 1) % 25) / 5 + 1, (k - 1) % 5 + 1};
}

Cells Complemented(const Cells& cells)
{
    Cells complement{};
    for (int k = 1; k <= kCellCount; ++k)
        complement[static_cast<std::size_t>(k)] = 126 - cells[static_cast<std::size_t>(k)];
    return complement;
}

TEST(CubeSymmetry, TheFortyEightAreDistinctAndMapMagicLinesToMagicLines)
{
    std::set<std::set<int>> magic;
    for (const MagicLine& line : MagicLines()) magic.insert(CellSet(line.cells));
    ASSERT_EQ(magic.size(), 157u);
    std::set<std::vector<int>> permutations;
    for (int g = 0; g < kSymmetryCount; ++g) {
        const auto& source = kSymmetrySources[static_cast<std::size_t>(g)];
        const std::vector<int> permutation(source.begin() + 1, source.end());
        permutations.insert(permutation);
        EXPECT_EQ(std::set<int>(permutation.begin(), permutation.end()).size(), 125u) << "symmetry " << g;
        // Cells symmetric about the centre stay so.
        for (int k = 1; k <= kCellCount; ++k)
            EXPECT_EQ(source[126 - static_cast<std::size_t>(k)], 126 - permutation[static_cast<std::size_t>(k) - 1]);
        for (const std::set<int>& line : magic) {
            std::set<int> image;
            for (int k : line) image.insert(source[static_cast<std::size_t>(k)]);
            EXPECT_TRUE(magic.count(image)) << "symmetry " << g;
        }
    }
    EXPECT_EQ(permutations.size(), 48u);
}

TEST(CubeSymmetry, EveryImageOfACubeOfTheRunAt300IsValidAndThePointReflectionIsTheComplement)
{
    for (const Cells& cells : RunCubes(300)) {
        for (int g = 0; g < kSymmetryCount; ++g) {
            const Cells image = ApplySymmetry(cells, g);
            Cube cube;
            for (int k = 1; k <= kCellCount; ++k) cube.Set(PointOf(k), image[static_cast<std::size_t>(k)]);
            ASSERT_EQ(CubeFaults(cube, 125 - 300, 301), std::vector<std::string>{}) << "symmetry " << g;
        }
        EXPECT_EQ(ApplySymmetry(cells, kPointReflection), Complemented(cells));
    }
}

TEST(StandardForm, IsTheSmallestImageAndTheSameForEveryImageOfACubeAndOfItsComplement)
{
    for (const std::int32_t bound : {255, 300}) {
        for (const Cells& cells : RunCubes(bound)) {
            const Cells form = StandardForm(cells);
            bool isImage = false;
            for (int g = 0; g < kSymmetryCount; ++g) {
                const Cells image = ApplySymmetry(cells, g);
                isImage = isImage || image == form;
                EXPECT_LE(Sequence(form), Sequence(image));
                EXPECT_EQ(StandardForm(image), form);
                EXPECT_EQ(StandardForm(ApplySymmetry(Complemented(cells), g)), form);
                EXPECT_EQ(StandardFormEntries(EntriesFromCells(image)), EntriesFromCells(form));
            }
            EXPECT_TRUE(isImage);
        }
    }
    // Entries with repeated values, whose corners tie: read from the entries
    // alone, the form is still the least image of the whole cube.
    for (const std::int32_t period : {2, 3, 7}) {
        Entries entries{};
        for (int k = 1; k <= kEntryCount; ++k) entries[static_cast<std::size_t>(k)] = 40 + k % period;
        EXPECT_EQ(StandardFormEntries(entries), EntriesFromCells(StandardForm(CellsFromEntries(entries))));
    }
    // Distinct entries, negative ones among them (as below 126 - U at large
    // bounds), under every symmetry.
    Entries spread{};
    for (int k = 1; k <= kEntryCount; ++k) spread[static_cast<std::size_t>(k)] = (37 * k) % 131 - 100;
    for (int g = 0; g < kSymmetryCount; ++g) {
        const Cells image = ApplySymmetry(CellsFromEntries(spread), g);
        EXPECT_EQ(StandardFormEntries(EntriesFromCells(image)), EntriesFromCells(StandardForm(image))) << g;
    }
}

// Cells that some symmetries fix (not cubes of our kind): the class size is
// the count of distinct images with cell 14 below 63.
TEST(ClassSizeInRun, CountsDistinctImagesWithCell14BelowSixtyThree)
{
    const auto pattern = [](auto value) {
        Cells cells{};
        for (int k = 1; k <= kCellCount; ++k) cells[static_cast<std::size_t>(k)] = value(PointOf(k));
        return cells;
    };
    const std::vector<Cells> patterns = {
        pattern([](Point) { return 0; }),
        pattern([](Point p) { return 60 + p.plane; }),
        pattern([](Point p) { return 60 * p.plane + p.row; }),
        pattern([](Point p) { return 60 + p.row * p.column - p.plane; }),
        pattern([](Point p) { return CellNumber(p); }),
    };
    for (const Cells& cells : patterns) {
        std::set<std::vector<std::int32_t>> listed;
        for (int g = 0; g < kSymmetryCount; ++g) {
            const Cells image = ApplySymmetry(cells, g);
            if (image[14] < 63) listed.insert(Sequence(image));
        }
        EXPECT_EQ(ClassSizeInRun(cells), static_cast<int>(listed.size())) << "cell 1 holds " << cells[1];
        EXPECT_EQ(ClassMembersInRun(cells).size(), listed.size());
    }
}

// Counted by brute force: a run lists, of every class, exactly its images with
// e14 below 63 (checked against the run's own set), so each class stands for
// 24 cubes. The first solution of each class at U = 300 pins the run order.
TEST(ClassGrouper, GroupsTheRunsAt255And300IntoClassesOfTwentyFour)
{
    struct Case {
        std::int32_t bound;
        std::size_t cubes;
        std::vector<std::int64_t> firstSolutions;
    };
    const std::vector<Case> cases = {
        {255, 24, {1}},
        {300, 504, {1, 3, 7, 10, 11, 12, 19, 20, 22, 30, 31, 37, 38, 39, 40, 54, 82, 83, 92, 150, 152}},
    };
    for (const Case& c : cases) {
        const std::vector<Cells>& cubes = RunCubes(c.bound);
        ASSERT_EQ(cubes.size(), c.cubes);
        std::set<std::vector<std::int32_t>> listing;
        for (const Cells& cells : cubes) listing.insert(Sequence(cells));

        ClassGrouper grouper;
        RunClassStream stream;
        std::vector<CubeClass> streamed;
        std::map<std::vector<std::int32_t>, std::int64_t> classOfForm;
        for (std::size_t i = 0; i < cubes.size(); ++i) {
            const Cells& cells = cubes[i];
            std::set<std::vector<std::int32_t>> members;
            std::vector<std::int32_t> smallest = Sequence(cells);
            for (int g = 0; g < kSymmetryCount; ++g) {
                const std::vector<std::int32_t> image = Sequence(ApplySymmetry(cells, g));
                smallest = std::min(smallest, image);
                if (image[13] < 63) members.insert(image);
            }
            for (const auto& member : members) EXPECT_TRUE(listing.count(member)) << "solution " << i + 1;
            EXPECT_EQ(members.size(), 24u);

            const auto solution = static_cast<std::int64_t>(i + 1);
            const auto [it, fresh] =
                classOfForm.try_emplace(smallest, static_cast<std::int64_t>(classOfForm.size() + 1));
            const ClassGrouper::Placement placed = grouper.Add(cells, solution);
            EXPECT_EQ(placed.classNumber, it->second);
            EXPECT_EQ(placed.opened, fresh);
            EXPECT_EQ(OpensClassInRun(cells), fresh) << "solution " << i + 1;
            if (const std::optional<CubeClass> opened = stream.Add(EntriesFromCells(cells), solution))
                streamed.push_back(*opened);
            EXPECT_EQ(Sequence(ClassMembersInRun(cells).front()) == Sequence(cells), fresh);
        }
        std::vector<std::int64_t> firstSolutions;
        ASSERT_EQ(grouper.ClassCount(), static_cast<std::int64_t>(streamed.size()));
        for (std::int64_t number = 1; number <= grouper.ClassCount(); ++number) {
            const CubeClass& cubeClass = grouper.Class(number);
            firstSolutions.push_back(cubeClass.firstSolution);
            EXPECT_EQ(cubeClass.sizeInRun, 24);
            EXPECT_EQ(grouper.MembersSeen(number), 24);
            EXPECT_EQ(streamed[static_cast<std::size_t>(number - 1)], cubeClass);
        }
        for (const auto& [form, number] : classOfForm) EXPECT_EQ(Sequence(grouper.Class(number).standardForm), form);
        EXPECT_EQ(firstSolutions, c.firstSolutions) << "U = " << c.bound;
    }
}

// A search that lists only the cubes opening a class finds exactly those of
// the full run, in run order, on one thread and on two; numbered from the
// members of the classes before them, they carry the full run's numbers.
TEST(ClassOpenersOnly, FindsTheOpenersOfTheFullRunAndNumbersThemAsTheFullRun)
{
    constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();
    for (const std::int32_t bound : {255, 300, 333}) {
        RunClassStream full;
        std::vector<CubeClass> expected;
        std::int64_t solution = 0;
        for (const Cells& cells : RunCubes(bound)) {
            if (const std::optional<CubeClass> opened = full.Add(EntriesFromCells(cells), ++solution))
                expected.push_back(*opened);
        }

        SearchState state;
        PrepareSearchState(state, RunSetup{bound});
        state.classOpenersOnly = 1;
        SearchState single = state;
        CollectingHost host;
        RunOuterUnits(state, host, OuterUnits(state).Begin(), 2);
        CollectingHost singleHost;
        RunSearch(single, singleHost);
        EXPECT_EQ(singleHost.cubes, host.cubes) << "U = " << bound;

        RunClassStream openers;
        std::vector<CubeClass> found;
        for (const Cells& cells : host.cubes) found.push_back(openers.AddOpener(EntriesFromCells(cells)));
        EXPECT_EQ(found, expected) << "U = " << bound;
        EXPECT_EQ(openers.RunSolutionCount(), solution) << "U = " << bound;

        // Numbered from counts per outer unit, after a first search of the
        // openers, on one thread and on two: within a budget that holds one
        // e14 at a time, or a few, the units come in windows, each searched
        // again with the openers before it, and the numbers stay the full
        // run's.
        RunPlan plan;
        plan.setup = RunSetup{bound};
        plan.classes = true;
        for (const auto& [threads, budget] :
             {std::pair{1u, std::size_t{0}}, {2u, std::size_t{0}}, {2u, std::size_t{60000}}, {2u, kUnbounded}}) {
            plan.threads = threads;
            ClassNumbering bounded(
                LimitsOf(bound),
                [&](const std::function<void(const Entries&)>& take, const std::function<bool()>& enough) {
                    ReplayClassOpeners(plan, take, enough);
                },
                budget);
            std::vector<CubeClass> numbered;
            for (const Cells& cells : host.cubes) numbered.push_back(bounded.AddOpener(EntriesFromCells(cells)));
            EXPECT_EQ(numbered, expected) << "U = " << bound << ", budget " << budget << ", threads " << threads;
            EXPECT_EQ(bounded.RunSolutionCount(), solution) << "U = " << bound << ", budget " << budget;
            // One search for the whole run within a large budget; two for
            // each window after the first within a small one.
            const int replays = budget == kUnbounded ? 1 : bound > 255 ? 3 : 1;
            if (budget == kUnbounded) {
                EXPECT_EQ(bounded.Replays(), replays) << "U = " << bound;
            } else {
                EXPECT_GE(bounded.Replays(), replays) << "U = " << bound << ", budget " << budget;
            }
        }
    }
}

} // namespace
} // namespace pandicube::test
