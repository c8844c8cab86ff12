// SW commands through the exports: the wire's field in the FieldFile and
// the run's messages.
#include <cmath>
#include <string>

#include "support/test_support.h"

namespace ils {
namespace {

constexpr int32_t kStateFinished = 2;
constexpr int32_t kStateFailed = 3;

using test::messages;


const std::string kStation =
    "SY\nL C A G\n109.9 8\n"
    "CO\n4 M D D\n0 0 2 0 0\n"
    "E01   -3 0 0 0 0 -6 0\nE02   -1 0 0 0 0 0 180\n"
    "E03    1 0 0 0 0 0 0\nE04    3 0 0 0 0 -6 180\n"
    "F 0 D\n"
    "FP\nC F F F\n0 0 0\n-10 10 2 3000 150\n200\n";

// Scattered FieldRecord slot s of point i in a FieldFile (20-byte header,
// 504 bytes per point: position, scattered record, direct record).
Complex scattered(const std::string& file, int i, int s) {
    const size_t at = 20 + 504 * static_cast<size_t>(i) + 24 + 16 * static_cast<size_t>(s);
    return Complex(test::doubleAt(file, at), test::doubleAt(file, at + 8));
}

TEST(WireEndToEnd, PowerLineAddsItsFieldAndCodeOneSubtracts) {
    const std::string line = "400 -600 500 600 40 35 0.5\n";
    const auto plain = test::runCommandFile(kStation + "EN\n");
    const auto added = test::runCommandFile(kStation + "SW\ninches 0 0\n" + "4800 -7200 6000 7200 480 420 6\n" + "EN\n");
    const auto minus = test::runCommandFile(kStation + "SW\nf 1 0\n" + line + "EN\n");
    const auto feet = test::runCommandFile(kStation + "SW\nf 0 0\n" + line + "EN\n");
    for (const auto* r : {&plain, &added, &minus, &feet}) {
        EXPECT_EQ(r->state, kStateFinished) << r->log;
        EXPECT_EQ(messages(r->log), "");
        EXPECT_EQ(r->percent, 100);
        ASSERT_EQ(r->fieldFile.size(), 20u + 504u * 11u);
    }
    double largest = 0.0;
    for (int i = 0; i < 11; ++i) {
        for (int s = 0; s < 12; ++s) {
            EXPECT_EQ(std::abs(scattered(plain.fieldFile, i, s)), 0.0);
            const Complex f = scattered(feet.fieldFile, i, s);
            ASSERT_TRUE(std::isfinite(f.real()) && std::isfinite(f.imag()));
            EXPECT_EQ(scattered(minus.fieldFile, i, s), -f);
            // The same wire in inches: the same field to rounding.
            EXPECT_LT(std::abs(scattered(added.fieldFile, i, s) - f), 1e-9 * std::abs(f) + 1e-15);
            largest = std::fmax(largest, std::abs(f));
        }
        // Slots 12..14 hold the multipath magnitudes after the wire.
        EXPECT_EQ(scattered(feet.fieldFile, i, 12).real(), std::abs(scattered(feet.fieldFile, i, 6)));
    }
    EXPECT_GT(largest, 0.0);
}

TEST(WireEndToEnd, MagnitudesFollowTheLastScatterer) {
    const auto both = test::runCommandFile(kStation + "SW\nf 0 0\n400 -600 500 600 40 35 0.5\n" +
                                           "SW\nf 0 0\n900 -300 1200 300 60 60 0.5\nEN\n");
    ASSERT_EQ(both.state, kStateFinished) << both.log;
    ASSERT_EQ(both.fieldFile.size(), 20u + 504u * 11u);
    for (int i = 0; i < 11; ++i) {
        for (int s = 0; s < 3; ++s) {
            const Complex m = scattered(both.fieldFile, i, 12 + s);
            EXPECT_EQ(m.real(), std::abs(scattered(both.fieldFile, i, 6 + 2 * s))) << i << " " << s;
            EXPECT_EQ(m.imag(), std::abs(scattered(both.fieldFile, i, 7 + 2 * s))) << i << " " << s;
            if (s != 1) {  // slot 13: the clearance array's, absent here
                EXPECT_GT(m.real(), 0.0);
            }
        }
    }
}

TEST(WireEndToEnd, DegenerateWiresFailTheRun) {
    struct Case {
        std::string lines, log;
    };
    const Case cases[] = {
        {"f 0 0\n500 0 500 0 40 40 0.1\n", "ERROR! Resonant wire length.\n"},
        {"m 0 0\n500 -100 500 100 40 40 -1\n", "ERROR! Wire radius must not be negative.\n"},
        // Skipped wires are never examined.
        {"f 2 0\n500 0 500 0 40 40 0\n", ""},
    };
    for (const Case& c : cases) {
        const auto r = test::runCommandFile(kStation + "SW\n" + c.lines + "EN\n");
        EXPECT_EQ(messages(r.log), c.log) << c.lines;
        EXPECT_EQ(r.state, c.log.empty() ? kStateFinished : kStateFailed) << c.lines;
        if (c.log.empty()) {
            EXPECT_EQ(r.percent, 100);
        }
    }
}

}  // namespace
}  // namespace ils
