#include "astro/Moonday.h"

#include "astro/mMath.h"
#include "astro/trig.h"

#include <cmath>
#include <limits>

namespace kelmor::astro::Moonday {

using mMath::Checked;

namespace {

// The arguments of one phase computation. Each call has its own, so nothing is shared
// between computations.
struct PhaseArguments
{
    double jde, E, M, Mp, F, Om;
    double A[15]; // A[1] to A[14]; A[0] is unused
};

double phaseCorrections(const PhaseArguments &p, int phase)
{
    using trig::cos;
    using trig::sin;
    const double E = p.E, M = p.M, Mp = p.Mp, F = p.F, Om = p.Om;
    double c = 0.0;
    if (phase == 0 || phase == 2) {
        if (phase == 0) {
            c = -0.4072 * sin(Mp) + 0.17241 * E * sin(M) + 0.01608 * sin(2 * Mp) +
                0.01039 * sin(2 * F) + 0.00739 * E * sin(Mp - M) - 0.00514 * E * sin(Mp + M) +
                0.00208 * E * E * sin(2 * M);
        } else {
            c = -0.40614 * sin(Mp) + 0.17302 * E * sin(M) + 0.01614 * sin(2 * Mp) +
                0.01043 * sin(2 * F) + 0.00734 * E * sin(Mp - M) - 0.00515 * E * sin(Mp + M) +
                0.00209 * E * E * sin(2 * M);
        }
        c += -0.00111 * sin(Mp - 2 * F) - 0.00057 * sin(Mp + 2 * F) +
             0.00056 * E * sin(2 * Mp + M) - 0.00042 * sin(3 * Mp) + 0.00042 * E * sin(M + 2 * F) +
             0.00038 * E * sin(M - 2 * F) - 0.00024 * E * sin(2 * Mp - M) - 0.00017 * sin(Om) -
             0.00007 * sin(Mp + 2 * M) + 0.00004 * sin(2 * Mp - 2 * F) + 0.00004 * sin(3 * M) +
             0.00003 * sin(Mp + M - 2 * F) + 0.00003 * sin(2 * Mp + 2 * F) -
             0.00003 * sin(Mp + M + 2 * F) + 0.00003 * sin(Mp - M + 2 * F) -
             0.00002 * sin(Mp - M - 2 * F) - 0.00002 * sin(3 * Mp + M) + 0.00002 * sin(4 * Mp);
    } else if (phase == 1 || phase == 3) {
        c = -0.62801 * sin(Mp) + 0.17172 * E * sin(M) - 0.01183 * E * sin(Mp + M) +
            0.00862 * sin(2 * Mp) + 0.00804 * sin(2 * F) + 0.00454 * E * sin(Mp - M) +
            0.00204 * E * E * sin(2 * M) - 0.0018 * sin(Mp - 2 * F) - 0.0007 * sin(Mp + 2 * F) -
            0.0004 * sin(3 * Mp) - 0.00034 * E * sin(2 * Mp - M) + 0.00032 * E * sin(M + 2 * F) +
            0.00032 * E * sin(M - 2 * F) - 0.00028 * E * E * sin(Mp + 2 * M) +
            0.00027 * E * sin(2 * Mp + M) - 0.00017 * sin(Om) - 0.00005 * sin(Mp - M - 2 * F) +
            0.00004 * sin(2 * Mp + 2 * F) - 0.00004 * sin(Mp + M + 2 * F) +
            0.00004 * sin(Mp - 2 * M) + 0.00003 * sin(Mp + M - 2 * F) + 0.00003 * sin(3 * M) +
            0.00002 * sin(2 * Mp - 2 * F) + 0.00002 * sin(Mp - M + 2 * F) -
            0.00002 * sin(3 * Mp + M);
        const double W = 0.00306 - 0.00038 * E * cos(M) + 0.00026 * cos(Mp) -
                         0.00002 * cos(Mp - M) + 0.00002 * cos(Mp + M) + 0.00002 * cos(2 * F);
        c += phase == 1 ? W : -W;
    }
    const double *A = p.A;
    c += 0.000325 * sin(A[1]) + 0.000165 * sin(A[2]) + 0.000164 * sin(A[3]) + 0.000126 * sin(A[4]) +
         0.00011 * sin(A[5]) + 0.000062 * sin(A[6]) + 0.00006 * sin(A[7]) + 0.000056 * sin(A[8]) +
         0.000047 * sin(A[9]) + 0.000042 * sin(A[10]) + 0.00004 * sin(A[11]) +
         0.000037 * sin(A[12]) + 0.000035 * sin(A[13]) + 0.000023 * sin(A[14]);
    return c;
}

// The day number of 1582-10-15, the first day of the Gregorian calendar.
constexpr double kGregorianReformDay = -115858.0;

std::int32_t nextLunation(std::int32_t n, int step)
{
    const std::int64_t r = std::int64_t(n) + step;
    if (r > std::numeric_limits<std::int32_t>::max() ||
        r < std::numeric_limits<std::int32_t>::min())
        throw AstroError("LunationNumber: переполнение номера лунации");
    return std::int32_t(r);
}

} // namespace

double ModReal(double x, double m)
{
    if (m == 0.0)
        throw AstroError("ModReal: деление на ноль");
    return Checked(x - m * std::trunc(x / m), "ModReal");
}

double AngleToRad(double angle)
{
    return ModReal(angle, 360.0) * 0.0174532925199433;
}

double PhaseJDE(std::int32_t n, std::int16_t phase)
{
    const double k = double(std::int64_t(n) - 953) + phase / 4.0;
    const double T = k / 1236.85;
    const double T2 = T * T;
    const double T3 = T2 * T;
    const double T4 = T3 * T;
    PhaseArguments p;
    p.jde =
        2451550.09765 + 29.530588853 * k + 0.0001337 * T2 - 0.00000015 * T3 + 0.00000000073 * T4;
    p.E = 1.0 - 0.002516 * T - 0.0000074 * T2;
    p.M = AngleToRad(2.5534 + 29.10535669 * k - 0.0000218 * T2 - 0.00000011 * T3);
    p.Mp = AngleToRad(201.5643 + 385.81693528 * k + 0.0107438 * T2 + 0.00001239 * T3 -
                      0.000000058 * T4);
    p.F = AngleToRad(160.7108 + 390.67050274 * k - 0.0016341 * T2 - 0.00000227 * T3 +
                     0.000000011 * T4);
    p.Om = AngleToRad(124.7746 - 1.5637558 * k + 0.0020691 * T2 + 0.00000215 * T3);
    p.A[0] = 0.0;
    p.A[1] = AngleToRad(299.77 + 0.107408 * k - 0.009173 * T2);
    p.A[2] = AngleToRad(251.88 + 0.016321 * k);
    p.A[3] = AngleToRad(251.83 + 26.651886 * k);
    p.A[4] = AngleToRad(349.42 + 36.412478 * k);
    p.A[5] = AngleToRad(84.66 + 18.206239 * k);
    p.A[6] = AngleToRad(141.74 + 53.303771 * k);
    p.A[7] = AngleToRad(207.14 + 2.453732 * k);
    p.A[8] = AngleToRad(154.84 + 7.30686 * k);
    p.A[9] = AngleToRad(34.52 + 27.261239 * k);
    p.A[10] = AngleToRad(207.19 + 0.121824 * k);
    p.A[11] = AngleToRad(291.34 + 1.844379 * k);
    p.A[12] = AngleToRad(161.72 + 24.198154 * k);
    p.A[13] = AngleToRad(239.56 + 25.513099 * k);
    p.A[14] = AngleToRad(331.55 + 3.592518 * k);
    return Checked(p.jde + phaseCorrections(p, phase), "PhaseJDE");
}

double DateToJDPlain(DateTime d)
{
    Checked(d.value, "DateToJDPlain");
    if (d.value >= 0.0)
        return d.value + 2415018.5;
    const double day = std::trunc(d.value);
    const double frac = d.value - day;
    const double J = day < kGregorianReformDay ? day + 2415028.0 : day + 2415018.0;
    return J + 0.5 - frac;
}

bool IsValidJD(double jd)
{
    return jd >= 1757593.50001 && jd <= 5373484.49998843;
}

DateTime JDToDate(double jd)
{
    if (!IsValidJD(jd))
        return DateTime(0.0);
    const double c = jd >= 2299160.5 ? jd - 2415018.5 : jd - 2415028.5;
    if (c >= 0.0)
        return DateTime(c);
    const double whole = std::floor(c);
    if (whole == c)
        return DateTime(c);
    return DateTime(whole - (c - whole));
}

std::int32_t LunationNumber(DateTime d)
{
    Checked(d.value, "LunationNumber");
    const double estimate = std::nearbyint(std::nearbyint(d.value - 8388.51399305556) / 29.530589);
    if (!(estimate > std::numeric_limits<std::int32_t>::min() &&
          estimate < std::numeric_limits<std::int32_t>::max()))
        throw AstroError("LunationNumber: переполнение номера лунации");
    std::int32_t n = std::int32_t(estimate);
    const double t = DateToJDPlain(d) + 0.00001158 / 2.0;
    // The estimate lies within two lunations; a search that runs longer has met a bad input.
    for (int step = 0; step < 64; ++step) {
        const double w = PhaseJDE(n, 0);
        const double w1 = PhaseJDE(nextLunation(n, 1), 0);
        if (w <= t && t < w1)
            return n;
        n = nextLunation(n, w > t ? -1 : 1);
    }
    throw AstroError("LunationNumber: лунация не найдена");
}

namespace {

// A new moon outside the years the date-time value can hold cannot be returned as a date; the
// plain conversion would give 1899-12-30 as if it were a result.
DateTime newMoonDate(double jde)
{
    if (!IsValidJD(jde))
        throw AstroError(kNewMoonOutOfRange);
    return JDToDate(jde);
}

} // namespace

DateTime LastNewMoon(DateTime d)
{
    return newMoonDate(PhaseJDE(LunationNumber(d), 0));
}

DateTime NextNewMoon(DateTime d)
{
    const std::int32_t n = LunationNumber(d);
    const double w = PhaseJDE(n, 0);
    if (IsValidJD(w)) {
        const DateTime r = JDToDate(w);
        if (r.linear() > d.linear())
            return r;
    }
    return newMoonDate(PhaseJDE(nextLunation(n, 1), 0));
}

} // namespace kelmor::astro::Moonday
