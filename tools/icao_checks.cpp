#include "icao_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>

#include "tolerance.h"

namespace ilshost {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Indices of the points in ascending x.
std::vector<size_t> byX(const std::vector<double>& x) {
    std::vector<size_t> order(x.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return x[a] < x[b]; });
    return order;
}

void sorted(const std::vector<double>& x, const std::vector<double>& y, std::vector<double>& xs,
            std::vector<double>& ys) {
    xs.clear();
    ys.clear();
    for (size_t i : byX(x)) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
        xs.push_back(x[i]);
        ys.push_back(y[i]);
    }
}

// Index of the sorted point nearest to where y changes sign closest to x0.
bool zeroNear(const std::vector<double>& xs, const std::vector<double>& ys, double x0, double& zero,
              size_t& index) {
    double best = std::numeric_limits<double>::infinity();
    bool found = false;
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
        if ((ys[i] <= 0.0 && ys[i + 1] >= 0.0) || (ys[i] >= 0.0 && ys[i + 1] <= 0.0)) {
            const double t = ys[i + 1] != ys[i] ? -ys[i] / (ys[i + 1] - ys[i]) : 0.0;
            const double z = xs[i] + t * (xs[i + 1] - xs[i]);
            if (std::fabs(z - x0) < best) {
                best = std::fabs(z - x0);
                zero = z;
                index = i;
                found = true;
            }
        }
    }
    return found;
}

// From the sorted point `from`, outwards in direction step, where |y| first
// reaches level (interpolated); NaN when it never does.
double outwardLevel(const std::vector<double>& xs, const std::vector<double>& ys, double level, size_t from,
                    int step) {
    std::vector<double> a(ys.size());
    for (size_t i = 0; i < ys.size(); ++i) a[i] = std::fabs(ys[i]);
    return crossing(xs, a, level, from, step);
}

Measure measure(const std::string& name, double value, double low, double high, const std::string& unit) {
    Measure m;
    m.name = name;
    m.value = value;
    m.low = low;
    m.high = high;
    m.unit = unit;
    m.found = std::isfinite(value);
    m.pass = m.found && value >= low - 1e-12 && value <= high + 1e-12;
    return m;
}

void conclude(IcaoCheck& c) {
    c.pass = !c.measures.empty();
    for (const Measure& m : c.measures) c.pass = c.pass && m.pass;
}

std::string num(double v, const char* format = "%.4g") {
    if (!std::isfinite(v)) return "-";
    char buf[40];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

}  // namespace

bool traceAsDdm(const ReportColumn& column, int outputType, bool glidePath, const std::vector<double>& values,
                std::vector<double>& ddm, std::string& reason) {
    ddm.clear();
    double factor = 0.0;
    if (column.label != "CDI") {
        reason = column.name + " is not a CDI Trace";
        return false;
    }
    if (column.unit == "(uA)") {
        factor = 1.0 / (glidePath ? kGlidePathUaPerDdm : kLocalizerUaPerDdm);
    } else if (column.unit == "(ddm)" && outputType == 1) {
        // Normalised by 0.4: DDM is the value times the nominal depth sum
        // that the microampere scale assumes.
        factor = glidePath ? 0.8 : 0.4;
    } else if (column.unit == "(ddm)") {
        reason = column.name + " is a CDI normalised by the sum of the tone levels, which the report does not "
                 "hold; use microamperes (units code 0) or output type 1 for this check";
        return false;
    } else {
        reason = column.name + " has the unit " + column.unit + ", not microamperes or DDM";
        return false;
    }
    for (double v : values) ddm.push_back(v * factor);
    return true;
}

double crossing(const std::vector<double>& x, const std::vector<double>& y, double level, size_t from, int step) {
    if (x.size() < 2 || from >= x.size()) return kNaN;
    for (long i = static_cast<long>(from); i + step >= 0 && i + step < static_cast<long>(x.size()); i += step) {
        const size_t a = static_cast<size_t>(i);
        const size_t b = static_cast<size_t>(i + step);
        if (y[a] == level) return x[a];
        if ((y[a] < level && y[b] >= level) || (y[a] > level && y[b] <= level)) {
            const double t = (level - y[a]) / (y[b] - y[a]);
            return x[a] + t * (x[b] - x[a]);
        }
    }
    return kNaN;
}

