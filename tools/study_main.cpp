#include "study_main.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "plot.h"
#include "study_engine.h"
#include "study_file.h"
#include "study_results.h"
#include "study_runner.h"
#include "study_tasks.h"

namespace fs = std::filesystem;

namespace ilshost {

namespace {

using namespace study;

const char* const kStudyUsage =
    "Usage:\n"
    "  ilscalc study check  STUDY              validate the study file, count its tasks\n"
    "  ilscalc study run    STUDY [--jobs N]   run every unfinished task here, then gather\n"
    "  ilscalc study submit STUDY [--partition P] [--tasks-per-job K] [--dry-run]\n"
    "                                          run the tasks as a Slurm job array\n"
    "  ilscalc study status STUDY              count done, failed and missing tasks\n"
    "  ilscalc study gather STUDY              build the results of a finished study\n"
    "  ilscalc study show   STUDY TASK [--into DIR]\n"
    "                                          write one task's project (TASK: its number\n"
    "                                          or X,Y,HEADING) to run it alone\n"
    "\n"
    "STUDY is a study file (TOML, described in docs/study.md). Results go to the folder\n"
    "named like the study file without its extension, next to it (or the file's\n"
    "`output`): results.csv, map_max.png/.svg and one map per heading, boundary.csv\n"
    "(and boundary.geojson with a geographic reference), summary.txt.\n"
    "`run` uses one worker process per core (--jobs N to choose); a run that is\n"
    "interrupted (Ctrl-C, a crash, a power cut) goes on where it stopped when the\n"
    "same command is given again.\n"
    "\n"
    "Exit codes: 0 done; 1 wrong command line or invalid study file; 2 a job could\n"
    "not be submitted; 3 the base run or some tasks failed (their rows say why);\n"
    "4 tasks are unfinished (interrupted);\n"
    "7 a result file or map could not be written or drawn; 8 tasks are missing.\n";

int usage(const std::string& message) {
    std::fprintf(stderr, "ilscalc study: %s\n\n%s", message.c_str(), kStudyUsage);
    return 1;
}

std::string selfPath(const char* argv0) {
    const std::string a = argv0 != nullptr ? argv0 : "ilscalc";
    if (a.find('/') != std::string::npos || a.find('\\') != std::string::npos) {
        std::error_code ec;
        const fs::path p = fs::absolute(a, ec);
        return ec ? a : p.lexically_normal().string();
    }
    const std::string found = findOnPath(a);
    return found.empty() ? a : found;
}

bool positiveInt(const std::string& s, int& out) {
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || v < 0 || v > 1000000) return false;
    out = static_cast<int>(v);
    return true;
}

bool load(const std::string& file, Study& s) {
    std::vector<std::string> errors;
    if (loadStudy(file, s, errors)) return true;
    for (const std::string& e : errors) std::fprintf(stderr, "%s\n", e.c_str());
    std::fprintf(stderr, "The study file has %zu error%s; nothing was computed.\n", errors.size(),
                 errors.size() == 1 ? "" : "s");
    return false;
}

int defaultJobs() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(n);
}

int showTask(const Study& s, const std::string& which, const std::string& into) {
    const std::vector<Task> tasks = taskList(s);
    const Task* task = nullptr;
    int id = -1;
    if (positiveInt(which, id) && id < static_cast<int>(tasks.size())) {
        task = &tasks[static_cast<size_t>(id)];
    } else {
        double x = 0.0, y = 0.0, h = 0.0;
        char extra = 0;
        if (std::sscanf(which.c_str(), "%lf,%lf,%lf%c", &x, &y, &h, &extra) == 3) {
            for (const Task& t : tasks) {
                if (std::fabs(t.x - x) < 1e-6 && std::fabs(t.y - y) < 1e-6 && std::fabs(t.heading - h) < 1e-6) {
                    task = &t;
                }
            }
        }
    }
    if (task == nullptr) {
        return usage("TASK must be a task number from 0 to " + std::to_string(tasks.size() - 1) +
                     " or X,Y,HEADING of a placement of the grid, not " + which);
    }
    const std::string dir = into.empty() ? s.folder + "show/" + taskName(task->id) + "/" : into;
    std::string error;
    if (!writeTaskProject(s, task, dir, error)) {
        std::printf("%s\n", error.c_str());
        return 7;
    }
    std::printf("Task %d: x = %g m, y = %g m, heading %g deg\n", task->id, task->x, task->y, task->heading);
    std::printf("Project written to %s (%s.dat, %s.post%s)\n", dir.c_str(), s.run.c_str(), s.run.c_str(),
                s.object.speed > 0.0 ? ", study-object.mot" : "");
    std::printf("Run it alone:   ilscalc run %s %s --csv\n", dir.c_str(), s.run.c_str());
    std::printf("Base run:       %sscratch/%s.PTS (the CDI without the object)\n", baseFolder(s).c_str(),
                s.run.c_str());
    std::printf("Disturbance = the CDI Traces in microamperes of the report minus those of the base run.\n");
    std::string row;
    if (storedResult(s, studyFingerprint(s), task->id, row)) {
        std::printf("Study row:      %s\n", row.c_str());
    }
    return 0;
}

