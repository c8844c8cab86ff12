#include <cmath>

#include "system/array_reader.h"

namespace ils {

// Linear congruential generator x = x * 214013 + 2531011, value (x >> 16) & 0x7fff.
void seedRandom(RunData& rd, uint32_t seed) { rd.randomState = seed; }

int nextRandom(RunData& rd) {
    rd.randomState = rd.randomState * 214013u + 2531011u;
    return static_cast<int>((rd.randomState >> 16) & 0x7fffu);
}

double gaussianRandom(RunData& rd) {
    if (rd.gaussianKept) {
        rd.gaussianKept = false;
        return rd.gaussianValue;
    }
    double u = 0.0, v = 0.0, s = 0.0;
    do {
        const int r1 = nextRandom(rd);
        const int r2 = nextRandom(rd);
        u = 2.0 * r1 * (1.0 / 32768.0) - 1.0;
        v = 2.0 * r2 * (1.0 / 32768.0) - 1.0;
        s = u * u + v * v;
    } while (s >= 1.0 || s == 0.0);  // s = 0 would make ln(s)/s undefined
    const double w = std::sqrt(-2.0 * std::log(s) / s);
    rd.gaussianValue = v * w;
    rd.gaussianKept = true;
    return u * w;
}

}  // namespace ils
