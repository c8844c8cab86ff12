// ILSPost entry and the driver that runs the three stages with the post log.
#include "post/post.h"

#include <atomic>
#include <cstring>
#include <string>

#include "input/lines.h"
#include "input/messages.h"
#include "platform/platform.h"

namespace ils {

PostData& postData() {
    static PostData data;
    return data;
}

void resetPostData(PostData& pd) {
    const int32_t counter = pd.counter;
    std::vector<double> keep[kMaxTraces];
    for (int k = 0; k < kMaxTraces; ++k) keep[k].swap(pd.params.traces[k].values);
    pd = PostData{};
    pd.counter = counter;
    // The storage of the values may serve the next call; the contents may not.
    for (int k = 0; k < kMaxTraces; ++k) {
        keep[k].clear();
        pd.params.traces[k].values.swap(keep[k]);
    }
}

namespace {

void closeFile(FILE*& file) {
    if (file != nullptr) std::fclose(file);
    file = nullptr;
}

}  // namespace

void cleanUpPost(PostData& pd) {
    std::vector<double>().swap(pd.xValues);
    for (Trace& t : pd.params.traces) t.values.clear();
    closeFile(pd.parameterFile);
    closeFile(pd.postLog);
    closeFile(pd.fieldFile);
    for (FILE*& table : pd.debugTables) closeFile(table);
}

namespace {

// Both paths formed from a parameter file must fit before any work starts.
bool pathsFit(PostData& pd) {
    char path[kLineSize];
    if (!fieldFilePath(pd, path)) {
        logMessage(pd.postLog, "ERROR! Path needs 1024 characters or more: %s%s.fld\n",
                   pd.postDirectory, pd.params.dataName);
        return false;
    }
    if (!reportPath(pd.params, path)) {
        logMessage(pd.postLog, "ERROR! Path needs 1024 characters or more: %s%s.PTS\n",
                   pd.params.outputPrefix, pd.params.outputName);
        return false;
    }
    return true;
}

int32_t runStages(PostData& pd, const char* directory) {
    std::memcpy(pd.postDirectory, directory, std::strlen(directory) + 1);
    char parameterPath[kLineSize];
    char logPath[kLineSize];
    if (formatPath(parameterPath, "%sILSPOST.TMP", pd.postDirectory) < 0 ||
        formatPath(logPath, "%sILSPOST.LOG", pd.postDirectory) < 0) {
        return kPostPathTooLong;
    }
    pd.postLog = std::fopen(logPath, "w");
    pd.parameterFile = std::fopen(parameterPath, "r");
    if (pd.parameterFile == nullptr) {
        logMessage(pd.postLog, "ERROR! Input file %s does not exist.\n", parameterPath);
        return kPostNoParameterFile;
    }
    if (readparams(pd) != 0) return kPostBadParameters;
    if (!pathsFit(pd)) return kPostPathTooLong;
    if (calcoutput(pd) != 0) return kPostCalcFailed;
    if (!printoutput(pd)) return kPostNoReport;
    return kPostDone;
}

std::atomic<bool> postRunning{false};

// Clears the running flag on every way out of runPost.
struct RunningFlag {
    ~RunningFlag() { releasePostRun(); }
};

}  // namespace

bool claimPostRun() { return !postRunning.exchange(true); }

void releasePostRun() { postRunning.store(false); }

int32_t doPost(PostData& pd, const char* directory) {
    resetPostData(pd);
    int32_t result = kPostCalcFailed;
    try {
        if (std::strlen(directory) >= static_cast<size_t>(kLineSize)) {
            result = kPostPathTooLong;
        } else {
            result = runStages(pd, directory);
        }
    } catch (...) {
        // calcoutput reports its own allocation failures; this is a safety
        // net so that the files are still closed.
        result = kPostCalcFailed;
    }
    cleanUpPost(pd);
    return result;
}

int32_t runPost(const char* directory) {
    // Post-processing data are process-wide: a second call must not run
    // while one is in progress, and it must not wait either.
    if (!claimPostRun()) return kPostBusy;
    RunningFlag flag;

    const std::string dir = platform::directoryWithSeparator(directory);
    // The longest path formed from the directory alone is dir + "ILSPOST.TMP".
    if (dir.size() + std::strlen("ILSPOST.TMP") >= static_cast<size_t>(kLineSize))
        return kPostPathTooLong;
    if (!platform::canEnterDirectory(dir.c_str())) return kPostNoDirectory;
    return doPost(postData(), dir.c_str());
}

}  // namespace ils
