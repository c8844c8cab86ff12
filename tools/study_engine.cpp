#include "study_engine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

#include "host_platform.h"
#include "study_results.h"
#include "study_runner.h"
#include "study_tasks.h"

namespace fs = std::filesystem;

namespace ilshost::study {

namespace {

std::string clockText(double seconds) {
    const long s = static_cast<long>(seconds + 0.5);
    char buf[32];
    if (s >= 3600) std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
    else std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

// Counts the stored results: finished and failed (the row says "error").
struct Counts {
    int done = 0;
    int failed = 0;
    std::vector<int> missing;
};

Counts countResults(const Study& study, const std::string& fingerprint, size_t taskCount) {
    Counts c;
    for (size_t id = 0; id < taskCount; ++id) {
        std::string row;
        if (!storedResult(study, fingerprint, static_cast<int>(id), row)) {
            c.missing.push_back(static_cast<int>(id));
            continue;
        }
        ++c.done;
        const size_t comma = row.find(',', row.find(',', row.find(',', row.find(',') + 1) + 1) + 1);
        if (row.compare(comma + 1, 6, "error,") == 0) ++c.failed;
    }
    return c;
}

}  // namespace

std::string shellQuoted(const std::string& arg) {
    std::string out = "'";
    for (char c : arg) {
        if (c == '\'') out += "'\\''";
        else out.push_back(c);
    }
    return out + "'";
}

int runLocal(const Study& study, const std::string& self, int jobs) {
    const std::vector<Task> tasks = taskList(study);
    const std::string fingerprint = studyFingerprint(study);
    std::error_code ec;
    fs::create_directories(study.folder + "logs", ec);
    fs::create_directories(resultsFolder(study), ec);
    // The base run once, here, before the workers need it.
    RunValues base;
    std::string error;
    std::printf("Study %s: %zu placements, results in %s\n", study.file.c_str(), tasks.size(), study.folder.c_str());
    std::fflush(stdout);
    if (!ensureBase(study, fingerprint, jobs > 1 ? 1u : 0u, base, error)) {
        std::printf("%s\n", error.c_str());
        return 3;
    }
    const Counts before = countResults(study, fingerprint, tasks.size());
    if (before.done > 0 && !before.missing.empty()) {
        std::printf("Resuming: %d tasks already done, %zu to run.\n", before.done, before.missing.size());
    }
    const int pending = static_cast<int>(before.missing.size());
    const int workers = std::max(1, std::min(jobs, pending));
    std::atomic<int> running{0};
    std::atomic<int> abnormal{0};
    installInterruptHandler();
    std::vector<std::thread> pool;
    if (pending > 0) {
        // Worker w takes every workers-th of the unfinished tasks.
        for (int w = 0; w < workers; ++w) {
            std::string list;
            for (size_t k = static_cast<size_t>(w); k < before.missing.size(); k += static_cast<size_t>(workers)) {
                list += std::to_string(before.missing[k]) + "\n";
            }
            const std::string listPath = study.folder + "logs/worker-" + std::to_string(w + 1) + ".tasks";
            writeWholeFile(listPath, list);
            const std::vector<std::string> args = {
                "study", "work", study.file, "--task-list", listPath, "--threads", workers > 1 ? "1" : "0",
                "--log", study.folder + "logs/worker-" + std::to_string(w + 1) + ".log"};
            ++running;
            pool.emplace_back([self, args, &running, &abnormal] {
                const int rc = runProgram(self, args);
                if (rc < 0) ++abnormal;
                --running;
            });
        }
    }
    const bool terminal = stdoutIsTerminal();
    const auto start = std::chrono::steady_clock::now();
    double lastLine = -100.0;
    Counts now = before;
    for (;;) {
        const bool finished = running.load() == 0;
        now = countResults(study, fingerprint, tasks.size());
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const int doneNow = now.done - before.done;
        std::string left = "estimating";
        if (doneNow > 0 && elapsed > 1.0) {
            left = clockText(elapsed * static_cast<double>(pending - doneNow) / doneNow);
        }
        const int total = static_cast<int>(tasks.size());
        const int width = 30;
        const int filled = total > 0 ? now.done * width / total : width;
        char line[256];
        std::snprintf(line, sizeof line, "[%s%s] %d/%d tasks  failed %d  elapsed %s  left %s",
                      std::string(filled, '#').c_str(), std::string(width - filled, '-').c_str(), now.done, total,
                      now.failed, clockText(elapsed).c_str(), finished ? "0:00" : left.c_str());
        if (terminal) {
            std::printf("\r\033[K  %s", line);
            if (finished) std::printf("\n");
            std::fflush(stdout);
        } else if (finished || elapsed - lastLine >= 5.0) {
            std::printf("%s\n", line);
            std::fflush(stdout);
            lastLine = elapsed;
        }
        if (finished) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(terminal ? 250 : 500));
    }
    for (std::thread& t : pool) t.join();
    if (!now.missing.empty()) {
        std::printf("%zu tasks were not finished (%s; worker logs in %slogs/). "
                    "Run the same command again to go on where it stopped.\n",
                    now.missing.size(),
                    interruptRequested() ? "interrupted" : abnormal.load() > 0 ? "a worker was killed" : "a worker stopped",
                    study.folder.c_str());
        return 4;
    }
    if (now.failed > 0) {
        std::printf("%d tasks failed to run; their rows give the first ERROR line, their projects are in %s\n",
                    now.failed, workFolder(study).c_str());
    }
    if (!gatherResults(study, false)) return 7;
    return now.failed > 0 ? 3 : 0;
}

std::string arrayScript(const Study& study, const std::string& self, const SubmitOptions& o, int taskCount,
                        int tasksPerJob) {
    const int jobs = (taskCount + tasksPerJob - 1) / tasksPerJob;
    std::string s = "#!/bin/sh\n";
    s += "#SBATCH --job-name=ilscalc-study\n";
    s += "#SBATCH --array=0-" + std::to_string(jobs - 1) + "\n";
    s += "#SBATCH --ntasks=1\n#SBATCH --cpus-per-task=1\n";
    s += "#SBATCH --output=" + study.folder + "slurm/task-%A_%a.log\n";
    if (!o.partition.empty()) s += "#SBATCH --partition=" + o.partition + "\n";
    s += "# Each array element runs tasks [element * " + std::to_string(tasksPerJob) + ", + " +
         std::to_string(tasksPerJob) + ") of the study; finished tasks are skipped.\n";
    s += "exec " + shellQuoted(self) + " study work " + shellQuoted(study.file) + " --first $((SLURM_ARRAY_TASK_ID * " +
         std::to_string(tasksPerJob) + ")) --count " + std::to_string(tasksPerJob) + " --threads 1\n";
    return s;
}

// Runs an sbatch command line; returns the job id it prints, empty on failure.
static std::string submitJob(const std::string& cmd, const std::string& idFile, const char* what) {
    if (std::system((cmd + " > " + shellQuoted(idFile)).c_str()) != 0) {
        std::printf("sbatch refused %s (%s).\n", what, cmd.c_str());
        return "";
    }
    std::string id;
    readWholeFile(idFile, id);
    id = id.substr(0, id.find_first_of(";\r\n"));
    if (id.empty()) std::printf("sbatch gave no job id for %s.\n", what);
    return id;
}

int submitSlurm(const Study& study, const std::string& self, const SubmitOptions& o) {
    const std::vector<Task> tasks = taskList(study);
    const int count = static_cast<int>(tasks.size());
    int perJob = o.tasksPerJob;
    if (perJob <= 0) perJob = std::max(1, (count + 999) / 1000);
    if ((count + perJob - 1) / perJob > 1000) {
        perJob = (count + 999) / 1000;
        std::printf("Note: %d tasks per array element keep the array within 1000 elements.\n", perJob);
    }
    const std::string dir = study.folder + "slurm/";
    std::error_code ec;
    fs::create_directories(dir, ec);
    fs::create_directories(resultsFolder(study), ec);
    const std::string fingerprint = studyFingerprint(study);
    RunValues base;
    const bool haveBase = loadBase(study, fingerprint, base);
    std::string baseScript = "#!/bin/sh\n#SBATCH --job-name=ilscalc-study-base\n#SBATCH --ntasks=1\n"
                             "#SBATCH --cpus-per-task=1\n#SBATCH --output=" + dir + "base-%j.log\n";
    if (!o.partition.empty()) baseScript += "#SBATCH --partition=" + o.partition + "\n";
    baseScript += "exec " + shellQuoted(self) + " study work " + shellQuoted(study.file) + " --count 0 --threads 1\n";
    const std::string array = arrayScript(study, self, o, count, perJob);
    if (!writeWholeFile(dir + "base.sbatch", baseScript) || !writeWholeFile(dir + "tasks.sbatch", array)) {
        std::printf("Cannot write the job scripts into %s\n", dir.c_str());
        return 7;
    }
    const std::string baseCmd = "sbatch --parsable " + shellQuoted(dir + "base.sbatch");
    const std::string arrayCmd = "sbatch --parsable" + std::string(haveBase ? "" : " --dependency=afterok:BASE_JOB") +
                                 " " + shellQuoted(dir + "tasks.sbatch");
    std::printf("Job scripts: %sbase.sbatch, %stasks.sbatch (%d tasks, %d per array element)\n", dir.c_str(),
                dir.c_str(), count, perJob);
    if (o.dryRun) {
        std::printf("Dry run; would submit:\n");
        if (!haveBase) std::printf("  %s\n", baseCmd.c_str());
        std::printf("  %s\n", arrayCmd.c_str());
        return 0;
    }
    std::string dependency;
    if (!haveBase) {
        const std::string id = submitJob(baseCmd, dir + "base.jobid", "the base job");
        if (id.empty()) return 2;
        dependency = " --dependency=afterok:" + id;
        std::printf("Submitted the base run as job %s.\n", id.c_str());
    }
    const std::string cmd = "sbatch --parsable" + dependency + " " + shellQuoted(dir + "tasks.sbatch");
    const std::string id = submitJob(cmd, dir + "tasks.jobid", "the task array");
    if (id.empty()) return 2;
    std::printf("Submitted the task array as job %s. Follow it with: ilscalc study status %s\n", id.c_str(),
                study.file.c_str());
    return 0;
}

int studyStatus(const Study& study) {
    const std::string fingerprint = studyFingerprint(study);
    const std::vector<Task> tasks = taskList(study);
    RunValues base;
    const bool haveBase = loadBase(study, fingerprint, base);
    const Counts c = countResults(study, fingerprint, tasks.size());
    std::printf("Study %s: %zu tasks: %d done (%d of them failed), %zu missing; base run %s.\n", study.file.c_str(),
                tasks.size(), c.done, c.failed, c.missing.size(), haveBase ? "done" : "missing");
    if (!c.missing.empty()) {
        std::printf("Missing:");
        for (size_t k = 0; k < c.missing.size() && k < 20; ++k) std::printf(" %d", c.missing[k]);
        std::printf("%s\n", c.missing.size() > 20 ? " ..." : "");
        return 8;
    }
    return 0;
}

}  // namespace ilshost::study
