// Runs the built ilscalc program as a user runs it, and the small project
// the host tests share.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace ils::test {

using Outcome = CommandOutcome;

// Runs "ilscalc ARGS" through the shell (stderr joined to stdout). The
// program goes by its native absolute path, which every shell accepts, and
// paths in its lines are compared in one form whatever the platform.
inline std::string hostProgram() {
    return std::filesystem::absolute(std::filesystem::path(ILSCALC_BINARY_DIR) / "ilscalc").make_preferred().string();
}
inline Outcome host(const std::string& args) {
    Outcome o = runCommandLine("\"" + hostProgram() + "\" " + args);
    o.output = slashPath(o.output);
    return o;
}

// True when the program's output holds text.
inline bool has(const Outcome& o, const std::string& text) { return o.output.find(text) != std::string::npos; }

// A small single-frequency localizer with a lateral run at the threshold.
inline const char* const kHostStation =
    "SY\nL S A G\n110.3\nCO\n2 M M D\n0.0 0.0 8.2 0.0 0\n"
    "E1    0.0 -0.68 0.0 1.0 0 1.0 180\nE2    0.0 0.68 0.0 1.0 0 1.0 0\nD 0.0 D\n";
inline const char* const kHostLateral = "FP\nB M K F\n0.0 2250 0.0\n-4.3576 4.3576 100 90 100\n90\nEN\n";
inline const char* const kHostPost =
    "./\nRUN\nRUN\n0\n0.0 0.0 0.0\n0 1 1\n"
    "1 0 0 2 0 0 0\n0 0 0 1\n0 0 0 0 0 1 1\n"
    "1 3 0 0 0 0 3\n0 0 0 1\n0 0 0 0 0 1 1\n"
    "0 0 0 0 0 0 0\n0 0 0 1\n0 0 0 0 0 1 1\n"
    "0 0 0 0 0 0 0\n0 0 0 1\n0 0 0 0 0 1 1\n";


}  // namespace ils::test
