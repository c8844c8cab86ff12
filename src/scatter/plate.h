// Physical-optics scattering of a fixed reflecting plate.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "interface/run_data.h"
#include "scatter/plate_patch.h"

namespace ils {

// Adds the plate's scattered field to every FieldRecord, splitting the
// points across the run's threads. 0, or -1 after a scratch-file failure.
int computePlate(RunData& rd, const Scatterer& plate, int plateSerial);

// The plate kernel: for each point (in order) and each (patch, source) pair
// (in the loops' order: rows, columns, arrays, sources), the scattered CSB
// and SBO of the pair at the point (evaluatePatchPoint: two observation
// paths, direct and ground-reflected incidence, sinc patch integrals,
// polarisation factor; volts per metre relative to the feed currents) are
// accumulated into the point's record with the pair's Doppler factors.
// Points on the plate's back side (unless both sides scatter) get nothing
// from that patch. lit counts the (pair, point) evaluations made.
void addPlatePairs(const Station& st, const Scatterer& plate, const PlateFrame& frame,
                   std::span<const PatchSource> pairs, std::span<const ObservationPoint> points,
                   std::span<FieldRecord> records, int64_t& lit);

// The same with the pairs already in the kernel's form (preparePlatePairs),
// as a field pass hands them to every range of points: each pair's
// constants, and the distinct sources (x, y, z in feet, k in radians per
// foot; four doubles each) whose direct paths' Doppler parts every pair of
// that source shares at a point.
struct PreparedPairs {
    std::vector<PairConstants> constants;
    std::vector<double> sources;
};
void preparePlatePairs(std::span<const PatchSource> pairs, PreparedPairs& prepared);
void addPlatePairs(const Station& st, const Scatterer& plate, const PlateFrame& frame,
                   std::span<const PatchSource> pairs, const PreparedPairs& prepared,
                   std::span<const ObservationPoint> points, std::span<FieldRecord> records,
                   int64_t& lit);

}  // namespace ils
