#include "search/cube/cube_classes.h"

#include "search/cube/cube_symmetry.h"
#include "search/vocabulary.h"

#include <algorithm>
#include <cassert>
#include <stdexcept>
#include <tuple>

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

using MemberKey = RunClassStream::MemberKey;

// Where each symmetry reads a member's e14, e18, e10 and e17.
constexpr auto kMemberSources = [] {
    std::array<std::array<std::uint8_t, 4>, kSymmetryCount> sources{};
    for (std::size_t g = 0; g < sources.size(); ++g) {
        for (std::size_t i = 0; const int k : {kE14, kE18, kE10, kE17})
            sources[g][i++] = static_cast<std::uint8_t>(kSymmetrySources[g][static_cast<std::size_t>(k)]);
    }
    return sources;
}();

// The keys of the members of the cube's class that a run lists, ascending
// (held in place: this runs for every opener, and again when it is replayed).
struct MemberKeyList {
    std::array<MemberKey, kSymmetryCount> keys;
    std::size_t count = 0;

    const MemberKey* begin() const { return keys.data(); }
    const MemberKey* end() const { return keys.data() + count; }
    std::size_t size() const { return count; }
    const MemberKey& operator[](std::size_t i) const { return keys[i]; }
};

MemberKeyList MemberKeys(const Cells& cells)
{
    MemberKeyList list;
    for (const auto& source : kMemberSources) {
        const std::int32_t e14 = cells[source[0]];
        if (e14 < kCentreValue) {
            list.keys[list.count++] = {
                e14,
                {PairOrderCode(cells[source[1]]), PairOrderCode(cells[source[2]]), PairOrderCode(cells[source[3]])}};
        }
    }
    std::sort(list.keys.begin(), list.keys.begin() + static_cast<std::ptrdiff_t>(list.count));
    list.count = static_cast<std::size_t>(
        std::unique(list.keys.begin(), list.keys.begin() + static_cast<std::ptrdiff_t>(list.count)) -
        list.keys.begin());
    return list;
}

// The cell a member's e14, e18, e10 and e17 read, as a read of the entries:
// an entry, or the complement of one (the centre is no member's free entry).
struct EntryRead {
    std::uint8_t entry = 0;
    bool complement = false;
};
constexpr auto kMemberEntryReads = [] {
    std::array<std::array<EntryRead, 4>, kSymmetryCount> reads{};
    for (std::size_t g = 0; g < reads.size(); ++g) {
        for (std::size_t i = 0; i < 4; ++i) {
            const int cell = kMemberSources[g][i];
            reads[g][i] = cell <= kEntryCount ? EntryRead{static_cast<std::uint8_t>(cell), false}
                                              : EntryRead{static_cast<std::uint8_t>(kComplementSum - cell), true};
        }
    }
    return reads;
}();
static_assert([] {
    for (const auto& sources : kMemberSources) {
        for (const std::uint8_t cell : sources) {
            if (cell == kCentreCell) return false;
        }
    }
    return true;
}());

std::int32_t Read(const Entries& e, EntryRead read)
{
    const std::int32_t v = e[read.entry];
    return read.complement ? Complement(v) : v;
}

} // namespace

// Counts as passed every member kept that comes before (e14, ranks).
void RunClassStream::PassTo(std::int32_t e14, const Ranks& ranks)
{
    if (classCount_ == 0 || e14 != currentE14_) {
        passed_ += static_cast<std::int64_t>(current_.size() - next_ + addedToCurrent_.size());
        while (!later_.empty() && later_.begin()->first < e14) {
            LaterMembers& members = later_.begin()->second;
            passed_ += members.early + static_cast<std::int64_t>(members.count);
            Release(members, nullptr);
            later_.erase(later_.begin());
        }
        current_ = std::vector<Ranks>();
        if (!later_.empty() && later_.begin()->first == e14) {
            LaterMembers& members = later_.begin()->second;
            passed_ += members.early;
            current_.reserve(members.count);
            Release(members, &current_);
            later_.erase(later_.begin());
        }
        std::sort(current_.begin(), current_.end());
        next_ = 0;
        addedToCurrent_ = std::vector<Ranks>();
        currentE14_ = e14;
    }
    while (next_ < current_.size() && current_[next_] < ranks) {
        ++next_;
        ++passed_;
    }
    while (!addedToCurrent_.empty() && addedToCurrent_.front() < ranks) {
        std::pop_heap(addedToCurrent_.begin(), addedToCurrent_.end(), std::greater<>());
        addedToCurrent_.pop_back();
        ++passed_;
    }
}

