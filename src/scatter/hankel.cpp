#include "scatter/hankel.h"

#include <cmath>

namespace ils {

BesselPair besselZero(double x) {
    BesselPair b;
    if (x <= 3.0) {
        // Powers of (x/3)^2, with the logarithmic term of Y0 scaled by 2/pi.
        const double t = (x / 3.0) * (x / 3.0);
        b.j0 = 1.0 +
               t * (-2.2499997 +
                    t * (1.2656208 +
                         t * (-0.3163866 + t * (0.0444479 + t * (-0.0039444 + t * 0.0002100)))));
        b.y0 = (1.0 / 1.570796326795) * std::log(x / 2.0) * b.j0 + 0.36746691 +
               t * (0.60559366 +
                    t * (-0.74350384 +
                         t * (0.25300117 +
                              t * (-0.04261214 + t * (0.00427916 + t * -0.00024846)))));
        return b;
    }
    // Modulus and phase in powers of 3/x.
    const double u = 3.0 / x;
    const double f0 =
        0.79788456 +
        u * (-0.00000077 +
             u * (-0.00552740 +
                  u * (-0.00009512 + u * (0.00137237 + u * (-0.00072805 + u * 0.00014476)))));
    const double theta0 =
        x - 0.78539816 +
        u * (-0.04166397 +
             u * (-0.00003954 +
                  u * (0.00262573 + u * (-0.00054125 + u * (-0.00029333 + u * 0.00013558)))));
    const double scale = f0 / std::sqrt(x);
    b.j0 = scale * std::cos(theta0);
    b.y0 = scale * std::sin(theta0);
    return b;
}

Complex hankelFirstKindZero(double x) {
    const BesselPair b = besselZero(std::fabs(x));
    return Complex(b.j0, b.y0);
}

}  // namespace ils
