#include "input/scan.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace ils {
namespace {

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

const char* skipBlanks(const char* p) {
    while (*p != '\0' && isBlank(*p)) ++p;
    return p;
}

// Parses an integer like %d; returns the end or nullptr.
const char* parseInt(const char* p, int32_t& out) {
    p = skipBlanks(p);
    const char* digits = p;
    if (*digits == '+' || *digits == '-') ++digits;
    if (!std::isdigit(static_cast<unsigned char>(*digits))) return nullptr;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(p, &end, 10);
    if (v > INT32_MAX) v = INT32_MAX;
    if (v < INT32_MIN) v = INT32_MIN;
    out = static_cast<int32_t>(v);
    return end;
}

// Parses a real like %lf. Non-finite results (nan, inf, overflow) do not
// convert: no input line may bring a NaN or an infinity into a computation.
const char* parseDouble(const char* p, double& out) {
    p = skipBlanks(p);
    if (*p == '\0') return nullptr;
    char* end = nullptr;
    double v = std::strtod(p, &end);
    if (end == p || !std::isfinite(v)) return nullptr;
    out = v;
    return end;
}

const char* parseFloat(const char* p, float& out) {
    p = skipBlanks(p);
    if (*p == '\0') return nullptr;
    char* end = nullptr;
    float v = std::strtof(p, &end);
    if (end == p || !std::isfinite(v)) return nullptr;
    out = v;
    return end;
}

}  // namespace

int scanText(const char* text, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const char* p = text;
    const char* f = format;
    int converted = 0;
    while (*f != '\0') {
        if (isBlank(*f)) {
            while (isBlank(*f)) ++f;
            p = skipBlanks(p);
            continue;
        }
        if (*f != '%') {
            if (*p != *f) break;
            ++p;
            ++f;
            continue;
        }
        ++f;
        if (*f == '%') {
            p = skipBlanks(p);
            if (*p != '%') break;
            ++p;
            ++f;
            continue;
        }
        int width = 0;
        while (std::isdigit(static_cast<unsigned char>(*f))) width = width * 10 + (*f++ - '0');
        bool longFlag = false;
        if (*f == 'l') {
            longFlag = true;
            ++f;
        }
        const char conv = *f++;
        const char* next = nullptr;
        if (conv == 'd') {
            next = parseInt(p, *va_arg(args, int32_t*));
        } else if (conv == 'f' && longFlag) {
            next = parseDouble(p, *va_arg(args, double*));
        } else if (conv == 'f') {
            next = parseFloat(p, *va_arg(args, float*));
        } else if (conv == 's') {
            char* field = va_arg(args, char*);
            const char* start = skipBlanks(p);
            const char* end = start;
            while (*end != '\0' && !isBlank(*end)) ++end;
            const size_t len = static_cast<size_t>(end - start);
            if (len == 0 || (width > 0 && len > static_cast<size_t>(width))) {
                field[0] = '\0';
            } else {
                std::memcpy(field, start, len);
                field[len] = '\0';
                next = end;
            }
        }
        if (next == nullptr) break;
        p = next;
        ++converted;
    }
    va_end(args);
    return converted;
}

}  // namespace ils
