// The `ilscalc study` command: siting and critical/sensitive-area studies.
#pragma once

namespace ilshost {

// argv[1] is "study". Returns the program's exit code.
int studyMain(int argc, char** argv);

}  // namespace ilshost
