#include "scatter/plate_patch.h"

#include <cmath>

#include "path/direct_field.h"

namespace ils {
namespace {

// Patches finer than a tenth of a wavelength add nothing to the sum's
// accuracy; this floor only matters for a plate whose end or middle lies
// within a sixteenth of a wavelength of an element (dmin near 0 would
// otherwise ask for billions of patches).
constexpr double kMinPatchWavelengths = 0.1;
// Bound on patches along one side, against an unbounded count.
constexpr double kMaxPatchesPerSide = 1.0e6;

int32_t patchCount(double length, double limit) {
    const double n = std::trunc(length / limit);
    if (!(n >= 0.0)) return 1;  // negative or not a number
    return static_cast<int32_t>(std::fmin(n, kMaxPatchesPerSide)) + 1;
}

bool finite(Complex c) { return std::isfinite(c.real()) && std::isfinite(c.imag()); }

}  // namespace

void setupPlateFrame(const Station& st, const Scatterer& plate, PlateFrame& f) {
    f.sinAz = std::sin(plate.azimuth);
    f.cosAz = std::cos(plate.azimuth);
    f.cosTilt = std::cos(plate.tilt);
    f.sinTilt = std::sin(plate.tilt);
    f.dmin = nearestElementDistance(st, plate);
    const double lambda = st.arrays[0].wavelength;
    f.patchLimit = std::fmax(std::sqrt(f.dmin * lambda) / 2.5, kMinPatchWavelengths * lambda);

    if (st.system.systemType == 'G') {
        f.nearMode = true;
    } else if (st.system.farFieldCode == 'A') {
        f.nearMode = f.dmin < st.farFieldDistance;
    } else {
        f.nearMode = st.system.farFieldCode != 'F';
    }

    f.nc = patchCount(plate.horizontalLength, f.patchLimit);
    f.nr = patchCount(plate.height, f.patchLimit);
    f.dl = plate.horizontalLength / f.nc;
    f.dh = plate.height / f.nr;

    f.cstep[0] = (plate.x2 - plate.x1) / f.nc;
    f.cstep[1] = (plate.y2 - plate.y1) / f.nc;
    f.cstep[2] = 0.0;
    f.rstep[0] = -f.sinTilt * f.dh * f.sinAz;
    f.rstep[1] = f.sinTilt * f.dh * f.cosAz;
    f.rstep[2] = f.cosTilt * f.dh;
    f.first[0] = plate.x1 + f.cstep[0] / 2.0 + f.rstep[0] / 2.0;
    f.first[1] = plate.y1 + f.cstep[1] / 2.0 + f.rstep[1] / 2.0;
    f.first[2] = plate.z1 + f.cstep[2] / 2.0 + f.rstep[2] / 2.0;

    f.arrayCount = st.arrayCount();
    for (int j = 0; j < 2; ++j) {
        const bool used = j < f.arrayCount;
        f.sourceCount[j] = !used ? 0 : f.nearMode ? st.arrays[j].elementCount : 1;
        if (f.sourceCount[j] < 0) f.sourceCount[j] = 0;
        if (used) {
            f.material[j] = materialConstants(st.arrays[j].waveNumber * kSpeedOfLightFt,
                                              plate.permeability, plate.permittivity,
                                              plate.conductivity);
        }
    }
}

void patchCentre(const PlateFrame& f, int32_t p, int32_t q, double centre[3]) {
    double row[3] = {f.first[0], f.first[1], f.first[2]};
    for (int32_t r = 0; r < p; ++r) addStep(row, f.rstep);
    for (int i = 0; i < 3; ++i) centre[i] = row[i];
    for (int32_t c = 0; c < q; ++c) addStep(centre, f.cstep);
}

void sourcePosition(const Station& st, const PlateFrame& f, int j, int s, double pos[3]) {
    const AntennaArray& a = st.arrays[j];
    if (f.nearMode) {
        pos[0] = a.elementX[s];
        pos[1] = a.elementY[s];
        pos[2] = a.elementZ[s];
    } else {
        pos[0] = a.centroidX;
        pos[1] = a.centroidY;
        pos[2] = a.centroidZ;
    }
}

bool setupPatchSource(const Station& st, const Scatterer& plate, const PlateFrame& f, int j,
                      int s, const double centre[3], PatchSource& ps) {
    const AntennaArray& a = st.arrays[j];
    ps.j = j;
    for (int i = 0; i < 3; ++i) ps.centre[i] = centre[i];
    sourcePosition(st, f, j, s, ps.source);
    ps.sourceHeight = ps.source[2];

    ScatterGeometry& g = ps.geometry;
    g = ScatterGeometry{};
    g.cosTilt = f.cosTilt;
    g.sinTilt = f.sinTilt;
    g.k = a.waveNumber;
    g.omega = a.waveNumber * kSpeedOfLightFt;

    const double dx = centre[0] - ps.source[0];
    const double dy = centre[1] - ps.source[1];
    const double dz = centre[2] - ps.source[2];
    ps.rhoI = std::fmax(1e-10, std::sqrt(dx * dx + dy * dy));
    const double ri = std::sqrt(ps.rhoI * ps.rhoI + dz * dz);
    g.incAlongNormal = (dy * f.cosAz - dx * f.sinAz) / ps.rhoI;
    g.incAlongEdge = (dy * f.sinAz + dx * f.cosAz) / ps.rhoI;
    if (g.incAlongNormal <= 0) return false;  // the source lies behind the plate

    g.sinIncElev = dz / ri;
    g.cosIncElev = ps.rhoI / ri;
    g.cosInc = g.cosIncElev * g.cosTilt * g.incAlongNormal - g.sinIncElev * g.sinTilt;
    g.sin2Inc = 1.0 - g.cosInc * g.cosInc;

    Complex csb[2], sbo[2];
    if (f.nearMode) {
        elementIncidentField(st, j, s, 'F', centre[0], centre[1], centre[2], csb, sbo);
    } else {
        arrayField(st, j, 'F', centre[0], centre[1], centre[2], csb, sbo);
    }
    ps.ec = csb[0];
    ps.es = sbo[0];
    // Two-ray ground reflection of the incident field (image source, -1).
    const double phiG = 2.0 * g.k * ps.sourceHeight * centre[2] / ps.rhoI;
    const Complex turn = std::exp(Complex(0.0, phiG));
    ps.ecGround = -ps.ec * turn;
    ps.esGround = -ps.es * turn;

    reflectionCoefficients(f.material[j], g, ps.gammaPerp, ps.gammaPar);

    ps.ui = g.cosIncElev * g.sinTilt * g.incAlongNormal + g.sinIncElev * g.cosTilt;
    ps.ei = g.cosIncElev * g.incAlongEdge;

    ps.jAmplitude = patchAmplitude(plate, a.wavelength);
    ps.groundShift = 2.0 * ps.sourceHeight * g.cosTilt / ps.rhoI;
    ps.halfKdl = g.k * f.dl / 2.0;
    ps.halfKdh = g.k * f.dh / 2.0;
    ps.dl = f.dl;
    ps.dh = f.dh;
    return true;
}

void observePatch(const PlateFrame& f, const double centre[3], const ObservationPoint& o,
                  PatchObserver& ob) {
    ob.w[0] = o.x - centre[0];
    ob.w[1] = o.y - centre[1];
    ob.w[2] = o.z - centre[2];
    ob.rhoS = std::fmax(1e-10, std::sqrt(ob.w[0] * ob.w[0] + ob.w[1] * ob.w[1]));
    ob.obsAcrossFront = (ob.w[0] * f.sinAz - ob.w[1] * f.cosAz) / ob.rhoS;
    ob.obsAlongEdge = (ob.w[1] * f.sinAz + ob.w[0] * f.cosAz) / ob.rhoS;
}

void evaluatePatchPoint(const PatchSource& ps, const PatchObserver& ob, const ObservationPoint& o,
                        const double velocity[3], PatchContribution& out) {
    ScatterGeometry g = ps.geometry;
    g.obsAcrossFront = ob.obsAcrossFront;
    g.obsAlongEdge = ob.obsAlongEdge;
    g.crossA = g.obsAlongEdge * g.incAlongNormal + g.obsAcrossFront * g.incAlongEdge;
    g.crossB = g.obsAcrossFront * g.incAlongNormal - g.obsAlongEdge * g.incAlongEdge;
    const double k = g.k;

    // One observation path (direct, or via the ground image of the observer):
    // the edge factor, the two height factors (direct and ground-reflected
    // incidence) and the path term X.
    auto path = [&](double wz, double groundSign, double& sDirect, double& sReflected) {
        const double rs = std::sqrt(ob.rhoS * ob.rhoS + wz * wz);
        g.cosObsElev = ob.rhoS / rs;
        g.sinObsElev = wz / rs;
        const double uo = g.sinObsElev * g.cosTilt - g.cosObsElev * g.obsAcrossFront * g.sinTilt;
        const double b = ps.ui - uo;
        const double fE =
            groundSign * sinc(ps.halfKdl * (ps.ei - g.cosObsElev * g.obsAlongEdge)) * ps.dl * ps.dh;
        sDirect = sinc(ps.halfKdh * b);
        sReflected = sinc(ps.halfKdh * (ps.groundShift + b));
        const Complex p = polarizationFactor(g, ps.gammaPerp, ps.gammaPar);
        return fE * p * std::exp(Complex(0.0, k * rs)) / rs;
    };
    double sdd = 0, srd = 0, sdr = 0, srr = 0;
    const Complex x1 = path(ob.w[2], 1.0, sdd, srd);
    const Complex x2 = path(-(ps.centre[2] + o.z), -1.0, sdr, srr);
    const Complex td = sdd * x1 + sdr * x2;
    const Complex tr = srd * x1 + srr * x2;
    out.csb = ps.jAmplitude * (ps.ec * td + ps.ecGround * tr);
    out.sbo = ps.jAmplitude * (ps.es * td + ps.esGround * tr);

    const double observer[3] = {o.x, o.y, o.z};
    out.doppler = dopplerFilterFactors(ps.source, ps.centre, observer, velocity, k);

    // A term that is undefined for this geometry (a source or an observer on
    // the patch, a material without a defined impedance) adds nothing.
    // An observer on the patch centre: the direct path is the floor of rho_s.
    const bool onCentre = std::sqrt(ob.rhoS * ob.rhoS + ob.w[2] * ob.w[2]) <= 1e-10;
    const DopplerFactors& d = out.doppler;
    if (onCentre || !finite(out.csb) || !finite(out.sbo) || !std::isfinite(d.f0) || !std::isfinite(d.f60) ||
        !std::isfinite(d.f90) || !std::isfinite(d.f150)) {
        out.csb = out.sbo = Complex(0.0, 0.0);
        out.doppler = DopplerFactors{};
    }
}

}  // namespace ils
