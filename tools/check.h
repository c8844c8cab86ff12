// Checking a project before computing: the command file, the files it names
// and the post parameter file go through the library's own readers, without
// any field computation; suspicious input that the readers accept is warned
// about; a summary estimates the run's size and time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ilshost {

struct CheckSummary {
    bool commandFileOk = false;   // every command read without error, up to EN
    bool postFileOk = true;       // no parameter file, or one read without error
    bool havePostFile = false;
    int errors = 0;
    int warnings = 0;
    char systemType = '?';        // 'L' localizer, 'G' glide slope
    int captureEffect = 0;        // 1 two-frequency
    int courseElements = 0;
    int clearanceElements = 0;
    int64_t pointCount = 0;
    int plates = 0;
    int movingPlates = 0;
    int wires = 0;
    int skippedScatterers = 0;    // contribution code 2
    int receiverTraces = 0;       // CDI and flag Traces of the parameter file
    int64_t fieldFileBytes = 0;
    int64_t messageLogBytes = 0;
    int64_t debugTableBytes = 0;  // v1.txt
    double estimatedSeconds = 0.0;
};

// Checks PROJECT/RUN.dat and, when postPath is not empty, that parameter
// file. The process must be inside the project directory (files named in the
// command file are relative to it). Every finding is appended to `text` as
// it would be shown. scratchDir holds scratch tables should memory run short.
CheckSummary checkProject(const std::string& projectDir, const std::string& runName,
                          const std::string& postPath, const std::string& scratchDir,
                          bool timeSample, std::string& text);

// The summary lines shown after the findings.
std::string summaryText(const CheckSummary& s);

// Warnings about text that the scanning rules accept but that is almost
// surely a mistake: a number glued to letters or a comma ("110,3", "2250m"),
// a blank line, a command word in lower case. One entry per finding, with
// the file name and line number. Comment lines (CM) are free text.
std::vector<std::string> lintCommandText(const std::string& fileName, const std::string& text);
std::vector<std::string> lintParameterText(const std::string& fileName, const std::string& text);

// Bytes of the run's outputs for a flight of n points.
int64_t fieldFileBytesFor(int64_t n);
int64_t messageLogBytesFor(int64_t n, int arraysWithFields);
int64_t debugTableBytesFor(int64_t n, int receiverCalls);

// "12.3 MB" style size.
std::string sizeText(int64_t bytes);

}  // namespace ilshost
