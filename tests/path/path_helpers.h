// Helpers of the flight-path tests: running FP and EN on a TestRun, reading
// the tables back, and setting up arrays without the SY and CO readers.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "path/field_run.h"
#include "path/flight_profile.h"
#include "path/run_tables.h"
#include "support/test_support.h"

namespace ils::test {

inline int runFlightProfile(TestRun& t, const std::string& lines) {
    t.setCommandText(lines);
    return readFlightProfile(*t.rd);
}

// Runs EN into <scratch>name and returns the FieldFile bytes; status out.
inline std::string runFieldFile(TestRun& t, int& status, const std::string& name = "run.fld") {
    const std::string path = t.scratch + name;
    std::snprintf(t.rd->fieldFilePath, sizeof t.rd->fieldFilePath, "%s", path.c_str());
    status = runFieldRun(*t.rd, std::fopen(path.c_str(), "wb"));
    return readFile(path);
}

// A run table entry of element i of array j (centroid updated by finishArray).
inline void addElement(RunData& rd, int j, double x, double y, double z, Complex csb,
                       Complex sbo) {
    addTestElement(rd, j, x, y, z, csb, sbo);
}

inline void setWavelength(RunData& rd, int j, double wavelength) {
    rd.arrays[j].wavelength = wavelength;
    rd.arrays[j].waveNumber = kTwoPi / wavelength;
}

inline Complex slotAt(const std::string& bytes, size_t offset, int slot) {
    return Complex(doubleAt(bytes, offset + 16 * slot), doubleAt(bytes, offset + 16 * slot + 8));
}

// Offsets in the FieldFile of point i's block parts.
inline size_t blockOffset(int32_t i) { return 20 + 504 * static_cast<size_t>(i); }
inline size_t scatteredOffset(int32_t i) { return blockOffset(i) + 24; }
inline size_t directOffset(int32_t i) { return blockOffset(i) + 264; }

}  // namespace ils::test
