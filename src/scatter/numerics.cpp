#include "scatter/numerics.h"

#include <cmath>

#include "path/direct_field.h"

namespace ils {
namespace {

constexpr double kFilterTime = 0.06666666666666667;      // receiver averaging, seconds

// The physical-optics factor as written for an incidence away from the
// normal; it divides by sin2Inc.
Complex plainPolarizationFactor(const ScatterGeometry& g, Complex gammaPerp, Complex gammaPar) {
    const double ni = g.incAlongNormal, ei = g.incAlongEdge;
    const double si = g.sinIncElev, ci = g.cosIncElev;
    const double eo = g.obsAlongEdge, no = g.obsAcrossFront;
    const double so = g.sinObsElev, co = g.cosObsElev;
    const double ct = g.cosTilt, st = g.sinTilt;
    const double cI = g.cosInc, s2 = g.sin2Inc;
    const double A = g.crossA, B = g.crossB;
    if (ni < 0) return Complex(0.0, 0.0);
    const double r1 = si * so - B * ci * co;
    const double m1 = A * ci * co;
    const double o1 = -co * ct * no - st * so;
    const double wA = (r1 * ct * co * eo - m1 * o1) * (-ct * ei * cI / s2);
    const double wB = (cI * ct * co * eo - m1) * (-ct * ei / s2);
    const double e1 = (si * ct * ni + ci * st) / s2;
    const double wC = (r1 * so - si - (st + so * o1) * cI) * e1;
    const double wD = (-st * r1 - si * o1) * e1 * cI;
    return (gammaPar - 1.0) * wA - (gammaPar + 1.0) * wB - (gammaPerp + 1.0) * wC +
           (gammaPerp - 1.0) * wD;
}

}  // namespace

ScatterGeometry turnedIncidenceGeometry(const ScatterGeometry& g, double delta) {
    // Incident direction in the plate's frame: along the edge, along the
    // normal n, along the up vector.
    const double alongEdge = g.cosIncElev * g.incAlongEdge;
    const double alongNormal = g.cosInc;
    const double alongUp =
        g.cosIncElev * g.sinTilt * g.incAlongNormal + g.sinIncElev * g.cosTilt;
    const double c = std::cos(delta), s = std::sin(delta);
    const double n2 = alongNormal * c - alongUp * s;
    const double u2 = alongNormal * s + alongUp * c;
    // Back to the horizontal frame: (-sin a, cos a, 0) = n cosTilt + u sinTilt.
    const double horizontalNormal = n2 * g.cosTilt + u2 * g.sinTilt;
    const double vertical = -n2 * g.sinTilt + u2 * g.cosTilt;
    ScatterGeometry t = g;
    const double rho = std::fmax(1e-10, std::hypot(alongEdge, horizontalNormal));
    const double r = std::sqrt(rho * rho + vertical * vertical);
    t.incAlongNormal = horizontalNormal / rho;
    t.incAlongEdge = alongEdge / rho;
    t.sinIncElev = vertical / r;
    t.cosIncElev = rho / r;
    t.cosInc = t.cosIncElev * t.cosTilt * t.incAlongNormal - t.sinIncElev * t.sinTilt;
    t.sin2Inc = 1.0 - t.cosInc * t.cosInc;
    t.crossA = t.obsAlongEdge * t.incAlongNormal + t.obsAcrossFront * t.incAlongEdge;
    t.crossB = t.obsAcrossFront * t.incAlongNormal - t.obsAlongEdge * t.incAlongEdge;
    return t;
}

double nearestElementDistance(const Station& st, const Scatterer& s) {
    const double px[3] = {s.x1, s.x2, (s.x1 + s.x2) / 2.0};
    const double py[3] = {s.y1, s.y2, (s.y1 + s.y2) / 2.0};
    const double pz[3] = {s.z1, s.z2, (s.z1 + s.z2) / 2.0};
    // The least square, then one root: the root is monotonic and correctly
    // rounded, so this is the least root (a moving plate asks at every point).
    double bestSquare = HUGE_VAL;
    const int arrays = st.arrayCount();
    for (int j = 0; j < arrays; ++j) {
        const AntennaArray& a = st.arrays[j];
        for (int i = 0; i < a.elementCount; ++i) {
            for (int m = 0; m < 3; ++m) {
                const double dx = a.elementX[i] - px[m];
                const double dy = a.elementY[i] - py[m];
                const double dz = a.elementZ[i] - pz[m];
                const double square = dx * dx + dy * dy + dz * dz;
                if (square < bestSquare) bestSquare = square;
            }
        }
    }
    return std::fmax(std::fmin(std::sqrt(bestSquare), 1e20), 1e-10);
}

void elementIncidentField(const Station& st, int j, int i, char groundOption, double x, double y,
                          double z, Complex csb[2], Complex sbo[2]) {
    csb[0] = csb[1] = sbo[0] = sbo[1] = Complex(0.0, 0.0);
    const AntennaArray& a = st.arrays[j];
    const int passes = groundOption == 'G' ? 2 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const double ze = pass == 0 ? a.elementZ[i] : -a.elementZ[i];
        const double sign = pass == 0 ? 1.0 : -1.0;
        const double dx = x - a.elementX[i];
        const double dy = y - a.elementY[i];
        const double dz = z - ze;
        const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (r == 0.0) continue;  // 1/R is undefined on the element itself: adds nothing
        const Complex f = std::exp(Complex(0.0, a.waveNumber * r)) / r;
        Complex c = a.csbCurrent[i] * f;
        Complex s = a.sboCurrent[i] * f;
        if (dx != 0.0 || dy != 0.0) {
            const double phi = std::atan2(dy, dx) - a.pattern.patternAxis;
            const double eps = std::atan2(dz, std::sqrt(dx * dx + dy * dy));
            const double g = patternValue(a.pattern, phi, eps);
            c *= g;
            s *= g;
        }
        csb[pass] = sign * c;
        sbo[pass] = sign * s;
    }
}

