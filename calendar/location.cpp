#include "calendar/location.h"

#include <cmath>

namespace kelmor::calendar {

FixedDegrees deriveDegrees(std::int16_t degrees, std::int16_t minutes, std::int16_t sign)
{
    const double value = double(sign) * (double(degrees) + double(minutes) / 60.0);
    return static_cast<FixedDegrees>(std::llround(value * double(kFixedScale)));
}

void Location::derive()
{
    longitude = deriveDegrees(dGraduses, dMinutes, dM);
    latitude = deriveDegrees(sGraduses, sMinutes, sM);
}

} // namespace kelmor::calendar
