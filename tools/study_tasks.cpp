#include "study_tasks.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "study_objects.h"

namespace fs = std::filesystem;

namespace ilshost::study {

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}

std::string firstToken(const std::string& line) {
    std::istringstream in(line);
    std::string t;
    in >> t;
    return t;
}

std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
    return s.substr(b, e - b);
}

std::string num(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string s = buf;
    if (s == "-0" || s.find_first_not_of("-0.") == std::string::npos) {
        // Keep one spelling of zero.
        if (s[0] == '-') s.erase(0, 1);
    }
    return s;
}

std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"\n") == std::string::npos) return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out.push_back('"');
        if (c != '\n') out.push_back(c);
    }
    return out + "\"";
}

std::vector<std::string> csvSplit(const std::string& row) {
    std::vector<std::string> out;
    std::string f;
    bool quoted = false;
    for (size_t i = 0; i < row.size(); ++i) {
        const char c = row[i];
        if (quoted) {
            if (c == '"' && i + 1 < row.size() && row[i + 1] == '"') {
                f.push_back('"');
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                f.push_back(c);
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            out.push_back(f);
            f.clear();
        } else {
            f.push_back(c);
        }
    }
    out.push_back(f);
    return out;
}

bool toDouble(const std::string& s, double& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return *end == '\0';
}

}  // namespace

std::vector<Task> taskList(const Study& study) {
    std::vector<Task> out;
    int id = 0;
    for (double x : study.xs) {
        for (double y : study.ys) {
            for (double h : study.headings) out.push_back(Task{id++, x, y, h});
        }
    }
    return out;
}

std::string taskName(int id) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "t%06d", id);
    return buf;
}

std::vector<std::string> referencedFiles(const std::string& commandText) {
    std::vector<std::string> out;
    const std::vector<std::string> ls = lines(commandText);
    for (size_t i = 0; i < ls.size(); ++i) {
        const std::string t = firstToken(ls[i]);
        if (t == "SG" && ls[i].size() > 7 && std::atoi(ls[i].c_str() + 3) != 0) {
            const std::string p = trimmed(ls[i].substr(7));
            if (!p.empty()) out.push_back(p);
        } else if (t == "FP" && i + 3 < ls.size()) {
            const std::string code = firstToken(ls[i + 1]);
            if (!code.empty() && (code[0] == 'U' || code[0] == 'u')) {
                const std::string p = trimmed(ls[i + 3]);
                if (!p.empty()) out.push_back(p);
            }
        }
    }
    return out;
}

bool taskCommandFile(const std::string& baseText, const std::string& commands, std::string& out) {
    const std::vector<std::string> ls = lines(baseText);
    int en = -1;
    for (size_t i = 0; i < ls.size(); ++i) {
        if (firstToken(ls[i]) == "EN") {
            en = static_cast<int>(i);
            break;  // the run ends at its first EN
        }
    }
    if (en < 0) return false;
    out.clear();
    for (size_t i = 0; i < ls.size(); ++i) {
        if (static_cast<int>(i) == en) out += commands;
        out += ls[i];
        out += '\n';
    }
    return true;
}

std::string objectCommands(const Study& study, const Task& task, bool baseHasSg,
                           const std::string& motionName, std::string& motion) {
    const std::vector<PlacedPlate> plates =
        placePlates(objectPlates(study.object), task.x, task.y, task.heading, study.groundZ);
    char head[160];
    std::snprintf(head, sizeof head, "CM Study object at x = %.3f m, y = %.3f m, heading %.3f deg\n",
                  task.x, task.y, task.heading);
    std::string out = head;
    motion.clear();
    if (study.object.speed > 0.0) {
        motion = motionFile(task.heading, study.object.speed);
        // Column 8 starts the motion file's name.
        out += "SG 1   " + motionName + "\n";
        out += plateCommands(plates, study.object.bothSides);
        out += "SG 0\n";
    } else {
        // A base that moves plates may leave the moving flag set.
        if (baseHasSg) out += "SG 0\n";
        out += plateCommands(plates, study.object.bothSides);
    }
    return out;
}

