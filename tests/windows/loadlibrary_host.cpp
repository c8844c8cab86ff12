// A Windows host as third parties write them: it loads ilscalc.dll at run
// time, looks the four functions up by their undecorated names, runs a
// project's command file to its end and post-processes the field file.
//
//   loadlibrary_host DLL PROJECT_DIR RUN_NAME WORK_DIR
//
// The run's scratch directory is WORK_DIR\scratch\; PROJECT_DIR\RUN_NAME.post
// becomes its ILSPOST.TMP. Exit status 0 when every step succeeded.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// The exports' own types, spelled out as a host without the header would.
using StartFn = int32_t(__stdcall*)(const char*, const char*, const char*, uint32_t);
using StopFn = int32_t(__stdcall*)();
using ProgressFn = int32_t(__stdcall*)(int32_t*);
using PostFn = int32_t(__stdcall*)(const char*);

int failures = 0;

void check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok) ++failures;
}

bool readFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::string withBackslash(std::string dir) {
    for (char& c : dir) {
        if (c == '/') c = '\\';
    }
    if (!dir.empty() && dir.back() != '\\') dir.push_back('\\');
    return dir;
}

template <typename Fn>
Fn lookUp(HMODULE dll, const char* name) {
    FARPROC p = GetProcAddress(dll, name);
    check(p != nullptr, std::string("GetProcAddress finds ") + name);
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(p));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: loadlibrary_host DLL PROJECT_DIR RUN_NAME WORK_DIR\n");
        return 2;
    }
    const std::string project = withBackslash(argv[2]);
    const std::string runName = argv[3];
    const std::string work = withBackslash(argv[4]);

    HMODULE dll = LoadLibraryA(argv[1]);
    check(dll != nullptr, std::string("LoadLibrary ") + argv[1]);
    if (dll == nullptr) return 1;
    const auto start = lookUp<StartFn>(dll, "ILSCalc_Start");
    const auto stop = lookUp<StopFn>(dll, "ILSCalc_Stop");
    const auto progress = lookUp<ProgressFn>(dll, "ILSCalc_GetProgress");
    const auto post = lookUp<PostFn>(dll, "ILSPost");
    check(GetProcAddress(dll, "ILSCalc_Start@16") == nullptr && GetProcAddress(dll, "_ILSCalc_Start@16") == nullptr,
          "no decorated name is exported");
    if (start == nullptr || stop == nullptr || progress == nullptr || post == nullptr) return 1;

    int32_t percent = -1;
    check(progress(&percent) == 0 && percent == 0, "idle before the first run: state 0, 0 percent");
    check(stop() == 0, "ILSCalc_Stop before any run returns the idle state");

    // Files named in the command file (motion files) are relative to the project.
    check(SetCurrentDirectoryA(project.c_str()) != 0, "enter the project " + project);
    const int32_t started = start(runName.c_str(), project.c_str(), work.c_str(), 0);
    check(started == 0, "ILSCalc_Start returns 0 (got " + std::to_string(started) + ")");
    if (started != 0) return 1;

    int32_t state = 1;
    bool inRange = true;
    int32_t last = 0;
    const DWORD begin = GetTickCount();
    while ((state = progress(&percent)) == 1) {
        if (percent < 1 || percent > 99 || percent < last) inRange = false;
        last = percent;
        if (GetTickCount() - begin > 540000) break;
        Sleep(50);
    }
    check(inRange, "progress while running stays within 1..99 and never falls");
    check(state == 2 && percent == 100,
          "the run ends Finished at 100 percent (state " + std::to_string(state) + ", " +
              std::to_string(percent) + " percent)");

    const std::string scratch = work + "scratch\\";
    std::string log, field, params;
    check(readFile(scratch + runName + ".out", log) && !log.empty(), "message log " + runName + ".out");
    check(log.find("ERROR!") == std::string::npos, "the message log holds no ERROR! line");
    check(readFile(scratch + runName + ".fld", field) && field.size() > 1000, "field file " + runName + ".fld");

    check(readFile(project + runName + ".post", params), "parameter file " + runName + ".post");
    {
        std::ofstream out(scratch + "ILSPOST.TMP", std::ios::binary);
        out << params;
    }
    // A relative report prefix and the debug tables belong in the scratch directory.
    check(SetCurrentDirectoryA(scratch.c_str()) != 0, "enter the scratch directory");
    const int32_t posted = post(scratch.c_str());
    check(posted == 0, "ILSPost returns 0 (got " + std::to_string(posted) + ")");
    // The same directory without its trailing backslash is the same post directory.
    const std::string bare = scratch.substr(0, scratch.size() - 1);
    check(post(bare.c_str()) == 0, "ILSPost without the trailing backslash returns 0");
    // Line 1 of the parameter file is the report prefix, line 3 the report name.
    std::string lines[3];
    size_t at = 0;
    for (std::string& line : lines) {
        const size_t end = params.find('\n', at);
        line = params.substr(at, end == std::string::npos ? std::string::npos : end - at);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        at = end == std::string::npos ? params.size() : end + 1;
    }
    std::string report;
    const std::string reportPath = lines[0] + lines[2] + ".PTS";
    check(readFile(reportPath, report) && report.size() > 100, "report " + reportPath);
    check(report.find("\r\n") != std::string::npos, "the report has the system's CRLF line ends");

    FreeLibrary(dll);
    std::printf("%s: %d failure(s)\n", failures == 0 ? "PASSED" : "FAILED", failures);
    return failures == 0 ? 0 : 1;
}
