// Nanoseconds per value of the engine's vector mathematics against the
// standard library's scalar functions on the same inputs: sin and cos of
// path phases (k R up to 1e6 rad), sinc of Doppler and aperture arguments,
// atan2 of element bearings, and the Hankel function of wire distances.
// The vector forms run on the best instruction set of the machine (printed
// in the context as "simd_target").
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "interface/types.h"
#include "scatter/hankel.h"
#include "simd/vector_math.h"

namespace {

constexpr std::size_t kValues = 4096;

std::vector<double> uniform(double lo, double hi, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(lo, hi);
    std::vector<double> v(kValues);
    for (double& x : v) x = u(rng);
    return v;
}

void perValue(benchmark::State& state) {
    state.counters["per_value"] = benchmark::Counter(
        double(kValues), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void StdSinCos(benchmark::State& state) {
    const auto x = uniform(0.0, 1e6, 1);
    std::vector<double> s(kValues), c(kValues);
    for (auto _ : state) {
        for (std::size_t i = 0; i < kValues; ++i) {
            s[i] = std::sin(x[i]);
            c[i] = std::cos(x[i]);
        }
        benchmark::DoNotOptimize(s.data());
        benchmark::DoNotOptimize(c.data());
    }
    perValue(state);
}
BENCHMARK(StdSinCos);

void VectorSinCos(benchmark::State& state) {
    const auto x = uniform(0.0, 1e6, 1);
    std::vector<double> s(kValues), c(kValues);
    for (auto _ : state) {
        ils::vectorSinCos(x.data(), kValues, s.data(), c.data());
        benchmark::DoNotOptimize(s.data());
        benchmark::DoNotOptimize(c.data());
    }
    perValue(state);
}
BENCHMARK(VectorSinCos);

void StdSinc(benchmark::State& state) {
    const auto x = uniform(-40.0, 40.0, 2);
    std::vector<double> out(kValues);
    for (auto _ : state) {
        for (std::size_t i = 0; i < kValues; ++i) out[i] = ils::sinc(x[i]);
        benchmark::DoNotOptimize(out.data());
    }
    perValue(state);
}
BENCHMARK(StdSinc);

void VectorSinc(benchmark::State& state) {
    const auto x = uniform(-40.0, 40.0, 2);
    std::vector<double> out(kValues);
    for (auto _ : state) {
        ils::vectorSinc(x.data(), kValues, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    perValue(state);
}
BENCHMARK(VectorSinc);

void StdAtan2(benchmark::State& state) {
    const auto y = uniform(-1e3, 1e3, 3), x = uniform(-1e3, 1e3, 4);
    std::vector<double> out(kValues);
    for (auto _ : state) {
        for (std::size_t i = 0; i < kValues; ++i) out[i] = std::atan2(y[i], x[i]);
        benchmark::DoNotOptimize(out.data());
    }
    perValue(state);
}
BENCHMARK(StdAtan2);

void VectorAtan2(benchmark::State& state) {
    const auto y = uniform(-1e3, 1e3, 3), x = uniform(-1e3, 1e3, 4);
    std::vector<double> out(kValues);
    for (auto _ : state) {
        ils::vectorAtan2(y.data(), x.data(), kValues, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    perValue(state);
}
BENCHMARK(VectorAtan2);

// Arguments below 3 (polynomials in (x/3)^2 and a logarithm) or above
// (modulus and phase, a sine and cosine).
void StdHankel(benchmark::State& state) {
    const auto x = state.range(0) ? uniform(3.0, 3000.0, 5) : uniform(0.0, 3.0, 5);
    std::vector<double> re(kValues), im(kValues);
    for (auto _ : state) {
        for (std::size_t i = 0; i < kValues; ++i) {
            const ils::BesselPair b = ils::besselZero(x[i]);
            re[i] = b.j0;
            im[i] = b.y0;
        }
        benchmark::DoNotOptimize(re.data());
        benchmark::DoNotOptimize(im.data());
    }
    perValue(state);
}
BENCHMARK(StdHankel)->ArgName("beyond3")->Arg(0)->Arg(1);

void VectorHankel(benchmark::State& state) {
    const auto x = state.range(0) ? uniform(3.0, 3000.0, 5) : uniform(0.0, 3.0, 5);
    std::vector<double> re(kValues), im(kValues);
    for (auto _ : state) {
        ils::vectorHankel0First(x.data(), kValues, re.data(), im.data());
        benchmark::DoNotOptimize(re.data());
        benchmark::DoNotOptimize(im.data());
    }
    perValue(state);
}
BENCHMARK(VectorHankel)->ArgName("beyond3")->Arg(0)->Arg(1);

}  // namespace

int main(int argc, char** argv) {
    benchmark::AddCustomContext("simd_target", ils::vectorTargetName());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
