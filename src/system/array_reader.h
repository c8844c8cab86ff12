// CO and CL: antenna arrays, their feeds, random feed errors and the
// optional coefficient block.
#pragma once

#include <cstdint>

#include "interface/run_data.h"

namespace ils {

// Reads the lines of a CO (arrayIndex 0) or CL (1) command. 0 or -1.
int readArray(RunData& rd, const char* command, int arrayIndex);

// The library's pseudo-random generator: values 0..32767.
void seedRandom(RunData& rd, uint32_t seed);
int nextRandom(RunData& rd);

// Standard normal deviates by the polar method; values come in pairs.
double gaussianRandom(RunData& rd);

}  // namespace ils
