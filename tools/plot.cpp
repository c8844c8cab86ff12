#include "plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host_platform.h"

namespace ilshost {

namespace {

// gnuplot single-quoted strings take a quote as two quotes.
std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out.push_back('\'');
        out.push_back(c);
    }
    out.push_back('\'');
    return out;
}

std::string number(double v) {
    if (!std::isfinite(v)) return "NaN";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    return buf;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Axis text for a unit label of the report: "(uA)" reads as microamperes.
std::string axisUnit(const std::string& unit) {
    if (unit == "(uA)") return "(µA)";
    if (unit == "(ddm)") return "(DDM)";
    if (unit == "(% mod)") return "(% modulation)";
    return unit;
}

// What X is, from the parameter file's reference code.
std::string xQuantity(int referenceCode) {
    switch (referenceCode) {
        case 0: return "Along-track distance x";
        case 1: return "Cross-track offset y";
        case 2:
        case 22: return "Height z";
        case 10: return "Slant range from the reference point";
        case 11: return "Elevation angle from the reference point";
        case 12:
        case 21: return "Azimuth from the reference point";
        case 20: return "Horizontal range from the reference point";
        default: return "X";
    }
}

// The quantity of a Trace as an engineer names it.
std::string traceQuantity(const ReportColumn& c, const PlotStyle& style, size_t traceIndex) {
    const TraceInfo* info = traceIndex < style.traces.size() ? &style.traces[traceIndex] : nullptr;
    std::string what;
    if (c.label == "CDI") {
        what = style.glidePath ? "Glide-path deviation (CDI)" : "Course deviation (CDI)";
        if (c.unit == "(ddm)" && info != nullptr) {
            what += info->outputType == 0 ? ", DDM normalised by the tone sum" : ", DDM normalised by 0.4";
        }
    } else if (c.label == "FLG") {
        what = "Flag";
    } else if (c.label == "CSB") {
        what = "CSB field";
    } else if (c.label == "SBO") {
        what = "SBO field";
    } else {
        what = c.label;
    }
    if (c.course && c.clearance) what += ", course and clearance";
    else if (c.course) what += ", course array";
    else if (c.clearance) what += ", clearance array";
    if (info != nullptr && info->flightCorrections == 1) what += ", incident-corrected";
    if (info != nullptr && info->flightCorrections == 2) what += ", minus the ideal value";
    if (info != nullptr && info->cdiFilter == 1) what += ", filtered";
    if (info != nullptr && (c.label == "CSB" || c.label == "SBO")) {
        what += info->fieldType == 0 ? ", direct" : info->fieldType == 1 ? ", scattered" : ", direct + scattered";
    }
    return what;
}

// Flag traces in "(% mod)" hold a sum of depths such as 0.4: drawn in percent.
double displayScale(const ReportColumn& c) { return c.label == "FLG" && c.unit == "(% mod)" ? 100.0 : 1.0; }

// The X value (report units) where the flight passes an along-track position,
// interpolated between the two points around it; NaN when it never does.
double xAtAlong(const std::vector<double>& along, const Report& report, double s) {
    for (size_t i = 0; i + 1 < along.size() && i + 1 < report.rows.size(); ++i) {
        const double a = along[i];
        const double b = along[i + 1];
        if ((a <= s && s <= b) || (b <= s && s <= a)) {
            const double t = b != a ? (s - a) / (b - a) : 0.0;
            return report.rows[i][0] + t * (report.rows[i + 1][0] - report.rows[i][0]);
        }
    }
    return NAN;
}

}  // namespace

std::string findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return "";
    std::string dirs(path);
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(pathListSeparator(), start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty()) dir = ".";
        for (const std::string& name : executableNames(program)) {
            const std::string candidate = dir + "/" + name;
            if (isExecutableFile(candidate)) return candidate;
        }
        start = end + 1;
    }
    return "";
}

