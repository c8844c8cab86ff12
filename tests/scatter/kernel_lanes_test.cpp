// The plate kernels on vectors against the scalar transcription of their
// equations (kernel_lanes_reference.h): addPlatePairs (points in lanes) and
// addMovingPlate (pairs in lanes, through evaluatePatchPairs), on random
// scenes, on degenerate geometries, and for the independence of a point's
// bits from its lane and its neighbours. Tolerance: kSlotTolerance (1e-12)
// of each record's largest slot magnitude, every slot 0..11.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "scatter/kernel_lanes_reference.h"
#include "scatter/moving_plate.h"
#include "scatter/plate.h"
#include "scatter/plate_helpers.h"

namespace ils {
namespace {

using namespace lanes;  // NOLINT(google-build-using-namespace)
using test::at;

constexpr uint64_t kSeed = 0x6c616e6573ULL;
constexpr int kCases = 60;

Draw seeded(uint64_t offset) { return Draw{std::mt19937_64(kSeed + offset)}; }

// A plate 300 to 1500 ft from the array, its front towards the array within
// about 57 degrees, tilted up to 30 degrees either way, of a random material.
Scatterer randomPlate(Draw& draw) {
    const double bearing = draw(-kPi, kPi), range = draw(300, 1500);
    const double cx = range * std::cos(bearing), cy = range * std::sin(bearing);
    const double a = bearing - kHalfPi + draw(-1.0, 1.0);
    const double half = draw(10, 75);
    Scatterer s = test::makePlate(cx - half * std::cos(a), cy - half * std::sin(a), cx + half * std::cos(a),
                                  cy + half * std::sin(a), draw(0, 20), draw(5, 60), draw(-30, 30));
    s.permittivity = draw(1, 20) * test::kEpsZero;
    s.conductivity = std::pow(10.0, draw(-4, 7.7));
    s.contributionCode = draw.coin() ? 1 : 0;
    s.bothSidesFlag = draw.coin(0.3) ? 1 : 0;
    return s;
}

double midX(const Scatterer& s) { return (s.x1 + s.x2) / 2; }
double midY(const Scatterer& s) { return (s.y1 + s.y2) / 2; }

// The plate where a moving position puts it: both ends turned by the
// rotation about (cx, cy), the azimuth with them, then shifted.
Scatterer movedPlate(double cx, double cy, const Scatterer& plate, const MovingPosition& e) {
    Scatterer s = plate;
    const double c = std::cos(e.rotation), sn = std::sin(e.rotation);
    auto place = [&](double& x, double& y) {
        const double dx = x - cx, dy = y - cy;
        x = cx + (dx * c - dy * sn) + e.offsetX;
        y = cy + (dx * sn + dy * c) + e.offsetY;
    };
    place(s.x1, s.y1);
    place(s.x2, s.y2);
    s.z1 += e.offsetZ;
    s.z2 += e.offsetZ;
    s.azimuth += e.rotation;
    return s;
}

// The moving plate at one point: the moved plate's sum with the observer's
// velocity relative to the plate; the counts of the (point, patch, source)
// triples on the scattering side and of their sources behind the plate.
void movingReference(const Station& st, const Scatterer& plate, double cx, double cy, const ObservationPoint& o,
                     const MovingPosition& e, FieldRecord& r, MovingCounts& counts) {
    const Scatterer moved = movedPlate(cx, cy, plate, e);
    const PlateSetup s = setUpPlate(st, moved);
    for (size_t p = 0; p < s.centres.size(); ++p) {
        const double w[2] = {o.x - s.centres[p][0], o.y - s.centres[p][1]};
        if (!inFront(w, s.frame.sinAz, s.frame.cosAz) && moved.bothSidesFlag == 0) continue;
        counts.total += s.sources[p];
        counts.notFacing += s.behind[p];
    }
    const double v[3] = {o.vx - e.velocityX, o.vy - e.velocityY, o.vz - e.velocityZ};
    for (const PatchSource& ps : s.pairs) {
        PairValue c;
        if (!pairAtPoint(ps, s.frame.sinAz, s.frame.cosAz, moved.bothSidesFlag != 0, o, v, c)) continue;
        accumulate(st.system.captureWeight, ps.j, c.csb, c.sbo, c.f, r);
    }
}

std::vector<FieldRecord> runFixed(const Station& st, const Scatterer& plate, const PlateSetup& s,
                                  std::span<const ObservationPoint> points, std::vector<FieldRecord> records,
                                  int64_t& lit) {
    addPlatePairs(st, plate, s.frame, s.pairs, points, records, lit);
    return records;
}

std::vector<FieldRecord> runMoving(const Station& st, const Scatterer& plate, double cx, double cy,
                                   const std::vector<ObservationPoint>& points,
                                   const std::vector<MovingPosition>& moving, std::vector<FieldRecord> records,
                                   MovingCounts& counts) {
    PassBlock b;
    b.points = points;
    b.moving = moving;
    b.records = records;
    addMovingPlate(st, plate, cx, cy, b, counts);
    return records;
}

TEST(KernelLanesPlate, RandomFixedPlatesMatchTranscription) {
    test::TestRun t;
    RunData& rd = *t.rd;
    Draw draw = seeded(0);
    double worst = 0.0;
    int64_t litAll = 0, unlitAll = 0;
    int bothSides = 0, twoFrequency = 0, farMode = 0;
    for (int c = 0; c < kCases; ++c) {
        SCOPED_TRACE("case " + std::to_string(c));
        randomStation(rd, draw);
        const Station st(rd);
        const Scatterer plate = randomPlate(draw);
        const PlateSetup s = setUpPlate(st, plate);
        const auto points = randomPoints(draw, midX(plate), midY(plate), draw.pick(1, 19));
        // Odd cases add onto earlier sums of the size of the plate's own.
        std::vector<FieldRecord> fresh = prefilled(draw, points.size(), 0.0);
        int64_t litWant = 0;
        plateReference(st, plate, s, points, fresh, litWant);
        const auto before = prefilled(draw, points.size(), c % 2 == 1 ? largestSlot(fresh) : 0.0);
        std::vector<FieldRecord> want = before;
        int64_t ignored = 0;
        plateReference(st, plate, s, points, want, ignored);
        int64_t lit = 0;
        const auto got = runFixed(st, plate, s, points, before, lit);
        EXPECT_EQ(lit, litWant);
        for (size_t i = 0; i < points.size(); ++i) EXPECT_TRUE(matches(got[i], want[i], before[i], worst)) << "point " << i;
        litAll += litWant;
        unlitAll += static_cast<int64_t>(s.pairs.size() * points.size()) - litWant;
        bothSides += plate.bothSidesFlag;
        twoFrequency += rd.system.captureEffect;
        farMode += s.frame.nearMode ? 0 : 1;
    }
    std::printf("[ KernelLanes ] fixed plates: %.0f lit evaluations, worst slot error %.3g of the largest slot\n",
                static_cast<double>(litAll), worst);
    // The scenes cover what they are meant to.
    EXPECT_GT(litAll, 5000);
    EXPECT_GT(unlitAll, 1000);
    EXPECT_GE(bothSides, 5);
    EXPECT_GE(twoFrequency, 10);
    EXPECT_GE(farMode, 3);
}

TEST(KernelLanesMoving, RandomMovingPlatesMatchTranscription) {
    test::TestRun t;
    RunData& rd = *t.rd;
    Draw draw = seeded(1);
    double worst = 0.0;
    int64_t triples = 0, behind = 0;
    for (int c = 0; c < kCases; ++c) {
        SCOPED_TRACE("case " + std::to_string(c));
        randomStation(rd, draw);
        const Station st(rd);
        const Scatterer plate = randomPlate(draw);
        const double cx = midX(plate) + draw(-100, 100), cy = midY(plate) + draw(-100, 100);
        const auto points = randomPoints(draw, midX(plate), midY(plate), draw.pick(1, 12));
        std::vector<MovingPosition> moving(points.size());
        for (MovingPosition& e : moving) {
            if (draw.coin(0.15)) continue;  // at rest
            e = {draw(-60, 60), draw(-60, 60), draw(0, 10), draw(-40, 40), draw(-40, 40), draw(-3, 3),
                 draw.coin(0.2) ? 0.0 : draw.coin(0.25) ? draw(-3.1, 3.1) : draw(-0.6, 0.6)};
        }
        const auto before = prefilled(draw, points.size(), c % 2 == 1 ? 1e-4 : 0.0);
        std::vector<FieldRecord> want = before;
        MovingCounts wantCounts;
        for (size_t i = 0; i < points.size(); ++i)
            movingReference(st, plate, cx, cy, points[i], moving[i], want[i], wantCounts);
        MovingCounts counts;
        const auto got = runMoving(st, plate, cx, cy, points, moving, before, counts);
        EXPECT_EQ(counts.total, wantCounts.total);
        EXPECT_EQ(counts.notFacing, wantCounts.notFacing);
        for (size_t i = 0; i < points.size(); ++i) EXPECT_TRUE(matches(got[i], want[i], before[i], worst)) << "point " << i;
        triples += wantCounts.total;
        behind += wantCounts.notFacing;
    }
    std::printf("[ KernelLanes ] moving plates: %.0f triples, worst slot error %.3g of the largest slot\n",
                static_cast<double>(triples), worst);
    EXPECT_GT(triples, 2000);
    EXPECT_GT(behind, 0);  // some rotations turn the plate's back to a source
}

// ---- lane independence ------------------------------------------------------------

// A random scene with at least a few pairs, and n points of which some are
// lit and some not.
struct LaneScene {
    Scatterer plate;
    PlateSetup setup;
    std::vector<ObservationPoint> points;
};
LaneScene laneScene(RunData& rd, Draw& draw, size_t n) {
    for (;;) {
        randomStation(rd, draw);
        LaneScene sc;
        sc.plate = randomPlate(draw);
        sc.plate.bothSidesFlag = 0;
        sc.setup = setUpPlate(rd, sc.plate);
        sc.points = randomPoints(draw, midX(sc.plate), midY(sc.plate), static_cast<int>(n));
        int64_t lit = 0;
        std::vector<FieldRecord> r(n);
        plateReference(rd, sc.plate, sc.setup, sc.points, r, lit);
        const int64_t all = static_cast<int64_t>(sc.setup.pairs.size() * n);
        if (sc.setup.pairs.size() >= 4 && lit > all / 4 && lit < all) return sc;
    }
}

TEST(KernelLanesPlate, PointBitsDoNotDependOnLaneOrNeighbours) {
    test::TestRun t;
    RunData& rd = *t.rd;
    Draw draw = seeded(2);
    constexpr size_t kPoints = 23;
    const LaneScene sc = laneScene(rd, draw, kPoints);
    const Station st(rd);
    const auto before = prefilled(draw, kPoints, 1e-4);
    int64_t fullLit = 0;
    const auto full = runFixed(st, sc.plate, sc.setup, sc.points, before, fullLit);
    const std::span<const ObservationPoint> all(sc.points);
    // Every span of 1 to 17 points at every offset: each point alone, as the
    // last lane of a partial vector, and inside blocks of 5, 7 and 16.
    int mismatches = 0;
    int64_t singlesLit = 0;
    for (size_t m = 1; m <= 17; ++m) {
        for (size_t a = 0; a + m <= kPoints; ++a) {
            int64_t lit = 0;
            const std::vector<FieldRecord> part(before.begin() + a, before.begin() + a + m);
            const auto got = runFixed(st, sc.plate, sc.setup, all.subspan(a, m), part, lit);
            if (m == 1) singlesLit += lit;
            for (size_t l = 0; l < m; ++l) {
                if (!sameBits(got[l], full[a + l]) && mismatches++ == 0)
                    ADD_FAILURE() << "point " << a + l << " in a span of " << m << " from " << a;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(singlesLit, fullLit);
    // The points in reverse order: other neighbours in every vector.
    const std::vector<ObservationPoint> reversed(sc.points.rbegin(), sc.points.rend());
    const std::vector<FieldRecord> reversedBefore(before.rbegin(), before.rend());
    int64_t lit = 0;
    const auto back = runFixed(st, sc.plate, sc.setup, reversed, reversedBefore, lit);
    for (size_t i = 0; i < kPoints; ++i) EXPECT_TRUE(sameBits(back[kPoints - 1 - i], full[i])) << i;
    EXPECT_EQ(lit, fullLit);
}

TEST(KernelLanesMoving, PlateAtRestGivesFixedPlateBits) {
    test::TestRun t;
    RunData& rd = *t.rd;
    Draw draw = seeded(3);
    int64_t compared = 0;
    for (int c = 0; c < 20; ++c) {
        SCOPED_TRACE("case " + std::to_string(c));
        randomStation(rd, draw);
        const Station st(rd);
        const Scatterer plate = randomPlate(draw);
        const PlateSetup s = setUpPlate(st, plate);
        const auto points = randomPoints(draw, midX(plate), midY(plate), draw.pick(1, 17));
        const auto before = prefilled(draw, points.size(), 1e-5);
        int64_t lit = 0;
        const auto fixed = runFixed(st, plate, s, points, before, lit);
        MovingCounts counts;
        const auto moving = runMoving(st, plate, draw(-500, 500), draw(-500, 500), points,
                                      std::vector<MovingPosition>(points.size()), before, counts);
        for (size_t i = 0; i < points.size(); ++i) EXPECT_TRUE(sameBits(moving[i], fixed[i])) << "point " << i;
        compared += lit;
    }
    EXPECT_GT(compared, 1000);
}

TEST(KernelLanesMoving, PairBitsDoNotDependOnLaneOrNeighbours) {
    test::TestRun t;
    RunData& rd = *t.rd;
    Draw draw = seeded(4);
    const LaneScene sc = laneScene(rd, draw, 9);
    const Station st(rd);
    ASSERT_GE(sc.setup.pairs.size(), 4u);
    // One point's pairs through evaluatePatchPairs, whole and in every span.
    const ObservationPoint& o = sc.points[0];
    const double v[3] = {o.vx - 3.0, o.vy + 1.5, o.vz};
    const std::vector<PatchSource>& pairs = sc.setup.pairs;
    std::vector<PatchObserver> observers(pairs.size());
    for (size_t i = 0; i < pairs.size(); ++i) observePatch(sc.setup.frame, pairs[i].centre, o, observers[i]);
    std::vector<PatchContribution> full(pairs.size());
    evaluatePatchPairs(pairs, observers, o, v, full.data());
    int mismatches = 0;
    for (size_t m = 1; m <= 17 && m <= pairs.size(); ++m) {
        for (size_t a = 0; a + m <= pairs.size(); ++a) {
            std::vector<PatchContribution> part(m);
            evaluatePatchPairs(std::span(pairs).subspan(a, m), std::span(observers).subspan(a, m), o, v, part.data());
            for (size_t l = 0; l < m; ++l) {
                if (std::memcmp(&part[l], &full[a + l], sizeof(PatchContribution)) != 0 && mismatches++ == 0)
                    ADD_FAILURE() << "pair " << a + l << " in a span of " << m << " from " << a;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    // Whole blocks of moving points against each point alone.
    std::vector<MovingPosition> moving(sc.points.size());
    for (MovingPosition& e : moving) e = {draw(-30, 30), draw(-30, 30), 0.0, draw(-9, 9), 0.0, 0.0, draw(-0.2, 0.2)};
    const auto before = prefilled(draw, sc.points.size(), 1e-4);
    MovingCounts counts;
    const auto block = runMoving(st, sc.plate, 10.0, -20.0, sc.points, moving, before, counts);
    for (size_t i = 0; i < sc.points.size(); ++i) {
        MovingCounts one;
        const auto alone = runMoving(st, sc.plate, 10.0, -20.0, {sc.points[i]}, {moving[i]}, {before[i]}, one);
        EXPECT_TRUE(sameBits(alone[0], block[i])) << "point " << i;
    }
}

// ---- degenerate geometries ------------------------------------------------------------

// The fixed plate's kernel from zero records, checked against the
// transcription point by point and in its lit counter; returns the records.
std::vector<FieldRecord> checkedFixed(const Station& st, const Scatterer& plate, const PlateSetup& s,
                                      const std::vector<ObservationPoint>& points, int64_t& lit) {
    const std::vector<FieldRecord> zero(points.size());
    int64_t litWant = 0;
    const auto got = runFixed(st, plate, s, points, zero, lit);
    std::vector<FieldRecord> want = zero;
    plateReference(st, plate, s, points, want, litWant);
    double worst = 0.0;
    for (size_t i = 0; i < points.size(); ++i) EXPECT_TRUE(matches(got[i], want[i], zero[i], worst)) << "point " << i;
    EXPECT_EQ(lit, litWant);
    return got;
}

// The pairs of the setup without those of patch p.
std::vector<PatchSource> withoutPatch(const PlateSetup& s, int32_t p) {
    std::vector<PatchSource> out;
    for (const PatchSource& ps : s.pairs)
        if (ps.patch != p) out.push_back(ps);
    return out;
}

// An observer exactly on a patch centre is on neither side of that patch
// (across = 0 is not the front): the kernels agree with the transcription
// there and at the other points. With leftOut the patch must add nothing on
// the centre, the record being that of the plate without the patch.
void expectCentrePatch(int32_t bothSides, bool leftOut) {
    test::TestRun t;
    RunData& rd = *t.rd;
    test::setupCourseArray(rd, 1);
    rd.system.captureWeight = 0.6;
    const Station st(rd);
    Scatterer plate = test::makePlate(420, 60, 400, -60, 2, 30, -10);  // front towards the array
    plate.bothSidesFlag = bothSides;
    const PlateSetup s = setUpPlate(st, plate);
    ASSERT_GE(s.frame.nr, 2);
    ASSERT_GE(s.frame.nc, 3);
    const int32_t p = s.frame.nc * (s.frame.nr - 1) + 1;  // top row, second column
    const auto& q = s.centres[static_cast<size_t>(p)];
    const std::vector<ObservationPoint> points = {at(300, -400, 80, 50, 100, -2), at(q[0], q[1], q[2], 120, -30, 4),
                                                  at(150, 20, 30, -60, 0, 0)};
    const std::vector<PatchSource> others = withoutPatch(s, p);
    ASSERT_LT(others.size(), s.pairs.size());
    const std::vector<FieldRecord> zero(points.size());
    int64_t lit = 0;
    const auto got = checkedFixed(st, plate, s, points, lit);
    // On the centre the record is that of the plate without the patch, bit
    // for bit, and the other patches do reach it.
    PlateSetup rest = s;
    rest.pairs = others;
    int64_t restLit = 0;
    const auto without = runFixed(st, plate, rest, points, zero, restLit);
    if (leftOut) {
        EXPECT_TRUE(sameBits(got[1], without[1]))
            << "slot 0 on the centre " << got[1].slot[0] << ", without the patch " << without[1].slot[0];
    }
    EXPECT_NE(without[1].slot[0], Complex(0, 0));
    EXPECT_TRUE(test::allFinite(got));
    // The moving plate at rest leaves it out as well.
    MovingCounts counts;
    const auto moving = runMoving(st, plate, 0, 0, points, std::vector<MovingPosition>(points.size()), zero, counts);
    for (size_t i = 0; i < points.size(); ++i) EXPECT_TRUE(sameBits(moving[i], got[i])) << "point " << i;
}

TEST(KernelLanesPlate, ObserverOnPatchCentreLeavesThatPatchOut) { expectCentrePatch(0, true); }

TEST(KernelLanesPlate, ObserverOnPatchCentreOfTwoSidedPlateMatchesTranscription) { expectCentrePatch(1, false); }

TEST(KernelLanesPlate, ObserverOnPatchCentreOfTwoSidedPlateLeavesThatPatchOut) {
    // Where both sides scatter, the patch under the observer would be
    // evaluated at rho_s = R = 1e-10 ft, some 1e10 times a neighbour's term:
    // it is left out as an undefined term.
    expectCentrePatch(1, true);
}

TEST(KernelLanesPlate, SourcesBehindPlateAddNothing) {
    test::TestRun t;
    RunData& rd = *t.rd;
    test::setupCourseArray(rd, 1);
    const Station st(rd);
    const Scatterer plate = test::makePlate(400, -60, 420, 60, 2, 30, 10);  // back towards the array
    const PlateSetup s = setUpPlate(st, plate);
    EXPECT_TRUE(s.pairs.empty());
    ASSERT_FALSE(s.sources.empty());
    for (size_t p = 0; p < s.sources.size(); ++p) EXPECT_EQ(s.behind[p], s.sources[p]) << p;
    // Observers on the plate's front, beyond it.
    const std::vector<ObservationPoint> points = {at(800, 0, 50, -100, 0, 0), at(900, 100, 20), at(700, -80, 5, 0, 60, 1)};
    Draw draw = seeded(5);
    const auto before = prefilled(draw, points.size(), 1.0);
    int64_t lit = 0;
    const auto got = runFixed(st, plate, s, points, before, lit);
    EXPECT_EQ(lit, 0);
    MovingCounts counts;
    const auto moving = runMoving(st, plate, 0, 0, points, std::vector<MovingPosition>(points.size()), before, counts);
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_TRUE(sameBits(got[i], before[i])) << i;
        EXPECT_TRUE(sameBits(moving[i], before[i])) << i;
    }
    EXPECT_GT(counts.total, 0);
    EXPECT_EQ(counts.notFacing, counts.total);
}

TEST(KernelLanesPlate, SourceBehindPlateLeavesOnlyItsPairsOut) {
    test::TestRun t;
    RunData& rd = *t.rd;
    test::setupStation(rd, 8.94);
    test::addStationElement(rd, 0, 0.0, -30.0, 8.0, {1.0, 0.0}, {0.0, 0.4});  // in front of the plate's line
    test::addStationElement(rd, 0, 0.0, 30.0, 8.0, {0.9, 0.1}, {0.0, -0.4});  // behind it
    const Station st(rd);
    const Scatterer plate = test::makePlate(500, 0, 620, 0, 0, 20, 0);  // along x, front towards -y
    const PlateSetup s = setUpPlate(st, plate);
    ASSERT_EQ(s.pairs.size(), s.centres.size());
    for (const PatchSource& ps : s.pairs) EXPECT_EQ(ps.source[1], -30.0);
    const std::vector<ObservationPoint> points = {at(560, -200, 30, 80, 10, 0), at(900, -40, 12, -50, 0, 2),
                                                  at(300, -500, 90), at(560, 200, 30, 80, 10, 0)};
    const std::vector<FieldRecord> zero(points.size());
    int64_t lit = 0;
    const auto got = checkedFixed(st, plate, s, points, lit);
    EXPECT_EQ(lit, static_cast<int64_t>(3 * s.pairs.size()));  // the last point is behind the plate
    EXPECT_NE(got[0].slot[0], Complex(0, 0));
    MovingCounts counts;
    const auto moving = runMoving(st, plate, 0, 0, points, std::vector<MovingPosition>(points.size()), zero, counts);
    for (size_t i = 0; i < points.size(); ++i) EXPECT_TRUE(sameBits(moving[i], got[i])) << i;
    EXPECT_EQ(counts.total, static_cast<int64_t>(2 * 3 * s.centres.size()));
    EXPECT_EQ(counts.notFacing, static_cast<int64_t>(3 * s.centres.size()));
}

// The plate with element 0 of array 0 at distance d on the normal through
// the centre of patch `index` (S = Q - d n, n the plate's unit normal), and
// a second element off the normal; set up again until the centre stays.
PlateSetup sourceOnNormal(RunData& rd, const Scatterer& plate, size_t index, double d) {
    double src[3] = {0.0, 0.0, 8.0};
    PlateSetup s;
    for (int round = 0; round < 10; ++round) {
        test::setupStation(rd, 8.94);
        test::addStationElement(rd, 0, src[0], src[1], src[2], {1.0, 0.2}, {0.1, 0.5});
        test::addStationElement(rd, 0, src[0] + 40.0, src[1] - 25.0, 9.0, {0.8, 0.0}, {0.0, -0.5});
        s = setUpPlate(rd, plate);
        const auto& q = s.centres.at(index);
        const PlateFrame& f = s.frame;
        const double n[3] = {-f.sinAz * f.cosTilt, f.cosAz * f.cosTilt, -f.sinTilt};
        const double next[3] = {q[0] - d * n[0], q[1] - d * n[1], q[2] - d * n[2]};
        if (next[0] == src[0] && next[1] == src[1] && next[2] == src[2]) return s;
        for (int i = 0; i < 3; ++i) src[i] = next[i];
    }
    ADD_FAILURE() << "the patch centre did not settle";
    return s;
}

// Exact normal incidence: the polarisation factor is the mean of the factor
// for the incidence turned by +-1e-3 rad about the bottom edge.
void expectNormalIncidence(const Scatterer& plate, size_t index, bool exactZero) {
    test::TestRun t;
    RunData& rd = *t.rd;
    const PlateSetup s = sourceOnNormal(rd, plate, index, 300.0);
    const Station st(rd);
    int turnedPairs = 0;
    for (const PatchSource& ps : s.pairs) {
        if (ps.geometry.sin2Inc < kNearNormalSin2) {
            ++turnedPairs;
            if (exactZero) {
                EXPECT_EQ(ps.geometry.sin2Inc, 0.0);
            }
        }
    }
    ASSERT_EQ(turnedPairs, 1);
    ASSERT_GT(s.pairs.size(), 2u);
    const std::vector<ObservationPoint> points = {at(-200, -900, 60, 40, 120, -3), at(500, -700, 15),
                                                  at(-600, -1200, 300, -90, 0, 0)};
    const std::vector<FieldRecord> zero(points.size());
    int64_t lit = 0;
    const auto got = checkedFixed(st, plate, s, points, lit);
    ASSERT_GT(lit, 0);
    // The normal pair alone; then the moving plate at rest, pairs in lanes.
    PlateSetup one = s;
    one.pairs.clear();
    for (const PatchSource& ps : s.pairs)
        if (ps.geometry.sin2Inc < kNearNormalSin2) one.pairs.push_back(ps);
    int64_t oneLit = 0;
    const auto alone = checkedFixed(st, plate, one, points, oneLit);
    for (size_t i = 0; i < 2; ++i) EXPECT_GT(std::abs(alone[i].slot[0]), 0.0) << "normal pair, point " << i;
    MovingCounts counts;
    const auto moving = runMoving(st, plate, 0, 0, points, std::vector<MovingPosition>(points.size()), zero, counts);
    for (size_t i = 0; i < points.size(); ++i) EXPECT_TRUE(sameBits(moving[i], got[i])) << i;
}

TEST(KernelLanesPlate, ExactNormalIncidenceOnUprightPlate) {
    // Bottom edge along x (azimuth exactly 0), no tilt: sin2Inc is exactly 0.
    expectNormalIncidence(test::makePlate(-60, -400, 60, -400, 3, 40), 4, true);
}

TEST(KernelLanesPlate, NormalIncidenceOnTiltedPlate) {
    expectNormalIncidence(test::makePlate(-80, -500, 70, -430, 1, 45, 12), 3, false);
}

}  // namespace
}  // namespace ils
