#pragma once

#include "search/cells.h"
#include "search/vocabulary.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

namespace pandicube {

// One class of essentially different cubes as a listing first meets it.
struct CubeClass {
    std::int64_t number = 0;        // 1, 2, ... in the order the listing first meets the classes
    std::int64_t firstSolution = 0; // the number of the solution that first met it
    int sizeInRun = 0;              // cubes of the class in a full run's listing (ClassSizeInRun)
    Cells standardForm{};

    bool operator==(const CubeClass&) const = default;
};

// Classes of a run as the run streams its solutions, in run order, through
// Add: a cube opens a class when it is the first member of its class in run
// order (OpensClassInRun), so nothing is kept per class and each cube costs
// about 200 reads. On a slice of a run, each class is opened by the one slice
// that lists its first member, numbered within the slice. Only for runs with
// full range and without bound reduction, whose order is the run order.
//
// A search with classOpenersOnly lists only the cubes that open a class;
// AddOpener takes those, in run order, and gives each the number of the
// solution that the full run would give it: the count of the members of the
// classes before it that come before it in run order, plus one. For that it
// keeps, by e14, the ranks of the members still ahead that may come after an
// opener of the same e14 (12 bytes each; about 7 per class at the peak). On
// the classes of slices, sorted into run order by their first members
// (ClassMembersInRun), it numbers them as the whole run would (merge). The
// listing of a whole run's classes numbers them with ClassNumbering, whose
// memory stays bounded.
class RunClassStream {
public:
    RunClassStream() = default;

    // The class that this solution opens, if it opens one.
    std::optional<CubeClass> Add(const Entries& e, std::int64_t solutionNumber);
    // The class that this cube, the next opener of the run, opens.
    CubeClass AddOpener(const Entries& e);

    std::int64_t ClassCount() const { return classCount_; }
    // After the last opener: the number of cubes of the full run.
    std::int64_t RunSolutionCount() const { return members_; }
    // The ranks in pair order of a member's e18, e10 and e17 (SolutionOrderKey
    // after e14): 2 min(v, 126 - v), plus 1 above 63.
    using Ranks = std::array<std::int32_t, 3>;
    // A member's place in run order.
    struct MemberKey {
        std::int32_t e14 = 0;
        Ranks ranks{};

        friend constexpr auto operator<=>(const MemberKey&, const MemberKey&) = default;
    };

private:
    void PassTo(std::int32_t e14, const Ranks& ranks);
    // Keeps a member of a later opener, or of the latest.
    void Keep(std::int32_t e14, const Ranks& ranks);

    std::int64_t classCount_ = 0;
    std::int64_t passed_ = 0;  // members before the latest opener, and the openers so far
    std::int64_t members_ = 0; // members of the classes so far
    // Members of the e14 of the latest opener, ascending, the first `next_`
    // of them passed; and those added after they were sorted.
    std::int32_t currentE14_ = 0;
    std::vector<Ranks> current_;
    std::size_t next_ = 0;
    std::vector<Ranks> addedToCurrent_; // a heap, the smallest on top
    // Members of larger e14: those whose e18 lies farther from 63 than their
    // e14 come before every opener of that e14 (whose e18 lies nearer) and
    // are only counted; the others are kept.
    // The ranks are held in blocks of a size, reused, so that memory does
    // not scatter as groups come and go.
    static constexpr std::size_t kBlock = 16;
    using Block = std::array<Ranks, kBlock>;
    struct LaterMembers {
        std::int64_t early = 0;
        std::size_t count = 0;
        std::vector<std::unique_ptr<Block>> blocks;
    };
    std::map<std::int32_t, LaterMembers> later_;
    std::vector<std::unique_ptr<Block>> spare_;
    // Gives the group's blocks back, after appending its ranks to `to`.
    void Release(LaterMembers& group, std::vector<Ranks>* to);
};

// Numbers the classes of a whole run from the cubes that open them (a search
// with classOpenersOnly), handed in run order, as the full run numbers them:
// each by the number of the solution that opens it, which is one more than
// the count of the run's cubes before it. Every cube before an opener belongs
// to a class opened before it, so that count is the count of the members of
// the classes so far that come before the opener, whatever order they were
// counted in. It is counted per outer unit (e14, e18): each opener's members
// are added to the count of their unit, and an opener's number is the sum of
// the counts of the units before its own, plus the members of its own unit
// that come before it. For that, the openers of every unit are known ahead,
// from a first search of the openers (the replay), and each member of its
// unit is counted at the first opener after it, found by bisection. So what
// is kept is a count per unit and per opener (about 12 bytes per class),
// never the members themselves.
//
// Within a budget of memory the units are taken in windows of whole e14s:
// the openers of a window are searched again for it, and so are those before
// it, whose members are counted into it again; the count of the units before
// the window goes on. At U = 1000 one window holds the whole run.
class ClassNumbering {
public:
    // Hands `take` every opener of the whole run, in run order, ending early
    // (before an outer unit) once `enough` says so.
    using Replay =
        std::function<void(const std::function<void(const Entries&)>& take, const std::function<bool()>& enough)>;

