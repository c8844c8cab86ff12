#include "system/array_reader.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "input/lines.h"
#include "input/messages.h"
#include "input/scan.h"
#include "platform/platform.h"
#include "system/pattern_reader.h"

namespace ils {
namespace {

char upperFirst(const char* word) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
}

// The first six characters of an element line are a label and are not read.
constexpr size_t kLabelWidth = 6;

// Up to `count` numbers separated by white space; a number that is missing or
// unreadable ends the row and it and the rest stay 0.
void scanRow(const char* text, double* numbers, int count) {
    for (int i = 0; i < count; ++i) numbers[i] = 0.0;
    const char* p = text;
    for (int i = 0; i < count; ++i) {
        while (*p != '\0' && std::isspace(static_cast<unsigned char>(*p))) ++p;
        if (*p == '\0') return;
        char* end = nullptr;
        const double v = std::strtod(p, &end);
        if (end == p || !std::isfinite(v)) return;
        numbers[i] = v;
        p = end;
    }
}

bool finiteComplex(Complex c) { return std::isfinite(c.real()) && std::isfinite(c.imag()); }

// Element i and the centroid sums it was added to.
bool finiteElement(const AntennaArray& a, int i) {
    return std::isfinite(a.elementX[i]) && std::isfinite(a.elementY[i]) &&
           std::isfinite(a.elementZ[i]) && std::isfinite(a.centroidX) &&
           std::isfinite(a.centroidY) && std::isfinite(a.centroidZ) &&
           finiteComplex(a.csbCurrent[i]) && finiteComplex(a.sboCurrent[i]);
}

// The optional coefficient block: its opening line (already read) and n rows.
int readCoefficients(RunData& rd, const char* command, AntennaArray& array, int n,
                     const char* openingLine, int openingLineNumber) {
    double a = 0.0, ai = 0.0, b = 0.0, bi = 0.0;
    if (scanText(openingLine, "%lf %lf %lf %lf", &a, &ai, &b, &bi) < 4) {
        reportMissingInputs(rd.messageLog, command, 4, openingLineNumber, openingLine);
        return -1;
    }
    const Complex divisor = Complex(a, ai) + Complex(b, bi);
    array.elementMatrix.assign(static_cast<size_t>(n),
                               std::vector<Complex>(static_cast<size_t>(n), Complex(0.0, 0.0)));
    char line[kLineSize];
    double numbers[2 * kMaxArrayElements];
    for (int i = 0; i < n; ++i) {
        readLine(rd.commandFile, line);
        scanRow(line, numbers, 2 * n);
        for (int j = 0; j < n; ++j) {
            array.elementMatrix[i][j] = Complex(numbers[2 * j], numbers[2 * j + 1]) / divisor;
        }
    }
    return 0;
}

}  // namespace

