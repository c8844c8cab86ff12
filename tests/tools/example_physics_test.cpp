// The example stations meet their ICAO figures in free space: their antenna
// blocks (everything before the first FP of each example command file) are run
// without scatterers along short test flights, and the FieldFile is evaluated
// with the receiver's tone detection and two-carrier capture.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "support/test_support.h"

using namespace ils::test;

namespace {

using C = std::complex<double>;
constexpr double kFt = 0.3048;
constexpr double kPi = 3.14159265358979323846;

std::string exampleFile(const std::string& rel) {
    return readFile(std::string(ILSCALC_SOURCE_DIR) + "/examples/" + rel);
}

// The station part of an example: its lines up to the first FP command.
std::string stationBlock(const std::string& rel) {
    const std::string text = exampleFile(rel);
    const size_t fp = text.find("\nFP");
    EXPECT_NE(fp, std::string::npos) << rel;
    return text.substr(0, fp + 1);
}

struct Sample {
    double x, y, z;  // metres
    double ddm;      // 150 Hz minus 90 Hz depth
    double cdi;      // microamperes, normalised by the sum of the depths
};

// Receiver of one point from the summed FieldRecords: coherent detection
// against each carrier and the two-carrier capture series.
Sample evaluate(const std::string& fld, size_t i, double depth, double cdiScale) {
    const size_t block = 20 + 504 * i;
    auto slot = [&](int s) {
        const C scattered(doubleAt(fld, block + 24 + 16 * s), doubleAt(fld, block + 24 + 16 * s + 8));
        const C direct(doubleAt(fld, block + 264 + 16 * s), doubleAt(fld, block + 264 + 16 * s + 8));
        return scattered + direct;
    };
    const C cc = slot(0), cl = slot(1);
    const double a = std::abs(cc), b = std::abs(cl);
    auto inPhase = [](C s, C carrier) {
        const double m = std::abs(carrier);
        return m > 0 ? (s * std::conj(carrier)).real() / m : 0.0;
    };
    const double pc[2] = {inPhase(depth * slot(2), cc), inPhase(depth * slot(3), cc)};
    const double vm[2] = {inPhase(depth * slot(4), cl), inPhase(depth * slot(5), cl)};
    double cap = 1, cp = 1, cm = 0;
    if (a > 0 && b > 0) {
        static const double k[6] = {1, -0.25, -0.046875, -0.01953125, -0.01068115234375,
                                    -0.0067291259765625};
        const double l = 4 * a * b / ((a + b) * (a + b));
        const double r = b / a;
        cap = cp = cm = 0;
        for (int n = 0; n < 6; ++n) {
            cap += k[n] * std::pow(l, n);
            cp += k[n] * (1 + n * (r - 1)) * std::pow(l, n);
            cm += k[n] * (1 + n * (1 / r - 1)) * std::pow(l, n);
        }
    } else if (a == 0) {
        cp = 0;
        cm = 1;
    }
    const double comp = cap * (a + b);
    const double v0 = std::fabs(cp * pc[0] + cm * vm[0]) / comp;
    const double v1 = std::fabs(cp * pc[1] + cm * vm[1]) / comp;
    return Sample{doubleAt(fld, block) * kFt, doubleAt(fld, block + 8) * kFt,
                  doubleAt(fld, block + 16) * kFt, v1 - v0, (v1 - v0) / (v1 + v0) * cdiScale};
}

std::vector<Sample> run(const std::string& commands, double depth, double cdiScale) {
    const CalcResult r = runCommandFile(commands, "phys");
    EXPECT_EQ(r.startCode, 0);
    EXPECT_EQ(r.state, 2) << r.log;
    std::vector<Sample> out;
    if (r.fieldFile.size() < 20) return out;
    const int32_t n = int32At(r.fieldFile, 0);
    EXPECT_EQ(r.fieldFile.size(), 20u + 504u * static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) out.push_back(evaluate(r.fieldFile, static_cast<size_t>(i), depth, cdiScale));
    return out;
}

constexpr double kLocScale = 387.0967741935484;
constexpr double kGsScale = 685.7142857142858;

// Checks shared by both localizers: course on the centreline, sensitivity and
// sense at the threshold. The lateral run crosses the threshold towards +y,
// which is the right-hand side of an aircraft approaching towards -x.
void checkLocalizer(const std::string& station, double thresholdM) {
    // Extended centreline from 10 NM out to the threshold, 3 degree path.
    const double z0ft = (15.0 - thresholdM * std::tan(3.0 * kPi / 180.0)) / kFt;
    const std::string centre = station + "FP\nA M K F\n0.0 0.0 0.0\n" + std::to_string(thresholdM + 18520.0) +
                               " " + std::to_string(thresholdM) + " 1000 0 3 40000 " + std::to_string(z0ft) +
                               "\n140 0\nEN\n";
    const std::vector<Sample> c = run(centre, 0.2, kLocScale);
    ASSERT_GT(c.size(), 15u);
    for (const Sample& s : c) EXPECT_LT(std::fabs(s.cdi), 1.0) << "x = " << s.x;

    // Level run across the course at the threshold, 15 m high, y from -150 to 150 m.
    const double theta = std::atan(15.0 / 150.0) * 180.0 / kPi;
    const std::string across = station + "FP\nB M K F\n0.0 " + std::to_string(thresholdM) + " 0.0\n" +
                               std::to_string(-theta) + " " + std::to_string(theta) + " 5 90 " +
                               std::to_string(15.0 / kFt) + "\n90\nEN\n";
    const std::vector<Sample> a = run(across, 0.2, kLocScale);
    ASSERT_EQ(a.size(), 61u);
    int sensitivityPoints = 0;
    for (const Sample& s : a) {
        if (s.y > 1.0) {
            EXPECT_GT(s.ddm, 0.0) << "150 Hz must predominate right, y = " << s.y;
        }
        if (s.y < -1.0) {
            EXPECT_LT(s.ddm, 0.0) << "90 Hz must predominate left, y = " << s.y;
        }
        // Sensitivity 0.00145 DDM per metre within 10 %, checked around 107 m.
        if (std::fabs(std::fabs(s.y) - 105.0) < 0.5) {
            ++sensitivityPoints;
            EXPECT_NEAR(std::fabs(s.ddm) / std::fabs(s.y), 0.00145, 0.000145) << "y = " << s.y;
        }
    }
    EXPECT_EQ(sensitivityPoints, 2);
}

}  // namespace

