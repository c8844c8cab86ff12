#include "study_runner.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <thread>

#include "ilscalc/ilscalc.h"
#include "ilscalc/version.h"
#include "study_objects.h"

namespace fs = std::filesystem;

namespace ilshost::study {

namespace {

std::string firstError(const std::string& logPath) {
    std::string text;
    if (!readWholeFile(logPath, text)) return "";
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("ERROR!", 0) == 0) return line;
    }
    return "";
}

// Keeps the current directory for the caller: the library and the post
// stage read paths relative to it.
class DirectoryGuard {
public:
    DirectoryGuard() { saved_ = fs::current_path(ec_); }
    ~DirectoryGuard() {
        if (!ec_) fs::current_path(saved_, ec_);
    }

private:
    std::error_code ec_;
    fs::path saved_;
};

std::string g17(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

}  // namespace

std::string baseFolder(const Study& study) { return study.folder + "base/"; }
std::string resultsFolder(const Study& study) { return study.folder + "tasks/"; }
std::string workFolder(const Study& study) { return study.folder + "work/"; }
std::string resultPath(const Study& study, int id) { return resultsFolder(study) + taskName(id) + ".res"; }

std::string studyFingerprint(const Study& study) {
    std::string all;
    std::string part;
    std::string dat;
    readWholeFile(study.file, part);
    all += part + '\x1f';
    readWholeFile(study.project + study.run + ".dat", dat);
    all += dat + '\x1f';
    readWholeFile(study.project + study.run + ".post", part);
    all += part + '\x1f';
    // Files the command file names inside its project count by content,
    // others (absolute paths) by name.
    for (const std::string& name : referencedFiles(dat)) {
        all += name + '\x1f';
        if (!fs::path(name).is_absolute() && readWholeFile(study.project + name, part)) all += part + '\x1f';
    }
    char rule[96];
    std::snprintf(rule, sizeof rule, "%g %g %s", kGroundClearanceFraction, kFinChordFraction,
                  ILSCALC_VERSION_STRING);
    return checksum(all + rule);
}

bool writeAtomically(const std::string& path, const std::string& text) {
    const std::string part = path + ".part";
    if (!writeWholeFile(part, text)) return false;
    std::error_code ec;
    fs::rename(part, path, ec);
    if (ec) {
        fs::remove(part, ec);
        return false;
    }
    return true;
}

bool runCalculation(const std::string& folderIn, const std::string& run, unsigned threads, std::string& failure) {
    const std::string folder = folderIn.back() == '/' ? folderIn : folderIn + "/";
    const std::string scratch = folder + "scratch/";
    std::error_code ec;
    fs::create_directories(scratch, ec);
    DirectoryGuard guard;
    // Files named in the command file are relative to the project.
    fs::current_path(folder, ec);
    if (ec) {
        failure = "cannot enter " + folder;
        return false;
    }
    const int32_t started = ILSCalc_Start(run.c_str(), folder.c_str(), folder.c_str(), threads & 0xffu);
    if (started != 0) {
        const std::string e = firstError(scratch + run + ".out");
        failure = e.empty() ? "the run could not be started (code " + std::to_string(started) + ")" : e;
        return false;
    }
    int32_t percent = 0;
    int32_t state = ILSCALC_RUNNING;
    while ((state = ILSCalc_GetProgress(&percent)) == ILSCALC_RUNNING) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (state != ILSCALC_FINISHED) {
        const std::string e = firstError(scratch + run + ".out");
        failure = e.empty() ? "the run did not finish (state " + std::to_string(state) + ")" : e;
        return false;
    }
    return true;
}

bool postProcessRun(const std::string& folderIn, const std::string& run, RunValues& values, std::string& failure) {
    values = RunValues{};
    const std::string folder = folderIn.back() == '/' ? folderIn : folderIn + "/";
    const std::string scratch = folder + "scratch/";
    std::error_code ec;
    DirectoryGuard guard;
    std::string postText;
    PostNames names;
    std::string error;
    if (!readWholeFile(folder + run + ".post", postText) || !parsePostNames(postText, names, error)) {
        failure = "the parameter file " + folder + run + ".post is unusable: " + error;
        return false;
    }
    if (!writeWholeFile(scratch + "ILSPOST.TMP", postText)) {
        failure = "cannot write " + scratch + "ILSPOST.TMP";
        return false;
    }
    // The post stage leaves its debug tables in the current directory and
    // takes a relative report prefix from it.
    fs::current_path(scratch, ec);
    const int32_t post = ILSPost(scratch.c_str());
    if (post != 0) {
        const std::string e = firstError(scratch + "ILSPOST.LOG");
        failure = e.empty() ? "post-processing failed (code " + std::to_string(post) + ")" : e;
        return false;
    }
    std::string text;
    Report report;
    const std::string reportPath = reportPathFor(names, scratch);
    if (!readWholeFile(reportPath, text) || !parseReport(text, report, error)) {
        failure = "the report " + reportPath + " cannot be read: " + error;
        return false;
    }
    std::string bytes;
    if (!readWholeFile(scratch + names.dataName + ".fld", bytes) ||
        !parseFieldPositions(bytes, values.positions, error) || values.positions.size() != report.rows.size()) {
        failure = "the point positions cannot be read from " + scratch + names.dataName + ".fld";
        return false;
    }
    values.ilsType = names.ilsType;
    for (size_t c = 1; c < report.columns.size(); ++c) {
        if (report.columns[c].label != "CDI" || report.columns[c].unit != "(uA)") continue;
        values.traces.push_back(columnTitle(report.columns[c]));
        std::vector<double> cdi;
        for (const std::vector<double>& row : report.rows) cdi.push_back(row[c]);
        values.cdi.push_back(std::move(cdi));
    }
    return true;
}

