#include "platform/cpu_features.h"

#include "hwy/highway.h"

#if HWY_ARCH_X86 && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#endif

namespace ils::platform {

#if HWY_ARCH_X86 && (defined(__GNUC__) || defined(__clang__))
namespace {
// F16C from CPUID leaf 1 (ECX bit 29): not every compiler's
// __builtin_cpu_supports knows it. Asked only once AVX is known usable.
bool hasF16c() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (ecx & (1u << 29)) != 0;
}
}  // namespace
#endif

int64_t detectVectorTargets() {
    int64_t targets = HWY_SCALAR | HWY_EMU128;
#if HWY_ARCH_X86 && (defined(__GNUC__) || defined(__clang__))
    // The features of each target's HWY_TARGET_STR; the compiler's run-time
    // library also checks that the system saves the AVX and AVX-512 state.
    __builtin_cpu_init();
    const bool ssse3 = __builtin_cpu_supports("sse2") && __builtin_cpu_supports("ssse3");
    const bool sse4 = ssse3 && __builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("sse4.2") &&
                      __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("aes");
    const bool avx2 = sse4 && __builtin_cpu_supports("avx") && __builtin_cpu_supports("avx2") &&
                      __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
                      __builtin_cpu_supports("fma") && hasF16c();
    const bool avx3 = avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
                      __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw");
    if (ssse3) targets |= HWY_SSSE3;
    if (sse4) targets |= HWY_SSE4;
    if (avx2) targets |= HWY_AVX2;
    if (avx3) targets |= HWY_AVX3;
#endif
    return targets;
}

}  // namespace ils::platform
