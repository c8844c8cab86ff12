// Runs one calculation through the exported functions and prints its wall
// time: run_calc PROJECT_DIR RUN_NAME SCRATCH_BASE [OPTION]. OPTION is
// ILSCalc_Start's option (the thread cap; 0, the default, every thread).
// Uses only the public header, so it also builds against older libraries
// for side-by-side timings (bench/heavy/run.sh).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "ilscalc/ilscalc.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: run_calc PROJECT_DIR RUN_NAME SCRATCH_BASE [OPTION]\n");
        return 2;
    }
    const unsigned option = argc > 4 ? static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10)) : 0u;
    const auto start = std::chrono::steady_clock::now();
    if (ILSCalc_Start(argv[2], argv[1], argv[3], option) != 0) {
        std::fprintf(stderr, "run_calc: the calculation did not start\n");
        return 1;
    }
    int32_t percent = 0;
    int32_t state = ILSCalc_GetProgress(&percent);
    while (state == 1) {  // Running
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        state = ILSCalc_GetProgress(&percent);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: state %d, %.3f s wall\n", argv[2], state, seconds);
    return state == 2 ? 0 : 1;
}
