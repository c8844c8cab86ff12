// The receiver model: coherent detection, two-carrier capture, the outputs
// against ILS theory, the debug rows and both failure results.
#include <cmath>
#include <complex>
#include <numbers>

#include "post/post_data.h"
#include "post_fixture.h"

namespace ils::test {
namespace {

using C = std::complex<double>;

// Counter value of the first data row of v1.txt.
int firstCounter(const std::string& v1) {
    const size_t start = v1.find('\n');
    return std::atoi(v1.c_str() + start + 1);
}

TEST(PostCapture, SeriesCoefficients) {
    double cc, cp, cm;
    // Equal carriers: l = 1, the sum of the six constants.
    captureSeries(1.0, 1.0, cc, cp, cm);
    EXPECT_EQ(cc, 0.6661834716796875);
    EXPECT_EQ(cp, cc);
    EXPECT_EQ(cm, cc);
    // cp and cm are cc + (r - 1)·l·cc'(l) and cc + (1/r - 1)·l·cc'(l).
    const double r = 0.5;
    const double l = 4.0 * r / ((1.0 + r) * (1.0 + r));
    captureSeries(l, r, cc, cp, cm);
    double up, down, ignore;
    const double h = 1e-6;
    captureSeries(l + h, r, up, ignore, ignore);
    captureSeries(l - h, r, down, ignore, ignore);
    const double slope = (up - down) / (2.0 * h);
    EXPECT_CLOSE(cp, cc + (r - 1.0) * l * slope, 1e-9, 1e-12);
    EXPECT_CLOSE(cm, cc + (1.0 / r - 1.0) * l * slope, 1e-9, 1e-12);
    // Against the elliptic integral: (2/pi)·E(m) at small m, where the six
    // terms are accurate to far better than 1e-6.
    const double m = 0.1;
    double e = 0.0;
    const int steps = 20000;
    for (int i = 0; i < steps; ++i) {
        const double t = (i + 0.5) * (std::numbers::pi / 2) / steps;
        e += std::sqrt(1.0 - m * std::sin(t) * std::sin(t)) * (std::numbers::pi / 2) / steps;
    }
    captureSeries(m, 1.0, cc, cp, cm);
    EXPECT_CLOSE(cc, 2.0 / std::numbers::pi * e, 1e-7, 0);
}

// Course carrier 1, sidebands in phase with it, neutral SBO modification:
// (|S1| - |S0|) / (|S1| + |S0|) · scale, and the debug rows byte for byte.
TEST_F(PostTest, InPhaseSidebandsGiveTheDdmRatio) {
    writeParams(header() + "1 0 0 2 0 0 0\n" + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0).inc(0, 1.0).inc(2, 0.6).inc(3, 1.4)});
    ASSERT_EQ(post(), 0) << log();
    const auto r = rows();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_CLOSE(r[0][1], (1.4 - 0.6) / (1.4 + 0.6) * 387.0967741935484, 0, 5e-4);
    EXPECT_NE(report().find("     154.839\n"), std::string::npos);

    const std::string table = v1();
    const int n = firstCounter(table);
    char expected[1024];
    std::snprintf(expected, sizeof expected,
                  "%s%d\t0:\t1.000000e+00\t0.000000e+00\t0.000000e+00\t1.000000e+00\t"
                  "0.000000e+00\t0.000000e+00\t0.000000e+00\t0.000000e+00\t1.000000e+00\t"
                  "1.200000e-01\t0.000000e+00\t0.000000e+00\t1.200000e-01\t1.200000e-01\t"
                  "1.000000e+00\t\n"
                  "%d\t1:\t1.000000e+00\t0.000000e+00\t0.000000e+00\t1.000000e+00\t"
                  "0.000000e+00\t0.000000e+00\t0.000000e+00\t0.000000e+00\t1.000000e+00\t"
                  "2.800000e-01\t0.000000e+00\t0.000000e+00\t2.800000e-01\t2.800000e-01\t"
                  "1.000000e+00\t\n",
                  kV1Header, n, n);
    EXPECT_EQ(table, expected);
}

