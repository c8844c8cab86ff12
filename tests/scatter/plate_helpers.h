// Helpers of the plate tests: a run with arrays, points and tables filled
// directly, plates built in feet, and the FieldTable read back.
#pragma once

#include <string>
#include <vector>

#include "path/run_tables.h"
#include "scatter/plate.h"
#include "support/test_support.h"

namespace ils::test {

// Relative permeability and permittivity constants of the material table.
inline constexpr double kMuZero = 1.25663706143e-6;
inline constexpr double kEpsZero = 8.85418781762e-12;

// A localizer (single frequency, far-field code N) at freqMHz.
inline void setStation(RunData& rd, double freqMHz, char farField = 'N', char type = 'L') {
    rd.system.systemType = type;
    rd.system.farFieldCode = farField;
    rd.system.captureEffect = 0;
    rd.system.carrierWavelength = kSpeedOfLightFt / (freqMHz * 1e6);
    for (AntennaArray& a : rd.arrays) {
        a.wavelength = rd.system.carrierWavelength;
        a.waveNumber = kTwoPi / a.wavelength;
        // An isotropic pattern: a one-point table of value 1.
        a.pattern.patternType = 'I';
        a.pattern.patternPointCount = 1;
        a.pattern.patternValues[0] = 1.0;
    }
}

inline void addSource(RunData& rd, int j, double x, double y, double z, Complex csb = {1.0, 0.0},
                      Complex sbo = {0.0, 0.0}) {
    addTestElement(rd, j, x, y, z, csb, sbo);
}

inline void setPoints(RunData& rd, const std::vector<ObservationPoint>& points) {
    ASSERT_EQ(createRunTables(rd, static_cast<int32_t>(points.size())), 0);
    rd.pointCount = static_cast<int32_t>(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        ASSERT_EQ(storePoint(rd, static_cast<int32_t>(i), points[i]), 0);
    }
    ASSERT_EQ(finishPoints(rd), 0);
}

// A plate in feet with a good conductor (relative permeability and
// permittivity 1, conductivity 5.8e7 S/m) unless the caller changes it.
inline Scatterer makePlate(double x1, double y1, double x2, double y2, double z1, double height,
                           double tiltDeg = 0.0) {
    Scatterer s;
    s.x1 = x1;
    s.y1 = y1;
    s.x2 = x2;
    s.y2 = y2;
    s.z1 = s.z2 = z1;
    s.height = height;
    s.tilt = tiltDeg * kDegToRad;
    s.azimuth = std::atan2(y2 - y1, x2 - x1);
    s.horizontalLength = std::hypot(x2 - x1, y2 - y1);
    s.permeability = kMuZero;
    s.permittivity = kEpsZero;
    s.conductivity = 5.8e7;
    s.materialDefined = true;
    return s;
}

inline ObservationPoint at(double x, double y, double z, double vx = 0, double vy = 0,
                           double vz = 0) {
    return ObservationPoint{x, y, z, vx, vy, vz};
}

}  // namespace ils::test
