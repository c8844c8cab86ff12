// EN: the field run that writes the FieldFile and the "Scattered Fields" table.
#pragma once

#include <cstdio>

#include "interface/run_data.h"

namespace ils {

// Writes the FieldFile to fieldFile and closes it. 0 on success; -1 after a
// write or scratch-file failure, with an ERROR! message.
int runFieldRun(RunData& rd, FILE* fieldFile);

}  // namespace ils
