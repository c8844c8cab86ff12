// Shared value types and the constants that the whole calculation uses, with
// the exact values the system defines (pi is taken as 3.14159265359).
#pragma once

#include <cmath>
#include <complex>
#include <cstdint>

namespace ils {

using Complex = std::complex<double>;

inline constexpr double kDegToRad = 0.017453292519944444;    // 3.14159265359 / 180
inline constexpr double kPi = 3.14159265359;
inline constexpr double kTwoPi = 6.28318530718;
inline constexpr double kHalfPi = 1.570796326795;
inline constexpr double kSpeedOfLightFt = 983571056.4304461;  // feet per second
inline constexpr double kFeetPerMetre = 3.280839895013123;
inline constexpr double kFeetPerInch = 0.08333333333333333;

inline constexpr int kLineSize = 1024;          // line buffers, paths
inline constexpr int kMaxArrayElements = 80;    // table slots; 79 usable
inline constexpr int kMaxPatternPoints = 361;

// sinc(x) = sin x / x, with the series 1 - x^2/6 near zero.
inline double sinc(double x) {
    if (std::fabs(x) < 0.0001) return 1.0 - x * x / 6.0;
    return std::sin(x) / x;
}

// Unit phasor cos(a) + j sin(a).
inline Complex unitPhasor(double a) { return Complex(std::cos(a), std::sin(a)); }

}  // namespace ils
