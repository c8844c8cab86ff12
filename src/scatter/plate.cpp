#include "scatter/plate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "input/messages.h"
#include "path/direct_field.h"
#include "path/run_tables.h"
#include "scatter/plate_patch.h"

namespace ils {

int computePlate(RunData& rd, const Scatterer& plate, int plateSerial) {
    PlateFrame frame;
    setupPlateFrame(rd, plate, frame);
    const double sources = static_cast<double>(frame.sourceCount[0]) + frame.sourceCount[1];
    const double total =
        static_cast<double>(rd.pointCount) * frame.nc * frame.nr * sources;
    const int64_t stride = std::max<int64_t>(
        1, static_cast<int64_t>(std::trunc(total * rd.scatterCommandCount / 100.0 + 0.5)));
    int64_t notFacing = 0;
    int64_t pointsDone = 0;
    int64_t percents = 0;

    PointCursor cursor;
    if (openPoints(rd, cursor) != 0) return -1;
    int status = 0;
    double rowStart[3] = {frame.first[0], frame.first[1], frame.first[2]};
    for (int32_t p = 0; p < frame.nr && status == 0; ++p, addStep(rowStart, frame.rstep)) {
        double centre[3] = {rowStart[0], rowStart[1], rowStart[2]};
        for (int32_t q = 0; q < frame.nc && status == 0; ++q, addStep(centre, frame.cstep)) {
            for (int j = 0; j < frame.arrayCount && status == 0; ++j) {
                for (int s = 0; s < frame.sourceCount[j] && status == 0; ++s) {
                    PatchSource ps;
                    if (!setupPatchSource(rd, plate, frame, j, s, centre, ps)) {
                        ++notFacing;
                        continue;
                    }
                    FieldPass pass;
                    if (beginFieldPass(rd, pass) != 0) {
                        status = -1;
                        break;
                    }
                    for (int32_t i = 0; i < rd.pointCount; ++i) {
                        ObservationPoint o;
                        FieldRecord* record = nullptr;
                        if (nextPoint(rd, cursor, o) != 0 ||
                            (record = fieldPassRecord(rd, pass)) == nullptr) {
                            status = -1;
                            break;
                        }
                        PatchObserver ob;
                        observePatch(frame, centre, o, ob);
                        if (observerLit(plate, ob)) {
                            const double velocity[3] = {o.vx, o.vy, o.vz};
                            PatchContribution c;
                            evaluatePatchPoint(ps, ob, o, velocity, c);
                            accumulateField(rd, j, c.csb, c.sbo, c.doppler.f90, c.doppler.f150,
                                            c.doppler.f60, c.doppler.f0, *record);
                            if (++pointsDone % stride == 0) {
                                ++percents;
                                rd.progressPercent.store(static_cast<int32_t>(
                                    std::trunc(static_cast<double>(percents) +
                                               rd.progressAccumulator)));
                            }
                        }
                        if (fieldPassStore(rd, pass) != 0) {
                            status = -1;
                            break;
                        }
                    }
                    if (status != 0) {
                        abortFieldPass(pass);
                        break;
                    }
                    if (endFieldPass(rd, pass) != 0 || rewindPoints(rd, cursor) != 0) status = -1;
                }
            }
        }
    }
    closePoints(cursor);
    if (status != 0) return status;

    // Slots 12..14 of every record, in either storage, so that the field file
    // does not depend on where the table was held.
    if (storeMultipathMagnitudes(rd) != 0) return -1;

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