    ClassNumbering(Limits limits, Replay replay, std::size_t budgetBytes);

    // A member of a class as the run lists it: its outer unit, and its place
    // within the unit (the pair order codes of e10 and e17, as one number
    // ordered as they are).
    struct Member {
        std::int32_t e14 = 0;
        std::int32_t code18 = 0;
        std::uint64_t inner = 0;
    };
    // Room for the members of any class (one per symmetry at most).
    using Members = std::array<Member, 48>;

    // The class that this cube, the next opener of the run, opens.
    CubeClass AddOpener(const Entries& e);
    // The number of the solution that opens it, for a cube whose class has
    // `sizeInRun` members (ClassSizeInRun): the class's number is ClassCount().
    std::int64_t FirstSolution(const Entries& e, int sizeInRun);
    // The same with the class's members found beforehand (MembersOf), as the
    // search threads can: what is left is counting them.
    std::int64_t FirstSolution(const Entries& e, std::span<const Member> members);
    // The members of the class of `e` that the run lists, in any order, for a
    // class of `sizeInRun` members; returns their number.
    static std::size_t MembersOf(const Entries& e, int sizeInRun, Members& members);

    std::int64_t ClassCount() const { return classCount_; }
    // After the last opener: the number of cubes of the full run.
    std::int64_t RunSolutionCount() const { return members_; }
    // How often the openers were searched again.
    int Replays() const { return replays_; }

private:
    // The units of the e14s from `first` before `end`, each e14 a row of
    // codes of e18.
    struct Window {
        std::int32_t first = 0;
        std::int32_t end = 0;
        std::vector<std::uint32_t> members;     // per unit: the members counted in it
        std::vector<std::uint32_t> firstOpener; // per unit, and one past the last: its first opener
        std::vector<std::uint64_t> openers;     // their places within their units, unit by unit
        std::vector<std::uint32_t> before;      // per opener: members after the unit's opener before it
    };

    std::size_t Unit(std::int32_t e14, std::int32_t code18) const;
    // Takes the openers of the window from e14 `first` on, as many whole e14s
    // as the budget holds (at least one), and, when `afterOpeners` (some came
    // before it), counts their members in it.
    void OpenWindow(std::int32_t first, bool afterOpeners);
    // Counts the members that fall into the window.
    void Count(const Member& m);
    void CountMembersOf(const Entries& e);

    Replay replay_;
    std::size_t budget_;
    std::int32_t codeLow_ = 0; // the smallest code of e18
    std::size_t columns_ = 0;  // codes of e18 per row
    Window window_;
    bool opened_ = false;
    std::size_t cursor_ = 0;  // the unit of the latest opener, whose members are not passed yet
    std::size_t next_ = 0;    // the next opener of that unit
    std::int64_t passed_ = 0; // members in the units before the cursor
    std::int64_t within_ = 0; // members of the cursor's unit before the latest opener
    std::int64_t classCount_ = 0;
    std::int64_t members_ = 0;
    int replays_ = 0;
};

// Groups the cubes of any listing, one at a time in the listing's order, into
// their classes, known by their standard forms, and counts the members seen
// of each, for a checker to compare with sizeInRun. On a whole run in run
// order it gives the same classes as RunClassStream. Holds one standard form
// per class.
class ClassGrouper {
public:
    struct Placement {
        std::int64_t classNumber = 0;
        bool opened = false; // the cube is the first of its class in the listing
    };

    Placement Add(const Cells& cube, std::int64_t solutionNumber);

    std::int64_t ClassCount() const { return static_cast<std::int64_t>(classes_.size()); }
    // Class `number`, from 1 to ClassCount(), and how many of its cubes were added.
    const CubeClass& Class(std::int64_t number) const { return classes_[Index(number)]; }
    std::int64_t MembersSeen(std::int64_t number) const { return membersSeen_[Index(number)]; }

private:
    static std::size_t Index(std::int64_t number) { return static_cast<std::size_t>(number - 1); }

    std::vector<CubeClass> classes_;
    std::vector<std::int64_t> membersSeen_;
    // Class indices by a hash of their standard form.
    std::unordered_multimap<std::uint64_t, std::size_t> byHash_;
};

} // namespace pandicube
