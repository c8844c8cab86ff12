// Moving-plate speed: a 100 ft by 40 ft plate (a hangar door on a vehicle)
// travelling beside the runway while the aircraft approaches, seen from a
// 12-element localizer. Prints the time per evaluation (one patch, one
// source, one observation point).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include "bench_station.h"
#include "interface/run_data.h"
#include "path/run_tables.h"
#include "scatter/moving_plate.h"
#include "scatter/plate_patch.h"

using namespace ils;

int main() {
    auto rd = std::make_unique<RunData>();
    rd->system.systemType = 'L';
    rd->system.farFieldCode = 'N';
    rd->system.captureEffect = 0;
    const double wavelength = kSpeedOfLightFt / 109.9e6;
    rd->system.carrierWavelength = wavelength;
    setBenchArray(rd->arrays[0], wavelength);

    const int32_t n = 2000;
    if (createRunTables(*rd, n) != 0) return 1;
    rd->movingTable.held = rd->movingTable.inMemory = true;
    rd->movingTable.entries.assign(static_cast<size_t>(n), MovingPosition{});
    for (int32_t i = 0; i < n; ++i) {
        const double x = 20000.0 - i * 8.0;
        storePoint(*rd, i, ObservationPoint{x, 10.0, 50.0 + 0.05 * x, -230.0, 0.0, -11.0});
        MovingPosition& m = rd->movingTable.entries[static_cast<size_t>(i)];
        m.offsetX = -0.1 * 30.0 * i;  // 30 ft/s along the taxiway, 0.1 s steps
        m.velocityX = -30.0;
    }
    finishPoints(*rd);
    rd->pointCount = n;
    rd->meanTimeStep = 0.1;
    rd->scatterCommandCount = 1;

    Scatterer plate;
    plate.x1 = 1500.0;
    plate.x2 = 1600.0;
    plate.y1 = plate.y2 = 400.0;
    plate.horizontalLength = 100.0;
    plate.height = 40.0;
    plate.azimuth = 0.0;
    plate.permeability = 2000.0 * 1.25663706143e-6;
    plate.permittivity = 8.85418781762e-12;
    plate.conductivity = 2.0e6;

    // Patches and sources per point for the count of evaluations.
    double evaluations = 0.0;
    for (int32_t i = 0; i < n; ++i) {
        Scatterer moved = plate;
        moved.x1 += rd->movingTable.entries[static_cast<size_t>(i)].offsetX;
        moved.x2 += rd->movingTable.entries[static_cast<size_t>(i)].offsetX;
        PlateFrame frame;
        setupPlateFrame(*rd, moved, frame);
        evaluations += static_cast<double>(frame.nc) * frame.nr * frame.sourceCount[0];
    }

    const auto start = std::chrono::steady_clock::now();
    const int status = computeMovingPlate(*rd, plate, 1);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("moving plate: status %d, %d points, %.0f evaluations, %.3f s, %.1f ns per evaluation\n",
                status, n, evaluations, seconds, seconds / evaluations * 1e9);
    releaseRunTables(*rd);
    return status;
}
