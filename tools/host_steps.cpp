#include "host_steps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "host_platform.h"
#include "icao_checks.h"
#include "ilscalc/ilscalc.h"
#include "plot.h"
#include "tolerance.h"

namespace fs = std::filesystem;

namespace ilshost {

namespace {

const char* categoryName(int c) { return c == 1 ? "I" : c == 2 ? "II" : "III"; }

std::string reportBase(const std::string& reportPath) {
    std::string base = reportPath;
    if (base.size() > 4 && base.substr(base.size() - 4) == ".PTS") base.resize(base.size() - 4);
    return base;
}

// One course-structure result as a JSON object.
std::string checkJson(const std::string& trace, Facility facility, int category,
                      const ToleranceResult& r) {
    std::string j = "    {\"check\": \"course structure\", \"facility\": ";
    j += facility == Facility::Localizer ? "\"localizer\"" : "\"glide path\"";
    j += std::string(", \"category\": \"") + categoryName(category) + "\", \"trace\": " + jsonString(trace);
    j += ", \"mean_course_uA\": " + jsonNumber(r.meanCourse);
    j += ", \"points\": " + std::to_string(r.evaluatedPoints);
    j += ", \"result\": ";
    j += r.evaluatedPoints == 0 || !r.complete ? "\"not checked\"" : r.pass ? "\"pass\"" : "\"fail\"";
    j += ", \"segments\": [";
    for (size_t k = 0; k < r.segments.size(); ++k) {
        const SegmentResult& s = r.segments[k];
        j += k ? ", " : "";
        j += "{\"name\": " + jsonString(s.segment.name) + ", \"from_m\": " + jsonNumber(s.segment.alongFrom) +
             ", \"to_m\": " + jsonNumber(s.segment.alongTo) + ", \"limit_from_uA\": " +
             jsonNumber(s.segment.limitFrom) + ", \"limit_to_uA\": " + jsonNumber(s.segment.limitTo) +
             ", \"points\": " + std::to_string(s.points);
        if (s.points > 0) {
            j += ", \"worst_uA\": " + jsonNumber(s.worstExcursion) + ", \"worst_at_m\": " +
                 jsonNumber(s.worstAlong) + ", \"limit_at_worst_uA\": " + jsonNumber(s.limitAtWorst);
        }
        j += std::string(", \"result\": ") + (s.points == 0 ? "\"not flown\"" : s.pass ? "\"pass\"" : "\"fail\"") + "}";
    }
    return j + "]}";
}

// Course-structure checks of every CDI Trace in microamperes. Fills the
// plot bands and the JSON entries; returns the exit code of the checks.
int runToleranceChecks(const Options& o, const std::string& scratchDir, const PostNames& names,
                       const Report& report, std::vector<PlotLimits>& bands,
                       std::vector<std::string>& json) {
    const Facility facility = names.ilsType == 1 ? Facility::GlidePath : Facility::Localizer;
    std::vector<size_t> cdiColumns;
    for (size_t c = 1; c < report.columns.size(); ++c) {
        if (report.columns[c].label == "CDI" && report.columns[c].unit == "(uA)") cdiColumns.push_back(c);
    }
    if (cdiColumns.empty()) {
        std::printf("Tolerances:  NOT CHECKED: the report holds no CDI Trace in microamperes.\n");
        return kExitTolerance;
    }
    std::string bytes;
    std::string error;
    std::vector<Position> positions;
    std::vector<double> along;
    std::vector<double> lateral;
    const std::string fieldPath = scratchDir + names.dataName + ".fld";
    if (!readWholeFile(fieldPath, bytes) || !parseFieldPositions(bytes, positions, error)) {
        std::printf("Tolerances:  the point positions cannot be read from %s\n", fieldPath.c_str());
        return kExitPostFailed;
    }
    if (positions.size() != report.rows.size()) {
        std::printf("Tolerances:  %s holds %zu points but the report %zu.\n", fieldPath.c_str(),
                    positions.size(), report.rows.size());
        return kExitPostFailed;
    }
    RunwayGeometry runway;
    runway.thresholdX = o.thresholdX / 0.3048;
    runway.thresholdY = o.thresholdY / 0.3048;
    runway.hasStopEnd = o.haveStopEnd;
    runway.stopEndX = o.stopX / 0.3048;
    runway.stopEndY = o.stopY / 0.3048;
    if (!alongTrack(runway, positions, along, lateral, error)) {
        std::printf("Tolerances:  %s\n", error.c_str());
        return kExitUsage;
    }
    ApproachPoints points;
    points.pointC = pointCFromFlight(along, positions);
    if (o.haveStopEnd) {
        points.hasStopEnd = true;
        points.pointE = std::hypot(o.stopX - o.thresholdX, o.stopY - o.thresholdY) - 600.0;
    } else if (o.category == 3 && facility == Facility::Localizer) {
        std::printf("Tolerances:  without --stop-end the segment D to E is not checked.\n");
    }
    const std::vector<ToleranceSegment> segments = courseStructureSegments(facility, o.category, points);
    double maxLateral = 0.0;
    for (size_t i = 0; i < along.size(); ++i) {
        if (segmentIndex(segments, along[i]) >= 0) maxLateral = std::max(maxLateral, std::fabs(lateral[i]));
    }
    if (maxLateral > 150.0) {
        std::printf("Note: the flight leaves the extended centreline by up to %.0f m; the\n"
                    "course-structure limits are meant for approaches along it.\n",
                    maxLateral);
    }
    int code = kExitOk;
    for (size_t c : cdiColumns) {
        std::vector<double> cdi;
        for (const std::vector<double>& row : report.rows) cdi.push_back(row[c]);
        const ToleranceResult r = evaluateCourseStructure(segments, along, cdi);
        const std::string title = columnTitle(report.columns[c]);
        std::printf("\n%s", toleranceTable(title, facility, o.category, r).c_str());
        if (!r.pass || !r.complete) code = kExitTolerance;
        json.push_back(checkJson(title, facility, o.category, r));
        PlotLimits band;
        band.column = c;
        band.meanCourse = r.meanCourse;
        band.limits = r.limits;
        band.failing = r.failing;
        band.along = along;
        band.marks = approachMarks(facility, o.category, points);
        band.caption = std::string("ICAO Cat ") + categoryName(o.category) +
                       (facility == Facility::Localizer ? " localizer" : " glide path") +
                       " structure limit about the mean course";
        bands.push_back(band);
    }
    std::printf("\n");
    return code;
}

bool selected(const Options& o, const std::string& check) {
    if (o.checks.empty()) return check == "structure";
    return std::find(o.checks.begin(), o.checks.end(), check) != o.checks.end();
}

// What X must be for a check: reference code(s) and distance units.
bool xIs(const PostNames& names, std::initializer_list<int> codes, std::initializer_list<int> units) {
    return std::find(codes.begin(), codes.end(), names.referenceCode) != codes.end() &&
           std::find(units.begin(), units.end(), names.distanceUnitsCode) != units.end();
}

// The width, clearance and glide-path checks of every CDI Trace.
int runIcaoChecks(const Options& o, const PostNames& names, const Report& report, std::vector<PlotLimits>& bands,
                  std::vector<std::string>& json) {
    const bool glidePath = names.ilsType == 1;
    int code = kExitOk;
    struct Want {
        const char* check;
        bool ok;
        const char* need;
    };
    const Want wants[] = {
        {"width", !glidePath && xIs(names, {1}, {0, 1}),
         "a localizer run across the course with X = cross-track offset y (reference code 1) in feet or metres"},
        {"clearance", !glidePath && xIs(names, {12, 21}, {3}),
         "a localizer orbit with X = azimuth (reference code 12 or 21) in degrees (units code 3)"},
        {"path", glidePath && xIs(names, {11}, {3}),
         "a glide-slope level run with X = elevation angle (reference code 11) in degrees (units code 3)"},
    };
    for (const Want& w : wants) {
        if (!selected(o, w.check)) continue;
        if (!w.ok) {
            std::printf("Check %s: NOT CHECKED: it needs %s.\n", w.check, w.need);
            json.push_back(std::string("    {\"check\": \"") + w.check + "\", \"result\": \"not checked\"}");
            code = kExitTolerance;
            continue;
        }
        size_t checked = 0;
        for (size_t c = 1; c < report.columns.size(); ++c) {
            if (report.columns[c].label != "CDI") continue;
            const int outputType = c - 1 < names.traces.size() ? names.traces[c - 1].outputType : -1;
            std::vector<double> x, values, ddm;
            for (const std::vector<double>& row : report.rows) {
                x.push_back(row[0]);
                values.push_back(row[c]);
            }
            std::string reason;
            const std::string title = columnTitle(report.columns[c]);
            if (c - 1 < names.traces.size() && names.traces[c - 1].flightCorrections != 0) {
                // A corrected Trace shows the error, not the signal the check measures.
                std::printf("Check %s: %s: not checked: it has flight corrections.\n", w.check, title.c_str());
                continue;
            }
            if (!traceAsDdm(report.columns[c], outputType, glidePath, values, ddm, reason)) {
                std::printf("Check %s: %s: not checked: %s.\n", w.check, title.c_str(), reason.c_str());
                continue;
            }
            ++checked;
            const double toTrace = values.empty() || ddm.empty() ? 1.0 : [&] {
                for (size_t i = 0; i < ddm.size(); ++i) {
                    if (ddm[i] != 0.0) return values[i] / ddm[i];
                }
                return 1.0;
            }();
            PlotLimits band;
            band.column = c;
            band.drawMean = false;
            IcaoCheck r;
            if (std::string(w.check) == "width") {
                const double toMetres = names.distanceUnitsCode == 0 ? 0.3048 : 1.0;
                std::vector<double> metres;
                for (double v : x) metres.push_back(v * toMetres);
                const double centre = o.haveThreshold ? o.thresholdY : 0.0;
                r = courseWidthCheck(metres, ddm, centre, o.category);
                // Lines of the least and the greatest allowed sensitivity through
                // the measured course line, inside the half course sector.
                const Measure& align = r.measures.back();
                const double zero = align.found ? align.value + centre : centre;
                const double tol = o.category == 3 ? 0.10 : 0.17;
                for (double m : metres) {
                    const double lo = 0.00145 * (1 - tol) * (m - zero);
                    const double hi = 0.00145 * (1 + tol) * (m - zero);
                    const bool inside = std::fabs(hi) <= 0.155;
                    band.lower.push_back(inside ? std::min(lo, hi) * toTrace : NAN);
                    band.upper.push_back(inside ? std::max(lo, hi) * toTrace : NAN);
                }
                band.xMarks.push_back({"centreline", centre / toMetres});
                band.caption = "ICAO sensitivity range through the course line";
            } else if (std::string(w.check) == "clearance") {
                std::vector<double> need;
                r = clearanceCheck(x, ddm, need, band.failing);
                for (double n : need) {
                    band.lower.push_back(-n * std::fabs(toTrace));
                    band.upper.push_back(n * std::fabs(toTrace));
                }
                band.caption = "ICAO least clearance |DDM| (0.180, 0.155)";
            } else {
                r = glidePathAngleCheck(x, ddm, o.pathAngle, o.category);
                band.lower.assign(x.size(), -0.0875 * std::fabs(toTrace));
                band.upper.assign(x.size(), 0.0875 * std::fabs(toTrace));
                const double tol = o.category == 3 ? 0.04 : 0.075;
                band.xMarks.push_back({"min angle", o.pathAngle * (1 - tol)});
                band.xMarks.push_back({"max angle", o.pathAngle * (1 + tol)});
                band.caption = "0.0875 DDM (half-sector points)";
            }
            std::printf("\n%s", icaoTable(r, title).c_str());
            json.push_back(icaoJson(r, title));
            if (!r.pass) code = kExitTolerance;
            bands.push_back(band);
        }
        if (checked == 0) {
            std::printf("Check %s: NOT CHECKED: no CDI Trace in microamperes or DDM.\n", w.check);
            code = kExitTolerance;
        }
    }
    return code;
}

// Report, CSV, tolerance checks and plots after a successful ILSPost.
int processReport(const Options& o, const std::string& scratchDir, const PostNames& names, StepLog& log) {
    std::vector<std::string> pending;
    if (o.csv) pending.push_back("CSV");
    if (o.category != 0) pending.push_back("tolerance checks");
    if (o.plot) pending.push_back("plots");
    const std::string reportPath = reportPathFor(names, scratchDir);
    std::string text;
    Report report;
    std::string error;
    if (!readWholeFile(reportPath, text) || !parseReport(text, report, error)) {
        std::printf("The report %s cannot be read%s%s.\n", reportPath.c_str(), error.empty() ? "" : ": ",
                    error.c_str());
        log.skipRest(pending);
        return kExitPostFailed;
    }
    std::printf("Report:      %s  (%zu points, %zu traces)\n", reportPath.c_str(), report.rows.size(),
                report.columns.size() - 1);
    const std::string base = reportBase(reportPath);
    int exitCode = kExitOk;
    auto interrupted = [&](size_t from) {
        if (!interruptRequested()) return false;
        log.skipRest(std::vector<std::string>(pending.begin() + static_cast<long>(from), pending.end()));
        return true;
    };
    size_t step = 0;
    if (o.csv) {
        if (interrupted(step)) return kExitInterrupted;
        const std::string csvPath = base + ".csv";
        if (writeWholeFile(csvPath, reportCsv(report), &error)) {
            std::printf("CSV:         %s\n", csvPath.c_str());
            log.done.push_back("CSV");
        } else {
            std::printf("ERROR! The CSV file was not written: %s\n", error.c_str());
            log.notDone.push_back("CSV (write failed)");
            exitCode = kExitOutput;
        }
        ++step;
    }
    std::vector<PlotLimits> bands;
    if (o.category != 0) {
        if (interrupted(step)) return kExitInterrupted;
        std::vector<std::string> json;
        int code = selected(o, "structure") ? runToleranceChecks(o, scratchDir, names, report, bands, json)
                                            : kExitOk;
        const int more = runIcaoChecks(o, names, report, bands, json);
        if (code == kExitOk) code = more;
        if (code != kExitOk && exitCode == kExitOk) exitCode = code;
        std::string all = "{\"report\": " + jsonString(reportPath) + ", \"checks\": [\n";
        for (size_t i = 0; i < json.size(); ++i) all += json[i] + (i + 1 < json.size() ? ",\n" : "\n");
        all += "]}\n";
        const std::string jsonPath = base + ".checks.json";
        if (writeWholeFile(jsonPath, all, &error)) {
            std::printf("Checks:      %s\n", jsonPath.c_str());
            log.done.push_back(code == kExitOk ? "tolerance checks (pass)" : "tolerance checks (not passed)");
        } else {
            std::printf("ERROR! The check summary was not written: %s\n", error.c_str());
            log.notDone.push_back("tolerance check summary (write failed)");
            if (exitCode == kExitOk) exitCode = kExitOutput;
        }
        ++step;
    }
    if (o.plot) {
        if (interrupted(step)) return kExitInterrupted;
        Report overlay;
        const Report* second = nullptr;
        if (!o.overlay.empty()) {
            std::string overlayText;
            if (!readWholeFile(o.overlay, overlayText) || !parseReport(overlayText, overlay, error)) {
                std::printf("ERROR! The overlay report %s cannot be read%s%s.\n", o.overlay.c_str(),
                            error.empty() ? "" : ": ", error.c_str());
                log.notDone.push_back("plots (overlay unreadable)");
                return exitCode == kExitOk ? kExitOutput : exitCode;
            }
            second = &overlay;
        }
        PlotStyle style;
        style.referenceCode = names.referenceCode;
        style.glidePath = names.ilsType == 1;
        style.traces = names.traces;
        std::string script;
        std::vector<std::string> images;
        if (!writePlotFiles(report, second, bands, style, base, script, images, error)) {
            std::printf("ERROR! The plots were not drawn: %s\n", error.c_str());
            log.notDone.push_back("plots (write failed)");
            if (exitCode == kExitOk) exitCode = kExitOutput;
        } else {
            const std::string gnuplot = findOnPath("gnuplot");
            if (gnuplot.empty()) {
                std::printf("%s", gnuplotInstallHint().c_str());
                std::printf("The plot script is ready: gnuplot %s\n", script.c_str());
                log.notDone.push_back("plot images (no gnuplot)");
            } else if (!runGnuplot(gnuplot, script, error)) {
                std::printf("ERROR! The plots were not drawn: %s\n", error.c_str());
                log.notDone.push_back("plots (gnuplot failed)");
                if (exitCode == kExitOk) exitCode = kExitOutput;
            } else {
                for (const std::string& image : images) std::printf("Plot:        %s\n", image.c_str());
                log.done.push_back("plots");
            }
        }
    }
    // An interrupt during the last step is still an interrupted run.
    if (interruptRequested()) return kExitInterrupted;
    return exitCode;
}

}  // namespace

std::string startResultText(int code) {
#define ILSHOST_ROW(c, name, text) \
    case c:                        \
        return text;
    switch (code) { ILSCALC_START_RESULTS(ILSHOST_ROW) }
    return "a code this host does not know (" + std::to_string(code) + ")";
}

std::string postResultText(int code) {
    switch (code) { ILSPOST_RESULTS(ILSHOST_ROW) }
#undef ILSHOST_ROW
    return "a code this host does not know (" + std::to_string(code) + ")";
}

void showMessages(const std::string& logPath, const char* what) {
    std::string text;
    if (!readWholeFile(logPath, text)) {
        std::printf("%s: %s cannot be read\n", what, logPath.c_str());
        return;
    }
    const std::vector<std::string> lines = logMessages(text);
    if (lines.empty()) {
        std::printf("%s: no errors or warnings (%s)\n", what, logPath.c_str());
        return;
    }
    std::printf("%s: %s\n", what, logPath.c_str());
    for (const std::string& l : lines) std::printf("  %s\n", l.c_str());
}

int removeStaleOutputs(const std::string& reportPath) {
    const fs::path base(reportBase(reportPath));
    const std::string stem = base.filename().string();
    std::error_code ec;
    int removed = 0;
    const fs::path dir = base.has_parent_path() ? base.parent_path() : fs::path(".");
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        const bool mine = name == stem + ".PTS" || name == stem + ".csv" || name == stem + ".plot.dat" ||
                          name == stem + ".plot.gp" || name == stem + ".checks.json" ||
                          (name.rfind(stem + "_Y", 0) == 0 &&
                           (name.size() > 4 && (name.substr(name.size() - 4) == ".png" ||
                                                name.substr(name.size() - 4) == ".svg")));
        std::error_code rec;
        if (mine && e.is_regular_file(rec) && fs::remove(e.path(), rec)) ++removed;
    }
    return removed;
}

