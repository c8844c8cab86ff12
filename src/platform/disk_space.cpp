#include "platform/disk_space.h"

#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/statvfs.h>
#endif

namespace ils::platform {

bool freeDiskBytes(const char* directory, uint64_t& bytes) {
    if (directory == nullptr || directory[0] == '\0') return false;
#if defined(_WIN32)
    // Narrow paths are in the process's code page, as everywhere else.
    const int n = MultiByteToWideChar(CP_ACP, 0, directory, -1, nullptr, 0);
    if (n <= 0) return false;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, directory, -1, wide.data(), n) <= 0) return false;
    for (wchar_t& c : wide) {
        if (c == L'/') c = L'\\';
    }
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(wide.c_str(), &available, nullptr, nullptr)) return false;
    bytes = static_cast<uint64_t>(available.QuadPart);
    return true;
#else
    struct statvfs fs {};
    if (statvfs(directory, &fs) != 0) return false;
    // Blocks available to unprivileged writers, in fragment-size units.
    bytes = static_cast<uint64_t>(fs.f_bavail) * static_cast<uint64_t>(fs.f_frsize);
    return true;
#endif
}

}  // namespace ils::platform
