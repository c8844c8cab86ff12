#include "system/pattern_reader.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>

#include "input/lines.h"
#include "input/messages.h"
#include "input/scan.h"

namespace ils {
namespace {

// Built-in antenna tables (degrees, linear magnitude). The magnitudes are
// single-precision constants; they are widened to double when stored.
constexpr double kTableFAngles[] = {0.0,  2.5,  5.0,  7.5,  10.0, 15.0, 20.0, 25.0, 30.0,
                                    35.0, 40.0, 45.0, 50.0, 55.0, 60.0, 65.0, 180.0};
constexpr double kTableFValues[] = {1.0f,   0.991f, 0.962f, 0.925f, 0.848f, 0.562f,
                                    0.316f, 0.178f, 0.178f, 0.211f, 0.211f, 0.18f,
                                    0.138f, 0.088f, 0.051f, 0.0f,   0.0f};
constexpr double kTableMAngles[] = {0.0,  1.0,  2.0,  3.0,  4.0,  5.0,  6.0,  7.0,
                                    8.0,  9.0,  10.0, 11.0, 12.0, 13.0, 14.0, 16.0,
                                    17.0, 18.0, 19.0, 21.0, 23.0, 25.0, 27.5, 30.5,
                                    32.5, 34.0, 35.0, 38.0, 41.0, 49.0, 50.0, 180.0};
constexpr double kTableMValues[] = {1.0f,   0.979f, 0.92f,  0.83f,  0.724f, 0.599f, 0.465f,
                                    0.354f, 0.259f, 0.175f, 0.115f, 0.069f, 0.057f, 0.023f,
                                    0.026f, 0.026f, 0.019f, 0.036f, 0.023f, 0.03f,  0.021f,
                                    0.003f, 0.009f, 0.005f, 0.003f, 0.007f, 0.0f,   0.003f,
                                    0.003f, 0.002f, 0.0f,   0.0f};
constexpr int kTableFPoints = sizeof kTableFAngles / sizeof kTableFAngles[0];
constexpr int kTableMPoints = sizeof kTableMAngles / sizeof kTableMAngles[0];
static_assert(kTableFPoints == 17 && sizeof kTableFValues == sizeof kTableFAngles);
static_assert(kTableMPoints == 32 && sizeof kTableMValues == sizeof kTableMAngles);

char upperFirst(const char* word) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
}

// Reads one list number straight from the command file, across line ends,
// counting the line ends it passes so that later messages can name their
// line. A missing or unreadable number reads as 0.0.
double readListNumber(FILE* cmd, int& lineEnds) {
    int c = std::fgetc(cmd);
    while (c != EOF && std::isspace(c)) {
        if (c == '\n') ++lineEnds;
        c = std::fgetc(cmd);
    }
    if (c == EOF) return 0.0;
    std::ungetc(c, cmd);
    double value = 0.0;
    if (!readStreamDouble(cmd, value)) return 0.0;
    return value;
}

// Drops the rest of the line of the last list number.
void finishListLine(FILE* cmd, int& lineEnds) {
    int c = std::fgetc(cmd);
    while (c != EOF && c != '\n') c = std::fgetc(cmd);
    if (c == '\n') ++lineEnds;
}

}  // namespace

int completePatternTable(double* angles, double* values, int k) {
    if (k <= 0) return k;
    // Size of the completed table first, so that a table that would not fit
    // is refused before anything moves.
    const bool append = angles[k - 1] < 180.0;
    const int k1 = k + (append ? 1 : 0);
    int e = 0;
    if (angles[0] >= 0.0) {
        e = angles[0] == 0.0 ? k1 - 1 : k1;
    } else if (angles[0] > -180.0) {
        e = 1;
    }
    if (k1 + e > kMaxPatternPoints) return -1;

    if (append) {
        angles[k] = 180.0;
        values[k] = angles[0] == -180.0 ? values[0] : 0.0;
        k = k1;
    }
    if (angles[0] >= 0.0) {
        // Mirror to negative angles; the 0-degree point is not doubled.
        for (int i = k - 1; i >= 0; --i) {
            angles[i + e] = angles[i];
            values[i + e] = values[i];
        }
        for (int m = 0; m < e; ++m) {
            angles[m] = -angles[k - 1 - m + e];
            values[m] = values[k - 1 - m + e];
        }
        k += e;
    } else if (angles[0] > -180.0) {
        const double last = values[k - 1];
        for (int i = k - 1; i >= 0; --i) {
            angles[i + 1] = angles[i];
            values[i + 1] = values[i];
        }
        angles[0] = -180.0;
        values[0] = last;
        k += 1;
    }
    return k;
}

