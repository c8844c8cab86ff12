// Review checks of the fixed-plate computation: patch centres kept as
// running sums (rows outer, columns inner) in the helper and in the loops.
#include <array>
#include <cmath>
#include <vector>

#include "path/direct_field.h"
#include "scatter/plate_helpers.h"
#include "scatter/plate_patch.h"

namespace ils {
namespace {

using test::addSource;
using test::at;
using test::fieldRecords;
using test::makePlate;
using test::setPoints;
using test::setStation;

// A leaning plate with awkward coordinates, so that running sums and the
// closed form first + q cstep + p rstep round differently.
Scatterer awkwardPlate() {
    return makePlate(0.1, 0.7, 1000.3, -333.3, 3.3, 177.7, 17.0);
}

void addAwkwardSources(RunData& rd) {
    addSource(rd, 0, 301.7, -1333.9, 7.1, {1.0, 0.2}, {0.1, -0.3});
    addSource(rd, 0, 401.3, -1301.1, 9.3, {0.7, 0.0}, {-0.1, 0.3});
}

// Running sums written out: the row start moves by rstep after each row,
// the centre by cstep after each column.
std::vector<std::array<double, 3>> runningCentres(const PlateFrame& f) {
    std::vector<std::array<double, 3>> out;
    double row[3] = {f.first[0], f.first[1], f.first[2]};
    for (int32_t p = 0; p < f.nr; ++p) {
        double c[3] = {row[0], row[1], row[2]};
        for (int32_t q = 0; q < f.nc; ++q) {
            out.push_back({c[0], c[1], c[2]});
            for (int i = 0; i < 3; ++i) c[i] += f.cstep[i];
        }
        for (int i = 0; i < 3; ++i) row[i] += f.rstep[i];
    }
    return out;
}

TEST(ReviewPlatePatches, CentresAreRunningSums) {
    test::TestRun t;
    RunData& rd = *t.rd;
    setStation(rd, 110.0);
    addAwkwardSources(rd);
    PlateFrame f;
    setupPlateFrame(rd, awkwardPlate(), f);
    ASSERT_GT(f.nc, 20);
    ASSERT_GT(f.nr, 3);
    const auto expected = runningCentres(f);
    int differsFromClosedForm = 0;
    for (int32_t p = 0; p < f.nr; ++p) {
        for (int32_t q = 0; q < f.nc; ++q) {
            double c[3];
            patchCentre(f, p, q, c);
            const auto& e = expected[static_cast<size_t>(p) * f.nc + q];
            for (int i = 0; i < 3; ++i) {
                EXPECT_EQ(c[i], e[i]) << p << " " << q << " " << i;
                if (f.first[i] + q * f.cstep[i] + p * f.rstep[i] != e[i]) ++differsFromClosedForm;
            }
        }
    }
    EXPECT_GT(differsFromClosedForm, 0);  // the check can tell the two apart
}

TEST(ReviewPlatePatches, PlateSumsOverRunningSumCentresInLoopOrder) {
    test::TestRun t;
    RunData& rd = *t.rd;
    setStation(rd, 110.0);
    addAwkwardSources(rd);
    const std::vector<ObservationPoint> points = {at(350, -20000, 300, 10, 200, -5),
                                                  at(900, -5000, 120, 0, 180, -3)};
    setPoints(rd, points);
    const Scatterer plate = awkwardPlate();
    ASSERT_EQ(computePlate(rd, plate, 1), 0);
    const std::vector<FieldRecord> got = fieldRecords(rd);

    // The same sum by hand: rows, columns, arrays, sources, points.
    PlateFrame f;
    setupPlateFrame(rd, plate, f);
    std::vector<FieldRecord> want(points.size());
    const auto centres = runningCentres(f);
    for (const auto& ca : centres) {
        const double centre[3] = {ca[0], ca[1], ca[2]};
        for (int j = 0; j < f.arrayCount; ++j) {
            std::vector<PatchSource> sources(kMaxArrayElements);
            bool facing[kMaxArrayElements] = {};
            setupPatchSources(rd, plate, f, j, centre, sources.data(), facing);
            for (int s = 0; s < f.sourceCount[j]; ++s) {
                if (!facing[s]) continue;
                const PatchSource& ps = sources[static_cast<size_t>(s)];
                for (size_t i = 0; i < points.size(); ++i) {
                    PatchObserver ob;
                    observePatch(f, centre, points[i], ob);
                    if (!observerLit(plate, ob)) continue;
                    const double v[3] = {points[i].vx, points[i].vy, points[i].vz};
                    // The vector evaluation of this one pair: the kernel's own bits.
                    PatchContribution c;
                    evaluatePatchPairs({&ps, 1}, {&ob, 1}, points[i], v, &c);
                    accumulateField(rd, j, c.csb, c.sbo, c.doppler.f90, c.doppler.f150,
                                    c.doppler.f60, c.doppler.f0, want[i]);
                }
            }
        }
    }
    for (size_t i = 0; i < points.size(); ++i) {
        for (int s = 0; s < 12; ++s) {
            EXPECT_EQ(got[i].slot[s], want[i].slot[s]) << i << " " << s;
        }
        EXPECT_NE(got[i].slot[0], Complex(0, 0));
    }
}

// The floor of a tenth of a wavelength on the patch limit only acts on a
// plate end or midpoint closer than a sixteenth of a wavelength to an
// element: from there on the limit is sqrt(dmin * wavelength) / 2.5 itself.
TEST(ReviewPlatePatches, PatchLimitFloorLeavesOrdinaryPlatesAlone) {
    test::TestRun t;
    RunData& rd = *t.rd;
    setStation(rd, 110.0);
    const double lambda = rd.arrays[0].wavelength;
    addSource(rd, 0, 50, 0, 0);
    for (double d : {lambda / 16 * (1 + 1e-12), lambda / 10, 1.0, 3.7, 250.0, 1e4}) {
        const Scatterer plate = makePlate(0, -d, 100, -d, 0, 30);  // midpoint d from the element
        PlateFrame f;
        setupPlateFrame(rd, plate, f);
        ASSERT_EQ(f.dmin, d);
        EXPECT_EQ(f.patchLimit, std::sqrt(d * lambda) / 2.5) << d;
        EXPECT_EQ(f.nc, static_cast<int32_t>(std::trunc(100.0 / f.patchLimit)) + 1) << d;
        EXPECT_EQ(f.nr, static_cast<int32_t>(std::trunc(30.0 / f.patchLimit)) + 1) << d;
    }
    // Closer than that the floor holds the patches at a tenth of a wavelength.
    const Scatterer close = makePlate(0, -0.01, 100, -0.01, 0, 30);
    PlateFrame f;
    setupPlateFrame(rd, close, f);
    EXPECT_EQ(f.patchLimit, 0.1 * lambda);
}

}  // namespace
}  // namespace ils
