// The log's number formatting against snprintf, which it replaces: the same
// bytes for the table's formats and for values chosen to be hard to round.
#include "path/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace ils {
namespace {

std::string viaPrintf(const char* format, int width, int precision, double value) {
    char buffer[512];
    const int n = std::snprintf(buffer, sizeof buffer, format, width, precision, value);
    return n < 0 ? std::string() : std::string(buffer, static_cast<size_t>(n));
}

void expectSame(double value, int width, int precision) {
    std::string fixed, scientific;
    appendFixed(fixed, value, width, precision);
    appendScientific(scientific, value, width, precision);
    EXPECT_EQ(fixed, viaPrintf("%*.*f", width, precision, value)) << value;
    EXPECT_EQ(scientific, viaPrintf("%*.*e", width, precision, value)) << value;
}

TEST(NumberText, MatchesPrintfOnTheTableFormats) {
    std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.005, 0.015, 0.025, 0.125, 2.5, 1e-320,
                                  -4.9e-324, 1e300, -1.7976931348623157e308, 12345.675, 99999.995,
                                  9.99995e-5, 1.00005, 123456789012.345, 0.5, 1.5};
    // Decimal ties as written (their binary values lie just above or below).
    for (int i = 0; i < 2000; ++i) values.push_back((i + 0.5) / 100.0);
    for (int i = 0; i < 2000; ++i) values.push_back((i * 2 + 1) * 0.00005);
    std::mt19937_64 random(20261209);
    // Ties of the scientific format at every scale, and powers of ten with
    // their neighbours (where the exponent changes).
    std::uniform_int_distribution<int> mantissa(10000, 99999);
    for (int i = 0; i < 20000; ++i) {
        const double tie = (mantissa(random) + 0.5) * std::pow(10.0, std::uniform_int_distribution<int>(-40, 30)(random));
        values.push_back(tie);
        values.push_back(std::nextafter(tie, 0.0));
        values.push_back(std::nextafter(tie, 1e300));
    }
    for (int e = -320; e <= 308; ++e) {
        const double p = std::pow(10.0, e);
        for (double v : {p, std::nextafter(p, 0.0), std::nextafter(p, 1e300), 9.99995 * p, 9.99994999 * p})
            values.push_back(v);
    }
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (int i = 0; i < 20000; ++i) values.push_back(unit(random) * std::pow(10.0, exponent(random)));
    // Any bit pattern: subnormals, huge values, NaNs of either sign.
    for (int i = 0; i < 5000; ++i) {
        const uint64_t bits = random();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        values.push_back(v);
    }
    for (double v : values) {
        expectSame(v, 10, 2);
        expectSame(v, 10, 4);
        expectSame(-v, 10, 4);
    }
}

TEST(NumberText, NonFiniteValuesAndOtherWidths) {
    const double inf = std::numeric_limits<double>::infinity();
    for (double v : {inf, -inf, std::nan(""), -std::nan(""), 3.14159, -2.0e-7}) {
        for (int width : {0, 1, 10, 14}) {
            for (int precision : {0, 1, 6, 8, 9, 12}) expectSame(v, width, precision);
        }
    }
}

TEST(NumberText, AppendsAfterWhatIsThere) {
    std::string text = "x";
    appendFixed(text, 1.25, 6, 1);
    appendScientific(text, -1.25, 0, 2);
    EXPECT_EQ(text, "x   1.2-1.25e+00");
}

}  // namespace
}  // namespace ils
