#include "search/loops/value_pool.h"

#include "search/cells.h"

#include <cstring>
#include <new>

namespace pandicube {

void ValuePool::Reset(std::int32_t low, std::int32_t high)
{
    low_ = low;
    high_ = high;
    const std::int64_t count = high >= low ? static_cast<std::int64_t>(high) - low + 1 : 0;
    size_ = static_cast<std::size_t>(count);
    used_.reset(static_cast<std::uint8_t*>(std::calloc(size_ + 1, 1)));
    if (!used_) throw std::bad_alloc();
    if (Contains(kCentreValue)) Take(kCentreValue);
}

ValuePool::ValuePool(const ValuePool& other)
{
    *this = other;
}

ValuePool& ValuePool::operator=(const ValuePool& other)
{
    if (this == &other) return *this;
    Reset(other.low_, other.high_);
    if (size_ > 0) std::memcpy(used_.get(), other.used_.get(), size_);
    return *this;
}

} // namespace pandicube
