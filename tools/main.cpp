// ilscalc: the command-line host of the ILS signal-in-space library. It runs a
// project's command file with a live progress display, turns Ctrl-C into a
// stop request, shows the run's errors and warnings, post-processes the
// FieldFile, and exports, plots and checks the report.
#include <algorithm>
#include <chrono>
#include <cstdint>
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
#include "check.h"
#include "host_steps.h"
#include "study_main.h"

namespace fs = std::filesystem;
using namespace ilshost;

namespace {

const char* const kUsage =
    "Usage:\n"
    "  ilscalc run PROJECT_DIR RUN_NAME [options]\n"
    "  ilscalc check PROJECT_DIR RUN_NAME [--scratch DIR] [--no-post]\n"
    "  ilscalc post SCRATCH_DIR [RUN_NAME [--project DIR]] [options]\n"
    "  ilscalc study run|submit|status|gather|show STUDY_FILE ...  (ilscalc study --help)\n"
    "  ilscalc --help | --version\n"
    "\n"
    "run    checks, then calculates PROJECT_DIR/RUN_NAME.dat. The message log\n"
    "       RUN_NAME.out and the field file RUN_NAME.fld go to SCRATCH_BASE/scratch/.\n"
    "       When the project holds RUN_NAME.post (the post-processing parameter\n"
    "       file), it is copied to scratch/ILSPOST.TMP after a finished calculation\n"
    "       and post-processing runs. Ctrl-C asks the run to stop after its current\n"
    "       command and skips the steps after it; a second Ctrl-C ends the program.\n"
    "check  reads the command file, the files it names and RUN_NAME.post as a run\n"
    "       reads them, without computing; shows every error and suspicious line\n"
    "       with file and line number, then the station, arrays, points,\n"
    "       scatterers, output sizes and an estimate of the run time.\n"
    "post   post-processes SCRATCH_DIR again. With RUN_NAME it first copies\n"
    "       RUN_NAME.post from the project (--project DIR, default the directory\n"
    "       above SCRATCH_DIR) to ILSPOST.TMP, so an edited parameter file is used;\n"
    "       without it the ILSPOST.TMP already there is used.\n"
    "\n"
    "Options:\n"
    "  --scratch DIR        scratch base directory (default: PROJECT_DIR); the run's\n"
    "                       files go to DIR/scratch/ (only that last level is created)\n"
    "  --no-post            do not post-process, even when RUN_NAME.post exists\n"
    "  --csv                write the report's columns to REPORT.csv next to the report\n"
    "  --plot               draw every Trace against X with gnuplot into\n"
    "                       REPORT_Yn.png and REPORT_Yn.svg next to the report\n"
    "  --overlay REPORT     draw the Traces of another report (a .PTS file, e.g. the\n"
    "                       same flight without a building) on the same plots\n"
    "  --category I|II|III  check the CDI Traces against the ICAO limits of that\n"
    "                       facility category (see --checks); tables on the screen,\n"
    "                       limits on the plots, results in REPORT.checks.json\n"
    "  --checks LIST        which checks --category runs, comma-separated (default\n"
    "                       structure): structure (course structure along an\n"
    "                       approach, needs --threshold), width (localizer\n"
    "                       displacement sensitivity and alignment, run across the\n"
    "                       course, X = y), clearance\n"
    "                       (localizer off-course clearance, orbit, X = azimuth in\n"
    "                       degrees), path (glide-path angle and half sectors, level\n"
    "                       run, X = elevation in degrees)\n"
    "  --path-angle DEG     nominal glide-path angle for the path check (default 3)\n"
    "  --threshold X,Y      runway threshold in metres, in the run's x-y frame (for\n"
    "                       width its y is the centreline, else y = 0)\n"
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
    "  0  every requested step succeeded (check: no errors)\n"
    "  1  wrong command line\n"
    "  2  the run was not started (missing files, errors found by the check,\n"
    "     too little free space on the scratch disk)\n"
    "  3  the run failed; its ERROR lines are shown (check: errors in the command\n"
    "     file or the files it names)\n"
    "  4  interrupted (Ctrl-C, SIGTERM); the summary says what was completed\n"
    "  5  post-processing failed, or its parameter file or report is unusable\n"
    "  6  a tolerance check failed, or did not check every segment\n"
    "  7  an output file (CSV, plot data, check summary) could not be written or drawn\n";

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
        } else if (a == "--project") {
            if (!value(o.project) || o.project.empty()) return usageError("--project needs a directory");
        } else if (a == "--overlay") {
            if (!value(o.overlay) || o.overlay.empty()) return usageError("--overlay needs a report (.PTS)");
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
        } else if (a == "--checks") {
            if (!value(v) || v.empty()) return usageError("--checks needs a list such as structure,width");
            o.checks.clear();
            size_t start = 0;
            while (start <= v.size()) {
                size_t end = v.find(',', start);
                if (end == std::string::npos) end = v.size();
                const std::string c = v.substr(start, end - start);
                if (c != "structure" && c != "width" && c != "clearance" && c != "path") {
                    return usageError("--checks takes structure, width, clearance and path, not " + c);
                }
                o.checks.push_back(c);
                start = end + 1;
            }
        } else if (a == "--path-angle") {
            char* end = nullptr;
            if (!value(v)) return usageError("--path-angle needs degrees");
            o.pathAngle = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !(o.pathAngle > 0.0 && o.pathAngle < 10.0)) {
                return usageError("--path-angle needs an angle in degrees between 0 and 10");
            }
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
    auto takeRunName = [&](const std::string& name) {
        o.runName = name;
        if (o.runName.find('/') != std::string::npos || o.runName.find('\\') != std::string::npos) return false;
        for (const char* ext : {".dat", ".post"}) {
            const size_t n = std::strlen(ext);
            if (o.runName.size() > n && o.runName.substr(o.runName.size() - n) == ext) o.runName.resize(o.runName.size() - n);
        }
        return true;
    };
    const bool reportSteps = o.csv || o.plot || o.category != 0 || !o.overlay.empty();
    if (o.command == "run" || o.command == "check") {
        if (positional.size() != 2) return usageError(o.command + " needs PROJECT_DIR and RUN_NAME");
        if (!o.project.empty()) return usageError("--project belongs to post");
        o.project = positional[0];
        if (!takeRunName(positional[1])) {
            return usageError("RUN_NAME is a name without directory; the directory is PROJECT_DIR");
        }
        if (o.command == "check" && reportSteps) return usageError("check takes no report options");
    } else {
        if (positional.empty() || positional.size() > 2) return usageError("post needs SCRATCH_DIR [RUN_NAME]");
        if (!o.scratchBase.empty() || o.noPost) return usageError("--scratch and --no-post belong to run");
        o.scratchDir = positional[0];
        if (positional.size() == 2 && !takeRunName(positional[1])) {
            return usageError("RUN_NAME is a name without directory; give the project with --project");
        }
        if (positional.size() == 1 && !o.project.empty()) return usageError("--project needs RUN_NAME");
    }
    if (!o.overlay.empty() && !o.plot) return usageError("--overlay belongs to --plot");
    const bool structure =
        o.checks.empty() || std::find(o.checks.begin(), o.checks.end(), "structure") != o.checks.end();
    if (o.category != 0 && structure && !o.haveThreshold) {
        return usageError("--category needs --threshold X,Y for the course-structure check");
    }
    if (o.category == 0 && (o.haveThreshold || o.haveStopEnd || !o.checks.empty())) {
        return usageError("--threshold, --stop-end and --checks belong to --category");
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
// The last line shows where the run stood when it ended.
int32_t followRun() {
    const bool terminal = stdoutIsTerminal();
    const auto start = std::chrono::steady_clock::now();
    int lastShown = -1;
    double lastLineTime = -100.0, lastDrawTime = -100.0;
    bool stopSent = false;
    int32_t percent = 0;
    int32_t state = ILSCALC_RUNNING;
    int32_t lastRunning = 0;
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
        lastRunning = percent;
        if (terminal && elapsed - lastDrawTime >= 0.1) {
            lastDrawTime = elapsed;
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
        // The end of a run is seen within one poll: short polls while a run
        // may still be short (a whole run can take a tenth of a second), then
        // longer ones, whose cost stays below a thousandth of a core.
        std::this_thread::sleep_for(std::chrono::milliseconds(elapsed < 2.0 ? 2 : elapsed < 20.0 ? 10 : 50));
    }
    const double total =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (terminal) std::printf("\r\033[K");
    if (state == ILSCALC_FINISHED) {
        std::printf("progress %3d%%  elapsed %s\n", percent, clock(total).c_str());
    } else {
        // The library reports 100 once a run has ended; where it stood is the
        // last percentage seen while it ran.
        std::printf("progress %3d%%  elapsed %s  (%s at this point)\n", lastRunning, clock(total).c_str(),
                    state == ILSCALC_INTERRUPTED ? "stopped" : "failed");
    }
    std::fflush(stdout);
    return state;
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

// A snapshot of a file, to tell whether a call wrote it.
struct FileStamp {
    bool exists = false;
    std::uintmax_t size = 0;
    fs::file_time_type time{};
    bool operator==(const FileStamp&) const = default;
};
FileStamp stampOf(const std::string& path) {
    FileStamp s;
    std::error_code ec;
    s.exists = fs::is_regular_file(path, ec);
    if (s.exists) {
        s.size = fs::file_size(path, ec);
        s.time = fs::last_write_time(path, ec);
    }
    return s;
}

struct ProjectPaths {
    std::string project;      // absolute, ends in '/'
    std::string scratchBase;  // absolute, ends in '/'
    std::string scratchDir;   // scratchBase + "scratch/"
    std::string postPath;     // empty when there is none or --no-post
};

int projectPaths(const Options& o, ProjectPaths& p) {
    p.project = absoluteDir(o.project);
    std::error_code ec;
    if (!fs::is_directory(p.project, ec)) {
        std::printf("The project directory %s does not exist.\n", p.project.c_str());
        return kExitNotStarted;
    }
    const std::string commandPath = p.project + o.runName + ".dat";
    if (!fs::is_regular_file(commandPath, ec)) {
        std::printf("The command file %s does not exist.\n", commandPath.c_str());
        return kExitNotStarted;
    }
    p.scratchBase = absoluteDir(o.scratchBase.empty() ? o.project : o.scratchBase);
    p.scratchDir = p.scratchBase + "scratch/";
    const std::string post = p.project + o.runName + ".post";
    if (!o.noPost && fs::is_regular_file(post, ec)) p.postPath = post;
    return -1;
}

// Runs the check and prints its findings and summary; returns the check's
// exit code (0 clean, 3 command-file errors, 5 parameter-file errors).
int runCheck(const Options& o, const ProjectPaths& p, CheckSummary& s) {
    std::string text;
    s = checkProject(p.project, o.runName, p.postPath, p.scratchDir, true, text);
    std::printf("Check of %s%s.dat%s%s\n", p.project.c_str(), o.runName.c_str(),
                p.postPath.empty() ? "" : " and ", p.postPath.c_str());
    if (!text.empty()) std::printf("%s", text.c_str());
    std::printf("%s", summaryText(s).c_str());
    std::printf("  findings:    %d error(s), %d warning(s)\n", s.errors, s.warnings);
    if (s.pointCount > 1000000) {
        std::printf("WARNING! %lld points: the run and its files are large; a coarser flight may do.\n",
                    static_cast<long long>(s.pointCount));
    }
    std::fflush(stdout);
    if (!s.commandFileOk) return kExitRunFailed;
    if (!s.postFileOk) return kExitPostFailed;
    return kExitOk;
}

int checkCommand(const Options& o) {
    ProjectPaths p;
    const int bad = projectPaths(o, p);
    if (bad >= 0) return bad;
    if (!changeDirectory(p.project)) {
        std::printf("Cannot enter the project directory %s.\n", p.project.c_str());
        return kExitNotStarted;
    }
    CheckSummary s;
    return runCheck(o, p, s);
}

int runCommand(const Options& o) {
    ProjectPaths p;
    const int bad = projectPaths(o, p);
    if (bad >= 0) return bad;
    StepLog steps;
    std::vector<std::string> plan{"calculation"};
    if (!p.postPath.empty()) plan.push_back("post-processing");
    if (o.csv) plan.push_back("CSV");
    if (o.category != 0) plan.push_back("tolerance checks");
    if (o.plot) plan.push_back("plots");
    if (o.category != 0 && p.postPath.empty()) {
        std::printf("Tolerance checks need the post-processing report: %s%s.post is missing or --no-post "
                    "was given.\n", p.project.c_str(), o.runName.c_str());
        return kExitUsage;
    }
    // Files named inside the command file (user flight profiles, motion files)
    // are read relative to the project, as its author wrote them.
    if (!changeDirectory(p.project)) {
        std::printf("Cannot enter the project directory %s.\n", p.project.c_str());
        return kExitNotStarted;
    }
    installInterruptHandler();
    std::printf("ilscalc %s: run %s of %s\n", ILSCALC_VERSION_STRING, o.runName.c_str(), p.project.c_str());
    CheckSummary check;
    const int checked = runCheck(o, p, check);
    if (checked != kExitOk) {
        std::printf("The check found errors: the calculation was not started.\n");
        return checked == kExitPostFailed ? kExitPostFailed : kExitNotStarted;
    }
    PostNames names;
    std::string postText;
    if (!p.postPath.empty() && !readPostNames(p.postPath, names, postText)) return kExitPostFailed;
    if (!p.postPath.empty() && names.dataName != o.runName) {
        std::printf("Note: %s reads the field file %s.fld, not %s.fld.\n", p.postPath.c_str(),
                    names.dataName.c_str(), o.runName.c_str());
    }
    // The library creates only the last level of the scratch directory.
    std::error_code ec;
    if (!fs::is_directory(p.scratchBase, ec)) {
        std::printf("The scratch base %s does not exist (only its scratch/ folder is created).\n",
                    p.scratchBase.c_str());
        return kExitNotStarted;
    }
    fs::create_directory(p.scratchDir, ec);
    if (fs::is_directory(p.scratchDir, ec)) {
        const std::int64_t need = check.fieldFileBytes + check.messageLogBytes + check.debugTableBytes;
        const fs::space_info space = fs::space(p.scratchDir, ec);
        if (!ec && static_cast<std::int64_t>(space.available) < need) {
            std::printf("The scratch disk has %s free but the run needs about %s: not started.\n",
                        sizeText(static_cast<std::int64_t>(space.available)).c_str(), sizeText(need).c_str());
            return kExitNotStarted;
        }
    }
    if (interruptRequested()) {
        steps.skipRest(plan);
        printSummary(steps, true);
        return kExitInterrupted;
    }
    const std::string logPath = p.scratchDir + o.runName + ".out";
    const FileStamp before = stampOf(logPath);
    std::fflush(stdout);
    const int32_t started = ILSCalc_Start(o.runName.c_str(), p.project.c_str(), p.scratchBase.c_str(), 0);
    if (started != ILSCALC_START_OK) {
        std::printf("The run could not be started (code %d: %s).\n", started, startResultText(started).c_str());
        // Only a log this start wrote belongs to it; an older one tells of another run.
        if (!(stampOf(logPath) == before)) showMessages(logPath, "Message log");
        return kExitNotStarted;
    }
    const int32_t state = followRun();
    showMessages(logPath, "Message log");
    std::printf("Field file:  %s%s.fld\n", p.scratchDir.c_str(), o.runName.c_str());
    plan.erase(plan.begin());
    if (state == ILSCALC_INTERRUPTED) {
        std::printf("Run interrupted: stopped on request before its end.\n");
        steps.notDone.push_back("calculation (stopped)");
        steps.skipRest(plan);
        printSummary(steps);
        return kExitInterrupted;
    }
    if (state != ILSCALC_FINISHED) {
        std::printf("Run failed: see the ERROR lines above.\n");
        steps.notDone.push_back("calculation (failed)");
        steps.skipRest(plan);
        printSummary(steps);
        return kExitRunFailed;
    }
    std::printf("Run finished.\n");
    steps.done.push_back("calculation");
    int code = kExitOk;
    if (p.postPath.empty()) {
        if (!o.noPost) std::printf("No post-processing: the project holds no %s.post.\n", o.runName.c_str());
        if (o.csv || o.plot) std::printf("--csv and --plot need the post-processing report.\n");
    } else if (interruptRequested()) {
        steps.skipRest(plan);
        code = kExitInterrupted;
    } else {
        std::string error;
        if (!writeWholeFile(p.scratchDir + "ILSPOST.TMP", postText, &error)) {
            std::printf("ERROR! Post-processing was not started: %s\n", error.c_str());
            steps.skipRest(plan);
            code = kExitPostFailed;
        } else {
            code = postProcess(o, p.scratchDir, names, steps);
        }
    }
    printSummary(steps, code == kExitInterrupted);
    return code;
}

int postCommand(const Options& o) {
    const std::string scratchDir = absoluteDir(o.scratchDir);
    std::error_code ec;
    if (!fs::is_directory(scratchDir, ec)) {
        std::printf("The scratch directory %s does not exist.\n", scratchDir.c_str());
        return kExitPostFailed;
    }
    installInterruptHandler();
    PostNames names;
    std::string text;
    const std::string tmpPath = scratchDir + "ILSPOST.TMP";
    if (!o.runName.empty()) {
        // The parameter file of the project, again: an edit since the run counts.
        const std::string project =
            o.project.empty() ? absoluteDir((fs::path(scratchDir).parent_path().parent_path()).string())
                              : absoluteDir(o.project);
        const std::string postPath = project + o.runName + ".post";
        if (!readPostNames(postPath, names, text)) return kExitPostFailed;
        std::string error;
        if (!writeWholeFile(tmpPath, text, &error)) {
            std::printf("ERROR! %s\n", error.c_str());
            return kExitPostFailed;
        }
        std::printf("Copied %s to %s\n", postPath.c_str(), tmpPath.c_str());
    } else {
        if (!readPostNames(tmpPath, names, text)) return kExitPostFailed;
        std::printf("Post-processing run %s with the parameter file already in %s (give RUN_NAME to copy "
                    "the project's %s.post again)\n", names.dataName.c_str(), tmpPath.c_str(),
                    names.dataName.c_str());
    }
    StepLog steps;
    const int code = postProcess(o, scratchDir, names, steps);
    printSummary(steps, code == kExitInterrupted);
    return code;
}

// The subcommands; a new one needs a function and one line here.
struct Subcommand {
    const char* name;
    int (*run)(const Options&);
};
const Subcommand kSubcommands[] = {
    {"run", runCommand},
    {"check", checkCommand},
    {"post", postCommand},
};

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
    if (first == "study") return studyMain(argc, argv);
    const Subcommand* sub = nullptr;
    for (const Subcommand& s : kSubcommands) {
        if (first == s.name) sub = &s;
    }
    if (sub == nullptr) return usageError("unknown command " + first);
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("%s", kUsage);
            return kExitOk;
        }
    }
    Options o;
    o.command = first;
    const int bad = parseOptions(argc, argv, o);
    if (bad >= 0) return bad;
    return sub->run(o);
}
