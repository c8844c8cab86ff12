#include "tolerance.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace ilshost {

namespace {

constexpr double kMetresPerFoot = 0.3048;
constexpr double kInf = std::numeric_limits<double>::infinity();

ToleranceSegment segment(const char* name, double from, double to, double limitFrom,
                         double limitTo) {
    return ToleranceSegment{name, from, to, limitFrom, limitTo};
}

std::string distanceText(double along) {
    char buf[48];
    if (std::isinf(along)) return along < 0 ? "coverage" : "end";
    if (along == 0.0) return "threshold";
    if (along <= 0.0) {
        std::snprintf(buf, sizeof buf, "%.0f m before thr", -along);
    } else {
        std::snprintf(buf, sizeof buf, "%.0f m after thr", along);
    }
    return buf;
}

}  // namespace

std::vector<ToleranceSegment> courseStructureSegments(Facility facility, int category,
                                                      const ApproachPoints& p) {
    std::vector<ToleranceSegment> s;
    if (facility == Facility::Localizer) {
        // Annex 10 gives the localizer limits in DDM; the report's microamperes
        // are 150 uA per 0.155 DDM.
        const double l31 = 0.031 * kLocalizerUaPerDdm;
        const double l15 = 0.015 * kLocalizerUaPerDdm;
        const double l5 = 0.005 * kLocalizerUaPerDdm;
        const double l10 = 0.010 * kLocalizerUaPerDdm;
        const double atB = category == 1 ? l15 : l5;
        s.push_back(segment("coverage limit to A", -kInf, p.pointA, l31, l31));
        s.push_back(segment("A to B", p.pointA, p.pointB, l31, atB));
        if (category == 1) {
            s.push_back(segment("B to C", p.pointB, p.pointC, l15, l15));
        } else {
            s.push_back(segment("B to reference datum", p.pointB, 0.0, l5, l5));
        }
        if (category == 3) {
            s.push_back(segment("reference datum to D", 0.0, p.pointD, l5, l5));
            if (p.hasStopEnd && p.pointE > p.pointD) {
                s.push_back(segment("D to E", p.pointD, p.pointE, l5, l10));
            }
        }
    } else {
        if (category == 1) {
            s.push_back(segment("coverage limit to C", -kInf, p.pointC, 30.0, 30.0));
        } else {
            s.push_back(segment("coverage limit to A", -kInf, p.pointA, 30.0, 30.0));
            s.push_back(segment("A to B", p.pointA, p.pointB, 30.0, 20.0));
            s.push_back(segment("B to reference datum", p.pointB, 0.0, 20.0, 20.0));
        }
    }
    return s;
}

double limitAt(const ToleranceSegment& seg, double along) {
    if (seg.limitFrom == seg.limitTo || std::isinf(seg.alongFrom) || seg.alongTo <= seg.alongFrom) {
        return seg.limitFrom;
    }
    const double t = (along - seg.alongFrom) / (seg.alongTo - seg.alongFrom);
    return seg.limitFrom + (seg.limitTo - seg.limitFrom) * t;
}

