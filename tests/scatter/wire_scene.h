// A small scene for the wire and moving-plate tests: a localizer array with
// an isotropic element pattern, a flight given point by point, and the
// FieldRecords read back, without the SY, CO and FP readers.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "path/run_tables.h"
#include "support/test_support.h"

namespace ils::test {

inline void setupStation(RunData& rd, double wavelength, int32_t captureEffect = 0) {
    rd.system.systemType = 'L';
    rd.system.groundPlaneCode = 'G';
    rd.system.farFieldCode = 'N';
    rd.system.captureEffect = captureEffect;
    rd.system.carrierWavelength = wavelength;
    rd.system.captureWeight = 1.0;
    for (AntennaArray& a : rd.arrays) {
        a.elementCount = 0;
        a.wavelength = wavelength;
        a.waveNumber = kTwoPi / wavelength;
        a.pattern.patternType = 'I';
        a.pattern.patternPointCount = 1;
        a.pattern.patternValues[0] = 1.0;
    }
    rd.scatterCommandCount = 1;
    rd.progressAccumulator = 0.0;
}

// Adds an element and keeps the centroid at the mean element position.
inline void addStationElement(RunData& rd, int j, double x, double y, double z, Complex csb,
                              Complex sbo) {
    addTestElement(rd, j, x, y, z, csb, sbo);
}

// A two-element course array 8 ft up at the origin, carrier wavelength 8.94 ft.
inline void setupCourseArray(RunData& rd, int32_t captureEffect = 0) {
    setupStation(rd, 8.94, captureEffect);
    for (int j = 0; j <= captureEffect; ++j) {
        addStationElement(rd, j, 0.0, -5.0, 8.0, Complex(1.0, 0.0), Complex(0.0, 0.3));
        addStationElement(rd, j, 0.0, 5.0, 8.0, Complex(1.0, 0.0), Complex(0.0, -0.3));
    }
}

inline void setFlight(RunData& rd, const std::vector<ObservationPoint>& points,
                      double meanTimeStep = 1.0) {
    ASSERT_EQ(createRunTables(rd, static_cast<int32_t>(points.size())), 0);
    for (size_t i = 0; i < points.size(); ++i)
        ASSERT_EQ(storePoint(rd, static_cast<int32_t>(i), points[i]), 0);
    ASSERT_EQ(finishPoints(rd), 0);
    rd.pointCount = static_cast<int32_t>(points.size());
    rd.meanTimeStep = meanTimeStep;
}

// An approach from 3000 ft to 1500 ft, 20 ft off the axis, descending.
inline std::vector<ObservationPoint> approachPoints(int count = 16) {
    std::vector<ObservationPoint> pts;
    for (int i = 0; i < count; ++i) {
        const double x = 3000.0 - 100.0 * i;
        pts.push_back({x, 20.0, 40.0 + 0.05 * x, -200.0, 0.0, -10.0});
    }
    return pts;
}

// Largest |a - b| over slots 0..11 of all records, and largest |a|.
inline double largestDifference(const std::vector<FieldRecord>& a,
                                const std::vector<FieldRecord>& b) {
    double worst = 0.0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        for (int s = 0; s < 12; ++s) worst = std::fmax(worst, std::abs(a[i].slot[s] - b[i].slot[s]));
    }
    return worst;
}
inline double largestValue(const std::vector<FieldRecord>& a) {
    double worst = 0.0;
    for (const FieldRecord& r : a) {
        for (int s = 0; s < 12; ++s) worst = std::fmax(worst, std::abs(r.slot[s]));
    }
    return worst;
}

inline Scatterer makeWire(double x1, double y1, double z1, double x2, double y2, double z2,
                          double radius) {
    Scatterer w;
    w.x1 = x1;
    w.y1 = y1;
    w.z1 = z1;
    w.x2 = x2;
    w.y2 = y2;
    w.z2 = z2;
    w.horizontalLength = std::hypot(x2 - x1, y2 - y1);
    w.length = std::hypot(w.horizontalLength, z2 - z1);
    w.azimuth = std::atan2(y2 - y1, x2 - x1);
    w.tilt = std::atan2(w.horizontalLength, z2 - z1);
    w.radius = radius;
    return w;
}

}  // namespace ils::test
