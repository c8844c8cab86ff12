// Post-processing: the driver behind the ILSPost export.
#pragma once

#include <cstdint>

#include "post/post_data.h"

namespace ils {

// Result codes of ILSPost.
inline constexpr int32_t kPostDone = 0;
inline constexpr int32_t kPostNoDirectory = 1;
inline constexpr int32_t kPostNoParameterFile = 2;
inline constexpr int32_t kPostBadParameters = 3;
inline constexpr int32_t kPostCalcFailed = 4;
inline constexpr int32_t kPostPathTooLong = 5;
inline constexpr int32_t kPostBusy = 6;
inline constexpr int32_t kPostNoReport = 7;

// Runs post-processing on a directory; result codes as ILSPost. Refuses a
// second call while one runs.
int32_t runPost(const char* directory);

// The running flag of ILSPost: claimPostRun is false while a call runs.
bool claimPostRun();
void releasePostRun();

// The driver: directory already ends in '/'. Returns 0, 2, 3, 4 or 5, and
// leaves no file of the call open.
int32_t doPost(PostData& pd, const char* directory);

}  // namespace ils