bool runProject(const std::string& folder, const std::string& run, unsigned threads, RunValues& values,
                std::string& failure) {
    values = RunValues{};
    return runCalculation(folder, run, threads, failure) && postProcessRun(folder, run, values, failure);
}

bool loadBase(const Study& study, const std::string& fingerprint, RunValues& base) {
    std::string text;
    std::string body;
    if (!readWholeFile(baseFolder(study) + "base.res", text) || !unsealText(text, fingerprint, body)) {
        return false;
    }
    base = RunValues{};
    std::istringstream in(body);
    size_t traces = 0, points = 0;
    std::string word;
    if (!(in >> word >> base.ilsType >> traces >> points) || word != "base") return false;
    in.ignore(1);
    for (size_t t = 0; t < traces; ++t) {
        std::string title;
        if (!std::getline(in, title)) return false;
        base.traces.push_back(title);
    }
    base.cdi.assign(traces, std::vector<double>(points));
    base.positions.resize(points);
    for (size_t i = 0; i < points; ++i) {
        Position& p = base.positions[i];
        if (!(in >> p.x >> p.y >> p.z)) return false;
        for (size_t t = 0; t < traces; ++t) {
            if (!(in >> base.cdi[t][i])) return false;
        }
    }
    return true;
}

bool ensureBase(const Study& study, const std::string& fingerprint, unsigned threads, RunValues& base,
                std::string& error) {
    if (loadBase(study, fingerprint, base)) return true;
    const std::string folder = baseFolder(study);
    if (!writeTaskProject(study, nullptr, folder, error)) return false;
    std::string failure;
    if (!runProject(folder, study.run, threads, base, failure)) {
        error = "the base run " + study.run + " failed: " + failure;
        return false;
    }
    if (base.cdi.empty()) {
        error = "the base run's parameter file " + study.run + ".post has no CDI Trace in microamperes";
        return false;
    }
    std::string body = "base " + std::to_string(base.ilsType) + " " + std::to_string(base.cdi.size()) + " " +
                       std::to_string(base.positions.size()) + "\n";
    for (const std::string& t : base.traces) body += t + "\n";
    for (size_t i = 0; i < base.positions.size(); ++i) {
        const Position& p = base.positions[i];
        body += g17(p.x) + " " + g17(p.y) + " " + g17(p.z);
        for (const std::vector<double>& c : base.cdi) body += " " + g17(c[i]);
        body += "\n";
    }
    if (!writeAtomically(folder + "base.res", sealText(fingerprint, body))) {
        error = "cannot write " + folder + "base.res";
        return false;
    }
    return true;
}

bool storedResult(const Study& study, const std::string& fingerprint, int id, std::string& row) {
    std::string text;
    if (!readWholeFile(resultPath(study, id), text) || !unsealText(text, fingerprint, row)) return false;
    if (row.back() == '\n') row.pop_back();
    return !row.empty() && row.find('\n') == std::string::npos;
}

int runTasks(const Study& study, const std::vector<int>& ids, unsigned threads) {
    const std::string fingerprint = studyFingerprint(study);
    RunValues base;
    std::string error;
    if (!ensureBase(study, fingerprint, threads, base, error)) {
        std::printf("%s\n", error.c_str());
        return static_cast<int>(ids.size());
    }
    std::vector<double> along;
    const std::vector<ToleranceSegment> segments = studySegments(study, base, along);
    const std::vector<Task> tasks = taskList(study);
    std::error_code ec;
    fs::create_directories(resultsFolder(study), ec);
    int lost = 0;
    for (int id : ids) {
        if (id < 0 || id >= static_cast<int>(tasks.size())) continue;
        std::string row;
        if (storedResult(study, fingerprint, id, row)) continue;
        TaskResult result;
        result.task = tasks[static_cast<size_t>(id)];
        const std::string folder = workFolder(study) + taskName(id) + "/";
        fs::remove_all(folder, ec);  // whatever an interrupted try left
        RunValues values;
        if (!writeTaskProject(study, &result.task, folder, result.failure) ||
            !runProject(folder, study.run, threads, values, result.failure)) {
            result.failed = true;
        } else if (!evaluate(study, segments, along, base, values, result.evaluation, result.failure)) {
            result.failed = true;
        }
        if (!writeAtomically(resultPath(study, id),
                             sealText(fingerprint, resultRow(result, segments.size()) + "\n"))) {
            std::printf("cannot write %s\n", resultPath(study, id).c_str());
            ++lost;
            continue;
        }
        // A failed task keeps its folder for a look at its logs.
        if (!result.failed) fs::remove_all(folder, ec);
        std::printf("%s %s\n", taskName(id).c_str(), result.failed ? result.failure.c_str() : "done");
        std::fflush(stdout);
    }
    return lost;
}

}  // namespace ilshost::study