int readElementPattern(RunData& rd, int firstLineNumber, const char* command, int arrayIndex,
                       double rotation) {
    int nextLineNumber = 0;
    return readElementPattern(rd, firstLineNumber, command, arrayIndex, rotation, nextLineNumber);
}

int readElementPattern(RunData& rd, int firstLineNumber, const char* command, int arrayIndex,
                       double rotation, int& nextLineNumber) {
    FILE* log = rd.messageLog;
    FILE* cmd = rd.commandFile;
    char line[kLineSize];
    char word[16], units[16];
    double axis = 0.0;
    int lineEnds = 0;
    nextLineNumber = firstLineNumber + 1;

    readLine(cmd, line);
    const int converted = scanText(line, "%15s %lf %15s", word, &axis, units);
    int32_t k = 0;
    const bool table = converted >= 1 && scanText(word, "%d", &k) == 1;

    // Built on the side and stored only once complete, so that a refused
    // block leaves the array's previous pattern as it was.
    ElementPattern pattern;
    if (!table) {
        if (converted < 2) {
            reportMissingInputs(log, command, 2, firstLineNumber, line);
            return -1;
        }
        pattern.patternType = upperFirst(word);
        switch (pattern.patternType) {
            case 'D':
            case 'G':
                pattern.patternPointCount = 0;
                break;
            case 'F':
                std::memcpy(pattern.patternAngles, kTableFAngles, sizeof kTableFAngles);
                std::memcpy(pattern.patternValues, kTableFValues, sizeof kTableFValues);
                pattern.patternPointCount = kTableFPoints;
                break;
            case 'M':
                std::memcpy(pattern.patternAngles, kTableMAngles, sizeof kTableMAngles);
                std::memcpy(pattern.patternValues, kTableMValues, sizeof kTableMValues);
                pattern.patternPointCount = kTableMPoints;
                break;
            default:
                logMessage(log, "ERROR! Unrecognized antenna code: %s\n", word);
                return -1;
        }
    } else {
        if (converted < 3) {
            reportMissingInputs(log, command, 3, firstLineNumber, line);
            return -1;
        }
        pattern.patternType = 'I';
        const char unitCode = upperFirst(units);
        if (unitCode != 'D' && unitCode != 'M') {
            logMessage(log, "ERROR! Unknown radiation pattern units code: %s\n", units);
            return -1;
        }
        const bool givenAngles = k < 0;
        if (givenAngles) k = k == INT32_MIN ? INT32_MAX : -k;
        if (k >= kMaxPatternPoints) {
            logMessage(log, "ERROR! %d is too many radiation pattern points. Limit: %d\n", k,
                       kMaxPatternPoints);
            return -1;
        }
        if (k == 0) {
            logMessage(log, "ERROR! Number of radiation pattern points is 0.\n");
            return -1;
        }
        if (givenAngles) {
            for (int i = 0; i < k; ++i) pattern.patternAngles[i] = readListNumber(cmd, lineEnds);
            finishListLine(cmd, lineEnds);
        } else {
            for (int i = 0; i < k; ++i) pattern.patternAngles[i] = i * 10.0;
        }
        for (int i = 0; i < k; ++i) {
            const int valueLine = firstLineNumber + 1 + lineEnds;
            const double v = readListNumber(cmd, lineEnds);
            pattern.patternValues[i] = unitCode == 'D' ? std::pow(10.0, v / 20.0) : v;
            // A value in decibels can overflow once turned into a magnitude.
            if (!std::isfinite(pattern.patternValues[i])) {
                reportNotFinite(log, command, valueLine);
                return -1;
            }
        }
        finishListLine(cmd, lineEnds);
        pattern.patternPointCount = k;
    }
    nextLineNumber = firstLineNumber + 1 + lineEnds;

    if (pattern.patternPointCount > 0) {
        const int completed =
            completePatternTable(pattern.patternAngles, pattern.patternValues, pattern.patternPointCount);
        if (completed < 0) {
            logMessage(log, "ERROR! Radiation pattern table too large after completion.\n");
            return -1;
        }
        pattern.patternPointCount = completed;
    }
    pattern.patternAxis = axis * kDegToRad + rotation;
    rd.arrays[arrayIndex].pattern = pattern;
    return 0;
}

}  // namespace ils
