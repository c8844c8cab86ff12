// Tasks, command files, disturbance evaluation on synthetic traces, result
// files and the boundary contour.
#include <gtest/gtest.h>

#include <cmath>

#include "study_results.h"
#include "study_tasks.h"
#include "tolerance.h"

using namespace ilshost::study;
using ilshost::Position;

namespace {

TEST(StudyTasks, OnePerPositionAndHeadingInAFixedOrder) {
    Study s;
    s.xs = {0, 10, 20};
    s.ys = {-5, 5};
    s.headings = {0, 90, 180};
    const std::vector<Task> t = taskList(s);
    ASSERT_EQ(t.size(), 18u);
    for (size_t i = 0; i < t.size(); ++i) EXPECT_EQ(t[i].id, static_cast<int>(i));
    EXPECT_EQ(t[4].x, 0);
    EXPECT_EQ(t[4].y, 5);
    EXPECT_EQ(t[4].heading, 90);
    EXPECT_EQ(t[17].x, 20);
    EXPECT_EQ(taskName(17), "t000017");
}

TEST(StudyTasks, ObjectGoesBeforeTheFirstEn) {
    std::string out;
    EXPECT_TRUE(taskCommandFile("SY\nFP\nSP\nEN\nCM after\n", "SP\nX\n", out));
    EXPECT_EQ(out, "SY\nFP\nSP\nSP\nX\nEN\nCM after\n");
    EXPECT_TRUE(taskCommandFile("SY\r\nEN", "A\n", out));
    EXPECT_EQ(out, "SY\nA\nEN\n");
    EXPECT_FALSE(taskCommandFile("SY\nFP\nENX\n", "A\n", out));
}

TEST(StudyTasks, FilesNamedByTheCommandFileAreFound) {
    const std::string dat = "FP\nU M K F\n0 0 0\n  path/flight.txt  \nSG 1   taxi.mot\nSG 0\nSG 1\nEN\n";
    EXPECT_EQ(referencedFiles(dat), (std::vector<std::string>{"path/flight.txt", "taxi.mot"}));
}

TEST(StudyTasks, MovingObjectsAndMovingBasesGetTheirSgLines) {
    Study s;
    s.object.aircraft = "A320";
    Task t{0, 100.0, 0.0, 90.0};
    std::string motion;
    const std::string fixed = objectCommands(s, t, true, "m.mot", motion);
    EXPECT_TRUE(motion.empty());
    EXPECT_NE(fixed.find("\nSG 0\nSP\n"), std::string::npos) << fixed;
    const std::string alone = objectCommands(s, t, false, "m.mot", motion);
    EXPECT_EQ(alone.find("SG"), std::string::npos);
    s.object.speed = 8.0;
    const std::string moving = objectCommands(s, t, false, "m.mot", motion);
    EXPECT_FALSE(motion.empty());
    EXPECT_NE(moving.find("\nSG 1   m.mot\nSP\n"), std::string::npos) << moving;
    EXPECT_EQ(moving.substr(moving.size() - 5), "SG 0\n");
}

// A straight-in approach along -x to a threshold at x = 0 (feet positions);
// the runway runs to the stop end at x = -3000 m.
struct Synthetic {
    Study study;
    RunValues base;
    std::vector<ilshost::ToleranceSegment> segments;
    std::vector<double> along;
    Synthetic() {
        study.category = 3;
        study.thresholdX = 0.0;
        study.hasStopEnd = true;
        study.stopX = -3000.0;
        study.defaultAllowance = Allowance{false, 0.5};
        study.segmentAllowance["A to B"] = Allowance{true, 4.0};
        base.traces = {"Y1 CDI course+clearance (uA)", "Y2 CDI course+clearance (uA)"};
        base.cdi.assign(2, {});
        for (double m = 10000.0; m >= 0.0; m -= 100.0) {
            const double h = m * std::tan(3.0 * 3.14159265358979 / 180.0) + 15.0;
            base.positions.push_back(Position{m / 0.3048, 0.0, h / 0.3048});
            base.cdi[0].push_back(1.0 + 0.001 * m);
            base.cdi[1].push_back(-2.0);
        }
        segments = studySegments(study, base, along);
    }
};

TEST(StudyEvaluation, WorstDisturbancePerSegmentAgainstItsAllowance) {
    Synthetic syn;
    ASSERT_EQ(syn.segments.size(), 5u);
    EXPECT_EQ(syn.segments[2].name, "B to reference datum");
    EXPECT_NEAR(syn.along.front(), -10000.0, 1e-6);
    RunValues task = syn.base;
    // +2 uA on Y2 at 500 m before the threshold, -3 uA on Y1 at 4 km.
    task.cdi[1][95] += 2.0;
    ASSERT_NEAR(syn.along[95], -500.0, 1e-6);
    task.cdi[0][60] -= 3.0;
    ASSERT_NEAR(syn.along[60], -4000.0, 1e-6);
    Evaluation e;
    std::string error;
    ASSERT_TRUE(evaluate(syn.study, syn.segments, syn.along, syn.base, task, e, error)) << error;
    const SegmentWorst& b = e.segments[2];
    EXPECT_NEAR(b.disturbance, 2.0, 1e-12);
    EXPECT_NEAR(b.along, -500.0, 1e-6);
    // Half of the Category III limit beyond B, 0.005 DDM in uA.
    const double halfLimit = 0.5 * 0.005 * ilshost::kLocalizerUaPerDdm;
    EXPECT_NEAR(b.allowed, halfLimit, 1e-12);
    EXPECT_NEAR(b.ratio, 2.0 / halfLimit, 1e-12);
    EXPECT_EQ(b.trace, "Y2 CDI course+clearance (uA)");
    const SegmentWorst& ab = e.segments[1];
    EXPECT_NEAR(ab.disturbance, -3.0, 1e-12);
    EXPECT_NEAR(ab.allowed, 4.0, 1e-12);  // the segment's own allowance in uA
    EXPECT_NEAR(ab.ratio, 0.75, 1e-12);
    EXPECT_EQ(e.worst, 2);
    EXPECT_TRUE(e.pass);
    EXPECT_EQ(e.segments[0].ratio, 0.0);
    EXPECT_EQ(e.segments[4].points, 0);  // D to E: the flight ends at the threshold
    // Past the allowance: fails.
    task.cdi[1][95] += 1.0;
    ASSERT_TRUE(evaluate(syn.study, syn.segments, syn.along, syn.base, task, e, error));
    EXPECT_NEAR(e.segments[2].ratio, 3.0 / halfLimit, 1e-12);
    EXPECT_FALSE(e.pass);
    // A run of another flight is refused.
    task.cdi[0].pop_back();
    EXPECT_FALSE(evaluate(syn.study, syn.segments, syn.along, syn.base, task, e, error));
}

TEST(StudyEvaluation, RowsReadBackAsWritten) {
    Synthetic syn;
    RunValues task = syn.base;
    task.cdi[0][90] += 1.25;
    TaskResult r;
    r.task = Task{7, 150.0, -20.5, 90.0};
    std::string error;
    ASSERT_TRUE(evaluate(syn.study, syn.segments, syn.along, syn.base, task, r.evaluation, error));
    const std::string row = resultRow(r, syn.segments.size());
    EXPECT_EQ(row.substr(0, 30), "7,150.000,-20.500,90.000,pass,");
    TaskResult back;
    ASSERT_TRUE(parseResultRow(row, syn.segments, back)) << row;
    EXPECT_EQ(back.task.id, 7);
    EXPECT_EQ(back.evaluation.worst, r.evaluation.worst);
    EXPECT_NEAR(back.evaluation.segments[2].ratio, 1.25 / (0.5 * 0.005 * ilshost::kLocalizerUaPerDdm), 1e-4);
    EXPECT_EQ(resultRow(back, syn.segments.size()), row);
    TaskResult failed;
    failed.task = Task{3, 0, 0, 0};
    failed.failed = true;
    failed.failure = "ERROR! Could not open file \"x, y\".";
    const std::string frow = resultRow(failed, syn.segments.size());
    ASSERT_TRUE(parseResultRow(frow, syn.segments, back)) << frow;
    EXPECT_TRUE(back.failed);
    EXPECT_EQ(back.failure, failed.failure);
    const std::string header = resultHeader(syn.segments);
    EXPECT_EQ(std::count(header.begin(), header.end(), ','),
              std::count(frow.begin(), frow.end(), ',') - 1);  // one comma inside the quoted text
}

TEST(StudyEvaluation, SealedResultsRefuseDamageAndOtherStudies) {
    const std::string text = sealText("abc", "1,2,3\n");
    std::string body;
    ASSERT_TRUE(unsealText(text, "abc", body));
    EXPECT_EQ(body, "1,2,3\n");
    EXPECT_FALSE(unsealText(text, "abd", body));
    for (size_t cut = 0; cut < text.size(); ++cut) {
        EXPECT_FALSE(unsealText(text.substr(0, cut), "abc", body)) << cut;
    }
    std::string flipped = text;
    flipped[text.find('2')] = '7';
    EXPECT_FALSE(unsealText(flipped, "abc", body));
}

TEST(StudyContour, RingOfALinearFunctionLiesOnTheLevel) {
    // f = |x| + |y| on integer nodes is linear along every cell edge, so the
    // interpolated crossings lie exactly on |x| + |y| = 2.5.
    Grid g;
    for (int i = -4; i <= 4; ++i) {
        g.xs.push_back(i);
        g.ys.push_back(i);
    }
    for (double x : g.xs) {
        for (double y : g.ys) g.v.push_back(std::fabs(x) + std::fabs(y));
    }
    const std::vector<Polyline> lines = contourLines(g, 2.5);
    ASSERT_EQ(lines.size(), 1u);
    const Polyline& ring = lines[0];
    EXPECT_EQ(ring.front(), ring.back());
    EXPECT_EQ(ring.size(), 21u);  // 20 edge crossings and the closing point
    for (const auto& [x, y] : ring) EXPECT_NEAR(std::fabs(x) + std::fabs(y), 2.5, 1e-12);
    // A level crossing the grid's edge gives an open line from edge to edge.
    Grid h = g;
    for (size_t i = 0; i < h.v.size(); ++i) h.v[i] = h.xs[i / h.ys.size()];
    const std::vector<Polyline> open = contourLines(h, 0.5);
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].size(), 9u);
    for (const auto& [x, y] : open[0]) EXPECT_NEAR(x, 0.5, 1e-12);
    // Unknown values leave their cells out.
    h.v[4 * 9 + 4] = NAN;
    EXPECT_EQ(contourLines(h, 0.5).size(), 2u);
}

TEST(StudyGeography, PointsAlongAndAcrossTheRunwayGoByTheBearing) {
    Study s;
    s.thresholdX = 3300;
    s.stopX = 300;
    s.hasStopEnd = true;
    s.latitude = 45.0;
    s.longitude = 7.0;
    s.bearing = 90.0;  // landing towards the east
    auto [lat0, lon0] = geographic(s, 3300, 0);
    EXPECT_NEAR(lat0, 45.0, 1e-12);
    EXPECT_NEAR(lon0, 7.0, 1e-12);
    auto [lat1, lon1] = geographic(s, 2300, 0);  // 1 km towards the stop end: east
    EXPECT_NEAR(lat1, 45.0, 1e-9);
    EXPECT_NEAR((lon1 - 7.0) * 3.14159265358979 / 180 * 6371008.8 * std::cos(45.0 * 3.14159265358979 / 180), 1000.0, 1e-6);
    auto [lat2, lon2] = geographic(s, 3300, -500);  // y to the left of the landing direction: north
    EXPECT_NEAR((lat2 - 45.0) * 3.14159265358979 / 180 * 6371008.8, 500.0, 1e-6);
    EXPECT_NEAR(lon2, 7.0, 1e-12);
}

}  // namespace
