#include "check.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host_files.h"
#include "input/lines.h"
#include "input/scan.h"
#include "interface/run_data.h"
#include "path/field_run.h"
#include "path/run_tables.h"
#include "post/post_data.h"
#include "scatter/moving_plate.h"
#include "scatter/plate.h"
#include "scatter/scatterer_reader.h"
#include "scatter/wire.h"
#include "system/array_reader.h"
#include "system/system_reader.h"
#include "path/flight_profile.h"

namespace ilshost {

namespace {

const char* const kCommands[] = {"CM", "SY", "CO", "CL", "FP", "SG", "SP", "SW", "EN"};

bool isCommand(const std::string& w) {
    return std::any_of(std::begin(kCommands), std::end(kCommands),
                       [&](const char* c) { return w == c; });
}

std::vector<std::string> rawLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> wordsOf(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        size_t j = i;
        while (j < line.size() && !std::isspace(static_cast<unsigned char>(line[j]))) ++j;
        if (j > i) out.push_back(line.substr(i, j - i));
        i = j;
    }
    return out;
}

bool blankLine(const std::string& line) { return wordsOf(line).empty(); }

// A word that begins as a number and goes on with a letter or a comma: the
// scan takes the number and silently drops the rest.
bool gluedNumber(const std::string& w) {
    const char* s = w.c_str();
    if (!(std::isdigit(static_cast<unsigned char>(s[0])) ||
          ((s[0] == '-' || s[0] == '+' || s[0] == '.') && std::isdigit(static_cast<unsigned char>(s[1]))) ||
          ((s[0] == '-' || s[0] == '+') && s[1] == '.' && std::isdigit(static_cast<unsigned char>(s[2]))))) {
        return false;
    }
    char* end = nullptr;
    std::strtod(s, &end);
    if (end == s || *end == '\0') return false;
    return std::isalpha(static_cast<unsigned char>(*end)) || *end == ',';
}

std::string where(const std::string& file, size_t lineNumber, const std::string& line) {
    return file + ", line " + std::to_string(lineNumber) + ": " + line;
}

void lintNumbers(const std::string& file, size_t n, const std::string& line,
                 std::vector<std::string>& out) {
    for (const std::string& w : wordsOf(line)) {
        if (gluedNumber(w)) {
            out.push_back("WARNING! the number \"" + w + "\" goes on with " +
                          (w.find(',') != std::string::npos && w.find_first_of(
                               "abcdfghijklmnopqrstuvwxyzABCDFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos
                               ? std::string("a comma (decimal comma?); only the part before it is read")
                               : std::string("letters; only the number is read")) +
                          "\n    " + where(file, n, line));
            return;
        }
    }
}

// Byte offsets of the starts of the lines of a text.
std::vector<long> lineStarts(const std::string& text) {
    std::vector<long> starts{0};
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && i + 1 < text.size()) starts.push_back(static_cast<long>(i + 1));
    }
    return starts;
}

// 1-based number of the line that holds byte offset pos.
size_t lineAt(const std::vector<long>& starts, long pos) {
    if (pos < 0) pos = 0;
    const auto it = std::upper_bound(starts.begin(), starts.end(), pos);
    return static_cast<size_t>(it - starts.begin());
}

// Reads what the library wrote to a scratch log since the last call.
std::string newLogText(FILE* log, long& seen) {
    std::fflush(log);
    const long end = std::ftell(log);
    std::string out;
    if (end > seen) {
        out.resize(static_cast<size_t>(end - seen));
        std::fseek(log, seen, SEEK_SET);
        const size_t got = std::fread(out.data(), 1, out.size(), log);
        out.resize(got);
        std::fseek(log, 0, SEEK_END);
    }
    seen = end;
    return out;
}

struct Located {
    std::string file;
    std::vector<std::string> lines;
    std::vector<long> starts;
    std::string lineText(size_t n) const { return n >= 1 && n <= lines.size() ? lines[n - 1] : ""; }
};

