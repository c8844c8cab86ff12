// The few operating-system services the library needs, in one place.
#pragma once

#include <cstdint>

namespace ils::platform {

// True when path names an existing directory that the process may enter
// (search permission). Does not change the working directory.
bool canEnterDirectory(const char* path);

// Creates one directory level; the result is not needed by callers.
bool makeDirectory(const char* path);

// Starts fn on a detached thread with the default stack size.
bool startDetachedThread(void (*fn)());

// Seconds since the epoch, for seeding the pseudo-random generator.
uint32_t currentTimeSeconds();

}  // namespace ils::platform
