#include "scatter/plate.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "input/messages.h"
#include "path/direct_field.h"
#include "path/field_pass.h"
#include "scatter/plate_patch.h"

namespace ils {
namespace {

// (patch, source) pairs one field pass adds at once: bounds the memory of a
// plate with very many patches; each record still receives the pairs in
// the order of the loops (rows, columns, arrays, sources).
constexpr size_t kPairsPerPass = 4096;

}  // namespace

int computePlate(RunData& rd, const Scatterer& plate, int plateSerial) {
    const Station st(rd);
    PlateFrame frame;
    setupPlateFrame(st, plate, frame);
    const double sources = static_cast<double>(frame.sourceCount[0]) + frame.sourceCount[1];
    const double total = static_cast<double>(rd.pointCount) * frame.nc * frame.nr * sources;
    ProgressCounter progress{&rd.progressPercent, rd.progressAccumulator,
                             boundedStride(total * rd.scatterCommandCount / 100.0)};
    int64_t notFacing = 0;
    std::vector<int64_t> lit(static_cast<size_t>(passSlots(rd)));

    std::vector<PatchSource> pairs;
    pairs.reserve(kPairsPerPass);
    // One field pass adds the pairs gathered so far to every record.
    PreparedPairs prepared;
    auto addPairs = [&]() {
        if (pairs.empty()) return 0;
        preparePlatePairs(pairs, prepared);
        const int status = runFieldPass(
            rd, false,
            [&](const PassBlock& b, int slot) {
                addPlatePairs(st, plate, frame, pairs, prepared, b.points, b.records,
                              lit[static_cast<size_t>(slot)]);
            },
            [&](int32_t) {
                int64_t sum = 0;
                for (int64_t& n : lit) {
                    sum += n;
                    n = 0;
                }
                progress.add(sum);
            });
        pairs.clear();
        return status;
    };

    std::vector<PatchSource> patchSources(kMaxArrayElements);
    bool facing[kMaxArrayElements] = {};
    double rowStart[3] = {frame.first[0], frame.first[1], frame.first[2]};
    for (int32_t p = 0; p < frame.nr; ++p, addStep(rowStart, frame.rstep)) {
        double centre[3] = {rowStart[0], rowStart[1], rowStart[2]};
        for (int32_t q = 0; q < frame.nc; ++q, addStep(centre, frame.cstep)) {
            for (int j = 0; j < frame.arrayCount; ++j) {
                setupPatchSources(st, plate, frame, j, centre, patchSources.data(), facing);
                for (int s = 0; s < frame.sourceCount[j]; ++s) {
                    if (!facing[static_cast<size_t>(s)]) {
                        ++notFacing;
                        continue;
                    }
                    PatchSource& ps = patchSources[static_cast<size_t>(s)];
                    ps.patch = p * frame.nc + q;
                    pairs.push_back(ps);
                    if (pairs.size() == kPairsPerPass && addPairs() != 0) return -1;
                }
            }
        }
    }
    if (addPairs() != 0) return -1;


    if (notFacing > 0) {
        // The share of (patch, source, point) work skipped; without points
        // (0/0) the share of (patch, source) pairs.
        const double share =
            rd.pointCount > 0 ? static_cast<double>(notFacing) * 100.0 * rd.pointCount / total
                              : static_cast<double>(notFacing) * 100.0 / (frame.nc * frame.nr * sources);
        logMessage(rd.messageLog, "WARNING! %1.1f %% of reflective plate %1d is not facing\n",
                   share, plateSerial);
        logMessage(rd.messageLog, "the system.  Part or all of the field is not calculated.\n");
    }
    return 0;
}

}  // namespace ils
