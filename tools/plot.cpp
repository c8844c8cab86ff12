#include "plot.h"

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
    return unit;
}

std::string traceDescription(const ReportColumn& c) {
    std::string what;
    if (c.label == "CDI") what = "CDI";
    else if (c.label == "FLG") what = "Flag";
    else if (c.label == "CSB") what = "CSB field";
    else if (c.label == "SBO") what = "SBO field";
    else what = c.label;
    if (c.course && c.clearance) what += ", course and clearance";
    else if (c.course) what += ", course array";
    else if (c.clearance) what += ", clearance array";
    return what;
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

bool writePlotFiles(const Report& report, const std::vector<PlotLimits>& limits,
                    const std::string& base, std::string& scriptPath,
                    std::vector<std::string>& images, std::string& error) {
    images.clear();
    const std::string dataPath = base + ".plot.dat";
    scriptPath = base + ".plot.gp";
    // Data: X, every Trace, then mean - limit and mean + limit per band.
    std::string data = "#";
    for (const ReportColumn& c : report.columns) data += " " + c.name;
    for (const PlotLimits& l : limits) {
        data += " low_" + report.columns[l.column].name + " high_" + report.columns[l.column].name;
    }
    data += "\n";
    for (size_t i = 0; i < report.rows.size(); ++i) {
        const std::vector<double>& row = report.rows[i];
        for (size_t c = 0; c < row.size(); ++c) data += (c ? " " : "") + number(row[c]);
        for (const PlotLimits& l : limits) {
            const double lim = i < l.limits.size() ? l.limits[i] : NAN;
            data += " " + number(l.meanCourse - lim) + " " + number(l.meanCourse + lim);
        }
        data += "\n";
    }
    if (!writeWholeFile(dataPath, data)) {
        error = "cannot write " + dataPath;
        return false;
    }
    std::string gp;
    gp += "# Draws every Trace of " + baseName(base) + " against X (written by ilscalc).\n";
    gp += "set encoding utf8\n";
    gp += "set grid\n";
    gp += "set key top left box opaque\n";
    gp += "png_term = (strstrt(GPVAL_TERMINALS, 'pngcairo') > 0) ? "
          "'pngcairo size 1200,700 font \"sans,11\"' : 'png size 1200,700'\n";
    const ReportColumn& xc = report.columns.front();
    gp += "set xlabel " + quoted("X " + axisUnit(xc.unit)) + "\n";
    for (size_t c = 1; c < report.columns.size(); ++c) {
        const ReportColumn& col = report.columns[c];
        const std::string stem = base + "_" + col.name;
        const std::string title = report.outputName + ": Trace " + col.name.substr(1) + ", " +
                                  traceDescription(col);
        std::string plot = "plot " + quoted(dataPath) + " using 1:" + std::to_string(c + 1) +
                           " with lines lw 2 lc rgb '#1f4e9a' title " +
                           quoted(col.name + " " + col.label);
        size_t bandColumn = report.columns.size() + 1;
        for (const PlotLimits& l : limits) {
            if (l.column == c) {
                plot += ", " + quoted(dataPath) + " using 1:" + std::to_string(bandColumn) +
                        " with lines lw 1.5 dt 2 lc rgb '#c00000' title " + quoted(l.caption) +
                        ", " + quoted(dataPath) + " using 1:" + std::to_string(bandColumn + 1) +
                        " with lines lw 1.5 dt 2 lc rgb '#c00000' notitle, " + number(l.meanCourse) +
                        " with lines lw 1 dt 3 lc rgb '#606060' title 'mean course'";
            }
            bandColumn += 2;
        }
        gp += "set title " + quoted(title) + " noenhanced\n";
        gp += "set ylabel " + quoted(traceDescription(col) + " " + axisUnit(col.unit)) + "\n";
        gp += "set terminal @png_term\n";
        gp += "set output " + quoted(stem + ".png") + "\n";
        gp += plot + "\n";
        gp += "set terminal svg size 1200,700 dynamic font 'sans,11'\n";
        gp += "set output " + quoted(stem + ".svg") + "\n";
        gp += plot + "\n";
        gp += "unset output\n";
        images.push_back(stem + ".png");
        images.push_back(stem + ".svg");
    }
    if (!writeWholeFile(scriptPath, gp)) {
        error = "cannot write " + scriptPath;
        return false;
    }
    return true;
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
