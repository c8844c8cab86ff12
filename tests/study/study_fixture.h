// Shared helpers of the study tests: fresh folders, a small base project
// (the bundled two-frequency localizer with a short approach) and the host.
#pragma once

#include <string>

namespace studytest {

struct Outcome {
    int code = -1;
    std::string output;
};

// Runs the built ilscalc with arguments (through the shell), stdout and stderr together.
Outcome host(const std::string& args);

// An empty folder for the running test, ending in '/'.
std::string freshDir(const std::string& name);

bool writeText(const std::string& path, const std::string& text);
std::string readText(const std::string& path);

// Writes RUN.dat and RUN.post into dir: the bundled two-frequency station,
// an approach from x = 12 km to the threshold at 3.3 km every 150 m, the
// commands in extra before EN.
void writeBaseProject(const std::string& dir, const std::string& run, const std::string& extra);

// A study file over that project: an A320 on a 2 x 1 x 2 grid near the array.
std::string smallStudy(const std::string& project, const std::string& run, const std::string& objectExtra = "");

}  // namespace studytest
