#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "interface/driver.h"

namespace ils::fuzz {

namespace fs = std::filesystem;

const std::string& workDir() {
    static const std::string dir = [] {
        std::random_device rnd;
        const fs::path p = fs::temp_directory_path() /
                           ("ilscalc-fuzz-" + std::to_string(rnd()) + std::to_string(rnd()));
        fs::create_directories(p / "scratch");
        fs::current_path(p);
        // Kept past the static string's destruction for the exit handler.
        static char removeAtExit[4096];
        std::snprintf(removeAtExit, sizeof removeAtExit, "%s", p.string().c_str());
        std::atexit([] {
            std::error_code ec;
            fs::current_path(fs::temp_directory_path(), ec);
            fs::remove_all(removeAtExit, ec);
        });
        return p.string() + "/";
    }();
    return dir;
}

void writeFile(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) fail("cannot write a fuzz input file");
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

void fail(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

std::unique_ptr<RunData> prepareRun(const std::string& commands) {
    const std::string& dir = workDir();
    const std::string scratch = dir + "scratch/";
    writeFile(dir + "f.dat", commands);
    auto rd = std::make_unique<RunData>();
    std::snprintf(rd->scratchDirectory, sizeof rd->scratchDirectory, "%s", scratch.c_str());
    rd->messageLog = std::fopen((scratch + "f.out").c_str(), "w");
    rd->commandFile = std::fopen((dir + "f.dat").c_str(), "rb");
    rd->fieldFileStream = std::fopen((scratch + "f.fld").c_str(), "wb");
    std::snprintf(rd->fieldFilePath, sizeof rd->fieldFilePath, "%sf.fld", scratch.c_str());
    if (rd->messageLog == nullptr || rd->commandFile == nullptr || rd->fieldFileStream == nullptr)
        fail("cannot open the run files");
    rd->runState.store(kRunning);
    return rd;
}

void runAndCheck(const std::string& commands) {
    auto rd = prepareRun(commands);
    runCalculation(*rd);
    if (rd->messageLog != nullptr || rd->commandFile != nullptr || rd->fieldFileStream != nullptr)
        fail("a run file is still open after the run");
    const int32_t state = rd->runState.load();
    if (state != kFinished && state != kFailed && state != kInterrupted)
        fail("the run ended without a final state");
    const std::string scratch = workDir() + "scratch/";
    for (const char* name : {"flight.tmp", "fields.tmp", "fields1.tmp", "dynscat.tmp"}) {
        if (fs::exists(scratch + name)) fail("a scratch file outlived the run");
    }
    if (state == kFinished) {
        std::error_code ec;
        const auto size = fs::file_size(scratch + "f.fld", ec);
        if (ec || size != 20u + 504u * static_cast<uintmax_t>(rd->pointCount))
            fail("a finished run's FieldFile has the wrong size");
    }
}

std::string stationAndOrbit(int points) {
    return "SY\nL S A G\n110.1\n"
           "CO\n4 F M D\n0 0 10 0 0\n"
           "E01   0 -15 0 1 0 1 180\n"
           "E02   0  -5 0 1 0 1 180\n"
           "E03   0   5 0 1 0 1 0\n"
           "E04   0  15 0 1 0 1 0\n"
           "F 0 D\n"
           "FP\nC F K F\n0 0 0\n-10 10 " +
           std::to_string(20.0 / (points > 1 ? points - 1 : 1)) + " 6000 500\n120\n";
}

}  // namespace ils::fuzz
