// EN: the field run that writes the FieldFile and the "Scattered Fields" table.
#pragma once

#include <cstdio>

#include <span>

#include "interface/run_data.h"
#include "path/station.h"

namespace ils {

// Writes the FieldFile to fieldFile and closes it. 0 on success; -1 after a
// write or scratch-file failure, with an ERROR! message.
int runFieldRun(RunData& rd, FILE* fieldFile);

// The direct FieldRecord at (x, y, z): one accumulation per radiating array
// (the clearance array only in a two-frequency system) of the array field
// plus its ground image under the system's ground option, with f0 = 1.
FieldRecord directFieldRecord(const Station& st, double x, double y, double z);

// The direct-field kernel (direct_field_kernel.cpp, on vectors of points):
// out[i] = the direct FieldRecord of points[i] (CSB and SBO of each array,
// exp(+j k R) / R per element with the pattern and the optional ground
// image, relative to the feed currents), as directFieldRecord within
// rounding; a point's bits do not depend on its place in points.
void directFieldRecords(const Station& st, std::span<const ObservationPoint> points,
                        std::span<FieldRecord> out);

}  // namespace ils
