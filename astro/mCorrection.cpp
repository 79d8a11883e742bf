#include "astro/mCorrection.h"

#include "astro/mMath.h"
#include "astro/mMoon.h"
#include "astro/trig.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <span>

namespace kelmor::astro::mCorrection {

using namespace mMath;

namespace {

// One row of the IAU 1980 nutation series: multipliers of D, M, M', F, Omega; the sine
// coefficient and its rate per century, the cosine coefficient and its rate (0.0001 arcsecond).
struct NutationRow
{
    std::int8_t d, m, mp, f, om;
    double s0, s1, c0, c1;
};

// Meeus, Astronomical Algorithms, table 22.A (63 rows).
constexpr std::array<NutationRow, 63> kNutation = {{
    {0, 0, 0, 0, 1, -171996, -174.2, 92025, 8.9},
    {-2, 0, 0, 2, 2, -13187, -1.6, 5736, -3.1},
    {0, 0, 0, 2, 2, -2274, -0.2, 977, -0.5},
    {0, 0, 0, 0, 2, 2062, 0.2, -895, 0.5},
    {0, 1, 0, 0, 0, 1426, -3.4, 54, -0.1},
    {0, 0, 1, 0, 0, 712, 0.1, -7, 0},
    {-2, 1, 0, 2, 2, -517, 1.2, 224, -0.6},
    {0, 0, 0, 2, 1, -386, -0.4, 200, 0},
    {0, 0, 1, 2, 2, -301, 0, 129, -0.1},
    {-2, -1, 0, 2, 2, 217, -0.5, -95, 0.3},
    {-2, 0, 1, 0, 0, -158, 0, 0, 0},
    {-2, 0, 0, 2, 1, 129, 0.1, -70, 0},
    {0, 0, -1, 2, 2, 123, 0, -53, 0},
    {2, 0, 0, 0, 0, 63, 0, 0, 0},
    {0, 0, 1, 0, 1, 63, 0.1, -33, 0},
    {2, 0, -1, 2, 2, -59, 0, 26, 0},
    {0, 0, -1, 0, 1, -58, -0.1, 32, 0},
    {0, 0, 1, 2, 1, -51, 0, 27, 0},
    {-2, 0, 2, 0, 0, 48, 0, 0, 0},
    {0, 0, -2, 2, 1, 46, 0, -24, 0},
    {2, 0, 0, 2, 2, -38, 0, 16, 0},
    {0, 0, 2, 2, 2, -31, 0, 13, 0},
    {0, 0, 2, 0, 0, 29, 0, 0, 0},
    {-2, 0, 1, 2, 2, 29, 0, -12, 0},
    {0, 0, 0, 2, 0, 26, 0, 0, 0},
    {-2, 0, 0, 2, 0, -22, 0, 0, 0},
    {0, 0, -1, 2, 1, 21, 0, -10, 0},
    {0, 2, 0, 0, 0, 17, -0.1, 0, 0},
    {2, 0, -1, 0, 1, 16, 0, -8, 0},
    {-2, 2, 0, 2, 2, -16, 0.1, 7, 0},
    {0, 1, 0, 0, 1, -15, 0, 9, 0},
    {-2, 0, 1, 0, 1, -13, 0, 7, 0},
    {0, -1, 0, 0, 1, -12, 0, 6, 0},
    {0, 0, 2, -2, 0, 11, 0, 0, 0},
    {2, 0, -1, 2, 1, -10, 0, 5, 0},
    {2, 0, 1, 2, 2, -8, 0, 3, 0},
    {0, 1, 0, 2, 2, 7, 0, -3, 0},
    {-2, 1, 1, 0, 0, -7, 0, 0, 0},
    {0, -1, 0, 2, 2, -7, 0, 3, 0},
    {2, 0, 0, 2, 1, -7, 0, 3, 0},
    {2, 0, 1, 0, 0, 6, 0, 0, 0},
    {-2, 0, 2, 2, 2, 6, 0, -3, 0},
    {-2, 0, 1, 2, 1, 6, 0, -3, 0},
    {2, 0, -2, 0, 1, -6, 0, 3, 0},
    {2, 0, 0, 0, 1, -6, 0, 3, 0},
    {0, -1, 1, 0, 0, 5, 0, 0, 0},
    {-2, -1, 0, 2, 1, -5, 0, 3, 0},
    {-2, 0, 0, 0, 1, -5, 0, 3, 0},
    {0, 0, 2, 2, 1, -5, 0, 3, 0},
    {-2, 0, 2, 0, 1, 4, 0, 0, 0},
    {-2, 1, 0, 2, 1, 4, 0, 0, 0},
    {0, 0, 1, -2, 0, 4, 0, 0, 0},
    {-1, 0, 1, 0, 0, -4, 0, 0, 0},
    {-2, 1, 0, 0, 0, -4, 0, 0, 0},
    {1, 0, 0, 0, 0, -4, 0, 0, 0},
    {0, 0, 1, 2, 0, 3, 0, 0, 0},
    {0, 0, -2, 2, 2, -3, 0, 0, 0},
    {-1, -1, 1, 0, 0, -3, 0, 0, 0},
    {0, 1, 1, 0, 0, -3, 0, 0, 0},
    {0, -1, 1, 2, 2, -3, 0, 0, 0},
    {2, -1, -1, 2, 2, -3, 0, 0, 0},
    {0, 0, 3, 2, 2, -3, 0, 0, 0},
    {2, -1, 0, 2, 2, -3, 0, 0, 0},
}};

constexpr bool allNutationRowsFilled()
{
    for (const NutationRow &r : kNutation)
        if (r.s0 == 0)
            return false;
    return true;
}
static_assert(allNutationRowsFilled());

// A periodic term A cos(B + C tau) of a planetary series.
struct SeriesTerm
{
    double a, b, c;
};

// The Earth's heliocentric series, VSOP87 truncated as in Meeus, Astronomical Algorithms,
// appendix III. Amplitudes in units of 1e-8 radian (L, B) or 1e-8 AU (R).
constexpr SeriesTerm kEarthL0[] = {
    {175347046, 0, 0},
    {3341656, 4.6692568, 6283.0758500},
    {34894, 4.62610, 12566.15170},
    {3497, 2.7441, 5753.3849},
    {3418, 2.8289, 3.5231},
    {3136, 3.6277, 77713.7715},
    {2676, 4.4181, 7860.4194},
    {2343, 6.1352, 3930.2097},
    {1324, 0.7425, 11506.7698},
    {1273, 2.0371, 529.6910},
    {1199, 1.1096, 1577.3435},
    {990, 5.233, 5884.927},
    {902, 2.045, 26.298},
    {857, 3.508, 398.149},
    {780, 1.179, 5223.694},
    {753, 2.533, 5507.553},
    {505, 4.583, 18849.228},
    {492, 4.205, 775.523},
    {357, 2.920, 0.067},
    {317, 5.849, 11790.629},
    {284, 1.899, 796.298},
    {271, 0.315, 10977.079},
    {243, 0.345, 5486.778},
    {206, 4.806, 2544.314},
    {205, 1.869, 5573.143},
    {202, 2.458, 6069.777},
    {156, 0.833, 213.299},
    {132, 3.411, 2942.463},
    {126, 1.083, 20.775},
    {115, 0.645, 0.980},
    {103, 0.636, 4694.003},
    {102, 0.976, 15720.839},
    {102, 4.267, 7.114},
    {99, 6.21, 2146.17},
    {98, 0.68, 155.42},
    {86, 5.98, 161000.69},
    {85, 1.30, 6275.96},
    {85, 3.67, 71430.70},
    {80, 1.81, 17260.15},
    {79, 3.04, 12036.46},
    {75, 1.76, 5088.63},
    {74, 3.50, 3154.69},
    {74, 4.68, 801.82},
    {70, 0.83, 9437.76},
    {62, 3.98, 8827.39},
    {61, 1.82, 7084.90},
    {57, 2.78, 6286.60},
    {56, 4.39, 14143.50},
    {56, 3.47, 6279.55},
    {52, 0.19, 12139.55},
    {52, 1.33, 1748.02},
    {51, 0.28, 5856.48},
    {49, 0.49, 1194.45},
    {41, 5.37, 8429.24},
    {41, 2.40, 19651.05},
    {39, 6.17, 10447.39},
    {37, 6.04, 10213.29},
    {37, 2.57, 1059.38},
    {36, 1.71, 2352.87},
    {36, 1.78, 6812.77},
    {33, 0.59, 17789.85},
    {30, 0.44, 83996.85},
    {30, 2.74, 1349.87},
    {25, 3.16, 4690.48},
};
constexpr SeriesTerm kEarthL1[] = {
    {628331966747, 0, 0},       {206059, 2.678235, 6283.075850},
    {4303, 2.6351, 12566.1517}, {425, 1.590, 3.523},
    {119, 5.796, 26.298},       {109, 2.966, 1577.344},
    {93, 2.59, 18849.23},       {72, 1.14, 529.69},
    {68, 1.87, 398.15},         {67, 4.41, 5507.55},
    {59, 2.89, 5223.69},        {56, 2.17, 155.42},
    {45, 0.40, 796.30},         {36, 0.47, 775.52},
    {29, 2.65, 7.11},           {21, 5.34, 0.98},
    {19, 1.85, 5486.78},        {19, 4.97, 213.30},
    {17, 2.99, 6275.96},        {16, 0.03, 2544.31},
    {16, 1.43, 2146.17},        {15, 1.21, 10977.08},
    {12, 2.83, 1748.02},        {12, 3.26, 5088.63},
    {12, 5.27, 1194.45},        {12, 2.08, 4694.00},
    {11, 0.77, 553.57},         {10, 1.30, 6286.60},
    {10, 4.24, 1349.87},        {9, 2.70, 242.73},
    {9, 5.64, 951.72},          {8, 5.30, 2352.87},
    {6, 2.65, 9437.76},         {6, 4.67, 4690.48},
};
constexpr SeriesTerm kEarthL2[] = {
    {52919, 0, 0},     {8720, 1.0721, 6283.0758}, {309, 0.867, 12566.152}, {27, 0.05, 3.52},
    {16, 5.19, 26.30}, {16, 3.68, 155.42},        {10, 0.76, 18849.23},    {9, 2.06, 77713.77},
    {7, 0.83, 775.52}, {5, 4.66, 1577.34},        {4, 1.03, 7.11},         {4, 3.44, 5573.14},
    {3, 5.14, 796.30}, {3, 6.05, 5507.55},        {3, 1.19, 242.73},       {3, 6.12, 529.69},
    {3, 0.31, 398.15}, {3, 2.28, 553.57},         {2, 4.38, 5223.69},      {2, 3.75, 0.98},
};
constexpr SeriesTerm kEarthL3[] = {
    {289, 5.844, 6283.076}, {35, 0, 0},          {17, 5.49, 12566.15}, {3, 5.20, 155.42},
    {1, 4.72, 3.52},        {1, 5.30, 18849.23}, {1, 5.97, 242.73},
};
constexpr SeriesTerm kEarthL4[] = {{114, 3.142, 0}, {8, 4.13, 6283.08}, {1, 3.84, 12566.15}};
constexpr SeriesTerm kEarthL5[] = {{1, 3.14, 0}};
constexpr SeriesTerm kEarthB0[] = {
    {280, 3.199, 84334.662}, {102, 5.422, 5507.553}, {80, 3.88, 5223.69},
    {44, 3.70, 2352.87},     {32, 4.00, 1577.34},
};
constexpr SeriesTerm kEarthB1[] = {{9, 3.90, 5507.55}, {6, 1.73, 5223.69}};
constexpr SeriesTerm kEarthR0[] = {
    {100013989, 0, 0},
    {1670700, 3.0984635, 6283.0758500},
    {13956, 3.05525, 12566.15170},
    {3084, 5.1985, 77713.7715},
    {1628, 1.1739, 5753.3849},
    {1576, 2.8469, 7860.4194},
    {925, 5.453, 11506.770},
    {542, 4.564, 3930.210},
    {472, 3.661, 5884.927},
    {346, 0.964, 5507.553},
    {329, 5.900, 5223.694},
    {307, 0.299, 5573.143},
    {243, 4.273, 11790.629},
    {212, 5.847, 1577.344},
    {186, 5.022, 10977.079},
    {175, 3.012, 18849.228},
    {110, 5.055, 5486.778},
    {98, 0.89, 6069.78},
    {86, 5.69, 15720.84},
    {86, 1.27, 161000.69},
    {65, 0.27, 17260.15},
    {63, 0.92, 529.69},
    {57, 2.01, 83996.85},
    {56, 5.24, 71430.70},
    {49, 3.25, 2544.31},
    {47, 2.58, 775.52},
    {45, 5.54, 9437.76},
    {43, 6.01, 6275.96},
    {39, 5.36, 4694.00},
    {38, 2.39, 8827.39},
    {37, 0.83, 19651.05},
    {37, 4.90, 12139.55},
    {36, 1.67, 12036.46},
    {35, 1.84, 2942.46},
    {33, 0.24, 7084.90},
    {32, 0.18, 5088.63},
    {32, 1.78, 398.15},
    {28, 1.21, 6286.60},
    {28, 1.90, 6279.55},
    {26, 4.59, 10447.39},
};
constexpr SeriesTerm kEarthR1[] = {
    {103019, 1.107490, 6283.075850},
    {1721, 1.0644, 12566.1517},
    {702, 3.142, 0},
    {32, 1.02, 18849.23},
    {31, 2.84, 5507.55},
    {25, 1.32, 5223.69},
    {18, 1.42, 1577.34},
    {10, 5.91, 10977.08},
    {9, 1.42, 6275.96},
    {9, 0.27, 5486.78},
};
constexpr SeriesTerm kEarthR2[] = {
    {4359, 5.7846, 6283.0758}, {124, 5.579, 12566.152}, {12, 3.14, 0},
    {9, 3.63, 77713.77},       {6, 1.87, 5573.14},      {3, 5.47, 18849.23},
};
constexpr SeriesTerm kEarthR3[] = {{145, 4.273, 6283.076}, {7, 3.92, 12566.15}};
constexpr SeriesTerm kEarthR4[] = {{4, 2.56, 6283.08}};

static_assert(std::size(kEarthL0) == 64 && std::size(kEarthL1) == 34 && std::size(kEarthL2) == 20 &&
              std::size(kEarthL3) == 7 && std::size(kEarthL4) == 3 && std::size(kEarthL5) == 1);
static_assert(std::size(kEarthB0) == 5 && std::size(kEarthB1) == 2);
static_assert(std::size(kEarthR0) == 40 && std::size(kEarthR1) == 10 && std::size(kEarthR2) == 6 &&
              std::size(kEarthR3) == 2 && std::size(kEarthR4) == 1);

constexpr double kSeriesUnit = 1e-8;

// A planet's series: for each coordinate (L, B, R) the term lists of the powers 0 to 5.
struct PlanetRecord
{
    std::array<std::span<const SeriesTerm>, 6> l, b, r;
};

constexpr PlanetRecord kEarthSeries = {
    {kEarthL0, kEarthL1, kEarthL2, kEarthL3, kEarthL4, kEarthL5},
    {kEarthB0, kEarthB1, {}, {}, {}, {}},
    {kEarthR0, kEarthR1, kEarthR2, kEarthR3, kEarthR4, {}},
};
// Mercury to Neptune and the Moon carry no coefficients in this program.
constexpr PlanetRecord kEmpty = {};

const PlanetRecord &planetRecord(BodyIndex index)
{
    return index == kSun || index == kEarth ? kEarthSeries : kEmpty;
}

double evaluate(const std::array<std::span<const SeriesTerm>, 6> &powers, double tau)
{
    double value = 0.0;
    double tauP = 1.0;
    for (const auto &terms : powers) {
        double s = 0.0;
        for (const SeriesTerm &t : terms)
            s += t.a * trig::cos(t.b + t.c * tau);
        value += s * kSeriesUnit * tauP;
        tauP *= tau;
    }
    return value;
}

std::mutex g_handlerMutex;
PlanetErrorHandler g_planetErrorHandler;

// Diameters in km by body index (0 for the Earth).
constexpr double kDiameter[10] = {1392000, 4879,   12104, 0,     6794,
                                  142980,  120540, 51120, 49530, 3475};

constexpr double kAU = 149597870.691;

double meanObliquity(double jde)
{
    const double U = (jde - 2451545.0) / 3652500.0;
    static constexpr double c[] = {84381.448, -4680.93, -1.55, 1999.25, -51.38, -249.67,
                                   -39.05,    7.12,     27.87, 5.79,    2.45};
    double s = 0.0;
    for (int i = 10; i >= 0; --i)
        s = s * U + c[i];
    return s / 3600.0;
}

} // namespace

NutationValues NutationBoth(double jde)
{
    Checked(jde, "Nutation");
    const double T = (jde - 2451545.0) / 36525.0;
    const double T2 = T * T;
    const double T3 = T2 * T;
    const double D = DegToRad(297.85036 + 445267.11148 * T - 0.0019142 * T2 + T3 / 189474.0);
    const double M = DegToRad(357.52772 + 35999.05034 * T - 0.0001603 * T2 - T3 / 300000.0);
    const double Mp = DegToRad(134.96298 + 477198.867398 * T + 0.0086972 * T2 + T3 / 56250.0);
    const double F = DegToRad(93.27191 + 483202.017538 * T - 0.0036825 * T2 + T3 / 327270.0);
    const double Om = DegToRad(125.04452 - 1934.136261 * T + 0.0020708 * T2 + T3 / 450000.0);
    double dpsi = 0.0;
    double deps = 0.0;
    for (const NutationRow &row : kNutation) {
        const double arg = row.d * D + row.m * M + row.mp * Mp + row.f * F + row.om * Om;
        dpsi += (row.s0 + row.s1 * T) * trig::sin(arg);
        if (row.c0 != 0.0)
            deps += (row.c0 + row.c1 * T) * trig::cos(arg);
    }
    NutationValues n{dpsi / 36000000.0, deps / 36000000.0};
    Checked(n.longitude + n.obliquity, "Nutation");
    return n;
}

double Nutation(double jde, bool obliquitySelector)
{
    const NutationValues n = NutationBoth(jde);
    return obliquitySelector ? n.obliquity : n.longitude;
}

double Obliquity(double jde, bool trueObliquity)
{
    Checked(jde, "Obliquity");
    double e = meanObliquity(jde);
    if (trueObliquity)
        e += Nutation(jde, true);
    return Checked(e, "Obliquity");
}

void FK5Correction(double jde, SphCoord &p)
{
    const double T = (jde - 2451545.0) / 36525.0;
    const double L1 = p.lon - 1.397 * T - 0.00031 * T * T;
    const double sinL1 = SinD(L1);
    const double cosL1 = CosD(L1);
    p.lon += (-0.09033 + 0.03916 * (cosL1 + sinL1) * TanD(p.lat)) / 3600.0;
    p.lat += 0.03916 * (cosL1 - sinL1) / 3600.0;
}

void setPlanetErrorHandler(PlanetErrorHandler handler)
{
    std::lock_guard lock(g_handlerMutex);
    g_planetErrorHandler = std::move(handler);
}

SphCoord PlanetSeries(BodyIndex index, double jde)
{
    if (index < 0 || index > 9) {
        PlanetErrorHandler handler;
        {
            std::lock_guard lock(g_handlerMutex);
            handler = g_planetErrorHandler;
        }
        if (handler)
            handler("Invalid planet index!");
        return SphCoord{};
    }
    Checked(jde, "PlanetSeries");
    const PlanetRecord &rec = planetRecord(index);
    const double tau = (jde - 2451545.0) / 365250.0;
    double L = evaluate(rec.l, tau);
    double B = evaluate(rec.b, tau);
    const double R = evaluate(rec.r, tau);
    if (index == kSun) {
        L += kPi;
        B = -B;
    }
    SphCoord s{Norm360(RadToDeg(L)), RadToDeg(B), R};
    Checked(s.lon + s.lat + s.dist, "PlanetSeries");
    return s;
}

namespace {

RectCoord rect(SphCoord s)
{
    return mConvertion::SphToRect(s, true);
}

RectCoord minus(const RectCoord &a, const RectCoord &b)
{
    return RectCoord{a.x - b.x, a.y - b.y, a.z - b.z};
}

} // namespace

SphCoord ApparentPosition(double jde, BodyIndex index)
{
    Checked(jde, "ApparentPosition");
    SphCoord P;
    if (index == kMoon) {
        // The Earth's place is not needed for the Moon, whose series is geocentric.
        P = mMoon::MoonPosition(jde);
    } else {
        RectCoord E{};
        if (index > 0)
            E = rect(PlanetSeries(kEarth, jde));
        RectCoord G = minus(rect(PlanetSeries(index, jde)), E);
        const double d = std::sqrt(G.x * G.x + G.y * G.y + G.z * G.z);
        const double lightTime = d * 0.00577551830441213;
        E = rect(PlanetSeries(kEarth, jde - lightTime));
        G = minus(rect(PlanetSeries(index, jde - lightTime)), E);
        P = mConvertion::RectToSph(G, true);
        P.dist = d;
    }
    FK5Correction(jde, P);
    const NutationValues n = NutationBoth(jde);
    P.lon += n.longitude;
    mConvertion::EclToEqu(P, meanObliquity(jde) + n.obliquity);
    P.lon = Norm360(P.lon);
    Checked(P.lon + P.lat + P.dist, "ApparentPosition");
    return P;
}

void DiurnalAberration(double hourAngle, SphCoord &p, double latitude)
{
    const double cosPhi = CosD(latitude);
    if (std::fabs(p.lat) != 90.0)
        p.lon += RadToDeg(1.5472e-6 * cosPhi * CosD(hourAngle) / CosD(p.lat));
    p.lat += RadToDeg(1.5472e-6 * cosPhi * SinD(hourAngle) * SinD(p.lat));
}

double Refraction(double h)
{
    Checked(h, "Refraction");
    double r = 0.0;
    if (h < -0.575) {
        r = -20.774 / TanD(h) / 3600.0;
    } else if (h <= 5.0) {
        r = (2035.0 - 518.2 * h + 103.4 * h * h - 12.79 * h * h * h + 0.711 * h * h * h * h) /
            3600.0;
    } else if (h <= 15.0) {
        const double t = TanD(h);
        r = (58.1 / t - 0.07 / (t * t * t) + 0.000086 / (t * t * t * t * t)) / 3600.0;
    } else {
        const double t = TanD(90.0 - h);
        r = (0.9716 * t - 0.0011 * t * t * t) / 60.0;
    }
    return Checked(r, "Refraction");
}

double ParallaxInAltitude(double distance, double altitude)
{
    const double p = RadToDeg(ArcSin(Checked(6378.137 / (distance * kAU), "ParallaxInAltitude")));
    return Checked(p * CosD(altitude), "ParallaxInAltitude");
}

double SemiDiameter(BodyIndex index, double distance)
{
    if (index < 0 || index > 9 || kDiameter[index] == 0.0)
        return 0.0;
    return Checked(RadToDeg(kDiameter[index] / (distance * kAU)) / 2.0, "SemiDiameter");
}

} // namespace kelmor::astro::mCorrection
