// calcoutput: streams the FieldFile, forms the X values, combines the fields
// of every Trace, runs the receiver, applies the corrections, the CDI filter
// and the field normalisation.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

#include "input/lines.h"
#include "input/messages.h"
#include "post/post_data.h"

namespace ils {
namespace {

static_assert(std::endian::native == std::endian::little,
              "the FieldFile is read as raw little-endian values");

constexpr int kSlotsPerRecord = 15;

const char* const kDebugTableNames[kDebugTableCount] = {"v1.txt", "v2.txt", "intermediate.txt",
                                                        "scat.txt", "inc.txt"};

using Record = double[kSlotsPerRecord * 2];

void addRecord(FieldSums& s, const Record& r) {
    for (int slot = 0; slot < 6; ++slot) s.slot[slot] += Complex(r[2 * slot], r[2 * slot + 1]);
    s.vd[kCrs][0] += r[24];
    s.vd[kCrs][1] += r[25];
    s.vd[kClr][0] += r[26];
    s.vd[kClr][1] += r[27];
    s.vcd[0] += r[28];
    s.vcd[1] += r[29];
}

// The Trace's SBO modification of the sidebands of the selected arrays.
void modifySidebands(Trace& t, FieldSums& s, bool setClearanceWeight) {
    if (t.arraySelect != 1) {
        const Complex a = s.slot[2];
        const Complex b = s.slot[3];
        const Complex sum = a + b;
        const Complex diff = (b - a) * t.sboPhasor[0];
        s.slot[2] = (sum - diff) / 2.0;
        s.slot[3] = (sum + diff) / 2.0;
    }
    if (t.arraySelect != 0) {
        const Complex a = s.slot[4];
        const Complex b = s.slot[5];
        Complex sum = a + b;
        Complex diff = (b - a) * t.sboPhasor[1];
        if (t.arraySelect != 1) {
            if (setClearanceWeight) t.clearanceWeight = t.clearanceScale;
            sum *= t.clearanceScale;
            diff *= t.clearanceScale;
        }
        s.slot[4] = (sum - diff) / 2.0;
        s.slot[5] = (sum + diff) / 2.0;
    }
}

double fieldValue(const Trace& t, const FieldSums& s) {
    const int side = t.arraySelect;
    const Complex a = s.slot[2 + 2 * side];
    const Complex b = s.slot[3 + 2 * side];
    Complex v = t.outputType == kOutputCsb ? a + b : (b - a) * t.sboPhasor[side];
    if (side == 1) v *= t.clearanceScale;
    if (t.unitsCode == 4) return std::atan2(v.imag(), v.real()) / kDegToRad;
    return std::abs(v);
}

// The ideal value of the angular position, to be taken off a CDI Trace.
double idealValue(const Trace& t, int32_t ilsType, const double pos[3]) {
    const double dx = pos[0] - t.correctionX;
    const double dy = pos[1] - t.correctionY;
    double theta;
    if (ilsType == 0) {
        theta = std::atan2(dy, dx) / kDegToRad;
    } else {
        theta = std::atan2(pos[2] - t.correctionZ, std::sqrt(dx * dx + dy * dy)) / kDegToRad;
    }
    return (theta - t.nominalAngle) * (0.175 / t.angularWidth);
}

// Evaluates Trace k at point i into its values.
int32_t evaluateTrace(PostData& pd, int k, int32_t i, const double pos[3],
                      const Record& scattered, const Record& incident) {
    Trace& t = pd.params.traces[k];
    FieldSums& s = pd.sums;
    s = FieldSums{};
    if (t.fieldType != 0) addRecord(s, scattered);
    if (t.fieldType != 1) addRecord(s, incident);

    if (t.outputType == kOutputCsb || t.outputType == kOutputSbo) {
        t.values[i] = fieldValue(t, s);
        return 0;
    }

    modifySidebands(t, s, true);
    double out = 0.0;
    int32_t r = receiver(pd, k, out);
    if (r != 0) {
        logMessage(pd.postLog, "ERROR! at observation point %d.\n", i);
        return r;
    }
    t.values[i] = out;

    if (t.flightCorrections == 1) {
        s = FieldSums{};
        addRecord(s, incident);
        modifySidebands(t, s, false);
        r = receiver(pd, k, out);
        if (r != 0) return r;
        t.values[i] -= out;
    } else if (t.flightCorrections == 2) {
        t.values[i] -= idealValue(t, pd.params.ilsType, pos);
    }
    return 0;
}

int32_t readHeader(PostData& pd) {
    FILE* f = pd.fieldFile;
    int32_t count = 0;
    if (std::fread(&count, sizeof count, 1, f) != 1 || count < 0) {
        logMessage(pd.postLog, "ERROR! Reading number of flight points\n");
        return -1;
    }
    pd.pointCount = count;
    if (std::fread(&pd.meanTimeStep, sizeof(double), 1, f) != 1) {
        logMessage(pd.postLog, "ERROR! Reading sample time\n");
        return -1;
    }
    if (std::fread(&pd.speedRatio, sizeof(double), 1, f) != 1) {
        logMessage(pd.postLog, "ERROR! Reading time constant\n");
        return -1;
    }
    return 0;
}

// The result arrays grow with the points actually read, never with the
// header's count alone: the stream may be a pipe or a file that cannot be
// measured, and a count the data do not back must not size anything. A
// modest reservation saves most reallocations of an honest file.
constexpr int32_t kReservedPoints = 1 << 16;

bool reservePoints(PostData& pd) {
    const size_t n = static_cast<size_t>(std::min(pd.pointCount, kReservedPoints));
    try {
        pd.xValues.clear();
        pd.xValues.reserve(n);
        for (int k = 0; k < pd.params.traceCount; ++k) {
            pd.params.traces[k].values.clear();
            pd.params.traces[k].values.reserve(n);
        }
    } catch (const std::bad_alloc&) {
        logMessage(pd.postLog, "ERROR! Not enough memory to create array position\n");
        return false;
    }
    return true;
}

// One more entry in the X values and in every Trace's values.
bool appendPoint(PostData& pd, double x) {
    try {
        pd.xValues.push_back(x);
        for (int k = 0; k < pd.params.traceCount; ++k) pd.params.traces[k].values.push_back(0.0);
    } catch (const std::bad_alloc&) {
        logMessage(pd.postLog, "ERROR! Not enough memory to create array position\n");
        return false;
    }
    return true;
}

int32_t readPoints(PostData& pd) {
    FILE* f = pd.fieldFile;
    if (!reservePoints(pd)) return -1;
    for (int32_t i = 0; i < pd.pointCount; ++i) {
        double pos[3];
        Record scattered;
        Record incident;
        if (std::fread(pos, sizeof pos, 1, f) != 1) {
            logMessage(pd.postLog, "ERROR! Reading observation point %d\n", i + 1);
            return -1;
        }
        const double x = xValueOf(pd.params, pos[0], pos[1], pos[2]);
        if (std::fread(scattered, sizeof scattered, 1, f) != 1) {
            logMessage(pd.postLog, "ERROR! Reading scattered fields at obs pt %d\n", i + 1);
            return -1;
        }
        if (std::fread(incident, sizeof incident, 1, f) != 1) {
            logMessage(pd.postLog, "ERROR! Reading incident fields at obs pt %d\n", i + 1);
            return -1;
        }
        if (!appendPoint(pd, x)) return -1;
        // Entry i exists in every array now, whatever the header said.
        for (int k = 0; k < pd.params.traceCount; ++k) {
            const int32_t r = evaluateTrace(pd, k, i, pos, scattered, incident);
            if (r != 0) return r;
        }
    }
    return 0;
}

}  // namespace

int32_t readFieldStream(PostData& pd) {
    int32_t r = readHeader(pd);
    if (r == 0) r = readPoints(pd);
    return r;
}

bool fieldFilePath(const PostData& pd, char* path) {
    char name[kLineSize];
    std::memcpy(name, pd.params.dataName, sizeof name);
    normalizeSeparators(name);
    return formatPath(path, "%s%s.fld", pd.postDirectory, name) >= 0;
}

double xValueOf(const PostParameters& p, double x, double y, double z) {
    const double f = p.distanceFactor;
    double xr = x;
    double yr = y;
    if (p.referenceCode >= 10) {
        xr = x - p.referenceX;
        yr = y - p.referenceY;
    }
    switch (p.referenceCode) {
        case 0:
            return (p.backcourseCode != 0 ? -(x + p.backcourseOffset) : x) * f;
        case 1:
            return y * f;
        case 2:
        case 22:
            return z * f;
        case 10:
            return std::sqrt(xr * xr + yr * yr + z * z) * f;
        case 11:
            return std::atan2(z, std::sqrt(xr * xr + yr * yr)) * f;
        case 20:
            return std::sqrt(xr * xr + yr * yr) * f;
        default: {  // 12 and 21: azimuth
            double v = (xr == 0.0 && yr == 0.0) ? 0.0 : std::atan2(yr, xr) * f;
            if (p.backcourseCode != 0) v += 180.0;
            if (v < -90.0) {
                v += 360.0;
            } else if (v > 270.0) {
                v -= 360.0;
            }
            return v;
        }
    }
}

void applyCdiFilter(std::vector<double>& values, double sampleTime, double timeConstant) {
    const double denominator = sampleTime + 2.0 * timeConstant;
    // A zero denominator has no filter; the values stay as computed.
    if (values.size() < 2 || denominator == 0.0) return;
    const std::vector<double> u(values);
    const double back = sampleTime - 2.0 * timeConstant;
    for (size_t i = 1; i < values.size(); ++i)
        values[i] = (sampleTime * (u[i - 1] + u[i]) - back * values[i - 1]) / denominator;
}

void normaliseFields(PostParameters& p) {
    auto kindOf = [](const Trace& t) {
        if (t.outputType == kOutputCsb) return t.arraySelect == 0 ? 1 : 2;
        if (t.outputType == kOutputSbo) return t.arraySelect == 0 ? 3 : 4;
        return 0;
    };
    auto isMagnitude = [&](const Trace& t) {
        return kindOf(t) != 0 && (t.unitsCode == 2 || t.unitsCode == 3);
    };
    double reference = 0.0;
    for (int kind = 1; kind <= 4 && !(reference > 0.0); ++kind) {
        for (int k = 0; k < p.traceCount; ++k) {
            const Trace& t = p.traces[k];
            if (!isMagnitude(t) || kindOf(t) != kind) continue;
            for (double v : t.values) reference = std::max(reference, v);
        }
    }
    if (!(reference > 0.0)) return;
    for (int k = 0; k < p.traceCount; ++k) {
        Trace& t = p.traces[k];
        if (!isMagnitude(t)) continue;
        for (double& v : t.values) {
            const double q = v / reference;
            if (t.unitsCode == 3) {
                v = q <= 1e-7 ? -140.0 : 20.0 * std::log10(q);
            } else {
                v = q;
            }
        }
    }
}

int32_t calcoutput(PostData& pd) {
    for (int n = 0; n < kDebugTableCount; ++n)
        pd.debugTables[n] = std::fopen(kDebugTableNames[n], "w");
    logMessage(pd.debugTables[0],
               "counter\tj\tcc\t\tvcd[j]\t\tv1\t\tcp\t\tvd[CRS][j]\tcm\t\tvd[CLR][j]\tv2\t\tcp\t\t"
               "pc[j]\t\tcm\t\tvmc[j]\t\tv3\t\tv[j]\t\tcomp_carrier\n");

    char path[kLineSize];
    if (!fieldFilePath(pd, path)) return -1;
    pd.fieldFile = std::fopen(path, "rb");
    if (pd.fieldFile == nullptr) {
        logMessage(pd.postLog, "ERROR! File %s does not exist.\n", path);
        return -1;
    }
    const int32_t r = readFieldStream(pd);
    if (r != 0) return r;
    std::fclose(pd.fieldFile);
    pd.fieldFile = nullptr;

    try {
        for (int k = 0; k < pd.params.traceCount; ++k) {
            Trace& t = pd.params.traces[k];
            if (t.cdiFilter != 0) applyCdiFilter(t.values, pd.meanTimeStep, pd.speedRatio);
        }
    } catch (const std::bad_alloc&) {
        logMessage(pd.postLog, "ERROR! Not enough memory to create array position\n");
        return -1;
    }
    normaliseFields(pd.params);
    return 0;
}

}  // namespace ils
