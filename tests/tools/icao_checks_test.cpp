// Course width and alignment, off-course clearance and glide-path angle on
// synthetic DDM traces whose answers are known in closed form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "icao_checks.h"

using namespace ilshost;

namespace {

const Measure& find(const IcaoCheck& c, const std::string& prefix) {
    for (const Measure& m : c.measures) {
        if (m.name.rfind(prefix, 0) == 0) return m;
    }
    static Measure none;
    ADD_FAILURE() << "no measure " << prefix;
    return none;
}

// A linear course ddm = s (y - y0), saturating at 0.4, every 2 m over +-400 m.
void linearCourse(double s, double y0, std::vector<double>& y, std::vector<double>& ddm) {
    y.clear();
    ddm.clear();
    for (double v = -400.0; v <= 400.0; v += 2.0) {
        y.push_back(v);
        ddm.push_back(std::clamp(s * (v - y0), -0.4, 0.4));
    }
}

}  // namespace

TEST(IcaoConversion, TracesBecomeDdm) {
    ReportColumn ua{"Y1", "(uA)", "CDI", true, false};
    std::vector<double> ddm;
    std::string why;
    ASSERT_TRUE(traceAsDdm(ua, 0, false, {150.0, -75.0}, ddm, why));
    EXPECT_NEAR(ddm[0], 0.155, 1e-12);
    EXPECT_NEAR(ddm[1], -0.0775, 1e-12);
    ASSERT_TRUE(traceAsDdm(ua, 0, true, {150.0}, ddm, why));
    EXPECT_NEAR(ddm[0], 0.175, 1e-12);
    ReportColumn norm{"Y2", "(ddm)", "CDI", true, false};
    ASSERT_TRUE(traceAsDdm(norm, 1, false, {0.5}, ddm, why));
    EXPECT_NEAR(ddm[0], 0.2, 1e-12);
    ASSERT_TRUE(traceAsDdm(norm, 1, true, {0.5}, ddm, why));
    EXPECT_NEAR(ddm[0], 0.4, 1e-12);
    EXPECT_FALSE(traceAsDdm(norm, 0, false, {0.5}, ddm, why));
    EXPECT_NE(why.find("sum of the tone levels"), std::string::npos) << why;
    ReportColumn flag{"Y3", "(uA)", "FLG", true, false};
    EXPECT_FALSE(traceAsDdm(flag, 2, false, {1.0}, ddm, why));
}

TEST(IcaoCourseWidth, SensitivityAndAlignmentMeasured) {
    std::vector<double> y, ddm;
    linearCourse(0.00145, 5.0, y, ddm);
    IcaoCheck c = courseWidthCheck(y, ddm, 0.0, 1);
    EXPECT_TRUE(c.pass) << icaoTable(c, "t");
    EXPECT_NEAR(find(c, "displacement sensitivity").value, 0.00145, 1e-9);
    EXPECT_NEAR(find(c, "course sector width").value, 0.310 / 0.00145, 1e-6);
    EXPECT_NEAR(find(c, "course alignment").value, 5.0, 1e-9);
    // Category III allows 3 m of misalignment only.
    c = courseWidthCheck(y, ddm, 0.0, 3);
    EXPECT_FALSE(find(c, "course alignment").pass);
    EXPECT_TRUE(find(c, "displacement sensitivity").pass);
    EXPECT_FALSE(c.pass);
    // 20 % too sensitive fails Category I (17 %); 15 % passes it.
    linearCourse(0.00145 * 1.20, 0.0, y, ddm);
    EXPECT_FALSE(courseWidthCheck(y, ddm, 0.0, 1).pass);
    linearCourse(0.00145 * 1.15, 0.0, y, ddm);
    EXPECT_TRUE(courseWidthCheck(y, ddm, 0.0, 1).pass);
    EXPECT_FALSE(courseWidthCheck(y, ddm, 0.0, 3).pass);
    // A run too short to reach 0.155 DDM is not measurable and not a pass.
    std::vector<double> ys, ds;
    for (size_t i = 0; i < y.size(); ++i) {
        if (std::fabs(y[i]) <= 50.0) {
            ys.push_back(y[i]);
            ds.push_back(ddm[i]);
        }
    }
    c = courseWidthCheck(ys, ds, 0.0, 1);
    EXPECT_FALSE(c.pass);
    EXPECT_FALSE(find(c, "displacement sensitivity").found);
    EXPECT_NE(icaoTable(c, "t").find("NOT FOUND"), std::string::npos);
}