bool writePlotFiles(const Report& report, const Report* overlay, const std::vector<PlotLimits>& limits,
                    const PlotStyle& style, const std::string& base, std::string& scriptPath,
                    std::vector<std::string>& images, std::string& error) {
    images.clear();
    const std::string dataPath = base + ".plot.dat";
    const std::string overlayPath = base + ".overlay.dat";
    scriptPath = base + ".plot.gp";
    const size_t traces = report.columns.size();
    // Data: X, every Trace, then per band mean - limit, mean + limit and the
    // value of every failing point (NaN elsewhere).
    std::string data = "#";
    for (const ReportColumn& c : report.columns) data += " " + c.name;
    for (const PlotLimits& l : limits) {
        const std::string& n = report.columns[l.column].name;
        data += " low_" + n + " high_" + n + " failing_" + n;
    }
    data += "\n";
    std::vector<double> low(traces, INFINITY), high(traces, -INFINITY);
    auto widen = [&](size_t c, double v) {
        if (!std::isfinite(v)) return;
        low[c] = std::min(low[c], v);
        high[c] = std::max(high[c], v);
    };
    for (size_t i = 0; i < report.rows.size(); ++i) {
        const std::vector<double>& row = report.rows[i];
        for (size_t c = 0; c < row.size(); ++c) {
            const double v = c == 0 ? row[c] : row[c] * displayScale(report.columns[c]);
            data += (c ? " " : "") + number(v);
            widen(c, v);
        }
        for (const PlotLimits& l : limits) {
            double lo = NAN, hi = NAN;
            if (!l.lower.empty() || !l.upper.empty()) {
                lo = i < l.lower.size() ? l.lower[i] : NAN;
                hi = i < l.upper.size() ? l.upper[i] : NAN;
            } else {
                const double lim = i < l.limits.size() ? l.limits[i] : NAN;
                lo = l.meanCourse - lim;
                hi = l.meanCourse + lim;
            }
            const bool bad = i < l.failing.size() && l.failing[i] != 0;
            data += " " + number(lo) + " " + number(hi) + " " + number(bad ? row[l.column] : NAN);
            widen(l.column, lo);
            widen(l.column, hi);
        }
        data += "\n";
    }
    if (!writeWholeFile(dataPath, data, &error)) return false;
    if (overlay != nullptr) {
        std::string od = "#";
        for (const ReportColumn& c : overlay->columns) od += " " + c.name;
        od += "\n";
        for (const std::vector<double>& row : overlay->rows) {
            for (size_t c = 0; c < row.size(); ++c) {
                const double v = c == 0 || c >= overlay->columns.size()
                                     ? row[c] : row[c] * displayScale(overlay->columns[c]);
                od += (c ? " " : "") + number(v);
                if (c > 0 && c < traces) widen(c, v);
            }
            od += "\n";
        }
        if (!writeWholeFile(overlayPath, od, &error)) return false;
    }
    std::string gp;
    gp += "# Draws every Trace of " + baseName(base) + " against X (written by ilscalc).\n";
    gp += "set encoding utf8\n";
    gp += "set grid\n";
    // The legend sits below the plot, clear of the data and the limits.
    gp += "set key outside below center horizontal box\n";
    gp += "set bmargin 8\n";
    gp += "png_term = (strstrt(GPVAL_TERMINALS, 'pngcairo') > 0) ? "
          "'pngcairo size 1200,760 font \"sans,11\"' : 'png size 1200,760'\n";
    const ReportColumn& xc = report.columns.front();
    gp += "set xlabel " + quoted(xQuantity(style.referenceCode) + " " + axisUnit(xc.unit)) + " noenhanced\n";
    for (size_t c = 1; c < traces; ++c) {
        const ReportColumn& col = report.columns[c];
        const std::string stem = base + "_" + col.name;
        const std::string quantity = traceQuantity(col, style, c - 1);
        const std::string title = report.outputName + ": Trace " + col.name.substr(1) + ", " + quantity;
        std::string plot = "plot " + quoted(dataPath) + " using 1:" + std::to_string(c + 1) +
                           " with lines lw 2 lc rgb '#1f4e9a' title " +
                           quoted(col.name + " " + quantity + (overlay ? " (" + report.outputName + ")" : ""));
        if (overlay != nullptr && c < overlay->columns.size()) {
            plot += ", " + quoted(overlayPath) + " using 1:" + std::to_string(c + 1) +
                    " with lines lw 2 dt 4 lc rgb '#d07000' title " +
                    quoted(col.name + " (" + overlay->outputName + ")");
        }
        std::string marks;
        size_t bandColumn = traces + 1;
        for (const PlotLimits& l : limits) {
            if (l.column == c) {
                plot += ", " + quoted(dataPath) + " using 1:" + std::to_string(bandColumn) +
                        " with lines lw 1.5 dt 2 lc rgb '#c00000' title " + quoted(l.caption) +
                        ", " + quoted(dataPath) + " using 1:" + std::to_string(bandColumn + 1) +
                        " with lines lw 1.5 dt 2 lc rgb '#c00000' notitle, " +
                        (l.drawMean ? number(l.meanCourse) +
                                          " with lines lw 1 dt 3 lc rgb '#606060' title 'mean course', "
                                    : std::string()) +
                        quoted(dataPath) + " using 1:" + std::to_string(bandColumn + 2) +
                        " with points pt 7 ps 0.8 lc rgb '#e00000' title 'outside the limit'";
                std::vector<ApproachMark> placed;
                for (const ApproachMark& m : l.marks) placed.push_back({m.name, xAtAlong(l.along, report, m.along)});
                for (const ApproachMark& m : l.xMarks) placed.push_back(m);
                int markIndex = 0;
                for (const ApproachMark& m : placed) {
                    const double x = m.along;
                    if (!std::isfinite(x)) continue;
                    marks += "set arrow from " + number(x) + ", graph 0 to " + number(x) +
                             ", graph 1 nohead lw 1 dt 3 lc rgb '#2a7a2a'\n";
                    // Neighbouring marks alternate in height so their names stay apart.
                    marks += "set label " + quoted(m.name == "threshold" ? "thr" : m.name) + " at " +
                             number(x) + (markIndex++ % 2 ? ", graph 0.92" : ", graph 0.97") +
                             " center tc rgb '#2a7a2a' front\n";
                }
            }
            bandColumn += 3;
        }
        gp += "unset arrow\nunset label\n" + marks;
        // Axis range with a margin, so that the limits are fully visible.
        if (std::isfinite(low[c]) && std::isfinite(high[c])) {
            double span = high[c] - low[c];
            if (!(span > 0.0)) span = std::max(std::fabs(high[c]), 1.0);
            gp += "set yrange [" + number(low[c] - 0.08 * span) + ":" + number(high[c] + 0.12 * span) + "]\n";
        } else {
            gp += "set autoscale y\n";
        }
        gp += "set title " + quoted(title) + " noenhanced\n";
        gp += "set ylabel " + quoted(quantity + " " + axisUnit(col.unit)) + " noenhanced\n";
        gp += "set terminal @png_term\n";
        gp += "set output " + quoted(stem + ".png") + "\n";
        gp += plot + "\n";
        gp += "set terminal svg size 1200,760 dynamic font 'sans,11'\n";
        gp += "set output " + quoted(stem + ".svg") + "\n";
        gp += plot + "\n";
        gp += "unset output\n";
        images.push_back(stem + ".png");
        images.push_back(stem + ".svg");
    }
    return writeWholeFile(scriptPath, gp, &error);
}

bool runGnuplot(const std::string& gnuplot, const std::string& scriptPath, std::string& error) {
    const int status = runProgram(gnuplot, {scriptPath});
    if (status == kProgramNotStarted) {
        error = "cannot start " + gnuplot;
        return false;
    }
    if (status == kProgramLost) {
        error = "lost track of gnuplot";
        return false;
    }
    if (status != 0) {
        error = "gnuplot failed on " + scriptPath;
        return false;
    }
    return true;
}

std::string gnuplotInstallHint() {
    return "gnuplot was not found on PATH, so no plots were drawn. Install it from the\n"
           "distribution's packages, for example:\n"
           "    sudo apt-get install gnuplot-nox     (Debian, Ubuntu)\n"
           "    sudo dnf install gnuplot             (Fedora)\n"
           "and run the command again; the report and the CSV file are complete without it.\n";
}

}  // namespace ilshost
