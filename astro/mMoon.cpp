#include "astro/mMoon.h"

#include "astro/mMath.h"
#include "astro/trig.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace kelmor::astro::mMoon {

namespace {

// One row of the longitude and distance series: multipliers of D, M, M', F; the longitude
// coefficient (0.000001 degree) and the distance coefficient (0.001 km).
struct RowLR
{
    std::int8_t d, m, mp, f;
    std::int32_t l, r;
};

// One row of the latitude series: multipliers of D, M, M', F; coefficient (0.000001 degree).
struct RowB
{
    std::int8_t d, m, mp, f;
    std::int32_t b;
};

// The periodic terms of the Moon's longitude and distance (Meeus, Astronomical Algorithms,
// table 47.A), in the published order.
constexpr std::array<RowLR, 60> kTableA = {{
    {0, 0, 1, 0, 6288774, -20905355},
    {2, 0, -1, 0, 1274027, -3699111},
    {2, 0, 0, 0, 658314, -2955968},
    {0, 0, 2, 0, 213618, -569925},
    {0, 1, 0, 0, -185116, 48888},
    {0, 0, 0, 2, -114332, -3149},
    {2, 0, -2, 0, 58793, 246158},
    {2, -1, -1, 0, 57066, -152138},
    {2, 0, 1, 0, 53322, -170733},
    {2, -1, 0, 0, 45758, -204586},
    {0, 1, -1, 0, -40923, -129620},
    {1, 0, 0, 0, -34720, 108743},
    {0, 1, 1, 0, -30383, 104755},
    {2, 0, 0, -2, 15327, 10321},
    {0, 0, 1, 2, -12528, 0},
    {0, 0, 1, -2, 10980, 79661},
    {4, 0, -1, 0, 10675, -34782},
    {0, 0, 3, 0, 10034, -23210},
    {4, 0, -2, 0, 8548, -21636},
    {2, 1, -1, 0, -7888, 24208},
    {2, 1, 0, 0, -6766, 30824},
    {1, 0, -1, 0, -5163, -8379},
    {1, 1, 0, 0, 4987, -16675},
    {2, -1, 1, 0, 4036, -12831},
    {2, 0, 2, 0, 3994, -10445},
    {4, 0, 0, 0, 3861, -11650},
    {2, 0, -3, 0, 3665, 14403},
    {0, 1, -2, 0, -2689, -7003},
    {2, 0, -1, 2, -2602, 0},
    {2, -1, -2, 0, 2390, 10056},
    {1, 0, 1, 0, -2348, 6322},
    {2, -2, 0, 0, 2236, -9884},
    {0, 1, 2, 0, -2120, 5751},
    {0, 2, 0, 0, -2069, 0},
    {2, -2, -1, 0, 2048, -4950},
    {2, 0, 1, -2, -1773, 4130},
    {2, 0, 0, 2, -1595, 0},
    {4, -1, -1, 0, 1215, -3958},
    {0, 0, 2, 2, -1110, 0},
    {3, 0, -1, 0, -892, 3258},
    {2, 1, 1, 0, -810, 2616},
    {4, -1, -2, 0, 759, -1897},
    {0, 2, -1, 0, -713, -2117},
    {2, 2, -1, 0, -700, 2354},
    {2, 1, -2, 0, 691, 0},
    {2, -1, 0, -2, 596, 0},
    {4, 0, 1, 0, 549, -1423},
    {0, 0, 4, 0, 537, -1117},
    {4, -1, 0, 0, 520, -1571},
    {1, 0, -2, 0, -487, -1739},
    {2, 1, 0, -2, -399, 0},
    {0, 0, 2, -2, -381, -4421},
    {1, 1, 1, 0, 351, 0},
    {3, 0, -2, 0, -340, 0},
    {4, 0, -3, 0, 330, 0},
    {2, -1, 2, 0, 327, 0},
    {0, 2, 1, 0, -323, 1165},
    {1, 1, -1, 0, 299, 0},
    {2, 0, 3, 0, 294, 0},
    {2, 0, -1, -2, 0, 8752},
}};

// The periodic terms of the Moon's latitude (Meeus, table 47.B), in the published order.
constexpr std::array<RowB, 60> kTableB = {{
    {0, 0, 0, 1, 5128122}, {0, 0, 1, 1, 280602},  {0, 0, 1, -1, 277693}, {2, 0, 0, -1, 173237},
    {2, 0, -1, 1, 55413},  {2, 0, -1, -1, 46271}, {2, 0, 0, 1, 32573},   {0, 0, 2, 1, 17198},
    {2, 0, 1, -1, 9266},   {0, 0, 2, -1, 8822},   {2, -1, 0, -1, 8216},  {2, 0, -2, -1, 4324},
    {2, 0, 1, 1, 4200},    {2, 1, 0, -1, -3359},  {2, -1, -1, 1, 2463},  {2, -1, 0, 1, 2211},
    {2, -1, -1, -1, 2065}, {0, 1, -1, -1, -1870}, {4, 0, -1, -1, 1828},  {0, 1, 0, 1, -1794},
    {0, 0, 0, 3, -1749},   {0, 1, -1, 1, -1565},  {1, 0, 0, 1, -1491},   {0, 1, 1, 1, -1475},
    {0, 1, 1, -1, -1410},  {0, 1, 0, -1, -1344},  {1, 0, 0, -1, -1335},  {0, 0, 3, 1, 1107},
    {4, 0, 0, -1, 1021},   {4, 0, -1, 1, 833},    {0, 0, 1, -3, 777},    {4, 0, -2, 1, 671},
    {2, 0, 0, -3, 607},    {2, 0, 2, -1, 596},    {2, -1, 1, -1, 491},   {2, 0, -2, 1, -451},
    {0, 0, 3, -1, 439},    {2, 0, 2, 1, 422},     {2, 0, -3, -1, 421},   {2, 1, -1, 1, -366},
    {2, 1, 0, 1, -351},    {4, 0, 0, 1, 331},     {2, -1, 1, 1, 315},    {2, -2, 0, -1, 302},
    {0, 0, 1, 3, -283},    {2, 1, 1, -1, -229},   {1, 1, 0, -1, 223},    {1, 1, 0, 1, 223},
    {0, 1, -2, -1, -220},  {2, 1, -1, -1, -220},  {1, 0, 1, 1, -185},    {2, -1, -2, -1, 181},
    {0, 1, 2, 1, -177},    {4, 0, -2, -1, 176},   {4, -1, -1, -1, 166},  {1, 0, 1, -1, -164},
    {4, 0, 1, -1, 132},    {1, 0, -1, -1, -119},  {4, -1, 0, -1, 115},   {2, -2, 0, 1, 107},
}};

// Every row carries a coefficient: a row left out of an initializer would be all zeros.
constexpr bool allRowsFilled()
{
    for (const RowLR &r : kTableA)
        if (r.l == 0 && r.r == 0)
            return false;
    for (const RowB &r : kTableB)
        if (r.b == 0)
            return false;
    return true;
}
static_assert(allRowsFilled());

inline double eccentricityFactor(int m, double e, double e2)
{
    const int am = m < 0 ? -m : m;
    return am == 1 ? e : (am == 2 ? e2 : 1.0);
}

} // namespace

