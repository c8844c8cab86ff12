// Hankel function of the first kind and order zero for the wire current,
// from the classic polynomial approximations of J0 and Y0 (absolute error
// about 5e-8 up to |x| = 3, 1.6e-8 in modulus and 7e-8 in phase beyond).
// With a path's phase exp(+j k R) (time factor exp(-j w t)) the outgoing
// cylindrical wave is H0(1)(k rho) ~ sqrt(2 / (pi k rho)) exp(+j (k rho - pi/4)).
#pragma once

#include "interface/types.h"

namespace ils {

struct BesselPair {
    double j0 = 0.0;
    double y0 = 0.0;
};

// J0(x) and Y0(x) for x > 0 (x = 0 gives Y0 = -infinity).
BesselPair besselZero(double x);

// H(x) = J0(|x|) + j Y0(|x|).
Complex hankelFirstKindZero(double x);

}  // namespace ils
