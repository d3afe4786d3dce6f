#include <gtest/gtest.h>

#include <climits>

#include "setup/centring.h"

TEST(CentredOrigin, HalvesTheDifferenceFlooringNegativeHalves) {
    // A 400 by 300 window on a 1024 by 768 screen.
    EXPECT_EQ(312, centred_origin(0, 1024, 400));
    EXPECT_EQ(234, centred_origin(0, 768, 300));
    // Wider than the reference by 3: -3 >> 1 is -2; by 2: -1.
    EXPECT_EQ(-2, centred_origin(0, 100, 103));
    EXPECT_EQ(-1, centred_origin(0, 100, 102));
    // An odd positive difference loses its half.
    EXPECT_EQ(1, centred_origin(0, 103, 100));
    // Over a reference window that starts elsewhere, even off screen.
    EXPECT_EQ(150, centred_origin(100, 300, 200));
    EXPECT_EQ(-350, centred_origin(-400, 300, 200));
}

TEST(CentredOrigin, ExtremeRectanglesDoNotOverflow) {
    EXPECT_EQ(INT_MIN / 2, centred_origin(0, INT_MIN, 0));
    EXPECT_EQ(INT_MAX / 2, centred_origin(0, INT_MAX, 0));
    EXPECT_EQ(-(INT_MAX / 2) - 1, centred_origin(0, 0, INT_MAX));
}
