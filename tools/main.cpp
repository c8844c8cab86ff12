// ilscalc: the command-line host of the ILS signal-in-space library. It runs a
// project's command file with a live progress display, turns Ctrl-C into a
// stop request, shows the run's errors and warnings, post-processes the
// FieldFile, and exports, plots and checks the report.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "host_files.h"
#include "host_platform.h"
#include "ilscalc/ilscalc.h"
#include "ilscalc/version.h"
#include "plot.h"
#include "tolerance.h"

namespace fs = std::filesystem;
using namespace ilshost;

namespace {

// Exit codes; keep usageText in step.
enum ExitCode {
    kExitOk = 0,
    kExitUsage = 1,
    kExitNotStarted = 2,
    kExitRunFailed = 3,
    kExitInterrupted = 4,
    kExitPostFailed = 5,
    kExitTolerance = 6,
    kExitOutput = 7,
};

const char* const kUsage =
    "Usage:\n"
    "  ilscalc run PROJECT_DIR RUN_NAME [options]\n"
    "  ilscalc post SCRATCH_DIR [options]\n"
    "  ilscalc --help | --version\n"
    "\n"
    "run   calculates PROJECT_DIR/RUN_NAME.dat. The message log RUN_NAME.out and the\n"
    "      field file RUN_NAME.fld go to SCRATCH_BASE/scratch/. When the project holds\n"
    "      RUN_NAME.post (the post-processing parameter file), it is copied to\n"
    "      scratch/ILSPOST.TMP after a finished calculation and post-processing runs.\n"
    "      Ctrl-C asks the run to stop after its current command; a second Ctrl-C\n"
    "      ends the program at once.\n"
    "post  post-processes SCRATCH_DIR alone, with the ILSPOST.TMP it already holds.\n"
    "\n"
    "Options:\n"
    "  --scratch DIR        scratch base directory (default: PROJECT_DIR); the run's\n"
    "                       files go to DIR/scratch/\n"
    "  --no-post            do not post-process, even when RUN_NAME.post exists\n"
    "  --csv                write the report's columns to REPORT.csv next to the report\n"
    "  --plot               draw every Trace against X with gnuplot into\n"
    "                       REPORT_Yn.png and REPORT_Yn.svg next to the report\n"
    "  --category I|II|III  check every CDI Trace in microamperes against the ICAO\n"
    "                       course-structure limits of that category (needs --threshold)\n"
    "  --threshold X,Y      runway threshold in metres, in the run's x-y frame\n"
    "  --stop-end X,Y       runway stop end in metres; gives the runway direction (else\n"
    "                       the flight's direction) and points D and E for Category III\n"
    "\n"
    "Paths relative to the current directory are accepted. The calculation runs\n"
    "inside PROJECT_DIR, so files named in the command file (user flight profiles,\n"
    "motion files) are relative to the project; post-processing runs inside the\n"
    "scratch directory, so a relative report prefix (line 1 of the parameter\n"
    "file) puts the report there.\n"
    "\n"
    "Exit codes:\n"
    "  0  the calculation finished and every requested step succeeded\n"
    "  1  wrong command line\n"
    "  2  the run could not be started (missing command file, directories)\n"
    "  3  the run failed; its ERROR lines are shown\n"
    "  4  the run was interrupted (Ctrl-C)\n"
    "  5  post-processing failed, or its parameter file or report is unusable\n"
    "  6  a tolerance check failed\n"
    "  7  an output file (CSV, plot data) could not be written or drawn\n";

struct Options {
    std::string command;
    std::string project;
    std::string runName;
    std::string scratchDir;  // for post
    std::string scratchBase;
    bool noPost = false;
    bool plot = false;
    bool csv = false;
    int category = 0;
    bool haveThreshold = false;
    double thresholdX = 0.0, thresholdY = 0.0;
    bool haveStopEnd = false;
    double stopX = 0.0, stopY = 0.0;
};

bool parsePair(const std::string& text, double& x, double& y) {
    const size_t comma = text.find(',');
    if (comma == std::string::npos) return false;
    const std::string a = text.substr(0, comma);
    const std::string b = text.substr(comma + 1);
    char* end = nullptr;
    x = std::strtod(a.c_str(), &end);
    if (a.empty() || *end != '\0' || !std::isfinite(x)) return false;
    y = std::strtod(b.c_str(), &end);
    return !b.empty() && *end == '\0' && std::isfinite(y);
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "ilscalc: %s\n\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

// Returns -1 when the options are fine, else the exit code.
int parseOptions(int argc, char** argv, Options& o) {
    std::vector<std::string> positional;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--scratch") {
            if (!value(o.scratchBase) || o.scratchBase.empty()) return usageError("--scratch needs a directory");
        } else if (a == "--no-post") {
            o.noPost = true;
        } else if (a == "--plot") {
            o.plot = true;
        } else if (a == "--csv") {
            o.csv = true;
        } else if (a == "--category") {
            if (!value(v)) return usageError("--category needs I, II or III");
            if (v == "I" || v == "1") o.category = 1;
            else if (v == "II" || v == "2") o.category = 2;
            else if (v == "III" || v == "3") o.category = 3;
            else return usageError("--category must be I, II or III, not " + v);
        } else if (a == "--threshold") {
            if (!value(v) || !parsePair(v, o.thresholdX, o.thresholdY)) {
                return usageError("--threshold needs X,Y in metres");
            }
            o.haveThreshold = true;
        } else if (a == "--stop-end") {
            if (!value(v) || !parsePair(v, o.stopX, o.stopY)) {
                return usageError("--stop-end needs X,Y in metres");
            }
            o.haveStopEnd = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("unknown option " + a);
        } else {
            positional.push_back(a);
        }
    }
    if (o.command == "run") {
        if (positional.size() != 2) return usageError("run needs PROJECT_DIR and RUN_NAME");
        o.project = positional[0];
        o.runName = positional[1];
        if (o.runName.find('/') != std::string::npos || o.runName.find('\\') != std::string::npos) {
            return usageError("RUN_NAME is a name without directory; the directory is PROJECT_DIR");
        }
        if (o.runName.size() > 4 && o.runName.substr(o.runName.size() - 4) == ".dat") {
            o.runName.resize(o.runName.size() - 4);
        }
    } else {
        if (positional.size() != 1) return usageError("post needs SCRATCH_DIR");
        if (!o.scratchBase.empty() || o.noPost) return usageError("--scratch and --no-post belong to run");
        o.scratchDir = positional[0];
    }
    if (o.category != 0 && !o.haveThreshold) return usageError("--category needs --threshold X,Y");
    if (o.category == 0 && (o.haveThreshold || o.haveStopEnd)) {
        return usageError("--threshold and --stop-end belong to --category");
    }
    return -1;
}

