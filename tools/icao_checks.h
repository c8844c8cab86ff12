// ICAO Annex 10 checks of a report Trace beyond course structure: localizer
// displacement sensitivity and course alignment from a run across the
// course, localizer off-course clearance from an orbit, glide-path angle and
// half sectors from a level run through the path. Pure functions over the
// report's X values and a Trace converted to DDM.
#pragma once

#include <string>
#include <vector>

#include "host_files.h"

namespace ilshost {

// Microamperes of a glide-path CDI per unit of DDM (150 uA at 0.175 DDM).
constexpr double kGlidePathUaPerDdm = 150.0 / 0.175;

// A Trace as DDM: from microamperes with the receiver's scale, from a CDI
// normalised by 0.4 with the nominal depths (0.4 for a localizer, 0.8 for a
// glide path). A CDI normalised by the tone sum, or anything else, is
// refused with a reason. outputType comes from the parameter file.
bool traceAsDdm(const ReportColumn& column, int outputType, bool glidePath, const std::vector<double>& values,
                std::vector<double>& ddm, std::string& reason);

// One measured quantity of a check, with its limits and verdict.
struct Measure {
    std::string name;
    double value = 0.0;
    double low = 0.0, high = 0.0;  // allowed range
    std::string unit;
    bool found = false;            // the flight shows it at all
    bool pass = false;
};

struct IcaoCheck {
    std::string title;             // e.g. "Localizer course width and alignment"
    std::vector<Measure> measures;
    bool pass = false;             // every measure found and within its range
    std::string note;              // why a measure could not be found
};

// Where a sampled curve y(x) first crosses `level` between points i and i+1,
// searching from index `from` in the direction `step` (+1 or -1); NaN if never.
double crossing(const std::vector<double>& x, const std::vector<double>& y, double level, size_t from, int step);

// Displacement sensitivity (DDM/m) and alignment (m) from a run across the
// course at the reference datum: x is the cross-track offset in metres,
// centre the runway centreline's offset. Nominal 0.00145 DDM/m within 17 %
// (Category I, II) or 10 % (III); alignment within 10.5, 7.5 or 3 m.
IcaoCheck courseWidthCheck(const std::vector<double>& crossTrack, const std::vector<double>& ddm, double centre,
                           int category);

// Off-course clearance from an orbit: azimuth in degrees (0 on the course
// line). Beyond the angle where |DDM| first reaches 0.180, |DDM| >= 0.180 out
// to 10 degrees and >= 0.155 from 10 to 35 degrees, on both sides. limit[i]
// receives the required |DDM| at each point (NaN where none applies) and
// failing[i] 1 where a point breaks it.
IcaoCheck clearanceCheck(const std::vector<double>& azimuth, const std::vector<double>& ddm,
                         std::vector<double>& limit, std::vector<char>& failing);

// Glide-path angle and half sectors from a level run through the path:
// elevation in degrees. The angle is where DDM is 0, the half sectors where
// it is +-0.0875. Angle within 7.5 % (Category I, II) or 4 % (III) of the
// nominal; each half sector between 0.07 and 0.14 of the angle, and for
// Category II and III the lower one 0.12 +- 0.02 of it.
IcaoCheck glidePathAngleCheck(const std::vector<double>& elevation, const std::vector<double>& ddm,
                              double nominalAngle, int category);

// The table the host prints and the check's JSON object.
std::string icaoTable(const IcaoCheck& check, const std::string& traceTitle);
std::string icaoJson(const IcaoCheck& check, const std::string& traceTitle);

}  // namespace ilshost
