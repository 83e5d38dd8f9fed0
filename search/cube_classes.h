#pragma once

#include "search/cube.h"

#include <cstdint>
#include <optional>
#include <unordered_map>
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
class RunClassStream {
public:
    // The class that this solution opens, if it opens one.
    std::optional<CubeClass> Add(const Entries& e, std::int64_t solutionNumber);

    std::int64_t ClassCount() const { return classCount_; }

private:
    std::int64_t classCount_ = 0;
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
