#include "simd/dispatch.h"

#include <atomic>

#include "platform/cpu_features.h"

namespace ils {

namespace {
// A test's restriction; 0 where none. The only state: the machine's targets
// are read once and never change.
std::atomic<int64_t> forcedTargets{0};
}  // namespace

int64_t supportedVectorTargets() {
    const int64_t forced = forcedTargets.load(std::memory_order_relaxed);
    if (forced != 0) return forced;
    static const int64_t machine = platform::detectVectorTargets();
    return machine;
}

void setVectorTargetsForTest(int64_t targets) { forcedTargets.store(targets, std::memory_order_relaxed); }

}  // namespace ils
