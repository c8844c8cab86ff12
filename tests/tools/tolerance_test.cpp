// Course-structure checks on synthetic CDI traces with known excursions.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tolerance.h"

using namespace ilshost;

namespace {

// The Annex's localizer DDM amplitudes in the report's microamperes:
// 150 uA full scale at 0.155 DDM.
const double kUaPerDdm = 150.0 / 0.155;

// Points every 10 m from 12 km before the threshold to the threshold
// (and on to 2.5 km past it when `past` is set), CDI = offset everywhere.
struct Trace {
    std::vector<double> along;
    std::vector<double> cdi;
};
Trace flatTrace(double offset, double past = 0.0) {
    Trace t;
    for (double s = -12000.0; s <= past + 1e-9; s += 10.0) {
        t.along.push_back(s);
        t.cdi.push_back(offset);
    }
    return t;
}
// A symmetric pair of excursions (+a at s, -a at s + 10 m) leaves the mean alone.
void addPair(Trace& t, double s, double a) {
    for (size_t i = 0; i + 1 < t.along.size(); ++i) {
        if (std::fabs(t.along[i] - s) < 1e-6) {
            t.cdi[i] += a;
            t.cdi[i + 1] -= a;
            return;
        }
    }
    FAIL() << "no point at " << s;
}
const SegmentResult& seg(const ToleranceResult& r, const std::string& name) {
    for (const SegmentResult& s : r.segments) {
        if (s.segment.name == name) return s;
    }
    static SegmentResult none;
    ADD_FAILURE() << "no segment " << name;
    return none;
}

}  // namespace

TEST(ToleranceSegments, LocalizerLimitsPerCategory) {
    ApproachPoints p;
    p.pointC = -286.2;
    p.hasStopEnd = true;
    p.pointE = 2400.0;
    const auto cat1 = courseStructureSegments(Facility::Localizer, 1, p);
    ASSERT_EQ(cat1.size(), 3u);
    EXPECT_DOUBLE_EQ(limitAt(cat1[0], -9000.0), 30.0);
    EXPECT_DOUBLE_EQ(limitAt(cat1[1], -7500.0), 30.0);
    EXPECT_NEAR(limitAt(cat1[1], -1050.0), 0.015 * kUaPerDdm, 1e-12);
    EXPECT_NEAR(limitAt(cat1[1], -4275.0), (30.0 + 0.015 * kUaPerDdm) / 2, 1e-12);  // halfway from A to B
    EXPECT_NEAR(limitAt(cat1[2], -500.0), 14.516129032258064, 1e-12);
    EXPECT_EQ(segmentIndex(cat1, -200.0), -1);  // beyond C: not checked for Category I

    const auto cat2 = courseStructureSegments(Facility::Localizer, 2, p);
    ASSERT_EQ(cat2.size(), 3u);
    EXPECT_NEAR(limitAt(cat2[1], -4275.0), (30.0 + 0.005 * kUaPerDdm) / 2, 1e-12);
    EXPECT_NEAR(limitAt(cat2[2], -10.0), 4.838709677419355, 1e-12);
    EXPECT_EQ(segmentIndex(cat2, 100.0), -1);

    const auto cat3 = courseStructureSegments(Facility::Localizer, 3, p);
    ASSERT_EQ(cat3.size(), 5u);
    EXPECT_NEAR(limitAt(cat3[3], 500.0), 0.005 * kUaPerDdm, 1e-12);
    EXPECT_NEAR(limitAt(cat3[4], 900.0), 0.005 * kUaPerDdm, 1e-12);
    EXPECT_NEAR(limitAt(cat3[4], 2400.0), 9.67741935483871, 1e-12);
    EXPECT_NEAR(limitAt(cat3[4], 1650.0), 0.0075 * kUaPerDdm, 1e-12);
    EXPECT_EQ(segmentIndex(cat3, 2400.0), 4);  // E itself belongs to the last segment
    EXPECT_EQ(segmentIndex(cat3, 2400.5), -1);
}

TEST(ToleranceSegments, GlidePathLimitsPerCategory) {
    ApproachPoints p;
    p.pointC = -300.0;
    const auto cat1 = courseStructureSegments(Facility::GlidePath, 1, p);
    ASSERT_EQ(cat1.size(), 1u);
    EXPECT_DOUBLE_EQ(limitAt(cat1[0], -400.0), 30.0);
    EXPECT_EQ(segmentIndex(cat1, -299.0), -1);
    const auto cat2 = courseStructureSegments(Facility::GlidePath, 3, p);
    ASSERT_EQ(cat2.size(), 3u);
    EXPECT_NEAR(limitAt(cat2[1], -4275.0), 25.0, 1e-12);
    EXPECT_DOUBLE_EQ(limitAt(cat2[2], -100.0), 20.0);
}

