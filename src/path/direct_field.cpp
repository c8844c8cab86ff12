#include "path/direct_field.h"

#include <cmath>

namespace ils {

double patternValue(const ElementPattern& pattern, double phi, double eps) {
    switch (pattern.patternType) {
        case 'D':
            return std::fabs(std::cos(phi));
        case 'G': {
            // u: the angle off the pattern's vertical plane; the value is
            // |sinc(2 pi u)|^1.5.
            const double u = std::atan2(
                std::sin(phi) * std::sin(eps),
                std::sqrt(std::pow(std::cos(phi) * std::sin(eps), 2) + std::pow(std::cos(eps), 2)));
            return std::pow(std::fabs(sinc(kTwoPi * u)), 1.5);
        }
        default: {
            const int n = pattern.patternPointCount;
            if (n <= 0) return 0.0;
            double a = -phi / kDegToRad;
            if (a < -180.0) {
                a += 360.0;
            } else if (a > 180.0) {
                a -= 360.0;
            }
            if (n == 1) return pattern.patternValues[0];
            int s = 0;
            if (n - 1 > 1) {
                while (s + 1 <= n - 2 && pattern.patternAngles[s + 1] < a) ++s;
            }
            const double a0 = pattern.patternAngles[s];
            const double a1 = pattern.patternAngles[s + 1];
            const double v0 = pattern.patternValues[s];
            const double v1 = pattern.patternValues[s + 1];
            // A zero-width segment has no slope: take its lower value.
            if (a1 == a0) return v0;
            return v0 + (v1 - v0) * (a - a0) / (a1 - a0);
        }
    }
}

void arrayField(const Station& st, int j, char groundOption, double x, double y, double z,
                Complex csb[2], Complex sbo[2]) {
    csb[0] = csb[1] = sbo[0] = sbo[1] = Complex(0.0, 0.0);
    const AntennaArray& a = st.arrays[j];
    if (a.elementCount <= 0) return;
    const int passes = groundOption == 'G' ? 2 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const double zp = pass == 0 ? z : -z;
        const double sign = pass == 0 ? 1.0 : -1.0;
        Complex c(0.0, 0.0), s(0.0, 0.0);
        for (int i = 0; i < a.elementCount; ++i) {
            const double dx = x - a.elementX[i];
            const double dy = y - a.elementY[i];
            const double dz = zp - a.elementZ[i];
            const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
            if (r == 0.0) continue;  // 1/R undefined on the element itself
            const Complex f = std::exp(Complex(0.0, a.waveNumber * r)) / r;
            c += a.csbCurrent[i] * f;
            s += a.sboCurrent[i] * f;
        }
        const double dx = x - a.centroidX;
        const double dy = y - a.centroidY;
        if (dx != 0.0 || dy != 0.0) {
            const double dz = zp - a.centroidZ;
            const double rho = std::sqrt(dx * dx + dy * dy);
            const double eps = std::atan2(dz, rho);
            const double phi = std::atan2(dy, dx) - a.pattern.patternAxis;
            const double g = patternValue(a.pattern, phi, eps);
            c *= g;
            s *= g;
        }
        csb[pass] = sign * c;
        sbo[pass] = sign * s;
    }
}

void accumulateField(const Station& st, int j, Complex csb, Complex sbo, double f90,
                     double f150, double f60, double f0, FieldRecord& record) {
    accumulateSlots(st.system.captureWeight, j, csb, sbo, f90, f150, f60, f0, record.slot);
}

}  // namespace ils
