#include "astro/mConvertion.h"

#include "astro/mMath.h"
#include "astro/trig.h"

#include <cmath>

namespace kelmor::astro::mConvertion {

using namespace mMath;

SphCoord RectToSph(const RectCoord &r, bool degrees)
{
    const double rho2 = r.x * r.x + r.y * r.y;
    SphCoord s;
    s.lon = ArcTan2(r.y, r.x);
    s.lat = ArcTan2(r.z, std::sqrt(rho2));
    s.dist = std::sqrt(rho2 + r.z * r.z);
    if (degrees) {
        s.lon = RadToDeg(s.lon);
        s.lat = RadToDeg(s.lat);
    }
    return s;
}

RectCoord SphToRect(SphCoord &s, bool degrees)
{
    if (degrees) {
        s.lon = DegToRad(s.lon);
        s.lat = DegToRad(s.lat);
    }
    const double cosLat = trig::cos(s.lat);
    return RectCoord{s.dist * cosLat * trig::cos(s.lon), s.dist * cosLat * trig::sin(s.lon),
                     s.dist * trig::sin(s.lat)};
}

void EclToEqu(SphCoord &s, double obliquity)
{
    const double sinL = SinD(s.lon);
    const double cosL = CosD(s.lon);
    const double sinB = SinD(s.lat);
    const double cosB = CosD(s.lat);
    const double tanB = TanD(s.lat);
    const double sinE = SinD(obliquity);
    const double cosE = CosD(obliquity);
    s.lon = RadToDeg(ArcTan2(sinL * cosE - tanB * sinE, cosL));
    const double sd = sinB * cosE + cosB * sinE * sinL;
    s.lat = RadToDeg(ArcTan2(sd, std::sqrt(1.0 - sd * sd)));
}

} // namespace kelmor::astro::mConvertion
