#include <gtest/gtest.h>

#include "platform/clock.h"

TEST(SystemClock, SteadyTimeNeverGoesBack) {
    auto& c = platform::defaultClock();
    auto a = c.steadyMs();
    auto b = c.steadyMs();
    EXPECT_LE(a, b);
    auto t = c.now();
    EXPECT_GE(t.year, 2000);
    EXPECT_GE(t.month, 1);
    EXPECT_LE(t.month, 12);
}
