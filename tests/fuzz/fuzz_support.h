// Shared pieces of the fuzz targets: a private working directory, files,
// and a RunData prepared as ILSCalc_Start would prepare it, without a thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "interface/run_data.h"

namespace ils::fuzz {

// The process's working directory for the fuzz targets (created once; the
// process changes into it, so the files the library writes into the current
// directory stay there). Ends in '/'.
const std::string& workDir();

void writeFile(const std::string& path, const void* data, size_t size);
inline void writeFile(const std::string& path, const std::string& text) {
    writeFile(path, text.data(), text.size());
}

// A run ready for runCalculation: message log, command file (holding
// commands) and FieldFile in workDir()'s scratch directory.
std::unique_ptr<RunData> prepareRun(const std::string& commands);

// Runs commands synchronously on the calling thread, as the worker would, and
// checks what every ended run must leave: no open file, no scratch file, a
// final state, and a FieldFile of 20 + 504 n bytes after a finished run.
// Aborts (a finding) when one of them does not hold.
void runAndCheck(const std::string& commands);

// Aborts with a message naming the broken invariant.
[[noreturn]] void fail(const char* what);

// A fixed, valid station: a localizer with four elements and an orbit of
// points points (no scatterer). Ends after the FP command.
std::string stationAndOrbit(int points);

}  // namespace ils::fuzz
