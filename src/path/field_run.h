// EN: the field run that writes the FieldFile and the "Scattered Fields" table.
#pragma once

#include <cstdio>

#include "interface/run_data.h"

namespace ils {

// Writes the FieldFile to fieldFile and closes it. 0 on success; -1 after a
// write or scratch-file failure, with an ERROR! message.
int runFieldRun(RunData& rd, FILE* fieldFile);

// The direct FieldRecord at (x, y, z): one accumulation per radiating array
// (the clearance array only in a two-frequency system) of the array field
// plus its ground image under the system's ground option, with f0 = 1.
FieldRecord directFieldRecord(const RunData& rd, double x, double y, double z);

}  // namespace ils
