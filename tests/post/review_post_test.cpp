// Review checks of the post-processing: both-array receiver Traces whose
// carriers are unequal or missing at a point, the clearance weight that a
// single carrier sets, and the backcourse azimuth of the report abscissa.
#include <cmath>
#include <complex>
#include <cstdlib>
#include <sstream>

#include "post/post_data.h"
#include "post_fixture.h"

namespace ils::test {
namespace {

// The numbers of the debug rows of v1.txt (header skipped), row by row; the
// "j:" column is read as its number.
std::vector<std::vector<double>> debugRows(const std::string& v1) {
    std::vector<std::vector<double>> out;
    std::istringstream in(v1.substr(v1.find('\n') + 1));
    std::string line;
    while (std::getline(in, line)) {
        for (char& c : line) {
            if (c == ':') c = ' ';
        }
        std::istringstream ls(line);
        std::vector<double> row;
        double v;
        while (ls >> v) row.push_back(v);
        out.push_back(row);
    }
    return out;
}

// Both arrays (select -1), clearance scale 2, CDI type 1 in DDM. Point 0 has
// no course carrier: the clearance carrier alone captures the detector with
// weight 1 (not the clearance scale). Point 1 has a course carrier 1 and a
// clearance carrier 3 without clearance sidebands: the capture series with
// l = 0.75, r = 3 and the composite carrier cc·(1 + 2·3).
TEST_F(PostTest, BothArraysWithOneOrTwoCarriers) {
    writeParams(header() + "1 1 -1 2 0 0 1\n" + kCourseLine + "1 0 0 1 0 1 2\n" +
                kInactiveBlock + kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0).clearance(1.0, 0.1),
                FieldPoint(1, 0, 0).course(1.0, 0.1).inc(1, 3.0)});
    ASSERT_EQ(post(), 0) << log();
    EXPECT_EQ(log(), "");

    const auto r = rows();
    ASSERT_EQ(r.size(), 2u);
    // Point 0: sidebands 2·(0.9, 1.1)·0.2, carrier 1, composite carrier 1.
    EXPECT_CLOSE(r[0][1], (0.44 - 0.36) / 0.4, 0, 1e-4);

    double cc = 0.0, cp = 0.0, cm = 0.0;
    captureSeries(0.75, 3.0, cc, cp, cm);
    const double comp = cc * (1.0 + 2.0 * 3.0);
    const double tone0 = std::abs(cp * 0.18) / comp;
    const double tone1 = std::abs(cp * 0.22) / comp;
    EXPECT_CLOSE(r[1][1], (tone1 - tone0) / 0.4, 0, 1e-4);

    const auto d = debugRows(v1());
    ASSERT_EQ(d.size(), 4u);
    // Columns: counter, j, cc, vcd, v1, cp, vdCRS, cm, vdCLR, v2, cp, pc, cm,
    // vmc, v3, v, comp_carrier.
    EXPECT_EQ(d[0][2], 1.0);
    EXPECT_EQ(d[0][5], 0.0);
    EXPECT_EQ(d[0][7], 1.0);
    EXPECT_CLOSE(d[0][16], 1.0, 1e-6, 0);
    EXPECT_CLOSE(d[2][2], cc, 1e-6, 0);
    EXPECT_CLOSE(d[2][5], cp, 1e-6, 0);
    EXPECT_CLOSE(d[2][7], cm, 1e-6, 0);
    EXPECT_CLOSE(d[2][11], 0.18, 1e-6, 0);
    EXPECT_CLOSE(d[3][11], 0.22, 1e-6, 0);
    EXPECT_CLOSE(d[2][16], comp, 1e-6, 0);
}

// Azimuth on a backcourse: 180 is added before the single wrap, so a point
// straight ahead of the reference reads 180 and one at -135 degrees reads 45.
TEST(PostReviewXValue, BackcourseAzimuthAddsHalfATurnBeforeTheWrap) {
    PostParameters p;
    p.referenceCode = 12;
    p.backcourseCode = 1;
    p.referenceX = 100.0;
    p.referenceY = 50.0;
    p.distanceFactor = 57.29577951307855;
    EXPECT_CLOSE(xValueOf(p, 200.0, 50.0, 7.0), 180.0, 1e-12, 0);
    EXPECT_CLOSE(xValueOf(p, 99.0, 49.0, 7.0), -135.0 + 180.0, 1e-12, 0);
    // At the reference point the angle is 0, then 180 for the backcourse.
    EXPECT_EQ(xValueOf(p, 100.0, 50.0, 7.0), 180.0);
    // 100 degrees plus the half turn is 280, wrapped once to -80.
    EXPECT_CLOSE(xValueOf(p, 100.0 + std::cos(100 * kDegToRad), 50.0 + std::sin(100 * kDegToRad),
                          0.0),
                 -80.0, 1e-9, 0);
}

}  // namespace
}  // namespace ils::test
