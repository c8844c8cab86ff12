// The wire kernel on vectors of observation points (one point per lane, a
// segment's values broadcast), compiled once per instruction set and chosen
// at run time. Per point P (velocity V) and segment (midpoint M, in order),
// lengths in feet, fields in the array field's units:
//   d = P - M (nothing where d = 0), rho_s = max(1e-10, |d_xy|), R_s = |d|,
//   c_s = (cos a d_x + sin a d_y) / rho_s, s_s = (sin a d_x - cos a d_y) / rho_s,
//   mu_s = (rho_s / R_s) sin psi c_s + (d_z / R_s) cos psi,
//   S1 = D sinc(h (mu_i - mu_s)), S2 = D sinc(h (mu_i - mu_s + 2 Oz cos psi / rho_i)),
//   sum = B (S1 E_d + S2 E_i) + I1 (-D e^{j k d1}) sinc(h (1 - mu_s))
//                             + I2 (-D e^{j k d2}) sinc(h (1 + mu_s))   (short wires),
//   G = sigma_s sin psi s_s e^{j k R_s} / R_s (1 - (R_s / R'_s) e^{j k (R'_s - R_s)}),
//   R'_s the path from M's ground image, R'_s - R_s = ((P_z + M_z)^2 - d_z^2) / (R'_s + R_s);
//   field = sign sum G, accumulated with the Doppler factors of (O, M, P, V);
//   a contribution that is not finite is left out.
#include "scatter/wire.h"

