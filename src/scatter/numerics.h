// Operations shared by the scatterer computations: the distance that sets a
// scatterer's subdivision, the field of one element, Fresnel reflection
// coefficients, the physical-optics polarisation factor and the Doppler
// filter factors. Lengths in feet, angles in radians.
#pragma once

#include "path/station.h"

namespace ils {

inline constexpr double kMuZeroEpsZero = 1.11265005604833e-17;  // s^2/m^2
inline constexpr double kFreeSpaceImpedance = 376.730313461;    // ohms

// Direction cosines of one (patch, source, observation point) evaluation.
// A working record: each computation keeps its own, local to the call.
struct ScatterGeometry {
    double cosTilt = 0, sinTilt = 0;
    double incAlongNormal = 0, incAlongEdge = 0;
    double sinIncElev = 0, cosIncElev = 0;
    double cosInc = 0, sin2Inc = 0;
    double obsAcrossFront = 0, obsAlongEdge = 0;
    double sinObsElev = 0, cosObsElev = 0;
    double crossA = 0, crossB = 0;
    double k = 0;      // wave number of the current array, radians per foot
    double omega = 0;  // k * speed of light, radians per second
};

// Least distance from any element of the system's arrays to the scatterer's
// two ends and midpoint; at least 1e-10, 1e20 with no elements.
double nearestElementDistance(const Station& st, const Scatterer& s);

// Field of element i of array j at P, the pattern centred on the element;
// index 1 holds the ground image when groundOption is 'G', else zero.
void elementIncidentField(const Station& st, int j, int i, char groundOption, double x, double y,
                          double z, Complex csb[2], Complex sbo[2]);

// Fresnel coefficients (perpendicular, parallel) of a half-space of the
// material (permeability H/m, permittivity F/m, conductivity S/m), using
// g.omega, g.sin2Inc and g.cosInc.
void materialReflectionCoefficients(const ScatterGeometry& g, double permeability,
                                    double permittivity, double conductivity, Complex& gammaPerp,
                                    Complex& gammaPar);

// The parts of those coefficients that depend on the material and the
// angular frequency only (m = mu eps (1 - j sigma / (omega eps)), eta =
// mu / sqrt m), kept once per plate and array; reflectionCoefficients then
// gives the same values as materialReflectionCoefficients.
struct MaterialConstants {
    Complex m, eta;
};
MaterialConstants materialConstants(double omega, double permeability, double permittivity,
                                    double conductivity);
void reflectionCoefficients(const MaterialConstants& material, const ScatterGeometry& g,
                            Complex& gammaPerp, Complex& gammaPar);

// Physical-optics polarisation factor of a patch for the geometry g; zero
// when incAlongNormal < 0. Where sin2Inc < kNearNormalSin2 (the incidence
// within about 1e-4 rad of the plate normal, where 1 - cosInc^2 has no
// significant digits left and is 0 at the normal) the factor is the mean of
// the factor for the incidence turned by +-kNearNormalTurn radian about the
// plate's bottom edge, with every incidence-dependent value recomputed.
inline constexpr double kNearNormalSin2 = 1e-8;
inline constexpr double kNearNormalTurn = 1e-3;
Complex polarizationFactor(const ScatterGeometry& g, Complex gammaPerp, Complex gammaPar);

// The geometry with the incident direction turned by delta (radians) about
// the plate's bottom edge; every value that depends on the incidence follows.
ScatterGeometry turnedIncidenceGeometry(const ScatterGeometry& g, double delta);

struct DopplerFactors {
    double f90 = 0, f150 = 0, f0 = 0, f60 = 0;
};

// Receiver averaging response to the Doppler difference between the path
// S -> Q -> O and the direct path S -> O for an observer moving with v.
// A path of zero length (observer on S or on Q) contributes no rate.
DopplerFactors dopplerFilterFactors(const double source[3], const double scatter[3],
                                    const double observer[3], const double velocity[3], double k);

}  // namespace ils
