// The fixed-plate computation on runs whose arrays, points and tables are
// filled directly: facing rules and the warning, back-side points, source
// modes, subdivision, progress, storage independence, the near-normal
// stability, finite results for degenerate geometry, and image theory.
#include <cmath>
#include <string>
#include <vector>

#include "scatter/plate_helpers.h"
#include "scatter/plate_patch.h"

namespace ils {
namespace {

using test::addSource;
using test::allFinite;
using test::at;
using test::fieldRecords;
using test::makePlate;
using test::setPoints;
using test::setStation;

bool slotsZero(const FieldRecord& r, int from, int to) {
    for (int s = from; s <= to; ++s) {
        if (r.slot[s] != Complex(0, 0)) return false;
    }
    return true;
}

// Observers in front of a plate along the x axis (facing y < 0), moving.
std::vector<ObservationPoint> frontObservers() {
    return {at(50, -2000, 30, 0, 150, -5), at(-400, -1500, 80, 20, 140, -8),
            at(700, -900, 10, -60, 120, 0), at(50, -300, 200, 0, 200, 0)};
}

TEST(PlateFacing, ContributionCodeOneNegatesExactly) {
    std::vector<FieldRecord> results[2];
    for (int code : {0, 1}) {
        test::TestRun t;
        RunData& rd = *t.rd;
        setStation(rd, 110.0);
        addSource(rd, 0, 20, -500, 8, {1.0, 0.2}, {0.1, -0.3});
        addSource(rd, 0, 80, -520, 8, {0.7, 0.0}, {-0.1, 0.3});
        setPoints(rd, frontObservers());
        Scatterer plate = makePlate(0, 0, 100, 0, 0, 30);
        plate.contributionCode = code;
        EXPECT_EQ(computePlate(rd, plate, 1), 0);
        results[code] = fieldRecords(rd);
        EXPECT_EQ(t.logText(), "");
    }
    for (size_t i = 0; i < results[0].size(); ++i) {
        for (int s = 0; s < 12; ++s) {
            EXPECT_EQ(results[1][i].slot[s], -results[0][i].slot[s]) << i << " " << s;
        }
        EXPECT_NE(results[0][i].slot[0], Complex(0, 0));
        EXPECT_NE(results[0][i].slot[6], Complex(0, 0));  // moving: f60 is not zero
    }
}

TEST(PlateFacing, SourcesBehindThePlateAreCountedInTheWarning) {
    const Scatterer plate = makePlate(0, 0, 100, 0, 0, 30);
    {
        // y = -500 lights the plate: no warning, fields added.
        test::TestRun t;
        setStation(*t.rd, 110.0);
        addSource(*t.rd, 0, 50, -500, 10);
        setPoints(*t.rd, frontObservers());
        EXPECT_EQ(computePlate(*t.rd, plate, 3), 0);
        EXPECT_EQ(t.logText(), "");
        EXPECT_NE(fieldRecords(*t.rd)[0].slot[0], Complex(0, 0));
    }
    {
        // y = +500 is behind every patch: nothing added, 100.0 percent.
        test::TestRun t;
        setStation(*t.rd, 110.0);
        addSource(*t.rd, 0, 50, 500, 10);
        setPoints(*t.rd, frontObservers());
        EXPECT_EQ(computePlate(*t.rd, plate, 3), 0);
        EXPECT_EQ(t.logText(),
                  "WARNING! 100.0 % of reflective plate 3 is not facing\n"
                  "the system.  Part or all of the field is not calculated.\n");
        for (const FieldRecord& r : fieldRecords(*t.rd)) EXPECT_TRUE(slotsZero(r, 0, 14));
    }
    {
        // One source of two behind: 50.0 percent.
        test::TestRun t;
        setStation(*t.rd, 110.0);
        addSource(*t.rd, 0, 50, -500, 10);
        addSource(*t.rd, 0, 50, 500, 10);
        setPoints(*t.rd, frontObservers());
        EXPECT_EQ(computePlate(*t.rd, plate, 12), 0);
        EXPECT_EQ(t.logText(),
                  "WARNING! 50.0 % of reflective plate 12 is not facing\n"
                  "the system.  Part or all of the field is not calculated.\n");
    }
}

TEST(PlateFacing, BackSidePointsGetNothingUnlessBothSidesAreWanted) {
    const std::vector<ObservationPoint> points = {at(50, -800, 20), at(50, 800, 20),
                                                  at(-300, 10, 5), at(300, -10, 5)};
    for (int both : {0, 1}) {
        test::TestRun t;
        setStation(*t.rd, 110.0);
        addSource(*t.rd, 0, 50, -500, 10);
        setPoints(*t.rd, points);
        Scatterer plate = makePlate(0, 0, 100, 0, 0, 30);
        plate.bothSidesFlag = both;
        EXPECT_EQ(computePlate(*t.rd, plate, 1), 0);
        EXPECT_EQ(t.logText(), "");  // back-side points never enter the warning
        const std::vector<FieldRecord> r = fieldRecords(*t.rd);
        EXPECT_NE(r[0].slot[0], Complex(0, 0));
        EXPECT_NE(r[3].slot[0], Complex(0, 0));
        EXPECT_EQ(slotsZero(r[1], 0, 14), both == 0);
        EXPECT_EQ(slotsZero(r[2], 0, 14), both == 0);
        EXPECT_TRUE(allFinite(r));
    }
}

TEST(PlateProgress, ZeroHeightAddsNothingButCountsProgress) {
    test::TestRun t;
    RunData& rd = *t.rd;
    setStation(rd, 110.0);
    addSource(rd, 0, 5, -5000, 10);
    std::vector<ObservationPoint> points;
    for (int i = 0; i < 100; ++i) points.push_back(at(i, -1000 - i, 50));  // facing side
    for (int i = 0; i < 100; ++i) points.push_back(at(i, 1000 + i, 50));   // back side
    setPoints(rd, points);
    rd.scatterCommandCount = 1;
    rd.progressAccumulator = 10.7;
    const Scatterer small = makePlate(0, 0, 3, 0, 0, 0);  // one patch: nc = nr = 1
    PlateFrame frame;
    setupPlateFrame(rd, small, frame);
    ASSERT_EQ(frame.nc, 1);
    ASSERT_EQ(frame.nr, 1);
    EXPECT_EQ(frame.dh, 0.0);

    EXPECT_EQ(computePlate(rd, small, 1), 0);
    EXPECT_EQ(t.logText(), "");
    for (const FieldRecord& r : fieldRecords(rd)) EXPECT_TRUE(slotsZero(r, 0, 14));
    // total = 200 (patch, source, point) combinations, stride 2; the 100
    // facing-side points make 50 percents above the accumulator.
    EXPECT_EQ(rd.progressPercent.load(), 60);

    // The same with both sides: all 200 points count.
    Scatterer both = small;
    both.bothSidesFlag = 1;
    EXPECT_EQ(computePlate(rd, both, 2), 0);
    EXPECT_EQ(rd.progressPercent.load(), 110);
}

TEST(PlateSubdivision, PatchLimitFromNearestDistanceAndWavelength) {
    test::TestRun t;
    RunData& rd = *t.rd;
    setStation(rd, 110.0);
    rd.arrays[0].wavelength = 16.0;  // dmin * wavelength = 1600
    addSource(rd, 0, 50, -100, 0);    // 100 ft from the bottom edge's midpoint
    const Scatterer plate = makePlate(0, 0, 100, 0, 0, 30);
    PlateFrame f;
    setupPlateFrame(rd, plate, f);
    EXPECT_DOUBLE_EQ(f.dmin, 100.0);
    EXPECT_DOUBLE_EQ(f.patchLimit, 16.0);
    EXPECT_EQ(f.nc, 7);
    EXPECT_EQ(f.nr, 2);
    EXPECT_DOUBLE_EQ(f.dl, 100.0 / 7);
    EXPECT_DOUBLE_EQ(f.dh, 15.0);
    double c[3];
    patchCentre(f, 1, 6, c);
    EXPECT_DOUBLE_EQ(c[0], 100.0 - 50.0 / 7);
    EXPECT_DOUBLE_EQ(c[1], 0.0);
    EXPECT_DOUBLE_EQ(c[2], 22.5);

    // Tilted 30 degrees: rows step back from the facing side and up.
    const Scatterer tilted = makePlate(0, 0, 100, 0, 0, 30, 30.0);
    setupPlateFrame(rd, tilted, f);
    patchCentre(f, 1, 0, c);
    EXPECT_DOUBLE_EQ(c[1], 22.5 * std::sin(30 * kDegToRad));
    EXPECT_DOUBLE_EQ(c[2], 22.5 * std::cos(30 * kDegToRad));
}

TEST(PlateSourceModes, FarFieldCodeAndGlideSlope) {
    // Element 2 lies behind the plate, the centroid in front: near mode
    // warns 50.0, far mode (one source at the centroid) does not.
    struct Case {
        char type, farField;
        double farFieldDistance;
        bool near;
    };
    const Case cases[] = {{'L', 'N', 0, true},     {'L', 'F', 0, false},
                          {'L', 'A', 1000, true},  {'L', 'A', 100.0, false},
                          {'G', 'F', 0, true},     {'G', 'A', 0, true}};
    std::vector<FieldRecord> nearResult, farResult;
    for (const Case& c : cases) {
        test::TestRun t;
        RunData& rd = *t.rd;
        setStation(rd, 110.0, c.farField, c.type);
        rd.farFieldDistance = c.farFieldDistance;
        addSource(rd, 0, 50, -300, 5);
        addSource(rd, 0, 50, 100, 0);  // dmin = 100 (to the bottom edge's midpoint)
        setPoints(rd, frontObservers());
        EXPECT_EQ(computePlate(rd, makePlate(0, 0, 100, 0, 0, 30), 1), 0);
        const std::string warning = c.near ? "WARNING! 50.0 % of reflective plate 1 is not facing\n"
                                             "the system.  Part or all of the field is not "
                                             "calculated.\n"
                                           : "";
        EXPECT_EQ(t.logText(), warning) << c.type << c.farField << c.farFieldDistance;
        const std::vector<FieldRecord> r = fieldRecords(rd);
        std::vector<FieldRecord>& same = c.near ? nearResult : farResult;
        if (same.empty()) {
            same = r;
        } else {
            for (size_t i = 0; i < r.size(); ++i) EXPECT_EQ(r[i].slot[0], same[i].slot[0]);
        }
    }
    EXPECT_NE(nearResult[0].slot[0], farResult[0].slot[0]);
}

TEST(PlateStorage, FileStorageGivesTheSameRecords) {
    std::vector<ObservationPoint> points = frontObservers();
    points.push_back(at(50, 700, 40, 0, -100, 0));  // back side: copied unchanged
    std::vector<FieldRecord> results[2];
    for (int file : {0, 1}) {
        test::TestRun t;
        RunData& rd = *t.rd;
        testControl().forceFileStorage = file == 1;
        setStation(rd, 110.0);
        rd.system.captureEffect = 1;
        rd.system.captureWeight = 0.8;
        rd.arrays[1].wavelength = kSpeedOfLightFt / 109.99e6;
        rd.arrays[1].waveNumber = kTwoPi / rd.arrays[1].wavelength;
        addSource(rd, 0, 30, -500, 8, {1, 0}, {0, 0.4});
        addSource(rd, 0, 70, -500, 8, {1, 0}, {0, -0.4});
        addSource(rd, 1, 50, -480, 12, {0.5, 0.1}, {0.2, 0});
        setPoints(rd, points);
        ASSERT_EQ(rd.fieldTable.inMemory, file == 0);
        EXPECT_EQ(computePlate(rd, makePlate(0, 0, 100, 0, 0, 30), 1), 0);
        EXPECT_EQ(computePlate(rd, makePlate(-50, -50, 0, 0, 0, 20), 2), 0);
        results[file] = fieldRecords(rd);
        if (file == 1) {
            EXPECT_EQ(test::readFile(rd.fieldTable.path).size(), 240u * points.size());
            EXPECT_FALSE(test::fileExists(rd.fieldTable.passPath));
        }
    }
    for (size_t i = 0; i < points.size(); ++i) {
        for (int s = 0; s < 15; ++s) EXPECT_EQ(results[1][i].slot[s], results[0][i].slot[s]);
        // Slots 12..14 are the FieldFile writer's: the table keeps them zero.
        const FieldRecord& r = results[0][i];
        for (int s = 12; s < 15; ++s) EXPECT_EQ(r.slot[s], Complex(0, 0));
    }
    EXPECT_NE(results[0][0].slot[1], Complex(0, 0));  // the clearance array scattered too
    EXPECT_TRUE(slotsZero(results[0].back(), 0, 14));
}

// The plain case of a plate lit exactly along its normal: one element 10 ft
// high, 1000 ft in front of a copper plate 240 ft wide and 20 ft high,
// observers 20000 ft away on the plate's axis (off the axis the field
// changes linearly with the shift by itself: 3.6e-3 per 0.1 ft 2500 ft off).
// Shifting the plate sideways moves the middle patch's incidence through
// the normal.
std::vector<Complex> normalCaseField(double shift) {
    test::TestRun t;
    RunData& rd = *t.rd;
    setStation(rd, 110.0);
    addSource(rd, 0, 0, -1000, 10);
    setPoints(rd, {at(0, -20000, 10), at(0, -20000, 150), at(0, -19990, 600),
                   at(0, -20010, 2000, 0, 200, -10)});
    Scatterer plate = makePlate(-120 + shift, 0, 120 + shift, 0, 0, 20);
    plate.permeability = static_cast<double>(1.00002f) * test::kMuZero;
    plate.conductivity = static_cast<double>(3.96e7f);
    PlateFrame f;
    setupPlateFrame(rd, plate, f);
    EXPECT_EQ(f.nc % 2, 1);  // a middle column exists: its centre faces the element
    EXPECT_EQ(computePlate(rd, plate, 1), 0);
    std::vector<Complex> out;
    for (const FieldRecord& r : fieldRecords(rd)) out.push_back(r.slot[0]);
    return out;
}

TEST(PlateNormalIncidence, FieldIsContinuousThroughTheNormal) {
    const std::vector<Complex> ref = normalCaseField(1e-3);
    std::vector<double> shifts = {0.0};
    for (double s = 1e-13; s <= 0.11; s *= 10) {
        shifts.push_back(s);
        shifts.push_back(-s);
    }
    for (double shift : shifts) {
        const std::vector<Complex> e = normalCaseField(shift);
        for (size_t i = 0; i < e.size(); ++i) {
            ASSERT_TRUE(std::isfinite(e[i].real()) && std::isfinite(e[i].imag())) << shift;
            EXPECT_LT(std::abs(e[i] - ref[i]), 1e-3 * std::abs(ref[i]))
                << "shift " << shift << " observer " << i << " field " << e[i] << " ref "
                << ref[i];
        }
    }
}

TEST(PlateDegenerate, PlateThroughAnElementAndObserverOnAPatchStayFinite) {
    {
        // Bottom-edge end on an element: dmin 1e-10. A second element lights it.
        test::TestRun t;
        RunData& rd = *t.rd;
        setStation(rd, 110.0);
        addSource(rd, 0, 0, 0, 0);
        addSource(rd, 0, 60, -300, 10);
        setPoints(rd, {at(50, -1000, 20, 0, 100, 0), at(0, 0, 0), at(60, -300, 10)});
        Scatterer plate = makePlate(0, 0, 60, 0, 0, 12);
        plate.bothSidesFlag = 1;
        PlateFrame f;
        setupPlateFrame(rd, plate, f);
        EXPECT_LT(f.nc * f.nr, 10000);  // bounded subdivision
        EXPECT_EQ(computePlate(rd, plate, 1), 0);
        const std::vector<FieldRecord> r = fieldRecords(rd);
        EXPECT_TRUE(allFinite(r));
        EXPECT_NE(r[0].slot[0], Complex(0, 0));
    }
    {
        // An element on the centre of the only patch, and observers on it.
        test::TestRun t;
        RunData& rd = *t.rd;
        setStation(rd, 110.0);
        addSource(rd, 0, 0, 0, 10);
        addSource(rd, 0, 0, -200, 10);
        const Scatterer plateDef = makePlate(-0.375, 0, 0.375, 0, 9.625, 0.75);
        PlateFrame f;
        setupPlateFrame(rd, plateDef, f);
        ASSERT_EQ(f.nc * f.nr, 1);
        double c[3];
        patchCentre(f, 0, 0, c);
        ASSERT_EQ(c[0], 0.0);
        ASSERT_EQ(c[2], 10.0);
        setPoints(rd, {at(0, 0, 10, 50, 50, 0), at(0, -200, 10, 0, 0, 5), at(0, 0, 0)});
        Scatterer plate = plateDef;
        plate.bothSidesFlag = 1;
        EXPECT_EQ(computePlate(rd, plate, 4), 0);
        EXPECT_TRUE(allFinite(fieldRecords(rd)));
        // The pair with the element on the patch has no incidence: not facing.
        EXPECT_EQ(t.logText(),
                  "WARNING! 50.0 % of reflective plate 4 is not facing\n"
                  "the system.  Part or all of the field is not calculated.\n");
    }
    {
        // A material without a defined impedance (zero permittivity and
        // conductivity) adds nothing rather than not-a-number.
        test::TestRun t;
        RunData& rd = *t.rd;
        setStation(rd, 110.0);
        addSource(rd, 0, 50, -300, 10);
        setPoints(rd, frontObservers());
        Scatterer plate = makePlate(0, 0, 100, 0, 0, 30);
        plate.permittivity = 0.0;
        plate.conductivity = 0.0;
        EXPECT_EQ(computePlate(rd, plate, 1), 0);
        for (const FieldRecord& r : fieldRecords(rd)) EXPECT_TRUE(slotsZero(r, 0, 14));
    }
}

// Image theory: a large, perfectly conducting vertical plate lit by one
// element and observed in the specular direction scatters the field of the
// element's mirror image in the plate. Everything is high above the ground
// (plate from 700 to 1300 ft, element and observers near 1000 ft), so that
// the ground-reflected paths have no specular point on the plate.
struct MirrorScene {
    test::TestRun t;
    std::vector<ObservationPoint> points = {at(300, -400, 1000), at(600, -800, 1000),
                                            at(450, -600, 1040)};
    Scatterer plate = makePlate(-400, 0, 400, 0, 700, 600);
    MirrorScene() {
        setStation(*t.rd, 110.0);
        addSource(*t.rd, 0, -300, -400, 1000);
        setPoints(*t.rd, points);
        plate.conductivity = 1e12;
    }
    Complex image(size_t i) const {
        const double dx = points[i].x + 300, dy = points[i].y - 400, dz = points[i].z - 1000;
        const double len = std::sqrt(dx * dx + dy * dy + dz * dz);
        return std::exp(Complex(0, t.rd->arrays[0].waveNumber * len)) / len;
    }
};

TEST(PlateImageTheory, LargeConductingPlateActsAsAMirror) {
    MirrorScene scene;
    RunData& rd = *scene.t.rd;
    EXPECT_EQ(computePlate(rd, scene.plate, 1), 0);
    const std::vector<FieldRecord> r = fieldRecords(rd);
    for (size_t i = 0; i < scene.points.size(); ++i) {
        // At the plate's own patch size (sqrt(dmin * wavelength) / 2.5, here
        // 27 ft for a 250 ft Fresnel distance) the flat patches leave up to
        // 9 degrees of phase and 8 percent of magnitude: tolerance 12 degrees
        // and 10 percent.
        const Complex ratio = r[i].slot[0] / scene.image(i);
        EXPECT_NEAR(std::abs(ratio), 1.0, 0.10) << i << ": ratio " << ratio;
        EXPECT_LT(std::fabs(std::arg(ratio)), 12 * kDegToRad) << i << ": ratio " << ratio;
    }
}

TEST(PlateImageTheory, FinerPatchesConvergeOnTheMirrorImage) {
    // The same sum through the shared patch functions with four times finer
    // patches: what is left is the edge diffraction of the finite plate
    // (within 5 percent here).
    MirrorScene scene;
    RunData& rd = *scene.t.rd;
    PlateFrame f;
    setupPlateFrame(rd, scene.plate, f);
    f.nc *= 4;
    f.nr *= 4;
    f.dl = scene.plate.horizontalLength / f.nc;
    f.dh = scene.plate.height / f.nr;
    f.cstep[0] = (scene.plate.x2 - scene.plate.x1) / f.nc;
    f.rstep[2] = f.dh;
    f.first[0] = scene.plate.x1 + f.cstep[0] / 2;
    f.first[2] = scene.plate.z1 + f.dh / 2;
    const double rest[3] = {0, 0, 0};
    for (size_t i = 0; i < scene.points.size(); ++i) {
        Complex sum(0, 0);
        for (int32_t p = 0; p < f.nr; ++p) {
            for (int32_t q = 0; q < f.nc; ++q) {
                double c[3];
                patchCentre(f, p, q, c);
                PatchSource ps;
                ASSERT_TRUE(setupPatchSource(rd, scene.plate, f, 0, 0, c, ps));
                PatchObserver ob;
                observePatch(f, c, scene.points[i], ob);
                ASSERT_TRUE(observerLit(scene.plate, ob));
                PatchContribution pc;
                evaluatePatchPoint(ps, ob, scene.points[i], rest, pc);
                sum += pc.csb;
            }
        }
        const Complex ratio = sum / scene.image(i);
        EXPECT_LT(std::abs(ratio - 1.0), 0.05) << i << ": ratio " << ratio;
    }
}

}  // namespace
}  // namespace ils
