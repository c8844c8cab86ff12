// Plots of report Traces through gnuplot, run as an external program.
#pragma once

#include <string>
#include <vector>

#include "host_files.h"
#include "tolerance.h"

namespace ilshost {

// Tolerance band of one Trace column: mean course and the limit at every
// point (NaN where the point lies outside every segment).
struct PlotLimits {
    size_t column = 0;
    double meanCourse = 0.0;
    std::vector<double> limits;
    std::vector<char> failing;        // per point: 1 where it exceeds its limit
    std::vector<double> along;        // per point: metres from the threshold
    std::vector<ApproachMark> marks;  // A, B, C, ... to mark on the X axis
    std::string caption;  // e.g. "ICAO Cat I localizer limit"
};

// What the plots need to know of the parameter file.
struct PlotStyle {
    int referenceCode = -1;  // what X is
    bool glidePath = false;
    std::vector<TraceInfo> traces;  // the active Traces, in report order
};

// The full path of an executable found on PATH, or empty.
std::string findOnPath(const std::string& program);

// Writes BASE.plot.dat and BASE.plot.gp, the gnuplot script that draws one
// PNG and one SVG per Trace (BASE_Y1.png, BASE_Y1.svg, ...); with an overlay
// report its Traces are drawn on the same plots (data in BASE.overlay.dat).
// Returns the script's path; the images are listed in images.
bool writePlotFiles(const Report& report, const Report* overlay, const std::vector<PlotLimits>& limits,
                    const PlotStyle& style, const std::string& base, std::string& scriptPath,
                    std::vector<std::string>& images, std::string& error);

// Runs gnuplot on a script; false with a message when it cannot run or fails.
bool runGnuplot(const std::string& gnuplot, const std::string& scriptPath, std::string& error);

// The advice shown when gnuplot is missing.
std::string gnuplotInstallHint();

}  // namespace ilshost
