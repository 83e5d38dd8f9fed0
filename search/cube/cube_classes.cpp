#include "search/cube/cube_classes.h"

#include "search/cube/cube_symmetry.h"
#include "search/vocabulary.h"

#include <algorithm>
#include <cassert>

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

struct MemberKey {
    std::int32_t e14 = 0;
    RunClassStream::Ranks ranks{};

    friend constexpr auto operator<=>(const MemberKey&, const MemberKey&) = default;
};

// The keys of the members of the cube's class that a run lists, ascending.
std::vector<MemberKey> MemberKeys(const Cells& cells)
{
    std::vector<MemberKey> keys;
    keys.reserve(kSymmetryCount);
    for (const auto& source : kSymmetrySources) {
        const auto read = [&](int k) { return cells[source[static_cast<std::size_t>(k)]]; };
        if (read(kE14) < kCentreValue)
            keys.push_back(
                {read(kE14), {PairOrderCode(read(kE18)), PairOrderCode(read(kE10)), PairOrderCode(read(kE17))}});
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

} // namespace

// Counts as passed every member ahead that comes before (e14, ranks).
void RunClassStream::PassTo(std::int32_t e14, const Ranks& ranks)
{
    const auto pass = [this](std::int64_t n) {
        passed_ += n;
        ahead_ -= n;
    };
    if (classCount_ == 0 || e14 != currentE14_) {
        pass(static_cast<std::int64_t>(current_.size() - next_ + addedToCurrent_.size()));
        while (!later_.empty() && later_.begin()->first < e14) {
            const LaterMembers& members = later_.begin()->second;
            pass(members.early + static_cast<std::int64_t>(members.ranks.size()));
            later_.erase(later_.begin());
        }
        current_.clear();
        if (!later_.empty() && later_.begin()->first == e14) {
            pass(later_.begin()->second.early);
            current_ = std::move(later_.begin()->second.ranks);
            later_.erase(later_.begin());
        }
        std::sort(current_.begin(), current_.end());
        next_ = 0;
        addedToCurrent_ = {};
        currentE14_ = e14;
    }
    while (next_ < current_.size() && current_[next_] < ranks) {
        ++next_;
        pass(1);
    }
    while (!addedToCurrent_.empty() && addedToCurrent_.top() < ranks) {
        addedToCurrent_.pop();
        pass(1);
    }
}

CubeClass RunClassStream::AddOpener(const Entries& e)
{
    const Cells cube = CellsFromEntries(e);
    const std::vector<MemberKey> members = MemberKeys(cube);
    assert(OpensClassInRun(cube) && !members.empty());
    assert(classCount_ == 0 || members.front().e14 >= currentE14_);
    PassTo(members.front().e14, members.front().ranks);
    const std::int64_t number = ++passed_;
    for (std::size_t i = 1; i < members.size(); ++i) {
        const MemberKey& m = members[i];
        if (m.e14 == currentE14_) {
            addedToCurrent_.push(m.ranks);
        } else if (m.ranks[0] < PairOrderCode(m.e14)) {
            ++later_[m.e14].early;
        } else {
            later_[m.e14].ranks.push_back(m.ranks);
        }
        ++ahead_;
    }
    return CubeClass{++classCount_, number, ClassSizeInRun(cube), StandardForm(cube)};
}

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
