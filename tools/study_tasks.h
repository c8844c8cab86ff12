// Tasks of a study: one per (position, heading). Each task's project is the
// base command file with the placed object's plates added before EN; its
// result is the disturbance of the CDI against the base run, per segment.
#pragma once

#include <string>
#include <vector>

#include "host_files.h"
#include "study_file.h"
#include "tolerance.h"

namespace ilshost::study {

struct Task {
    int id = 0;
    double x = 0.0, y = 0.0, heading = 0.0;
};

// x outermost, then y, then heading; ids count from 0.
std::vector<Task> taskList(const Study& study);

// "t000017"
std::string taskName(int id);

// A file the command file names (motion file, user flight profile), as written.
std::vector<std::string> referencedFiles(const std::string& commandText);

// The command file of a task: the base text with the object's commands added
// before its last EN. False when the base holds no EN command.
bool taskCommandFile(const std::string& baseText, const std::string& objectCommands,
                     std::string& out);

// The object's commands for a task (SP commands, framed by SG lines for a
// moving object or when the base moves plates); the motion file's text in
// motion when the object moves.
std::string objectCommands(const Study& study, const Task& task, bool baseHasSg,
                           const std::string& motionName, std::string& motion);

// Writes a task's project into folder: RUN.dat, RUN.post, the object's motion
// file and the files the base command file names. False with a reason.
bool writeTaskProject(const Study& study, const Task* task, const std::string& folder,
                      std::string& error);

// CDI values in microamperes of a run, per CDI Trace, and the point positions.
struct RunValues {
    std::vector<std::string> traces;          // column titles
    std::vector<std::vector<double>> cdi;     // per Trace, per point
    std::vector<Position> positions;          // feet
    int ilsType = 0;
};

// The disturbance of one segment: the point with the largest ratio.
struct SegmentWorst {
    std::string name;
    int points = 0;
    double disturbance = 0.0;  // signed, microamperes
    double along = 0.0;        // metres from the threshold
    double allowed = 0.0;      // microamperes at that point
    double ratio = 0.0;        // |disturbance| / allowed
    std::string trace;
};

struct Evaluation {
    std::vector<SegmentWorst> segments;  // in the study's segment order
    int worst = -1;                      // index of the segment with the largest ratio
    bool pass = true;                    // every ratio within 1
};

// The segments a study checks, from the base run's flight.
std::vector<ToleranceSegment> studySegments(const Study& study, const RunValues& base,
                                            std::vector<double>& along);

// Allowed disturbance at a point of a segment.
double allowedAt(const Study& study, const ToleranceSegment& segment, double along);

// Disturbance = task CDI minus base CDI, Trace by Trace, evaluated per
// segment against the study's allowance. False when the runs do not match.
bool evaluate(const Study& study, const std::vector<ToleranceSegment>& segments,
              const std::vector<double>& along, const RunValues& base, const RunValues& task,
              Evaluation& out, std::string& error);

// One task's outcome: what the study's CSV shows in its row.
struct TaskResult {
    Task task;
    bool failed = false;   // the run or its post-processing failed
    std::string failure;   // the reason: the log's first ERROR line
    Evaluation evaluation;
};

// The CSV header and row of a result; the segment columns follow the names.
std::string resultHeader(const std::vector<ToleranceSegment>& segments);
std::string resultRow(const TaskResult& result, size_t segmentCount);

// A result file: a fingerprint line, the body and a checksum line. Reading
// checks all three, so a half-written file or one of an older study is refused.
std::string sealText(const std::string& fingerprint, const std::string& body);
bool unsealText(const std::string& text, const std::string& fingerprint, std::string& body);

// Parses a row back (for the maps and summary).
bool parseResultRow(const std::string& row, const std::vector<ToleranceSegment>& segments,
                    TaskResult& out);

// 64-bit FNV-1a of a text, as 16 hex digits.
std::string checksum(const std::string& text);

}  // namespace ilshost::study
