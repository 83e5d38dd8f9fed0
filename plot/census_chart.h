#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QIODevice;

namespace pandicube {

// One bound of a census: the cubes and the classes whose largest value is at
// most `bound`.
struct CensusPoint {
    std::int32_t bound = 0;
    std::int64_t cubesUpTo = 0;
    std::int64_t classesUpTo = 0;
};

enum class PictureKind { Svg, Png };

// The kind of picture that a file name asks for by its extension (.svg or
// .png, in either case); nothing for any other name.
std::optional<PictureKind> PictureKindOf(const std::string& path);

// Draws the cubes and the classes up to each bound against the bound, with a
// logarithmic count axis, labelled axes, a legend and `title`, into `device`
// (open for writing). Needs a QApplication. Returns the reason of a failure,
// or nothing.
std::optional<std::string> DrawCensus(const std::vector<CensusPoint>& points, const std::string& title,
                                      QIODevice& device, PictureKind kind);

} // namespace pandicube
