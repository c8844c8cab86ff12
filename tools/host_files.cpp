#include "host_files.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace ilshost {

namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty()) {
        if (line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Trims as the library trims names: every byte of value 32 or less, and every
// byte from 128 up, counts as blank at either end.
std::string trimmed(const std::string& s) {
    auto blank = [](char c) { return static_cast<signed char>(c) <= 32; };
    size_t b = 0;
    size_t e = s.size();
    while (b < e && blank(s[b])) ++b;
    while (e > b && blank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

bool parseNumber(const std::string& word, double& value) {
    if (word.empty()) return false;
    char* end = nullptr;
    value = std::strtod(word.c_str(), &end);
    return end != nullptr && *end == '\0';
}

std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"\n") == std::string::npos) return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string formatNumber(double v) {
    if (std::isnan(v)) return "nan";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

}  // namespace

bool parsePostNames(const std::string& text, PostNames& names, std::string& error) {
    const std::vector<std::string> lines = splitLines(text);
    if (lines.size() < 4) {
        error = "the post parameter file holds fewer than four lines";
        return false;
    }
    names.outputPrefix = trimmed(lines[0]);
    for (char& c : names.outputPrefix) {
        if (c == '\\') c = '/';
    }
    names.dataName = trimmed(lines[1]);
    names.outputName = trimmed(lines[2]);
    if (names.outputPrefix.empty() || names.dataName.empty() || names.outputName.empty()) {
        error = "lines 1 to 3 of the post parameter file must name the report prefix, "
                "the field file and the report";
        return false;
    }
    int type = -1;
    if (std::sscanf(lines[3].c_str(), "%d", &type) != 1 || (type != 0 && type != 1)) {
        error = "line 4 of the post parameter file must be 0 (localizer) or 1 (glide slope)";
        return false;
    }
    names.ilsType = type;
    int backcourse = 0;
    if (lines.size() >= 6 &&
        std::sscanf(lines[5].c_str(), "%d %d %d", &backcourse, &names.referenceCode,
                    &names.distanceUnitsCode) != 3) {
        names.referenceCode = -1;
        names.distanceUnitsCode = -1;
    }
    // Trace lines: lines 7, 10, 13 and 16.
    for (size_t line = 6; line < lines.size() && line < 18; line += 3) {
        int active = 0;
        TraceInfo t;
        if (std::sscanf(lines[line].c_str(), "%d %d %d %d %d %d %d", &active, &t.outputType, &t.arraySelect,
                        &t.fieldType, &t.cdiFilter, &t.flightCorrections, &t.unitsCode) == 7 &&
            active != 0) {
            names.traces.push_back(t);
        }
    }
    return true;
}

std::string reportPathFor(const PostNames& names, const std::string& baseDir) {
    std::string path = names.outputPrefix + names.outputName + ".PTS";
    if (!path.empty() && path.front() == '/') return path;
    std::string base = baseDir;
    if (!base.empty() && base.back() != '/') base.push_back('/');
    if (path.rfind("./", 0) == 0) path.erase(0, 2);
    return base + path;
}

bool parseReport(const std::string& text, Report& report, std::string& error) {
    report = Report{};
    const std::vector<std::string> lines = splitLines(text);
    size_t i = 0;
    bool haveHeader = false;
    for (; i < lines.size(); ++i) {
        const std::vector<std::string> w = words(lines[i]);
        if (w.size() >= 6 && w[0] == "Data" && w[1] == "File:") {
            report.dataName = w[2];
            report.outputName = w[5];
        } else if (w.size() >= 5 && w[0] == "Flight" && w[1] == "Points:") {
            report.pointCount = std::atoi(w[2].c_str());
            haveHeader = true;
        } else if (w.size() >= 3 && w[0] == "Tr") {
            const size_t n = static_cast<size_t>(std::atoi(w[1].c_str()));
            if (n < 1 || n > 4) continue;
            if (report.columns.size() < n + 1) report.columns.resize(n + 1);
            report.columns[n].name = "Y" + std::to_string(n);
            report.columns[n].label = w[2];
            if (w.size() > 3 && w[3] == "CRS:") report.columns[n].course = true;
            if (w.size() > 3 && w[3] == "CLR:") report.columns[n].clearance = true;
        } else if (!w.empty() && w[0] == "X") {
            break;
        }
    }
    if (!haveHeader || i >= lines.size()) {
        error = "the report has no header or no column line";
        return false;
    }
    // Column-name line: X then Y1 .. Yn.
    const std::vector<std::string> names = words(lines[i]);
    const size_t columnCount = names.size();
    if (report.columns.size() < columnCount) report.columns.resize(columnCount);
    report.columns.resize(columnCount);
    for (size_t c = 0; c < columnCount; ++c) {
        report.columns[c].name = names[c];
        if (c > 0 && names[c] != "Y" + std::to_string(c)) {
            error = "unexpected column name " + names[c] + " in the report";
            return false;
        }
    }
    ++i;
    // Unit line: one parenthesised label per column; "(% mod)" holds a blank.
    if (i >= lines.size()) {
        error = "the report ends before its unit line";
        return false;
    }
    std::vector<std::string> units;
    const std::string& unitLine = lines[i];
    for (size_t p = unitLine.find('('); p != std::string::npos; p = unitLine.find('(', p + 1)) {
        const size_t q = unitLine.find(')', p);
        if (q == std::string::npos) break;
        units.push_back(unitLine.substr(p, q - p + 1));
        p = q;
    }
    if (units.size() != columnCount) {
        error = "the report's unit line does not match its columns";
        return false;
    }
    for (size_t c = 0; c < columnCount; ++c) report.columns[c].unit = units[c];
    ++i;
    for (; i < lines.size(); ++i) {
        const std::vector<std::string> w = words(lines[i]);
        if (w.empty()) continue;
        if (w.size() != columnCount) {
            error = "report row " + std::to_string(report.rows.size() + 1) + " holds " +
                    std::to_string(w.size()) + " values instead of " + std::to_string(columnCount);
            return false;
        }
        std::vector<double> row(columnCount);
        for (size_t c = 0; c < columnCount; ++c) {
            if (!parseNumber(w[c], row[c])) {
                error = "report row " + std::to_string(report.rows.size() + 1) +
                        " holds a value that is not a number: " + w[c];
                return false;
            }
        }
        report.rows.push_back(std::move(row));
    }
    if (static_cast<int>(report.rows.size()) != report.pointCount) {
        error = "the report announces " + std::to_string(report.pointCount) + " points but holds " +
                std::to_string(report.rows.size()) + " rows";
        return false;
    }
    return true;
}

std::string columnTitle(const ReportColumn& column) {
    if (column.label.empty()) return column.name + " " + column.unit;
    std::string arrays;
    if (column.course && column.clearance) {
        arrays = " course+clearance";
    } else if (column.course) {
        arrays = " course";
    } else if (column.clearance) {
        arrays = " clearance";
    }
    return column.name + " " + column.label + arrays + " " + column.unit;
}

std::string reportCsv(const Report& report) {
    std::string out;
    for (size_t c = 0; c < report.columns.size(); ++c) {
        if (c > 0) out += ',';
        out += csvField(columnTitle(report.columns[c]));
    }
    out += '\n';
    for (const std::vector<double>& row : report.rows) {
        for (size_t c = 0; c < row.size(); ++c) {
            if (c > 0) out += ',';
            out += formatNumber(row[c]);
        }
        out += '\n';
    }
    return out;
}

bool parseFieldPositions(const std::string& bytes, std::vector<Position>& positions,
                         std::string& error) {
    positions.clear();
    constexpr size_t kHeader = 20;
    constexpr size_t kBlock = 504;
    if (bytes.size() < kHeader) {
        error = "the field file is shorter than its header";
        return false;
    }
    int32_t count = 0;
    std::memcpy(&count, bytes.data(), sizeof count);
    if (count < 0 || bytes.size() < kHeader + kBlock * static_cast<size_t>(count)) {
        error = "the field file is shorter than its point count says";
        return false;
    }
    positions.resize(static_cast<size_t>(count));
    for (size_t i = 0; i < positions.size(); ++i) {
        double xyz[3];
        std::memcpy(xyz, bytes.data() + kHeader + kBlock * i, sizeof xyz);
        positions[i] = Position{xyz[0], xyz[1], xyz[2]};
    }
    return true;
}

std::vector<std::string> logMessages(const std::string& logText) {
    std::vector<std::string> out;
    const std::vector<std::string> lines = splitLines(logText);
    bool inMessage = false;
    bool afterLastLine = false;
    for (const std::string& line : lines) {
        if (line.rfind("ERROR! ", 0) == 0 || line.rfind("WARNING! ", 0) == 0) {
            out.push_back(line);
            inMessage = true;
            afterLastLine = false;
            continue;
        }
        if (inMessage && line.rfind("Last line read:", 0) == 0) {
            out.push_back(line);
            afterLastLine = true;
            continue;
        }
        if (inMessage && afterLastLine && !line.empty() && line[0] == '\t') {
            out.push_back(line);
            afterLastLine = false;
            continue;
        }
        // The plate warnings continue on a line of their own.
        if (inMessage && (line.rfind("of the time.", 0) == 0 || line.rfind("the system.", 0) == 0)) {
            out.push_back(line);
            continue;
        }
        inMessage = false;
        afterLastLine = false;
    }
    return out;
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out.push_back('\\');
        if (static_cast<unsigned char>(c) >= 32) out.push_back(c);
    }
    return out + "\"";
}

std::string jsonNumber(double v) {
    if (!std::isfinite(v)) return "null";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

bool readWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool writeWholeFile(const std::string& path, const std::string& text, std::string* error) {
    errno = 0;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        if (error != nullptr) *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    const size_t written = std::fwrite(text.data(), 1, text.size(), out);
    int why = written == text.size() ? 0 : errno;
    if (std::fflush(out) != 0 && why == 0) why = errno;
    if (std::fclose(out) != 0 && why == 0) why = errno;
    if (written == text.size() && why == 0) return true;
    // A cut file must not pass for a complete one.
    std::remove(path.c_str());
    if (error != nullptr) {
        *error = "cannot write " + path + ": " + std::strerror(why != 0 ? why : EIO);
    }
    return false;
}

}  // namespace ilshost
