#include "search/cube_classes.h"

#include "search/cube_symmetry.h"

namespace pandicube {

namespace {

// FNV-1a over cells 1 to 18: they hold the four free entries, which
// determine a cube of our kind, so distinct classes hash apart; other cells
// share a hash at worst, and Add compares whole forms.
std::uint64_t HashOf(const Cells& cells)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (int k = 1; k <= kE18; ++k) {
        hash ^= static_cast<std::uint32_t>(cells[static_cast<std::size_t>(k)]);
        hash *= 1099511628211ull;
    }
    return hash;
}

} // namespace

ClassGrouper::Placement ClassGrouper::Add(const Cells& cube, std::int64_t solutionNumber)
{
    const Cells form = StandardForm(cube);
    const std::uint64_t hash = HashOf(form);
    const auto [first, last] = byHash_.equal_range(hash);
    for (auto it = first; it != last; ++it) {
        CubeClass& known = classes_[it->second];
        if (known.standardForm == form) {
            ++known.membersSeen;
            return {known.number, false};
        }
    }
    CubeClass opened;
    opened.number = ClassCount() + 1;
    opened.firstSolution = solutionNumber;
    opened.sizeInRun = ClassSizeInRun(cube);
    opened.membersSeen = 1;
    opened.standardForm = form;
    byHash_.emplace(hash, classes_.size());
    classes_.push_back(opened);
    return {opened.number, true};
}

} // namespace pandicube