int postProcess(const Options& o, const std::string& scratchDir, const PostNames& names, StepLog& log) {
    std::vector<std::string> after{"post-processing"};
    if (o.csv) after.push_back("CSV");
    if (o.category != 0) after.push_back("tolerance checks");
    if (o.plot) after.push_back("plots");
    if (interruptRequested()) {
        log.skipRest(after);
        return kExitInterrupted;
    }
    // Post-processing leaves its debug tables in the current directory and
    // takes a relative report prefix from it: both belong in scratch.
    if (!changeDirectory(scratchDir)) {
        std::printf("Cannot enter the scratch directory %s.\n", scratchDir.c_str());
        log.skipRest(after);
        return kExitPostFailed;
    }
    const std::string reportPath = reportPathFor(names, scratchDir);
    const int stale = removeStaleOutputs(reportPath);
    if (stale > 0) std::printf("Removed %d output file(s) of an earlier post-processing of this report.\n", stale);
    std::printf("Post-processing %s%s.fld\n", scratchDir.c_str(), names.dataName.c_str());
    std::fflush(stdout);
    const int32_t rc = ILSPost(scratchDir.c_str());
    showMessages(scratchDir + "ILSPOST.LOG", "Post log");
    if (rc != ILSPOST_OK) {
        std::printf("Post-processing failed (code %d: %s).\n", rc, postResultText(rc).c_str());
        log.skipRest(after);
        return kExitPostFailed;
    }
    log.done.push_back("post-processing");
    if (interruptRequested()) {
        after.erase(after.begin());
        log.skipRest(after);
        return kExitInterrupted;
    }
    return processReport(o, scratchDir, names, log);
}

void printSummary(const StepLog& log, bool interrupted) {
    if (interrupted) {
        std::printf(log.notDone.empty() ? "Interrupted during the last step; every step had completed.\n"
                                        : "Interrupted: the steps after the interrupt were skipped.\n");
    }
    auto join = [](const std::vector<std::string>& v) {
        std::string s;
        for (size_t i = 0; i < v.size(); ++i) s += (i ? ", " : "") + v[i];
        return s;
    };
    if (!log.done.empty()) std::printf("Completed:   %s\n", join(log.done).c_str());
    if (!log.notDone.empty()) std::printf("Not done:    %s\n", join(log.notDone).c_str());
}

}  // namespace ilshost