std::string clock(double seconds) {
    const long s = static_cast<long>(seconds + 0.5);
    char buf[32];
    if (s >= 3600) {
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
    } else {
        std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    }
    return buf;
}

std::string timeLeft(int percent, double elapsed) {
    if (percent < 2 || elapsed < 1.0) return "estimating";
    return clock(elapsed * (100 - percent) / percent);
}

// Polls the run until it ends; draws a bar on a terminal, plain lines otherwise.
int32_t followRun() {
    const bool terminal = stdoutIsTerminal();
    const auto start = std::chrono::steady_clock::now();
    int lastShown = -1;
    double lastLineTime = -100.0;
    bool stopSent = false;
    int32_t percent = 0;
    int32_t state = ILSCALC_RUNNING;
    for (;;) {
        state = ILSCalc_GetProgress(&percent);
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (interruptRequested() && !stopSent) {
            stopSent = true;
            ILSCalc_Stop();
            std::printf("%sStop requested: the run ends after its current command "
                        "(Ctrl-C again quits at once).\n",
                        terminal ? "\r\033[K" : "");
            std::fflush(stdout);
        }
        if (state != ILSCALC_RUNNING) break;
        if (terminal) {
            const int width = 30;
            const int filled = percent * width / 100;
            std::printf("\r\033[K  [%s%s] %3d%%  elapsed %s  left %s", std::string(filled, '#').c_str(),
                        std::string(width - filled, '-').c_str(), percent, clock(elapsed).c_str(),
                        timeLeft(percent, elapsed).c_str());
            std::fflush(stdout);
        } else if (percent != lastShown && elapsed - lastLineTime >= 2.0) {
            std::printf("progress %3d%%  elapsed %s  left %s\n", percent, clock(elapsed).c_str(),
                        timeLeft(percent, elapsed).c_str());
            std::fflush(stdout);
            lastShown = percent;
            lastLineTime = elapsed;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const double total =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (terminal) std::printf("\r\033[K");
    std::printf("progress %3d%%  elapsed %s\n", percent, clock(total).c_str());
    std::fflush(stdout);
    return state;
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

std::string withSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir.push_back('/');
    return dir;
}

std::string absoluteDir(const std::string& dir) {
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(dir), ec);
    if (ec) return withSlash(dir);
    return withSlash(p.lexically_normal().string());
}

const char* categoryName(int c) { return c == 1 ? "I" : c == 2 ? "II" : "III"; }

// Report, CSV, tolerance checks and plots after a successful ILSPost.
int processReport(const Options& o, const std::string& scratchDir, const PostNames& names) {
    int exitCode = kExitOk;
    const std::string reportPath = reportPathFor(names, scratchDir);
    std::string text;
    Report report;
    std::string error;
    if (!readWholeFile(reportPath, text)) {
        std::printf("The report %s cannot be read.\n", reportPath.c_str());
        return kExitPostFailed;
    }
    if (!parseReport(text, report, error)) {
        std::printf("The report %s cannot be read: %s\n", reportPath.c_str(), error.c_str());
        return kExitPostFailed;
    }
    std::printf("Report:      %s  (%zu points, %zu traces)\n", reportPath.c_str(), report.rows.size(),
                report.columns.size() - 1);
    std::string base = reportPath;
    if (base.size() > 4 && base.substr(base.size() - 4) == ".PTS") base.resize(base.size() - 4);

    if (o.csv) {
        const std::string csvPath = base + ".csv";
        if (writeWholeFile(csvPath, reportCsv(report))) {
            std::printf("CSV:         %s\n", csvPath.c_str());
        } else {
            std::printf("The CSV file %s cannot be written.\n", csvPath.c_str());
            exitCode = kExitOutput;
        }
    }

    std::vector<PlotLimits> bands;
    if (o.category != 0) {
        const Facility facility = names.ilsType == 1 ? Facility::GlidePath : Facility::Localizer;
        std::vector<size_t> cdiColumns;
        for (size_t c = 1; c < report.columns.size(); ++c) {
            if (report.columns[c].label == "CDI" && report.columns[c].unit == "(uA)") {
                cdiColumns.push_back(c);
            }
        }
        std::string bytes;
        std::vector<Position> positions;
        std::vector<double> along;
        std::vector<double> lateral;
        const std::string fieldPath = scratchDir + names.dataName + ".fld";
        RunwayGeometry runway;
        runway.thresholdX = o.thresholdX / 0.3048;
        runway.thresholdY = o.thresholdY / 0.3048;
        runway.hasStopEnd = o.haveStopEnd;
        runway.stopEndX = o.stopX / 0.3048;
        runway.stopEndY = o.stopY / 0.3048;
        if (cdiColumns.empty()) {
            std::printf("Tolerances:  the report holds no CDI Trace in microamperes; nothing to check.\n");
        } else if (!readWholeFile(fieldPath, bytes) || !parseFieldPositions(bytes, positions, error)) {
            std::printf("Tolerances:  the point positions cannot be read from %s\n", fieldPath.c_str());
            exitCode = kExitPostFailed;
        } else if (positions.size() != report.rows.size()) {
            std::printf("Tolerances:  %s holds %zu points but the report %zu.\n", fieldPath.c_str(),
                        positions.size(), report.rows.size());
            exitCode = kExitPostFailed;
        } else if (!alongTrack(runway, positions, along, lateral, error)) {
            std::printf("Tolerances:  %s\n", error.c_str());
            exitCode = kExitUsage;
        } else {
            ApproachPoints points;
            points.pointC = pointCFromFlight(along, positions);
            if (o.haveStopEnd) {
                points.hasStopEnd = true;
                points.pointE = std::hypot(o.stopX - o.thresholdX, o.stopY - o.thresholdY) - 600.0;
            } else if (o.category == 3 && facility == Facility::Localizer) {
                std::printf("Tolerances:  without --stop-end the segment D to E is not checked.\n");
            }
            const std::vector<ToleranceSegment> segments =
                courseStructureSegments(facility, o.category, points);
            double maxLateral = 0.0;
            for (size_t i = 0; i < along.size(); ++i) {
                if (segmentIndex(segments, along[i]) >= 0) maxLateral = std::max(maxLateral, std::fabs(lateral[i]));
            }
            if (maxLateral > 150.0) {
                std::printf("Note: the flight leaves the extended centreline by up to %.0f m; the\n"
                            "course-structure limits are meant for approaches along it.\n",
                            maxLateral);
            }
            for (size_t c : cdiColumns) {
                std::vector<double> cdi;
                for (const std::vector<double>& row : report.rows) cdi.push_back(row[c]);
                const ToleranceResult r = evaluateCourseStructure(segments, along, cdi);
                std::printf("\n%s", toleranceTable(columnTitle(report.columns[c]), facility, o.category, r).c_str());
                if (!r.pass && exitCode == kExitOk) exitCode = kExitTolerance;
                PlotLimits band;
                band.column = c;
                band.meanCourse = r.meanCourse;
                band.limits = r.limits;
                band.caption = std::string("ICAO Cat ") + categoryName(o.category) +
                               (facility == Facility::Localizer ? " localizer" : " glide path") +
                               " limit about the mean course";
                bands.push_back(band);
            }
            std::printf("\n");
        }
    }

    if (o.plot) {
        std::string script;
        std::vector<std::string> images;
        if (!writePlotFiles(report, bands, base, script, images, error)) {
            std::printf("Plots:       %s\n", error.c_str());
            if (exitCode == kExitOk) exitCode = kExitOutput;
        } else {
            const std::string gnuplot = findOnPath("gnuplot");
            if (gnuplot.empty()) {
                std::printf("%s", gnuplotInstallHint().c_str());
                std::printf("The plot script is ready: gnuplot %s\n", script.c_str());
            } else if (!runGnuplot(gnuplot, script, error)) {
                std::printf("Plots:       %s\n", error.c_str());
                if (exitCode == kExitOk) exitCode = kExitOutput;
            } else {
                for (const std::string& image : images) std::printf("Plot:        %s\n", image.c_str());
            }
        }
    }
    return exitCode;
}

// Calls ILSPost on a scratch directory that holds ILSPOST.TMP.
int postProcess(const Options& o, const std::string& scratchDir, const PostNames& names) {
    // Post-processing leaves its debug tables in the current directory and
    // takes a relative report prefix from it: both belong in scratch.
    if (!changeDirectory(scratchDir)) {
        std::printf("Cannot enter the scratch directory %s.\n", scratchDir.c_str());
        return kExitPostFailed;
    }
    std::printf("Post-processing %s%s.fld\n", scratchDir.c_str(), names.dataName.c_str());
    std::fflush(stdout);
    const int32_t rc = ILSPost(scratchDir.c_str());
    if (rc != 0) {
        static const char* const reasons[] = {"",
                                              "the directory cannot be entered",
                                              "ILSPOST.TMP cannot be opened",
                                              "the parameter file is invalid",
                                              "the field file cannot be read or the receiver failed",
                                              "a path is too long",
                                              "another post-processing call is running"};
        std::printf("Post-processing failed (code %d: %s).\n", rc,
                    rc >= 1 && rc <= 6 ? reasons[rc] : "unknown");
        showMessages(scratchDir + "ILSPOST.LOG", "Post log");
        return kExitPostFailed;
    }
    showMessages(scratchDir + "ILSPOST.LOG", "Post log");
    return processReport(o, scratchDir, names);
}

bool readPostNames(const std::string& path, PostNames& names, std::string& text) {
    std::string error;
    if (!readWholeFile(path, text)) {
        std::printf("The post parameter file %s cannot be read.\n", path.c_str());
        return false;
    }
    if (!parsePostNames(text, names, error)) {
        std::printf("The post parameter file %s is unusable: %s.\n", path.c_str(), error.c_str());
        return false;
    }
    return true;
}

int runCommand(const Options& o) {
    const std::string project = absoluteDir(o.project);
    std::error_code ec;
    if (!fs::is_directory(project, ec)) {
        std::printf("The project directory %s does not exist.\n", project.c_str());
        return kExitNotStarted;
    }
    const std::string commandPath = project + o.runName + ".dat";
    if (!fs::is_regular_file(commandPath, ec)) {
        std::printf("The command file %s does not exist.\n", commandPath.c_str());
        return kExitNotStarted;
    }
    const std::string scratchBase = absoluteDir(o.scratchBase.empty() ? o.project : o.scratchBase);
    const std::string scratchDir = scratchBase + "scratch/";
    fs::create_directories(scratchDir, ec);
    if (!fs::is_directory(scratchDir, ec)) {
        std::printf("The scratch directory %s cannot be created.\n", scratchDir.c_str());
        return kExitNotStarted;
    }
    const std::string postPath = project + o.runName + ".post";
    const bool doPost = !o.noPost && fs::is_regular_file(postPath, ec);
    PostNames names;
    std::string postText;
    if (doPost && !readPostNames(postPath, names, postText)) return kExitPostFailed;
    if (doPost && names.dataName != o.runName) {
        std::printf("Note: %s reads the field file %s.fld, not %s.fld.\n", postPath.c_str(),
                    names.dataName.c_str(), o.runName.c_str());
    }
    if (o.category != 0 && !doPost) {
        std::printf("Tolerance checks need the post-processing report: %s is missing or --no-post "
                    "was given.\n", postPath.c_str());
        return kExitUsage;
    }
    // Files named inside the command file (user flight profiles, motion files)
    // are read relative to the project, as its author wrote them.
    if (!changeDirectory(project)) {
        std::printf("Cannot enter the project directory %s.\n", project.c_str());
        return kExitNotStarted;
    }

    std::printf("ilscalc %s: run %s of %s\n", ILSCALC_VERSION_STRING, o.runName.c_str(), project.c_str());
    std::fflush(stdout);
    installInterruptHandler();
    const int32_t started = ILSCalc_Start(o.runName.c_str(), project.c_str(), scratchBase.c_str(), 0);
    const std::string logPath = scratchDir + o.runName + ".out";
    if (started != 0) {
        static const char* const reasons[] = {"",
                                              "a run is already running",
                                              "the command file cannot be opened",
                                              "the message log or the field file cannot be opened",
                                              "the project directory cannot be entered",
                                              "the scratch directory path is too long",
                                              "the worker thread cannot be started"};
        std::printf("The run could not be started (code %d: %s).\n", started,
                    started >= 1 && started <= 6 ? reasons[started] : "unknown");
        if (fs::is_regular_file(logPath, ec)) showMessages(logPath, "Message log");
        return kExitNotStarted;
    }
    const int32_t state = followRun();
    showMessages(logPath, "Message log");
    std::printf("Field file:  %s%s.fld\n", scratchDir.c_str(), o.runName.c_str());
    if (state == ILSCALC_INTERRUPTED) {
        std::printf("Run interrupted: stopped on request before its end.\n");
        return kExitInterrupted;
    }
    if (state != ILSCALC_FINISHED) {
        std::printf("Run failed: see the ERROR lines above.\n");
        return kExitRunFailed;
    }
    std::printf("Run finished.\n");
    if (!doPost) {
        if (!o.noPost) {
            std::printf("No post-processing: the project holds no %s.post.\n", o.runName.c_str());
        }
        if (o.csv || o.plot) std::printf("--csv and --plot need the post-processing report.\n");
        return kExitOk;
    }
    if (!writeWholeFile(scratchDir + "ILSPOST.TMP", postText)) {
        std::printf("Cannot write %sILSPOST.TMP\n", scratchDir.c_str());
        return kExitPostFailed;
    }
    return postProcess(o, scratchDir, names);
}

int postCommand(const Options& o) {
    const std::string scratchDir = absoluteDir(o.scratchDir);
    std::error_code ec;
    if (!fs::is_directory(scratchDir, ec)) {
        std::printf("The scratch directory %s does not exist.\n", scratchDir.c_str());
        return kExitPostFailed;
    }
    PostNames names;
    std::string text;
    if (!readPostNames(scratchDir + "ILSPOST.TMP", names, text)) return kExitPostFailed;
    return postProcess(o, scratchDir, names);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usageError("no command given");
    const std::string first = argv[1];
    if (first == "--help" || first == "-h" || first == "help") {
        std::printf("ilscalc %s: ILS signal-in-space calculation host\n\n%s", ILSCALC_VERSION_STRING, kUsage);
        return kExitOk;
    }
    if (first == "--version") {
        std::printf("ilscalc %s\n", ILSCALC_VERSION_STRING);
        return kExitOk;
    }
    Options o;
    o.command = first;
    if (o.command != "run" && o.command != "post") return usageError("unknown command " + first);
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("%s", kUsage);
            return kExitOk;
        }
    }
    const int bad = parseOptions(argc, argv, o);
    if (bad >= 0) return bad;
    return o.command == "run" ? runCommand(o) : postCommand(o);
}
