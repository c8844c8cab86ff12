// The study file: a base project and run, the object to place, the grid of
// placements and the disturbance check. Read from TOML and validated whole
// before anything is computed.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace ilshost::study {

// One plate in the object's own frame: metres, the tilt in degrees. The frame
// has x forward (the heading's direction), y to the left, z up from the ground.
struct ObjectPlate {
    double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;  // bottom edge, ends 1 and 2
    double z = 0.0;                                  // bottom edge above ground
    double height = 0.0;
    double tilt = 0.0;
    int material = 1;
};

enum class ObjectKind { Aircraft, Building, Plates };

struct StudyObject {
    ObjectKind kind = ObjectKind::Aircraft;
    std::string aircraft;               // type name for an aircraft
    double width = 0.0, depth = 0.0, height = 0.0;  // building, metres
    int material = 1;                   // building
    std::vector<ObjectPlate> plates;    // a list of plates
    bool bothSides = true;              // plates also lit from behind: shadowing
    double speed = 0.0;                 // m/s along the heading; 0 = static
};

// Allowed disturbance of one course-structure segment.
struct Allowance {
    bool microamperes = false;  // false: a fraction of the segment's limit
    double value = 1.0;
};

struct Study {
    std::string file;      // the study file as given
    std::string folder;    // results folder, absolute, ending in '/'
    std::string project;   // base project folder, absolute, ending in '/'
    std::string run;       // base run name: RUN.dat and RUN.post
    StudyObject object;
    std::vector<double> xs, ys, headings;  // metres, degrees
    double groundZ = 0.0;                  // ground height in the run's frame, metres
    int category = 3;
    double thresholdX = 0.0, thresholdY = 0.0;
    bool hasStopEnd = false;
    double stopX = 0.0, stopY = 0.0;
    Allowance defaultAllowance;
    std::map<std::string, Allowance> segmentAllowance;  // by segment name
    std::vector<std::pair<double, double>> antennas;    // map markers, metres
    bool hasGeo = false;
    double latitude = 0.0, longitude = 0.0;  // of the threshold, degrees
    double bearing = 0.0;  // true bearing of threshold -> stop end, degrees
};

// The segment names a study may give an allowance for.
const std::vector<std::string>& segmentNames();

// Reads and validates a study file. On failure every problem is listed, each
// as "FILE:LINE: KEY: what is wrong".
bool loadStudy(const std::string& path, Study& study, std::vector<std::string>& errors);

// The same from a text (the path only names it in messages and anchors
// relative paths).
bool parseStudy(const std::string& text, const std::string& path, Study& study,
                std::vector<std::string>& errors);

// Values of an inclusive range from, from+step, ... up to `to` (within a
// thousandth of a step).
std::vector<double> rangeValues(double from, double to, double step);

}  // namespace ilshost::study