void RunClassStream::Keep(std::int32_t e14, const Ranks& ranks)
{
    if (e14 == currentE14_) {
        addedToCurrent_.push_back(ranks);
        std::push_heap(addedToCurrent_.begin(), addedToCurrent_.end(), std::greater<>());
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
    }
    group.blocks.clear();
}

CubeClass RunClassStream::AddOpener(const Entries& e)
{
    const Cells cube = CellsFromEntries(e);
    const MemberKeyList members = MemberKeys(cube);
    assert(OpensClassInRun(cube) && members.size() > 0);
    const MemberKey& opener = members[0];
    assert(classCount_ == 0 || opener.e14 >= currentE14_);
    PassTo(opener.e14, opener.ranks);
    const std::int64_t number = ++passed_;
    for (std::size_t i = 1; i < members.size(); ++i) Keep(members[i].e14, members[i].ranks);
    members_ += static_cast<std::int64_t>(members.size());
    return CubeClass{++classCount_, number, ClassSizeInRun(cube), StandardForm(cube)};
}

std::optional<CubeClass> RunClassStream::Add(const Entries& e, std::int64_t solutionNumber)
{
    const Cells cube = CellsFromEntries(e);
    if (!OpensClassInRun(cube)) return std::nullopt;
    return CubeClass{++classCount_, solutionNumber, ClassSizeInRun(cube), StandardForm(cube)};
}

namespace {

using Member = ClassNumbering::Member;

std::uint64_t InnerPlace(std::int32_t code10, std::int32_t code17)
{
    // The sign bits turned, unsigned numbers keep the order of signed ones.
    return std::uint64_t{static_cast<std::uint32_t>(code10) ^ 0x80000000u} << 32 |
           (static_cast<std::uint32_t>(code17) ^ 0x80000000u);
}

} // namespace

static_assert(std::tuple_size_v<ClassNumbering::Members> == kSymmetryCount);

// There are `size` of them (ClassSizeInRun): one per image below the centre,
// unless some images coincide.
std::size_t ClassNumbering::MembersOf(const Entries& e, int size, Members& members)
{
    std::size_t n = 0;
    for (const auto& reads : kMemberEntryReads) {
        const std::int32_t e14 = Read(e, reads[0]);
        if (e14 >= kCentreValue) continue;
        members[n++] = {e14, PairOrderCode(Read(e, reads[1])),
                        InnerPlace(PairOrderCode(Read(e, reads[2])), PairOrderCode(Read(e, reads[3])))};
    }
    if (n != static_cast<std::size_t>(size)) {
        const auto key = [](const Member& m) { return std::tuple{m.e14, m.code18, m.inner}; };
        const auto end = members.begin() + static_cast<std::ptrdiff_t>(n);
        std::sort(members.begin(), end, [&](const Member& a, const Member& b) { return key(a) < key(b); });
        n = static_cast<std::size_t>(
            std::unique(members.begin(), end, [&](const Member& a, const Member& b) { return key(a) == key(b); }) -
            members.begin());
    }
    return n;
}

namespace {

// The e14 after the last of every run (60, the largest multiple of 3 below
// the centre).
constexpr std::int32_t kEndE14 = 63;

} // namespace

ClassNumbering::ClassNumbering(Limits limits, Replay replay, std::size_t budgetBytes)
    : replay_(std::move(replay)), budget_(budgetBytes), codeLow_(2 * limits.lower),
      columns_(static_cast<std::size_t>(2 * kCentreValue - codeLow_))
{
}

std::size_t ClassNumbering::Unit(std::int32_t e14, std::int32_t code18) const
{
    assert((e14 - window_.first) % 3 == 0 && code18 >= codeLow_ &&
           code18 < codeLow_ + static_cast<std::int32_t>(columns_));
    return static_cast<std::size_t>((e14 - window_.first) / 3) * columns_ + static_cast<std::size_t>(code18 - codeLow_);
}

