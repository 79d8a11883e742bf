#include "calendar/location.h"

#include <gtest/gtest.h>

using kelmor::calendar::deriveDegrees;
using kelmor::calendar::Location;

TEST(Location, DefaultsDeriveToMoscow)
{
    Location loc;
    loc.latitude = loc.longitude = 0;
    loc.derive();
    EXPECT_EQ(loc.latitude, 557500);
    EXPECT_EQ(loc.longitude, 375833);
}

TEST(Location, DerivationRoundsToNearestTenThousandth)
{
    struct Case
    {
        std::int16_t deg, min, sign;
        std::int64_t expected;
    } cases[] = {
        {55, 45, 1, 557500},  {37, 35, 1, 375833},   {33, 52, -1, -338667},   {0, 0, 1, 0},
        {90, 0, -1, -900000}, {180, 59, 1, 1809833}, {151, 13, -1, -1512167},
    };
    for (const auto &c : cases)
        EXPECT_EQ(deriveDegrees(c.deg, c.min, c.sign), c.expected)
            << c.deg << "°" << c.min << "' sign " << c.sign;
}
