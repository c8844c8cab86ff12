// The post-processing parameter file ILSPOST.TMP, with a fixed, valid
// FieldFile of a few points in the post directory. The report path comes
// from the fuzzed file: the harness skips files whose report prefix (line 1,
// other than "./") or name (line 3) holds a separator, so that reports stay
// in the work directory.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "ilscalc/ilscalc.h"

namespace {

std::string fieldFile() {
    std::string out;
    const int32_t n = 4;
    const double t = 0.5, tau = 0.25;
    out.append(reinterpret_cast<const char*>(&n), 4);
    out.append(reinterpret_cast<const char*>(&t), 8);
    out.append(reinterpret_cast<const char*>(&tau), 8);
    for (int i = 0; i < n; ++i) {
        double block[63] = {};
        block[0] = 100.0 * i;
        block[1] = 10.0 * i;
        block[2] = 50.0;
        // Scattered record: small multipath; incident record: course and
        // clearance carriers and sidebands.
        for (int s = 0; s < 6; ++s) block[3 + 2 * s] = 0.01 * (s + 1) * (i + 1);
        block[3 + 24] = 0.001;
        block[3 + 25] = 0.002;
        double* inc = block + 33;
        inc[0] = 1.0;
        inc[2] = 0.5;
        inc[4] = 0.9;
        inc[6] = 1.1;
        inc[8] = 0.45;
        inc[10] = 0.55;
        out.append(reinterpret_cast<const char*>(block), sizeof block);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ils::fuzz;
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The report goes to prefix + name: keep it out of other directories.
    const size_t firstEnd = text.find('\n');
    std::string prefix = text.substr(0, firstEnd);
    while (!prefix.empty() && static_cast<unsigned char>(prefix.back()) <= ' ') prefix.pop_back();
    if (prefix != "./" && prefix.find_first_of("/\\") != std::string::npos) return 0;
    const size_t thirdStart = firstEnd == std::string::npos ? firstEnd : text.find('\n', firstEnd + 1);
    if (thirdStart != std::string::npos) {
        const std::string rest = text.substr(thirdStart + 1);
        const std::string name = rest.substr(0, rest.find('\n'));
        if (name.find_first_of("/\\") != std::string::npos) return 0;
    }
    static const std::string field = fieldFile();
    writeFile(workDir() + "run.fld", field);
    writeFile(workDir() + "ILSPOST.TMP", text);
    const int32_t r = ILSPost(workDir().c_str());
    if (r < 0 || r > 7) fail("ILSPost returned an undocumented result");
    return 0;
}
