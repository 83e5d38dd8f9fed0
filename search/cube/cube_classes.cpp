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

// A group of later members, for the budget: its node in the map.
constexpr std::size_t kGroupBytes = 96;

RunClassStream::RunClassStream(Replay replay, std::size_t budgetBytes)
    : replay_(std::move(replay)), budget_(budgetBytes)
{
}

// Counts as passed every member kept that comes before (e14, ranks).
void RunClassStream::PassTo(std::int32_t e14, const Ranks& ranks)
{
    if (classCount_ == 0 || e14 != currentE14_) {
        passed_ += static_cast<std::int64_t>(current_.size() - next_ + addedToCurrent_.size());
        kept_ -= current_.capacity() + addedToCurrent_.size();
        while (!later_.empty() && later_.begin()->first < e14) {
            LaterMembers& members = later_.begin()->second;
            passed_ += members.early + static_cast<std::int64_t>(members.count);
            Release(members, nullptr);
            later_.erase(later_.begin());
        }
        current_ = {};
        if (!later_.empty() && later_.begin()->first == e14) {
            LaterMembers& members = later_.begin()->second;
            passed_ += members.early;
            current_.reserve(members.count);
            kept_ += current_.capacity();
            Release(members, &current_);
            later_.erase(later_.begin());
        }
        std::sort(current_.begin(), current_.end());
        next_ = 0;
        addedToCurrent_ = {};
        currentE14_ = e14;
    }
    while (next_ < current_.size() && current_[next_] < ranks) {
        ++next_;
        ++passed_;
    }
    while (!addedToCurrent_.empty() && addedToCurrent_.top() < ranks) {
        addedToCurrent_.pop();
        --kept_;
        ++passed_;
    }
}

void RunClassStream::Keep(std::int32_t e14, const Ranks& ranks)
{
    if (e14 >= limit_) return;
    if (e14 == currentE14_) {
        addedToCurrent_.push(ranks);
        ++kept_;
    } else if (ranks[0] < PairOrderCode(e14)) {
        ++later_[e14].early;
    } else {
        LaterMembers& group = later_[e14];
        if (group.count % kBlock == 0) {
            if (spare_.empty()) {
                group.blocks.push_back(std::make_unique<Block>());
            } else {
                group.blocks.push_back(std::move(spare_.back()));
                spare_.pop_back();
            }
            kept_ += kBlock;
        }
        (*group.blocks.back())[group.count++ % kBlock] = ranks;
    }
}

void RunClassStream::Release(LaterMembers& group, std::vector<Ranks>* to)
{
    for (std::size_t b = 0; b < group.blocks.size(); ++b) {
        if (to != nullptr) {
            const std::size_t n = std::min(kBlock, group.count - b * kBlock);
            to->insert(to->end(), group.blocks[b]->begin(), group.blocks[b]->begin() + static_cast<std::ptrdiff_t>(n));
        }
        spare_.push_back(std::move(group.blocks[b]));
        kept_ -= kBlock;
    }
    group.blocks.clear();
}

void RunClassStream::Trim(std::int32_t floor)
{
    while (kept_ * sizeof(Ranks) + later_.size() * kGroupBytes > budget_ && !later_.empty() &&
           later_.rbegin()->first > floor) {
        const auto last = std::prev(later_.end());
        limit_ = last->first;
        Release(last->second, nullptr);
        later_.erase(last);
    }
}

void RunClassStream::Refill(std::int32_t e14)
{
    ++replays_;
    const std::int32_t from = limit_;
    limit_ = std::numeric_limits<std::int32_t>::max();
    replay_(e14, [&](const Entries& opener) {
        for (const MemberKey& m : MemberKeys(CellsFromEntries(opener))) {
            if (m.e14 < from) continue; // kept or passed already
            if (m.e14 < e14) {
                ++passed_;
            } else {
                Keep(m.e14, m.ranks);
            }
        }
        Trim(e14);
    });
}

CubeClass RunClassStream::AddOpener(const Entries& e)
{
    const Cells cube = CellsFromEntries(e);
    const std::vector<MemberKey> members = MemberKeys(cube);
    assert(OpensClassInRun(cube) && !members.empty());
    assert(classCount_ == 0 || members.front().e14 >= currentE14_);
    if (members.front().e14 >= limit_) Refill(members.front().e14);
    PassTo(members.front().e14, members.front().ranks);
    const std::int64_t number = ++passed_;
    for (std::size_t i = 1; i < members.size(); ++i) Keep(members[i].e14, members[i].ranks);
    members_ += static_cast<std::int64_t>(members.size());
    Trim(currentE14_);
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
