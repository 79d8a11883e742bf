#pragma once

#include <cstdint>
#include <string>

namespace kelmor::calendar {

// Fixed-point decimal degrees: the value times 10 000, rounded to the nearest unit.
using FixedDegrees = std::int64_t;
constexpr FixedDegrees kFixedScale = 10000;

// The observer's place: degrees, minutes and a sign (1 north/east, -1 south/west) for latitude
// and longitude, and the derived signed decimal degrees kept with four decimals.
struct Location
{
    std::string cityName = "Москва";
    std::int16_t sGraduses = 55; // latitude, whole degrees
    std::int16_t sMinutes = 45;
    std::int16_t sM = 1;
    std::int16_t dGraduses = 37; // longitude, whole degrees
    std::int16_t dMinutes = 35;
    std::int16_t dM = 1;
    FixedDegrees latitude = 557500;
    FixedDegrees longitude = 375833;

    // Recomputes longitude, then latitude, from degrees, minutes and sign.
    void derive();

    double latitudeDegrees() const { return double(latitude) / kFixedScale; }
    double longitudeDegrees() const { return double(longitude) / kFixedScale; }
};

// sign × (degrees + minutes / 60) in double precision, rounded to the nearest 1/10 000.
FixedDegrees deriveDegrees(std::int16_t degrees, std::int16_t minutes, std::int16_t sign);

} // namespace kelmor::calendar
