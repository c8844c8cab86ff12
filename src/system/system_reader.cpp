#include "system/system_reader.h"

#include <cctype>
#include <cmath>

#include "input/lines.h"
#include "input/messages.h"
#include "input/scan.h"

namespace ils {
namespace {

char upperFirst(const char* word) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
}

// Weight of the clearance signal from half the carrier separation (kHz).
double captureWeightFor(double halfSeparation) {
    const double h = halfSeparation;
    if (h < 5.0) return 1.0;
    if (h < 15.0) return 1.25 - 0.05 * h;
    if (h < 42.0) return 0.7775 - 0.0185 * h;
    return 0.001;
}

// A carrier at or below zero hertz has no finite wavelength: every field and
// every spacing given in wavelengths would turn into infinities or NaNs.
bool refuseCarrier(FILE* log, const char* which, double hertz) {
    if (hertz > 0.0) return false;
    logMessage(log, "ERROR! Invalid %s carrier frequency: %.6f MHz.\n", which, hertz / 1000000.0);
    return true;
}

// Every wavelength and wave number derived from line 2 must be a finite,
// non-zero length: a carrier that overflows once scaled to hertz (1e303 MHz)
// or one so low that its wavelength overflows would fill every field with
// infinities or NaNs, or make a plate's patch count explode.
bool finiteWave(double wavelength) {
    return std::isfinite(wavelength) && wavelength != 0.0 && std::isfinite(kTwoPi / wavelength);
}

}  // namespace

int readSystem(RunData& rd) {
    FILE* log = rd.messageLog;
    SystemDefinition& sys = rd.system;
    char line[kLineSize];
    char type[16], frequency[16], farField[16], ground[16];

    readLine(rd.commandFile, line);
    if (scanText(line, "%15s %15s %15s %15s", type, frequency, farField, ground) < 4) {
        reportMissingInputs(log, "SY", 4, 1, line);
        return -1;
    }

    sys.systemType = upperFirst(type);
    if (sys.systemType != 'G' && sys.systemType != 'L') {
        logMessage(log, "ERROR! Unknown system type: %s\n", type);
        return -1;
    }
    // The message quotes the word with its first letter raised.
    frequency[0] = upperFirst(frequency);
    if (frequency[0] == 'C') {
        sys.captureEffect = 1;
    } else if (frequency[0] == 'S') {
        sys.captureEffect = 0;
    } else {
        logMessage(log, "ERROR! Unknown ILS frequency type: %s.\n", frequency);
        return -1;
    }
    sys.farFieldCode = upperFirst(farField);
    if (sys.farFieldCode != 'A' && sys.farFieldCode != 'F' && sys.farFieldCode != 'N') {
        logMessage(log, "ERROR! Unknown far-field code: %s.\n", farField);
        return 2;
    }
    sys.groundPlaneCode = upperFirst(ground);
    if (sys.groundPlaneCode != 'F' && sys.groundPlaneCode != 'G') {
        logMessage(log, "ERROR! Unknown ground plane code: %s.\n", ground);
        return 1;
    }

    readLine(rd.commandFile, line);
    AntennaArray& course = rd.arrays[0];
    if (sys.captureEffect == 1) {
        double f = 0.0, s = 0.0;
        if (scanText(line, "%lf %lf", &f, &s) < 2) {
            reportMissingInputs(log, "SY", 2, 2, line);
            return -1;
        }
        const double F = f * 1000000.0;
        const double d = s * 1000.0 * 0.5;
        if (refuseCarrier(log, "course", d + F) || refuseCarrier(log, "clearance", F - d)) return -1;
        if (!finiteWave(kSpeedOfLightFt / (d + F)) || !finiteWave(kSpeedOfLightFt / (F - d)) ||
            !finiteWave(kSpeedOfLightFt / F)) {
            reportNotFinite(log, "SY", 2);
            return -1;
        }
        sys.captureWeight = captureWeightFor(std::fabs(s * 0.5));
        AntennaArray& clearance = rd.arrays[1];
        course.wavelength = kSpeedOfLightFt / (d + F);
        course.waveNumber = kTwoPi / course.wavelength;
        clearance.wavelength = kSpeedOfLightFt / (F - d);
        clearance.waveNumber = kTwoPi / clearance.wavelength;
        sys.carrierWavelength = kSpeedOfLightFt / F;
        return 0;
    }

    double f = 0.0;
    if (scanText(line, "%lf", &f) < 1) {
        reportMissingInputs(log, "SY", 1, 2, line);
        return -1;
    }
    const double F = f * 1000000.0;
    if (refuseCarrier(log, "course", F)) return -1;
    if (!finiteWave(kSpeedOfLightFt / F)) {
        reportNotFinite(log, "SY", 2);
        return -1;
    }
    course.wavelength = kSpeedOfLightFt / F;
    course.waveNumber = kTwoPi / course.wavelength;
    sys.carrierWavelength = kSpeedOfLightFt / F;
    return 0;
}

}  // namespace ils
