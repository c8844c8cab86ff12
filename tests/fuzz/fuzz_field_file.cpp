// The FieldFile reader, with a fixed, valid parameter file of four Traces
// (CDI with filter and corrections, flag, CSB in dB, SBO phase). The first
// byte picks the stream: a file read through ILSPost, or a stream that can
// neither be measured nor positioned (as a pipe), read by the same stage.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "ilscalc/ilscalc.h"
#include "post/post.h"
#include "post/post_data.h"

namespace {

const char* const kParameters =
    "./\nrun\nrep\n0\n1000 0 0\n0 12 3\n"
    "1 0 2 2 1 1 0\n1.0 0.01 5.0 1.0\n1.0 0.0 0.0 1.0 0.0 1.0 0.8\n"
    "1 2 0 2 0 0 0\n1.0 0.0 0.0 1.0\n1.0 0.0 0.0 1.0 0.0 1.0 1.0\n"
    "1 3 0 1 0 0 3\n1.0 0.0 0.0 1.0\n1.0 0.0 0.0 1.0 0.0 1.0 1.0\n"
    "1 4 1 2 0 0 4\n1.0 0.0 0.0 1.0\n1.0 0.0 10.0 1.0 0.0 0.5 1.0\n";

// A read-only stream over a byte range whose seek always fails.
struct Bytes {
    const uint8_t* data;
    size_t size;
    size_t at;
};

ssize_t readBytes(void* cookie, char* buf, size_t n) {
    Bytes* b = static_cast<Bytes*>(cookie);
    const size_t k = std::min(n, b->size - b->at);
    std::memcpy(buf, b->data + b->at, k);
    b->at += k;
    return static_cast<ssize_t>(k);
}

int noSeek(void*, off64_t*, int) { return -1; }

int32_t readFromStream(const uint8_t* data, size_t size) {
    using namespace ils;
    PostData& pd = postData();
    resetPostData(pd);
    const std::string dir = fuzz::workDir();
    std::snprintf(pd.postDirectory, sizeof pd.postDirectory, "%s", dir.c_str());
    pd.postLog = std::fopen((dir + "ILSPOST.LOG").c_str(), "w");
    pd.parameterFile = std::fopen((dir + "ILSPOST.TMP").c_str(), "r");
    int32_t r = readparams(pd);
    if (r != 0) fuzz::fail("the fixed parameter file was refused");
    Bytes bytes{data, size, 0};
    cookie_io_functions_t io{readBytes, nullptr, noSeek, nullptr};
    pd.fieldFile = fopencookie(&bytes, "rb", io);
    r = readFieldStream(pd);
    if (r == 0) {
        if (pd.xValues.size() != static_cast<size_t>(pd.pointCount))
            fuzz::fail("results do not hold one value per point");
        normaliseFields(pd.params);
        printoutput(pd);
    }
    cleanUpPost(pd);
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ils::fuzz;
    if (size == 0) return 0;
    static bool written = false;
    if (!written) {
        writeFile(workDir() + "ILSPOST.TMP", std::string(kParameters));
        written = true;
    }
    if (data[0] & 1) {
        readFromStream(data + 1, size - 1);
    } else {
        writeFile(workDir() + "run.fld", data + 1, size - 1);
        const int32_t r = ILSPost(workDir().c_str());
        if (r != 0 && r != 4) fail("a FieldFile gave a result other than 0 or 4");
    }
    return 0;
}