int segmentIndex(const std::vector<ToleranceSegment>& segments, double along) {
    for (size_t i = 0; i < segments.size(); ++i) {
        const ToleranceSegment& s = segments[i];
        const bool last = i + 1 == segments.size();
        if (along >= s.alongFrom && (along < s.alongTo || (last && along == s.alongTo))) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

ToleranceResult evaluateCourseStructure(const std::vector<ToleranceSegment>& segments,
                                        const std::vector<double>& along,
                                        const std::vector<double>& cdi) {
    ToleranceResult r;
    const size_t n = std::min(along.size(), cdi.size());
    r.limits.assign(n, std::numeric_limits<double>::quiet_NaN());
    r.failing.assign(n, 0);
    std::vector<int> owner(n, -1);
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i) {
        owner[i] = segmentIndex(segments, along[i]);
        if (owner[i] < 0 || !std::isfinite(cdi[i])) {
            owner[i] = -1;
            continue;
        }
        sum += cdi[i];
        ++r.evaluatedPoints;
    }
    r.meanCourse = r.evaluatedPoints > 0 ? sum / r.evaluatedPoints : 0.0;
    r.segments.resize(segments.size());
    std::vector<double> worstRatio(segments.size(), -1.0);
    for (size_t k = 0; k < segments.size(); ++k) r.segments[k].segment = segments[k];
    for (size_t i = 0; i < n; ++i) {
        if (owner[i] < 0) continue;
        const size_t k = static_cast<size_t>(owner[i]);
        SegmentResult& sr = r.segments[k];
        const double limit = limitAt(segments[k], along[i]);
        r.limits[i] = limit;
        const double excursion = cdi[i] - r.meanCourse;
        const double ratio = std::fabs(excursion) / limit;
        ++sr.points;
        if (ratio > worstRatio[k]) {
            worstRatio[k] = ratio;
            sr.worstExcursion = excursion;
            sr.worstAlong = along[i];
            sr.limitAtWorst = limit;
        }
        if (std::fabs(excursion) > limit) {
            r.failing[i] = 1;
            sr.pass = false;
            r.pass = false;
        }
    }
    // A check that saw no point proves nothing; it must not read as a pass.
    if (r.evaluatedPoints == 0) r.pass = false;
    for (const SegmentResult& sr : r.segments) {
        if (sr.points == 0) r.complete = false;
    }
    return r;
}

std::vector<ApproachMark> approachMarks(Facility facility, int category, const ApproachPoints& p) {
    std::vector<ApproachMark> m;
    const bool localizer = facility == Facility::Localizer;
    if (localizer || category != 1) {
        m.push_back({"A", p.pointA});
        m.push_back({"B", p.pointB});
    }
    m.push_back({"C", p.pointC});
    m.push_back({"threshold", 0.0});
    if (localizer && category == 3) {
        m.push_back({"D", p.pointD});
        if (p.hasStopEnd) m.push_back({"E", p.pointE});
    }
    return m;
}

bool alongTrack(const RunwayGeometry& runway, const std::vector<Position>& positions,
                std::vector<double>& along, std::vector<double>& lateral, std::string& error) {
    along.clear();
    lateral.clear();
    double ux = 0.0;
    double uy = 0.0;
    if (runway.hasStopEnd) {
        ux = runway.stopEndX - runway.thresholdX;
        uy = runway.stopEndY - runway.thresholdY;
    } else if (positions.size() >= 2) {
        ux = positions.back().x - positions.front().x;
        uy = positions.back().y - positions.front().y;
    }
    const double len = std::hypot(ux, uy);
    if (!(len > 0.0)) {
        error = runway.hasStopEnd ? "the stop end coincides with the threshold"
                                  : "the flight has no direction; give --stop-end X,Y";
        return false;
    }
    ux /= len;
    uy /= len;
    for (const Position& p : positions) {
        const double dx = p.x - runway.thresholdX;
        const double dy = p.y - runway.thresholdY;
        along.push_back((dx * ux + dy * uy) * kMetresPerFoot);
        lateral.push_back((-dx * uy + dy * ux) * kMetresPerFoot);
    }
    return true;
}

double pointCFromFlight(const std::vector<double>& along, const std::vector<Position>& positions) {
    constexpr double kHeightC = 30.0;    // metres above the threshold plane
    constexpr double kNominal = -286.2;  // 15 m crossing height on a 3 degree path
    double c = kNominal;
    const size_t n = std::min(along.size(), positions.size());
    // Walk in from the farthest point before the threshold.
    std::vector<size_t> order;
    for (size_t i = 0; i < n; ++i) {
        if (along[i] <= 0.0) order.push_back(i);
    }
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return along[a] < along[b]; });
    for (size_t k = 0; k < order.size(); ++k) {
        const size_t i = order[k];
        const double h = positions[i].z * kMetresPerFoot;
        if (h > kHeightC) continue;
        if (k == 0) break;  // the flight starts below 30 m: no descent to find
        const size_t j = order[k - 1];
        const double hj = positions[j].z * kMetresPerFoot;
        const double t = hj > h ? (hj - kHeightC) / (hj - h) : 1.0;
        c = along[j] + (along[i] - along[j]) * t;
        break;
    }
    if (c < -1050.0) c = -1050.0;
    if (c > 0.0) c = 0.0;
    return c;
}

std::string toleranceTable(const std::string& traceTitle, Facility facility, int category,
                           const ToleranceResult& result) {
    std::string out;
    char buf[256];
    const char* cat = category == 1 ? "I" : category == 2 ? "II" : "III";
    std::snprintf(buf, sizeof buf, "Course structure, %s, Category %s: %s\n",
                  facility == Facility::Localizer ? "localizer" : "glide path", cat,
                  traceTitle.c_str());
    out += buf;
    std::snprintf(buf, sizeof buf, "  mean course %.3f uA over %d points; limits about the mean\n",
                  result.meanCourse, result.evaluatedPoints);
    out += buf;
    std::snprintf(buf, sizeof buf, "  %-22s %-19s %-19s %11s %6s %10s %-19s %5s\n", "segment", "from",
                  "to", "limit", "points", "worst uA", "at", "");
    out += buf;
    for (const SegmentResult& s : result.segments) {
        char limit[24];
        if (s.segment.limitFrom == s.segment.limitTo) {
            std::snprintf(limit, sizeof limit, "%.2f", s.segment.limitFrom);
        } else {
            std::snprintf(limit, sizeof limit, "%.2f-%.2f", s.segment.limitFrom, s.segment.limitTo);
        }
        if (s.points == 0) {
            std::snprintf(buf, sizeof buf, "  %-22s %-19s %-19s %11s %6d %10s %-19s %5s\n",
                          s.segment.name.c_str(), distanceText(s.segment.alongFrom).c_str(),
                          distanceText(s.segment.alongTo).c_str(), limit, 0, "-",
                          "(not flown)", "-");
        } else {
            std::snprintf(buf, sizeof buf, "  %-22s %-19s %-19s %11s %6d %+10.3f %-19s %5s\n",
                          s.segment.name.c_str(), distanceText(s.segment.alongFrom).c_str(),
                          distanceText(s.segment.alongTo).c_str(), limit, s.points,
                          s.worstExcursion, distanceText(s.worstAlong).c_str(),
                          s.pass ? "pass" : "FAIL");
        }
        out += buf;
    }
    if (result.evaluatedPoints == 0) {
        out += "  result: NOT CHECKED: no point of the flight lies in a checked segment\n"
               "  (is the threshold right, and does the stop end lie beyond it?)\n";
    } else if (!result.pass) {
        out += "  result: FAIL\n";
    } else if (!result.complete) {
        out += "  result: NOT A PASS: a segment holds no flight point, so the approach is only\n"
               "  partly checked; extend the flight over every segment\n";
    } else {
        out += "  result: pass\n";
    }
    return out;
}

}  // namespace ilshost
