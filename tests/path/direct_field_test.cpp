// The array field, the element pattern and the FieldSlot accumulation,
// against closed-form results with stated tolerances.
#include <cmath>

#include "path/direct_field.h"
#include "path/path_helpers.h"

namespace ils {
namespace {

using test::addElement;
using test::setWavelength;

struct Field {
    Complex csb[2], sbo[2];
    Complex totalCsb() const { return csb[0] + csb[1]; }
};

Field fieldAt(const RunData& rd, int j, char ground, double x, double y, double z) {
    Field f;
    arrayField(rd, j, ground, x, y, z, f.csb, f.sbo);
    return f;
}

std::unique_ptr<RunData> isotropicElement(Complex current, double height = 0.0,
                                          double wavelength = 10.0) {
    auto rd = std::make_unique<RunData>();
    setWavelength(*rd, 0, wavelength);
    rd->arrays[0].pattern.patternType = 'D';
    addElement(*rd, 0, 0.0, 0.0, height, current, 0.25 * current);
    return rd;
}

// ---- array field ----------------------------------------------------------

TEST(ArrayField, SingleElementAtBroadsideIsCurrentOverDistance) {
    const Complex current = std::polar(2.0, 30.0 * kDegToRad);
    const auto rd = isotropicElement(current);
    const double k = rd->arrays[0].waveNumber;
    for (const double r : {1.0, 37.5, 1234.5, 1e6}) {
        // Pattern D ignores the elevation: broadside in azimuth is enough.
        for (const double z : {0.0, 0.3 * r}) {
            const double range = std::sqrt(r * r + z * z);
            const Field f = fieldAt(*rd, 0, 'F', r, 0.0, z);
            EXPECT_CLOSE(std::abs(f.csb[0]), std::abs(current) / range, 1e-12, 0);
            const Complex expected = current * std::exp(Complex(0.0, k * range)) / range;
            EXPECT_CLOSE(f.csb[0].real(), expected.real(), 1e-9, 1e-12 / range);
            EXPECT_CLOSE(f.csb[0].imag(), expected.imag(), 1e-9, 1e-12 / range);
            EXPECT_CLOSE(std::abs(f.sbo[0]), 0.25 * std::abs(current) / range, 1e-12, 0);
            EXPECT_EQ(f.csb[1], Complex(0.0, 0.0));
        }
    }
    // Off broadside the cosine pattern weights the field: |cos 60deg| = 0.5.
    const double a = 60.0 * kDegToRad;
    const Field off = fieldAt(*rd, 0, 'F', 100.0 * std::cos(a), 100.0 * std::sin(a), 0.0);
    EXPECT_CLOSE(std::abs(off.csb[0]), 2.0 * std::fabs(std::cos(a)) / 100.0, 1e-12, 0);
}

TEST(ArrayField, TwoElementsFollowTheTextbookArrayFactor) {
    // Elements on the y axis s apart, currents 1 and exp(j beta); far away in
    // the horizontal plane |E| = 2 |cos((k s sin phi - beta) / 2)| |cos phi| / R,
    // exact up to terms of order s / R (1e-6 here).
    const double wavelength = 10.0, s = 7.5, range = 1e7;
    for (const double beta : {0.0, 90.0 * kDegToRad, -40.0 * kDegToRad}) {
        RunData rd;
        setWavelength(rd, 0, wavelength);
        rd.arrays[0].pattern.patternType = 'D';
        addElement(rd, 0, 0.0, -s / 2, 0.0, Complex(1.0, 0.0), Complex(0.0, 0.0));
        addElement(rd, 0, 0.0, s / 2, 0.0, std::polar(1.0, beta), Complex(0.0, 0.0));
        const double k = rd.arrays[0].waveNumber;
        for (const double deg : {0.0, 12.0, 30.0, 55.0, -70.0}) {
            const double phi = deg * kDegToRad;
            const Field f = fieldAt(rd, 0, 'F', range * std::cos(phi), range * std::sin(phi), 0.0);
            const double expected =
                2.0 * std::fabs(std::cos((k * s * std::sin(phi) - beta) / 2.0)) *
                std::fabs(std::cos(phi)) / range;
            EXPECT_CLOSE(std::abs(f.csb[0]), expected, 1e-5, 1e-5 * 2.0 / range)
                << "beta " << beta << " phi " << deg;
        }
    }
}

TEST(ArrayField, GroundImageCancelsAtZeroHeightAndLobesAloft) {
    const Complex current(1.5, -0.5);
    const double ha = 500.0, wavelength = 1.0;
    const auto rd = isotropicElement(current, ha, wavelength);
    const double k = rd->arrays[0].waveNumber;

    for (const double x : {100.0, 5000.0, 2e6}) {
        const Field f = fieldAt(*rd, 0, 'G', x, 0.3 * x, 0.0);
        EXPECT_NE(f.csb[0], Complex(0.0, 0.0));
        EXPECT_EQ(f.csb[0] + f.csb[1], Complex(0.0, 0.0));
        EXPECT_EQ(f.sbo[0] + f.sbo[1], Complex(0.0, 0.0));
    }
    // Two-ray lobing: |E| = |I| / d * 2 |sin(k ha h / d)|, up to terms of
    // order (h / d)^2 (1e-6 here).
    const double d = 1e8;
    for (const double argument : {0.3, 1.0, 2.5, 4.0}) {
        const double h = argument * d / (k * ha);
        const Field f = fieldAt(*rd, 0, 'G', d, 0.0, h);
        const double expected = std::abs(current) / d * 2.0 * std::fabs(std::sin(k * ha * h / d));
        EXPECT_CLOSE(std::abs(f.totalCsb()), expected, 1e-4, 0) << "h " << h;
    }
}

TEST(ArrayField, ImageIsTheNegatedFieldAtTheMirrorPointWithItsOwnElevation) {
    RunData rd;
    setWavelength(rd, 0, 3.0);
    rd.arrays[0].pattern.patternType = 'G';  // depends on the elevation off the axis
    rd.arrays[0].pattern.patternAxis = 0.2;
    addElement(rd, 0, 0.0, 0.0, 8.0, Complex(1.0, 0.5), Complex(-0.2, 0.1));
    addElement(rd, 0, 0.0, 4.0, 12.0, Complex(0.7, 0.0), Complex(0.3, -0.3));
    const double x = 300.0, y = 150.0, z = 90.0;
    const Field withGround = fieldAt(rd, 0, 'G', x, y, z);
    const Field direct = fieldAt(rd, 0, 'F', x, y, z);
    const Field mirror = fieldAt(rd, 0, 'F', x, y, -z);
    EXPECT_EQ(withGround.csb[0], direct.csb[0]);
    EXPECT_EQ(withGround.csb[1], -mirror.csb[0]);
    EXPECT_EQ(withGround.sbo[1], -mirror.sbo[0]);
    // Any option but 'G' leaves the image zero.
    for (const char option : {'F', 'g', 'N'}) {
        const Field f = fieldAt(rd, 0, option, x, y, z);
        EXPECT_EQ(f.csb[1], Complex(0.0, 0.0));
        EXPECT_EQ(f.sbo[1], Complex(0.0, 0.0));
    }
}

TEST(ArrayField, PointAboveTheCentroidIsUnweightedAndElementsAtZeroDistanceAddNothing) {
    RunData rd;
    setWavelength(rd, 0, 4.0);
    ElementPattern& pattern = rd.arrays[0].pattern;
    pattern.patternType = 'I';
    pattern.patternPointCount = 2;
    pattern.patternAngles[0] = -180.0;
    pattern.patternAngles[1] = 180.0;  // a table that is zero everywhere
    addElement(rd, 0, -2.0, 0.0, 0.0, Complex(1.0, 0.0), Complex(0.5, 0.0));
    addElement(rd, 0, 2.0, 0.0, 0.0, Complex(1.0, 0.0), Complex(0.5, 0.0));
    const double k = rd.arrays[0].waveNumber;
    // Straight above the centroid: both elements at the same range, factor 1.
    const Field above = fieldAt(rd, 0, 'F', 0.0, 0.0, 30.0);
    const double r = std::sqrt(4.0 + 900.0);
    EXPECT_CLOSE(std::abs(above.csb[0]), 2.0 / r, 1e-12, 0);
    EXPECT_EQ(std::abs(fieldAt(rd, 0, 'F', 10.0, 0.0, 30.0).csb[0]), 0.0);

    // On an element: only the other one, 4 feet away, contributes; with the
    // ground image at z = 0 both passes agree and cancel.
    pattern.patternType = 'D';
    const Field on = fieldAt(rd, 0, 'G', 2.0, 0.0, 0.0);
    const Complex other = std::exp(Complex(0.0, k * 4.0)) / 4.0;
    EXPECT_CLOSE(on.csb[0].real(), other.real(), 1e-12, 1e-15);
    EXPECT_CLOSE(on.csb[0].imag(), other.imag(), 1e-12, 1e-15);
    EXPECT_TRUE(std::isfinite(std::abs(on.csb[1])));
    EXPECT_EQ(on.totalCsb(), Complex(0.0, 0.0));

    RunData empty;
    const Field none = fieldAt(empty, 0, 'G', 1.0, 2.0, 3.0);
    EXPECT_EQ(none.totalCsb(), Complex(0.0, 0.0));
}

// ---- element patterns -----------------------------------------------------

TEST(ElementPattern, ClosedFormsAndAxis) {
    ElementPattern d;
    d.patternType = 'D';
    EXPECT_EQ(patternValue(d, 0.0, 1.2), 1.0);
    EXPECT_CLOSE(patternValue(d, 2.0, 0.0), std::fabs(std::cos(2.0)), 1e-15, 0);
    EXPECT_EQ(patternValue(d, 2.0, 0.7), patternValue(d, 2.0, -0.3));

    ElementPattern g;
    g.patternType = 'G';
    for (const double eps : {0.0, 0.4, -1.0}) EXPECT_EQ(patternValue(g, 0.0, eps), 1.0);
    const double phi = 0.5, eps = 0.3;
    const double u = std::atan2(std::sin(phi) * std::sin(eps),
                                std::hypot(std::cos(phi) * std::sin(eps), std::cos(eps)));
    const double x = kTwoPi * u;
    EXPECT_CLOSE(patternValue(g, phi, eps), std::pow(std::fabs(std::sin(x) / x), 1.5), 1e-12, 0);
    EXPECT_EQ(patternValue(g, 0.9, 0.0), 1.0);  // on the horizon u = 0

    // The axis turns the pattern: a D pattern pointing along +y.
    RunData rd;
    setWavelength(rd, 0, 10.0);
    rd.arrays[0].pattern.patternType = 'D';
    rd.arrays[0].pattern.patternAxis = 90.0 * kDegToRad;
    addElement(rd, 0, 0.0, 0.0, 0.0, Complex(1.0, 0.0), Complex(0.0, 0.0));
    EXPECT_CLOSE(std::abs(fieldAt(rd, 0, 'F', 0.0, 100.0, 0.0).csb[0]), 0.01, 1e-12, 0);
    EXPECT_LT(std::abs(fieldAt(rd, 0, 'F', 100.0, 0.0, 0.0).csb[0]), 1e-12);
}

TEST(ElementPattern, TablesInterpolateAtTheNegatedAzimuth) {
    ElementPattern t;
    t.patternType = 'I';
    const double angles[] = {-180.0, -10.0, 0.0, 10.0, 180.0};
    const double values[] = {0.0, 0.2, 1.0, 0.6, 0.0};
    t.patternPointCount = 5;
    for (int i = 0; i < 5; ++i) {
        t.patternAngles[i] = angles[i];
        t.patternValues[i] = values[i];
    }
    const double deg = kDegToRad;
    EXPECT_CLOSE(patternValue(t, 10.0 * deg, 0.0), 0.2, 1e-12, 0);   // read at -10
    EXPECT_CLOSE(patternValue(t, -10.0 * deg, 0.5), 0.6, 1e-12, 0);  // read at +10
    EXPECT_CLOSE(patternValue(t, -5.0 * deg, 0.0), 0.8, 1e-12, 0);
    EXPECT_CLOSE(patternValue(t, 95.0 * deg, 0.0), 0.2 * 85.0 / 170.0, 1e-12, 0);
    // Azimuths beyond half a turn wrap: phi = -190 deg reads a = 190 - 360.
    EXPECT_CLOSE(patternValue(t, -190.0 * deg, 0.0), 0.2 * 10.0 / 170.0, 1e-9, 0);
    for (const char type : {'F', 'M'}) {
        t.patternType = type;
        EXPECT_CLOSE(patternValue(t, 10.0 * deg, 0.0), 0.2, 1e-12, 0);
    }

    // Outside a table that does not cover the circle: the end segments extend.
    ElementPattern half;
    half.patternType = 'I';
    half.patternPointCount = 3;
    const double ha[] = {-90.0, 0.0, 90.0}, hv[] = {0.0, 1.0, 0.5};
    for (int i = 0; i < 3; ++i) {
        half.patternAngles[i] = ha[i];
        half.patternValues[i] = hv[i];
    }
    EXPECT_CLOSE(patternValue(half, -135.0 * deg, 0.0), 0.25, 1e-9, 0);  // a = 135
    EXPECT_CLOSE(patternValue(half, 135.0 * deg, 0.0), -0.5, 1e-9, 0);   // a = -135
    // Two points: one segment whatever the angle.
    half.patternPointCount = 2;
    EXPECT_CLOSE(patternValue(half, -135.0 * deg, 0.0), 2.5, 1e-9, 0);
}

// ---- accumulation ---------------------------------------------------------

TEST(Accumulation, SlotOrderAndCaptureWeight) {
    RunData rd;
    rd.system.captureWeight = 0.5;
    const Complex csb(1.0, 2.0), sbo(3.0, -1.0);
    const double f90 = 0.5, f150 = 0.25, f60 = 2.0, f0 = 3.0;
    for (int j = 0; j < 2; ++j) {
        FieldRecord r{};
        r.slot[12] = Complex(7.0, 7.0);
        accumulateField(rd, j, csb, sbo, f90, f150, f60, f0, r);
        const double w = j == 1 ? 0.5 : 1.0;
        const Complex c = w * csb, s = w * sbo;
        Complex expected[15] = {};
        expected[j] = c;
        expected[2 + 2 * j] = f0 * (c - s);
        expected[3 + 2 * j] = f0 * (c + s);
        expected[6 + 2 * j] = f60 * (c + s);
        expected[7 + 2 * j] = f60 * (c - s);
        expected[10] = f90 * c;
        expected[11] = f150 * c;
        expected[12] = Complex(7.0, 7.0);
        for (int k = 0; k < 15; ++k) EXPECT_EQ(r.slot[k], expected[k]) << "array " << j << " slot " << k;
    }
    // Accumulations add up.
    FieldRecord twice{};
    accumulateField(rd, 0, csb, sbo, 0, 0, 0, 1, twice);
    accumulateField(rd, 0, csb, sbo, 0, 0, 0, 1, twice);
    EXPECT_EQ(twice.slot[3], 2.0 * (csb + sbo));
}

}  // namespace
}  // namespace ils
