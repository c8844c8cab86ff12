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

namespace ils {
namespace {

TEST(Scan, WordFieldBoundary) {
    char w[16] = "unchanged";
    EXPECT_EQ(scanText("abcdefghijklmno", "%15s", w), 1);  // 15 characters fit
    EXPECT_STREQ(w, "abcdefghijklmno");
    std::strcpy(w, "unchanged");
    EXPECT_EQ(scanText("abcdefghijklmnop", "%15s", w), 0);  // 16 do not
    EXPECT_STREQ(w, "");
    char c[3] = "xx";
    EXPECT_EQ(scanText("", "%2s", c), 0);
    EXPECT_STREQ(c, "");
    EXPECT_EQ(scanText(" \t\r\n", "%2s", c), 0);
    EXPECT_STREQ(c, "");
}

TEST(Scan, ValuesAfterAFailureKeepTheirContent) {
    int32_t a = 0, b = 5;
    double x = 1.25;
    EXPECT_EQ(scanText("7 oops 9", "%d %lf %d", &a, &x, &b), 1);
    EXPECT_EQ(a, 7);
    EXPECT_EQ(x, 1.25);
    EXPECT_EQ(b, 5);
    // A number ends where its characters end, as with sscanf.
    EXPECT_EQ(scanText("3.5e2x 12abc", "%lf", &x), 1);
    EXPECT_EQ(x, 350.0);
    EXPECT_EQ(scanText("4.9", "%d", &a), 1);
    EXPECT_EQ(a, 4);
    EXPECT_EQ(scanText("-12 +3", "%d %d", &a, &b), 2);
    EXPECT_EQ(a, -12);
    EXPECT_EQ(b, 3);
    EXPECT_EQ(scanText("- 3", "%d", &a), 0);
}

TEST(Scan, LiteralsInTheFormat) {
    int32_t a = 0, b = 0;
    EXPECT_EQ(scanText("5,6", "%d,%d", &a, &b), 2);
    EXPECT_EQ(b, 6);
    EXPECT_EQ(scanText("5;6", "%d,%d", &a, &b), 1);
    EXPECT_EQ(scanText("50 %", "%d %%", &a), 1);
    EXPECT_EQ(a, 50);
}

TEST(Scan, SinglePrecisionOnlyWhereAsked) {
    float f = 0;
    double d = 0;
    EXPECT_EQ(scanText("0.1 0.1", "%f %lf", &f, &d), 2);
    EXPECT_EQ(static_cast<double>(f), static_cast<double>(0.1f));
    EXPECT_NE(static_cast<double>(f), d);
    EXPECT_EQ(d, 0.1);
    EXPECT_EQ(scanText("1e39", "%f", &f), 0);  // beyond single precision
}

}  // namespace
}  // namespace ils