// Shows the library's messages with the place in the file they are about:
// the line a "requires ... on line K" names (counted from the command line),
// else the last line the reader took.
void reportMessages(const std::string& logText, const Located& f, size_t commandLine,
                    size_t lastLine, CheckSummary& s, std::string& text) {
    for (const std::string& m : logMessages(logText)) {
        if (m.rfind("ERROR! ", 0) == 0 || m.rfind("WARNING! ", 0) == 0) {
            size_t n = lastLine;
            int k = 0;
            const size_t on = m.find(" inputs on line ");
            if (on != std::string::npos && commandLine > 0 &&
                std::sscanf(m.c_str() + on + 16, "%d", &k) == 1 && k >= 0) {
                n = commandLine + static_cast<size_t>(k);
            }
            if (m.rfind("ERROR! ", 0) == 0) ++s.errors;
            else ++s.warnings;
            text += m + "\n    " + where(f.file, n, f.lineText(n)) + "\n";
        } else if (m.rfind("Last line read:", 0) != 0 && (m.empty() || m[0] != '\t')) {
            text += m + "\n";  // continuation of a two-line warning
        }
    }
}

int64_t commandPreconditionError(const std::string& w, bool sy, bool arr, bool fp, int capture,
                                 std::string& message) {
    if (w == "CM" || w == "SY") return 0;
    if (!sy) {
        message = "ERROR! SY command must be input before " + w + " command.";
        return 1;
    }
    if (w == "CO") return 0;
    if (w == "CL") {
        if (capture != 0) return 0;
        message = "ERROR! CL command encountered in self-clearing array.";
        return 1;
    }
    if (!arr) {
        message = "ERROR! CO or CL command must be input before " + w + " command.";
        return 1;
    }
    if (w == "FP") return 0;
    if (!fp) {
        message = "ERROR! FP command must be input before " + w + " command.";
        return 1;
    }
    return 0;
}