TEST(ToleranceEvaluation, ExcursionsAboutTheMeanCourseNotZero) {
    // A 12 uA offset alone is course alignment, not a bend: it passes.
    Trace t = flatTrace(12.0);
    ApproachPoints p;
    const auto segs = courseStructureSegments(Facility::Localizer, 1, p);
    ToleranceResult r = evaluateCourseStructure(segs, t.along, t.cdi);
    EXPECT_TRUE(r.pass);
    EXPECT_NEAR(r.meanCourse, 12.0, 1e-9);
    EXPECT_NEAR(seg(r, "A to B").worstExcursion, 0.0, 1e-9);

    // Known excursions in each segment, just inside and just outside the limits.
    addPair(t, -10000.0, 29.0);  // coverage to A: limit 30
    addPair(t, -4270.0, 23.0);   // A to B: limit there 22.49 -> fails
    addPair(t, -700.0, 14.0);    // B to C: limit 14.52
    r = evaluateCourseStructure(segs, t.along, t.cdi);
    EXPECT_NEAR(r.meanCourse, 12.0, 1e-9);
    EXPECT_TRUE(seg(r, "coverage limit to A").pass);
    EXPECT_NEAR(std::fabs(seg(r, "coverage limit to A").worstExcursion), 29.0, 1e-9);
    EXPECT_FALSE(seg(r, "A to B").pass);
    EXPECT_NEAR(std::fabs(seg(r, "A to B").worstExcursion), 23.0, 1e-9);
    // Of the pair, the point nearer B (lower limit) is the worse one.
    EXPECT_NEAR(seg(r, "A to B").worstAlong, -4260.0, 1e-9);
    EXPECT_NEAR(seg(r, "A to B").limitAtWorst,
                30.0 - (30.0 - 0.015 * kUaPerDdm) * (7500.0 - 4260.0) / 6450.0, 1e-9);
    EXPECT_TRUE(seg(r, "B to C").pass);
    EXPECT_NEAR(std::fabs(seg(r, "B to C").worstExcursion), 14.0, 1e-9);
    EXPECT_FALSE(r.pass);
    // Points beyond C are outside every segment and carry no limit.
    EXPECT_TRUE(std::isnan(r.limits.back()));
}

TEST(ToleranceEvaluation, WorstIsTheLargestShareOfTheLocalLimit) {
    // In A to B (Category II) a 9 uA bend near B breaks its limit while a
    // larger 20 uA bend near A stays inside it.
    Trace t = flatTrace(0.0);
    addPair(t, -7400.0, 20.0);
    addPair(t, -1200.0, 9.0);
    ApproachPoints p;
    const auto segs = courseStructureSegments(Facility::Localizer, 2, p);
    const ToleranceResult r = evaluateCourseStructure(segs, t.along, t.cdi);
    const SegmentResult& ab = seg(r, "A to B");
    EXPECT_FALSE(ab.pass);
    EXPECT_NEAR(ab.worstAlong, -1190.0, 1e-9);  // the pair's point nearer B
    EXPECT_NEAR(std::fabs(ab.worstExcursion), 9.0, 1e-9);
}

TEST(ToleranceEvaluation, CategoryThreeChecksPastTheThreshold) {
    Trace t = flatTrace(-3.0, 2500.0);
    addPair(t, 400.0, 6.0);   // reference datum to D: limit 5 -> fails
    addPair(t, 2300.0, 9.0);  // D to E near E (limit about 9.35) -> passes
    ApproachPoints p;
    p.hasStopEnd = true;
    p.pointE = 2400.0;
    const auto segs = courseStructureSegments(Facility::Localizer, 3, p);
    const ToleranceResult r = evaluateCourseStructure(segs, t.along, t.cdi);
    EXPECT_NEAR(r.meanCourse, -3.0, 1e-9);
    EXPECT_FALSE(seg(r, "reference datum to D").pass);
    EXPECT_TRUE(seg(r, "D to E").pass);
    EXPECT_NEAR(std::fabs(seg(r, "D to E").worstExcursion), 9.0, 1e-9);
    EXPECT_TRUE(seg(r, "B to reference datum").pass);
}

TEST(ToleranceEvaluation, GlidePathCategoryOne) {
    Trace t = flatTrace(5.0);
    addPair(t, -3000.0, 31.0);
    ApproachPoints p;
    const auto segs = courseStructureSegments(Facility::GlidePath, 1, p);
    const ToleranceResult r = evaluateCourseStructure(segs, t.along, t.cdi);
    EXPECT_FALSE(r.pass);
    EXPECT_NEAR(r.segments[0].worstAlong, -3000.0, 1e-9);
}

