#include "scatter/moving_plate.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "input/lines.h"
#include "input/messages.h"
#include "input/scan.h"
#include "interface/test_control.h"
#include "path/direct_field.h"
#include "path/field_pass.h"
#include "scatter/plate_patch.h"

namespace ils {
namespace {

struct Waypoint {
    double x = 0, y = 0, z = 0;
    double rotation = 0;  // radians, counter-clockwise
    double speed = 0;     // feet per second along the leg that starts here
};

// One waypoint line; values that do not convert (short or malformed lines,
// the end of the file) are 0. Sets atEnd when the file has ended.
Waypoint readWaypoint(FILE* motion, bool& atEnd) {
    char line[kLineSize];
    if (!readLine(motion, line)) atEnd = true;
    double v[5] = {0, 0, 0, 0, 0};
    scanText(line, "%lf %lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3], &v[4]);
    Waypoint w;
    w.x = v[0];
    w.y = v[1];
    w.z = v[2];
    w.rotation = v[3] * -kDegToRad;
    w.speed = v[4];
    return w;
}

int32_t readCount(FILE* motion) {
    char line[kLineSize];
    readLine(motion, line);
    int32_t value = 0;
    scanText(line, "%d", &value);
    return value;
}

// Writes entries in order, to memory or appended to "dynscat.tmp".
struct EntryWriter {
    TableStore<MovingPosition>* table = nullptr;
    FILE* log = nullptr;
    int32_t next = 0;
    bool failed = false;
    int32_t line = 0;            // motion-file line of the waypoint being travelled to
    int32_t nonFiniteLine = 0;   // first line whose leg overflowed; the SG command fails

    void put(const MovingPosition& raw) {
        MovingPosition e = raw;
        // Only waypoint values near the limits of the number range overflow;
        // the command is then refused, and the component is stored as 0 so
        // that nothing written holds an infinity.
        double* values[] = {&e.offsetX,   &e.offsetY,   &e.offsetZ, &e.velocityX,
                            &e.velocityY, &e.velocityZ, &e.rotation};
        for (double* v : values) {
            if (!std::isfinite(*v)) {
                *v = 0.0;
                if (nonFiniteLine == 0) nonFiniteLine = line;
            }
        }
        if (!failed && table->append(e, nullptr) != 0) failed = true;
        ++next;
    }
};

// Allocates the table for n entries in memory, or opens "dynscat.tmp".
int createMovingTable(RunData& rd, int32_t n) {
    return rd.movingTable.create(n, rd.scratchDirectory, "dynscat.tmp", nullptr,
                                 testControl().forceFileStorage, true, rd.messageLog);
}

// Builds the table from the waypoints: each leg is travelled at its start
// waypoint's speed, one entry per meanTimeStep; the rest of the table holds
// the last waypoint read, at rest.
void fillFromWaypoints(RunData& rd, FILE* motion, EntryWriter& out) {
    const int32_t n = rd.pointCount;
    const int32_t headerLines = readCount(motion);
    out.line = 1;
    char skipped[kLineSize];
    for (int32_t h = 0; h < headerLines; ++h) {
        if (!readLine(motion, skipped)) break;
        ++out.line;
    }
    const int32_t waypoints = readCount(motion);
    out.line += 2;  // the count and the first waypoint
    bool atEnd = false;
    Waypoint w0 = readWaypoint(motion, atEnd);
    for (int32_t k = 1; k < waypoints; ++k) {
        // After the end of the file every further waypoint would read as 0
        // at speed 0: no entries, and the same last waypoint.
        if (out.next >= n || atEnd) break;
        const Waypoint w1 = readWaypoint(motion, atEnd);
        ++out.line;
        if (w0.speed != 0.0) {
            const double d[3] = {w1.x - w0.x, w1.y - w0.y, w1.z - w0.z};
            const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
            if (!std::isfinite(length) && out.nonFiniteLine == 0) out.nonFiniteLine = out.line;
            double steps = length / (rd.meanTimeStep * w0.speed);
            if (std::isnan(steps)) steps = 0.0;  // zero-length leg with no time step
            double count = std::trunc(steps + 0.5);
            if (count == 0.0) count = 1.0;
            if (count > 0.0) {
                // A leg of zero length has no direction: its entry is at rest.
                double velocity[3] = {0.0, 0.0, 0.0};
                if (length > 0.0) {
                    for (int c = 0; c < 3; ++c) velocity[c] = d[c] * w0.speed / length;
                }
                for (double m = 0.0; m < count && out.next < n; m += 1.0) {
                    MovingPosition e;
                    e.offsetX = w0.x + m * (d[0] / count);
                    e.offsetY = w0.y + m * (d[1] / count);
                    e.offsetZ = w0.z + m * (d[2] / count);
                    e.velocityX = velocity[0];
                    e.velocityY = velocity[1];
                    e.velocityZ = velocity[2];
                    e.rotation = w0.rotation;
                    out.put(e);
                }
            }
        }
        w0 = w1;
    }
    while (out.next < n) {
        MovingPosition e{};
        e.offsetX = w0.x;
        e.offsetY = w0.y;
        e.offsetZ = w0.z;
        e.rotation = w0.rotation;
        out.put(e);
    }
}

// Centre of the horizontal box around the bottom-edge ends of the SP plates
// from here to the next SG or EN; the command file is put back afterwards.
void findPlateMotionCentre(RunData& rd) {
    FILE* cmd = rd.commandFile;
    double xmin = 1000000.0, ymin = 1000000.0, xmax = -1000000.0, ymax = -1000000.0;
    const long start = cmd != nullptr ? std::ftell(cmd) : -1L;
    char line[kLineSize];
    while (cmd != nullptr && readLine(cmd, line)) {
        char word[3] = "";
        scanText(line, "%2s", word);
        if (std::strcmp(word, "EN") == 0 || std::strcmp(word, "SG") == 0) break;
        if (std::strcmp(word, "SP") != 0) continue;
        readLine(cmd, line);
        const char* p = line;
        while (*p != '\0' && std::isspace(static_cast<unsigned char>(*p))) ++p;
        double factor = 1.0;
        switch (std::toupper(static_cast<unsigned char>(*p))) {
            case 'I':
                factor = kFeetPerInch;
                break;
            case 'M':
                factor = kFeetPerMetre;
                break;
            case 'W':
                factor = rd.system.carrierWavelength;
                break;
            default:
                break;
        }
        readLine(cmd, line);
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        // A plate whose ends do not all convert does not widen the box.
        if (scanText(line, "%lf %lf %lf %lf", &x1, &y1, &x2, &y2) != 4) continue;
        x1 *= factor;
        y1 *= factor;
        x2 *= factor;
        y2 *= factor;
        xmin = std::fmin(xmin, std::fmin(x1, x2));
        xmax = std::fmax(xmax, std::fmax(x1, x2));
        ymin = std::fmin(ymin, std::fmin(y1, y2));
        ymax = std::fmax(ymax, std::fmax(y1, y2));
    }
    rd.plateMotionCentreX = (xmax + xmin) / 2.0;
    rd.plateMotionCentreY = (ymax + ymin) / 2.0;
    if (cmd != nullptr) {
        std::clearerr(cmd);
        if (start >= 0) std::fseek(cmd, start, SEEK_SET);
    }
}

// The plate where it is at one point's time: turned about the motion centre,
// then shifted.
Scatterer movedPlate(double cx, double cy, const Scatterer& plate, const MovingPosition& e) {
    Scatterer s = plate;
    const double theta = e.rotation;
    if (theta != 0.0) {
        const double c = std::cos(theta), sn = std::sin(theta);
        const double x1 = s.x1, y1 = s.y1, x2 = s.x2, y2 = s.y2;
        s.x1 = (x1 - cx) * c - (y1 - cy) * sn + cx;
        s.y1 = (x1 - cx) * sn + (y1 - cy) * c + cy;
        s.x2 = (x2 - cx) * c - (y2 - cy) * sn + cx;
        s.y2 = (x2 - cx) * sn + (y2 - cy) * c + cy;
        s.azimuth += theta;
    }
    s.x1 += e.offsetX;
    s.y1 += e.offsetY;
    s.z1 += e.offsetZ;
    s.x2 += e.offsetX;
    s.y2 += e.offsetY;
    s.z2 += e.offsetZ;
    return s;
}

bool finitePlate(const Scatterer& s) {
    const double v[] = {s.x1, s.y1, s.z1, s.x2, s.y2, s.z2, s.azimuth};
    for (double x : v) {
        if (!std::isfinite(x)) return false;
    }
    return true;
}

}  // namespace

int readMovingScatterers(RunData& rd, const char* pathText) {
    char path[kLineSize];
    std::snprintf(path, sizeof path, "%s", pathText != nullptr ? pathText : "");
    trimBlanks(path);
    // Backslashes read as '/'; the message quotes the name as written.
    char openPath[kLineSize];
    std::memcpy(openPath, path, sizeof openPath);
    normalizeSeparators(openPath);
    FILE* motion = std::fopen(openPath, "r");
    if (motion == nullptr) {
        logMessage(rd.messageLog, "ERROR! Could not open file %s\n", path);
        return -1;
    }
    const int32_t n = rd.pointCount > 0 ? rd.pointCount : 0;
    if (createMovingTable(rd, n) != 0) {
        std::fclose(motion);
        return -1;
    }
    EntryWriter out;
    out.table = &rd.movingTable;
    fillFromWaypoints(rd, motion, out);
    std::fclose(motion);
    if (rd.movingTable.finishAppend(nullptr) != 0) out.failed = true;
    if (out.failed) {
        logMessage(rd.messageLog, "ERROR! Cannot write scratch file %s\n", rd.movingTable.path);
        return -1;
    }
    if (out.nonFiniteLine != 0) {
        logMessage(rd.messageLog,
                   "ERROR! SG command motion file line %d gives a value that is not finite.\n",
                   out.nonFiniteLine);
        return -1;
    }
    findPlateMotionCentre(rd);
    return 0;
}

namespace {

// What the far-mode sum of a point keeps between its chunks of pairs; empty
// (nothing allocated) until a point needs it.
struct FarModeBuffers {
    std::vector<PatchSource> pairs, sources;
    std::vector<PatchObserver> observers;
    std::vector<PatchContribution> contributions;
};

// Far mode (one source per array, the centroid): the point's pairs are set
// up in loop order and evaluated a chunk at a time on vectors of pairs; the
// record then receives them in that order.
void addFarModePoint(const Station& st, const Scatterer& moved, const PlateFrame& frame,
                     const ObservationPoint& o, const double relative[3], FieldRecord& record,
                     MovingCounts& counts, FarModeBuffers& far) {
    constexpr size_t kChunk = 256;
    auto flush = [&]() {
        far.contributions.resize(far.pairs.size());
        evaluatePatchPairs(far.pairs, far.observers, o, relative, far.contributions.data());
        for (size_t m = 0; m < far.pairs.size(); ++m) {
            const PatchContribution& c = far.contributions[m];
            accumulateField(st, far.pairs[m].j, c.csb, c.sbo, c.doppler.f90, c.doppler.f150,
                            c.doppler.f60, c.doppler.f0, record);
        }
        far.pairs.clear();
        far.observers.clear();
    };
    bool facing[kMaxArrayElements] = {};
    double rowStart[3] = {frame.first[0], frame.first[1], frame.first[2]};
    for (int32_t p = 0; p < frame.nr; ++p, addStep(rowStart, frame.rstep)) {
        double centre[3] = {rowStart[0], rowStart[1], rowStart[2]};
        for (int32_t q = 0; q < frame.nc; ++q, addStep(centre, frame.cstep)) {
            PatchObserver ob;
            observePatch(frame, centre, o, ob);
            if (!observerLit(moved, ob)) continue;  // back side: skipped, not counted
            for (int j = 0; j < frame.arrayCount; ++j) {
                counts.total += frame.sourceCount[j];
                far.sources.resize(static_cast<size_t>(frame.sourceCount[j]));
                setupPatchSources(st, moved, frame, j, centre, far.sources.data(), facing);
                for (int s = 0; s < frame.sourceCount[j]; ++s) {
                    if (!facing[s]) {
                        ++counts.notFacing;
                        continue;
                    }
                    far.pairs.push_back(far.sources[static_cast<size_t>(s)]);
                    far.observers.push_back(ob);
                    if (far.pairs.size() == kChunk) flush();
                }
            }
        }
    }
    flush();
}

}  // namespace

void addMovingPlate(const Station& st, const Scatterer& plate, double centreX, double centreY,
                    const PassBlock& block, MovingCounts& counts) {
    FarModeBuffers far;
    for (size_t i = 0; i < block.points.size(); ++i) {
        const ObservationPoint& o = block.points[i];
        const MovingPosition& e = block.moving[i];
        const Scatterer moved = movedPlate(centreX, centreY, plate, e);
        // A plate moved out of the number range (offsets near 1e308) adds nothing.
        if (!finitePlate(moved)) continue;
        const double relative[3] = {o.vx - e.velocityX, o.vy - e.velocityY, o.vz - e.velocityZ};
        FieldRecord& record = block.records[i];
        PlateFrame frame;
        setupPlateFrame(st, moved, frame);
        if (frame.nearMode) {
            addMovingPlatePoint(st, moved, frame, o, relative, record, counts.total, counts.notFacing);
        } else {
            addFarModePoint(st, moved, frame, o, relative, record, counts, far);
        }
    }
}

int computeMovingPlate(RunData& rd, const Scatterer& plate, int plateSerial) {
    const Station st(rd);
    const double cx = rd.plateMotionCentreX, cy = rd.plateMotionCentreY;
    ProgressCounter progress{&rd.progressPercent, rd.progressAccumulator,
                             boundedStride(static_cast<double>(rd.pointCount) * rd.scatterCommandCount / 100.0)};
    std::vector<MovingCounts> slots(static_cast<size_t>(passSlots(rd)));
    const int status = runFieldPass(
        rd, true,
        [&](const PassBlock& b, int slot) {
            addMovingPlate(st, plate, cx, cy, b, slots[static_cast<size_t>(slot)]);
        },
        [&](int32_t points) { progress.add(points); });
    if (status != 0) return -1;

    MovingCounts counts;
    for (const MovingCounts& c : slots) {
        counts.total += c.total;
        counts.notFacing += c.notFacing;
    }
    if (counts.notFacing > 0) {
        logMessage(rd.messageLog, "WARNING! Reflective plate %1d is not facing the system %1.1f %%\n",
                   plateSerial, static_cast<double>(counts.notFacing) * 100.0 / static_cast<double>(counts.total));
        logMessage(rd.messageLog, "of the time.  Part or all of the field is not calculated.\n");
    }
    return 0;
}

}  // namespace ils