// Coherent detection: a common carrier phase does not matter, and a
// sideband in quadrature with its carrier adds nothing.
TEST_F(PostTest, DetectionIsCoherentWithTheCarrier) {
    writeParams(header() + "1 1 0 2 0 0 1\n" + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    const C rot = std::polar(2.0, 1.1);
    const C quad = C(0.0, 0.7);  // in quadrature with a real carrier
    writeField({FieldPoint(0, 0, 0).inc(0, 1.0).inc(2, 0.6).inc(3, 1.4),
                FieldPoint(1, 0, 0).inc(0, rot).inc(2, 0.6 * rot).inc(3, 1.4 * rot),
                FieldPoint(2, 0, 0).inc(0, 1.0).inc(2, 0.6 + quad).inc(3, 1.4 - quad)});
    ASSERT_EQ(post(), 0) << log();
    const auto r = rows();
    ASSERT_EQ(r.size(), 3u);
    // Type 1: (0.28 - 0.12) / 0.4 = 0.4 DDM-normalised.
    for (const auto& row : r) EXPECT_CLOSE(row[1], 0.4, 0, 5e-5);
}

// ILS theory: the difference in depth of modulation of a localizer is
// 2·m·|SBO|/|CSB| for tone depths m = 0.2; 0.155 DDM is full scale, 150 uA.
// Tolerance: half a unit of the report's last decimal (0.0005 uA).
TEST_F(PostTest, LocalizerDdmOf0155Reads150Microamperes) {
    writeParams(header(0) + "1 0 0 2 0 0 0\n" + kCourseLine + kClearanceLine +
                "1 1 0 2 0 0 0\n" + kCourseLine + kClearanceLine + "1 2 0 2 0 0 0\n" +
                kCourseLine + kClearanceLine + kInactiveBlock);
    const double ratio = 0.155 / (2.0 * 0.2);
    std::vector<FieldPoint> points;
    for (int i = 0; i < 4; ++i) {
        // Any common path phase and level.
        const C csb = std::polar(0.01 * (i + 1), 0.9 * i);
        points.push_back(FieldPoint(100.0 * i, 0, 0).course(csb, ratio * csb));
    }
    // The other side of the course: 150 Hz and 90 Hz swap roles.
    const C csb = std::polar(0.5, -2.0);
    points.push_back(FieldPoint(500, 0, 0).course(csb, -ratio * csb));
    writeField(points);
    ASSERT_EQ(post(), 0) << log();
    const auto r = rows();
    ASSERT_EQ(r.size(), 5u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_CLOSE(r[i][1], 150.0, 0, 5e-4);
        EXPECT_CLOSE(r[i][2], 150.0, 0, 5e-4);  // type 1 divides by 0.4 = the sum here
        // The flag reads the sum of the depths, 0.4, in uA: 0.4·150/0.155.
        EXPECT_CLOSE(r[i][3], 0.4 * 150.0 / 0.155, 0, 5e-4);
    }
    EXPECT_CLOSE(r[4][1], -150.0, 0, 5e-4);
}

// Glide slope: tone depths 0.4, full scale 0.175 DDM = 150 uA, so 0.0875
// DDM reads 75 uA. Tolerance as above.
TEST_F(PostTest, GlideSlopeDdmOf00875Reads75Microamperes) {
    writeParams(header(1) + "1 0 0 2 0 0 0\n" + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    const double ratio = 0.0875 / (2.0 * 0.4);
    const C csb = std::polar(3.0, 0.4);
    writeField({FieldPoint(0, 0, 50).course(csb, ratio * csb)});
    ASSERT_EQ(post(), 0) << log();
    const auto r = rows();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_CLOSE(r[0][1], 75.0, 0, 5e-4);
}

// Two equal carriers capture each other with cc = cp = cm = 0.66618...; the
// composite carrier is cc·(|C_crs| + scale·|C_clr|).
TEST_F(PostTest, EqualCarriersShareTheDetector) {
    writeParams(header() + "1 1 2 2 0 0 1\n" + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0).course(1.0, 0.1).clearance(1.0, 0.3)});
    ASSERT_EQ(post(), 0) << log();
    const std::string table = v1();
    const size_t row = table.find('\n') + 1;
    const std::string first = table.substr(row, table.find('\n', row) - row);
    EXPECT_NE(first.find("0:\t6.661835e-01\t0.000000e+00\t0.000000e+00\t6.661835e-01"),
              std::string::npos)
        << first;
    EXPECT_NE(first.find("\t1.332367e+00\t"), std::string::npos) << first;
    // v3 = cc·(pc + vmc), comp = 2·cc: DDM = 2·0.2·(0.1 + 0.3)/2 = 0.08.
    const auto r = rows();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_CLOSE(r[0][1], 0.08 / 0.4, 0, 5e-5);
}

