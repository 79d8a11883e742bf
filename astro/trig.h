#pragma once

// Trigonometry used inside the engine. A build with KELMOR_ASTRO_COUNT_TRIG counts the sine and
// cosine calls (for measuring how many one computation makes); the normal build calls the
// standard functions directly.

#include <cmath>
#include <cstdint>

namespace kelmor::astro::trig {

#ifdef KELMOR_ASTRO_COUNT_TRIG
// Sine and cosine calls made so far by this thread.
extern thread_local std::uint64_t sinCosCalls;
inline double sin(double x)
{
    ++sinCosCalls;
    return std::sin(x);
}
inline double cos(double x)
{
    ++sinCosCalls;
    return std::cos(x);
}
#else
using std::cos;
using std::sin;
#endif

} // namespace kelmor::astro::trig
