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
#include "simd/dispatch.h"
#include "scatter/patch_setup-inl.h"
#include "simd/field_lanes-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ils {
namespace HWY_NAMESPACE {

void SetupPatchSourcesLanes(const Station& st, const Scatterer& plate, const PlateFrame& f, int j,
                            const double* centre, PatchSource* out, bool* facing) {
    const DoubleTag d;
    const size_t lanes = hn::Lanes(d);
    const AntennaArray& a = st.arrays[j];
    const size_t count = static_cast<size_t>(f.sourceCount[j]);
    const Complex jAmplitude = patchAmplitude(plate, a.wavelength);

    HWY_ALIGN double buf[24][kMaxDoubleLanes];
    for (size_t first = 0; first < count; first += lanes) {
        const size_t n = count - first < lanes ? count - first : lanes;
        const SourceLanes v = SetupSourceLanes(d, st, f, j, centre, first, n);
        const DVec values[] = {v.ni,      v.ei,       v.si,       v.ci,      v.cosInc, v.sin2Inc,
                               v.rhoI,    v.ec.re,    v.ec.im,    v.es.re,   v.es.im,  v.ecG.re,
                               v.ecG.im,  v.esG.re,   v.esG.im,   v.gPerp.re, v.gPerp.im, v.gPar.re,
                               v.gPar.im, v.ui,       v.edge,     v.groundShift};
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
            ps.geometry = incidenceGeometry(f, a.waveNumber, buf[0][l], buf[1][l], buf[2][l], buf[3][l],
                                            buf[4][l], buf[5][l]);
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
            facing[s] = ps.geometry.incAlongNormal > 0;  // else the source lies behind the plate
        }
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace ils {

ILS_VECTOR_EXPORT(SetupPatchSourcesLanes);

void setupPatchSources(const Station& st, const Scatterer& plate, const PlateFrame& frame, int j,
                       const double centre[3], PatchSource* out, bool* facing) {
    if (!frame.nearMode) {
        // One source, the array centroid, seen through the whole array's field.
        for (int s = 0; s < frame.sourceCount[j]; ++s)
            facing[s] = setupPatchSource(st, plate, frame, j, s, centre, out[s]);
        return;
    }
    ILS_VECTOR_DISPATCH(SetupPatchSourcesLanes)(st, plate, frame, j, centre, out, facing);
}

}  // namespace ils
#endif
