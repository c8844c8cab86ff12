#include "path/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace ils {
namespace {

// std::to_chars with a precision gives printf's digits (the standard defines
// it so); infinities and NaN, whose spelling printf leaves to the library,
// take printf itself.
void appendNumber(std::string& text, double value, int width, int precision, std::chars_format format,
                  const char* printfFormat) {
    char buffer[400];  // %f of the largest double: 309 digits, the point and the precision
    const char* end = nullptr;
    if (std::isfinite(value) && precision >= 0 && precision <= 40) {
        const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
        if (r.ec == std::errc()) end = r.ptr;
    }
    if (end == nullptr) {
        const int n = std::snprintf(buffer, sizeof buffer, printfFormat, width, precision, value);
        if (n < 0 || static_cast<size_t>(n) >= sizeof buffer) return;
        text.append(buffer, static_cast<size_t>(n));
        return;
    }
    const size_t n = static_cast<size_t>(end - buffer);
    if (width > 0 && n < static_cast<size_t>(width)) text.append(static_cast<size_t>(width) - n, ' ');
    text.append(buffer, n);
}

}  // namespace

void appendFixed(std::string& text, double value, int width, int precision) {
    appendNumber(text, value, width, precision, std::chars_format::fixed, "%*.*f");
}

void appendScientific(std::string& text, double value, int width, int precision) {
    appendNumber(text, value, width, precision, std::chars_format::scientific, "%*.*e");
}

}  // namespace ils