// The task runner behind both engines.
int work(const Study& s, const std::vector<std::string>& args) {
    std::vector<int> ids;
    unsigned threads = 0;
    int first = -1, count = -1;
    std::string list, log;
    for (size_t i = 0; i < args.size(); ++i) {
        const bool more = i + 1 < args.size();
        int v = 0;
        if (args[i] == "--task-list" && more) list = args[++i];
        else if (args[i] == "--log" && more) log = args[++i];
        else if (args[i] == "--first" && more && positiveInt(args[i + 1], v)) first = v, ++i;
        else if (args[i] == "--count" && more && positiveInt(args[i + 1], v)) count = v, ++i;
        else if (args[i] == "--threads" && more && positiveInt(args[i + 1], v) && v < 256) threads = static_cast<unsigned>(v), ++i;
        else return usage("work: unknown or incomplete option " + args[i]);
    }
    if (!log.empty() && std::freopen(log.c_str(), "w", stdout) == nullptr) return 7;
    if (!list.empty()) {
        std::string text;
        if (!readWholeFile(list, text)) return usage("work: the task list " + list + " cannot be read");
        size_t pos = 0;
        while (pos < text.size()) {
            const size_t end = text.find('\n', pos);
            const std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
            int v = 0;
            if (positiveInt(line, v)) ids.push_back(v);
            if (end == std::string::npos) break;
            pos = end + 1;
        }
    } else if (first >= 0 && count >= 0) {
        for (int k = 0; k < count; ++k) ids.push_back(first + k);
    } else if (count == 0) {
        // The base run alone.
    } else {
        return usage("work needs --task-list FILE or --first N --count K");
    }
    if (ids.empty()) {
        RunValues base;
        std::string error;
        if (!ensureBase(s, studyFingerprint(s), threads, base, error)) {
            std::printf("%s\n", error.c_str());
            return 3;
        }
        return 0;
    }
    return runTasks(s, ids, threads) == 0 ? 0 : 7;
}

}  // namespace

int studyMain(int argc, char** argv) {
    if (argc < 3 || std::string(argv[2]) == "--help" || std::string(argv[2]) == "help") {
        std::printf("%s", kStudyUsage);
        return argc < 3 ? 1 : 0;
    }
    const std::string verb = argv[2];
    std::vector<std::string> args;
    for (int i = 3; i < argc; ++i) {
        if (std::string(argv[i]) == "--help") {
            std::printf("%s", kStudyUsage);
            return 0;
        }
        args.push_back(argv[i]);
    }
    if (args.empty()) return usage(verb + " needs a study file");
    const std::string file = args[0];
    args.erase(args.begin());
    const std::vector<std::string> verbs = {"check", "run", "submit", "status", "gather", "show", "work"};
    if (std::find(verbs.begin(), verbs.end(), verb) == verbs.end()) return usage("unknown study command " + verb);
    // Options first, so that a wrong command line is reported before the file.
    int jobs = defaultJobs();
    SubmitOptions submit;
    std::string showWhich, into;
    if (verb == "run") {
        for (size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--jobs" && i + 1 < args.size() && positiveInt(args[i + 1], jobs) && jobs >= 1) ++i;
            else return usage("run: unknown option or bad value " + args[i] + " (--jobs N, N at least 1)");
        }
    } else if (verb == "submit") {
        for (size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--partition" && i + 1 < args.size()) submit.partition = args[++i];
            else if (args[i] == "--tasks-per-job" && i + 1 < args.size() &&
                     positiveInt(args[i + 1], submit.tasksPerJob) && submit.tasksPerJob >= 1) ++i;
            else if (args[i] == "--dry-run") submit.dryRun = true;
            else return usage("submit: unknown option or bad value " + args[i]);
        }
    } else if (verb == "show") {
        for (size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--into" && i + 1 < args.size()) into = args[++i];
            else if (showWhich.empty()) showWhich = args[i];
            else return usage("show: unexpected " + args[i]);
        }
        if (showWhich.empty()) return usage("show needs TASK (a task number or X,Y,HEADING)");
        if (!into.empty() && into.back() != '/') into.push_back('/');
    } else if (verb != "work" && !args.empty()) {
        return usage(verb + ": unexpected " + args[0]);
    }
    Study s;
    if (!load(file, s)) return 1;
    const std::string self = selfPath(argv[0]);
    if (verb == "check") {
        std::printf("%s is valid: %zu placements (%zu x, %zu y, %zu headings); results in %s\n", file.c_str(),
                    taskList(s).size(), s.xs.size(), s.ys.size(), s.headings.size(), s.folder.c_str());
        return 0;
    }
    if (verb == "run") return runLocal(s, self, jobs);
    if (verb == "submit") return submitSlurm(s, self, submit);
    if (verb == "status") return studyStatus(s);
    if (verb == "gather") {
        const int rc = studyStatus(s);
        if (rc != 0) return rc;
        return gatherResults(s, false) ? 0 : 7;
    }
    if (verb == "show") return showTask(s, showWhich, into);
    return work(s, args);
}

}  // namespace ilshost
