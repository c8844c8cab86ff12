// The element pattern on vectors, for one Highway target (include after
// simd/vector_math-inl.h): the direct field and the plates' pair set-up.

#if defined(ILS_PATH_PATTERN_LANES_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ILS_PATH_PATTERN_LANES_INL_H_
#undef ILS_PATH_PATTERN_LANES_INL_H_
#else
#define ILS_PATH_PATTERN_LANES_INL_H_
#endif

#include "hwy/highway.h"
#include "path/direct_field.h"
#include "simd/field_lanes-inl.h"
#include "simd/vector_math-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ils {
namespace HWY_NAMESPACE {

// A table pattern at relative azimuth phi (radians) per lane, as
// patternValue computes it: the azimuth in degrees folded into
// [-180, 180], the segment found by the table's search, the linear
// interpolation. The search's segment is the count of interior angles below
// the azimuth when those angles ascend (the reader's tables do); any other
// table is read lane by lane.
HWY_INLINE DVec TablePatternLanes(DoubleTag d, const ElementPattern& pattern, DVec phi, DMask weighted) {
    const int n = pattern.patternPointCount;
    const DVec one = hn::Set(d, 1.0);
    if (n <= 0) return hn::IfThenElse(weighted, hn::Zero(d), one);
    if (n == 1) return hn::IfThenElse(weighted, hn::Set(d, pattern.patternValues[0]), one);
    bool ascending = true;
    for (int k = 1; k + 1 <= n - 2; ++k) {
        if (!(pattern.patternAngles[k] <= pattern.patternAngles[k + 1])) ascending = false;
    }
    if (!ascending) {
        return detail::PerLaneWhere(d, weighted, phi, one,
                                    [&](double p) { return patternValue(pattern, p, 0.0); });
    }
    DVec a = hn::Div(hn::Neg(phi), hn::Set(d, kDegToRad));
    const DVec full = hn::Set(d, 360.0), half = hn::Set(d, 180.0);
    a = hn::IfThenElse(hn::Lt(a, hn::Neg(half)), hn::Add(a, full),
                       hn::IfThenElse(hn::Gt(a, half), hn::Sub(a, full), a));
    DVec below = hn::Zero(d);
    for (int k = 1; k <= n - 2; ++k) {
        below = hn::Add(below, hn::IfThenElseZero(hn::Lt(hn::Set(d, pattern.patternAngles[k]), a), one));
    }
    const hn::RebindToSigned<DoubleTag> di;
    const auto s = hn::ConvertTo(di, below);
    const auto s1 = hn::Add(s, hn::Set(di, 1));
    const DVec a0 = hn::GatherIndex(d, pattern.patternAngles, s);
    const DVec a1 = hn::GatherIndex(d, pattern.patternAngles, s1);
    const DVec v0 = hn::GatherIndex(d, pattern.patternValues, s);
    const DVec v1 = hn::GatherIndex(d, pattern.patternValues, s1);
    // A zero-width segment has no slope: its lower value.
    const DVec value = hn::IfThenElse(
        hn::Eq(a1, a0), v0, hn::Add(v0, hn::Div(hn::Mul(hn::Sub(v1, v0), hn::Sub(a, a0)), hn::Sub(a1, a0))));
    return hn::IfThenElse(weighted, value, one);
}

// The element pattern at relative azimuth phi and elevation eps per lane.
// 'D' |cos phi|; 'G' |sinc(2 pi u)|^1.5 with u = atan2(sin phi sin eps,
// sqrt((cos phi sin eps)^2 + cos^2 eps)), the power as x sqrt x (within a
// few ulps of std::pow for 0 <= x <= 1); tables by TablePatternLanes, in the
// weighted lanes only (1 elsewhere).
HWY_INLINE DVec PatternLanes(DoubleTag d, const ElementPattern& pattern, DVec phi, DVec eps,
                             DMask weighted) {
    switch (pattern.patternType) {
        case 'D':
            return hn::Abs(Cos(d, phi));
        case 'G': {
            DVec sinPhi, cosPhi, sinEps, cosEps;
            SinCos(d, phi, &sinPhi, &cosPhi);
            SinCos(d, eps, &sinEps, &cosEps);
            const DVec across = hn::Mul(cosPhi, sinEps);
            const DVec u = Atan2(d, hn::Mul(sinPhi, sinEps),
                                 hn::Sqrt(hn::Add(hn::Mul(across, across), hn::Mul(cosEps, cosEps))));
            const DVec s = hn::Abs(Sinc(d, hn::Mul(hn::Set(d, kTwoPi), u)));
            return hn::Mul(s, hn::Sqrt(s));
        }
        default:
            return TablePatternLanes(d, pattern, phi, weighted);
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#endif  // per-target include guard