void ClassNumbering::OpenWindow(std::int32_t first, bool afterOpeners)
{
    ++replays_;
    window_ = Window{first, kEndE14, {}, {}, {}, {}};
    Window& w = window_;
    bool full = false;
    std::size_t units = 0; // of the e14s taken so far
    replay_(
        [&](const Entries& e) {
            const std::int32_t e14 = e[kE14];
            if (full || e14 < first) return;
            const std::size_t through = static_cast<std::size_t>((e14 - first) / 3 + 1) * columns_;
            if (through > units) {
                // A new e14: within the budget, counting the openers so far
                // at the room they will take.
                const std::size_t bytes = through * 2 * sizeof(std::uint32_t) +
                                          w.openers.size() * (sizeof(std::uint64_t) + sizeof(std::uint32_t));
                if (bytes > budget_ && units > 0) {
                    full = true;
                    w.end = e14;
                    return;
                }
                units = through;
            }
            const std::size_t unit = Unit(e14, PairOrderCode(e[kE18]));
            while (w.firstOpener.size() <= unit) w.firstOpener.push_back(static_cast<std::uint32_t>(w.openers.size()));
            w.openers.push_back(InnerPlace(PairOrderCode(e[kE10]), PairOrderCode(e[kE17])));
        },
        [&] { return full; });
    w.members.assign(static_cast<std::size_t>((w.end - first + 2) / 3) * columns_, 0);
    w.members.shrink_to_fit();
    w.firstOpener.resize(w.members.size() + 1, static_cast<std::uint32_t>(w.openers.size()));
    w.firstOpener.shrink_to_fit();
    w.openers.shrink_to_fit();
    w.before.assign(w.openers.size(), 0);
    if (!afterOpeners) return;
    // The classes opened before the window have members in it too.
    ++replays_;
    bool done = false;
    replay_(
        [&](const Entries& e) {
            done = done || e[kE14] >= first;
            if (!done) CountMembersOf(e);
        },
        [&] { return done; });
}

void ClassNumbering::Count(const Member& m)
{
    Window& w = window_;
    if (m.e14 < w.first || m.e14 >= w.end) return;
    const std::size_t unit = Unit(m.e14, m.code18);
    ++w.members[unit];
    const auto first = w.openers.begin() + w.firstOpener[unit];
    const auto last = w.openers.begin() + w.firstOpener[unit + 1];
    const auto after = std::upper_bound(first, last, m.inner);
    if (after != last) ++w.before[static_cast<std::size_t>(after - w.openers.begin())];
}

void ClassNumbering::CountMembersOf(const Entries& e)
{
    Members members;
    const std::size_t n = MembersOf(e, ClassSizeInRun(CellsFromEntries(e)), members);
    for (std::size_t i = 0; i < n; ++i) Count(members[i]);
}

CubeClass ClassNumbering::AddOpener(const Entries& e)
{
    const Cells cube = CellsFromEntries(e);
    const int size = ClassSizeInRun(cube);
    const std::int64_t number = FirstSolution(e, size);
    return CubeClass{classCount_, number, size, StandardForm(cube)};
}

std::int64_t ClassNumbering::FirstSolution(const Entries& e, int sizeInRun)
{
    Members members;
    const std::size_t n = MembersOf(e, sizeInRun, members);
    return FirstSolution(e, std::span<const Member>(members.data(), n));
}

std::int64_t ClassNumbering::FirstSolution(const Entries& e, std::span<const Member> members)
{
    const std::int32_t e14 = e[kE14];
    if (!opened_ || e14 >= window_.end) {
        if (opened_) {
            for (; cursor_ < window_.members.size(); ++cursor_) passed_ += window_.members[cursor_];
        }
        // The first window begins at the first opener: no member of any class
        // comes before it.
        OpenWindow(opened_ ? window_.end : e14, opened_);
        opened_ = true;
        // A window holds at least the e14 of the opener that it begins with.
        if (e14 >= window_.end) throw std::logic_error("a class opener that its replay did not find");
        cursor_ = 0;
        next_ = window_.firstOpener[0];
        within_ = 0;
    }
    const std::size_t unit = Unit(e14, PairOrderCode(e[kE18]));
    if (unit != cursor_) {
        for (; cursor_ < unit; ++cursor_) passed_ += window_.members[cursor_];
        next_ = window_.firstOpener[unit];
        within_ = 0;
    }
    const std::size_t at = next_++;
    if (at >= window_.firstOpener[unit + 1] ||
        window_.openers[at] != InnerPlace(PairOrderCode(e[kE10]), PairOrderCode(e[kE17])))
        throw std::logic_error("a class opener that its replay did not find");
    within_ += window_.before[at];
    const std::int64_t number = passed_ + within_ + 1;

    for (const Member& m : members) Count(m);
    members_ += static_cast<std::int64_t>(members.size());
    ++classCount_;
    return number;
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