IcaoCheck courseWidthCheck(const std::vector<double>& crossTrack, const std::vector<double>& ddm, double centre,
                           int category) {
    IcaoCheck c;
    c.title = "Localizer displacement sensitivity and course alignment";
    std::vector<double> xs, ys;
    sorted(crossTrack, ddm, xs, ys);
    double zero = kNaN;
    size_t i0 = 0;
    if (!zeroNear(xs, ys, centre, zero, i0)) {
        c.note = "the DDM does not pass through 0 on this run";
    }
    const double left = std::isfinite(zero) ? outwardLevel(xs, ys, 0.155, i0, -1) : kNaN;
    const double right = std::isfinite(zero) ? outwardLevel(xs, ys, 0.155, i0 + 1, +1) : kNaN;
    const double sensitivity = std::isfinite(left) && std::isfinite(right) && right > left
                                   ? 0.310 / (right - left) : kNaN;
    if (std::isfinite(zero) && !std::isfinite(sensitivity)) {
        c.note = "the run does not reach 0.155 DDM on both sides of the course";
    }
    const double tol = category == 3 ? 0.10 : 0.17;
    c.measures.push_back(measure("displacement sensitivity", sensitivity, 0.00145 * (1 - tol),
                                 0.00145 * (1 + tol), "DDM/m"));
    c.measures.push_back(measure("course sector width (0.155 DDM to 0.155 DDM)",
                                 std::isfinite(sensitivity) ? right - left : kNaN, 0.310 / (0.00145 * (1 + tol)),
                                 0.310 / (0.00145 * (1 - tol)), "m"));
    const double align = category == 1 ? 10.5 : category == 2 ? 7.5 : 3.0;
    c.measures.push_back(measure("course alignment (DDM 0 from the centreline)",
                                 std::isfinite(zero) ? zero - centre : kNaN, -align, align, "m"));
    conclude(c);
    return c;
}

IcaoCheck clearanceCheck(const std::vector<double>& azimuth, const std::vector<double>& ddm,
                         std::vector<double>& limit, std::vector<char>& failing) {
    IcaoCheck c;
    c.title = "Localizer off-course clearance";
    limit.assign(azimuth.size(), kNaN);
    failing.assign(azimuth.size(), 0);
    std::vector<double> xs, ys;
    sorted(azimuth, ddm, xs, ys);
    double zero = kNaN;
    size_t i0 = 0;
    if (!zeroNear(xs, ys, 0.0, zero, i0)) c.note = "the DDM does not pass through 0 on this orbit";
    for (int side = -1; side <= 1; side += 2) {
        const char* name = side < 0 ? "left (azimuth < 0)" : "right (azimuth > 0)";
        const double a180 = std::isfinite(zero) ? outwardLevel(xs, ys, 0.180, side < 0 ? i0 : i0 + 1, side)
                                                : kNaN;
        const double reach = std::isfinite(a180) ? std::fabs(a180) : kNaN;
        c.measures.push_back(measure(std::string("angle where |DDM| reaches 0.180, ") + name, reach, 0.0, 10.0,
                                     "deg"));
        double minInner = kNaN, minOuter = kNaN, farthest = 0.0;
        for (size_t i = 0; i < azimuth.size(); ++i) {
            const double a = azimuth[i];
            if (!std::isfinite(a) || !std::isfinite(ddm[i]) || (side < 0 ? a > 0.0 : a < 0.0)) continue;
            const double r = std::fabs(a);
            farthest = std::max(farthest, r);
            double need = kNaN;
            if (std::isfinite(reach) && r >= reach && r <= 10.0) {
                need = 0.180;
                minInner = std::isfinite(minInner) ? std::min(minInner, std::fabs(ddm[i])) : std::fabs(ddm[i]);
            } else if (r > 10.0 && r <= 35.0) {
                need = 0.155;
                minOuter = std::isfinite(minOuter) ? std::min(minOuter, std::fabs(ddm[i])) : std::fabs(ddm[i]);
            }
            limit[i] = need;
            if (std::isfinite(need) && std::fabs(ddm[i]) < need - 1e-12) failing[i] = 1;
        }
        c.measures.push_back(measure(std::string("least |DDM| from there to 10 deg, ") + name, minInner, 0.180,
                                     INFINITY, "DDM"));
        c.measures.push_back(measure(std::string("least |DDM| from 10 to 35 deg, ") + name, minOuter, 0.155,
                                     INFINITY, "DDM"));
        c.measures.push_back(measure(std::string("orbit reaches 35 deg, ") + name, farthest, 35.0 - 1e-6, INFINITY,
                                     "deg"));
    }
    conclude(c);
    return c;
}

