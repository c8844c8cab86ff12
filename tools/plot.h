// Plots of report Traces through gnuplot, run as an external program.
#pragma once

#include <string>
#include <vector>

#include "host_files.h"
#include "tolerance.h"

namespace ilshost {

// Limits drawn on one Trace column: either mean course +- limit (course
// structure) or explicit lower and upper lines, both per point (NaN where no
// limit applies), with the failing points and marks on the X axis.
struct PlotLimits {
    size_t column = 0;
    double meanCourse = 0.0;
    std::vector<double> limits;       // per point: the limit about the mean
    std::vector<double> lower, upper; // per point, used instead when not empty
    bool drawMean = true;             // the mean course as a dotted line
    std::vector<char> failing;        // per point: 1 where it exceeds its limit
    std::vector<double> along;        // per point: metres from the threshold
    std::vector<ApproachMark> marks;  // A, B, C, ... placed by their along-track metres
    std::vector<ApproachMark> xMarks; // marks placed at an X value of the report
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
