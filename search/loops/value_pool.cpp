#include "search/loops/value_pool.h"

#include "search/cells.h"

namespace pandicube {

void ValuePool::Reset(std::int32_t low, std::int32_t high)
{
    low_ = low;
    high_ = high;
    const std::int64_t count = high >= low ? static_cast<std::int64_t>(high) - low + 1 : 0;
    flags_.assign(static_cast<std::size_t>(count), 1);
    if (Contains(kCentreValue)) flags_[Index(kCentreValue)] = 0;
}

} // namespace pandicube
