// The wire kernel on vectors (addWireSegments: points in lanes, segments
// broadcast) against the scalar transcription of its equations
// (kernel_lanes_reference.h): short wires with end currents and long wires on
// random scenes, points on and above a segment midpoint, and the independence
// of a point's bits from its lane and its neighbours. Tolerance:
// kSlotTolerance (1e-12) of each record's largest slot magnitude.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "scatter/kernel_lanes_reference.h"
#include "scatter/wire.h"
#include "scatter/wire_scene.h"

namespace ils {
namespace {

using namespace lanes;  // NOLINT(google-build-using-namespace)

constexpr uint64_t kSeed = 0x77697265ULL;
constexpr int kCases = 50;

// Frames and segments of every array that radiates.
struct WireSetup {
    WirePlan plan;
    std::vector<WireArrayFrame> frames;
    std::vector<std::vector<WireSegment>> segments;
};

WireSetup setUpWire(const Station& st, const Scatterer& wire) {
    WireSetup w;
    w.plan = planWire(st, wire);
    for (int j = 0; j < st.arrayCount(); ++j) {
        w.frames.push_back(wireArrayFrame(st, wire, w.plan, j));
        std::vector<WireSegment> segs;
        for (int32_t s = 0; s < static_cast<int32_t>(w.plan.segmentCount); ++s)
            segs.push_back(wireSegment(st, wire, w.frames.back(), w.plan.segmentCount, s));
        w.segments.push_back(segs);
    }
    return w;
}

std::vector<FieldRecord> runWire(const Station& st, const WireSetup& w, std::span<const ObservationPoint> points,
                                 std::vector<FieldRecord> records) {
    for (size_t j = 0; j < w.frames.size(); ++j) addWireSegments(st, w.frames[j], w.segments[j], points, records);
    return records;
}

std::vector<FieldRecord> wireReference(const Station& st, const WireSetup& w,
                                       const std::vector<ObservationPoint>& points, std::vector<FieldRecord> records) {
    for (size_t j = 0; j < w.frames.size(); ++j) {
        for (size_t i = 0; i < points.size(); ++i) {
            for (const WireSegment& g : w.segments[j]) {
                PairValue c;
                if (!wireAtPoint(w.frames[j], g, points[i], c)) continue;
                accumulate(st.system.captureWeight, w.frames[j].j, c.csb, c.sbo, c.f, records[i]);
            }
        }
    }
    return records;
}

// A wire 200 to 2000 ft from the array, 10 to 150 ft up with its ends at
// different heights; horizontally 20 to 180 ft (short) or 250 to 2500 ft.
Scatterer randomWire(Draw& draw, bool longWire) {
    const double bearing = draw(-kPi, kPi), range = draw(200, 2000), a = draw(-kPi, kPi);
    const double cx = range * std::cos(bearing), cy = range * std::sin(bearing);
    const double half = (longWire ? draw(250, 2500) : draw(20, 180)) / 2;
    const double z1 = draw(10, 150), z2 = std::max(5.0, z1 + draw(-30, 30));
    Scatterer w = test::makeWire(cx - half * std::cos(a), cy - half * std::sin(a), z1, cx + half * std::cos(a),
                                 cy + half * std::sin(a), z2, draw(0.005, 0.1));
    w.contributionCode = draw.coin() ? 1 : 0;
    return w;
}

void expectRandomWires(bool longWire, uint64_t seed) {
    test::TestRun t;
    RunData& rd = *t.rd;
    Draw draw{std::mt19937_64(seed)};
    double worst = 0.0;
    int64_t terms = 0;
    int twoFrequency = 0;
    for (int c = 0; c < kCases; ++c) {
        SCOPED_TRACE("case " + std::to_string(c));
        randomStation(rd, draw);
        const Station st(rd);
        const Scatterer wire = randomWire(draw, longWire);
        const WireSetup w = setUpWire(st, wire);
        ASSERT_EQ(w.plan.longWire, longWire);
        if (!longWire) {
            EXPECT_NE(w.frames[0].endCsb[0], Complex(0, 0));  // the end currents take part
        }
        const auto points = randomPoints(draw, (wire.x1 + wire.x2) / 2, (wire.y1 + wire.y2) / 2, draw.pick(1, 19));
        const auto fresh = wireReference(st, w, points, prefilled(draw, points.size(), 0.0));
        const auto before = prefilled(draw, points.size(), c % 2 == 1 ? largestSlot(fresh) : 0.0);
        const auto want = wireReference(st, w, points, before);
        const auto got = runWire(st, w, points, before);
        for (size_t i = 0; i < points.size(); ++i) EXPECT_TRUE(matches(got[i], want[i], before[i], worst)) << "point " << i;
        terms += static_cast<int64_t>(w.frames.size() * w.segments[0].size() * points.size());
        twoFrequency += rd.system.captureEffect;
    }
    std::printf("[ KernelLanes ] %s wires: %.0f terms, worst slot error %.3g of the largest slot\n",
                longWire ? "long" : "short", static_cast<double>(terms), worst);
    EXPECT_GT(terms, longWire ? 50000 : 5000);
    EXPECT_GE(twoFrequency, 10);
}

TEST(KernelLanesWire, RandomShortWiresMatchTranscription) { expectRandomWires(false, kSeed); }

TEST(KernelLanesWire, RandomLongWiresMatchTranscription) { expectRandomWires(true, kSeed + 1); }

// A short sloping wire in front of the two-frequency course array.
struct FixedWire {
    test::TestRun t;
    Scatterer wire = test::makeWire(300, -100, 40, 320, 60, 55, 0.02);
    WireSetup w;
    FixedWire() {
        test::setupCourseArray(*t.rd, 1);
        t.rd->system.captureWeight = 0.7;
        w = setUpWire(*t.rd, wire);
    }
};

// The setup without segment s of every array.
WireSetup withoutSegment(const WireSetup& w, size_t s) {
    WireSetup out = w;
    for (auto& segs : out.segments) segs.erase(segs.begin() + static_cast<std::ptrdiff_t>(s));
    return out;
}

// A point exactly on a segment midpoint, or directly above one: the
// transcription holds there and for the other points of the same vector,
// and that segment adds nothing (no direction from the midpoint; straight
// above it s_s = 0), so the record is bit for bit that of the wire without it.
void expectSegmentAddsNothing(double height) {
    FixedWire fw;
    const Station st(*fw.t.rd);
    ASSERT_GE(fw.w.segments[0].size(), 5u);
    const size_t s = fw.w.segments[0].size() / 2;
    const double* m = fw.w.segments[0][s].m;
    for (const auto& segs : fw.w.segments) ASSERT_EQ(std::memcmp(segs[s].m, m, sizeof(double[3])), 0);
    const std::vector<ObservationPoint> points = {{900, -300, 80, -200, 30, -4}, {m[0], m[1], m[2] + height, 150, -20, 3},
                                                  {1500, 200, 120, 0, 0, 0}};
    const std::vector<FieldRecord> zero(points.size());
    const auto got = runWire(st, fw.w, points, zero);
    const auto want = wireReference(st, fw.w, points, zero);
    double worst = 0.0;
    for (size_t i = 0; i < points.size(); ++i) EXPECT_TRUE(matches(got[i], want[i], zero[i], worst)) << "point " << i;
    EXPECT_TRUE(test::allFinite(got));
    const auto without = runWire(st, withoutSegment(fw.w, s), points, zero);
    EXPECT_TRUE(sameBits(got[1], without[1])) << got[1].slot[0] << " against " << without[1].slot[0];
    EXPECT_NE(got[1].slot[0], Complex(0, 0));  // the other segments reach the point
    EXPECT_NE(got[1].slot[1], Complex(0, 0));
}

TEST(KernelLanesWire, PointOnSegmentMidpointLeavesSegmentOut) { expectSegmentAddsNothing(0.0); }

TEST(KernelLanesWire, PointAboveSegmentMidpoint) { expectSegmentAddsNothing(60.0); }

TEST(KernelLanesWire, PointBitsDoNotDependOnLaneOrNeighbours) {
    for (const bool longWire : {false, true}) {
        SCOPED_TRACE(longWire ? "long wire" : "short wire");
        test::TestRun t;
        RunData& rd = *t.rd;
        Draw draw{std::mt19937_64(kSeed + 2 + (longWire ? 1 : 0))};
        randomStation(rd, draw);
        const Station st(rd);
        const Scatterer wire = randomWire(draw, longWire);
        const WireSetup w = setUpWire(st, wire);
        constexpr size_t kPoints = 23;
        const auto points = randomPoints(draw, (wire.x1 + wire.x2) / 2, (wire.y1 + wire.y2) / 2, kPoints);
        const auto before = prefilled(draw, kPoints, 1e-6);
        const auto full = runWire(st, w, points, before);
        const std::span<const ObservationPoint> all(points);
        int mismatches = 0;
        for (size_t m = 1; m <= 17; ++m) {
            for (size_t a = 0; a + m <= kPoints; ++a) {
                const auto got = runWire(st, w, all.subspan(a, m),
                                         std::vector<FieldRecord>(before.begin() + a, before.begin() + a + m));
                for (size_t l = 0; l < m; ++l) {
                    if (!sameBits(got[l], full[a + l]) && mismatches++ == 0)
                        ADD_FAILURE() << "point " << a + l << " in a span of " << m << " from " << a;
                }
            }
        }
        EXPECT_EQ(mismatches, 0);
        const std::vector<ObservationPoint> reversed(points.rbegin(), points.rend());
        const auto back = runWire(st, w, reversed, std::vector<FieldRecord>(before.rbegin(), before.rend()));
        for (size_t i = 0; i < kPoints; ++i) EXPECT_TRUE(sameBits(back[kPoints - 1 - i], full[i])) << i;
        for (size_t i = 0; i < kPoints; ++i) EXPECT_FALSE(sameBits(full[i], before[i])) << i;  // every point is reached
    }
}

}  // namespace
}  // namespace ils
