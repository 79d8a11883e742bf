#pragma once

// Angle and trigonometry helpers of the astronomy engine, and the engine's error type.

#include <cmath>
#include <stdexcept>
#include <string>

namespace kelmor::astro {

// An arithmetic fault inside the engine (overflow, invalid operation, zero divisor) or an
// argument the engine cannot work with. Every public operation raises it instead of returning
// NaN or infinity.
class AstroError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

namespace mMath {

// Pi as 4 atan(1), used for the degree/radian conversions.
inline const double kPi = 4.0 * std::atan(1.0);
// Pi as written in ArcTan2.
constexpr double kArcTanPi = 3.14159265358979;

inline double DegToRad(double x)
{
    return x * std::atan(1.0) / 45.0;
}
inline double RadToDeg(double x)
{
    return x * 45.0 / std::atan(1.0);
}
double SinD(double x);
double CosD(double x);
double TanD(double x);

// x reduced to [0, 360).
double Norm360(double x);

// Radians in (-pi/2, 3pi/2): atan(y / x), plus pi when x < 0; 0 for (0, 0); +-pi/2 for x = 0.
double ArcTan2(double y, double x);

// Radians: atan(x / sqrt(1 - x^2)); pi/2 for 1, 3pi/2 for -1. A magnitude above 1 by more than
// rounding raises AstroError; a rounding excess is clamped.
double ArcSin(double x);

// Raises AstroError naming `where` when v is NaN or infinite; returns v otherwise.
double Checked(double v, const char *where);

} // namespace mMath
} // namespace kelmor::astro