#include <cstddef>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "scatter/wire_kernel.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "hwy/highway.h"
#include "simd/dispatch.h"
#include "simd/field_lanes-inl.h"
#include "simd/vector_math-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ils {
namespace HWY_NAMESPACE {

// Segments computed at once per vector of points. The work of one segment
// is a long chain of dependent operations (roots, quotients, sines); in
// three loops over a batch (the geometry and phases, their sines and
// cosines, then the fields and the accumulation) the processor overlaps the
// chains of different segments. Each value is computed by the same
// operations as in one loop, and the records still receive the segments in
// order.
constexpr size_t kWireBatch = 8;

// What the first loop leaves for the other two, per segment of the batch.
struct WireBatchLanes {
    static constexpr size_t kStride = kWireBatch * kMaxDoubleLanes;
    HWY_ALIGN double x1[kStride], x2[kStride], muS[kStride], weight[kStride], invR[kStride];
    HWY_ALIGN double ratio[kStride], u[kStride], away[kStride];
    // Phases and their sines and cosines: k R_s, k (R'_s - R_s), h (mu_i - mu_s), u.
    HWY_ALIGN double phase[4][kStride], sine[4][kStride], cosine[4][kStride];
};

void AddWireSegmentsLanes(const Station& st, const WireArrayFrame& f, const WireSegment* segments,
                          size_t segmentCount, const ObservationPoint* points, FieldRecord* records,
                          size_t n) {
    const DoubleTag d;
    const size_t lanes = hn::Lanes(d);
    const DVec k = hn::Set(d, f.k), h = hn::Set(d, f.h), delta = hn::Set(d, f.delta);
    const DVec sinPsi = hn::Set(d, f.sinPsi), cosPsi = hn::Set(d, f.cosPsi);
    const DVec sinAlpha = hn::Set(d, f.sinAlpha), cosAlpha = hn::Set(d, f.cosAlpha);
    const DVec axisX = hn::Set(d, f.axisX), axisY = hn::Set(d, f.axisY);
    const DVec one = hn::Set(d, 1.0), zero = hn::Zero(d);
    const DVec sign = hn::Set(d, f.sign);
    const DVec sourceX = hn::Set(d, f.source[0]), sourceY = hn::Set(d, f.source[1]),
               sourceZ = hn::Set(d, f.source[2]);
    const double captureWeight = st.system.captureWeight;
    WireBatchLanes batch;

    for (size_t i = 0; i < n; i += lanes) {
        const size_t count = n - i < lanes ? n - i : lanes;
        const PointLanes o = LoadPoints(d, points + i, count);
        const DMask valid = hn::FirstN(d, count);
        RecordLanes acc;
        LoadRecords(d, records + i, count, acc);
        // The direct path's rate from the array centroid serves every segment.
        const DVec wd = RateFrom(d, sourceX, sourceY, sourceZ, o, o.vx, o.vy, o.vz, k);
        for (size_t first = 0; first < segmentCount; first += kWireBatch) {
            const size_t batchCount = segmentCount - first < kWireBatch ? segmentCount - first : kWireBatch;
            for (size_t b = 0; b < batchCount; ++b) {
                const WireSegment& g = segments[first + b];
                const size_t at = b * lanes;
                const DVec mx = hn::Set(d, g.m[0]), my = hn::Set(d, g.m[1]), mz = hn::Set(d, g.m[2]);
                const DVec dx = hn::Sub(o.x, mx), dy = hn::Sub(o.y, my), dz = hn::Sub(o.z, mz);
                // A point on the segment's midpoint has no direction from it.
                const DMask away =
                    hn::Not(hn::And(hn::And(hn::Eq(dx, zero), hn::Eq(dy, zero)), hn::Eq(dz, zero)));
                const DVec rhoS =
                    hn::Max(hn::Set(d, 1e-10), hn::Sqrt(hn::Add(hn::Mul(dx, dx), hn::Mul(dy, dy))));
                const DVec rS = hn::Sqrt(hn::Add(hn::Mul(rhoS, rhoS), hn::Mul(dz, dz)));
                // Reciprocals once: products instead of six divisions (an ulp apart).
                const DVec invR = hn::Div(one, rS), invRho = hn::Div(one, rhoS);
                const DVec sinThetaS = hn::Mul(dz, invR), cosThetaS = hn::Mul(rhoS, invR);
                const DVec cS = hn::Mul(hn::Add(hn::Mul(cosAlpha, dx), hn::Mul(sinAlpha, dy)), invRho);
                const DVec sS = hn::Mul(hn::Sub(hn::Mul(sinAlpha, dx), hn::Mul(cosAlpha, dy)), invRho);
                const DVec muS = hn::Add(hn::Mul(hn::Mul(cosThetaS, sinPsi), cS), hn::Mul(sinThetaS, cosPsi));
                const DVec sideS = hn::IfThenElse(
                    hn::Ge(hn::Add(hn::Mul(dx, axisX), hn::Mul(dy, axisY)), zero), one, hn::Neg(one));
                const DVec up = hn::Add(o.z, mz);
                const DVec rImage = hn::Sqrt(hn::Add(hn::Mul(rhoS, rhoS), hn::Mul(up, up)));
                const DVec pathDifference =
                    hn::Div(hn::Sub(hn::Mul(up, up), hn::Mul(dz, dz)), hn::Add(rImage, rS));
                const DVec muDiff = hn::Sub(hn::Set(d, g.muI), muS);
                // The path's rate k (d . V) / R_s with the path's own R_s and 1 / R_s.
                const DVec dot = hn::Add(hn::Add(hn::Mul(dx, o.vx), hn::Mul(dy, o.vy)), hn::Mul(dz, o.vz));
                const DVec ws = hn::Mul(hn::Mul(k, dot), invR);
                hn::Store(hn::Mul(h, hn::Add(muDiff, hn::Set(d, g.imageShift))), d, batch.x2 + at);
                hn::Store(muS, d, batch.muS + at);
                hn::Store(hn::Mul(hn::Mul(sideS, sinPsi), sS), d, batch.weight + at);
                hn::Store(invR, d, batch.invR + at);
                hn::Store(hn::Div(rS, rImage), d, batch.ratio + at);
                hn::Store(hn::IfThenElseZero(away, one), d, batch.away + at);
                hn::Store(hn::Mul(k, rS), d, batch.phase[0] + at);
                hn::Store(hn::Mul(k, pathDifference), d, batch.phase[1] + at);
                hn::Store(hn::Mul(h, muDiff), d, batch.phase[2] + at);
                hn::Store(DopplerArgument(d, hn::Sub(ws, wd)), d, batch.phase[3] + at);
            }
            for (size_t q = 0; q < 4; ++q) {
                for (size_t at = 0; at < batchCount * lanes; at += lanes) {
                    DVec sine, cosine;
                    SinCos(d, hn::Load(d, batch.phase[q] + at), &sine, &cosine);
                    hn::Store(sine, d, batch.sine[q] + at);
                    hn::Store(cosine, d, batch.cosine[q] + at);
                }
            }
            for (size_t b = 0; b < batchCount; ++b) {
                const WireSegment& g = segments[first + b];
                const size_t at = b * lanes;
                // sinc(h muDiff) and sinc(h (muDiff + shift)) from one sine and cosine:
                // sin(x + H) = sin x cos H + cos x sin H, H = h shift; lanes within
                // 1/2 of a zero of the divisor take the sinc itself.
                const DVec x1 = hn::Load(d, batch.phase[2] + at), x2 = hn::Load(d, batch.x2 + at);
                const DVec sin1 = hn::Load(d, batch.sine[2] + at), cos1 = hn::Load(d, batch.cosine[2] + at);
                const DVec sinc1 = SincFromSin(d, x1, sin1);
                const DVec sin2 =
                    hn::Add(hn::Mul(sin1, hn::Set(d, g.cosShift)), hn::Mul(cos1, hn::Set(d, g.sinShift)));
                const DVec sinc2 = SincOfAngleSum(d, x2, sin2);
                const DVec s1 = hn::Mul(delta, sinc1);
                const DVec s2 = hn::Mul(delta, sinc2);
                const ComplexLanes current = SetComplex(d, g.current);
                ComplexLanes sumC =
                    Mul(current, Add(ScaleConst(d, s1, g.csbDirect), ScaleConst(d, s2, g.csbImage)));
                ComplexLanes sumS =
                    Mul(current, Add(ScaleConst(d, s1, g.sboDirect), ScaleConst(d, s2, g.sboImage)));
                if (!f.longWire) {
                    // -D e^{j k d} of each end: the segment's own constants.
                    const DVec muS = hn::Load(d, batch.muS + at);
                    const ComplexLanes end1 = ScaleConst(d, Sinc(d, hn::Mul(h, hn::Sub(one, muS))), g.lead[0]);
                    const ComplexLanes end2 = ScaleConst(d, Sinc(d, hn::Mul(h, hn::Add(one, muS))), g.lead[1]);
                    sumC = Add(sumC, Add(MulConst(d, f.endCsb[0], end1), MulConst(d, f.endCsb[1], end2)));
                    sumS = Add(sumS, Add(MulConst(d, f.endSbo[0], end1), MulConst(d, f.endSbo[1], end2)));
                }
                const ComplexLanes direct{hn::Load(d, batch.cosine[0] + at), hn::Load(d, batch.sine[0] + at)};
                const ComplexLanes fr =
                    Scale(Scale(direct, hn::Load(d, batch.weight + at)), hn::Load(d, batch.invR + at));
                const ComplexLanes image{hn::Load(d, batch.cosine[1] + at), hn::Load(d, batch.sine[1] + at)};
                const ComplexLanes reflected = Scale(image, hn::Load(d, batch.ratio + at));
                const ComplexLanes ground{hn::Sub(one, reflected.re), hn::Neg(reflected.im)};
                const ComplexLanes gg = Mul(fr, ground);
                const ComplexLanes csb = Scale(Mul(sumC, gg), sign);
                const ComplexLanes sbo = Scale(Mul(sumS, gg), sign);
                const DopplerLanes df = DopplerFromSinCos(d, hn::Load(d, batch.phase[3] + at),
                                                          hn::Load(d, batch.sine[3] + at),
                                                          hn::Load(d, batch.cosine[3] + at), true);
                const DMask finite = FiniteContribution(d, csb, sbo, df);
                const DMask away = hn::Ne(hn::Load(d, batch.away + at), zero);
                AccumulateLanes(d, f.j, captureWeight, csb, sbo, df, hn::And(hn::And(away, finite), valid), acc);
            }
        }
        StoreRecords(d, acc, records + i, count);
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace ils {

ILS_VECTOR_EXPORT(AddWireSegmentsLanes);

void addWireSegments(const Station& st, const WireArrayFrame& f, std::span<const WireSegment> segments,
                     std::span<const ObservationPoint> points, std::span<FieldRecord> records) {
    ILS_VECTOR_DISPATCH(AddWireSegmentsLanes)(st, f, segments.data(), segments.size(), points.data(),
                                               records.data(), points.size());
}

}  // namespace ils
#endif
