// Shared helpers for the tests: temporary directories, files, running a
// command file through the exports, and one comparison helper.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "interface/run_data.h"
#include "interface/test_control.h"

namespace ils::test {

// Tolerances for the physics checks.
inline constexpr double kTightRel = 1e-12;
inline constexpr double kTightAbs = 1e-15;

// Relative comparison with an absolute floor near zero.
::testing::AssertionResult near(double actual, double expected, double relTol, double absTol);
#define EXPECT_CLOSE(actual, expected, rel, abs) \
    EXPECT_TRUE(::ils::test::near((actual), (expected), (rel), (abs)))

// A fresh, empty directory under the build tree; ends in '/'.
std::string makeTempDir(const std::string& tag);
void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);

// A path with the separators the library uses in its messages ('\\' on
// Windows, '/' elsewhere).
std::string nativePath(const std::string& path);
// A path with '/' only, as paths read from input files are shown.
std::string slashPath(const std::string& path);

// Text files as the library writes them ("w" mode) have CRLF line ends on
// Windows. readText reads one as "r" mode would (each "\r\n" as "\n" on
// Windows, the bytes as they are elsewhere); sameLines compares two texts
// line by line whatever their line ends.
std::string readText(const std::string& path);
std::vector<std::string> textLines(const std::string& text);
::testing::AssertionResult sameLines(const std::string& actual, const std::string& expected);
#define EXPECT_SAME_LINES(actual, expected) \
    EXPECT_TRUE(::ils::test::sameLines((actual), (expected)))

// Skips a test that needs a facility only Linux has (/dev/full, /proc).
#if defined(_WIN32)
#define ILSCALC_SKIP_ON_WINDOWS(why) GTEST_SKIP() << "not on Windows: " << (why)
#else
#define ILSCALC_SKIP_ON_WINDOWS(why) static_cast<void>(0)
#endif

// Runs a command line through the system's shell with its standard output
// and error captured together; code is its exit status, -1 when it did not
// exit normally.
struct CommandOutcome {
    int code = -1;
    std::string output;
};
CommandOutcome runCommandLine(const std::string& commandLine);

// A RunData for unit tests, with the message log and command file in
// temporary files (use setCommandText / logText).
struct TestRun {
    std::unique_ptr<RunData> rd;
    std::string scratch;  // scratch directory (ends in '/')
    TestRun();
    ~TestRun();
    void setCommandText(const std::string& text);
    std::string logText() const;
};

// Runs a command file through ILSCalc_Start / ILSCalc_GetProgress.
struct CalcResult {
    int32_t startCode = -1;
    int32_t state = -1;
    int32_t percent = -1;
    std::string log;         // the .out file
    std::string fieldFile;   // the .fld file bytes
    std::string projectDir;  // ends in '/'
    std::string scratchDir;  // ends in '/'
};
// option: ILSCalc_Start's option argument (the low 8 bits cap the threads).
CalcResult runCommandFile(const std::string& commands, const std::string& runName = "t",
                          const std::string& projectDir = "", uint32_t option = 0);
// Waits until the run state is no longer Running (at most timeoutSeconds).
int32_t waitForRun(double timeoutSeconds = 120.0);

// Appends element (x, y, z) with its currents to array j and keeps the
// centroid at the mean element position, as the array reader does.
void addTestElement(RunData& rd, int j, double x, double y, double z, Complex csb, Complex sbo);

// Every entry of the run's PointTable and FieldTable, whichever storage holds them.
std::vector<ObservationPoint> tablePoints(RunData& rd);
std::vector<FieldRecord> fieldRecords(RunData& rd);

// True when no slot of any record holds a NaN or an infinity.
bool allFinite(const std::vector<FieldRecord>& records);

// The messages of a run: its log before the field run's "Scattered Fields" table.
std::string messages(const std::string& log);

// Number of the process's open file descriptors, or -1 where the system
// cannot list them (/proc/self/fd).
int openDescriptors();

// Little-endian readers for FieldFile bytes.
int32_t int32At(const std::string& bytes, size_t offset);
double doubleAt(const std::string& bytes, size_t offset);

}  // namespace ils::test
