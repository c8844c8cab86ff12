// SG: moving plates along a motion file.
#pragma once

#include <cstdint>

#include "interface/run_data.h"
#include "path/field_pass.h"
#include "path/station.h"

namespace ils {

// Reads the motion file named by pathText (the SG line from column 8),
// builds the moving-scatterer table and plateMotionCentre. 0 or -1.
int readMovingScatterers(RunData& rd, const char* pathText);

// Adds the field of a plate that moves with the moving-scatterer table,
// splitting the points across the run's threads. 0, or -1 after a
// scratch-file failure.
int computeMovingPlate(RunData& rd, const Scatterer& plate, int plateSerial);

// Per thread: a cache line each, so that the threads do not share one.
struct alignas(64) MovingCounts {
    int64_t total = 0;      // (point, patch, source) triples looked at
    int64_t notFacing = 0;  // of them, sources behind the plate
};

// The moving-plate kernel, for each point of the block: the plate turned by
// the point's rotation about (centreX, centreY) and shifted by its offsets
// (feet), then the physical-optics sum of the fixed plate over every patch
// (running-sum centres), array and source, with the Doppler factors of the
// observer's velocity relative to the plate (feet per second), accumulated
// into the point's record.
void addMovingPlate(const Station& st, const Scatterer& plate, double centreX, double centreY,
                    const PassBlock& block, MovingCounts& counts);

}  // namespace ils
