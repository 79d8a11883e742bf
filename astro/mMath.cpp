#include "astro/mMath.h"

#include "astro/trig.h"

#include <cmath>

namespace kelmor::astro {

#ifdef KELMOR_ASTRO_COUNT_TRIG
thread_local std::uint64_t trig::sinCosCalls = 0;
#endif

namespace mMath {

double SinD(double x)
{
    return trig::sin(DegToRad(x));
}

double CosD(double x)
{
    return trig::cos(DegToRad(x));
}

double TanD(double x)
{
    return std::tan(DegToRad(x));
}

double Norm360(double x)
{
    double r = x - 360.0 * std::floor(x / 360.0);
    if (r < 0.0)
        r += 360.0;
    // A tiny negative x rounds to exactly 360; keep the result inside [0, 360).
    if (r >= 360.0)
        r = 0.0;
    return Checked(r, "Norm360");
}

double ArcTan2(double y, double x)
{
    if (x == 0.0) {
        if (y == 0.0)
            return 0.0;
        return y > 0.0 ? kArcTanPi / 2.0 : -kArcTanPi / 2.0;
    }
    double r = std::atan(y / x);
    if (x < 0.0)
        r += kArcTanPi;
    return Checked(r, "ArcTan2");
}

double ArcSin(double x)
{
    // A body exactly at the zenith or nadir can give a sine a rounding step beyond 1.
    constexpr double kRounding = 1e-12;
    if (std::isnan(x) || std::fabs(x) > 1.0 + kRounding)
        throw AstroError("ArcSin: аргумент вне отрезка [-1, 1]");
    if (x >= 1.0)
        return 2.0 * std::atan(1.0);
    if (x <= -1.0)
        return 6.0 * std::atan(1.0);
    return std::atan(x / std::sqrt(1.0 - x * x));
}

double Checked(double v, const char *where)
{
    if (!std::isfinite(v))
        throw AstroError(std::string(where) +
                         ": арифметическая ошибка (переполнение или недопустимая операция)");
    return v;
}

} // namespace mMath
} // namespace kelmor::astro
