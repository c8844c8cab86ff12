// Wire scattering speed: a 1 km power line across the approach, seen from a
// two-frequency localizer along a 2000-point approach. Prints the time per
// evaluation (one segment, one array, one observation point).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include "bench_station.h"
#include "interface/run_data.h"
#include "path/run_tables.h"
#include "scatter/wire.h"

using namespace ils;

int main() {
    auto rd = std::make_unique<RunData>();
    rd->system.systemType = 'L';
    rd->system.captureEffect = 1;
    rd->system.captureWeight = 0.8;
    const double wavelength = kSpeedOfLightFt / 109.9e6;
    rd->system.carrierWavelength = wavelength;
    for (int j = 0; j < 2; ++j) setBenchArray(rd->arrays[j], wavelength);
    // Approach from 10 nautical miles to the threshold, 3 degree glide path.
    const int32_t n = 2000;
    if (createRunTables(*rd, n) != 0) return 1;
    for (int32_t i = 0; i < n; ++i) {
        const double x = 60760.0 - i * (60760.0 - 3000.0) / (n - 1);
        const ObservationPoint p{x, 0.0, 50.0 + (x - 3000.0) * std::tan(3.0 * kDegToRad),
                                 -230.0, 0.0, -12.0};
        storePoint(*rd, i, p);
    }
    finishPoints(*rd);
    rd->pointCount = n;
    rd->scatterCommandCount = 1;

    // 1 km of line, 60 ft up, crossing the approach 2 nautical miles out.
    Scatterer wire;
    wire.x1 = wire.x2 = 12152.0;
    wire.y1 = -500.0 * kFeetPerMetre;
    wire.y2 = 500.0 * kFeetPerMetre;
    wire.z1 = wire.z2 = 60.0;
    wire.horizontalLength = wire.y2 - wire.y1;
    wire.length = wire.horizontalLength;
    wire.azimuth = std::atan2(wire.y2 - wire.y1, 0.0);
    wire.tilt = std::atan2(wire.horizontalLength, 0.0);
    wire.radius = 0.05;

    const WirePlan plan = planWire(*rd, wire);
    const auto start = std::chrono::steady_clock::now();
    const int status = computeWire(*rd, wire, 1);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double evaluations = plan.segmentCount * n * 2.0;
    std::printf("wire: status %d, %.0f segments x %d points x 2 arrays, %.3f s, %.1f ns per evaluation\n",
                status, plan.segmentCount, n, seconds, seconds / evaluations * 1e9);
    releaseRunTables(*rd);
    return status;
}
