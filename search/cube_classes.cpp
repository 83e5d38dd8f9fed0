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

std::optional<CubeClass> RunClassStream::Add(const Entries& e, std::int64_t solutionNumber)
{
    const Cells cube = CellsFromEntries(e);
    if (!OpensClassInRun(cube)) return std::nullopt;
    return CubeClass{++classCount_, solutionNumber, ClassSizeInRun(cube), StandardForm(cube)};
}

ClassGrouper::Placement ClassGrouper::Add(const Cells& cube, std::int64_t solutionNumber)
{
    const Cells form = StandardForm(cube);
    const std::uint64_t hash = HashOf(form);
    const auto [first, last] = byHash_.equal_range(hash);
    for (auto it = first; it != last; ++it) {
        if (classes_[it->second].standardForm == form) {
            ++membersSeen_[it->second];
            return {classes_[it->second].number, false};
        }
    }
    byHash_.emplace(hash, classes_.size());
    classes_.push_back({ClassCount() + 1, solutionNumber, ClassSizeInRun(cube), form});
    membersSeen_.push_back(1);
    return {ClassCount(), true};
}

} // namespace pandicube
