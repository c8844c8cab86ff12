// The wire computation against a plain transcription of the thin-wire model,
// step by step, on fixed scenes and on randomised geometries. The
// transcription is written from the model's equations, not from the kernel:
// it shares only the array field, the Doppler factors and the accumulation.
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "path/direct_field.h"
#include "path/run_tables.h"
#include "scatter/numerics.h"
#include "scatter/wire.h"
#include "scatter/wire_scene.h"
#include "support/test_support.h"

namespace ils {
namespace {

using test::TestRun;

// H0(1)(x) = J0(|x|) + j Y0(|x|) from the polynomial approximations,
// written as power sums.
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
    return Complex(j0, y0);
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

// sigma(v): +1 when the horizontal vector has a non-negative component on
// the pattern axis, else -1.
double sideOf(double vx, double vy, double axis) {
    return vx * std::cos(axis) + vy * std::sin(axis) >= 0.0 ? 1.0 : -1.0;
}

// Steps 4.1 and 4.3 at a point X of the wire: incidence cosine, floored
// sin^2 b, the horizontal factor s, the side sign and the current factor.
struct RefIncidence {
    double mu, sin2b, s, sigma, rho;
    Complex B;
};
RefIncidence refIncidence(const double X[3], double Ox, double Oy, double Oz, double k,
                          double radius, double psi, double alpha, double axis, double floor2) {
    RefIncidence r;
    const double ex = X[0] - Ox, ey = X[1] - Oy, ez = X[2] - Oz;
    r.rho = std::fmax(1e-10, std::sqrt(ex * ex + ey * ey));
    const double Ri = std::sqrt(r.rho * r.rho + ez * ez);
    const double sti = ez / Ri, cti = r.rho / Ri;
    const double ci = (std::cos(alpha) * ex + std::sin(alpha) * ey) / r.rho;
    r.s = (std::cos(alpha) * ey - std::sin(alpha) * ex) / r.rho;
    r.mu = cti * std::sin(psi) * ci + sti * std::cos(psi);
    r.sigma = sideOf(ex, ey, axis);
    r.sin2b = std::fmax(1.0 - r.mu * r.mu, floor2);
    const double xB = k * radius * std::sqrt(r.sin2b);
    r.B = xB == 0.0 ? Complex(0, 0)
                    : Complex(0, 1) / (3.14159265359 * r.sin2b * referenceHankel(xB));
    return r;
}

std::vector<FieldRecord> referenceWire(const RunData& rd, const Scatterer& w,
                                       const std::vector<ObservationPoint>& pts) {
    std::vector<FieldRecord> out(pts.size());
    const double L = w.length, psi = w.tilt, al = w.azimuth;
    const double sp = std::sin(psi), cp = std::cos(psi), sa = std::sin(al), ca = std::cos(al);
    const double ds = std::fmax(std::sqrt(referenceNearest(rd, w) * rd.arrays[0].wavelength) / 5.0,
                                0.05 * rd.arrays[0].wavelength);
    const int N = static_cast<int>(L / ds) + 1;
    const double D = L / N;
    const bool longWire = L >= 200.0;
    const double E[2][3] = {{w.x1, w.y1, w.z1}, {w.x2, w.y2, w.z2}};
    for (int j = 0; j <= rd.system.captureEffect; ++j) {
        const AntennaArray& a = rd.arrays[j];
        const double k = a.waveNumber, Ox = a.centroidX, Oy = a.centroidY, Oz = a.centroidZ;
        const double axis = a.pattern.patternAxis;
        const double floor2 = std::fmin(1.0, 2.0 / (k * L));
        const double h = k * D / 2;
        Complex endC[2], endS[2];
        if (!longWire) {
            for (int e = 0; e < 2; ++e) {
                Complex c[2], s[2];
                arrayField(rd, j, 'G', E[e][0], E[e][1], E[e][2], c, s);
                const RefIncidence in = refIncidence(E[e], Ox, Oy, Oz, k, w.radius, psi, al, axis,
                                                     floor2);
                const double ex = E[e][0] - Ox, ey = E[e][1] - Oy;
                const double g =
                    (ey * ca - ex * sa) / std::fmax(1e-10, std::sqrt(ex * ex + ey * ey));
                const double we = -in.sigma * sp * g;
                endC[e] = (c[0] + c[1]) * we * in.B;
                endS[e] = (s[0] + s[1]) * we * in.B;
            }
        }
        for (int s = 0; s < N; ++s) {
            double M[3];
            for (int c = 0; c < 3; ++c) M[c] = E[0][c] + (s + 0.5) * (E[1][c] - E[0][c]) / N;
            const double d1 = (s + 0.5) * D, d2 = L - d1;
            const RefIncidence in = refIncidence(M, Ox, Oy, Oz, k, w.radius, psi, al, axis, floor2);
            Complex c[2], sb[2];
            arrayField(rd, j, 'G', M[0], M[1], M[2], c, sb);
            const double wi = -in.sigma * sp * in.s;
            const Complex csbD = c[0] * wi, csbI = c[1] * wi;
            const Complex sboD = sb[0] * wi, sboI = sb[1] * wi;
            for (size_t p = 0; p < pts.size(); ++p) {
                const ObservationPoint& P = pts[p];
                const double dx = P.x - M[0], dy = P.y - M[1], dz = P.z - M[2];
                if (dx == 0 && dy == 0 && dz == 0) continue;
                const double rhos = std::fmax(1e-10, std::sqrt(dx * dx + dy * dy));
                const double Rs = std::sqrt(rhos * rhos + dz * dz);
                const double sts = dz / Rs, cts = rhos / Rs;
                const double cs = (ca * dx + sa * dy) / rhos, ss = (sa * dx - ca * dy) / rhos;
                const double mus = cts * sp * cs + sts * cp;
                const double sigmaS = sideOf(dx, dy, axis);
                const double Rimg = std::sqrt(rhos * rhos + (P.z + M[2]) * (P.z + M[2]));
                const double S1 = D * sinc(h * (in.mu - mus));
                const double S2 = D * sinc(h * (in.mu - mus + 2 * Oz * cp / in.rho));
                const Complex sumC = in.B * (S1 * csbD + S2 * csbI);
                const Complex sumS = in.B * (S1 * sboD + S2 * sboI);
                Complex Ec(0, 0), Es(0, 0);
                if (!longWire) {
                    const Complex w1 = std::exp(Complex(0, k * d1)) * sinc(h * (1 - mus));
                    const Complex w2 = std::exp(Complex(0, k * d2)) * sinc(h * (1 + mus));
                    Ec = -D * (endC[0] * w1 + endC[1] * w2);
                    Es = -D * (endS[0] * w1 + endS[1] * w2);
                }
                const Complex F = sigmaS * sp * ss * std::exp(Complex(0, k * Rs)) / Rs;
                const Complex Q = 1.0 - (Rs / Rimg) * std::exp(Complex(0, k * (Rimg - Rs)));
                const Complex G = F * Q;
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

// Every slot of every record within rel times the largest value.
void expectRecordsClose(const std::vector<FieldRecord>& got, const std::vector<FieldRecord>& want,
                        double rel, const std::string& label) {
    ASSERT_EQ(got.size(), want.size());
    const double scale = test::largestValue(want);
    ASSERT_GT(scale, 0.0) << label;
    for (size_t i = 0; i < got.size(); ++i) {
        for (int s = 0; s < 12; ++s) {
            EXPECT_NEAR(got[i].slot[s].real(), want[i].slot[s].real(), rel * scale)
                << label << " point " << i << " slot " << s;
            EXPECT_NEAR(got[i].slot[s].imag(), want[i].slot[s].imag(), rel * scale)
                << label << " point " << i << " slot " << s;
        }
    }
}

std::vector<ObservationPoint> mixedPoints() {
    std::vector<ObservationPoint> pts = test::approachPoints(9);
    pts.push_back({700.0, -350.0, 55.0, -150.0, 40.0, -3.0});
    pts.push_back({1200.0, 900.0, 12.0, 0.0, -60.0, 0.0});
    pts.push_back({-400.0, 30.0, 300.0, -220.0, 0.0, -12.0});
    pts.push_back({1500.0, 10.0, 0.0, -220.0, 0.0, 0.0});  // on the ground
    return pts;
}

// Runs the wire over the given points and compares with the transcription.
void expectMatchesModel(TestRun& t, const Scatterer& w, const std::vector<ObservationPoint>& pts,
                        double rel, const std::string& label) {
    test::setFlight(*t.rd, pts);
    ASSERT_EQ(computeWire(*t.rd, w, 1), 0) << t.logText();
    expectRecordsClose(test::fieldRecords(*t.rd), referenceWire(*t.rd, w, pts), rel, label);
}

TEST(WireReference, ShortSlopedWireMatchesTheModel) {
    TestRun t;
    test::setupCourseArray(*t.rd);
    const Scatterer w = test::makeWire(900.0, -60.0, 20.0, 960.0, 50.0, 45.0, 0.03);
    ASSERT_LT(w.length, 200.0);
    expectMatchesModel(t, w, mixedPoints(), 1e-12, "short");
}

TEST(WireReference, LongWireWithClearanceArrayMatchesTheModel) {
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
    c.pattern.patternAxis = 0.3;
    const Scatterer w = test::makeWire(1100.0, -250.0, 35.0, 1050.0, 260.0, 28.0, 0.05);
    ASSERT_GE(w.length, 200.0);
    expectMatchesModel(t, w, mixedPoints(), 1e-12, "long");
}

TEST(WireReference, RandomisedGeometriesMatchTheModel) {
    std::mt19937 gen(20261208);
    auto uni = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(gen); };
    for (int trial = 0; trial < 40; ++trial) {
        TestRun t;
        RunData& rd = *t.rd;
        const int capture = trial % 3 == 0 ? 1 : 0;
        test::setupStation(rd, uni(7.0, 10.0), capture);
        rd.system.captureWeight = uni(0.2, 1.0);
        for (int j = 0; j <= capture; ++j) {
            AntennaArray& a = rd.arrays[j];
            if (j == 1) {
                a.wavelength = uni(7.0, 10.0);
                a.waveNumber = kTwoPi / a.wavelength;
            }
            a.pattern.patternType = 'D';
            a.pattern.patternAxis = uni(-3.2, 3.2);
            const int count = 1 + trial % 4;
            for (int i = 0; i < count; ++i) {
                test::addStationElement(rd, j, uni(-30, 30), uni(-40, 40), uni(2, 40),
                                        Complex(uni(-1, 1), uni(-1, 1)),
                                        Complex(uni(-0.5, 0.5), uni(-0.5, 0.5)));
            }
        }
        // Short and long, level, sloping and steep wires around the station,
        // some passing over it.
        const double cx = uni(-2000, 2000), cy = uni(-2000, 2000);
        const double half = trial % 2 == 0 ? uni(10, 95) : uni(110, 700);
        const double az = uni(-3.2, 3.2);
        const double rise = trial % 5 == 0 ? uni(-half, half) : uni(-20, 20);
        const double z0 = uni(5, 150);
        const Scatterer w = test::makeWire(cx - half * std::cos(az), cy - half * std::sin(az),
                                           z0, cx + half * std::cos(az),
                                           cy + half * std::sin(az), std::fmax(0.0, z0 + rise),
                                           uni(0.005, 0.2));
        std::vector<ObservationPoint> pts;
        for (int p = 0; p < 7; ++p) {
            pts.push_back({uni(-9000, 9000), uni(-9000, 9000), p == 0 ? 0.0 : uni(0, 1500),
                           uni(-250, 250), uni(-250, 250), uni(-20, 20)});
        }
        expectMatchesModel(t, w, pts, 1e-11, "trial " + std::to_string(trial));
    }
}

}  // namespace
}  // namespace ils
