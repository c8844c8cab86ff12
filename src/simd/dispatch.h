// Run-time choice of the instruction set of the vector kernels, made here
// rather than by libhwy: linking libhwy costs every process some 5 ms of
// single-threaded timer calibration at load time, as long as a small run.
//
// A source compiled through hwy/foreach_target.h exports a function with
// ILS_VECTOR_EXPORT(F) and calls it with ILS_VECTOR_DISPATCH(F)(args), as
// Highway's HWY_EXPORT and HWY_DYNAMIC_DISPATCH; the table has their layout
// (an unused first entry, the dynamic targets, the scalar fallback).
#pragma once

#include <cstddef>
#include <cstdint>

#include "hwy/highway.h"

namespace ils {

// The HWY_TARGETS bits of the instruction sets this machine runs (and the
// scalar fallback), or those that a test restricted it to.
int64_t supportedVectorTargets();

// Tests: only the targets in mask count as supported (0: the machine's again).
void setVectorTargetsForTest(int64_t targets);

// The table entry of the best supported target among those compiled
// (compiled: HWY_CHOSEN_TARGET_MASK_TARGETS of the caller's translation unit).
inline size_t vectorTableIndex(int64_t compiled) {
    const int64_t chosen =
        HWY_CHOSEN_TARGET_SHIFT(supportedVectorTargets()) | HWY_CHOSEN_TARGET_MASK_SCALAR;
    return hwy::Num0BitsBelowLS1Bit_Nonzero64(static_cast<uint64_t>(chosen & compiled));
}

}  // namespace ils

#if HWY_IDE || ((HWY_TARGETS & (HWY_TARGETS - 1)) == 0)
// One compiled target (the cross builds): a direct call.
#define ILS_VECTOR_EXPORT(F)                                             \
    HWY_MAYBE_UNUSED static decltype(&HWY_STATIC_DISPATCH(F)) const \
        ILS_VECTOR_TABLE_##F[1] = {&HWY_STATIC_DISPATCH(F)}
#define ILS_VECTOR_DISPATCH(F) HWY_STATIC_DISPATCH(F)
#else
#define ILS_VECTOR_EXPORT(F)                                                    \
    static decltype(&HWY_STATIC_DISPATCH(F)) const                              \
        ILS_VECTOR_TABLE_##F[HWY_MAX_DYNAMIC_TARGETS + 2] = {                   \
            &HWY_STATIC_DISPATCH(F), HWY_CHOOSE_TARGET_LIST(F), HWY_CHOOSE_FALLBACK(F)}
#define ILS_VECTOR_DISPATCH(F) \
    (*(ILS_VECTOR_TABLE_##F[::ils::vectorTableIndex(HWY_CHOSEN_TARGET_MASK_TARGETS)]))
#endif
