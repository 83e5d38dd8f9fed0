#pragma once

#include "cli/formats/record_format.h"
#include "cli/formats/run_identity.h"
#include "search/cells.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pandicube {

// Every class stands for 24 cubes of a run's listing (24 complement pairs of
// its 48 images, all with the same values).
inline constexpr std::int64_t kCubesPerClass = 24;
// No cube has a smaller largest value: its 125 distinct values pair up
// around 63.
inline constexpr std::int32_t kLeastLargestValue = 125;

// One record of a --census output: the bound b, the cubes and the classes
// whose largest value is exactly b, and those whose largest value is at most
// b. A cube's largest value is its own bound: the bound the bound walk
// reports for it, the smallest bound at which a run lists it.
struct CensusRow {
    std::int32_t bound = 0;
    std::int64_t cubes = 0;
    std::int64_t classes = 0;
    std::int64_t cubesUpTo = 0;
    std::int64_t classesUpTo = 0;

    bool operator==(const CensusRow&) const = default;
};

// A census row as read, with its place in the input.
struct CensusRecord : RecordPlace {
    CensusRow row;
};

inline constexpr std::string_view kCensusCsvHeader = "bound,cubes,classes,cubesUpTo,classesUpTo";

// One row, without its line end:
//   text: "bound B: N cubes, K classes; up to B: NN cubes, KK classes";
//   json: {"bound": B, "cubes": N, "classes": K, "cubesUpTo": NN, "classesUpTo": KK};
//   csv:  "B,N,K,NN,KK" (under kCensusCsvHeader).
std::string CensusRowLine(const CensusRow& row, OutputFormat format);
// One line of a census output as a row; nullopt unless it is exactly a row
// as CensusRowLine writes it in that format.
std::optional<CensusRow> ParseCensusRow(std::string_view line, OutputFormat format);

// The classes of a run counted by their largest value: one count per bound,
// nothing per class. The bounds below kDenseBounds are counted in an array
// (at most 512 KB, grown to the largest bound met), the others in a map.
class CensusTable {
public:
    void Add(std::int32_t bound, std::int64_t classes = 1)
    {
        if (bound < 0 || bound >= kDenseBounds) {
            sparse_[bound] += classes;
            return;
        }
        const auto at = static_cast<std::size_t>(bound);
        if (at >= dense_.size()) dense_.resize(at + 1);
        dense_[at] += classes;
    }
    // One row per bound that occurs, ascending, with the running totals.
    std::vector<CensusRow> Rows() const;

private:
    static constexpr std::int32_t kDenseBounds = 65536;
    std::vector<std::int64_t> dense_;
    std::map<std::int32_t, std::int64_t> sparse_;
};

} // namespace pandicube
