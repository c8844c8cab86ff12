// The field of an antenna array at a point, the element pattern value, and
// the accumulation of an array's CSB and SBO fields into a FieldRecord.
//
// FieldSlots added by one accumulation for array j (f0, f60, f90, f150 the
// Doppler filter factors; clearance values first scaled by captureWeight):
//   slot j      += CSB
//   slot 2+2j   += f0  (CSB - SBO)      slot 3+2j += f0  (CSB + SBO)
//   slot 6+2j   += f60 (CSB + SBO)      slot 7+2j += f60 (CSB - SBO)
//   slot 10     += f90 CSB              slot 11   += f150 CSB
// Slots 12..14 hold multipath magnitudes (multipathMagnitudes).
#pragma once

#include "hwy/base.h"
#include "path/station.h"

namespace ils {

// CSB and SBO of array j at P = (x, y, z): index 0 the field at P, index 1
// the ground image (the field at (x, y, -z) times -1) when groundOption is
// 'G', else zero. Each element adds current * exp(+j k R) / R; an element at
// R = 0 adds nothing. The sums are weighted by the pattern seen from the
// array centroid.
void arrayField(const Station& st, int j, char groundOption, double x, double y, double z,
                Complex csb[2], Complex sbo[2]);

// Element pattern of array j at relative azimuth phi and elevation eps (radians).
double patternValue(const ElementPattern& pattern, double phi, double eps);

// Adds CSB and SBO of array j into sums[0..11] (a record's slots) with the
// slot rule above, clearance values scaled by captureWeight; inline, for
// kernels that keep a record's sums while they add many contributions
// (forced inline: the compiler leaves it out of the large moving-plate kernel).
HWY_INLINE void accumulateSlots(double captureWeight, int j, Complex csb, Complex sbo, double f90, double f150,
                            double f60, double f0, Complex* sums) {
    if (j == 1) {
        csb *= captureWeight;
        sbo *= captureWeight;
    }
    sums[j] += csb;
    sums[2 + 2 * j] += f0 * (csb - sbo);
    sums[3 + 2 * j] += f0 * (csb + sbo);
    sums[6 + 2 * j] += f60 * (csb + sbo);
    sums[7 + 2 * j] += f60 * (csb - sbo);
    sums[10] += f90 * csb;
    sums[11] += f150 * csb;
}

// Adds CSB and SBO of array j into the record with the slot rule above.
void accumulateField(const Station& st, int j, Complex csb, Complex sbo, double f90,
                     double f150, double f60, double f0, FieldRecord& record);

}  // namespace ils
