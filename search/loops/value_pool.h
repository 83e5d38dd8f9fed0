#pragma once

#include <cstdint>
#include <vector>

namespace pandicube {

// The pool of free values: one flag per value, indexed directly by value, that
// keeps the 125 values of a cube distinct. A value v is available when both v
// and its complement 126 - v are free; taking v clears only v's own flag.
class ValuePool {
public:
    // Creates the pool anew for the indexes low..high (both included), every
    // flag free, then marks the centre value 63 as used. An empty range (high <
    // low) gives a pool without flags.
    void Reset(std::int32_t low, std::int32_t high);

    bool Contains(std::int32_t v) const { return v >= low_ && v <= high_; }
    std::int32_t Flag(std::int32_t v) const { return flags_[Index(v)]; }

    bool IsAvailable(std::int32_t v) const { return Flag(v) == 1 && Flag(126 - v) == 1; }
    void Take(std::int32_t v) { flags_[Index(v)] = 0; }
    void Release(std::int32_t v)
    {
        flags_[Index(v)] = 1;
        flags_[Index(126 - v)] = 1;
    }
    // For v >= 64: v is a value of the partial cube (an entry or the complement
    // of one).
    bool IsInUse(std::int32_t v) const { return Flag(v) == 0 || Flag(126 - v) == 0; }

    std::int32_t Low() const { return low_; }
    std::int32_t High() const { return high_; }
    std::size_t Size() const { return flags_.size(); }

private:
    std::size_t Index(std::int32_t v) const { return static_cast<std::size_t>(static_cast<std::int64_t>(v) - low_); }

    // One byte per value: at the largest bound a pool has 16.6 million flags,
    // and every thread searches with its own.
    std::vector<std::uint8_t> flags_;
    std::int32_t low_ = 0;
    std::int32_t high_ = -1;
};

} // namespace pandicube