MoonSums MoonSeries(double jde)
{
    using namespace mMath;
    Checked(jde, "MoonPosition");
    const double T = (jde - 2451545.0) / 36525.0;
    const double T2 = T * T;
    const double T3 = T2 * T;
    const double T4 = T3 * T;

    const double D = DegToRad(Norm360(297.8502042 + 445267.1115168 * T - 0.00163 * T2 +
                                      T3 / 545868.0 - T4 / 113065000.0));
    const double M =
        DegToRad(Norm360(357.5291092 + 35999.0502909 * T - 0.0001536 * T2 + T3 / 24490000.0));
    const double Mp = DegToRad(
        Norm360(134.9634114 + 477198.8676313 * T + 0.008997 * T2 + T3 / 69699.0 - T4 / 14712000.0));
    const double Lpd = Norm360(218.3164591 + 481267.88134236 * T - 0.0013268 * T2 + T3 / 538841.0 -
                               T4 / 65194000.0);
    const double Lp = DegToRad(Lpd);
    const double F = DegToRad(Norm360(93.2720993 + 483202.0175273 * T - 0.0034029 * T2 -
                                      T3 / 3526000.0 + T4 / 863310000.0));
    const double E = 1.0 - 0.002516 * T - 0.0000074 * T2;
    const double E2 = E * E;

    double sumL = 0.0;
    double sumR = 0.0;
    for (const RowLR &row : kTableA) {
        const double arg = row.d * D + row.m * M + row.mp * Mp + row.f * F;
        const double factor = eccentricityFactor(row.m, E, E2);
        sumL += row.l * factor * trig::sin(arg);
        sumR += row.r * factor * trig::cos(arg);
    }
    double sumB = 0.0;
    for (const RowB &row : kTableB) {
        const double arg = row.d * D + row.m * M + row.mp * Mp + row.f * F;
        sumB += row.b * eccentricityFactor(row.m, E, E2) * trig::sin(arg);
    }

    const double A1 = DegToRad(Norm360(119.75 + 131.849 * T));
    const double A2 = DegToRad(Norm360(53.09 + 479264.29 * T));
    const double A3 = DegToRad(Norm360(313.45 + 481266.484 * T));
    sumL += 3958.0 * trig::sin(A1) + 1962.0 * trig::sin(Lp - F) + 318.0 * trig::sin(A2);
    sumB += -2235.0 * trig::sin(Lp) + 382.0 * trig::sin(A3) + 175.0 * trig::sin(A1 - F) +
            175.0 * trig::sin(A1 + F) + 127.0 * trig::sin(Lp - Mp) - 115.0 * trig::sin(Lp + Mp);

    return MoonSums{E, sumL, sumB, sumR, Lpd};
}

SphCoord MoonPosition(double jde)
{
    using namespace mMath;
    const MoonSums s = MoonSeries(jde);
    SphCoord p;
    p.lon = Norm360(s.meanLongitude + s.sumL / 1000000.0);
    p.lat = Norm360(s.sumB / 1000000.0);
    p.dist = (385000.56 + s.sumR / 1000.0) / 149597870.691;
    Checked(p.lon + p.lat + p.dist, "MoonPosition");
    return p;
}

} // namespace kelmor::astro::mMoon
