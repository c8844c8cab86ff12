// Course-structure tolerance checks of localizer and glide-path CDI traces
// against the limits of a facility performance category. Pure functions:
// distances are metres along the runway direction, measured from the
// threshold, negative before it (on the approach side).
#pragma once

#include <string>
#include <vector>

#include "host_files.h"

namespace ilshost {

enum class Facility { Localizer, GlidePath };

// One stretch of the approach with a limit that runs linearly from limitFrom
// at alongFrom to limitTo at alongTo. An open start is -infinity.
struct ToleranceSegment {
    std::string name;
    double alongFrom = 0.0;
    double alongTo = 0.0;
    double limitFrom = 0.0;  // microamperes
    double limitTo = 0.0;
};

// Where the named points lie, in metres along the runway from the threshold.
struct ApproachPoints {
    double pointA = -7500.0;
    double pointB = -1050.0;
    double pointC = -286.2;   // glide path 30 m above the threshold plane
    double pointD = 900.0;
    double pointE = 0.0;      // 600 m before the stop end; valid with hasStopEnd
    bool hasStopEnd = false;
};

// Category 1, 2 or 3; returns the segments in order along the approach.
std::vector<ToleranceSegment> courseStructureSegments(Facility facility, int category,
                                                      const ApproachPoints& points);

// Limit of a segment at an along-track position inside it.
double limitAt(const ToleranceSegment& segment, double along);

// Index of the segment that holds a position, -1 for none. Each segment holds
// [alongFrom, alongTo); the last one also holds its end.
int segmentIndex(const std::vector<ToleranceSegment>& segments, double along);

struct SegmentResult {
    ToleranceSegment segment;
    int points = 0;
    double worstExcursion = 0.0;  // signed CDI minus mean course, microamperes
    double worstAlong = 0.0;      // where it occurs
    double limitAtWorst = 0.0;
    bool pass = true;             // every point of the segment within its limit
};

struct ToleranceResult {
    double meanCourse = 0.0;  // mean CDI over the evaluated points
    int evaluatedPoints = 0;
    std::vector<SegmentResult> segments;
    std::vector<double> limits;  // per input point: the limit, NaN outside every segment
    std::vector<char> failing;   // per input point: 1 where it exceeds its limit
    bool pass = true;            // no checked point exceeds its limit
    bool complete = true;        // every segment holds at least one point
};

// Microamperes of a localizer CDI per unit of DDM (150 uA at 0.155 DDM), the
// scale of the report's localizer microamperes.
constexpr double kLocalizerUaPerDdm = 150.0 / 0.155;

// The named points of the approach (A, B, C, D, E, threshold) that lie on
// the segments of a category, for marking plots: name and along-track metres.
struct ApproachMark {
    std::string name;
    double along = 0.0;
};
std::vector<ApproachMark> approachMarks(Facility facility, int category, const ApproachPoints& points);

// Evaluates one CDI trace. along[i] and cdi[i] belong to the same point.
// The mean course is the mean CDI over the points that lie in a segment; the
// worst excursion of a segment is the point with the largest ratio of
// |CDI - mean| to its limit. A trace with no point in any segment does not
// pass; one with a segment that holds no point is not complete.
ToleranceResult evaluateCourseStructure(const std::vector<ToleranceSegment>& segments,
                                        const std::vector<double>& along,
                                        const std::vector<double>& cdi);

// Geometry of the runway as the host is given it, in feet of the run's frame.
struct RunwayGeometry {
    double thresholdX = 0.0, thresholdY = 0.0;
    bool hasStopEnd = false;
    double stopEndX = 0.0, stopEndY = 0.0;
};

// Along-track positions (metres) and lateral offsets (metres) of flight
// points. The runway direction runs from the threshold to the stop end; with
// no stop end it is the flight's own direction from first to last point.
// Returns false when no direction can be found.
bool alongTrack(const RunwayGeometry& runway, const std::vector<Position>& positions,
                std::vector<double>& along, std::vector<double>& lateral, std::string& error);

// Point C from the flight: where its height, interpolated between points
// before the threshold, first falls to 30 m on the way in; a nominal 3 degree
// path with a 15 m crossing height (286.2 m before the threshold) when the
// flight never comes that low. Limited to lie between B and the threshold.
double pointCFromFlight(const std::vector<double>& along, const std::vector<Position>& positions);

// The formatted table the host prints.
std::string toleranceTable(const std::string& traceTitle, Facility facility, int category,
                           const ToleranceResult& result);

}  // namespace ilshost
