// Files the host reads and writes around a run: the post parameter file's
// names, the .PTS report, the FieldFile positions, the message log lines and
// the CSV export. Pure functions over texts so the tests can feed them.
#pragma once

#include <string>
#include <vector>

namespace ilshost {

// The settings of one active Trace of a post parameter file.
struct TraceInfo {
    int outputType = 0, arraySelect = 0, fieldType = 0, cdiFilter = 0, flightCorrections = 0, unitsCode = 0;
};

// The three names at the top of a post parameter file and the station type.
struct PostNames {
    std::string outputPrefix;  // line 1, separators normalised to '/'
    std::string dataName;      // line 2
    std::string outputName;    // line 3
    int ilsType = -1;          // line 4: 0 localizer, 1 glide slope, -1 unreadable
    int referenceCode = -1;    // line 6: what X is (-1 unreadable)
    int distanceUnitsCode = -1;
    std::vector<TraceInfo> traces;  // active Traces in file order
};
bool parsePostNames(const std::string& text, PostNames& names, std::string& error);

// Where post-processing writes the report: prefix and name joined as the
// library joins them; a relative result is taken against baseDir.
std::string reportPathFor(const PostNames& names, const std::string& baseDir);

// One column of a report: X or a Trace.
struct ReportColumn {
    std::string name;      // "X", "Y1" .. "Y4"
    std::string unit;      // "(feet)", "(uA)", "(% mod)" ...
    std::string label;     // Trace kind: "CDI", "FLG", "CSB", "SBO"; empty for X
    bool course = false;   // the Trace echoes a course-array line
    bool clearance = false;
};
struct Report {
    std::string dataName;
    std::string outputName;
    int pointCount = 0;
    std::vector<ReportColumn> columns;        // X first
    std::vector<std::vector<double>> rows;    // one value per column
};
bool parseReport(const std::string& text, Report& report, std::string& error);

// A readable description of a column for axis titles and CSV headers,
// e.g. "Y1 CDI course (uA)".
std::string columnTitle(const ReportColumn& column);

// The report's columns as CSV: one header row with name and unit of each
// column, then one row per point.
std::string reportCsv(const Report& report);

// Positions (feet) of the points in a FieldFile, in file order.
struct Position {
    double x = 0.0, y = 0.0, z = 0.0;
};
bool parseFieldPositions(const std::string& bytes, std::vector<Position>& positions,
                         std::string& error);

// The user messages of a message log: every line that begins with "ERROR! "
// or "WARNING! ", each with the continuation lines that belong to it.
std::vector<std::string> logMessages(const std::string& logText);

// JSON text: a quoted, escaped string (control characters dropped) and a
// number (null when not finite).
std::string jsonString(const std::string& s);
std::string jsonNumber(double v);

// File helpers.
bool readWholeFile(const std::string& path, std::string& text);
// Writes a file whole; on failure the file is removed and error (when given)
// names it and the system's reason.
bool writeWholeFile(const std::string& path, const std::string& text, std::string* error = nullptr);

}  // namespace ilshost