// Times a scatterer's computation on a few of the flight's points and scales
// the time to all of them. The run data are put back as they were.
double sampleScatterTime(ils::RunData& rd, const ils::Scatterer& sc, bool plate, bool moving) {
    if (!rd.pointTable.inMemory || rd.pointCount <= 0) return 0.0;
    const int64_t n = rd.pointCount;
    const int64_t k = std::min<int64_t>(n, 6);
    std::vector<ils::ObservationPoint> points = rd.pointTable.entries;
    std::vector<ils::FieldRecord> fields = rd.fieldTable.entries;
    std::vector<ils::MovingPosition> motion = rd.movingTable.entries;
    const bool motionPerPoint = rd.movingTable.inMemory &&
                                static_cast<int64_t>(motion.size()) == n;
    std::vector<ils::ObservationPoint> pick;
    std::vector<ils::MovingPosition> pickMotion;
    for (int64_t i = 0; i < k; ++i) {
        const size_t j = static_cast<size_t>(k > 1 ? i * (n - 1) / (k - 1) : 0);
        pick.push_back(points[j]);
        if (motionPerPoint) pickMotion.push_back(motion[j]);
    }
    FILE* realLog = rd.messageLog;
    FILE* quiet = std::tmpfile();
    rd.messageLog = quiet;
    rd.pointTable.entries = pick;
    rd.fieldTable.entries.assign(static_cast<size_t>(k), ils::FieldRecord{});
    if (motionPerPoint) rd.movingTable.entries = pickMotion;
    rd.pointCount = static_cast<int32_t>(k);
    const auto t0 = std::chrono::steady_clock::now();
    if (plate) {
        if (moving) ils::computeMovingPlate(rd, sc, 1);
        else ils::computePlate(rd, sc, 1);
    } else {
        ils::computeWire(rd, sc, 1);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    rd.pointCount = static_cast<int32_t>(n);
    rd.pointTable.entries = std::move(points);
    rd.fieldTable.entries = std::move(fields);
    if (motionPerPoint) rd.movingTable.entries = std::move(motion);
    rd.messageLog = realLog;
    if (quiet != nullptr) std::fclose(quiet);
    return seconds * static_cast<double>(n) / static_cast<double>(k);
}

double sampleDirectTime(const ils::RunData& rd) {
    if (!rd.pointTable.inMemory || rd.pointCount <= 0) return 0.0;
    const int64_t n = rd.pointCount;
    const int64_t k = std::min<int64_t>(n, 50);
    const auto t0 = std::chrono::steady_clock::now();
    double guard = 0.0;
    for (int64_t i = 0; i < k; ++i) {
        const ils::ObservationPoint& p = rd.pointTable.entries[static_cast<size_t>(i * (n - 1) / std::max<int64_t>(k - 1, 1))];
        guard += ils::directFieldRecord(rd, p.x, p.y, p.z).slot[0].real();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    (void)guard;
    return seconds * static_cast<double>(n) / static_cast<double>(k);
}

void checkCommandFile(const std::string& commandPath, const std::string& scratchDir, bool timeSample,
                      CheckSummary& s, std::string& text) {
    std::string content;
    if (!readWholeFile(commandPath, content)) {
        ++s.errors;
        text += "ERROR! Cannot open input file " + commandPath + "\n";
        return;
    }
    Located f;
    f.file = commandPath;
    f.lines = rawLines(content);
    f.starts = lineStarts(content);

    // Text the readers accept but that is almost surely wrong.
    for (const std::string& w : lintCommandText(commandPath, content)) {
        ++s.warnings;
        text += w + "\n";
    }

    auto rd = std::make_unique<ils::RunData>();
    rd->commandFile = std::fopen(commandPath.c_str(), "rb");
    rd->messageLog = std::tmpfile();
    if (rd->commandFile == nullptr || rd->messageLog == nullptr) {
        ++s.errors;
        text += "ERROR! Cannot open input file " + commandPath + "\n";
        if (rd->commandFile) std::fclose(rd->commandFile);
        if (rd->messageLog) std::fclose(rd->messageLog);
        return;
    }
    std::snprintf(rd->scratchDirectory, sizeof rd->scratchDirectory, "%s", scratchDir.c_str());
    long seen = 0;
    bool sy = false, arr = false, fp = false, ended = false;
    int movingFlag = 0;
    int status = 0;
    double seconds = 0.0;
    ils::Scatterer sc;
    char line[ils::kLineSize];
    while (status == 0 && !ended) {
        const long at = std::ftell(rd->commandFile);
        const size_t commandLine = lineAt(f.starts, at);
        if (!ils::readLine(rd->commandFile, line)) {
            ++s.errors;
            text += "ERROR! Command file ends before EN command.\n    " + commandPath +
                    ": the last command block has no EN after it\n";
            status = -1;
            break;
        }
        char wordBuf[3] = "";
        ils::scanText(line, "%2s", wordBuf);
        const std::string w = wordBuf;
        std::string message;
        if (!isCommand(w)) {
            message = "ERROR! Unknown instruction code: " + w + ".";
        } else {
            commandPreconditionError(w, sy, arr, fp, rd->system.captureEffect, message);
        }
        if (!message.empty()) {
            ++s.errors;
            text += message + "\n    " + where(commandPath, commandLine, f.lineText(commandLine)) + "\n";
            status = -1;
            break;
        }
        try {
            if (w == "SY") {
                sy = true;
                status = ils::readSystem(*rd);
            } else if (w == "CO" || w == "CL") {
                arr = true;
                status = ils::readArray(*rd, w.c_str(), w == "CO" ? 0 : 1);
            } else if (w == "FP") {
                fp = true;
                status = ils::readFlightProfile(*rd);
            } else if (w == "SG") {
                const size_t len = std::strlen(line);
                ils::scanText(len > 3 ? line + 3 : "", "%d", &movingFlag);
                if (movingFlag != 0) status = ils::readMovingScatterers(*rd, len > 7 ? line + 7 : "");
            } else if (w == "SP" || w == "SW") {
                status = ils::readScatterer(*rd, w.c_str(), sc);
                if (status == 0) {
                    if (sc.contributionCode == 2) {
                        ++s.skippedScatterers;
                    } else if (w == "SP") {
                        ++s.plates;
                        if (movingFlag != 0) ++s.movingPlates;
                        if (timeSample) seconds += sampleScatterTime(*rd, sc, true, movingFlag != 0);
                    } else {
                        ++s.wires;
                        if (timeSample) seconds += sampleScatterTime(*rd, sc, false, false);
                    }
                }
            } else if (w == "EN") {
                ended = true;
                if (timeSample) seconds += sampleDirectTime(*rd);
            }
        } catch (const std::bad_alloc&) {
            text += "ERROR! Not enough memory for " + w + " command.\n";
            ++s.errors;
            status = -1;
        }
        const long after = std::ftell(rd->commandFile);
        const size_t lastLine = lineAt(f.starts, after - 1);
        reportMessages(newLogText(rd->messageLog, seen), f, commandLine, lastLine, s, text);
        if (status != 0 && s.errors == 0) ++s.errors;  // a reader that failed without a message
    }
    s.commandFileOk = status == 0 && ended;
    s.systemType = rd->system.systemType;
    s.captureEffect = rd->system.captureEffect;
    s.courseElements = rd->arrays[0].elementCount;
    s.clearanceElements = rd->arrays[1].elementCount;
    s.pointCount = rd->pointCount;
    s.estimatedSeconds = seconds;
    ils::releaseRunTables(*rd);
    std::fclose(rd->commandFile);
    std::fclose(rd->messageLog);
}

void checkParameterFile(const std::string& postPath, CheckSummary& s, std::string& text) {
    s.havePostFile = true;
    std::string content;
    if (!readWholeFile(postPath, content)) {
        ++s.errors;
        s.postFileOk = false;
        text += "ERROR! Input file " + postPath + " does not exist.\n";
        return;
    }
    Located f;
    f.file = postPath;
    f.lines = rawLines(content);
    f.starts = lineStarts(content);
    for (const std::string& w : lintParameterText(postPath, content)) {
        ++s.warnings;
        text += w + "\n";
    }
    auto pd = std::make_unique<ils::PostData>();
    pd->parameterFile = std::fopen(postPath.c_str(), "r");
    pd->postLog = std::tmpfile();
    if (pd->parameterFile == nullptr || pd->postLog == nullptr) {
        ++s.errors;
        s.postFileOk = false;
        text += "ERROR! Input file " + postPath + " does not exist.\n";
    } else {
        const int errorsBefore = s.errors;
        const int32_t r = ils::readparams(*pd);
        long seen = 0;
        const size_t lastLine = lineAt(f.starts, std::ftell(pd->parameterFile) - 1);
        reportMessages(newLogText(pd->postLog, seen), f, 0, lastLine, s, text);
        s.postFileOk = r == 0 && s.errors == errorsBefore;
        if (r != 0 && s.errors == errorsBefore) ++s.errors;
        for (int i = 0; i < pd->params.traceCount; ++i) {
            const ils::Trace& t = pd->params.traces[i];
            if (t.outputType <= ils::kOutputFlag) s.receiverTraces += t.flightCorrections == 1 ? 2 : 1;
        }
    }
    if (pd->parameterFile) std::fclose(pd->parameterFile);
    if (pd->postLog) std::fclose(pd->postLog);
    pd->parameterFile = nullptr;
    pd->postLog = nullptr;
}

std::string secondsText(double s) {
    char buf[64];
    if (s < 1.0) return "under a second";
    if (s < 120.0) std::snprintf(buf, sizeof buf, "about %.0f s", s);
    else if (s < 7200.0) std::snprintf(buf, sizeof buf, "about %.0f min", s / 60.0);
    else std::snprintf(buf, sizeof buf, "about %.1f h", s / 3600.0);
    return buf;
}

}  // namespace

std::vector<std::string> lintCommandText(const std::string& fileName, const std::string& text) {
    std::vector<std::string> out;
    const std::vector<std::string> lines = rawLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const size_t n = i + 1;
        const std::vector<std::string> w = wordsOf(line);
        if (w.empty()) {
            // Past the EN line nothing is read.
            out.push_back("WARNING! blank line: where a command is expected it ends the run as an "
                          "unknown instruction\n    " + where(fileName, n, line));
            continue;
        }
        if (w[0] == "EN") break;
        if (w[0] == "CM") continue;
        std::string upper = w[0];
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper != w[0] && isCommand(upper)) {
            out.push_back("WARNING! command word \"" + w[0] + "\" is not in upper case: it reads as "
                          "an unknown instruction where a command is expected\n    " +
                          where(fileName, n, line));
            continue;
        }
        lintNumbers(fileName, n, line, out);
    }
    return out;
}

