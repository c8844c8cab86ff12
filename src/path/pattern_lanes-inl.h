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

// The element pattern at relative azimuth phi and elevation eps per lane.
// 'D' |cos phi|; 'G' |sinc(2 pi u)|^1.5 with u = atan2(sin phi sin eps,
// sqrt((cos phi sin eps)^2 + cos^2 eps)), the power as x sqrt x (within a
// few ulps of std::pow for 0 <= x <= 1); tables by patternValue lane by lane,
// in the weighted lanes only (1 elsewhere).
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
            // A table reads the azimuth alone, lane by lane (a search each).
            return detail::PerLaneWhere(d, weighted, phi, hn::Set(d, 1.0),
                                        [&](double p) { return patternValue(pattern, p, 0.0); });
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#endif  // per-target include guard
