#include "search/loops/run_search.h"
#include "search/loops/value_pool.h"
#include "tests/support/search_runs.h"

#include <gtest/gtest.h>

#include <vector>

namespace pandicube::test {
namespace {

TEST(ValuePool, TakeMarksValueAndComplementUnavailable)
{
    ValuePool pool;
    pool.Reset(-175, 301);
    ASSERT_TRUE(pool.IsAvailable(100));
    ASSERT_TRUE(pool.IsAvailable(26));
    pool.Take(100);
    EXPECT_FALSE(pool.IsAvailable(100));
    EXPECT_FALSE(pool.IsAvailable(26));
    EXPECT_TRUE(pool.IsAvailable(200));
    EXPECT_TRUE(pool.IsInUse(100));
    EXPECT_FALSE(pool.IsInUse(200));
    // Only the taken value's own flag changes.
    EXPECT_EQ(pool.Flag(100), 0);
    EXPECT_EQ(pool.Flag(26), 1);
}

TEST(ValuePool, ReleaseFreesValueAndComplement)
{
    ValuePool pool;
    pool.Reset(-175, 301);
    pool.Take(100);
    pool.Release(100);
    EXPECT_TRUE(pool.IsAvailable(100));
    EXPECT_TRUE(pool.IsAvailable(26));
    EXPECT_FALSE(pool.IsInUse(100));
    EXPECT_EQ(PoolFaults(pool), std::vector<std::string>{});

    // A value below 63 reports its use through the upper member of its pair.
    pool.Take(-50);
    EXPECT_TRUE(pool.IsInUse(176));
    EXPECT_FALSE(pool.IsAvailable(176));
    pool.Release(-50);
    EXPECT_FALSE(pool.IsInUse(176));
}

TEST(ValuePool, CentreIsNeverAvailable)
{
    ValuePool pool;
    pool.Reset(-175, 301);
    EXPECT_FALSE(pool.IsAvailable(63));
    EXPECT_TRUE(pool.IsInUse(63));
    for (std::int32_t v = -175; v <= 301; ++v) {
        if (v != 63) {
            EXPECT_TRUE(pool.IsAvailable(v)) << v;
        }
    }
}

TEST(ValuePool, EmptyRangeHasNoFlags)
{
    ValuePool pool;
    pool.Reset(124, 2); // the limits of U = 1
    EXPECT_EQ(pool.Size(), 0u);
    EXPECT_FALSE(pool.Contains(63));
    pool.Reset(63, 63); // U = 62
    EXPECT_EQ(pool.Size(), 1u);
    EXPECT_EQ(pool.Flag(63), 0);
}

} // namespace
} // namespace pandicube::test
