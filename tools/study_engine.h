// Engines of a study: the local pool of worker processes and the Slurm job
// array. Both run the same task runner (`ilscalc study work`), so their
// results are the same bytes.
#pragma once

#include <string>
#include <vector>

#include "study_file.h"

namespace ilshost::study {

// Quoting of one argument for the POSIX shell of the job scripts.
std::string shellQuoted(const std::string& arg);

// Runs all unfinished tasks in `jobs` worker processes of `self` (this
// program) with one progress display; then gathers. Returns the exit code.
int runLocal(const Study& study, const std::string& self, int jobs);

struct SubmitOptions {
    std::string partition;
    int tasksPerJob = 0;  // 0: chosen from the task count
    bool dryRun = false;
};

// Writes the sbatch scripts into the study folder and submits them. Returns
// the exit code.
int submitSlurm(const Study& study, const std::string& self, const SubmitOptions& options);

// The sbatch script of the task array.
std::string arrayScript(const Study& study, const std::string& self, const SubmitOptions& options,
                        int taskCount, int tasksPerJob);

// Counts done, failed and missing tasks. Returns the exit code: 0 when all
// are done.
int studyStatus(const Study& study);

}  // namespace ilshost::study
