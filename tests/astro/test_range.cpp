// The engine over the whole range the calendar accepts: years 1583 to 9000 give answers;
// earlier moments give an answer or the engine's error, never anything else.

#include "astro/mMath.h"
#include "astro/Moonday.h"
#include "astro/mRiseSet.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kelmor::astro;

namespace {

const Observer kPlaces[] = {{55.75, 37.5833}, {43.1167, 131.9}, {-34.6, -58.45}, {69.0, 33.0}};

TEST(AstroRange, NewMoonsAndMoonrisesFrom1583To9000)
{
    const double first = DateTime::fromFields(1583, 1, 1).value;
    const double last = DateTime::fromFields(9000, 12, 31, 23, 59, 59).value;
    constexpr int kSteps = 300;
    for (int i = 0; i <= kSteps; ++i) {
        // An irregular step so that the instants fall at all times of day.
        const DateTime d = DateTime::fromLinear(
            DateTime(first).linear() +
            (DateTime(last).linear() - DateTime(first).linear()) * i / kSteps * 0.999999 +
            0.137 * i);
        const DateTime L = Moonday::LastNewMoon(d);
        const DateTime N = Moonday::NextNewMoon(d);
        const double length = N.linear() - L.linear();
        EXPECT_LE(L.linear(), d.linear() + 0.5 / 86400) << d.value;
        EXPECT_GT(N.linear(), d.linear()) << d.value;
        EXPECT_GT(length, 29.2) << d.value;
        EXPECT_LT(length, 29.95) << d.value;

        if (i % 10 == 0) {
            const DateTime day(std::floor(d.linear()));
            const RiseSetTimes r = mRiseSet::RiseSet(day, kPlaces[i / 10 % 4], kMoon);
            for (double v : {r.rise, r.set}) {
                const bool special = v == 0.0 || v == 1.0 || v == -1.0;
                const double t = DateTime(v).linear();
                EXPECT_TRUE(special || (t >= day.linear() && t <= day.linear() + 1.0))
                    << d.value << " " << v;
            }
        }
    }
}

TEST(AstroRange, EarlierMomentsAnswerOrRaiseTheEngineError)
{
    const double first = DateTime::fromFields(100, 1, 1).value;
    const double reform = DateTime::fromFields(1583, 1, 1).value;
    int answered = 0;
    for (int i = 0; i <= 60; ++i) {
        const DateTime d(first + (reform - first) * i / 60.0);
        try {
            const DateTime L = Moonday::LastNewMoon(d);
            const DateTime N = Moonday::NextNewMoon(d);
            EXPECT_LT(L.linear(), N.linear());
            mRiseSet::RiseSet(DateTime(d.dayNumber()), kPlaces[0], kMoon);
            ++answered;
        } catch (const AstroError &) {
        }
    }
    EXPECT_GT(answered, 50);
}

} // namespace
