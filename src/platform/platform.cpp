#include "platform/platform.h"

#include <ctime>
#include <string>
#include <system_error>
#include <thread>

#if defined(_WIN32)
#include <direct.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ils::platform {

bool canEnterDirectory(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    struct stat st {};
    if (stat(path, &st) != 0) return false;
#if defined(_WIN32)
    return (st.st_mode & _S_IFDIR) != 0;
#else
    return S_ISDIR(st.st_mode) && access(path, X_OK) == 0;
#endif
}

bool makeDirectory(const char* path) {
    std::string p(path);
    while (p.size() > 1 && (p.back() == '/' || p.back() == '\\')) p.pop_back();
#if defined(_WIN32)
    return _mkdir(p.c_str()) == 0;
#else
    return mkdir(p.c_str(), 0777) == 0;
#endif
}

bool startDetachedThread(void (*fn)()) {
    try {
        std::thread(fn).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

uint32_t currentTimeSeconds() { return static_cast<uint32_t>(std::time(nullptr)); }

}  // namespace ils::platform