MaterialConstants materialConstants(double omega, double permeability, double permittivity,
                                    double conductivity) {
    const double mu = permeability, eps = permittivity;
    MaterialConstants c;
    c.m = Complex(mu * eps, -(conductivity / (omega * eps)) * mu * eps);
    c.eta = mu / std::sqrt(c.m);
    return c;
}

void reflectionCoefficients(const MaterialConstants& material, const ScatterGeometry& g,
                            Complex& gammaPerp, Complex& gammaPar) {
    const Complex eta = material.eta;
    const Complex q = (g.sin2Inc * kMuZeroEpsZero) / material.m;
    const Complex ct = std::sqrt(1.0 - q);
    const double cI = g.cosInc;
    gammaPerp = (eta * cI - kFreeSpaceImpedance * ct) / (eta * cI + kFreeSpaceImpedance * ct);
    gammaPar = (kFreeSpaceImpedance * cI - eta * ct) / (kFreeSpaceImpedance * cI + eta * ct);
}

void materialReflectionCoefficients(const ScatterGeometry& g, double permeability,
                                    double permittivity, double conductivity, Complex& gammaPerp,
                                    Complex& gammaPar) {
    reflectionCoefficients(materialConstants(g.omega, permeability, permittivity, conductivity), g,
                           gammaPerp, gammaPar);
}

Complex polarizationFactor(const ScatterGeometry& g, Complex gammaPerp, Complex gammaPar) {
    if (g.incAlongNormal < 0) return Complex(0.0, 0.0);
    if (g.sin2Inc >= kNearNormalSin2) return plainPolarizationFactor(g, gammaPerp, gammaPar);
    // Within about 1e-4 rad of the normal 1 - cosInc^2 loses every digit
    // (0/0 at the normal) although the factor itself is smooth there: take
    // the mean over the incidence turned both ways about the bottom edge.
    const Complex plus =
        plainPolarizationFactor(turnedIncidenceGeometry(g, kNearNormalTurn), gammaPerp, gammaPar);
    const Complex minus =
        plainPolarizationFactor(turnedIncidenceGeometry(g, -kNearNormalTurn), gammaPerp, gammaPar);
    return 0.5 * (plus + minus);
}

DopplerFactors dopplerFilterFactors(const double source[3], const double scatter[3],
                                    const double observer[3], const double velocity[3], double k) {
    // Rate of change of a path length towards the observer; a path of zero
    // length has no direction and is taken as not changing.
    auto pathRate = [&](const double from[3]) {
        const double d[3] = {observer[0] - from[0], observer[1] - from[1], observer[2] - from[2]};
        const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        if (len == 0.0) return 0.0;
        return k * (d[0] * velocity[0] + d[1] * velocity[1] + d[2] * velocity[2]) / len;
    };
    const double wd = pathRate(source);
    const double ws = pathRate(scatter);
    const double u = (ws - wd) * kFilterTime * 0.5;
    DopplerFactors f;
    f.f90 = sinc(u + 18.849555921540002);
    f.f150 = sinc(u + 31.4159265359);
    f.f0 = sinc(u);
    f.f60 = sinc(u + 12.56637061436);
    return f;
}

}  // namespace ils
