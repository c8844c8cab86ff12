// Review checks: the points, run values and FieldFile bytes of a range of
// flights against the formulas of the flight patterns and the field run
// written out literally here, compared value for value (no tolerance).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "path/direct_field.h"
#include "path/path_helpers.h"

namespace ils {
namespace {

using test::addElement;
using test::doubleAt;
using test::int32At;
using test::runFieldFile;
using test::runFlightProfile;
using test::setWavelength;
using test::slotAt;
using test::tablePoints;
using test::TestRun;

struct Reference {
    std::vector<ObservationPoint> points;
    double meanTimeStep = 0.0, speedRatio = 0.0;
};

// Patterns A to D from the decoded line values (all in input units).
struct Inputs {
    char pattern;
    double u, h;  // distance and speed factors
    bool back;
    double d0, x0, y0;
    std::vector<double> line3;  // A: 7 or 8 values; B, C, D: 5
    double speed;
    int decel = 0;
};

Reference referenceFlight(const Inputs& in) {
    Reference ref;
    const double U = in.u;
    const double X0 = in.x0 * U, Y0 = in.y0 * U;
    double v = std::fabs(in.speed) * in.h;
    double s1 = 0, s2 = 0, step = 0, psi = 0, gamma = 0, h = 0, zA = 0, zR = 0, z0 = 0, t = 0,
           R = 0, dI = 0, zL = 0, r = 0, zO = 0;
    const auto& L = in.line3;
    if (in.pattern == 'A') {
        s1 = L[0] * U;
        s2 = L[1] * U;
        step = L[2] * U;
        psi = (in.back ? L[3] + 180.0 : L[3]) * 0.017453292519944444;
        gamma = L[4] * 0.017453292519944444;
        dI = L[5] * U;
        z0 = L[6];
        zR = L.size() > 7 ? L[7] : z0;
        const double D0 = std::fabs(in.d0) * U;
        const double q = in.back ? -X0 - D0 : -X0;
        h = q / std::cos(psi);
        zA = std::fabs(dI) * std::tan(gamma) + z0;
        t = std::fabs(dI) - (zA - zR) / std::tan(gamma);
        if (std::fabs(psi) < 0.0001) {
            R = std::max(s1, s2) + 1;
        } else if (std::fabs(Y0) < 0.005) {
            R = -h;
        } else {
            R = std::min(s1, s2) - 1;
        }
    } else if (in.pattern == 'B') {
        psi = (in.back ? L[3] + 180.0 : L[3]) * 0.017453292519944444;
        zL = L[4];
        s1 = zL / std::tan(L[0] * 0.017453292519944444);
        s2 = zL / std::tan(L[1] * 0.017453292519944444);
        step = L[2] * U;
    } else {
        s1 = in.back ? L[0] + 180.0 : L[0];
        s2 = in.back ? L[1] + 180.0 : L[1];
        step = L[2];
        r = L[3] * U;
        zO = L[4];
    }
    if (s2 - s1 < 0) {
        step = -std::fabs(step);
        v = -v;
    } else {
        step = std::fabs(step);
    }
    const int n = static_cast<int>((s2 - s1) / step + 1.5);
    int a = -1, m = 0;
    for (int i = 0; i < n; ++i) {
        const double d = s1 + i * step;
        ObservationPoint p{};
        if (in.pattern == 'A') {
            p.x = X0 + std::cos(psi) * (h + d);
            if (d <= R) {
                p.y = Y0;
                p.vx = in.back ? -v : v;
                p.vy = 0;
            } else {
                p.y = Y0 + std::sin(psi) * (h + d);
                p.vx = v * std::cos(psi);
                p.vy = v * std::sin(psi);
            }
            if (d >= dI) {
                p.z = zA;
                p.vz = 0;
            } else if (d <= t) {
                p.z = zR;
                p.vz = 0;
                if (a < 0) a = i;
                ++m;
            } else {
                p.z = z0 + d * std::tan(gamma);
                p.vx = p.vx * std::cos(gamma);
                p.vy = p.vy * std::cos(gamma);
                p.vz = v * std::sin(gamma);
            }
        } else if (in.pattern == 'B') {
            p.x = X0 + d * std::cos(psi);
            p.y = d * std::sin(psi);
            p.z = zL;
            p.vx = v * std::cos(psi);
            p.vy = v * std::sin(psi);
            p.vz = 0;
        } else {
            const double al = d * 0.017453292519944444;
            p.x = X0 + r * std::cos(al);
            p.y = Y0 + r * std::sin(al);
            p.z = zO;
            p.vx = -v * std::sin(al);
            p.vy = v * std::cos(al);
            p.vz = 0;
        }
        ref.points.push_back(p);
    }
    if (in.pattern == 'A' && in.decel != 0 && m > 0) {
        for (int i = 0; i < n; ++i) {
            if (s1 + i * step <= t)
                ref.points[i].vx = ref.points[i].vx - (static_cast<double>(i - a + 1) / m) * v;
        }
    }
    double T = 0;
    for (int i = 1; i < n; ++i) {
        const auto& p = ref.points[i];
        const auto& q = ref.points[i - 1];
        const double dx = p.x - q.x, dy = p.y - q.y, dz = p.z - q.z;
        T += std::sqrt(dx * dx + dy * dy + dz * dz) / std::fabs(v);
    }
    ref.meanTimeStep = n > 1 ? T / (n - 1) : 0.0;
    ref.speedRatio = std::fabs(84.39 / v);
    return ref;
}

void expectSameFlight(TestRun& t, const Reference& ref, const std::string& what) {
    const auto pts = tablePoints(*t.rd);
    ASSERT_EQ(pts.size(), ref.points.size()) << what;
    EXPECT_EQ(t.rd->pointCount, static_cast<int32_t>(ref.points.size())) << what;
    for (size_t i = 0; i < pts.size(); ++i) {
        const double* a = &pts[i].x;
        const double* b = &ref.points[i].x;
        for (int c = 0; c < 6; ++c) EXPECT_EQ(a[c], b[c]) << what << " point " << i << " value " << c;
    }
    EXPECT_EQ(t.rd->meanTimeStep, ref.meanTimeStep) << what;
    EXPECT_EQ(t.rd->speedRatio, ref.speedRatio) << what;
}

struct Case {
    const char* lines;
    Inputs in;
};

TEST(ReviewFlight, PatternsAgreeValueForValueWithTheirFormulas) {
    const double nm = 6076.0, kt = 1.6877777777777778, m = 3.280839895013123;
    const Case cases[] = {
        {"A F K F\n0 0 0\n30000 -2000 1500 0 3 20000 12 30\n140 1\n",
         {'A', 1, kt, false, 0, 0, 0, {30000, -2000, 1500, 0, 3, 20000, 12, 30}, 140, 1}},
        {"A N K B\n0.3 0.1 0\n5 -0.5 0.25 2 2.8 3 40\n-150\t1\n",
         {'A', nm, kt, true, 0.3, 0.1, 0, {5, -0.5, 0.25, 2, 2.8, 3, 40}, -150, 1}},
        {"A M M F\n0 -300 0.001\n-9000 500 700 25 3 1e5 50 20\n70\n",
         {'A', m, m, false, 0, -300, 0.001, {-9000, 500, 700, 25, 3, 1e5, 50, 20}, 70, 0}},
        {"A F F F\n0 -300 40\n-9000 500 700 25 3 1e5 50\n70 1\n",
         {'A', 1, 1, false, 0, -300, 40, {-9000, 500, 700, 25, 3, 1e5, 50}, 70, 1}},
        {"A F F F\n0 0 0\n100 -400 50 0 3 80 10 25\n100 1\n",
         {'A', 1, 1, false, 0, 0, 0, {100, -400, 50, 0, 3, 80, 10, 25}, 100, 1}},
        {"B N K B\n0 0.2 7\n1 5 0.1 -3 1500\n120\n",
         {'B', nm, kt, true, 0, 0.2, 7, {1, 5, 0.1, -3, 1500}, 120}},
        {"C M F B\n0 10 -20\n-35 35 2.5 3000 700\n-110\n",
         {'C', m, 1, true, 0, 10, -20, {-35, 35, 2.5, 3000, 700}, -110}},
        {"D F M F\n0 0 0\n270 -90 7 18000 900\n60\n",
         {'D', 1, m, false, 0, 0, 0, {270, -90, 7, 18000, 900}, 60}},
    };
    for (const auto& c : cases) {
        TestRun t;
        ASSERT_EQ(runFlightProfile(t, c.lines), 0) << c.lines << t.logText();
        expectSameFlight(t, referenceFlight(c.in), c.lines);
        TestRun f;
        testControl().forceFileStorage = true;
        ASSERT_EQ(runFlightProfile(f, c.lines), 0) << c.lines << f.logText();
        expectSameFlight(f, referenceFlight(c.in), std::string("file storage: ") + c.lines);
    }
}

TEST(ReviewFlight, UserProfileAgreesValueForValue) {
    TestRun t;
    const std::string file = t.scratch + "user.txt";
    test::writeFile(file,
                    "4\n"
                    "100 20 5 -3 0.5 -0.2\n"
                    "97 20.5\n4.8 -3.1 0.4 -0.2\n"
                    "94.2 20.9 4.6 -2.9 0.45 -0.25\n"
                    "94.2 20.9 4.6 -2.9 0.45 -0.25\n");
    ASSERT_EQ(runFlightProfile(t, "U N K F\n0.7 0.01 -0.02\n" + file + "\n"), 0) << t.logText();
    const double U = 6076.0, H = 1.6877777777777778;
    const double raw[4][6] = {{100, 20, 5, -3, 0.5, -0.2},
                              {97, 20.5, 4.8, -3.1, 0.4, -0.2},
                              {94.2, 20.9, 4.6, -2.9, 0.45, -0.25},
                              {94.2, 20.9, 4.6, -2.9, 0.45, -0.25}};
    Reference ref;
    double T = 0, sum = 0;
    for (int i = 0; i < 4; ++i) {
        ObservationPoint p{raw[i][0] * U + 0.01 * U, raw[i][1] * U + -0.02 * U, raw[i][2] * U,
                           raw[i][3] * H, raw[i][4] * H, raw[i][5] * H};
        const double s = std::sqrt(p.vx * p.vx + p.vy * p.vy + p.vz * p.vz);
        sum += s;
        if (i > 0) {
            const auto& q = ref.points.back();
            const double dx = p.x - q.x, dy = p.y - q.y, dz = p.z - q.z;
            T += std::sqrt(dx * dx + dy * dy + dz * dz) / s;
        }
        ref.points.push_back(p);
    }
    ref.meanTimeStep = T / 3;
    ref.speedRatio = std::fabs(84.39 / (sum / 4));
    expectSameFlight(t, ref, "user");
}

// The direct record of the field run against the array-field steps written
// out here, with a table pattern and the ground image.
TEST(ReviewFlight, DirectRecordAgreesValueForValue) {
    TestRun t;
    RunData& rd = *t.rd;
    rd.system.groundPlaneCode = 'G';
    rd.system.captureEffect = 1;
    rd.system.captureWeight = 0.7;
    setWavelength(rd, 0, 8.95);
    setWavelength(rd, 1, 8.99);
    for (int j = 0; j < 2; ++j) {
        ElementPattern& p = rd.arrays[j].pattern;
        p.patternType = j == 0 ? 'I' : 'D';
        p.patternAxis = 0.02;
        p.patternPointCount = 5;
        const double angles[] = {-180, -30, 0, 45, 180};
        const double values[] = {0.1, 0.8, 1.0, 0.6, 0.1};
        for (int k = 0; k < 5; ++k) {
            p.patternAngles[k] = angles[k];
            p.patternValues[k] = values[k];
        }
    }
    for (int i = 0; i < 6; ++i) {
        addElement(rd, 0, 1.0, -12.5 + 5 * i, 7.0 + 0.1 * i, std::polar(1.0 - 0.1 * i, 0.2 * i),
                   std::polar(0.3, i < 3 ? -1.5 : 1.5));
    }
    addElement(rd, 1, -4.0, -3.0, 9.0, Complex(0.5, 0.1), Complex(0.0, 0.3));
    addElement(rd, 1, -4.0, 3.0, 9.0, Complex(0.5, -0.1), Complex(0.0, -0.3));
    ASSERT_EQ(runFlightProfile(t, "C F F F\n0 0 0\n-60 60 20 2500 150\n100\n"), 0);
    const auto pts = tablePoints(rd);
    int status = -1;
    const std::string bytes = runFieldFile(t, status);
    ASSERT_EQ(status, 0) << t.logText();
    ASSERT_EQ(bytes.size(), 20u + 504u * pts.size());
    EXPECT_EQ(int32At(bytes, 0), static_cast<int32_t>(pts.size()));
    for (size_t i = 0; i < pts.size(); ++i) {
        const auto& P = pts[i];
        Complex slots[15];
        for (int j = 0; j < 2; ++j) {
            const AntennaArray& a = rd.arrays[j];
            Complex csbSum(0, 0), sboSum(0, 0);
            for (int pass = 0; pass < 2; ++pass) {
                const double zP = pass == 0 ? P.z : -P.z;
                const double s = pass == 0 ? 1.0 : -1.0;
                Complex c(0, 0), o(0, 0);
                for (int e = 0; e < a.elementCount; ++e) {
                    const double dx = P.x - a.elementX[e], dy = P.y - a.elementY[e],
                                 dz = zP - a.elementZ[e];
                    const double R = std::sqrt(dx * dx + dy * dy + dz * dz);
                    const Complex F = std::exp(Complex(0.0, a.waveNumber * R)) / R;
                    c += a.csbCurrent[e] * F;
                    o += a.sboCurrent[e] * F;
                }
                const double dx = P.x - a.centroidX, dy = P.y - a.centroidY;
                const double dz = zP - a.centroidZ;
                const double eps = std::atan2(dz, std::sqrt(dx * dx + dy * dy));
                const double phi = std::atan2(dy, dx) - a.pattern.patternAxis;
                const double g = patternValue(a.pattern, phi, eps);
                c *= g;
                o *= g;
                csbSum += s * c;  // index 0 plus index 1
                sboSum += s * o;
            }
            Complex C = csbSum, S = sboSum;
            if (j == 1) {
                C *= 0.7;
                S *= 0.7;
            }
            slots[j] += C;
            slots[2 + 2 * j] += 1.0 * (C - S);
            slots[3 + 2 * j] += 1.0 * (C + S);
        }
        // The field run's kernel works on vectors (its own sine, cosine and
        // arc tangent): value for value within 1e-12 of the record's scale.
        double scale = 0.0;
        for (const Complex& v : slots) scale = std::max(scale, std::abs(v));
        ASSERT_GT(scale, 0.0) << "point " << i;
        for (int s = 0; s < 15; ++s) {
            const Complex got = slotAt(bytes, test::directOffset(static_cast<int32_t>(i)), s);
            EXPECT_LE(std::abs(got - slots[s]), 1e-12 * scale) << "point " << i << " slot " << s << ": "
                                                               << got << " vs " << slots[s];
        }
    }
}

}  // namespace
}  // namespace ils
