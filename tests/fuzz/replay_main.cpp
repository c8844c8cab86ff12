// Replays fuzz inputs without libFuzzer: every file named on the command line,
// or found in a directory named there, is passed once to the target. A
// finding aborts the process, which fails the test; the input is printed
// first so that the log shows what broke.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void printInput(const std::string& name, const std::string& bytes) {
    std::fprintf(stderr, "== input %s (%zu bytes):", name.c_str(), bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i % 32 == 0) std::fprintf(stderr, "\n  ");
        std::fprintf(stderr, "%02x", static_cast<unsigned char>(bytes[i]));
    }
    std::fprintf(stderr, "\n");
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path p(argv[i]);
        if (fs::is_directory(p)) {
            for (const auto& e : fs::directory_iterator(p))
                if (e.is_regular_file()) inputs.push_back(e.path());
        } else if (fs::exists(p)) {
            inputs.push_back(p);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    for (const fs::path& p : inputs) {
        std::ifstream in(p, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // Printed before the call: a crash leaves the input in the log.
        printInput(p.filename().string(), bytes);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return 0;
}
