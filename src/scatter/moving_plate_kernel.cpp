// The moving plate's evaluation on vectors, compiled once per instruction
// set and chosen at run time: its pairs change with every point, so a lane
// holds one (patch, source) pair and the point is broadcast. The equations
// are the fixed plate's (src/scatter/plate_kernel.cpp), through the same
// lane-wise functions (scatter/patch_lanes-inl.h), so a plate at rest gives
// both the same bits.
#include "scatter/plate_patch.h"

#include <cstddef>
#include <cstdint>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "scatter/moving_plate_kernel.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "hwy/highway.h"
#include "simd/dispatch.h"
#include "path/direct_field.h"
#include "scatter/numerics.h"
#include "scatter/patch_lanes-inl.h"
#include "scatter/patch_setup-inl.h"
#include "simd/field_lanes-inl.h"
#include "simd/vector_math-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ils {
namespace HWY_NAMESPACE {

void EvaluatePatchPairsLanes(const PatchSource* pairs, const PatchObserver* observers, size_t n,
                             const ObservationPoint* point, const double* velocity,
                             PatchContribution* out) {
    const DoubleTag d;
    const size_t lanes = hn::Lanes(d);
    const PointLanes o = LoadPoints(d, point, 1);
    const DVec vx = hn::Set(d, velocity[0]), vy = hn::Set(d, velocity[1]), vz = hn::Set(d, velocity[2]);
    PairConstants constants[kMaxDoubleLanes];
    HWY_ALIGN double w[4][kMaxDoubleLanes];
    HWY_ALIGN double r[8][kMaxDoubleLanes];
    for (size_t i = 0; i < n; i += lanes) {
        const size_t count = n - i < lanes ? n - i : lanes;
        for (size_t l = 0; l < lanes; ++l) {
            const size_t m = i + (l < count ? l : count - 1);
            constants[l] = pairConstants(pairs[m]);
            const PatchObserver& ob = observers[m];
            w[0][l] = ob.w[2];
            w[1][l] = ob.rhoS;
            w[2][l] = ob.obsAcrossFront;
            w[3][l] = ob.obsAlongEdge;
        }
        const PairLanes pr = PairsToLanes(d, constants, count, false);
        const ObserverLanes ob{hn::Load(d, w[0]), hn::Load(d, w[1]), hn::Load(d, w[2]), hn::Load(d, w[3])};
        const ContributionLanes c =
            EvaluatePair(d, pr, PatchGeometry(d, pr, ob, o, vx, vy, vz), SourcePhase(d, pr, o, vx, vy, vz));
        const DVec values[8] = {c.csb.re, c.csb.im, c.sbo.re, c.sbo.im,
                                c.f.f90,  c.f.f150, c.f.f0,   c.f.f60};
        for (int v = 0; v < 8; ++v) hn::Store(values[v], d, r[v]);
        for (size_t l = 0; l < count; ++l) {
            PatchContribution& p = out[i + l];
            p.csb = Complex(r[0][l], r[1][l]);
            p.sbo = Complex(r[2][l], r[3][l]);
            p.doppler.f90 = r[4][l];
            p.doppler.f150 = r[5][l];
            p.doppler.f0 = r[6][l];
            p.doppler.f60 = r[7][l];
        }
    }
}

// A moving plate's sum at one point, its pairs set up and evaluated on
// vectors of sources (near mode): every patch (running-sum centres), array
// and source in the loops' order; each facing pair's contribution added to
// the record in that order.
void AddMovingPointLanes(const Station& st, const Scatterer& plate, const PlateFrame& f,
                         const ObservationPoint* point, const double* velocity, FieldRecord* record,
                         int64_t* total, int64_t* notFacing) {
    const DoubleTag d;
    const size_t lanes = hn::Lanes(d);
    const PointLanes o = LoadPoints(d, point, 1);
    const DVec vx = hn::Set(d, velocity[0]), vy = hn::Set(d, velocity[1]), vz = hn::Set(d, velocity[2]);
    HWY_ALIGN double r[9][kMaxDoubleLanes];
    int64_t totalCount = 0, notFacingCount = 0;
    // The record's sums, kept here while the pairs are added in order (a
    // call per pair on the record was about 9 % of the moving plate).
    const double captureWeight = st.system.captureWeight;
    Complex sums[kAccumulatedSlots];
    for (int s = 0; s < kAccumulatedSlots; ++s) sums[s] = record->slot[s];
    // The Doppler part of each element's direct path to the point, which
    // every patch's pairs of that element share (as the fixed plate's).
    HWY_ALIGN double phase[2][3][kMaxArrayElements + kMaxDoubleLanes];
    for (int j = 0; j < f.arrayCount; ++j) {
        const AntennaArray& a = st.arrays[j];
        const size_t count = static_cast<size_t>(f.sourceCount[j]);
        for (size_t first = 0; first < count; first += lanes) {
            const size_t n = count - first < lanes ? count - first : lanes;
            const DVec ex = LoadPadded(d, a.elementX + first, n, a.elementX[first + n - 1]);
            const DVec ey = LoadPadded(d, a.elementY + first, n, a.elementY[first + n - 1]);
            const DVec ez = LoadPadded(d, a.elementZ + first, n, a.elementZ[first + n - 1]);
            const DopplerPhaseLanes ph = DopplerPhase(d, RateFrom(d, ex, ey, ez, o, vx, vy, vz, hn::Set(d, a.waveNumber)));
            hn::Store(ph.u, d, &phase[j][0][first]);
            hn::Store(ph.su, d, &phase[j][1][first]);
            hn::Store(ph.cu, d, &phase[j][2][first]);
        }
    }
    double rowStart[3] = {f.first[0], f.first[1], f.first[2]};
    for (int32_t p = 0; p < f.nr; ++p, addStep(rowStart, f.rstep)) {
        double centre[3] = {rowStart[0], rowStart[1], rowStart[2]};
        for (int32_t q = 0; q < f.nc; ++q, addStep(centre, f.cstep)) {
            PatchObserver observer;
            observePatch(f, centre, *point, observer);
            if (!observerLit(plate, observer)) continue;  // back side: skipped, not counted
            const DVec qx = hn::Set(d, centre[0]), qy = hn::Set(d, centre[1]), qz = hn::Set(d, centre[2]);
            const ObserverLanes ob = ObservePatch(d, f, o, qx, qy, qz);
            for (int j = 0; j < f.arrayCount; ++j) {
                const AntennaArray& a = st.arrays[j];
                const size_t count = static_cast<size_t>(f.sourceCount[j]);
                totalCount += f.sourceCount[j];
                PairLanes pr;
                pr.qx = qx;
                pr.qy = qy;
                pr.qz = qz;
                pr.k = hn::Set(d, a.waveNumber);
                pr.ct = hn::Set(d, f.cosTilt);
                pr.st = hn::Set(d, f.sinTilt);
                pr.halfKdl = hn::Set(d, a.waveNumber * f.dl / 2.0);
                pr.halfKdh = hn::Set(d, a.waveNumber * f.dh / 2.0);
                pr.dl = hn::Set(d, f.dl);
                pr.dh = hn::Set(d, f.dh);
                const ComplexLanes jAmp = SetComplex(d, patchAmplitude(plate, a.wavelength));
                PatchGeometryLanes geometry{};
                bool haveGeometry = false;
                for (size_t first = 0; first < count; first += lanes) {
                    const size_t n = count - first < lanes ? count - first : lanes;
                    const SourceLanes v = SetupSourceLanes(d, st, f, j, centre, first, n);
                    const DMask facing = hn::And(hn::Gt(v.ni, hn::Zero(d)), hn::FirstN(d, n));
                    notFacingCount += static_cast<int64_t>(n - hn::CountTrue(d, facing));
                    if (hn::AllFalse(d, facing)) continue;
                    pr.sx = v.ex;
                    pr.sy = v.ey;
                    pr.sz = v.ez;
                    pr.ui = v.ui;
                    pr.eiEdge = v.edge;
                    pr.groundShift = v.groundShift;
                    SinCos(d, hn::Mul(pr.halfKdh, pr.groundShift), &pr.sinShift, &pr.cosShift);
                    SinCos(d, hn::Mul(pr.halfKdl, pr.eiEdge), &pr.sinEdge, &pr.cosEdge);
                    SinCos(d, hn::Mul(pr.halfKdh, pr.ui), &pr.sinHeight, &pr.cosHeight);
                    pr.jEc = Mul(jAmp, v.ec);
                    pr.jEs = Mul(jAmp, v.es);
                    pr.jEcG = Mul(jAmp, v.ecG);
                    pr.jEsG = Mul(jAmp, v.esG);
                    pr.gPerp = v.gPerp;
                    pr.gPar = v.gPar;
                    // The incidence's constants as pairConstants forms them.
                    pr.plain = IncidenceConstantsLanes(d, pr.ct, pr.st, v.ni, v.ei, v.si, v.ci, v.cosInc, v.sin2Inc);
                    pr.turned = hn::Lt(v.sin2Inc, hn::Set(d, kNearNormalSin2));
                    pr.anyTurned = !hn::AllFalse(d, pr.turned);
                    // Read only where a lane is turned (Polarization): copied
                    // there alone, as GCC copies these by rep movsq.
                    if (HWY_UNLIKELY(pr.anyTurned)) {
                        pr.plus = pr.minus = pr.plain;
                        const DVec incidence[6] = {v.ni, v.ei, v.si, v.ci, v.cosInc, v.sin2Inc};
                        TurnedIncidenceLanes(d, f, a.waveNumber, incidence, pr.plus, pr.minus);
                    }
                    if (!haveGeometry) {
                        geometry = PatchGeometry(d, pr, ob, o, vx, vy, vz);
                        haveGeometry = true;
                    }
                    const DopplerPhaseLanes source{hn::Load(d, &phase[j][0][first]), hn::Load(d, &phase[j][1][first]),
                                                   hn::Load(d, &phase[j][2][first])};
                    const ContributionLanes c = EvaluatePair(d, pr, geometry, source);
                    // Stored one by one: from an array of vectors GCC copies by rep movsq.
                    hn::Store(c.csb.re, d, r[0]);
                    hn::Store(c.csb.im, d, r[1]);
                    hn::Store(c.sbo.re, d, r[2]);
                    hn::Store(c.sbo.im, d, r[3]);
                    hn::Store(c.f.f90, d, r[4]);
                    hn::Store(c.f.f150, d, r[5]);
                    hn::Store(c.f.f0, d, r[6]);
                    hn::Store(c.f.f60, d, r[7]);
                    hn::Store(hn::IfThenElse(facing, hn::Set(d, 1.0), hn::Zero(d)), d, r[8]);
                    for (size_t l = 0; l < n; ++l) {
                        if (r[8][l] == 0.0) continue;
                        accumulateSlots(captureWeight, j, Complex(r[0][l], r[1][l]), Complex(r[2][l], r[3][l]),
                                        r[4][l], r[5][l], r[7][l], r[6][l], sums);
                    }
                }
            }
        }
    }
    for (int s = 0; s < kAccumulatedSlots; ++s) record->slot[s] = sums[s];
    // Once per point: the threads' counters may share a cache line.
    *total += totalCount;
    *notFacing += notFacingCount;
}


}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace ils {

ILS_VECTOR_EXPORT(EvaluatePatchPairsLanes);
ILS_VECTOR_EXPORT(AddMovingPointLanes);

void addMovingPlatePoint(const Station& st, const Scatterer& plate, const PlateFrame& frame,
                         const ObservationPoint& point, const double velocity[3], FieldRecord& record,
                         int64_t& total, int64_t& notFacing) {
    ILS_VECTOR_DISPATCH(AddMovingPointLanes)(st, plate, frame, &point, velocity, &record, &total,
                                              &notFacing);
}

void evaluatePatchPairs(std::span<const PatchSource> pairs, std::span<const PatchObserver> observers,
                        const ObservationPoint& point, const double velocity[3],
                        PatchContribution* out) {
    if (pairs.empty()) return;
    ILS_VECTOR_DISPATCH(EvaluatePatchPairsLanes)(pairs.data(), observers.data(), pairs.size(),
                                                  &point, velocity, out);
}

}  // namespace ils
#endif
