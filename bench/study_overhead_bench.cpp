// Overhead of a study task against its calculation: a typical placement (an
// A380 400 m in front of the two-frequency localizer, 60 m off the axis) on
// the bundled approach LOC2F. Times, per task, the project's writing, the
// calculation alone, the post-processing with reading the report and the
// FieldFile, the evaluation, the result's atomic write with the folder's
// removal, and a worker process's start (spread over the tasks one worker
// runs in the example study: 374 tasks, 2 workers). Prints each part and the overhead as a
// percentage of the calculation.
//   study_overhead_bench [REPETITIONS] [TASKS_PER_WORKER]
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "host_platform.h"
#include "study_file.h"
#include "study_runner.h"
#include "study_tasks.h"

using namespace ilshost::study;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Processor time of the whole process (all its threads), seconds.
double cpuNow() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int perWorker = argc > 2 ? std::max(1, std::atoi(argv[2])) : 187;
    const fs::path dir = fs::absolute("study-overhead-bench");
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string file = (dir / "bench.toml").string();
    {
        std::FILE* f = std::fopen(file.c_str(), "w");
        if (f == nullptr) return 1;
        std::fprintf(f,
                     "[base]\nproject = \"%s/examples/localizer-two-frequency\"\nrun = \"LOC2F\"\n"
                     "[object]\ntype = \"aircraft\"\naircraft = \"A380\"\n"
                     "[grid]\nx = [400.0]\ny = [60.0]\nheadings = [0.0]\n"
                     "[check]\ncategory = \"III\"\nthreshold = [3300.0, 0.0]\nstop_end = [300.0, 0.0]\n"
                     "[check.allowed]\ndefault = { fraction = 0.5 }\n",
                     ILSCALC_SOURCE_DIR);
        std::fclose(f);
    }
    Study study;
    std::vector<std::string> errors;
    if (!loadStudy(file, study, errors)) {
        for (const std::string& e : errors) std::printf("%s\n", e.c_str());
        return 1;
    }
    const std::string fingerprint = studyFingerprint(study);
    RunValues base;
    std::string error;
    if (!ensureBase(study, fingerprint, 1, base, error)) {
        std::printf("%s\n", error.c_str());
        return 1;
    }
    std::vector<double> along;
    const auto segments = studySegments(study, base, along);
    const Task task = taskList(study)[0];

    std::vector<double> write, calc, post, eval, store, start;
    std::vector<double> calcCpu, postCpu, restCpu;
    for (int r = 0; r < reps; ++r) {
        const std::string folder = (dir / "task").string() + "/";
        fs::remove_all(folder);
        double cpu = cpuNow();
        double rest = 0.0;
        auto t = Clock::now();
        if (!writeTaskProject(study, &task, folder, error)) return 1;
        rest += cpuNow() - cpu;
        write.push_back(since(t));

        // The calculation, as the runner starts it (one thread).
        cpu = cpuNow();
        t = Clock::now();
        if (!runCalculation(folder, study.run, 1, error)) {
            std::printf("%s\n", error.c_str());
            return 1;
        }
        calc.push_back(since(t));
        calcCpu.push_back(cpuNow() - cpu);

        // Post-processing, reading the report and the point positions.
        RunValues values;
        cpu = cpuNow();
        t = Clock::now();
        if (!postProcessRun(folder, study.run, values, error)) {
            std::printf("%s\n", error.c_str());
            return 1;
        }
        post.push_back(since(t));
        postCpu.push_back(cpuNow() - cpu);

        TaskResult result;
        result.task = task;
        cpu = cpuNow();
        t = Clock::now();
        if (!evaluate(study, segments, along, base, values, result.evaluation, error)) return 1;
        const std::string row = resultRow(result, segments.size());
        eval.push_back(since(t));

        t = Clock::now();
        fs::create_directories(resultsFolder(study));
        writeAtomically(resultPath(study, 0), sealText(fingerprint, row + "\n"));
        fs::remove_all(folder);
        store.push_back(since(t));
        restCpu.push_back(rest + cpuNow() - cpu);

        // A worker process: start, read the study and the base, end.
        t = Clock::now();
        const int rc = ilshost::runProgram(ILSCALC_HOST_BINARY, {"study", "work", file, "--count", "0", "--threads", "1"});
        start.push_back(since(t));
        if (rc != 0) {
            std::printf("the worker process failed (%d)\n", rc);
            return 1;
        }
    }
    const double c = median(calc);
    const double perTask = median(write) + median(post) + median(eval) + median(store);
    const double process = median(start);
    std::printf("study task, median of %d repetitions (seconds)         wall   processor\n", reps);
    std::printf("  calculation of the placement                      %9.4f %9.4f\n", c, median(calcCpu));
    std::printf("  post-processing and reading the results           %9.4f %9.4f\n", median(post), median(postCpu));
    std::printf("  project written, evaluated, stored, folder removed %8.4f %9.4f\n",
                median(write) + median(eval) + median(store), median(restCpu));
    std::printf("  worker process start (once per %d tasks)          %9.4f\n", perWorker, process);
    const double cpuOverhead = median(postCpu) + median(restCpu) + process / perWorker;
    std::printf("overhead per task, wall: %.4f s = %.1f %% of the calculation\n", perTask + process / perWorker,
                100.0 * (perTask + process / perWorker) / c);
    std::printf("overhead per task, processor: %.4f s = %.1f %% of the calculation's %.4f s "
                "(the worker start counted as wall time)\n",
                cpuOverhead, 100.0 * cpuOverhead / median(calcCpu), median(calcCpu));
    fs::remove_all(dir);
    return 0;
}
