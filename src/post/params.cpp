// readparams: the parameter file ILSPOST.TMP, line by line.
#include <cstring>

#include "input/lines.h"
#include "input/messages.h"
#include "input/scan.h"
#include "post/post_data.h"

namespace ils {
namespace {

// Output scales for microamperes: [localizer, glide slope].
constexpr double kCdiMicroampScale[2] = {387.0967741935484, 685.7142857142858};
constexpr double kFlagMicroampScale[2] = {967.741935483871, 857.1428571428572};
constexpr double kDistanceFactors[4] = {1.0, 0.3048, 0.00016457884684539383, 57.29577951307855};

bool validReferenceCode(int32_t code) {
    switch (code) {
        case 0: case 1: case 2: case 10: case 11: case 12: case 20: case 21: case 22:
            return true;
        default:
            return false;
    }
}

// Tone depths, phase in radians and SBO phasor of one array; side 0 course,
// 1 clearance.
void deriveArray(Trace& t, ArraySettings& a, int side, double nominalDepth) {
    t.toneDepths[2 * side] = nominalDepth - a.modulationBalance / 2.0;
    t.toneDepths[2 * side + 1] = nominalDepth + a.modulationBalance / 2.0;
    a.sboPhase = a.sboPhase * kDegToRad;
    t.sboPhasor[side] =
        Complex(a.sboAmplitude * std::cos(a.sboPhase), a.sboAmplitude * std::sin(a.sboPhase));
}

// Lines 1 to 3: one name each, trimmed, never empty.
bool readName(PostData& pd, char* buf, int lineNumber) {
    readLineKeep(pd.parameterFile, buf);
    trimBlanks(buf);
    if (buf[0] != '\0') return true;
    reportMissingInputs(pd.postLog, "SY", 1, lineNumber, buf);
    return false;
}

// Checks the codes of an active trace line and sets the derived values.
// Returns false after writing the message of the first fault.
bool checkTrace(PostData& pd, Trace& t, const char* line, const char* label, int lineCount) {
    FILE* log = pd.postLog;
    const int32_t station = pd.params.ilsType;
    if (t.outputType < 0 || t.outputType > 4) {
        logMessage(log, "ERROR! Invalid output type code: %d\n", t.outputType);
        return false;
    }
    if (t.outputType == kOutputCsb || t.outputType == kOutputSbo) {
        if (t.fieldType < 0 || t.fieldType > 2) {
            logMessage(log, "ERROR! Invalid field type code: %d\n", t.fieldType);
            return false;
        }
        if (t.arraySelect != 0 && t.arraySelect != 1) {
            logMessage(log, "ERROR! Invalid array select code: %d\n", t.arraySelect);
            return false;
        }
        if (t.unitsCode < 2 || t.unitsCode > 4) {
            logMessage(log, "ERROR! Invalid units for field output: %d\n", t.unitsCode);
            return false;
        }
        t.cdiFilter = 0;
        t.flightCorrections = 0;
        return true;
    }
    if (t.outputType == kOutputFlag) {
        if (t.unitsCode == 0) {
            t.outputScale = kFlagMicroampScale[station];
        } else if (t.unitsCode == 1) {
            t.outputScale = 1.0;
        } else {
            logMessage(log, "ERROR! Invalid units for flag output: %d\n", t.unitsCode);
            return false;
        }
        t.cdiFilter = 0;
        t.flightCorrections = 0;
        t.fieldType = 2;
        return true;
    }
    if (t.unitsCode == 0) {
        t.outputScale = kCdiMicroampScale[station];
    } else if (t.unitsCode == 1) {
        t.outputScale = 1.0;
    } else {
        logMessage(log, "ERROR! Invalid units for CDI output: %d\n", t.unitsCode);
        return false;
    }
    if (t.cdiFilter != 0 && t.cdiFilter != 1) {
        logMessage(log, "ERROR! Invalid CDI filter code: %d\n", t.cdiFilter);
        return false;
    }
    if (t.flightCorrections == 2) {
        // The five reals stand on the trace line after the seven integers.
        int32_t skip[7];
        const int n = scanText(line, "%d %d %d %d %d %d %d %lf %lf %lf %lf %lf", &skip[0],
                               &skip[1], &skip[2], &skip[3], &skip[4], &skip[5], &skip[6],
                               &t.correctionX, &t.correctionY, &t.correctionZ,
                               &t.nominalAngle, &t.angularWidth);
        if (n != 12) {
            reportMissingInputs(log, label, 5, lineCount, line);
            return false;
        }
        if (t.angularWidth == 0.0) {
            // The ideal value divides by the width.
            logMessage(log, "ERROR! Invalid angular width: %g\n", t.angularWidth);
            return false;
        }
    } else if (t.flightCorrections != 0 && t.flightCorrections != 1) {
        logMessage(log, "ERROR! Invalid flight corrections code: %d\n", t.flightCorrections);
        return false;
    }
    t.fieldType = 2;
    return true;
}

}  // namespace

int32_t readparams(PostData& pd) {
    PostParameters& p = pd.params;
    FILE* in = pd.parameterFile;
    FILE* log = pd.postLog;

    if (!readName(pd, p.outputPrefix, 1) || !readName(pd, p.dataName, 2) ||
        !readName(pd, p.outputName, 3)) {
        return -1;
    }

    // Lines 4 onward share one buffer; at the end of the file it keeps the
    // last line read.
    char line[kLineSize] = {};
    readLineKeep(in, line);
    if (scanText(line, "%d", &p.ilsType) != 1) {
        reportMissingInputs(log, "SY", 1, 4, line);
        return -1;
    }
    if (p.ilsType == 0) {
        p.nominalDepth = 0.2;
    } else if (p.ilsType == 1) {
        p.nominalDepth = 0.4;
    } else {
        logMessage(log, "ERROR! Invalid input for ILS type: %d\n", p.ilsType);
        return -1;
    }

    readLineKeep(in, line);
    if (scanText(line, "%lf %lf %lf", &p.backcourseOffset, &p.referenceX, &p.referenceY) != 3) {
        reportMissingInputs(log, "FP", 3, 1, line);
        return -1;
    }
    readLineKeep(in, line);
    if (scanText(line, "%d %d %d", &p.backcourseCode, &p.referenceCode, &p.distanceUnitsCode) !=
        3) {
        reportMissingInputs(log, "FP", 3, 2, line);
        return -1;
    }
    if (p.backcourseCode != 0 && p.backcourseCode != 1) {
        // Reported, but the run goes on: any non-zero code is a backcourse.
        logMessage(log, "ERROR! Invalid backcourse code: %d.\n", p.backcourseCode);
    }
    if (!validReferenceCode(p.referenceCode)) {
        logMessage(log, "ERROR! Invalid reference variable code: %d.\n", p.referenceCode);
        return -1;
    }
    if (p.distanceUnitsCode < 0 || p.distanceUnitsCode > 3) {
        logMessage(log, "ERROR! Invalid distance units code: %d.\n", p.distanceUnitsCode);
        return -1;
    }
    p.distanceFactor = kDistanceFactors[p.distanceUnitsCode];

    int lineCount = 0;  // lines of the trace section
    for (int block = 1; block <= kMaxTraces; ++block) {
        char label[8];
        std::snprintf(label, sizeof label, "P%1d", block);
        Trace& t = p.traces[p.traceCount];

        readLineKeep(in, line);
        const int traceLine = ++lineCount;
        int32_t active = 0;
        if (scanText(line, "%d %d %d %d %d %d %d", &active, &t.outputType, &t.arraySelect,
                     &t.fieldType, &t.cdiFilter, &t.flightCorrections, &t.unitsCode) != 7) {
            reportMissingInputs(log, label, 7, traceLine, line);
            return -1;
        }
        if (active == 0) {
            readLineKeep(in, line);
            readLineKeep(in, line);
            lineCount += 2;
            continue;
        }
        if (!checkTrace(pd, t, line, label, traceLine)) return -1;

        readLineKeep(in, line);
        const int courseLine = ++lineCount;
        if (t.arraySelect != 1) {
            ArraySettings& a = t.course;
            if (scanText(line, "%lf %lf %lf %lf", &a.width, &a.modulationBalance, &a.sboPhase,
                         &a.sboAmplitude) != 4) {
                reportMissingInputs(log, label, 4, courseLine, line);
                return -1;
            }
            deriveArray(t, a, 0, p.nominalDepth);
        }

        readLineKeep(in, line);
        const int clearanceLine = ++lineCount;
        if (t.arraySelect != 0) {
            ArraySettings& a = t.clearance;
            if (scanText(line, "%lf %lf %lf %lf %lf %lf %lf", &a.width, &a.modulationBalance,
                         &a.sboPhase, &t.clearanceRatio, &t.captureAngle, &a.sboAmplitude,
                         &t.clearanceScale) != 7) {
                reportMissingInputs(log, label, 7, clearanceLine, line);
                return -1;
            }
            deriveArray(t, a, 1, p.nominalDepth);
        }
        ++p.traceCount;
    }
    return 0;
}

}  // namespace ils