int readArray(RunData& rd, const char* command, int arrayIndex) {
    FILE* log = rd.messageLog;
    FILE* cmd = rd.commandFile;
    AntennaArray& array = rd.arrays[arrayIndex];
    char line[kLineSize];
    char spacing[16], amplitude[16], phase[16];
    int32_t n = 0;

    readLine(cmd, line);
    if (scanText(line, "%d %15s %15s %15s", &n, spacing, amplitude, phase) < 4) {
        reportMissingInputs(log, command, 4, 1, line);
        return -1;
    }
    if (n >= kMaxArrayElements) {
        logMessage(log, "ERROR! %d is too many array elements.  Limit: %d\n", n, kMaxArrayElements);
        return -1;
    }
    double u = 1.0;
    switch (upperFirst(spacing)) {
        case 'F':
            u = 1.0;
            break;
        case 'M':
            u = kFeetPerMetre;
            break;
        case 'W':
            // Both arrays are laid out in carrier wavelengths.
            u = rd.system.carrierWavelength;
            break;
        default:
            logMessage(log, "ERROR! Unknown antenna spacing units code: %s.\n", spacing);
            return -1;
    }
    const char amplitudeCode = upperFirst(amplitude);
    if (amplitudeCode != 'D' && amplitudeCode != 'M') {
        logMessage(log, "ERROR! Unknown antenna amplitude units code: %s\n", amplitude);
        return -1;
    }
    const char phaseCode = upperFirst(phase);
    if (phaseCode != 'D' && phaseCode != 'R') {
        logMessage(log, "ERROR! Unknown antenna phase units code: %s\n", phase);
        return -1;
    }

    double originX = 0.0, originY = 0.0, z0 = 0.0, thetaDegrees = 0.0;
    int32_t randomFlag = 0;
    readLine(cmd, line);
    if (scanText(line, "%lf %lf %lf %lf %d", &originX, &originY, &z0, &thetaDegrees,
                 &randomFlag) < 4) {
        reportMissingInputs(log, command, 4, 2, line);
        return -1;
    }
    array.originX = originX;
    array.originY = originY;
    const double theta = thetaDegrees * kDegToRad;
    if (randomFlag == 1) {
        seedRandom(rd, platform::currentTimeSeconds());
    } else if (randomFlag != 0) {
        logMessage(log, "ERROR! Invalid random DU error flag: %d\n", randomFlag);
        return -1;
    }
    // Without elements there is no centroid and no array length. Checked
    // after the checks of lines 1 and 2 that do not depend on the count.
    if (n < 1) {
        logMessage(log, "ERROR! %d is too few array elements.\n", n);
        return -1;
    }

    array.centroidX = 0.0;
    array.centroidY = 0.0;
    array.centroidZ = 0.0;
    const double cosTheta = std::cos(theta);
    const double sinTheta = std::sin(theta);
    for (int i = 0; i < n; ++i) {
        double x = 0, y = 0, z = 0, a1 = 0, p1 = 0, a2 = 0, p2 = 0;
        readLine(cmd, line);
        // A line of six characters or fewer holds only (part of) a label.
        const bool hasValues = std::strlen(line) > kLabelWidth;
        if (!hasValues || scanText(line + kLabelWidth, "%lf %lf %lf %lf %lf %lf %lf", &x, &y, &z,
                                   &a1, &p1, &a2, &p2) < 7) {
            reportMissingInputs(log, command, 7, i + 3, line);
            return -1;
        }
        double xr = x, yr = y;
        if (theta != 0.0) {
            xr = x * cosTheta - y * sinTheta;
            yr = x * sinTheta + y * cosTheta;
        }
        array.elementX[i] = xr * u + originX;
        array.elementY[i] = yr * u + originY;
        array.elementZ[i] = z * u + z0;
        array.centroidX += array.elementX[i];
        array.centroidY += array.elementY[i];
        array.centroidZ += array.elementZ[i];
        if (amplitudeCode == 'D') {
            a1 = std::pow(10.0, a1 / 20.0);
            a2 = std::pow(10.0, a2 / 20.0);
        }
        if (phaseCode == 'R') {
            p1 = p1 / kDegToRad;
            p2 = p2 / kDegToRad;
        }
        if (randomFlag == 1) {
            const double g1 = gaussianRandom(rd);
            const double g2 = gaussianRandom(rd);
            const double g3 = gaussianRandom(rd);
            const double g4 = gaussianRandom(rd);
            a1 = a1 + g1 * a1 / 100.0;
            a2 = a2 + g2 * a2 / 100.0;
            p1 = p1 + g3;
            p2 = p2 + g4;
        }
        array.csbCurrent[i] = a1 * unitPhasor(p1 * kDegToRad);
        array.sboCurrent[i] = a2 * unitPhasor(p2 * kDegToRad);
        // The localizer's sidebands lead by a quarter turn.
        if (rd.system.systemType == 'L') array.sboCurrent[i] *= unitPhasor(kHalfPi);
        // Numbers that convert can still overflow once scaled (coordinates
        // in wavelengths or metres near the limit, amplitudes of 1e308 dB).
        if (!finiteElement(array, i)) {
            reportNotFinite(log, command, i + 3);
            return -1;
        }
    }

    array.centroidX /= n;
    array.centroidY /= n;
    array.centroidZ /= n;
    const double dx = array.elementX[n - 1] - array.elementX[0];
    const double dy = array.elementY[n - 1] - array.elementY[0];
    const double dz = array.elementZ[n - 1] - array.elementZ[0];
    const double length = std::sqrt(dx * dx + dy * dy + dz * dz);
    const double farField = length * length * array.waveNumber / kPi;
    if (!std::isfinite(farField)) {
        reportNotFinite(log, command, n + 2);
        return -1;
    }
    if (farField > rd.farFieldDistance) rd.farFieldDistance = farField;

    int nextLineNumber = 0;
    if (readElementPattern(rd, n + 3, command, arrayIndex, theta, nextLineNumber) != 0) return -1;
    array.elementCount = n;

    // A line that opens with a blank or a tab starts the coefficient block;
    // any other line belongs to the driver and is put back. At the end of
    // the file there is nothing to put back.
    if (!readLine(cmd, line)) return 0;
    if (line[0] != ' ' && line[0] != '\t') {
        std::fseek(cmd, -static_cast<long>(std::strlen(line)), SEEK_CUR);
        return 0;
    }
    return readCoefficients(rd, command, array, n, line, nextLineNumber);
}

}  // namespace ils
