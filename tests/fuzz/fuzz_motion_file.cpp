// The motion file of moving plates (SG), in a fixed, valid run with a small
// plate, so that the table is built and used.
#include <cstdint>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ils::fuzz;
    writeFile(workDir() + "motion.mot", data, size);
    std::string commands = stationAndOrbit(6);
    // The path begins in column 8, as the SG command requires.
    commands += "SG 1   " + workDir() + "motion.mot\n";
    commands += "SP\nF 0 0 1\n300 -20 300 20 0 20 5\n";
    commands += "EN\n";
    runAndCheck(commands);
    return 0;
}
