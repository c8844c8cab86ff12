// The few operating-system services the library needs, in one place.
#pragma once

#include <cstdint>
#include <string>

namespace ils::platform {

// The directory separator that paths formed by the library use: '\\' on
// Windows, '/' elsewhere.
#if defined(_WIN32)
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// A directory argument as the library uses it: every '/' or '\\' becomes
// kSeparator, and one kSeparator is appended unless the text is empty or
// already ends in one. Messages therefore show paths with native separators.
std::string directoryWithSeparator(const char* text);

// The form of a directory path that the system's stat accepts: trailing
// separators removed, except where they belong to a root ("/", "\\", "C:\\",
// "\\\\server\\share\\"). The C runtime of Windows refuses "C:\\dir\\".
std::string directoryForStat(const std::string& path);

// True when path names an existing directory that the process may enter
// (search permission). Does not change the working directory.
bool canEnterDirectory(const char* path);

// Creates one directory level; the result is not needed by callers.
bool makeDirectory(const char* path);

// The process's working directory (empty when it cannot be read), and a change
// of it; for callers that must run inside a directory and restore it after.
std::string currentDirectory();
bool changeDirectory(const char* path);

// Starts fn on a detached thread with the default stack size.
bool startDetachedThread(void (*fn)());

// Seconds since the epoch, for seeding the pseudo-random generator.
uint32_t currentTimeSeconds();

}  // namespace ils::platform
