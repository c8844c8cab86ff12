// The line scanner with every conversion the readers use: %d, %lf, %f and
// word fields. The first byte picks the format; the rest is the line.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "input/lines.h"
#include "input/scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ils;
    if (size == 0) return 0;
    static const char* const formats[] = {
        "%d",
        "%lf",
        "%f",
        "%2s",
        "%15s %15s %15s %15s",
        "%d %15s %15s %15s",
        "%15s %d %d %d %f %f %f",
        "%lf %lf %lf %lf %lf %lf %lf",
        "%lf\t%d",
        "%d %d %d %d %d %d %d %lf %lf %lf %lf %lf",
        "%15s %lf %15s",
        "%% %d%lf %2s",
    };
    const char* format = formats[data[0] % (sizeof formats / sizeof formats[0])];
    // A line as the readers hold it: at most 1023 characters and a NUL.
    char line[kLineSize];
    const size_t n = std::min(size - 1, static_cast<size_t>(kLineSize - 1));
    std::memcpy(line, data + 1, n);
    line[n] = '\0';

    int32_t i[7] = {};
    double d[7] = {};
    float f[3] = {};
    char w[4][16] = {};
    char w2[3] = {};
    int got = 0;
    switch (data[0] % (sizeof formats / sizeof formats[0])) {
        case 0: got = scanText(line, format, &i[0]); break;
        case 1: got = scanText(line, format, &d[0]); break;
        case 2: got = scanText(line, format, &f[0]); break;
        case 3: got = scanText(line, format, w2); break;
        case 4: got = scanText(line, format, w[0], w[1], w[2], w[3]); break;
        case 5: got = scanText(line, format, &i[0], w[0], w[1], w[2]); break;
        case 6: got = scanText(line, format, w[0], &i[0], &i[1], &i[2], &f[0], &f[1], &f[2]); break;
        case 7: got = scanText(line, format, &d[0], &d[1], &d[2], &d[3], &d[4], &d[5], &d[6]); break;
        case 8: got = scanText(line, format, &d[0], &i[0]); break;
        case 9:
            got = scanText(line, format, &i[0], &i[1], &i[2], &i[3], &i[4], &i[5], &i[6], &d[0],
                           &d[1], &d[2], &d[3], &d[4]);
            break;
        case 10: got = scanText(line, format, w[0], &d[0], w[1]); break;
        default: got = scanText(line, format, &i[0], &d[0], w2); break;
    }
    if (got < 0 || got > 12) fuzz::fail("scan returned an impossible count");
    // Words fit their fields; numbers that converted are finite.
    for (auto& word : w)
        if (std::memchr(word, '\0', sizeof word) == nullptr) fuzz::fail("word field overrun");
    if (std::memchr(w2, '\0', sizeof w2) == nullptr) fuzz::fail("word field overrun");
    for (double v : d)
        if (!std::isfinite(v)) fuzz::fail("a converted real is not finite");
    for (float v : f)
        if (!std::isfinite(v)) fuzz::fail("a converted single is not finite");

    // trimBlanks and the path helpers on the same text.
    trimBlanks(line);
    normalizeSeparators(line);
    char path[kLineSize];
    formatPath(path, "%s%s", "scratch/", line);
    return 0;
}
