// The most that threads can gain on this machine: a fixed amount of
// arithmetic that needs no memory and no synchronisation (sixteen
// independent multiply-add chains per thread, in registers), split evenly
// over THREADS threads, timed from the first thread's start to the last one's
// end. Its 1 -> N ratio is the ceiling for any engine's on the same machine
// at the same moment; on a shared virtual machine it falls short of N when
// the host gives the threads less than whole cores.
//   parallel_ceiling THREADS [MILLIONS]   (MILLIONS of steps in all, default 60)
// Prints the wall seconds.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

// Sixteen chains x = x m + c of about one cycle's throughput each: enough
// independent work to fill a core's floating-point units.
double chains(long steps) {
    double a[16];
    for (int i = 0; i < 16; ++i) a[i] = 1.0 + i * 0.01;
    const double m = 0.999999999, c = 1e-9;
    for (long k = 0; k < steps; ++k) {
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) a[i] = a[i] * m + c;
    }
    double s = 0.0;
    for (double x : a) s += x;
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const int threads = argc > 1 ? std::atoi(argv[1]) : 1;
    const double millions = argc > 2 ? std::atof(argv[2]) : 60.0;
    if (threads < 1 || threads > 256 || !(millions > 0.0)) {
        std::fprintf(stderr, "usage: parallel_ceiling THREADS [MILLIONS]\n");
        return 2;
    }
    const long steps = static_cast<long>(millions * 1e6 / threads);
    std::vector<double> sums(static_cast<size_t>(threads));
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> others;
    for (int t = 1; t < threads; ++t) others.emplace_back([&, t] { sums[static_cast<size_t>(t)] = chains(steps); });
    sums[0] = chains(steps);
    for (std::thread& t : others) t.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double check = 0.0;
    for (double s : sums) check += s;
    // The sums keep the chains from being optimised away.
    std::printf("%.4f%s\n", seconds, check == 0.0 ? " (no work)" : "");
    return 0;
}
