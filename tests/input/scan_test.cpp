#include <cstring>

#include "input/lines.h"
#include "input/scan.h"
#include "support/test_support.h"

namespace ils {
namespace {

TEST(Scan, WordFieldsFailWhenTooLong) {
    char a[16], b[16];
    EXPECT_EQ(scanText("abc 0123456789abcdef\n", "%15s %15s", a, b), 1);
    EXPECT_STREQ(a, "abc");
    EXPECT_STREQ(b, "");
    char w[3];
    EXPECT_EQ(scanText("SY\r\n", "%2s", w), 1);
    EXPECT_STREQ(w, "SY");
    EXPECT_EQ(scanText("END\n", "%2s", w), 0);
    EXPECT_STREQ(w, "");
}

TEST(Scan, NumbersStopAtFirstFailure) {
    int32_t n = 0;
    double x = 0, y = 0;
    float f = 0;
    EXPECT_EQ(scanText("  12 3.5 x 4", "%d %lf %lf %lf", &n, &x, &y, &y), 2);
    EXPECT_EQ(n, 12);
    EXPECT_EQ(x, 3.5);
    EXPECT_EQ(scanText("0.01", "%f", &f), 1);
    EXPECT_EQ(static_cast<double>(f), 0.009999999776482582);
    EXPECT_EQ(scanText("nan inf", "%lf", &x), 0);
    EXPECT_EQ(scanText("", "%d", &n), 0);
    EXPECT_EQ(scanText("7\t1\n", "%lf\t%d", &x, &n), 2);
}

TEST(Lines, TrimBlanks) {
    char t[64];
    std::strcpy(t, "   ");
    trimBlanks(t);
    EXPECT_STREQ(t, "");
    std::strcpy(t, "\tname.txt\r\n");
    trimBlanks(t);
    EXPECT_STREQ(t, "name.txt");
    std::strcpy(t, "\xa0x y\xff");
    trimBlanks(t);
    EXPECT_STREQ(t, "x y");
}

}  // namespace
}  // namespace ils
