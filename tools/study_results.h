// The results of a finished study: the CSV of every task, heat maps of the
// worst ratio with the area's boundary, the boundary as polygons (CSV and
// GeoJSON) and a summary of the area's extent.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "study_file.h"
#include "study_tasks.h"

namespace ilshost::study {

// A regular grid of values, value(ix, iy) = v[ix * ny + iy]; NaN where unknown.
struct Grid {
    std::vector<double> xs, ys;
    std::vector<double> v;
    double at(size_t ix, size_t iy) const { return v[ix * ys.size() + iy]; }
};

// The lines where the grid's value crosses the level (marching squares, linear
// interpolation along cell edges), chained into polylines; a closed one ends
// on its first point. Cells with an unknown corner are left out.
using Polyline = std::vector<std::pair<double, double>>;
std::vector<Polyline> contourLines(const Grid& grid, double level);

// Along-track (towards the stop end) and lateral (left of that direction)
// position of a point, metres from the threshold.
struct RunwayFrame {
    double tx = 0.0, ty = 0.0, ux = 1.0, uy = 0.0;
    double along(double x, double y) const { return (x - tx) * ux + (y - ty) * uy; }
    double lateral(double x, double y) const { return -(x - tx) * uy + (y - ty) * ux; }
};
RunwayFrame runwayFrame(const Study& study, const RunValues& base);

// Latitude and longitude of a point of the run's frame (local tangent plane).
std::pair<double, double> geographic(const Study& study, double x, double y);

// Builds everything in the study folder from the task results. Prints what
// it wrote; false when a result is missing or unreadable, or the output
// cannot be written.
bool gatherResults(const Study& study, bool quiet);

}  // namespace ilshost::study
