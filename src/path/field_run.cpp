#include "path/field_run.h"

#include "interface/unavailable.h"

namespace ils {

int runFieldRun(RunData& rd, FILE* fieldFile) {
    if (fieldFile != nullptr) std::fclose(fieldFile);
    return commandNotAvailable(rd, "EN");
}

}  // namespace ils
