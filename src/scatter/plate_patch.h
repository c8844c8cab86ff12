// The physical-optics sum of one plate position, shared by the fixed-plate
// and the moving-plate computations so that both use one implementation:
//
//   PlateFrame frame;  setupPlateFrame(station, plate, frame);  // per plate position
//   for rows p, columns q:  Q as running sums (addStep; or patchCentre(frame, p, q, Q));
//     for arrays j < frame.arrayCount, sources s < frame.sourceCount[j]:
//       PatchSource ps;
//       if (!setupPatchSource(station, plate, frame, j, s, Q, ps)) -> notFacing += 1
//       for observation points O (velocity v):
//         PatchObserver ob;  observePatch(frame, Q, O, ob);   // depends on (patch, point) only
//         if (!observerLit(plate, ob)) -> skip (back side)
//         PatchContribution c;  evaluatePatchPoint(ps, ob, O, v, c);
//         accumulateField(station, j, c.csb, c.sbo, c.doppler.f90, c.doppler.f150,
//                         c.doppler.f60, c.doppler.f0, record);
//
// Every record here is local to the caller; nothing is global, so the loop
// over observation points may be split across threads.
#pragma once

#include <cstdint>
#include <span>

#include "interface/run_data.h"
#include "scatter/numerics.h"

namespace ils {

// Values of one plate position that do not depend on patch, source or point.
struct PlateFrame {
    double sinAz = 0, cosAz = 0;      // of the plate's azimuth
    double cosTilt = 0, sinTilt = 0;
    double dmin = 0;                  // nearestElementDistance, feet
    double patchLimit = 0;            // sqrt(dmin * course wavelength) / 2.5, feet
    bool nearMode = true;             // near: every element a source; far: one centroid per array
    int32_t nc = 1, nr = 1;           // patches along the bottom edge and up the plate
    double dl = 0, dh = 0;            // patch width and height, feet
    double cstep[3] = {}, rstep[3] = {};  // column and row steps between patch centres
    double first[3] = {};             // centre of patch (row 0, column 0)
    int32_t arrayCount = 1;           // 1, or 2 with a clearance array (captureEffect 1)
    int32_t sourceCount[2] = {};      // sources of each array in the source mode
    MaterialConstants material[2];    // the plate's material at each array's frequency
};

// Fills the frame for the plate as given (the moving-plate computation
// passes its moved copy).
void setupPlateFrame(const Station& st, const Scatterer& plate, PlateFrame& frame);

// Patch centres are running sums, rows outer and columns inner: a row
// starts at the previous row's start plus rstep (row 0 at first), each
// column at the previous column's centre plus cstep. A loop over the patches
// keeps them so:
//   double row[3] = first;  for p { double Q[3] = row;  for q { ...; addStep(Q, cstep); }
//                                   addStep(row, rstep); }
inline void addStep(double point[3], const double step[3]) {
    for (int i = 0; i < 3; ++i) point[i] += step[i];
}

// Centre of patch (row p, column q), the same running sums from the start
// (p + q additions): for a caller that does not keep them itself.
void patchCentre(const PlateFrame& frame, int32_t p, int32_t q, double centre[3]);

// Position of source s of array j in the frame's source mode.
void sourcePosition(const Station& st, const PlateFrame& frame, int j, int s, double pos[3]);

// Everything that depends only on the (patch, source) pair.
struct PatchSource {
    ScatterGeometry geometry;         // cosTilt/sinTilt, incidence values, k, omega
    int j = 0;                        // array index
    int32_t patch = 0;                // row * nc + column, for callers that group by patch
    double centre[3] = {};            // patch centre Q
    double source[3] = {};            // source S
    double sourceHeight = 0;          // zS
    double rhoI = 0;                  // horizontal incident distance, at least 1e-10
    Complex ec, es;                   // incident CSB and SBO at Q
    Complex ecGround, esGround;       // their ground-reflected copies (two-ray)
    Complex gammaPerp, gammaPar;      // material reflection coefficients
    double ui = 0, ei = 0;            // incidence along the up vector and the edge
    Complex jAmplitude;               // j * s / (2 wavelength of array j)
    double groundShift = 0;           // 2 zS cosTilt / rhoI
    double halfKdl = 0, halfKdh = 0;  // k dl / 2, k dh / 2
    double dl = 0, dh = 0;            // patch width and height (the patch area is dl * dh)
};

// j (+-1) / (2 lambda), the pair's amplitude: -1 for contributionCode 1.
inline Complex patchAmplitude(const Scatterer& plate, double wavelength) {
    const double sign = plate.contributionCode == 1 ? -1.0 : 1.0;
    return Complex(0.0, sign / (2.0 * wavelength));
}

// A pair's geometry from its incidence values (as the vector set-up gives
// them): the frame's tilt, the wave number k and the incidence cosines.
inline ScatterGeometry incidenceGeometry(const PlateFrame& f, double k, double ni, double ei,
                                         double si, double ci, double cosInc, double sin2Inc) {
    ScatterGeometry g;
    g.cosTilt = f.cosTilt;
    g.sinTilt = f.sinTilt;
    g.k = k;
    g.omega = k * kSpeedOfLightFt;
    g.incAlongNormal = ni;
    g.incAlongEdge = ei;
    g.sinIncElev = si;
    g.cosIncElev = ci;
    g.cosInc = cosInc;
    g.sin2Inc = sin2Inc;
    return g;
}

// Sets up the pair (array j, source s) for the patch centred at Q. Returns
// false when the source lies behind the plate (incAlongNormal <= 0): the
// caller counts the pair as not facing and visits no point for it.
bool setupPatchSource(const Station& st, const Scatterer& plate, const PlateFrame& frame, int j,
                      int s, const double centre[3], PatchSource& ps);

// Every source of array j for the patch centred at Q, on vectors of sources:
// out[s] and facing[s] (false where setupPatchSource would refuse the pair)
// for s < frame.sourceCount[j]. The plates set up their pairs here; values
// agree with setupPatchSource's to rounding.
void setupPatchSources(const Station& st, const Scatterer& plate, const PlateFrame& frame, int j,
                       const double centre[3], PatchSource* out, bool* facing);

// Observation values that depend only on (patch, point).
struct PatchObserver {
    double w[3] = {};                 // O - Q
    double rhoS = 0;                  // at least 1e-10
    double obsAcrossFront = 0;        // > 0 on the plate's facing side
    double obsAlongEdge = 0;
};
void observePatch(const PlateFrame& frame, const double centre[3], const ObservationPoint& o,
                  PatchObserver& ob);

// Whether the plate adds anything at this point: facing side, or both sides wanted.
inline bool observerLit(const Scatterer& plate, const PatchObserver& ob) {
    return ob.obsAcrossFront > 0 || plate.bothSidesFlag != 0;
}

struct PatchContribution {
    Complex csb, sbo;                 // scattered fields of the pair at O
    DopplerFactors doppler;           // for the velocity given
};

// Scattered CSB and SBO of the pair at O (direct and ground-image observation
// paths, direct and ground-reflected incidence) and the Doppler factors for
// velocity v (the observer's velocity, or relative to a moving plate). A
// contribution that is not finite is undefined and returned as zero.
void evaluatePatchPoint(const PatchSource& ps, const PatchObserver& ob, const ObservationPoint& o,
                        const double velocity[3], PatchContribution& out);

// The incidence values of a pair that the polarisation factor reads, with
// its three observer-independent products.
struct IncidenceConstants {
    double ni, ei, si, ci, cI;
    double kA, kB, e1;  // -ct ei cI / s2, -ct ei / s2, (si ct ni + ci st) / s2
    double behind;      // 1 where ni < 0: the factor is zero
};

// Every value of a (patch, source) pair that the lanes read, as doubles.
struct PairConstants {
    double q[3], s[3];  // patch centre, source
    double k, ct, st, ui, eiEdge, halfKdl, halfKdh, groundShift, dl, dh;
    double sinShift, cosShift;  // of k dh/2 * groundShift
    // Of the incidence's parts of the sinc arguments, k dl/2 * eiEdge and
    // k dh/2 * ui: the kernels subtract the observer's parts by the sums of angles.
    double sinEdge, cosEdge, sinHeight, cosHeight;
    double sourceSlot;  // index of (S, k) among the distinct sources of a pass
    // The incident fields times the patch amplitude j s / (2 lambda), as
    // complex lanes multiply: (a.re b.re - a.im b.im, a.re b.im + a.im b.re).
    Complex jEc, jEs, jEcG, jEsG;
    Complex gPerp, gPar;
    double turned;  // 1 within about 1e-4 rad of the normal
    IncidenceConstants plain, plus, minus;
};

// A pair in that form (once per field pass for the fixed plate), and an
// incidence's part of it.
PairConstants pairConstants(const PatchSource& ps);
IncidenceConstants incidenceConstants(const ScatterGeometry& g);

// evaluatePatchPoint for n pairs at one point, pair i with the observer
// values observers[i] (its patch's), on vectors of pairs: out[i] gets the
// bits that the fixed plate's kernel computes for the same pair and point.
void evaluatePatchPairs(std::span<const PatchSource> pairs, std::span<const PatchObserver> observers,
                        const ObservationPoint& point, const double velocity[3],
                        PatchContribution* out);

// A moving plate's whole sum at one point in near mode (one element per
// source): the pairs of each patch and array set up and evaluated on vectors
// of sources, each facing pair added to the record in the loops' order.
// total counts the (patch, source) pairs of lit patches, notFacing those
// whose source lies behind the plate.
void addMovingPlatePoint(const Station& st, const Scatterer& plate, const PlateFrame& frame,
                         const ObservationPoint& point, const double velocity[3], FieldRecord& record,
                         int64_t& total, int64_t& notFacing);

}  // namespace ils
