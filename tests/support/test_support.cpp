#include "support/test_support.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <random>
#include <thread>

#include "ilscalc/ilscalc.h"
#include "path/run_tables.h"
#include "platform/platform.h"

namespace ils::test {

::testing::AssertionResult near(double actual, double expected, double relTol, double absTol) {
    const double diff = std::fabs(actual - expected);
    if (std::isfinite(actual) && (diff <= absTol || diff <= relTol * std::fabs(expected)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "actual " << actual << " expected " << expected
                                         << " (diff " << diff << ", rel " << relTol << ", abs "
                                         << absTol << ")";
}

std::string makeTempDir(const std::string& tag) {
    static std::atomic<int> counter{0};
    namespace fs = std::filesystem;
    const fs::path base = fs::temp_directory_path() / "ilscalc-tests";
    fs::create_directories(base);
    // Tests of one program run in processes of their own, at the same time:
    // a random tag per process keeps their directories apart.
    static const std::string processTag = std::to_string(std::random_device{}());
    const fs::path dir = base / (tag + "-" + processTag + "-" +
                                 std::to_string(counter.fetch_add(1)));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string() + "/";
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

std::string nativePath(const std::string& path) {
    std::string p = path;
    for (char& c : p) {
        if (c == '/' || c == '\\') c = platform::kSeparator;
    }
    return p;
}

std::string slashPath(const std::string& path) {
    std::string p = path;
    for (char& c : p) {
        if (c == '\\') c = '/';
    }
    return p;
}

std::string readText(const std::string& path) {
    const std::string bytes = readFile(path);
#if defined(_WIN32)
    // The inverse of "w" mode: each "\n" was written as "\r\n". Reading in
    // text mode would also stop at a Ctrl-Z byte.
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        text.push_back(bytes[i]);
    }
    return text;
#else
    return bytes;  // "w" mode writes "\n" as it is
#endif
}

std::vector<std::string> textLines(const std::string& text) {
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

::testing::AssertionResult sameLines(const std::string& actual, const std::string& expected) {
    const std::vector<std::string> a = textLines(actual);
    const std::vector<std::string> e = textLines(expected);
    for (size_t i = 0; i < a.size() || i < e.size(); ++i) {
        if (i >= a.size() || i >= e.size() || a[i] != e[i]) {
            return ::testing::AssertionFailure()
                   << "line " << i + 1 << " differs: actual \"" << (i < a.size() ? a[i] : "(none)")
                   << "\", expected \"" << (i < e.size() ? e[i] : "(none)") << "\"";
        }
    }
    return ::testing::AssertionSuccess();
}

CommandOutcome runCommandLine(const std::string& commandLine) {
    const std::string capture = makeTempDir("capture") + "out.txt";
    std::string shellLine = commandLine + " > \"" + capture + "\" 2>&1";
#if defined(_WIN32)
    // cmd.exe takes the outer quotes of /c's text away.
    shellLine = "\"" + shellLine + "\"";
#endif
    std::fflush(nullptr);
    const int status = std::system(shellLine.c_str());
    CommandOutcome o;
    o.output = readText(capture);
#if defined(_WIN32)
    o.code = status;
#else
    // The wait status of the shell: exited normally when the low 7 bits are 0.
    o.code = (status != -1 && (status & 0x7f) == 0) ? (status >> 8) & 0xff : -1;
#endif
    return o;
}

TestRun::TestRun() : rd(std::make_unique<RunData>()) {
    scratch = makeTempDir("unit");
    std::memcpy(rd->scratchDirectory, scratch.c_str(), scratch.size() + 1);
    rd->messageLog = std::tmpfile();
    rd->commandFile = std::tmpfile();
}

TestRun::~TestRun() {
    if (rd->messageLog != nullptr) std::fclose(rd->messageLog);
    if (rd->commandFile != nullptr) std::fclose(rd->commandFile);
    releaseRunTables(*rd);
    // Switches a test set for this run do not reach the next test.
    testControl() = TestControl{};
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
}

void TestRun::setCommandText(const std::string& text) {
    std::fclose(rd->commandFile);
    rd->commandFile = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), rd->commandFile);
    std::rewind(rd->commandFile);
}

std::string TestRun::logText() const {
    std::fflush(rd->messageLog);
    const long pos = std::ftell(rd->messageLog);
    std::string out(static_cast<size_t>(pos), '\0');
    std::rewind(rd->messageLog);
    const size_t got = std::fread(out.data(), 1, out.size(), rd->messageLog);
    out.resize(got);
    std::fseek(rd->messageLog, 0, SEEK_END);
    return out;
}

int32_t waitForRun(double timeoutSeconds) {
    const auto start = std::chrono::steady_clock::now();
    int32_t percent = 0;
    int32_t state = ILSCalc_GetProgress(&percent);
    while (state == ILSCALC_RUNNING) {
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >
            timeoutSeconds) {
            ADD_FAILURE() << "run did not end within " << timeoutSeconds << " s";
            ILSCalc_Stop();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        state = ILSCalc_GetProgress(&percent);
    }
    return state;
}

CalcResult runCommandFile(const std::string& commands, const std::string& runName,
                          const std::string& projectDir, uint32_t option) {
    CalcResult r;
    r.projectDir = projectDir.empty() ? makeTempDir("run") : projectDir;
    writeFile(r.projectDir + runName + ".dat", commands);
    r.startCode = ILSCalc_Start(runName.c_str(), r.projectDir.c_str(), r.projectDir.c_str(), option);
    r.scratchDir = r.projectDir + "scratch/";
    if (r.startCode == 0) waitForRun();
    r.state = ILSCalc_GetProgress(&r.percent);
    r.log = readText(r.scratchDir + runName + ".out");
    r.fieldFile = readFile(r.scratchDir + runName + ".fld");
    return r;
}

void addTestElement(RunData& rd, int j, double x, double y, double z, Complex csb, Complex sbo) {
    AntennaArray& a = rd.arrays[j];
    const int i = a.elementCount++;
    a.elementX[i] = x;
    a.elementY[i] = y;
    a.elementZ[i] = z;
    a.csbCurrent[i] = csb;
    a.sboCurrent[i] = sbo;
    double sx = 0, sy = 0, sz = 0;
    for (int m = 0; m < a.elementCount; ++m) {
        sx += a.elementX[m];
        sy += a.elementY[m];
        sz += a.elementZ[m];
    }
    a.centroidX = sx / a.elementCount;
    a.centroidY = sy / a.elementCount;
    a.centroidZ = sz / a.elementCount;
}

std::vector<ObservationPoint> tablePoints(RunData& rd) {
    std::vector<ObservationPoint> out;
    TableStore<ObservationPoint>::Reader reader;
    EXPECT_EQ(reader.open(rd.pointTable, rd.messageLog), 0);
    while (true) {
        const auto block = reader.next(7);  // odd blocks, to cross their edges
        if (block.empty()) break;
        out.insert(out.end(), block.begin(), block.end());
    }
    EXPECT_FALSE(reader.failed());
    EXPECT_EQ(out.size(), static_cast<size_t>(rd.pointCount));
    return out;
}

std::vector<FieldRecord> fieldRecords(RunData& rd) {
    std::vector<FieldRecord> out;
    TableStore<FieldRecord>::Reader reader;
    EXPECT_EQ(reader.open(rd.fieldTable, rd.messageLog), 0);
    while (true) {
        const auto block = reader.next(5);
        if (block.empty()) break;
        out.insert(out.end(), block.begin(), block.end());
    }
    EXPECT_FALSE(reader.failed());
    EXPECT_EQ(out.size(), static_cast<size_t>(rd.pointCount));
    return out;
}

bool allFinite(const std::vector<FieldRecord>& records) {
    for (const FieldRecord& r : records) {
        for (const Complex& c : r.slot) {
            if (!std::isfinite(c.real()) || !std::isfinite(c.imag())) return false;
        }
    }
    return true;
}

std::string messages(const std::string& log) {
    return log.substr(0, log.find("\nScattered Fields\n"));
}

int32_t int32At(const std::string& bytes, size_t offset) {
    int32_t v = 0;
    if (offset + sizeof v <= bytes.size()) std::memcpy(&v, bytes.data() + offset, sizeof v);
    return v;
}

double doubleAt(const std::string& bytes, size_t offset) {
    double v = 0;
    if (offset + sizeof v <= bytes.size()) std::memcpy(&v, bytes.data() + offset, sizeof v);
    return v;
}

int openDescriptors() {
    namespace fs = std::filesystem;
    std::error_code ec;
    int n = 0;
    for (fs::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end; it.increment(ec)) ++n;
    return ec ? -1 : n;
}

}  // namespace ils::test