TEST(ToleranceGeometry, AlongTrackAndPointC) {
    // Threshold at x = 1000 m, stop end at x = 0: approach from +x.
    RunwayGeometry rw;
    rw.thresholdX = 1000.0 / 0.3048;
    rw.hasStopEnd = true;
    rw.stopEndX = 0.0;
    std::vector<Position> pts;
    for (double d = 3000.0; d >= 1000.0; d -= 100.0) {
        // 3 degree path crossing the threshold at 15 m, 20 m right of the centreline.
        const double h = 15.0 + (d - 1000.0) * std::tan(3.0 * 3.14159265358979 / 180.0);
        pts.push_back(Position{d / 0.3048, 20.0 / 0.3048, h / 0.3048});
    }
    std::vector<double> along;
    std::vector<double> lateral;
    std::string error;
    ASSERT_TRUE(alongTrack(rw, pts, along, lateral, error)) << error;
    EXPECT_NEAR(along.front(), -2000.0, 1e-6);
    EXPECT_NEAR(along.back(), 0.0, 1e-6);
    EXPECT_NEAR(std::fabs(lateral.front()), 20.0, 1e-6);
    // The path reaches 30 m at 286.2 m before the threshold.
    EXPECT_NEAR(pointCFromFlight(along, pts), -286.2, 0.5);
    // Without a stop end the flight's own direction gives the same result.
    rw.hasStopEnd = false;
    std::vector<double> along2;
    ASSERT_TRUE(alongTrack(rw, pts, along2, lateral, error));
    EXPECT_NEAR(along2.front(), -2000.0, 1e-6);
    // A level flight at 300 m never comes down to 30 m: nominal C.
    for (Position& q : pts) q.z = 300.0 / 0.3048;
    EXPECT_NEAR(pointCFromFlight(along, pts), -286.2, 1e-9);
    // A runway without length has no direction.
    rw.hasStopEnd = true;
    rw.stopEndX = rw.thresholdX;
    EXPECT_FALSE(alongTrack(rw, pts, along, lateral, error));
}

TEST(ToleranceTable, PrintsPassAndFailPerSegment) {
    Trace t = flatTrace(0.0);
    addPair(t, -700.0, 16.0);
    ApproachPoints p;
    const auto segs = courseStructureSegments(Facility::Localizer, 1, p);
    const ToleranceResult r = evaluateCourseStructure(segs, t.along, t.cdi);
    const std::string table = toleranceTable("Y1 CDI (uA)", Facility::Localizer, 1, r);
    EXPECT_NE(table.find("Category I: Y1 CDI (uA)"), std::string::npos);
    EXPECT_NE(table.find("B to C"), std::string::npos);
    EXPECT_NE(table.find("FAIL"), std::string::npos);
    EXPECT_NE(table.find("result: FAIL"), std::string::npos);
    EXPECT_NE(table.find("+16.000"), std::string::npos);
}

TEST(ToleranceEvaluation, NoPointInAnySegmentIsNotAPass) {
    // A flight entirely past the threshold under Category I checks nothing.
    const std::vector<double> along = {100.0, 200.0, 300.0};
    const std::vector<double> cdi = {0.0, 0.0, 0.0};
    ApproachPoints p;
    const auto segs = courseStructureSegments(Facility::Localizer, 1, p);
    const ToleranceResult r = evaluateCourseStructure(segs, along, cdi);
    EXPECT_EQ(r.evaluatedPoints, 0);
    EXPECT_FALSE(r.pass);
    EXPECT_NE(toleranceTable("Y1", Facility::Localizer, 1, r).find("NOT CHECKED"), std::string::npos);
}

TEST(ToleranceEvaluation, SegmentWithoutPointsIsNotAPass) {
    // A flight that ends 2 km before the threshold never reaches B to C: no
    // point exceeds a limit, but the approach is only partly checked.
    Trace t;
    for (double s = -12000.0; s <= -2000.0; s += 10.0) {
        t.along.push_back(s);
        t.cdi.push_back(1.0);
    }
    ApproachPoints p;
    const auto segs = courseStructureSegments(Facility::Localizer, 1, p);
    const ToleranceResult r = evaluateCourseStructure(segs, t.along, t.cdi);
    EXPECT_TRUE(r.pass);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(seg(r, "B to C").points, 0);
    const std::string table = toleranceTable("Y1", Facility::Localizer, 1, r);
    EXPECT_NE(table.find("NOT A PASS"), std::string::npos) << table;
    EXPECT_EQ(table.find("result: pass"), std::string::npos) << table;
    // The failing flags mark exactly the points beyond their limit.
    Trace u = flatTrace(0.0);
    addPair(u, -5000.0, 40.0);
    const ToleranceResult q = evaluateCourseStructure(segs, u.along, u.cdi);
    int marked = 0;
    for (size_t i = 0; i < q.failing.size(); ++i) {
        if (q.failing[i]) {
            ++marked;
            EXPECT_TRUE(std::fabs(u.along[i] + 5000.0) < 1e-6 || std::fabs(u.along[i] + 4990.0) < 1e-6);
        }
    }
    EXPECT_EQ(marked, 2);
}

TEST(ToleranceSegments, MarksFollowTheCategory) {
    ApproachPoints p;
    p.pointC = -300.0;
    p.hasStopEnd = true;
    p.pointE = 2400.0;
    auto names = [](const std::vector<ApproachMark>& m) {
        std::string s;
        for (const ApproachMark& a : m) s += a.name + " ";
        return s;
    };
    EXPECT_EQ(names(approachMarks(Facility::Localizer, 3, p)), "A B C threshold D E ");
    EXPECT_EQ(names(approachMarks(Facility::Localizer, 1, p)), "A B C threshold ");
    EXPECT_EQ(names(approachMarks(Facility::GlidePath, 1, p)), "C threshold ");
    EXPECT_DOUBLE_EQ(approachMarks(Facility::Localizer, 3, p).back().along, 2400.0);
}
