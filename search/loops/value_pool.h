#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

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

    ValuePool() = default;
    ValuePool(const ValuePool& other);
    ValuePool& operator=(const ValuePool& other);
    ValuePool(ValuePool&&) noexcept = default;
    ValuePool& operator=(ValuePool&&) noexcept = default;
    ~ValuePool() = default;

    bool Contains(std::int32_t v) const { return v >= low_ && v <= high_; }
    // 1 when v is free, 0 when it is taken.
    std::int32_t Flag(std::int32_t v) const { return used_[Index(v)] ^ 1; }

    bool IsAvailable(std::int32_t v) const { return (used_[Index(v)] | used_[Index(126 - v)]) == 0; }
    void Take(std::int32_t v) { used_[Index(v)] = 1; }
    void Release(std::int32_t v)
    {
        used_[Index(v)] = 0;
        used_[Index(126 - v)] = 0;
    }
    // For v >= 64: v is a value of the partial cube (an entry or the complement
    // of one).
    bool IsInUse(std::int32_t v) const { return !IsAvailable(v); }

    std::int32_t Low() const { return low_; }
    std::int32_t High() const { return high_; }
    std::size_t Size() const { return size_; }

private:
    struct FreeDeleter {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    std::size_t Index(std::int32_t v) const { return static_cast<std::size_t>(static_cast<std::int64_t>(v) - low_); }

    // One byte per value, set when the value is taken: at the largest bound
    // a pool has 16.6 million of them, which the search by rows never reads.
    // Zeroed by calloc, so that the pages a search does not touch are never
    // mapped.
    std::unique_ptr<std::uint8_t[], FreeDeleter> used_;
    std::size_t size_ = 0;
    std::int32_t low_ = 0;
    std::int32_t high_ = -1;
};

} // namespace pandicube
