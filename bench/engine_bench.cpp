// Google Benchmark of the field kernels through their commands: ns per
// evaluation for the direct field (one point, all arrays), a fixed plate and
// a moving plate (one patch, source and point) and a wire (one segment,
// array and point), at 1 thread and at every hardware thread (the argument).
// Run: ./build/engine_bench   (wall time; the machine should be otherwise idle)
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <thread>

#include "bench_station.h"
#include "path/field_run.h"
#include "path/run_tables.h"
#include "path/worker_pool.h"
#include "scatter/moving_plate.h"
#include "scatter/plate.h"
#include "scatter/plate_patch.h"
#include "scatter/wire.h"

using namespace ils;

namespace {

constexpr int32_t kPoints = 2000;

// A two-frequency localizer (12 elements per array, near-field mode) and a
// 3 degree approach from 10 nautical miles.
std::unique_ptr<RunData> scene(bool twoFrequency) {
    auto rd = std::make_unique<RunData>();
    rd->system.systemType = 'L';
    rd->system.farFieldCode = 'N';
    rd->system.groundPlaneCode = 'G';
    rd->system.captureEffect = twoFrequency ? 1 : 0;
    rd->system.captureWeight = 0.8;
    const double wavelength = kSpeedOfLightFt / 109.9e6;
    rd->system.carrierWavelength = wavelength;
    for (int j = 0; j < 2; ++j) setBenchArray(rd->arrays[j], wavelength);
    if (createRunTables(*rd, kPoints) != 0) return nullptr;
    for (int32_t i = 0; i < kPoints; ++i) {
        const double x = 60760.0 - i * (60760.0 - 3000.0) / (kPoints - 1);
        storePoint(*rd, i, ObservationPoint{x, 0.0, 50.0 + (x - 3000.0) * std::tan(3.0 * kDegToRad),
                                            -230.0, 0.0, -12.0});
    }
    finishPoints(*rd);
    rd->pointCount = kPoints;
    rd->meanTimeStep = 0.1;
    rd->scatterCommandCount = 1;
    return rd;
}

Scatterer hangar() {
    Scatterer p;
    p.x1 = 8000.0;
    p.x2 = 8300.0;
    p.y1 = p.y2 = 900.0;
    p.horizontalLength = 300.0;
    p.height = 60.0;
    p.azimuth = 0.0;
    p.permeability = 1.25663706143e-6;
    p.permittivity = 8.85418781762e-12;
    p.conductivity = 3.96e7;
    return p;
}

int threadsOf(const benchmark::State& state) {
    return state.range(0) == 0 ? WorkerPool::threadsFor(0) : static_cast<int>(state.range(0));
}

void reportPerEvaluation(benchmark::State& state, double evaluations, int threads) {
    state.counters["threads"] = threads;
    // Wall seconds per evaluation (printed with its prefix, e.g. 85.3ns).
    state.counters["per_eval"] =
        benchmark::Counter(evaluations, benchmark::Counter::kIsIterationInvariantRate |
                                            benchmark::Counter::kInvert);
}

void DirectField(benchmark::State& state) {
    auto rd = scene(true);
    const int threads = threadsOf(state);
    WorkerPool pool(threads);
    rd->workers = &pool;
    const Station st(*rd);
    std::vector<FieldRecord> out(kPoints);
    for (auto _ : state) {
        parallelFor(rd->workers, kPoints, 16, [&](int32_t b, int32_t e, int) {
            directFieldRecords(st, std::span<const ObservationPoint>(rd->pointTable.entries).subspan(b, e - b),
                               std::span<FieldRecord>(out).subspan(b, e - b));
        });
        benchmark::DoNotOptimize(out.data());
    }
    reportPerEvaluation(state, kPoints, threads);
    rd->workers = nullptr;
    releaseRunTables(*rd);
}

void FixedPlate(benchmark::State& state) {
    auto rd = scene(false);
    const int threads = threadsOf(state);
    WorkerPool pool(threads);
    rd->workers = &pool;
    const Scatterer plate = hangar();
    PlateFrame frame;
    setupPlateFrame(*rd, plate, frame);
    for (auto _ : state) computePlate(*rd, plate, 1);
    reportPerEvaluation(state, static_cast<double>(frame.nc) * frame.nr * frame.sourceCount[0] * kPoints,
                        threads);
    rd->workers = nullptr;
    releaseRunTables(*rd);
}

void MovingPlate(benchmark::State& state) {
    auto rd = scene(false);
    const int threads = threadsOf(state);
    WorkerPool pool(threads);
    rd->workers = &pool;
    rd->movingTable.held = rd->movingTable.inMemory = true;
    rd->movingTable.entries.assign(kPoints, MovingPosition{});
    for (int32_t i = 0; i < kPoints; ++i) {
        rd->movingTable.entries[static_cast<size_t>(i)].offsetX = -3.0 * i;  // 30 ft/s, 0.1 s steps
        rd->movingTable.entries[static_cast<size_t>(i)].velocityX = -30.0;
    }
    Scatterer plate = hangar();
    plate.x2 = plate.x1 + 100.0;
    plate.horizontalLength = 100.0;
    plate.height = 30.0;
    double evaluations = 0.0;
    for (int32_t i = 0; i < kPoints; ++i) {
        Scatterer moved = plate;
        moved.x1 -= 3.0 * i;
        moved.x2 -= 3.0 * i;
        PlateFrame frame;
        setupPlateFrame(*rd, moved, frame);
        evaluations += static_cast<double>(frame.nc) * frame.nr * frame.sourceCount[0];
    }
    for (auto _ : state) computeMovingPlate(*rd, plate, 1);
    reportPerEvaluation(state, evaluations, threads);
    rd->workers = nullptr;
    releaseRunTables(*rd);
}

void Wire(benchmark::State& state) {
    auto rd = scene(true);
    const int threads = threadsOf(state);
    WorkerPool pool(threads);
    rd->workers = &pool;
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
    for (auto _ : state) computeWire(*rd, wire, 1);
    reportPerEvaluation(state, plan.segmentCount * kPoints * 2.0, threads);
    rd->workers = nullptr;
    releaseRunTables(*rd);
}

}  // namespace

// Argument: threads (0 = every hardware thread).
BENCHMARK(DirectField)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(FixedPlate)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(MovingPlate)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Wire)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
