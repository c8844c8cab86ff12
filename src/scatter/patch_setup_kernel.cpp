// The (patch, source) pairs of one patch and array set up on vectors of
// sources (one element per lane, near mode), compiled once per instruction
// set and chosen at run time. Both the fixed and the moving plate set up
// their pairs here, so a plate at rest gives both the same pairs.
//
// For patch centre Q and element S (feet), D = Q - S:
//   rho_i = max(1e-10, |D_xy|), R_i = sqrt(rho_i^2 + D_z^2),
//   n_i = (D_y cos a - D_x sin a) / rho_i (the pair faces the plate where
//   n_i > 0), e_i = (D_y sin a + D_x cos a) / rho_i, sin e_i = D_z / R_i,
//   cos e_i = rho_i / R_i, cos I = cos e_i cos t n_i - sin e_i sin t,
//   sin^2 I = 1 - cos^2 I;
//   E = I_csb,sbo e^{j k R} / R g(phi, eps) (the element pattern about the
//   element, nothing from an element at R = 0), E_ground = -E e^{j 2 k z_S Q_z / rho_i};
//   Fresnel coefficients from the plate's material constants (numerics.h):
//   q = sin^2 I mu0 eps0 / m, c_t = sqrt(1 - q),
//   G_perp = (eta cos I - Z0 c_t) / (eta cos I + Z0 c_t),
//   G_par = (Z0 cos I - eta c_t) / (Z0 cos I + eta c_t);
//   u_i = cos e_i sin t n_i + sin e_i cos t, edge cosine cos e_i e_i,
//   ground shift 2 z_S cos t / rho_i.
#include "scatter/plate_patch.h"