// Clearance only: cp = 0 and cm = 1 whatever the course fields hold.
TEST_F(PostTest, ClearanceOnlyIgnoresTheCourseArray) {
    writeParams(header() + "1 1 1 2 0 0 1\nnot scanned\n" + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0).course(50.0, 20.0).clearance(2.0, 0.5)});
    ASSERT_EQ(post(), 0) << log();
    EXPECT_NE(v1().find("0:\t1.000000e+00\t0.000000e+00\t0.000000e+00\t0.000000e+00"),
              std::string::npos);
    const auto r = rows();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_CLOSE(r[0][1], 2.0 * 0.2 * 0.25 / 0.4, 0, 5e-5);
}

// The fluctuating multipath magnitudes add in power, scaled by the tone
// depths (slots 12, 13) or by the capture coefficient only (slot 14).
TEST_F(PostTest, MultipathMagnitudesAddInPower) {
    writeParams(header() + "1 2 0 2 0 0 1\n" + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    // Carrier 1, no steady sidebands; tone 0: vd 0.6 -> 0.2·0.6·0.5 = 0.06,
    // vcd 0.08; tone 1: vd 0 and vcd 0.
    writeField({FieldPoint(0, 0, 0).inc(0, 1.0).sca(12, C(0.6, 0.0)).sca(14, C(0.08, 0.0))});
    ASSERT_EQ(post(), 0) << log();
    const auto r = rows();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_CLOSE(r[0][1], std::hypot(0.06, 0.08), 0, 5e-5);
}

TEST_F(PostTest, NoCarrierFailsWithoutDebugRows) {
    writeParams(header() + "1 0 0 2 0 0 0\n" + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    // The clearance carrier is not selected.
    writeField({FieldPoint(0, 0, 0).inc(2, 0.5).inc(3, 0.5).inc(1, 1.0)});
    EXPECT_EQ(post(), 4);
    EXPECT_EQ(log(), "ERROR! No signal in receiver().\nERROR! at observation point 0.\n");
    EXPECT_EQ(v1(), kV1Header);
    EXPECT_FALSE(fileExists(dir + "rep.PTS"));
}

TEST_F(PostTest, CarrierWithoutTonesIsIndeterminate) {
    writeParams(header() + "1 0 0 2 0 0 0\n" + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0).course(1.0, 0.1), FieldPoint(1, 0, 0).inc(0, 1.0)});
    EXPECT_EQ(post(), 4);
    EXPECT_EQ(log(),
              "ERROR! in receiver().  No signal -- CDI indeterminate.\n"
              "ERROR! at observation point 1.\n");
    // Two rows for each evaluation; the failed one has v[j] = 0.
    const std::string table = v1();
    size_t lines = 0;
    for (char c : table) lines += c == '\n';
    EXPECT_EQ(lines, 5u);
    const size_t last = table.rfind('\n', table.size() - 2) + 1;
    EXPECT_NE(table.find("\t0.000000e+00\t1.000000e+00\t\n", last), std::string::npos);
}

// A clearance weight that cancels the two carriers leaves no composite
// carrier to measure the tones against: no signal, rather than a division
// by zero.
TEST_F(PostTest, CancelledCompositeCarrierIsNoSignal) {
    writeParams(header() + "1 0 2 2 0 0 0\n" + kCourseLine + "1 0 0 1 0 1 -1\n" +
                kInactiveBlock + kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0).course(1.0, 0.1).clearance(1.0, 0.1)});
    EXPECT_EQ(post(), 4);
    EXPECT_EQ(log(), "ERROR! No signal in receiver().\nERROR! at observation point 0.\n");
    EXPECT_EQ(v1(), kV1Header);
}

// The counter runs on from call to call; the reports stay identical.
TEST_F(PostTest, CounterRunsOnAcrossCalls) {
    writeParams(header() + "1 0 0 2 0 1 0\n" + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0).course(1.0, 0.1), FieldPoint(1, 0, 0).course(1.0, 0.2)});
    ASSERT_EQ(post(), 0);
    const std::string firstReport = report();
    const int first = firstCounter(v1());
    ASSERT_EQ(post(), 0);
    EXPECT_EQ(report(), firstReport);
    // Two points, two evaluations each (flight corrections 1).
    EXPECT_EQ(firstCounter(v1()), first + 4);
}

}  // namespace
}  // namespace ils::test