TEST(ExamplePhysics, TwoFrequencyLocalizerCourse) {
    checkLocalizer(stationBlock("localizer-two-frequency/LOC2F.dat"), 3300.0);
}

TEST(ExamplePhysics, TwoFrequencyLocalizerClearanceTo35Degrees) {
    // Orbit of 6 km about the localizer at 3000 ft, from 35 degrees left to right.
    const std::string orbit = stationBlock("localizer-two-frequency/LOC2F.dat") +
                              "FP\nC M K F\n0.0 0.0 0.0\n-35 35 1 6000 3000\n140\nEN\n";
    const std::vector<Sample> o = run(orbit, 0.2, kLocScale);
    ASSERT_EQ(o.size(), 71u);
    for (const Sample& s : o) {
        const double az = std::atan2(s.y, s.x) * 180.0 / kPi;
        if (std::fabs(az) < 3.0) continue;  // inside the course sector
        EXPECT_GE(std::fabs(s.ddm), 0.155) << "azimuth " << az;
        EXPECT_GT(s.ddm * az, 0.0) << "clearance sense at azimuth " << az;
    }
}

TEST(ExamplePhysics, SingleFrequencyLocalizerCourse) {
    checkLocalizer(stationBlock("localizer-single-frequency/LOC1F.dat"), 2250.0);
}

TEST(ExamplePhysics, NullReferenceGlidePath) {
    // Level run at 1000 ft along the mast's axis from 2 to 4 degrees elevation.
    const std::string scan = stationBlock("glide-slope-null-reference/GS3.dat") +
                             "FP\nB M K F\n0.0 0.0 0.0\n2.0 4.0 50 0 1000\n140\nEN\n";
    const std::vector<Sample> g = run(scan, 0.4, kGsScale);
    ASSERT_GT(g.size(), 50u);
    std::vector<double> elev;
    for (const Sample& s : g) elev.push_back(std::atan2(s.z, std::hypot(s.x, s.y)) * 180.0 / kPi);
    // Linear interpolation of DDM at an elevation inside the scan.
    auto ddmAt = [&](double e) {
        for (size_t i = 0; i + 1 < g.size(); ++i) {
            const double lo = std::min(elev[i], elev[i + 1]), hi = std::max(elev[i], elev[i + 1]);
            if (e >= lo && e <= hi) {
                const double t = (e - elev[i]) / (elev[i + 1] - elev[i]);
                return g[i].ddm + t * (g[i + 1].ddm - g[i].ddm);
            }
        }
        ADD_FAILURE() << "elevation " << e << " not scanned";
        return 0.0;
    };
    int crossings = 0;
    for (size_t i = 0; i + 1 < g.size(); ++i) {
        if ((g[i].ddm > 0) != (g[i + 1].ddm > 0)) {
            ++crossings;
            const double e = elev[i] + (elev[i + 1] - elev[i]) * g[i].ddm / (g[i].ddm - g[i + 1].ddm);
            EXPECT_NEAR(e, 3.0, 0.05);
        }
    }
    EXPECT_EQ(crossings, 1);
    EXPECT_NEAR(ddmAt(3.0 * 0.88), 0.0875, 0.00875);   // 150 Hz below the path
    EXPECT_NEAR(ddmAt(3.0 * 1.12), -0.0875, 0.00875);  // 90 Hz above
    for (size_t i = 0; i < g.size(); ++i) {
        if (elev[i] < 2.95) {
            EXPECT_GT(g[i].ddm, 0.0) << "elevation " << elev[i];
        }
    }
}
