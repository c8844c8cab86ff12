// Runs a study's base and tasks inside this process: writes the project,
// calculates, post-processes, evaluates and stores the result atomically.
#pragma once

#include <string>
#include <vector>

#include "study_file.h"
#include "study_tasks.h"

namespace ilshost::study {

// Folder layout of a study's results folder.
std::string baseFolder(const Study& study);     // base/
std::string resultsFolder(const Study& study);  // tasks/
std::string workFolder(const Study& study);     // work/
std::string resultPath(const Study& study, int id);

// Identifies the inputs of a study: the study file, the base command and
// parameter files and the object library's rule. Results of other inputs are
// not trusted.
std::string studyFingerprint(const Study& study);

// Calculates and post-processes the run RUN of a project folder (scratch
// below it), with a thread cap for the calculation (0 = the library's
// default). Reads the CDI Traces in microamperes and the point positions.
// On failure the reason is the first ERROR line of the log that failed.
bool runProject(const std::string& folder, const std::string& run, unsigned threads,
                RunValues& values, std::string& failure);

// The two halves of runProject: the calculation, then the post-processing
// with the reading of the report and the point positions.
bool runCalculation(const std::string& folder, const std::string& run, unsigned threads, std::string& failure);
bool postProcessRun(const std::string& folder, const std::string& run, RunValues& values, std::string& failure);

// The base run's values: read from base/ when a valid copy is there, else
// calculated now and stored.
bool ensureBase(const Study& study, const std::string& fingerprint, unsigned threads,
                RunValues& base, std::string& error);
bool loadBase(const Study& study, const std::string& fingerprint, RunValues& base);

// A task's result row when a valid result file is stored.
bool storedResult(const Study& study, const std::string& fingerprint, int id, std::string& row);

// Runs tasks one after the other, skipping those with a valid result.
// Returns the number of tasks that could not be stored.
int runTasks(const Study& study, const std::vector<int>& ids, unsigned threads);

// Writes a file through a temporary name and a rename.
bool writeAtomically(const std::string& path, const std::string& text);

}  // namespace ilshost::study
