#pragma once

#include "search/cells.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pandicube {

// Groups the cubes of a listing of any size into classes of essentially
// different cubes within a fixed memory budget: each cube's standard form,
// hashed to 128 bits, goes with its place in the listing into sorted runs on
// temporary files, which a merge joins into classes, which a second sort
// puts in the order of their first cubes.
class ClassSpool {
public:
    // One class: its first cube's solution number, its size in a run, and
    // the solution numbers of its cubes in the order of the listing.
    struct Class {
        std::int64_t firstSolution = 0;
        std::int32_t sizeInRun = 0;
        std::vector<std::int64_t> members;
    };

    explicit ClassSpool(std::size_t budgetBytes = std::size_t{32} << 20);
    ~ClassSpool();
    ClassSpool(const ClassSpool&) = delete;
    ClassSpool& operator=(const ClassSpool&) = delete;

    // False (with the reason in Failure()) when a temporary file fails.
    bool Add(const Cells& cube, std::int64_t solutionNumber);
    // Hands on every class in the order of its first cube in the listing.
    bool ForEachClass(const std::function<void(const Class&)>& take);
    const std::string& Failure() const { return failure_; }

    struct Member {
        std::uint64_t keyHigh = 0;
        std::uint64_t keyLow = 0;
        std::int64_t place = 0; // in the listing
        std::int64_t solution = 0;
        std::int32_t sizeInRun = 0;
    };

private:
    struct Group {
        std::int64_t firstPlace = 0;
        Class members;
    };
    using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

    bool SpillMembers();
    bool SpillGroups();
    // The classes from the members, in the order of their keys (steps 1
    // and 2 of ForEachClass), and handed on in the order of their first
    // cubes (step 3).
    bool GroupMembers();
    bool TakeGroups(const std::function<void(const Class&)>& take);
    static bool ReadGroup(std::FILE* file, Group& g);
    bool Fail(const char* what);

    std::size_t budget_;
    std::vector<Member> members_;
    std::vector<File> memberRuns_;
    std::vector<Group> groups_;
    std::size_t groupBytes_ = 0;
    std::vector<File> groupRuns_;
    std::int64_t places_ = 0;
    std::string failure_;
};

} // namespace pandicube
