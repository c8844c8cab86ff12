// A low, tilted plate over the ground, computed through a command file and
// read back from the FieldFile, against an independent transcription of the
// physical-optics steps: patches, sources, the incident field and its
// ground-reflected copy, the direct and ground-image observation paths with
// the tilt in both directions, the material's reflection coefficients, the
// polarisation factor, the Doppler filter and the accumulation into the
// slots. Tolerance: 1e-9 of the largest slot magnitude of each record (the
// library keeps patch centres as running sums; the transcription does not).
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace ils {
namespace {

using C = std::complex<double>;

constexpr double kC = 983571056.4304461;  // feet per second
constexpr double kTwoPiValue = 6.28318530718;
constexpr double kDeg = 0.017453292519944444;
constexpr double kFrequencyMHz = 110.1;

struct Vec {
    double x, y, z;
};
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double norm(Vec a) { return std::sqrt(dot(a, a)); }

double sincOf(double x) { return std::fabs(x) < 0.0001 ? 1.0 - x * x / 6.0 : std::sin(x) / x; }

struct Element {
    Vec pos;
    double csbAmp, csbPhase, sboAmp, sboPhase;  // magnitudes, degrees
};

// Two course elements of a localizer, pattern D on axis 0, near field.
const std::vector<Element> kElements = {
    {{0.0, -6.0, 9.0}, 1.0, 0.0, 0.6, 180.0},
    {{0.0, 6.0, 11.0}, 0.8, 20.0, 0.6, 0.0},
};

struct Point {
    Vec pos, vel;
};
const std::vector<Point> kPoints = {
    {{50.0, -150.0, 30.0}, {120.0, 10.0, -4.0}},
    {{150.0, -60.0, 12.0}, {-90.0, 40.0, 0.0}},
    {{120.0, 40.0, 4.0}, {60.0, -60.0, 6.0}},
    {{260.0, -10.0, 45.0}, {10.0, 150.0, 0.0}},
    {{500.0, 20.0, 20.0}, {0.0, 30.0, 0.0}},  // behind the plate
};

struct Plate {
    double x1, y1, x2, y2, z1, height, tiltDegrees;
    int contributionCode, bothSides;
    double mu, eps, sigma;  // relative permeability, permittivity, S/m (material 11)
};

struct Material {
    double permeability, permittivity, conductivity;
};

Material materialOf(const Plate& p) {
    // Line-1 values are single precision, widened.
    return {static_cast<double>(static_cast<float>(p.mu)) * 1.25663706143e-6,
            static_cast<double>(static_cast<float>(p.eps)) * 8.85418781762e-12,
            static_cast<double>(static_cast<float>(p.sigma))};
}

std::string number(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string commandFile(const Plate& p, const std::string& profilePath) {
    std::string s = "SY\nL S N F\n" + number(kFrequencyMHz) + "\n";
    s += "CO\n" + std::to_string(kElements.size()) + " F M D\n0 0 0 0 0\n";
    for (const Element& e : kElements) {
        s += "E     " + number(e.pos.x) + " " + number(e.pos.y) + " " + number(e.pos.z) + " " +
             number(e.csbAmp) + " " + number(e.csbPhase) + " " + number(e.sboAmp) + " " +
             number(e.sboPhase) + "\n";
    }
    s += "D 0 D\n";
    s += "FP\nU F F F\n0 0 0\n" + profilePath + "\n";
    s += "SP\nF " + std::to_string(p.contributionCode) + " " + std::to_string(p.bothSides) +
         " 11 " + number(p.mu) + " " + number(p.eps) + " " + number(p.sigma) + "\n";
    s += number(p.x1) + " " + number(p.y1) + " " + number(p.x2) + " " + number(p.y2) + " " +
         number(p.z1) + " " + number(p.height) + " " + number(p.tiltDegrees) + "\n";
    return s + "EN\n";
}

std::string profileFile() {
    std::string s = std::to_string(kPoints.size()) + "\n";
    for (const Point& p : kPoints) {
        s += number(p.pos.x) + " " + number(p.pos.y) + " " + number(p.pos.z) + "\n" +
             number(p.vel.x) + " " + number(p.vel.y) + " " + number(p.vel.z) + "\n";
    }
    return s;
}

// ---- the transcription ----------------------------------------------------

struct Geometry {
    double ni, ei, si, ci, eo, no, so, co, ct, st, cI, s2, A, B;
};

void reflection(const Material& m, double omega, double s2, double cI, C& perp, C& par) {
    const double me = m.permeability * m.permittivity;
    const C mc(me, -(m.conductivity / (omega * m.permittivity)) * me);
    const C eta = m.permeability / std::sqrt(mc);
    const C q = (s2 * 1.11265005604833e-17) / mc;
    const C ct = std::sqrt(1.0 - q);
    const double eta0 = 376.730313461;
    perp = (eta * cI - eta0 * ct) / (eta * cI + eta0 * ct);
    par = (eta0 * cI - eta * ct) / (eta0 * cI + eta * ct);
}

C polarization(C perp, C par, const Geometry& g) {
    if (g.ni < 0) return 0.0;
    const double r1 = g.si * g.so - g.B * g.ci * g.co;
    const double m1 = g.A * g.ci * g.co;
    const double o1 = -g.co * g.ct * g.no - g.st * g.so;
    const double wA = (r1 * g.ct * g.co * g.eo - m1 * o1) * (-g.ct * g.ei * g.cI / g.s2);
    const double wB = (g.cI * g.ct * g.co * g.eo - m1) * (-g.ct * g.ei / g.s2);
    const double e1 = (g.si * g.ct * g.ni + g.ci * g.st) / g.s2;
    const double wC = (r1 * g.so - g.si - (g.st + g.so * o1) * g.cI) * e1;
    const double wD = (-g.st * r1 - g.si * o1) * e1 * g.cI;
    return (par - 1.0) * wA - (par + 1.0) * wB - (perp + 1.0) * wC + (perp - 1.0) * wD;
}

using Record = std::vector<C>;  // 15 slots

std::vector<Record> transcribe(const Plate& p) {
    const double lambda = kC / (kFrequencyMHz * 1000000.0);
    const double k = kTwoPiValue / lambda;
    const double omega = k * kC;
    const Material mat = materialOf(p);
    const double azimuth = std::atan2(p.y2 - p.y1, p.x2 - p.x1);
    const double width = std::hypot(p.x2 - p.x1, p.y2 - p.y1);
    const double tilt = p.tiltDegrees * kDeg;
    const double sa = std::sin(azimuth), ca = std::cos(azimuth);
    const double ct = std::cos(tilt), st = std::sin(tilt);
    const double sign = p.contributionCode == 1 ? -1.0 : 1.0;
    const double a = sign / (2.0 * lambda);

    const Vec e1{p.x1, p.y1, p.z1}, e2{p.x2, p.y2, p.z1};
    const Vec mid{(p.x1 + p.x2) / 2, (p.y1 + p.y2) / 2, p.z1};
    double dmin = 1e20;
    for (const Element& e : kElements)
        for (Vec v : {e1, e2, mid}) dmin = std::min(dmin, norm(v - e.pos));
    dmin = std::max(dmin, 1e-10);
    const double limit = std::sqrt(dmin * lambda) / 2.5;
    EXPECT_GT(limit, 0.1 * lambda);  // the subdivision floor plays no part here
    const int nc = static_cast<int>(std::trunc(width / limit)) + 1;
    const int nr = static_cast<int>(std::trunc(p.height / limit)) + 1;
    const double dl = width / nc, dh = p.height / nr;
    EXPECT_GT(nc * nr, 2);

    const C quarter(std::cos(1.570796326795), std::sin(1.570796326795));
    std::vector<Record> out(kPoints.size(), Record(15, 0.0));
    for (int row = 0; row < nr; ++row) {
        for (int col = 0; col < nc; ++col) {
            const double fc = col + 0.5, fr = row + 0.5;
            const Vec Q{p.x1 + fc * (p.x2 - p.x1) / nc - fr * st * dh * sa,
                        p.y1 + fc * (p.y2 - p.y1) / nc + fr * st * dh * ca, p.z1 + fr * ct * dh};
            for (const Element& el : kElements) {
                const Vec S = el.pos;
                const Vec d = Q - S;
                const double rhoI = std::max(1e-10, std::hypot(d.x, d.y));
                const double Ri = std::sqrt(rhoI * rhoI + d.z * d.z);
                Geometry g{};
                g.ct = ct;
                g.st = st;
                g.ni = (d.y * ca - d.x * sa) / rhoI;
                g.ei = (d.y * sa + d.x * ca) / rhoI;
                if (g.ni <= 0) continue;
                g.si = d.z / Ri;
                g.ci = rhoI / Ri;
                g.cI = g.ci * ct * g.ni - g.si * st;
                g.s2 = 1.0 - g.cI * g.cI;
                // Incident field of the element at Q, its pattern centred on it.
                const double R = norm(Q - S);
                const C F = std::exp(C(0.0, k * R)) / R;
                const double pattern = std::fabs(std::cos(std::atan2(d.y, d.x) - 0.0));
                const C csbCurrent = el.csbAmp * C(std::cos(el.csbPhase * kDeg), std::sin(el.csbPhase * kDeg));
                const C sboCurrent =
                    el.sboAmp * C(std::cos(el.sboPhase * kDeg), std::sin(el.sboPhase * kDeg)) * quarter;
                const C Ec = csbCurrent * F * pattern;
                const C Es = sboCurrent * F * pattern;
                const double phig = 2.0 * k * S.z * Q.z / rhoI;
                const C Ecg = -Ec * std::exp(C(0.0, phig));
                const C Esg = -Es * std::exp(C(0.0, phig));
                C perp, par;
                reflection(mat, omega, g.s2, g.cI, perp, par);
                const double ui = g.ci * st * g.ni + g.si * ct;
                const double eiv = g.ci * g.ei;
                for (size_t i = 0; i < kPoints.size(); ++i) {
                    const Vec O = kPoints[i].pos, v = kPoints[i].vel;
                    const Vec w = O - Q;
                    const double rhoS = std::max(1e-10, std::hypot(w.x, w.y));
                    g.no = (w.x * sa - w.y * ca) / rhoS;
                    g.eo = (w.y * sa + w.x * ca) / rhoS;
                    if (!(g.no > 0) && p.bothSides == 0) continue;
                    g.A = g.eo * g.ni + g.no * g.ei;
                    g.B = g.no * g.ni - g.eo * g.ei;
                    // Direct observation path.
                    const double Rs = std::sqrt(rhoS * rhoS + w.z * w.z);
                    g.co = rhoS / Rs;
                    g.so = w.z / Rs;
                    const double b = ui - (g.so * ct - g.co * g.no * st);
                    const double fE = sincOf(k * dl / 2 * (eiv - g.co * g.eo)) * dl * dh;
                    const double Sdd = sincOf(k * dh / 2 * b);
                    const double Srd = sincOf(k * dh / 2 * (2 * S.z * ct / rhoI + b));
                    const C X1 = fE * polarization(perp, par, g) * std::exp(C(0.0, k * Rs)) / Rs;
                    // Ground-image observation path.
                    const double wzi = -(Q.z + O.z);
                    const double Rsi = std::sqrt(rhoS * rhoS + wzi * wzi);
                    g.co = rhoS / Rsi;
                    g.so = wzi / Rsi;
                    const double bi = ui - (g.so * ct - g.co * g.no * st);
                    const double fEi = -sincOf(k * dl / 2 * (eiv - g.co * g.eo)) * dl * dh;
                    const double Sdr = sincOf(k * dh / 2 * bi);
                    const double Srr = sincOf(k * dh / 2 * (2 * S.z * ct / rhoI + bi));
                    const C X2 = fEi * polarization(perp, par, g) * std::exp(C(0.0, k * Rsi)) / Rsi;
                    const C Td = Sdd * X1 + Sdr * X2;
                    const C Tr = Srd * X1 + Srr * X2;
                    const C csb = C(0.0, a) * (Ec * Td + Ecg * Tr);
                    const C sbo = C(0.0, a) * (Es * Td + Esg * Tr);
                    // Doppler filter.
                    const double wd = k * dot(O - S, v) / norm(O - S);
                    const double ws = k * dot(O - Q, v) / norm(O - Q);
                    const double u = (ws - wd) * 0.06666666666666667 * 0.5;
                    const double f90 = sincOf(u + 18.849555921540002);
                    const double f150 = sincOf(u + 31.4159265359);
                    const double f0 = sincOf(u);
                    const double f60 = sincOf(u + 12.56637061436);
                    Record& r = out[i];
                    r[0] += csb;
                    r[2] += f0 * (csb - sbo);
                    r[3] += f0 * (csb + sbo);
                    r[6] += f60 * (csb + sbo);
                    r[7] += f60 * (csb - sbo);
                    r[10] += f90 * csb;
                    r[11] += f150 * csb;
                }
            }
        }
    }
    for (Record& r : out) {
        r[12] = C(std::abs(r[6]), std::abs(r[7]));
        r[13] = C(std::abs(r[8]), std::abs(r[9]));
        r[14] = C(std::abs(r[10]), std::abs(r[11]));
    }
    return out;
}

void expectPlateMatches(const Plate& plate) {
    const std::string dir = test::makeTempDir("platetranscript");
    test::writeFile(dir + "points.txt", profileFile());
    const test::CalcResult r = test::runCommandFile(commandFile(plate, dir + "points.txt"));
    ASSERT_EQ(r.state, 2) << r.log;
    ASSERT_EQ(r.fieldFile.size(), 20 + 504 * kPoints.size());
    const std::vector<Record> want = transcribe(plate);
    double total = 0.0;
    for (size_t i = 0; i < kPoints.size(); ++i) {
        SCOPED_TRACE("point " + std::to_string(i));
        const size_t at = 20 + 504 * i + 24;
        double scale = 0.0;
        for (int s = 0; s < 15; ++s) scale = std::max(scale, std::abs(want[i][s]));
        total += scale;
        for (int s = 0; s < 15; ++s) {
            const C got(test::doubleAt(r.fieldFile, at + 16 * s), test::doubleAt(r.fieldFile, at + 16 * s + 8));
            EXPECT_LE(std::abs(got - want[i][s]), 1e-9 * scale + 1e-300)
                << "slot " << s << " got " << got << " want " << want[i][s];
        }
    }
    EXPECT_GT(total, 0.0);  // the plate reaches the observers
}

TEST(PlateTranscription, LowPlateTiltedUpOverGround) {
    // Bottom edge 2 ft up, 7 ft high, leaning 25 degrees back; facing the
    // array; a dielectric material.
    expectPlateMatches({320.0, 45.0, 300.0, -40.0, 2.0, 7.0, 25.0, 0, 0, 1.0, 10.0, 5e-6});
}

TEST(PlateTranscription, NegatedPlateTiltedDownSeenFromBothSides) {
    expectPlateMatches({320.0, 45.0, 300.0, -40.0, 1.0, 5.0, -15.0, 1, 1, 1.5, 4.0, 0.01});
}

}  // namespace
}  // namespace ils
