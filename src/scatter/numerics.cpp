#include "scatter/numerics.h"

#include "interface/unavailable.h"

namespace ils {

double nearestElementDistance(const RunData&, const Scatterer&) { return 1e20; }
void elementIncidentField(const RunData&, int, int, char, double, double, double, Complex csb[2],
                          Complex sbo[2]) {
    csb[0] = csb[1] = sbo[0] = sbo[1] = Complex(0, 0);
}
void materialReflectionCoefficients(const ScatterGeometry&, double, double, double, Complex& a,
                                    Complex& b) {
    a = b = Complex(0, 0);
}
Complex polarizationFactor(const ScatterGeometry&, Complex, Complex) { return Complex(0, 0); }
DopplerFactors dopplerFilterFactors(const double*, const double*, const double*, const double*,
                                    double) {
    return {};
}

}  // namespace ils
