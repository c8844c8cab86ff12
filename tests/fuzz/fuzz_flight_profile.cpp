// The user-defined flight profile file, read by an FP command of pattern U in
// a fixed, valid run. The harness skips files that announce more points than
// one execution can afford (the first integer of the file).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ils::fuzz;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const long announced = std::strtol(text.c_str(), nullptr, 10);
    if (announced > 2000) return 0;
    writeFile(workDir() + "profile.txt", text);
    const std::string station = stationAndOrbit(2);
    // The orbit's FP block is replaced by a user profile in feet and knots.
    const std::string commands = station.substr(0, station.find("FP\n")) +
                                 "FP\nU F K F\n0 100 -50\n" + workDir() + "profile.txt\nEN\n";
    runAndCheck(commands);
    return 0;
}
