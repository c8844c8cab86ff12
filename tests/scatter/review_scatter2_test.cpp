// Review checks of the wire and moving-plate computations: the wire against a
// plain transcription of its formulas, the moving plate against the fixed
// plate placed where the moving one is at each point, and motion-file details.
#include <cmath>
#include <string>
#include <vector>

#include "path/direct_field.h"
#include "path/run_tables.h"
#include "scatter/moving_plate.h"
#include "scatter/numerics.h"
#include "scatter/plate.h"
#include "scatter/scatterer_reader.h"
#include "scatter/wire.h"
#include "scatter/wire_scene.h"
#include "support/test_support.h"

namespace ils {
namespace {

using test::TestRun;

// ---------------------------------------------------------------------------
// Wire: a direct transcription, term by term in the stated order.

// J0 and Y0 from the polynomial approximations, written as power sums.
Complex referenceHankel(double x) {
    x = std::fabs(x);
    double j0, y0;
    if (x <= 3.0) {
        const double t = (x / 3.0) * (x / 3.0);
        j0 = 1.0 - 2.2499997 * t + 1.2656208 * std::pow(t, 2) - 0.3163866 * std::pow(t, 3) +
             0.0444479 * std::pow(t, 4) - 0.0039444 * std::pow(t, 5) + 0.0002100 * std::pow(t, 6);
        y0 = (1.0 / 1.570796326795) * std::log(x / 2.0) * j0 + 0.36746691 + 0.60559366 * t -
             0.74350384 * std::pow(t, 2) + 0.25300117 * std::pow(t, 3) -
             0.04261214 * std::pow(t, 4) + 0.00427916 * std::pow(t, 5) -
             0.00024846 * std::pow(t, 6);
    } else {
        const double u = 3.0 / x;
        const double f0 = 0.79788456 - 0.00000077 * u - 0.00552740 * u * u -
                          0.00009512 * std::pow(u, 3) + 0.00137237 * std::pow(u, 4) -
                          0.00072805 * std::pow(u, 5) + 0.00014476 * std::pow(u, 6);
        const double th = x - 0.78539816 - 0.04166397 * u - 0.00003954 * u * u +
                          0.00262573 * std::pow(u, 3) - 0.00054125 * std::pow(u, 4) -
                          0.00029333 * std::pow(u, 5) + 0.00013558 * std::pow(u, 6);
        j0 = f0 / std::sqrt(x) * std::cos(th);
        y0 = f0 / std::sqrt(x) * std::sin(th);
    }
    return Complex(j0, -y0);
}

double referenceNearest(const RunData& rd, const Scatterer& w) {
    const double pts[3][3] = {{w.x1, w.y1, w.z1},
                              {w.x2, w.y2, w.z2},
                              {(w.x1 + w.x2) / 2, (w.y1 + w.y2) / 2, (w.z1 + w.z2) / 2}};
    double best = 1e20;
    for (int j = 0; j <= rd.system.captureEffect; ++j) {
        const AntennaArray& a = rd.arrays[j];
        for (int i = 0; i < a.elementCount; ++i) {
            for (const auto& p : pts) {
                best = std::fmin(best, std::hypot(std::hypot(p[0] - a.elementX[i],
                                                             p[1] - a.elementY[i]),
                                                  p[2] - a.elementZ[i]));
            }
        }
    }
    return std::fmax(best, 1e-10);
}

std::vector<FieldRecord> referenceWire(const RunData& rd, const Scatterer& w,
                                       const std::vector<ObservationPoint>& pts) {
    std::vector<FieldRecord> out(pts.size());
    const double L = w.length, psi = w.tilt, al = w.azimuth;
    const double sp = std::sin(psi), cp = std::cos(psi), sa = std::sin(al), ca = std::cos(al);
    const double ds = std::sqrt(referenceNearest(rd, w) * rd.arrays[0].wavelength) / 5.0;
    const int N = static_cast<int>(L / ds) + 1;
    const double D = L / N;
    const bool longWire = L >= 200.0;
    const double E[2][3] = {{w.x1, w.y1, w.z1}, {w.x2, w.y2, w.z2}};
    for (int j = 0; j <= rd.system.captureEffect; ++j) {
        const AntennaArray& a = rd.arrays[j];
        const double k = a.waveNumber, Ox = a.centroidX, Oy = a.centroidY, Oz = a.centroidZ;
        const double h = k * D / 2;
        Complex endC[2], endS[2];
        double cplus = 0, splus = 0, cminus = 0, sminus = 0;
        if (!longWire) {
            for (int e = 0; e < 2; ++e) {
                Complex c[2], s[2];
                arrayField(rd, j, 'G', E[e][0], E[e][1], E[e][2], c, s);
                const double ex = E[e][0] - Ox, ey = E[e][1] - Oy;
                const double g =
                    (ey * ca - ex * sa) / std::fmax(1e-10, std::sqrt(ex * ex + ey * ey));
                endC[e] = (c[0] + c[1]) * (sp * g);
                endS[e] = (s[0] + s[1]) * (sp * g);
            }
            cplus = std::cos(h + k * L / 2);
            splus = std::sin(h + k * L / 2);
            cminus = std::cos(k * L / 2 - h);
            sminus = std::sin(k * L / 2 - h);
        }
        for (int s = 0; s < N; ++s) {
            double M[3];
            for (int c = 0; c < 3; ++c) M[c] = E[0][c] + (s + 0.5) * (E[1][c] - E[0][c]) / N;
            const double ex = M[0] - Ox, ey = M[1] - Oy, ez = M[2] - Oz;
            const double rhoi = std::fmax(1e-10, std::sqrt(ex * ex + ey * ey));
            const double Ri = std::sqrt(rhoi * rhoi + ez * ez);
            const double sti = ez / Ri, cti = rhoi / Ri;
            const double ci = (ca * ex + sa * ey) / rhoi, si = (ca * ey - sa * ex) / rhoi;
            const double mui = cti * sp * ci + sti * cp;
            Complex c[2], sb[2];
            arrayField(rd, j, 'G', M[0], M[1], M[2], c, sb);
            const Complex csbD = c[0] * (sp * si), csbI = c[1] * (sp * si);
            const Complex sboD = sb[0] * (sp * si), sboI = sb[1] * (sp * si);
            const double xB = k * w.radius * cti * si;
            const Complex B = cti * si == 0.0 ? Complex(0, 0)
                                              : Complex(0, 1) / (3.14159265359 * referenceHankel(xB));
            for (size_t p = 0; p < pts.size(); ++p) {
                const ObservationPoint& P = pts[p];
                const double dx = P.x - M[0], dy = P.y - M[1], dz = P.z - M[2];
                const double rhos = std::fmax(1e-10, std::sqrt(dx * dx + dy * dy));
                const double Rs = std::sqrt(rhos * rhos + dz * dz);
                const double sts = dz / Rs, cts = rhos / Rs;
                const double cs = (ca * dx + sa * dy) / rhos, ss = (sa * dx - ca * dy) / rhos;
                const double mus = cts * sp * cs + sts * cp;
                const double S1 = D * sinc(h * (mui - mus));
                const double S2 = D * sinc(h * (mui - mus + 2 * Oz * cp / rhoi));
                const Complex sumC = S1 * csbD + S2 * csbI, sumS = S1 * sboD + S2 * sboI;
                Complex Ec(0, 0), Es(0, 0);
                if (!longWire) {
                    const double cmu = std::cos(h * mus), smu = std::sin(h * mus);
                    const double Dd = k * std::sin(k * L) * (1 - mus * mus);
                    const Complex T = Complex(cmu * (cplus - cminus) + smu * mus * (splus + sminus),
                                              cmu * mus * (splus - sminus) - smu * (cplus + cminus)) /
                                      Dd;
                    Ec = endC[0] * std::conj(T) + endC[1] * T;
                    Es = endS[0] * std::conj(T) + endS[1] * T;
                }
                const Complex F = sp * ss * std::exp(Complex(0, k * Rs)) / Rs;
                const double x = k * M[2] * sts;
                const Complex Q = Complex(0, 2) * std::sin(x) * std::exp(Complex(0, -x));
                const Complex G = B * F * Q;
                const double src[3] = {Ox, Oy, Oz}, obs[3] = {P.x, P.y, P.z},
                             vel[3] = {P.vx, P.vy, P.vz};
                const DopplerFactors f = dopplerFilterFactors(src, M, obs, vel, k);
                accumulateField(rd, j, (sumC + Ec) * G, (sumS + Es) * G, f.f90, f.f150, f.f60,
                                f.f0, out[p]);
            }
        }
    }
    return out;
}

void expectRecordsClose(const std::vector<FieldRecord>& got, const std::vector<FieldRecord>& want,
                        double rel) {
    ASSERT_EQ(got.size(), want.size());
    const double scale = test::largestValue(want);
    ASSERT_GT(scale, 0.0);
    for (size_t i = 0; i < got.size(); ++i) {
        for (int s = 0; s < 12; ++s) {
            EXPECT_NEAR(got[i].slot[s].real(), want[i].slot[s].real(), rel * scale) << i << " " << s;
            EXPECT_NEAR(got[i].slot[s].imag(), want[i].slot[s].imag(), rel * scale) << i << " " << s;
        }
    }
}

std::vector<ObservationPoint> mixedPoints() {
    std::vector<ObservationPoint> pts = test::approachPoints(9);
    pts.push_back({700.0, -350.0, 55.0, -150.0, 40.0, -3.0});
    pts.push_back({1200.0, 900.0, 12.0, 0.0, -60.0, 0.0});
    pts.push_back({-400.0, 30.0, 300.0, -220.0, 0.0, -12.0});
    return pts;
}

TEST(ReviewWire, ShortSlopedWireMatchesTheFormulas) {
    TestRun t;
    test::setupCourseArray(*t.rd);
    const auto pts = mixedPoints();
    test::setFlight(*t.rd, pts);
    const Scatterer w = test::makeWire(900.0, -60.0, 20.0, 960.0, 50.0, 45.0, 0.03);
    ASSERT_LT(w.length, 200.0);
    ASSERT_EQ(computeWire(*t.rd, w, 1), 0) << t.logText();
    expectRecordsClose(test::fieldRecords(*t.rd), referenceWire(*t.rd, w, pts), 1e-12);
}

TEST(ReviewWire, LongWireWithClearanceArrayMatchesTheFormulas) {
    TestRun t;
    test::setupCourseArray(*t.rd, 1);
    t.rd->system.captureWeight = 0.4;
    // The clearance array sits elsewhere and higher, with its own wave number.
    AntennaArray& c = t.rd->arrays[1];
    c.waveNumber = kTwoPi / 8.6;
    c.wavelength = 8.6;
    for (int i = 0; i < c.elementCount; ++i) {
        c.elementX[i] += 40.0;
        c.elementZ[i] += 6.0;
    }
    c.centroidX += 40.0;
    c.centroidZ += 6.0;
    const auto pts = mixedPoints();
    test::setFlight(*t.rd, pts);
    const Scatterer w = test::makeWire(1100.0, -250.0, 35.0, 1050.0, 260.0, 28.0, 0.05);
    ASSERT_GE(w.length, 200.0);
    ASSERT_EQ(computeWire(*t.rd, w, 1), 0) << t.logText();
    expectRecordsClose(test::fieldRecords(*t.rd), referenceWire(*t.rd, w, pts), 1e-12);
}

// ---------------------------------------------------------------------------
// Motion file.

int readMotion(TestRun& t, const std::string& content) {
    const std::string path = t.scratch + "motion.txt";
    test::writeFile(path, content);
    return readMovingScatterers(*t.rd, (" " + path + "\n").c_str());
}

TEST(ReviewMotionFile, LegVelocityIsLegTimesSpeedOverLength) {
    TestRun t;
    test::setupCourseArray(*t.rd);
    test::setFlight(*t.rd, test::approachPoints(4), 1.0);
    // Leg of 50 ft along (30, 40, 0) at 0.7 ft/s: velocity (30 * 0.7 / 50, 40 * 0.7 / 50, 0).
    ASSERT_EQ(readMotion(t, "0\n2\n0 0 0 0 0.7\n30 40 0 0 0\n"), 0);
    const MovingPosition& e = t.rd->movingTable.entries[0];
    const double d[2] = {30.0, 40.0}, s = 0.7, L = 50.0;
    EXPECT_EQ(e.velocityX, d[0] * s / L);
    EXPECT_EQ(e.velocityY, d[1] * s / L);
    EXPECT_EQ(e.velocityZ, 0.0);
}

TEST(ReviewMotionFile, MissingFileMessageQuotesThePathAsWritten) {
    TestRun t;
    test::setupCourseArray(*t.rd);
    test::setFlight(*t.rd, test::approachPoints(2), 1.0);
    const std::string missing = t.scratch + "no\\such\\motion.txt";
    EXPECT_EQ(readMovingScatterers(*t.rd, ("  " + missing + " \r\n").c_str()), -1);
    EXPECT_EQ(t.logText(), "ERROR! Could not open file " + missing + "\n");
}

// ---------------------------------------------------------------------------
// Moving plate against the fixed plate at the moved position.

TEST(ReviewMovingPlate, EachPointSeesTheFixedPlateWhereTheMovingOneIs) {
    const std::string plateLines = "f 0 0\n500 300 1500 320 2 40 10\n";
    const std::string motion = "0\n3\n0 0 0 0 60\n-50 180 4 -15 45\n-120 180 9 -25 0\n";
    const auto pts = mixedPoints();

    TestRun moving;
    test::setupCourseArray(*moving.rd, 1);
    moving.rd->system.captureWeight = 0.7;
    test::setFlight(*moving.rd, pts, 1.5);
    // The centre comes from the plates after SG: box x 400..1500, y 300..320.
    moving.setCommandText("SP\n" + plateLines + "SP\nf 0 0\n400 310 450 310 0 5 0\nEN\n");
    ASSERT_EQ(readMotion(moving, motion), 0);
    EXPECT_EQ(moving.rd->plateMotionCentreX, 950.0);
    EXPECT_EQ(moving.rd->plateMotionCentreY, 310.0);
    moving.setCommandText(plateLines);
    Scatterer plate;
    ASSERT_EQ(readScatterer(*moving.rd, "SP", plate), 0);
    ASSERT_EQ(computeMovingPlate(*moving.rd, plate, 1), 0);
    const auto got = test::fieldRecords(*moving.rd);
    const std::vector<MovingPosition> table = moving.rd->movingTable.entries;
    ASSERT_EQ(table.size(), pts.size());
    bool someTurned = false, someMoving = false;

    for (size_t i = 0; i < pts.size(); ++i) {
        const MovingPosition& e = table[i];
        someTurned = someTurned || e.rotation != 0.0;
        someMoving = someMoving || e.velocityX != 0.0;
        Scatterer placed = plate;
        if (e.rotation != 0.0) {
            const double cx = 950.0, cy = 310.0, c = std::cos(e.rotation), s = std::sin(e.rotation);
            placed.x1 = (plate.x1 - cx) * c - (plate.y1 - cy) * s + cx;
            placed.y1 = (plate.x1 - cx) * s + (plate.y1 - cy) * c + cy;
            placed.x2 = (plate.x2 - cx) * c - (plate.y2 - cy) * s + cx;
            placed.y2 = (plate.x2 - cx) * s + (plate.y2 - cy) * c + cy;
            placed.azimuth += e.rotation;
        }
        placed.x1 += e.offsetX;
        placed.y1 += e.offsetY;
        placed.z1 += e.offsetZ;
        placed.x2 += e.offsetX;
        placed.y2 += e.offsetY;
        placed.z2 += e.offsetZ;
        TestRun fixed;
        test::setupCourseArray(*fixed.rd, 1);
        fixed.rd->system.captureWeight = 0.7;
        ObservationPoint p = pts[i];
        p.vx -= e.velocityX;
        p.vy -= e.velocityY;
        p.vz -= e.velocityZ;
        test::setFlight(*fixed.rd, {p}, 1.5);
        ASSERT_EQ(computePlate(*fixed.rd, placed, 1), 0);
        const FieldRecord want = test::fieldRecords(*fixed.rd)[0];
        for (int s = 0; s < 15; ++s) EXPECT_EQ(got[i].slot[s], want.slot[s]) << i << " " << s;
    }
    EXPECT_TRUE(someTurned);
    EXPECT_TRUE(someMoving);
    EXPECT_GT(test::largestValue(got), 0.0);
}

}  // namespace
}  // namespace ils
