// Times the fixed-plate computation on a realistic building: a 14-element
// localizer (near field, element by element), a hangar wall 60 m wide and
// 20 m high 600 m from the array, and a 2000-point approach. Prints the time
// per (patch, source, point) evaluation.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include "path/run_tables.h"
#include "scatter/plate.h"
#include "scatter/plate_patch.h"

using namespace ils;

int main() {
    auto rd = std::make_unique<RunData>();
    rd->system.systemType = 'L';
    rd->system.farFieldCode = 'N';
    rd->system.captureEffect = 0;
    rd->system.carrierWavelength = kSpeedOfLightFt / 110.1e6;
    AntennaArray& a = rd->arrays[0];
    a.wavelength = rd->system.carrierWavelength;
    a.waveNumber = kTwoPi / a.wavelength;
    a.pattern.patternType = 'D';
    // 14 elements across the course, 2.1 m apart, 2 m up; sideband feeds
    // antisymmetric.
    a.elementCount = 14;
    for (int i = 0; i < 14; ++i) {
        const double off = (i - 6.5) * 2.1;
        a.elementX[i] = 0.0;
        a.elementY[i] = off * kFeetPerMetre;
        a.elementZ[i] = 2.0 * kFeetPerMetre;
        a.csbCurrent[i] = Complex(std::cos(off / 20.0), 0.0);
        a.sboCurrent[i] = Complex(0.0, std::sin(off / 10.0));
        a.centroidY += a.elementY[i] / 14.0;
        a.centroidZ += a.elementZ[i] / 14.0;
    }

    // 2000 points on a 3 degree approach from 18 km to 300 m, 70 m/s.
    const int n = 2000;
    if (createRunTables(*rd, n) != 0) return 1;
    rd->pointCount = n;
    rd->meanTimeStep = 1.0;
    for (int i = 0; i < n; ++i) {
        const double x = (18000.0 - i * (17700.0 / (n - 1))) * kFeetPerMetre;
        const ObservationPoint p{x, 0.0, x * std::tan(3.0 * kDegToRad) + 10.0,
                                 -70.0 * kFeetPerMetre, 0.0, -3.7 * kFeetPerMetre};
        storePoint(*rd, i, p);
    }
    finishPoints(*rd);
    rd->scatterCommandCount = 1;

    // Hangar wall parallel to the course, centre 600 m from the array,
    // facing the array and the approach.
    Scatterer hangar;
    const double cx = 564.0 * kFeetPerMetre, cy = 205.0 * kFeetPerMetre;
    hangar.x1 = cx - 30.0 * kFeetPerMetre;
    hangar.x2 = cx + 30.0 * kFeetPerMetre;
    hangar.y1 = hangar.y2 = cy;
    hangar.z1 = hangar.z2 = 0.0;
    hangar.height = 20.0 * kFeetPerMetre;
    hangar.azimuth = std::atan2(hangar.y2 - hangar.y1, hangar.x2 - hangar.x1);
    hangar.horizontalLength = std::hypot(hangar.x2 - hangar.x1, hangar.y2 - hangar.y1);
    hangar.permeability = 1.25663706143e-6;
    hangar.permittivity = 8.85418781762e-12;
    hangar.conductivity = 3.96e7;

    PlateFrame frame;
    setupPlateFrame(*rd, hangar, frame);
    const double evaluations = static_cast<double>(frame.nc) * frame.nr * frame.sourceCount[0] * n;

    computePlate(*rd, hangar, 1);  // warm-up
    int runs = 0;
    const auto start = std::chrono::steady_clock::now();
    double elapsed = 0.0;
    while (elapsed < 2.0 || runs < 3) {
        computePlate(*rd, hangar, 1);
        ++runs;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    std::printf("plate: nc %d, nr %d, %d sources, %d points: %.0f evaluations per plate\n",
                frame.nc, frame.nr, frame.sourceCount[0], n, evaluations);
    std::printf("%d runs in %.3f s: %.3f ms per plate, %.1f ns per (patch, source, point)\n",
                runs, elapsed, 1e3 * elapsed / runs, 1e9 * elapsed / (runs * evaluations));
    releaseRunTables(*rd);
    return 0;
}
