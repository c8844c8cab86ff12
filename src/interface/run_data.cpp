// The one owner of the library's run data and of the tests' control point,
// apart from the exported functions so that a host can link the readers
// (ilscalc check) without a second copy of the entry points.
#include "interface/run_data.h"
#include "interface/test_control.h"

namespace ils {

RunData& runData() {
    static RunData data;
    return data;
}

TestControl& testControl() {
    static TestControl control;
    return control;
}

}  // namespace ils