bool writeTaskProject(const Study& study, const Task* task, const std::string& folder,
                      std::string& error) {
    std::string baseText;
    std::string postText;
    if (!readWholeFile(study.project + study.run + ".dat", baseText) ||
        !readWholeFile(study.project + study.run + ".post", postText)) {
        error = "the base run " + study.project + study.run + ".dat or .post cannot be read";
        return false;
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    std::string commandText = baseText;
    bool baseHasSg = false;
    for (const std::string& l : lines(baseText)) baseHasSg = baseHasSg || firstToken(l) == "SG";
    std::string motion;
    const std::string motionName = "study-object.mot";
    if (task != nullptr) {
        const std::string commands = objectCommands(study, *task, baseHasSg, motionName, motion);
        if (!taskCommandFile(baseText, commands, commandText)) {
            error = "the base command file " + study.project + study.run + ".dat has no EN command";
            return false;
        }
    }
    const std::string dir = folder.back() == '/' ? folder : folder + "/";
    if (!writeWholeFile(dir + study.run + ".dat", commandText) ||
        !writeWholeFile(dir + study.run + ".post", postText) ||
        (!motion.empty() && !writeWholeFile(dir + motionName, motion))) {
        error = "cannot write the project files into " + dir;
        return false;
    }
    // Files the base names relative to its project come along, so that the
    // folder runs on its own.
    for (std::string name : referencedFiles(baseText)) {
        for (char& c : name) if (c == '\\') c = '/';
        const fs::path rel(name);
        if (rel.is_absolute()) continue;
        const fs::path to = fs::path(dir) / rel;
        fs::create_directories(to.parent_path(), ec);
        fs::copy_file(fs::path(study.project) / rel, to, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            error = "the file " + name + " that the base command file names cannot be copied: " + ec.message();
            return false;
        }
    }
    return true;
}

std::vector<ToleranceSegment> studySegments(const Study& study, const RunValues& base,
                                            std::vector<double>& along) {
    RunwayGeometry runway;
    runway.thresholdX = study.thresholdX / 0.3048;
    runway.thresholdY = study.thresholdY / 0.3048;
    runway.hasStopEnd = study.hasStopEnd;
    runway.stopEndX = study.stopX / 0.3048;
    runway.stopEndY = study.stopY / 0.3048;
    std::vector<double> lateral;
    std::string error;
    along.clear();
    if (!alongTrack(runway, base.positions, along, lateral, error)) return {};
    ApproachPoints points;
    points.pointC = pointCFromFlight(along, base.positions);
    if (study.hasStopEnd) {
        points.hasStopEnd = true;
        points.pointE = std::hypot(study.stopX - study.thresholdX, study.stopY - study.thresholdY) - 600.0;
    }
    const Facility facility = base.ilsType == 1 ? Facility::GlidePath : Facility::Localizer;
    return courseStructureSegments(facility, study.category, points);
}

double allowedAt(const Study& study, const ToleranceSegment& segment, double along) {
    auto it = study.segmentAllowance.find(segment.name);
    const Allowance& a = it != study.segmentAllowance.end() ? it->second : study.defaultAllowance;
    return a.microamperes ? a.value : a.value * limitAt(segment, along);
}

bool evaluate(const Study& study, const std::vector<ToleranceSegment>& segments,
              const std::vector<double>& along, const RunValues& base, const RunValues& task,
              Evaluation& out, std::string& error) {
    out = Evaluation{};
    if (task.cdi.size() != base.cdi.size() || task.positions.size() != base.positions.size() ||
        along.size() != base.positions.size()) {
        error = "the run's points or CDI Traces differ from the base run's";
        return false;
    }
    for (size_t t = 0; t < task.cdi.size(); ++t) {
        if (task.cdi[t].size() != base.cdi[t].size() || task.cdi[t].size() != along.size()) {
            error = "the run's points differ from the base run's";
            return false;
        }
    }
    out.segments.resize(segments.size());
    for (size_t k = 0; k < segments.size(); ++k) out.segments[k].name = segments[k].name;
    for (size_t i = 0; i < along.size(); ++i) {
        const int k = segmentIndex(segments, along[i]);
        if (k < 0) continue;
        SegmentWorst& w = out.segments[static_cast<size_t>(k)];
        ++w.points;
        const double allowed = allowedAt(study, segments[static_cast<size_t>(k)], along[i]);
        for (size_t t = 0; t < task.cdi.size(); ++t) {
            const double d = task.cdi[t][i] - base.cdi[t][i];
            const double ratio = std::isfinite(d) ? std::fabs(d) / allowed : INFINITY;
            if (ratio > w.ratio || w.trace.empty()) {
                w.ratio = ratio;
                w.disturbance = d;
                w.along = along[i];
                w.allowed = allowed;
                w.trace = task.traces[t];
            }
        }
    }
    for (size_t k = 0; k < out.segments.size(); ++k) {
        if (out.segments[k].points == 0) continue;
        if (out.worst < 0 || out.segments[k].ratio > out.segments[static_cast<size_t>(out.worst)].ratio) {
            out.worst = static_cast<int>(k);
        }
        if (!(out.segments[k].ratio <= 1.0)) out.pass = false;
    }
    if (out.worst < 0) {
        error = "no point of the flight lies in a checked segment (check the threshold and stop end)";
        return false;
    }
    return true;
}

std::string resultHeader(const std::vector<ToleranceSegment>& segments) {
    std::string h = "task,x_m,y_m,heading_deg,result,worst_uA,segment,along_m,trace,allowed_uA,ratio";
    for (const ToleranceSegment& s : segments) h += "," + csvField("ratio " + s.name);
    return h + ",failure";
}

std::string resultRow(const TaskResult& r, size_t segmentCount) {
    std::string row = std::to_string(r.task.id) + "," + num(r.task.x, 3) + "," + num(r.task.y, 3) + "," +
                      num(r.task.heading, 3) + ",";
    const Evaluation& e = r.evaluation;
    if (r.failed || e.worst < 0) {
        row += "error,,,,,,";
        for (size_t k = 0; k < segmentCount; ++k) row += ",";
        return row + "," + csvField(r.failure.empty() ? "no result" : r.failure);
    }
    const SegmentWorst& w = e.segments[static_cast<size_t>(e.worst)];
    row += std::string(e.pass ? "pass" : "FAIL") + "," + num(w.disturbance, 3) + "," + csvField(w.name) + "," +
           num(w.along, 1) + "," + csvField(w.trace) + "," + num(w.allowed, 3) + "," + num(w.ratio, 4);
    for (size_t k = 0; k < segmentCount; ++k) {
        row += ",";
        if (k < e.segments.size() && e.segments[k].points > 0) row += num(e.segments[k].ratio, 4);
    }
    return row + ",";
}

bool parseResultRow(const std::string& row, const std::vector<ToleranceSegment>& segments,
                    TaskResult& out) {
    const size_t n = segments.size();
    const std::vector<std::string> f = csvSplit(row);
    if (f.size() != 12 + n) return false;
    out = TaskResult{};
    double id = 0.0;
    if (!toDouble(f[0], id) || !toDouble(f[1], out.task.x) || !toDouble(f[2], out.task.y) ||
        !toDouble(f[3], out.task.heading)) {
        return false;
    }
    out.task.id = static_cast<int>(id);
    out.failure = f.back();
    if (f[4] == "error") {
        out.failed = true;
        return true;
    }
    if (f[4] != "pass" && f[4] != "FAIL") return false;
    Evaluation& e = out.evaluation;
    e.pass = f[4] == "pass";
    e.segments.resize(n);
    for (size_t k = 0; k < n; ++k) {
        e.segments[k].name = segments[k].name;
        if (toDouble(f[11 + k], e.segments[k].ratio)) e.segments[k].points = 1;
        if (segments[k].name == f[6]) e.worst = static_cast<int>(k);
    }
    if (e.worst < 0) return false;
    SegmentWorst& w = e.segments[static_cast<size_t>(e.worst)];
    w.trace = f[8];
    return toDouble(f[5], w.disturbance) && toDouble(f[7], w.along) && toDouble(f[9], w.allowed) &&
           toDouble(f[10], w.ratio);
}

std::string checksum(const std::string& text) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char buf[24];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    return buf;
}

std::string sealText(const std::string& fingerprint, const std::string& body) {
    std::string text = "study " + fingerprint + "\n" + body;
    if (text.back() != '\n') text.push_back('\n');
    return text + "check " + checksum(text) + "\n";
}

bool unsealText(const std::string& text, const std::string& fingerprint, std::string& body) {
    const size_t check = text.rfind("check ");
    if (check == std::string::npos || text.size() != check + 6 + 16 + 1 || text.back() != '\n') return false;
    const std::string sealed = text.substr(0, check);
    if (text.compare(check + 6, 16, checksum(sealed)) != 0) return false;
    const std::string head = "study " + fingerprint + "\n";
    if (sealed.compare(0, head.size(), head) != 0) return false;
    body = sealed.substr(head.size());
    return !body.empty();
}

}  // namespace ilshost::study