std::vector<std::string> lintParameterText(const std::string& fileName, const std::string& text) {
    std::vector<std::string> out;
    const std::vector<std::string> lines = rawLines(text);
    for (size_t i = 0; i < lines.size() && i < 18; ++i) {
        const size_t n = i + 1;
        if (blankLine(lines[i])) {
            out.push_back("WARNING! blank line: the lines of the parameter file have fixed places\n    " +
                          where(fileName, n, lines[i]));
            continue;
        }
        if (i >= 3) lintNumbers(fileName, n, lines[i], out);  // lines 1 to 3 are names
    }
    return out;
}

int64_t fieldFileBytesFor(int64_t n) { return 20 + 504 * n; }

int64_t messageLogBytesFor(int64_t n, int arraysWithFields) {
    // "Scattered Fields" header and end line, then per point the position
    // (3 x "%10.2f ") and two "%10.4e" magnitudes per array.
    return 200 + n * (33 + 22 * static_cast<int64_t>(arraysWithFields));
}

int64_t debugTableBytesFor(int64_t n, int receiverCalls) {
    // Two rows of 15 "%e" columns per receiver evaluation.
    return 200 + n * receiverCalls * 2 * 215;
}

std::string sizeText(int64_t bytes) {
    char buf[48];
    if (bytes < 10 * 1024) std::snprintf(buf, sizeof buf, "%lld bytes", static_cast<long long>(bytes));
    else if (bytes < 10ll * 1024 * 1024) std::snprintf(buf, sizeof buf, "%.0f kB", bytes / 1024.0);
    else if (bytes < 10ll * 1024 * 1024 * 1024) std::snprintf(buf, sizeof buf, "%.0f MB", bytes / 1048576.0);
    else std::snprintf(buf, sizeof buf, "%.1f GB", bytes / 1073741824.0);
    return buf;
}

