#include "path/flight_profile.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "input/lines.h"
#include "input/messages.h"
#include "input/scan.h"
#include "path/run_tables.h"
#include "platform/disk_space.h"

namespace ils {
namespace {

constexpr double kFeetPerNauticalMile = 6076.0;
constexpr double kFeetPerSecondPerKnot = 1.6877777777777778;
constexpr double kSpeedRatioDistance = 84.39;  // feet flown in one speedRatio
constexpr double kLargestCount = 2147483647.0;

// Points generated between two looks at a stop request.
constexpr int32_t kPointsPerBlock = 4096;

// Bytes a run of n points may write to the scratch directory at once: the
// FieldFile, and both tables in their scratch files with the copy a field
// pass writes, should memory run short.
constexpr uint64_t kFieldFileHeaderBytes = 20;
constexpr uint64_t kFieldFileBytesPerPoint = 24 + 2 * sizeof(FieldRecord);
constexpr uint64_t kTableFileBytesPerPoint = sizeof(ObservationPoint) + 2 * sizeof(FieldRecord);

// A point count whose files could not be written is refused before any
// table is made: a mistyped step must not fill the disk for hours. When the
// free space cannot be measured, nothing is refused.
int refuseUnwritableCount(RunData& rd, int32_t n) {
    uint64_t freeBytes = 0;
    if (n <= 0 || !platform::freeDiskBytes(rd.scratchDirectory, freeBytes)) return 0;
    const uint64_t count = static_cast<uint64_t>(n);
    const uint64_t fieldFile = kFieldFileHeaderBytes + kFieldFileBytesPerPoint * count;
    const uint64_t needed = fieldFile + kTableFileBytesPerPoint * count;
    if (needed <= freeBytes) return 0;
    logMessage(rd.messageLog,
               "ERROR! FP command gives %d flight profile points: the FieldFile needs %llu bytes "
               "and the tables up to %llu more, but the scratch directory has %llu bytes free.\n",
               n, static_cast<unsigned long long>(fieldFile),
               static_cast<unsigned long long>(needed - fieldFile),
               static_cast<unsigned long long>(freeBytes));
    return -1;
}

// True, after the message the driver would write, when a stop request has
// arrived; looked at between blocks of points.
bool stopBetweenBlocks(RunData& rd, int32_t i) {
    if (i == 0 || i % kPointsPerBlock != 0 || !rd.stopRequested.load()) return false;
    logMessage(rd.messageLog, "Calculation interrupted.\n");
    return true;
}

char upperFirst(const char* word) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
}

// The inputs of one FP command after decoding and scaling to feet.
struct Profile {
    char pattern = 'A';
    bool backcourse = false;
    double distanceFactor = 1.0;  // U
    double speedFactor = 1.0;     // H
    double d0 = 0.0, x0 = 0.0, y0 = 0.0;
    double values[8] = {};  // line 3, in input order
    double speed = 0.0;     // line 4, as entered
    int32_t decelerationFlag = 0;
};

// The straight and circular patterns: the point at distance (or angle) d.
struct PathGeometry {
    double s1 = 0.0, s2 = 0.0, step = 0.0;
    double v = 0.0;  // signed profile speed
    // approach
    double psi = 0.0, gamma = 0.0, h = 0.0, zA = 0.0, zR = 0.0, z0 = 0.0;
    double rollout = 0.0, capture = 0.0, intercept = 0.0;
    // level run and orbit
    double height = 0.0, radius = 0.0;
};

// Reads the four lines and decodes them; 0, or -1 after a message.
int readProfileLines(RunData& rd, Profile& p, FILE*& userFile) {
    FILE* cmd = rd.commandFile;
    FILE* log = rd.messageLog;
    char line[kLineSize];

    readLine(cmd, line);
    char code[16], distanceUnit[16], speedUnit[16], courseFlag[16];
    if (scanText(line, "%15s %15s %15s %15s", code, distanceUnit, speedUnit, courseFlag) != 4) {
        reportMissingInputs(log, "FP", 4, 1, line);
        return -1;
    }
    p.pattern = upperFirst(code);
    switch (upperFirst(distanceUnit)) {
        case 'F': p.distanceFactor = 1.0; break;
        case 'M': p.distanceFactor = kFeetPerMetre; break;
        case 'N': p.distanceFactor = kFeetPerNauticalMile; break;
        default:
            logMessage(log, "ERROR! Unrecognized flight pattern distance units: %s.\n", distanceUnit);
            return -1;
    }
    switch (upperFirst(speedUnit)) {
        case 'F': p.speedFactor = 1.0; break;
        case 'K':
        case 'N': p.speedFactor = kFeetPerSecondPerKnot; break;
        case 'M': p.speedFactor = kFeetPerMetre; break;
        default:
            logMessage(log, "ERROR! Unrecognized flight pattern velocity units: %s.\n", speedUnit);
            return -1;
    }
    const char flag = upperFirst(courseFlag);
    if (flag != 'B' && flag != 'F') {
        logMessage(log, "ERROR! Invalid value for backcourse flag: %s\n", courseFlag);
        return -1;
    }
    p.backcourse = flag == 'B';

    readLine(cmd, line);
    if (scanText(line, "%lf %lf %lf", &p.d0, &p.x0, &p.y0) != 3) {
        reportMissingInputs(log, "FP", 3, 2, line);
        return -1;
    }
    p.d0 = std::fabs(p.d0);

    readLine(cmd, line);
    double* v = p.values;
    switch (p.pattern) {
        case 'A': {
            const int got = scanText(line, "%lf %lf %lf %lf %lf %lf %lf %lf", &v[0], &v[1], &v[2],
                                     &v[3], &v[4], &v[5], &v[6], &v[7]);
            if (got < 7) {
                reportMissingInputs(log, "FP", 7, 3, line);
                return -1;
            }
            if (got == 7) v[7] = v[6];  // rollout height defaults to the glide-path height
            break;
        }
        case 'B':
        case 'C':
        case 'D':
            if (scanText(line, "%lf %lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3], &v[4]) != 5) {
                reportMissingInputs(log, "FP", 5, 3, line);
                return -1;
            }
            break;
        case 'U': {
            char name[kLineSize];
            std::memcpy(name, line, sizeof name);
            trimBlanks(name);
            if (name[0] == '\0') {
                reportMissingInputs(log, "FP", 1, 3, line);
                return -1;
            }
            char path[kLineSize];
            std::memcpy(path, name, sizeof path);
            normalizeSeparators(path);
            userFile = std::fopen(path, "r");
            if (userFile == nullptr) {
                logMessage(log, "ERROR! Could not open file %s\n", name);
                return -1;
            }
            return 0;  // no line 4
        }
        default:
            logMessage(log, "ERROR! Unrecognized flight pattern code: %s\n", code);
            return -1;
    }

    readLine(cmd, line);
    const int got = p.pattern == 'A' ? scanText(line, "%lf\t%d", &p.speed, &p.decelerationFlag)
                                     : scanText(line, "%lf", &p.speed);
    if (got < 1) {
        reportMissingInputs(log, "FP", 1, 4, line);
        return -1;
    }
    return 0;
}

// Prepares a straight or circular pattern; 0, or -1 after a message when the
// inputs give no usable flight (zero speed or step, too many points).
int preparePath(RunData& rd, const Profile& p, PathGeometry& g, int32_t& n) {
    FILE* log = rd.messageLog;
    const double u = p.distanceFactor;
    const double x0 = p.x0 * u;
    const double y0 = p.y0 * u;
    const double* v = p.values;
    double speed = std::fabs(p.speed) * p.speedFactor;

    switch (p.pattern) {
        case 'A': {
            g.s1 = v[0] * u;
            g.s2 = v[1] * u;
            g.step = v[2] * u;
            g.psi = (p.backcourse ? v[3] + 180.0 : v[3]) * kDegToRad;
            g.gamma = v[4] * kDegToRad;
            g.intercept = v[5] * u;
            g.z0 = v[6];
            g.zR = v[7];
            const double d0 = p.d0 * u;
            const double q = p.backcourse ? -x0 - d0 : -x0;
            g.h = q / std::cos(g.psi);
            const double tanGamma = std::tan(g.gamma);
            g.zA = std::fabs(g.intercept) * tanGamma + g.z0;
            g.rollout = std::fabs(g.intercept) - (g.zA - g.zR) / tanGamma;
            if (std::fabs(g.psi) < 0.0001) {
                g.capture = std::fmax(g.s1, g.s2) + 1.0;
            } else if (std::fabs(y0) < 0.005) {
                g.capture = -g.h;
            } else {
                g.capture = std::fmin(g.s1, g.s2) - 1.0;
            }
            break;
        }
        case 'B': {
            g.psi = (p.backcourse ? v[3] + 180.0 : v[3]) * kDegToRad;
            g.height = v[4];
            g.s1 = g.height / std::tan(v[0] * kDegToRad);
            g.s2 = g.height / std::tan(v[1] * kDegToRad);
            g.step = v[2] * u;
            break;
        }
        default: {  // C, D
            g.s1 = p.backcourse ? v[0] + 180.0 : v[0];
            g.s2 = p.backcourse ? v[1] + 180.0 : v[1];
            g.step = v[2];
            g.radius = v[3] * u;
            g.height = v[4];
            break;
        }
    }

    if (speed == 0.0) {
        logMessage(log, "ERROR! FP command speed on line 4 is zero.\n");
        return -1;
    }
    const double span = g.s2 - g.s1;
    if (span != 0.0 && g.step == 0.0) {
        logMessage(log, "ERROR! FP command step on line 3 is zero.\n");
        return -1;
    }
    double step = std::fabs(g.step);
    if (span < 0.0) {
        step = -step;
        speed = -speed;
    }
    g.step = step;
    g.v = speed;
    // Equal ends give one point whatever the step.
    const double count = span == 0.0 ? 1.0 : span / step + 1.5;
    if (!std::isfinite(count) || count >= kLargestCount + 1.0) {
        logMessage(log, "ERROR! FP command line 3 gives too many flight profile points.\n");
        return -1;
    }
    n = static_cast<int32_t>(count);
    return 0;
}

ObservationPoint pathPoint(const Profile& p, const PathGeometry& g, double d, bool& rollout) {
    const double u = p.distanceFactor;
    const double x0 = p.x0 * u;
    const double y0 = p.y0 * u;
    ObservationPoint pt{};
    rollout = false;
    switch (p.pattern) {
        case 'A': {
            pt.x = x0 + std::cos(g.psi) * (g.h + d);
            if (d <= g.capture) {
                pt.y = y0;
                pt.vx = p.backcourse ? -g.v : g.v;
                pt.vy = 0.0;
            } else {
                pt.y = y0 + std::sin(g.psi) * (g.h + d);
                pt.vx = g.v * std::cos(g.psi);
                pt.vy = g.v * std::sin(g.psi);
            }
            if (d >= g.intercept) {
                pt.z = g.zA;
                pt.vz = 0.0;
            } else if (d <= g.rollout) {
                pt.z = g.zR;
                pt.vz = 0.0;
                rollout = true;
            } else {
                pt.z = g.z0 + d * std::tan(g.gamma);
                pt.vx *= std::cos(g.gamma);
                pt.vy *= std::cos(g.gamma);
                pt.vz = g.v * std::sin(g.gamma);
            }
            break;
        }
        case 'B':
            pt.x = x0 + d * std::cos(g.psi);
            pt.y = d * std::sin(g.psi);  // the level run passes through (X0, 0)
            pt.z = g.height;
            pt.vx = g.v * std::cos(g.psi);
            pt.vy = g.v * std::sin(g.psi);
            pt.vz = 0.0;
            break;
        default: {  // C, D
            const double alpha = d * kDegToRad;
            pt.x = x0 + g.radius * std::cos(alpha);
            pt.y = y0 + g.radius * std::sin(alpha);
            pt.z = g.height;
            pt.vx = -g.v * std::sin(alpha);
            pt.vy = g.v * std::cos(alpha);
            pt.vz = 0.0;
            break;
        }
    }
    return pt;
}

bool finitePoint(const ObservationPoint& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) &&
           std::isfinite(p.vx) && std::isfinite(p.vy) && std::isfinite(p.vz);
}

int reportNonFinitePoint(RunData& rd, int32_t i) {
    logMessage(rd.messageLog, "ERROR! FP command gives flight profile point %d no finite value.\n",
               i + 1);
    return -1;
}

double distanceBetween(const ObservationPoint& a, const ObservationPoint& b) {
    const double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// meanTimeStep (0.0 for a single point, which has no step) and speedRatio.
int setRunValues(RunData& rd, int32_t n, double flightTime, double speed) {
    const double meanTimeStep = n > 1 ? flightTime / (n - 1) : 0.0;
    const double speedRatio = std::fabs(kSpeedRatioDistance / speed);
    if (!std::isfinite(meanTimeStep) || !std::isfinite(speedRatio)) {
        logMessage(rd.messageLog, "ERROR! FP command gives no finite flight time.\n");
        return -1;
    }
    rd.meanTimeStep = meanTimeStep;
    rd.speedRatio = speedRatio;
    return 0;
}

// Generates the points of patterns A to D and the run values.
int generatePath(RunData& rd, const Profile& p) {
    PathGeometry g;
    int32_t n = 0;
    if (preparePath(rd, p, g, n) != 0) return -1;
    if (refuseUnwritableCount(rd, n) != 0) return -1;
    if (createRunTables(rd, n) != 0) return -1;
    rd.pointCount = n;

    double flightTime = 0.0;
    int32_t firstRollout = -1, rolloutCount = 0;
    ObservationPoint previous{};
    for (int32_t i = 0; i < n; ++i) {
        if (stopBetweenBlocks(rd, i)) return -1;
        const double d = g.s1 + i * g.step;
        bool rollout = false;
        const ObservationPoint pt = pathPoint(p, g, d, rollout);
        if (!finitePoint(pt)) return reportNonFinitePoint(rd, i);
        if (rollout) {
            if (firstRollout < 0) firstRollout = i;
            ++rolloutCount;
        }
        if (i > 0) flightTime += distanceBetween(previous, pt) / std::fabs(g.v);
        previous = pt;
        if (storePoint(rd, i, pt) != 0) return -1;
    }
    if (finishPoints(rd) != 0) return -1;

    // Deceleration along the rollout; without rollout points there is nothing
    // to slow down on.
    if (p.pattern == 'A' && p.decelerationFlag != 0 && rolloutCount > 0) {
        const double s1 = g.s1, step = g.step, rolloutLimit = g.rollout, v = g.v;
        const int status = updatePoints(rd, [&](int32_t i, ObservationPoint& pt) {
            if (s1 + i * step <= rolloutLimit)
                pt.vx -= (static_cast<double>(i - firstRollout + 1) / rolloutCount) * v;
        });
        if (status != 0) return -1;
    }

    return setRunValues(rd, n, flightTime, g.v);
}

void reportEarlyEnd(RunData& rd) {
    logMessage(rd.messageLog, "ERROR! Unexpected end of file while ");
    logMessage(rd.messageLog, "reading user-defined flight profile.\n");
}

// Reads the points of a user-defined profile; 0, -1 after an input error,
// 1 when the file ends early.
int readUserPoints(RunData& rd, const Profile& p, FILE* file) {
    FILE* log = rd.messageLog;
    char line[kLineSize];
    readLine(file, line);
    int32_t n = 0;
    if (scanText(line, "%d", &n) != 1) {
        reportMissingInputs(log, "FP User", 1, 4, line);
        return -1;
    }
    if (n < 1) {
        logMessage(log, "ERROR! User-defined flight profile needs at least one point: %d\n", n);
        return -1;
    }

    // The points are read before the tables are made, so that a count far
    // beyond what the file holds cannot make the run fill memory or disk
    // with empty tables; the collection grows only with the points read.
    std::vector<ObservationPoint> points;
    const double u = p.distanceFactor, hf = p.speedFactor;
    const double x0 = p.x0 * u, y0 = p.y0 * u;
    double flightTime = 0.0, speedSum = 0.0;
    ObservationPoint previous{};
    for (int32_t i = 0; i < n; ++i) {
        if (stopBetweenBlocks(rd, i)) return -1;
        double c[6];
        for (double& value : c) {
            if (!readStreamDouble(file, value)) {
                reportEarlyEnd(rd);
                return 1;
            }
        }
        ObservationPoint pt{c[0] * u + x0, c[1] * u + y0, c[2] * u, c[3] * hf, c[4] * hf, c[5] * hf};
        if (!finitePoint(pt)) return reportNonFinitePoint(rd, i);
        const double speed = std::sqrt(pt.vx * pt.vx + pt.vy * pt.vy + pt.vz * pt.vz);
        speedSum += speed;
        if (i > 0) {
            const double path = distanceBetween(previous, pt);
            // A point that stays where it was takes no time, whatever its speed;
            // reaching a new position at zero speed would take forever.
            if (path > 0.0) {
                if (speed == 0.0) {
                    logMessage(log,
                               "ERROR! User-defined flight profile point %d moves at zero speed.\n",
                               i + 1);
                    return -1;
                }
                flightTime += path / speed;
            }
        }
        previous = pt;
        try {
            points.push_back(pt);
        } catch (const std::bad_alloc&) {
            logMessage(log, "ERROR! Not enough memory for the user-defined flight profile.\n");
            return -1;
        }
    }

    if (refuseUnwritableCount(rd, n) != 0) return -1;
    if (createRunTables(rd, n) != 0) return -1;
    rd.pointCount = n;
    for (int32_t i = 0; i < n; ++i) {
        if (storePoint(rd, i, points[static_cast<size_t>(i)]) != 0) return -1;
    }
    if (finishPoints(rd) != 0) return -1;

    const double meanSpeed = speedSum / n;
    if (meanSpeed == 0.0 || !std::isfinite(meanSpeed)) {
        logMessage(log, "ERROR! User-defined flight profile has no speed.\n");
        return -1;
    }
    return setRunValues(rd, n, flightTime, meanSpeed);
}

}  // namespace

int readFlightProfile(RunData& rd) {
    Profile p;
    FILE* userFile = nullptr;
    if (readProfileLines(rd, p, userFile) != 0) return -1;
    if (p.pattern != 'U') return generatePath(rd, p);
    const int status = readUserPoints(rd, p, userFile);
    std::fclose(userFile);
    return status;
}

}  // namespace ils
