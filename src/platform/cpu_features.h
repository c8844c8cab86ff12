// What the processor's vector unit offers, as Highway's target bits.
#pragma once

#include <cstdint>

namespace ils::platform {

// HWY_TARGETS bits of the x86 instruction sets whose every feature (as
// Highway compiles each target) the processor and the system support; the
// scalar and emulated fallbacks always. Other architectures: the fallbacks.
int64_t detectVectorTargets();

}  // namespace ils::platform
