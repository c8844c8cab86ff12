#include "platform/platform.h"

#include <ctime>
#include <new>
#include <system_error>
#include <thread>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <process.h>
#include <direct.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ils::platform {

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Length of the root that starts path: "/" or "\\" (1), "C:\\" (3),
// "\\\\server\\share\\" (up to and including the separator after the share),
// or 0 when the path is relative or has no separator after its drive.
size_t rootLength(const std::string& p) {
    if (p.size() >= 3 && p[1] == ':' && isSeparator(p[2])) return 3;
    if (p.size() >= 2 && isSeparator(p[0]) && isSeparator(p[1])) {
        size_t i = 2;
        int parts = 0;
        while (i < p.size() && parts < 2) {
            while (i < p.size() && !isSeparator(p[i])) ++i;
            ++parts;
            if (i < p.size()) ++i;  // the separator after server or share
        }
        return parts == 2 ? i : p.size();
    }
    if (!p.empty() && isSeparator(p[0])) return 1;
    return 0;
}

}  // namespace

std::string directoryWithSeparator(const char* text) {
    std::string s(text != nullptr ? text : "");
    for (char& c : s) {
        if (isSeparator(c)) c = kSeparator;
    }
    if (!s.empty() && s.back() != kSeparator) s.push_back(kSeparator);
    return s;
}

std::string directoryForStat(const std::string& path) {
    std::string p = path;
    const size_t root = rootLength(p);
    while (p.size() > root && p.size() > 1 && isSeparator(p.back())) p.pop_back();
    return p;
}

bool canEnterDirectory(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    const std::string p = directoryForStat(path);
#if defined(_WIN32)
    // Windows has no search permission: an existing directory can be entered.
    struct _stat64 st {};
    if (_stat64(p.c_str(), &st) != 0) return false;
    return (st.st_mode & _S_IFDIR) != 0;
#else
    struct stat st {};
    if (stat(p.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && access(p.c_str(), X_OK) == 0;
#endif
}

bool makeDirectory(const char* path) {
    const std::string p = directoryForStat(path != nullptr ? path : "");
#if defined(_WIN32)
    return _mkdir(p.c_str()) == 0;
#else
    return mkdir(p.c_str(), 0777) == 0;
#endif
}

std::string currentDirectory() {
    char buf[4096];
#if defined(_WIN32)
    if (_getcwd(buf, sizeof buf) == nullptr) return "";
#else
    if (getcwd(buf, sizeof buf) == nullptr) return "";
#endif
    return buf;
}

bool changeDirectory(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
#if defined(_WIN32)
    return _chdir(path) == 0;
#else
    return chdir(path) == 0;
#endif
}

#if defined(_WIN32)
namespace {
unsigned __stdcall runThread(void* arg) {
    void (*fn)() = *static_cast<void (**)()>(arg);
    delete static_cast<void (**)()>(arg);
    fn();
    return 0;
}
}  // namespace

// A plain C-runtime thread: under Wine, processes whose detached
// std::thread (winpthreads) had ended could hang at exit, and a later
// thread could fail to start.
bool startDetachedThread(void (*fn)()) {
    auto* arg = new (std::nothrow) (void (*)())(fn);
    if (arg == nullptr) return false;
    const uintptr_t handle = _beginthreadex(nullptr, 0, runThread, arg, 0, nullptr);
    if (handle == 0) {
        delete arg;
        return false;
    }
    CloseHandle(reinterpret_cast<HANDLE>(handle));
    return true;
}
#else
bool startDetachedThread(void (*fn)()) {
    try {
        std::thread(fn).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}
#endif

uint32_t currentTimeSeconds() { return static_cast<uint32_t>(std::time(nullptr)); }

}  // namespace ils::platform