TEST(IcaoClearance, OrbitLimitsOnBothSides) {
    // ddm = 0.05 deg^-1 * azimuth, held at +-0.25: 0.180 is reached at 3.6 deg.
    std::vector<double> az, ddm;
    for (double a = -40.0; a <= 40.0 + 1e-9; a += 0.5) {
        az.push_back(a);
        ddm.push_back(std::clamp(0.05 * a, -0.25, 0.25));
    }
    std::vector<double> limit;
    std::vector<char> failing;
    IcaoCheck c = clearanceCheck(az, ddm, limit, failing);
    EXPECT_TRUE(c.pass) << icaoTable(c, "t");
    EXPECT_NEAR(find(c, "angle where |DDM| reaches 0.180, right").value, 3.6, 1e-9);
    EXPECT_NEAR(find(c, "angle where |DDM| reaches 0.180, left").value, 3.6, 1e-9);
    // Limits: none inside the course sector, 0.180 to 10 deg, 0.155 to 35, none beyond.
    auto at = [&](double a) { return static_cast<size_t>(std::lround((a + 40.0) / 0.5)); };
    EXPECT_TRUE(std::isnan(limit[at(2.0)]));
    EXPECT_DOUBLE_EQ(limit[at(8.0)], 0.180);
    EXPECT_DOUBLE_EQ(limit[at(-20.0)], 0.155);
    EXPECT_TRUE(std::isnan(limit[at(37.0)]));
    // A dip to 0.17 at 8 deg fails; one to 0.16 at 20 deg does not.
    ddm[at(8.0)] = 0.17;
    ddm[at(-20.0)] = -0.16;
    c = clearanceCheck(az, ddm, limit, failing);
    EXPECT_FALSE(c.pass);
    EXPECT_FALSE(find(c, "least |DDM| from there to 10 deg, right").pass);
    EXPECT_TRUE(find(c, "least |DDM| from 10 to 35 deg, left").pass);
    EXPECT_EQ(std::count(failing.begin(), failing.end(), 1), 1);
    EXPECT_EQ(failing[at(8.0)], 1);
    // An orbit that stops at 30 deg does not show the clearance out to 35.
    std::vector<double> az2, d2;
    for (size_t i = 0; i < az.size(); ++i) {
        if (std::fabs(az[i]) <= 30.0) {
            az2.push_back(az[i]);
            d2.push_back(std::clamp(0.05 * az[i], -0.25, 0.25));
        }
    }
    c = clearanceCheck(az2, d2, limit, failing);
    EXPECT_FALSE(c.pass);
    EXPECT_FALSE(find(c, "orbit reaches 35 deg, left").pass);
}

TEST(IcaoGlidePath, AngleAndHalfSectors) {
    // ddm = k (theta - angle): 0.0875 DDM at 0.12 of a 3 degree angle.
    const double k = 0.0875 / (0.12 * 3.0);
    auto run = [&](double angle, double kLower, double kUpper, std::vector<double>& th, std::vector<double>& d) {
        th.clear();
        d.clear();
        for (double t = 1.5; t <= 4.5 + 1e-9; t += 0.01) {
            th.push_back(t);
            d.push_back(t < angle ? kLower * (t - angle) : kUpper * (t - angle));
        }
    };
    std::vector<double> th, d;
    run(3.0, k, k, th, d);
    IcaoCheck c = glidePathAngleCheck(th, d, 3.0, 2);
    EXPECT_TRUE(c.pass) << icaoTable(c, "t");
    EXPECT_NEAR(find(c, "glide-path angle").value, 3.0, 1e-9);
    EXPECT_NEAR(find(c, "lower half sector").value, 0.12, 1e-9);
    EXPECT_NEAR(find(c, "upper half sector").value, 0.12, 1e-9);
    // 3.3 degrees is 10 % off: beyond 7.5 %.
    run(3.3, k, k, th, d);
    EXPECT_FALSE(find(glidePathAngleCheck(th, d, 3.0, 1), "glide-path angle").pass);
    // A lower half sector of 0.08 of the angle: allowed for Category I only.
    run(3.0, 0.0875 / (0.08 * 3.0), k, th, d);
    EXPECT_TRUE(glidePathAngleCheck(th, d, 3.0, 1).pass);
    EXPECT_FALSE(glidePathAngleCheck(th, d, 3.0, 3).pass);
    const std::string json = icaoJson(glidePathAngleCheck(th, d, 3.0, 3), "Y1");
    EXPECT_NE(json.find("\"result\": \"fail\""), std::string::npos) << json;
}

TEST(IcaoCrossing, InterpolatesInEitherDirection) {
    const std::vector<double> x{0, 1, 2, 3};
    const std::vector<double> y{0, 2, 4, 6};
    EXPECT_DOUBLE_EQ(crossing(x, y, 3.0, 0, +1), 1.5);
    EXPECT_DOUBLE_EQ(crossing(x, y, 1.0, 3, -1), 0.5);
    EXPECT_TRUE(std::isnan(crossing(x, y, 7.0, 0, +1)));
}
