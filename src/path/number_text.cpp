#include "path/number_text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace ils {
namespace {

// Exact powers of ten (every one up to 1e22 is a double).
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// The scaled value m below has one rounding error of at most 2^-24 for
// m < 1e9; a fraction this far from one half rounds like the exact value.
constexpr double kTieGuard = 1e-6;
constexpr double kLargestScaled = 1e9;

void appendPadded(std::string& text, const char* digits, size_t n, int width) {
    if (width > 0 && n < static_cast<size_t>(width)) text.append(static_cast<size_t>(width) - n, ' ');
    text.append(digits, n);
}

void appendByPrintf(std::string& text, const char* format, int width, int precision, double value) {
    char buffer[400];  // %f of the largest double: 309 digits, the point and the precision
    const int n = std::snprintf(buffer, sizeof buffer, format, width, precision, value);
    if (n > 0 && static_cast<size_t>(n) < sizeof buffer) {
        text.append(buffer, static_cast<size_t>(n));
    } else if (n > 0) {
        std::string wide(static_cast<size_t>(n) + 1, '\0');
        std::snprintf(wide.data(), wide.size(), format, width, precision, value);
        text.append(wide.data(), static_cast<size_t>(n));
    }
}

// n rounded from m >= 0 when the rounding is certain; false near a tie or
// beyond the guarded range.
bool roundScaled(double m, uint64_t& n) {
    if (!(m < kLargestScaled)) return false;
    const double whole = std::floor(m);
    const double fraction = m - whole;  // exact
    if (std::fabs(fraction - 0.5) < kTieGuard) return false;
    n = static_cast<uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
    return true;
}

// The digits of n, most significant first, at least `count` of them.
size_t writeDigits(char* out, uint64_t n, int count) {
    char reversed[24];
    size_t k = 0;
    do {
        reversed[k++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0 || k < static_cast<size_t>(count));
    for (size_t i = 0; i < k; ++i) out[i] = reversed[k - 1 - i];
    return k;
}

// %.pf of |value| < 1e9 / 10^p: the integer of value 10^p with the point
// set p digits from its end.
bool fixedFast(std::string& text, double value, int width, int precision) {
    if (precision > 8) return false;
    const double m = std::fabs(value) * kPowersOfTen[precision];  // one rounding
    uint64_t n = 0;
    if (!roundScaled(m, n)) return false;
    char digits[40];
    char* at = digits;
    if (std::signbit(value)) *at++ = '-';
    char raw[24];
    const size_t k = writeDigits(raw, n, precision + 1);
    const size_t integerDigits = k - static_cast<size_t>(precision);
    for (size_t i = 0; i < integerDigits; ++i) *at++ = raw[i];
    if (precision > 0) {
        *at++ = '.';
        for (size_t i = integerDigits; i < k; ++i) *at++ = raw[i];
    }
    appendPadded(text, digits, static_cast<size_t>(at - digits), width);
    return true;
}

// %.pe of a normal value between 1e-300 and 1e300: m = |value| 10^(p - e) in
// [10^p, 10^(p+1)), from an exact power of ten when |p - e| <= 22 (one
// rounding), else left to printf.
bool scientificFast(std::string& text, double value, int width, int precision) {
    if (precision > 8) return false;
    const double v = std::fabs(value);
    int e = 0;
    uint64_t n = 0;
    if (v != 0.0) {
        if (!(v > 1e-300 && v < 1e300)) return false;
        e = static_cast<int>(std::floor(std::log10(v)));
        const double low = kPowersOfTen[precision], high = kPowersOfTen[precision + 1];
        double m = 0.0;
        for (int attempt = 0; attempt < 3; ++attempt) {
            const int shift = precision - e;
            if (shift > 22 || shift < -22) return false;
            m = shift >= 0 ? v * kPowersOfTen[shift] : v / kPowersOfTen[-shift];
            if (m >= high) {
                ++e;
            } else if (m < low) {
                --e;
            } else {
                break;
            }
        }
        if (!(m >= low && m < high)) return false;
        if (!roundScaled(m, n)) return false;
        if (n >= static_cast<uint64_t>(high)) {  // rounded up to the next power of ten
            n /= 10;
            ++e;
        }
    }
    char digits[40];
    char* at = digits;
    if (std::signbit(value)) *at++ = '-';
    char raw[24];
    const size_t k = writeDigits(raw, n, precision + 1);
    *at++ = raw[0];
    if (precision > 0) {
        *at++ = '.';
        for (size_t i = 1; i < k; ++i) *at++ = raw[i];
    }
    *at++ = 'e';
    *at++ = e < 0 ? '-' : '+';
    at += writeDigits(at, static_cast<uint64_t>(e < 0 ? -e : e), 2);
    appendPadded(text, digits, static_cast<size_t>(at - digits), width);
    return true;
}

}  // namespace

// Most values take the fast paths; values near a decimal tie, very large or
// very small, infinities and NaN go through printf itself.
void appendFixed(std::string& text, double value, int width, int precision) {
    if (precision >= 0 && std::isfinite(value) && fixedFast(text, value, width, precision)) return;
    appendByPrintf(text, "%*.*f", width, precision, value);
}

void appendScientific(std::string& text, double value, int width, int precision) {
    if (precision >= 0 && std::isfinite(value) && scientificFast(text, value, width, precision)) return;
    appendByPrintf(text, "%*.*e", width, precision, value);
}

}  // namespace ils
