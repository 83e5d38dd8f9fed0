#pragma once

#include <algorithm>
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

// The staircase of a census as it is drawn, gathered row by row in a memory
// that does not grow with the census: neighbouring bounds share a step once
// there are more than kMaxSteps, far more than a picture has pixel columns.
// A step keeps the counts before it and after it, so that the picture shows
// every rise of the curve.
class CensusCurve {
public:
    static constexpr std::size_t kMaxSteps = 1 << 15;

    // The next bound; bounds ascend.
    void Add(const CensusPoint& point);
    bool Empty() const { return steps_.empty(); }
    // The run's bound: the last counts hold up to it, as no cube has a
    // larger value below it.
    void EndAt(std::int32_t runBound) { end_ = runBound; }
    std::int32_t End() const { return steps_.empty() ? end_ : std::max(end_, steps_.back().last); }

    // A run of bounds drawn as one: from `first` to `last`, the counts rise
    // from those before `first` (its own at the curve's first bound) to
    // those at `last`.
    struct Step {
        std::int32_t first = 0;
        std::int32_t last = 0;
        std::int64_t cubesBefore = 0;
        std::int64_t classesBefore = 0;
        std::int64_t cubesUpTo = 0;
        std::int64_t classesUpTo = 0;
    };
    const std::vector<Step>& Steps() const { return steps_; }

private:
    std::size_t StepOf(std::int32_t bound) const { return static_cast<std::size_t>(bound - origin_) >> shift_; }
    void Widen();

    std::vector<Step> steps_;
    std::int32_t origin_ = 0;
    unsigned shift_ = 0; // a step covers at most 2^shift_ bounds from origin_
    std::int32_t end_ = 0;
};

enum class PictureKind { Svg, Png };

// The kind of picture that a file name asks for by its extension (.svg or
// .png, in either case); nothing for any other name.
std::optional<PictureKind> PictureKindOf(const std::string& path);

// The size of a picture in pixels; its text grows and shrinks with it.
struct PictureSize {
    static constexpr int kLeast = 200;
    static constexpr int kMost = 3000;
    int width = 1000;
    int height = 640;
};

// The chart's title in words: "Cubes and classes with largest value at most
// U, up to U = 1000", with ", slice 2 of 3" for a slice.
std::string CensusTitle(std::int32_t runBound, unsigned sliceIndex = 1, unsigned sliceCount = 1);

// Draws the cubes and the classes up to each bound against the bound, with
// counts in powers of ten, labelled axes, a legend and `title`, into `device`
// (open for writing). At most a few points per pixel column are drawn, each
// column from its lowest to its highest count. Needs a QApplication. Returns
// the reason of a failure, or nothing.
std::optional<std::string> DrawCensus(const CensusCurve& curve, const std::string& title, QIODevice& device,
                                      PictureKind kind, PictureSize size = {});

} // namespace pandicube
