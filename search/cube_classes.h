#pragma once

#include "search/cube.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace pandicube {

// One class of essentially different cubes as a listing meets it.
struct CubeClass {
    std::int64_t number = 0;        // 1, 2, ... in the order the listing first meets the classes
    std::int64_t firstSolution = 0; // the number of the solution that first met it
    int sizeInRun = 0;              // cubes of the class in a full run's listing (ClassSizeInRun)
    std::int64_t membersSeen = 0;   // cubes of the class added so far
    Cells standardForm{};
};

// Groups the cubes of a listing, one at a time in the listing's order, into
// their classes, known by their standard forms. A front end streams a run's
// solutions through Add and writes a class when Add opens it; a checker adds
// any listing and compares membersSeen with sizeInRun. Holds one standard
// form per class.
class ClassGrouper {
public:
    struct Placement {
        std::int64_t classNumber = 0;
        bool opened = false; // the cube is the first of its class in the listing
    };

    Placement Add(const Cells& cube, std::int64_t solutionNumber);

    std::int64_t ClassCount() const { return static_cast<std::int64_t>(classes_.size()); }
    // Class `number`, from 1 to ClassCount().
    const CubeClass& Class(std::int64_t number) const { return classes_[static_cast<std::size_t>(number - 1)]; }
    const std::vector<CubeClass>& Classes() const { return classes_; }

private:
    std::vector<CubeClass> classes_;
    // Class indices by a hash of their standard form.
    std::unordered_multimap<std::uint64_t, std::size_t> byHash_;
};

} // namespace pandicube