IcaoCheck glidePathAngleCheck(const std::vector<double>& elevation, const std::vector<double>& ddm,
                              double nominalAngle, int category) {
    IcaoCheck c;
    c.title = "Glide-path angle and half sectors";
    std::vector<double> xs, ys;
    sorted(elevation, ddm, xs, ys);
    double zero = kNaN;
    size_t i0 = 0;
    if (!zeroNear(xs, ys, nominalAngle, zero, i0)) c.note = "the DDM does not pass through 0 on this run";
    const double tol = category == 3 ? 0.04 : 0.075;
    c.measures.push_back(measure("glide-path angle", zero, nominalAngle * (1 - tol), nominalAngle * (1 + tol),
                                 "deg"));
    const double below = std::isfinite(zero) ? outwardLevel(xs, ys, 0.0875, i0, -1) : kNaN;
    const double above = std::isfinite(zero) ? outwardLevel(xs, ys, 0.0875, i0 + 1, +1) : kNaN;
    const double lower = std::isfinite(below) ? (zero - below) / zero : kNaN;
    const double upper = std::isfinite(above) ? (above - zero) / zero : kNaN;
    if (std::isfinite(zero) && (!std::isfinite(lower) || !std::isfinite(upper))) {
        c.note = "the run does not reach 0.0875 DDM on both sides of the path";
    }
    if (category == 1) {
        c.measures.push_back(measure("lower half sector / angle", lower, 0.07, 0.14, ""));
    } else {
        c.measures.push_back(measure("lower half sector / angle", lower, 0.10, 0.14, ""));
    }
    c.measures.push_back(measure("upper half sector / angle", upper, 0.07, 0.14, ""));
    conclude(c);
    return c;
}

std::string icaoTable(const IcaoCheck& check, const std::string& traceTitle) {
    std::string out = check.title + ": " + traceTitle + "\n";
    char buf[256];
    std::snprintf(buf, sizeof buf, "  %-56s %10s %10s %10s %-6s %s\n", "quantity", "measured", "from", "to", "unit",
                  "");
    out += buf;
    for (const Measure& m : check.measures) {
        std::snprintf(buf, sizeof buf, "  %-56s %10s %10s %10s %-6s %s\n", m.name.c_str(), num(m.value).c_str(),
                      num(m.low).c_str(), std::isinf(m.high) ? "-" : num(m.high).c_str(), m.unit.c_str(),
                      !m.found ? "NOT FOUND" : m.pass ? "pass" : "FAIL");
        out += buf;
    }
    if (!check.note.empty()) out += "  note: " + check.note + "\n";
    out += check.pass ? "  result: pass\n" : "  result: FAIL (or not measurable from this flight)\n";
    return out;
}

std::string icaoJson(const IcaoCheck& check, const std::string& traceTitle) {
    std::string j = "    {\"check\": " + jsonString(check.title) + ", \"trace\": " + jsonString(traceTitle) +
                    ", \"result\": " + (check.pass ? "\"pass\"" : "\"fail\"") + ", \"measures\": [";
    for (size_t i = 0; i < check.measures.size(); ++i) {
        const Measure& m = check.measures[i];
        j += (i ? ", " : "") + std::string("{\"name\": ") + jsonString(m.name) + ", \"value\": " + jsonNumber(m.value) +
             ", \"from\": " + jsonNumber(m.low) + ", \"to\": " + jsonNumber(m.high) + ", \"unit\": " + jsonString(m.unit) +
             ", \"result\": " + (!m.found ? "\"not found\"" : m.pass ? "\"pass\"" : "\"fail\"") + "}";
    }
    j += "]";
    if (!check.note.empty()) j += ", \"note\": " + jsonString(check.note);
    return j + "}";
}

}  // namespace ilshost
