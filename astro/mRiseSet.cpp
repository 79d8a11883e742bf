#include "astro/mRiseSet.h"

#include "astro/mMath.h"

#include <cmath>

namespace kelmor::astro::mRiseSet {

using namespace mMath;

double SiderealTime(double jde, double longitude)
{
    Checked(jde + longitude, "SiderealTime");
    const double jd = jde - mTime::DeltaT(jde);
    double f = jd - std::floor(jd);
    double j0 = 0.0;
    if (f >= 0.5) {
        j0 = std::floor(jd) + 0.5;
        f -= 0.5;
    } else {
        j0 = std::floor(jd) - 0.5;
        f += 0.5;
    }
    const double s = f * 86400.0;
    const double T = (j0 - 2451545.0) / 36525.0;
    const double T2 = T * T;
    const double T3 = T2 * T;
    const double T4 = T3 * T;
    const double G =
        24110.54841 + 8640184.7942063 * T + 0.0927701 * T2 - 0.0000003 * T3 - 0.000002 * T4;
    const double r =
        1.0 + (8640184.7942063 + 0.1855402 * T - 0.0000009 * T2 - 0.000008 * T3) / 3155760000.0;
    const mCorrection::NutationValues n = mCorrection::NutationBoth(jd);
    const double obliquity = mCorrection::Obliquity(jd, false) + n.obliquity;
    const double q = n.longitude * 240.0 * CosD(obliquity);
    double S = q + (s * r + G) + longitude * 240.0;
    S -= 86400.0 * std::floor(S / 86400.0);
    return Checked(S / 240.0, "SiderealTime");
}

SphCoord EquToHor(double jde, const SphCoord &equatorial, const Observer &observer)
{
    const double phi = observer.latitude;
    const double theta = SiderealTime(jde, observer.longitude);
    const double H = theta - equatorial.lon;
    SphCoord corrected = equatorial;
    mCorrection::DiurnalAberration(H, corrected, phi);
    const double d = corrected.lat;
    const double sinH = SinD(H);
    const double cosH = CosD(H);
    const double sinPhi = SinD(phi);
    const double cosPhi = CosD(phi);
    SphCoord h;
    h.lon = Norm360(RadToDeg(ArcTan2(sinH, cosH * sinPhi - TanD(d) * cosPhi)) + 180.0);
    h.lat = RadToDeg(ArcSin(sinPhi * SinD(d) + cosPhi * CosD(d) * cosH));
    h.dist = equatorial.dist;
    Checked(h.lon + h.lat + h.dist, "EquToHor");
    return h;
}

AltitudeValues AltitudeTable(DateTime start, const Observer &observer, BodyIndex index, double h0)
{
    Checked(observer.latitude + observer.longitude + h0, "AltitudeTable");
    const double J = mTime::DateToJD(start, false, false);
    AltitudeValues y{};
    for (int i = 0; i <= 24; ++i) {
        const double Ji = J + i / 24.0;
        const SphCoord P = mCorrection::ApparentPosition(Ji, index);
        const SphCoord A = EquToHor(Ji, P, observer);
        if (h0 != 0.0) {
            y[i] = A.lat - h0;
        } else {
            y[i] = A.lat + mCorrection::Refraction(A.lat) -
                   mCorrection::ParallaxInAltitude(A.dist, A.lat) +
                   mCorrection::SemiDiameter(index, A.dist);
        }
    }
    return y;
}

RiseSetTimes FindRiseSet(DateTime start, const AltitudeValues &y)
{
    for (double v : y)
        Checked(v, "FindRiseSet");
    const double s0 = Checked(start.linear(), "FindRiseSet");
    // Event times are kept as plain day counts and turned into date-time values at the end.
    double rise = 0.0;
    double set = 0.0;
    bool hasRise = false;
    bool hasSet = false;
    auto store = [](double &slot, bool &filled, double t) {
        slot = filled ? (slot + t) / 2.0 : t;
        filled = true;
    };
    for (int hour = 1; hour <= 23; ++hour) {
        const double a = 0.5 * (y[hour + 1] + y[hour - 1]) - y[hour];
        const double b = 0.5 * (y[hour + 1] - y[hour - 1]);
        const double c = y[hour];
        double z1 = 0.0;
        double z2 = 0.0;
        double ye = 0.0;
        int nz = 0;
        if (a == 0.0) {
            // Three samples on a straight line: the fit has at most the one root of the line.
            if (b == 0.0)
                continue;
            z1 = z2 = -c / b;
            ye = c; // unused: a line has no second root
            nz = std::fabs(z1) < 1.0 ? 1 : 0;
        } else {
            const double xe = -b / (2.0 * a);
            ye = (a * xe + b) * xe + c;
            const double dis = b * b - 4.0 * a * c;
            if (dis < 0.0)
                continue;
            const double dx = 0.5 * std::sqrt(dis) / std::fabs(a);
            z1 = xe - dx;
            z2 = xe + dx;
            nz = (std::fabs(z1) < 1.0 ? 1 : 0) + (std::fabs(z2) < 1.0 ? 1 : 0);
            if (z1 < -1.0)
                z1 = z2;
        }
        if (nz == 1) {
            const double t = s0 + hour / 24.0 + z1 / 24.0;
            if (y[hour - 1] < 0.0)
                store(rise, hasRise, t);
            else
                store(set, hasSet, t);
        } else if (nz == 2) {
            if (ye < 0.0) {
                rise = s0 + (hour + z2) / 24.0;
                set = s0 + (hour + z1) / 24.0;
            } else {
                rise = s0 + (hour + z1) / 24.0;
                set = s0 + (hour + z2) / 24.0;
            }
            hasRise = hasSet = true;
        }
    }
    RiseSetTimes r;
    if (!hasRise && !hasSet) {
        r.rise = y[12] > 0.0 ? 1.0 : (y[12] < 0.0 ? -1.0 : 0.0);
        r.set = -1.0;
        return r;
    }
    r.rise = hasRise ? DateTime::fromLinear(rise).value : 0.0;
    r.set = hasSet ? DateTime::fromLinear(set).value : 0.0;
    return r;
}

RiseSetTimes RiseSet(DateTime day, const Observer &observer, BodyIndex index)
{
    double h0 = -34.0 / 60.0;
    if (index == kSun)
        h0 = -50.3 / 60.0;
    else if (index == kMoon)
        h0 = 8.0 / 60.0;
    return FindRiseSet(day, AltitudeTable(day, observer, index, h0));
}

} // namespace kelmor::astro::mRiseSet