CheckSummary checkProject(const std::string& projectDir, const std::string& runName,
                          const std::string& postPath, const std::string& scratchDir,
                          bool timeSample, std::string& text) {
    CheckSummary s;
    checkCommandFile(projectDir + runName + ".dat", scratchDir, timeSample, s, text);
    if (!postPath.empty()) checkParameterFile(postPath, s, text);
    s.fieldFileBytes = fieldFileBytesFor(s.pointCount);
    s.messageLogBytes = messageLogBytesFor(s.pointCount, s.captureEffect == 1 ? 2 : 1);
    s.debugTableBytes = s.havePostFile ? debugTableBytesFor(s.pointCount, s.receiverTraces) : 0;
    return s;
}

std::string summaryText(const CheckSummary& s) {
    std::string out;
    char buf[256];
    if (!s.commandFileOk) out += "  (reading stopped at the first error; the summary covers what was read)\n";
    const char* station = s.systemType == 'G' ? "glide slope" : s.systemType == 'L' ? "localizer" : "unknown";
    std::snprintf(buf, sizeof buf, "  station:     %s, %s\n", station,
                  s.captureEffect == 1 ? "two-frequency (course and clearance)" : "single-frequency");
    out += buf;
    std::snprintf(buf, sizeof buf, "  arrays:      course %d elements%s\n", s.courseElements,
                  s.clearanceElements > 0
                      ? (", clearance " + std::to_string(s.clearanceElements) + " elements").c_str()
                      : "");
    out += buf;
    std::snprintf(buf, sizeof buf, "  points:      %lld\n", static_cast<long long>(s.pointCount));
    out += buf;
    std::snprintf(buf, sizeof buf, "  scatterers:  %d plates (%d moving), %d wires, %d skipped\n",
                  s.plates, s.movingPlates, s.wires, s.skippedScatterers);
    out += buf;
    out += "  outputs:     .fld " + sizeText(s.fieldFileBytes) + ", .out " + sizeText(s.messageLogBytes);
    if (s.havePostFile) out += ", v1.txt " + sizeText(s.debugTableBytes);
    out += "\n";
    if (s.commandFileOk) {
        out += "  run time:    " + secondsText(s.estimatedSeconds) +
               " (timed on a sample of the points)\n";
    }
    return out;
}

}  // namespace ilshost