#include <cstddef>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "scatter/patch_setup_kernel.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "hwy/highway.h"
#include "path/direct_field.h"
#include "scatter/numerics.h"
#include "simd/field_lanes-inl.h"
#include "simd/vector_math-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ils {
namespace HWY_NAMESPACE {
namespace {

// a / b, by the textbook formula (the values here are far from overflow).
ComplexLanes DivComplex(ComplexLanes a, ComplexLanes b) {
    const DVec den = hn::Add(hn::Mul(b.re, b.re), hn::Mul(b.im, b.im));
    return {hn::Div(hn::Add(hn::Mul(a.re, b.re), hn::Mul(a.im, b.im)), den),
            hn::Div(hn::Sub(hn::Mul(a.im, b.re), hn::Mul(a.re, b.im)), den)};
}

// The principal square root: t = sqrt((|x| + |z|) / 2); (t, y / 2t) for
// x >= 0, else (|y| / 2t, t with y's sign); 0 at 0.
ComplexLanes SqrtComplex(DoubleTag d, ComplexLanes z) {
    const DVec modulus = hn::Sqrt(hn::Add(hn::Mul(z.re, z.re), hn::Mul(z.im, z.im)));
    const DVec t = hn::Sqrt(hn::Mul(hn::Add(hn::Abs(z.re), modulus), hn::Set(d, 0.5)));
    const DVec other = hn::Div(z.im, hn::Add(t, t));
    const auto positive = hn::Ge(z.re, hn::Zero(d));
    ComplexLanes r{hn::IfThenElse(positive, t, hn::Abs(other)),
                   hn::IfThenElse(positive, other, hn::CopySign(t, z.im))};
    const auto zero = hn::Eq(t, hn::Zero(d));
    return {hn::IfThenElse(zero, hn::Zero(d), r.re), hn::IfThenElse(zero, z.im, r.im)};
}

}  // namespace

void SetupPatchSourcesLanes(const Station& st, const Scatterer& plate, const PlateFrame& f, int j,
                            const double* centre, PatchSource* out, bool* facing) {
    const DoubleTag d;
    const size_t lanes = hn::Lanes(d);
    const AntennaArray& a = st.arrays[j];
    const size_t count = static_cast<size_t>(f.sourceCount[j]);
    const DVec one = hn::Set(d, 1.0), zero = hn::Zero(d);
    const DVec cx = hn::Set(d, centre[0]), cy = hn::Set(d, centre[1]), cz = hn::Set(d, centre[2]);
    const DVec ct = hn::Set(d, f.cosTilt), st_ = hn::Set(d, f.sinTilt);
    const DVec k = hn::Set(d, a.waveNumber);
    const ComplexLanes eta = SetComplex(d, f.material[j].eta), m = SetComplex(d, f.material[j].m);
    const DVec z0 = hn::Set(d, kFreeSpaceImpedance);
    const double sign = plate.contributionCode == 1 ? -1.0 : 1.0;
    const Complex jAmplitude(0.0, sign / (2.0 * a.wavelength));

    HWY_ALIGN double buf[24][kMaxDoubleLanes];
    for (size_t first = 0; first < count; first += lanes) {
        const size_t n = count - first < lanes ? count - first : lanes;
        const DVec ex = LoadPadded(d, a.elementX + first, n, a.elementX[first + n - 1]);
        const DVec ey = LoadPadded(d, a.elementY + first, n, a.elementY[first + n - 1]);
        const DVec ez = LoadPadded(d, a.elementZ + first, n, a.elementZ[first + n - 1]);
        const DVec dx = hn::Sub(cx, ex), dy = hn::Sub(cy, ey), dz = hn::Sub(cz, ez);
        const DVec rho2 = hn::Add(hn::Mul(dx, dx), hn::Mul(dy, dy));
        const DVec rhoI = hn::Max(hn::Set(d, 1e-10), hn::Sqrt(rho2));
        const DVec ri = hn::Sqrt(hn::Add(hn::Mul(rhoI, rhoI), hn::Mul(dz, dz)));
        const DVec sa = hn::Set(d, f.sinAz), ca = hn::Set(d, f.cosAz);
        const DVec ni = hn::Div(hn::Sub(hn::Mul(dy, ca), hn::Mul(dx, sa)), rhoI);
        const DVec ei = hn::Div(hn::Add(hn::Mul(dy, sa), hn::Mul(dx, ca)), rhoI);
        const DVec si = hn::Div(dz, ri), ci = hn::Div(rhoI, ri);
        const DVec cosInc = hn::Sub(hn::Mul(hn::Mul(ci, ct), ni), hn::Mul(si, st_));
        const DVec sin2Inc = hn::Sub(one, hn::Mul(cosInc, cosInc));

        // The element's field at Q, its pattern seen from the element.
        const DVec r = hn::Sqrt(hn::Add(hn::Add(hn::Mul(dx, dx), hn::Mul(dy, dy)), hn::Mul(dz, dz)));
        const ComplexLanes spread = DivReal(UnitPhasor(d, hn::Mul(k, r)), r);
        const DVec phi = hn::Sub(Atan2(d, dy, dx), hn::Set(d, a.pattern.patternAxis));
        const DVec eps = Atan2(d, dz, hn::Sqrt(rho2));
        HWY_ALIGN double phiLanes[kMaxDoubleLanes], epsLanes[kMaxDoubleLanes], gain[kMaxDoubleLanes];
        hn::Store(phi, d, phiLanes);
        hn::Store(eps, d, epsLanes);
        HWY_ALIGN double dxl[kMaxDoubleLanes], dyl[kMaxDoubleLanes];
        hn::Store(dx, d, dxl);
        hn::Store(dy, d, dyl);
        for (size_t l = 0; l < lanes; ++l) {
            gain[l] = dxl[l] != 0.0 || dyl[l] != 0.0 ? patternValue(a.pattern, phiLanes[l], epsLanes[l]) : 1.0;
        }
        const DVec g = hn::Load(d, gain);
        HWY_ALIGN double cur[4][kMaxDoubleLanes];
        for (size_t l = 0; l < lanes; ++l) {
            const size_t e = first + (l < n ? l : n - 1);
            cur[0][l] = a.csbCurrent[e].real();
            cur[1][l] = a.csbCurrent[e].imag();
            cur[2][l] = a.sboCurrent[e].real();
            cur[3][l] = a.sboCurrent[e].imag();
        }
        const auto onElement = hn::Eq(r, zero);
        auto field = [&](const double* re, const double* im) {
            const ComplexLanes c = Scale(Mul({hn::Load(d, re), hn::Load(d, im)}, spread), g);
            return ComplexLanes{hn::IfThenElse(onElement, zero, c.re), hn::IfThenElse(onElement, zero, c.im)};
        };
        const ComplexLanes ec = field(cur[0], cur[1]);
        const ComplexLanes es = field(cur[2], cur[3]);
        // Two-ray ground reflection of the incident field (image source, -1).
        const DVec phiG = hn::Div(hn::Mul(hn::Mul(hn::Mul(hn::Set(d, 2.0), k), ez), cz), rhoI);
        const ComplexLanes turn = UnitPhasor(d, phiG);
        const ComplexLanes ecG = Mul({hn::Neg(ec.re), hn::Neg(ec.im)}, turn);
        const ComplexLanes esG = Mul({hn::Neg(es.re), hn::Neg(es.im)}, turn);

        const ComplexLanes q = DivComplex({hn::Mul(sin2Inc, hn::Set(d, kMuZeroEpsZero)), zero}, m);
        const ComplexLanes cT = SqrtComplex(d, {hn::Sub(one, q.re), hn::Neg(q.im)});
        const ComplexLanes etaCos = Scale(eta, cosInc);
        const ComplexLanes z0cT = Scale(cT, z0);
        const ComplexLanes gPerp = DivComplex(Sub(etaCos, z0cT), Add(etaCos, z0cT));
        const DVec z0Cos = hn::Mul(z0, cosInc);
        const ComplexLanes etaCT = Mul(eta, cT);
        const ComplexLanes gPar = DivComplex({hn::Sub(z0Cos, etaCT.re), hn::Neg(etaCT.im)},
                                             {hn::Add(z0Cos, etaCT.re), etaCT.im});

        const DVec ui = hn::Add(hn::Mul(hn::Mul(ci, st_), ni), hn::Mul(si, ct));
        const DVec edge = hn::Mul(ci, ei);
        const DVec groundShift = hn::Div(hn::Mul(hn::Mul(hn::Set(d, 2.0), ez), ct), rhoI);

        const DVec values[] = {ni,      ei,      si,       ci,       cosInc,   sin2Inc, rhoI,
                               ec.re,   ec.im,   es.re,    es.im,    ecG.re,   ecG.im,  esG.re,
                               esG.im,  gPerp.re, gPerp.im, gPar.re, gPar.im,  ui,      edge,
                               groundShift};
        constexpr size_t kValues = sizeof(values) / sizeof(values[0]);
        static_assert(kValues <= 24);
        for (size_t v = 0; v < kValues; ++v) hn::Store(values[v], d, buf[v]);
        for (size_t l = 0; l < n; ++l) {
            const size_t s = first + l;
            PatchSource& ps = out[s];
            ps = PatchSource{};
            ps.j = j;
            for (int i = 0; i < 3; ++i) ps.centre[i] = centre[i];
            ps.source[0] = a.elementX[s];
            ps.source[1] = a.elementY[s];
            ps.source[2] = a.elementZ[s];
            ps.sourceHeight = ps.source[2];
            ScatterGeometry& geo = ps.geometry;
            geo.cosTilt = f.cosTilt;
            geo.sinTilt = f.sinTilt;
            geo.k = a.waveNumber;
            geo.omega = a.waveNumber * kSpeedOfLightFt;
            geo.incAlongNormal = buf[0][l];
            geo.incAlongEdge = buf[1][l];
            geo.sinIncElev = buf[2][l];
            geo.cosIncElev = buf[3][l];
            geo.cosInc = buf[4][l];
            geo.sin2Inc = buf[5][l];
            ps.rhoI = buf[6][l];
            ps.ec = Complex(buf[7][l], buf[8][l]);
            ps.es = Complex(buf[9][l], buf[10][l]);
            ps.ecGround = Complex(buf[11][l], buf[12][l]);
            ps.esGround = Complex(buf[13][l], buf[14][l]);
            ps.gammaPerp = Complex(buf[15][l], buf[16][l]);
            ps.gammaPar = Complex(buf[17][l], buf[18][l]);
            ps.ui = buf[19][l];
            ps.ei = buf[20][l];
            ps.groundShift = buf[21][l];
            ps.jAmplitude = jAmplitude;
            ps.halfKdl = a.waveNumber * f.dl / 2.0;
            ps.halfKdh = a.waveNumber * f.dh / 2.0;
            ps.dl = f.dl;
            ps.dh = f.dh;
            facing[s] = geo.incAlongNormal > 0;  // else the source lies behind the plate
        }
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace ils {

HWY_EXPORT(SetupPatchSourcesLanes);

void setupPatchSources(const Station& st, const Scatterer& plate, const PlateFrame& frame, int j,
                       const double centre[3], PatchSource* out, bool* facing) {
    if (!frame.nearMode) {
        // One source, the array centroid, seen through the whole array's field.
        for (int s = 0; s < frame.sourceCount[j]; ++s)
            facing[s] = setupPatchSource(st, plate, frame, j, s, centre, out[s]);
        return;
    }
    HWY_DYNAMIC_DISPATCH(SetupPatchSourcesLanes)(st, plate, frame, j, centre, out, facing);
}

}  // namespace ils
#endif
