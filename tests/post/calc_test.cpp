// Field reading and signal combination: X values, field Traces and their
// normalisation, the SBO modification, flight corrections, the CDI filter
// and every reading failure of the FieldFile.
#include <cmath>
#include <complex>

#include "post/post_data.h"
#include "post_fixture.h"

namespace ils::test {
namespace {

using C = std::complex<double>;

const double kDeg = 57.29577951307855;

PostParameters referenceParams(int code, int backcourse = 0, double factor = 1.0) {
    PostParameters p;
    p.referenceCode = code;
    p.backcourseCode = backcourse;
    p.distanceFactor = factor;
    p.backcourseOffset = 1000.0;
    p.referenceX = 100.0;
    p.referenceY = -200.0;
    return p;
}

TEST(PostXValue, EveryReferenceCode) {
    const double x = 400.0, y = 200.0, z = 300.0;  // relative: 300, 400, 300
    EXPECT_EQ(xValueOf(referenceParams(0), x, y, z), 400.0);
    EXPECT_EQ(xValueOf(referenceParams(0, 1), 500.0, y, z), -1500.0);
    EXPECT_EQ(xValueOf(referenceParams(0, 0, 0.3048), x, y, z), 400.0 * 0.3048);
    EXPECT_EQ(xValueOf(referenceParams(1), x, y, z), 200.0);  // y is not shifted below 10
    EXPECT_EQ(xValueOf(referenceParams(2), x, y, z), 300.0);
    EXPECT_EQ(xValueOf(referenceParams(22), x, y, z), 300.0);  // z is never shifted
    EXPECT_CLOSE(xValueOf(referenceParams(10), x, y, z), std::sqrt(300.0 * 300 * 2 + 400 * 400),
                 1e-15, 0);
    EXPECT_EQ(xValueOf(referenceParams(20), x, y, z), 500.0);
    EXPECT_CLOSE(xValueOf(referenceParams(11, 0, kDeg), x, y, z), std::atan2(300.0, 500.0) * kDeg,
                 1e-15, 0);
    EXPECT_CLOSE(xValueOf(referenceParams(12, 0, kDeg), x, y, z), std::atan2(400.0, 300.0) * kDeg,
                 1e-15, 0);
}

TEST(PostXValue, AzimuthWrapsOnce) {
    // x' = y' = -1: -135 degrees, wrapped to 225.
    EXPECT_CLOSE(xValueOf(referenceParams(12, 0, kDeg), 99.0, -201.0, 0.0), 225.0, 1e-12, 0);
    EXPECT_CLOSE(xValueOf(referenceParams(21, 0, kDeg), 99.0, -201.0, 0.0), 225.0, 1e-12, 0);
    // At the reference point the azimuth is 0 (plus 180 on a backcourse).
    EXPECT_EQ(xValueOf(referenceParams(12, 0, kDeg), 100.0, -200.0, 5.0), 0.0);
    EXPECT_EQ(xValueOf(referenceParams(12, 1, kDeg), 100.0, -200.0, 5.0), 180.0);
    // Backcourse: 100 + 180 = 280 > 270, wrapped to -80.
    const double y100 = -200.0 + std::tan(100.0 / kDeg) * -1.0;
    EXPECT_CLOSE(xValueOf(referenceParams(12, 1, kDeg), 99.0, y100, 0.0), -80.0, 1e-9, 0);
}

TEST(PostCdiFilter, BilinearLowPass) {
    // T = 1, tau = 0.5: the average of neighbouring inputs.
    std::vector<double> v = {0.0, 1.0, 1.0, 1.0};
    applyCdiFilter(v, 1.0, 0.5);
    EXPECT_EQ(v, (std::vector<double>{0.0, 0.5, 1.0, 1.0}));
    // T = 1, tau = 1.5: v[i] = (u[i-1] + u[i] + 2·v[i-1]) / 4.
    v = {0.0, 1.0, 1.0};
    applyCdiFilter(v, 1.0, 1.5);
    EXPECT_EQ(v, (std::vector<double>{0.0, 0.25, 0.625}));
    // A constant passes unchanged (unit gain at zero frequency).
    v = {3.0, 3.0, 3.0, 3.0};
    applyCdiFilter(v, 0.2, 7.0);
    for (double x : v) EXPECT_CLOSE(x, 3.0, 1e-14, 0);
    // One value, and a filter without denominator, leave the values alone.
    v = {5.0};
    applyCdiFilter(v, 1.0, 1.0);
    EXPECT_EQ(v, std::vector<double>{5.0});
    v = {1.0, 2.0};
    applyCdiFilter(v, 0.0, 0.0);
    EXPECT_EQ(v, (std::vector<double>{1.0, 2.0}));
}

// End to end: the CDI filter runs over a finished Trace with T and tau from
// the FieldFile header; an unfiltered Trace keeps the step.
TEST_F(PostTest, CdiFilterUsesTheHeaderTimes) {
    writeParams(header() + "1 1 0 2 1 0 1\n" + kCourseLine + kClearanceLine + "1 1 0 2 0 0 1\n" +
                kCourseLine + kClearanceLine + kInactiveBlock + kInactiveBlock);
    // DDM-normalised CDI 0 then 0.4 (SBO ratio 0.4 gives 2·0.2·0.4 / 0.4).
    writeField({FieldPoint(0, 0, 0).course(1.0, 0.0), FieldPoint(1, 0, 0).course(1.0, 0.4),
                FieldPoint(2, 0, 0).course(1.0, 0.4)},
               1.0, 1.5);
    ASSERT_EQ(post(), 0) << log();
    const auto r = rows();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_CLOSE(r[0][1], 0.0, 0, 5e-5);
    EXPECT_CLOSE(r[1][1], 0.25 * 0.4, 0, 5e-5);
    EXPECT_CLOSE(r[2][1], 0.625 * 0.4, 0, 5e-5);
    EXPECT_CLOSE(r[2][2], 0.4, 0, 5e-5);
}

// Field Traces: CSB course in dB and SBO course in relative amplitude share
// the CSB peak as reference; a zero value in dB shows the floor of -140.
TEST_F(PostTest, FieldTracesShareTheCourseCsbReference) {
    writeParams(header() + "1 3 0 0 0 0 3\n" + kCourseLine + kClearanceLine + "1 4 0 0 0 0 2\n" +
                kCourseLine + kClearanceLine + "1 4 0 0 0 0 4\n" + "1 0 90 1\n" +
                kClearanceLine + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0).course(2.0, 0.5), FieldPoint(1, 0, 0).course(1.0, 0.25),
                FieldPoint(2, 0, 0).course(0.0, 0.0).inc(3, C(0.0, 1e-9))});
    ASSERT_EQ(post(), 0) << log();
    const auto r = rows();
    ASSERT_EQ(r.size(), 3u);
    // CSB = a + b = 2·CSB; peak 4 at point 0.
    EXPECT_CLOSE(r[0][1], 0.0, 0, 0.005);
    EXPECT_CLOSE(r[1][1], 20.0 * std::log10(0.5), 0, 0.005);
    EXPECT_CLOSE(r[2][1], -140.0, 0, 0.005);  // 1e-9 / 4 is below 1e-7
    // SBO = b - a = 2·SBO relative to the CSB peak: 1/4, 0.5/4.
    EXPECT_CLOSE(r[0][2], 0.25, 1e-3, 0);
    EXPECT_CLOSE(r[1][2], 0.125, 1e-3, 0);
    // Phase in degrees, not normalised; the SBO phasor turns it by 90.
    EXPECT_CLOSE(r[0][3], 90.0, 0, 5e-4);
    const std::string rep = report();
    EXPECT_NE(rep.find("       0.00   2.500e-01     90.0000\n"), std::string::npos) << rep;
}

// Kind order: without a positive course CSB the clearance CSB is the
// reference; a clearance field is scaled by its Trace's clearance scale.
TEST_F(PostTest, ClearanceCsbIsTheNextReference) {
    writeParams(header() + "1 3 0 1 0 0 2\n" + kCourseLine + kClearanceLine + "1 3 1 0 0 0 2\n" +
                "x\n1 0 0 1 0 1 0.5\n" + "1 4 1 0 0 0 2\n" + "x\n1 0 0 1 0 1 2\n" +
                kInactiveBlock);
    writeField({FieldPoint(0, 0, 0).clearance(2.0, 1.0), FieldPoint(1, 0, 0).clearance(4.0, 1.0)});
    ASSERT_EQ(post(), 0) << log();
    const auto r = rows();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0][1], 0.0);  // scattered only: zero, not scaled
    EXPECT_CLOSE(r[0][2], 0.5, 1e-3, 0);
    EXPECT_CLOSE(r[1][2], 1.0, 1e-3, 0);
    // Each Trace has its own clearance scale: SBO 2·1·2 over the CSB peak 2·4·0.5.
    EXPECT_CLOSE(r[0][3], 1.0, 1e-3, 0);
    EXPECT_CLOSE(r[1][3], 1.0, 1e-3, 0);
}

// A run without scatterers: scattered-only field Traces are zero and, being
// the only field Trace, stay unscaled even in dB; flight corrections 1 give
// exactly zero.
TEST_F(PostTest, NoScatterersGiveZeroScatteredResults) {
    writeParams(header() + "1 3 0 1 0 0 3\n" + kCourseLine + kClearanceLine + "1 0 0 2 0 1 0\n" +
                kCourseLine + kClearanceLine + kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0).course(1.0, 0.1), FieldPoint(10, 0, 0).course(2.0, -0.3)});
    ASSERT_EQ(post(), 0) << log();
    const std::string rep = report();
    EXPECT_NE(rep.find("\n         0.0        0.00       0.000\n"), std::string::npos) << rep;
    EXPECT_NE(rep.find("\n        10.0        0.00       0.000\n"), std::string::npos) << rep;
}

// Flight corrections 1 subtract the direct-only result; 2 subtract the ideal
// value of the angular position.
TEST_F(PostTest, FlightCorrections) {
    writeParams(header() + "1 1 0 2 0 1 1\n" + kCourseLine + kClearanceLine +
                "1 1 0 2 0 2 1 0 0 0 1.0 4.0\n" + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock);
    // Direct: carrier 1, DDM-normalised CDI 0.1; scattered: sideband only.
    const double angle = std::atan2(100.0, 1000.0) * kDeg;
    writeField({FieldPoint(1000, 100, 0).course(1.0, 0.1).sca(2, -0.1).sca(3, 0.1)});
    ASSERT_EQ(post(), 0) << log();
    const auto r = rows();
    ASSERT_EQ(r.size(), 1u);
    // Total SBO 0.2 gives 0.2, direct 0.1: the scattered part is 0.1.
    EXPECT_CLOSE(r[0][1], 0.1, 0, 5e-5);
    EXPECT_CLOSE(r[0][2], 0.2 - (angle - 1.0) * (0.175 / 4.0), 0, 5e-5);
}

// The direct-only evaluation of flight corrections 1 does not set the
// clearance weight again: it uses what the first evaluation left. Here the
// scattered field cancels the course carrier, so the first evaluation sees
// the clearance carrier alone and leaves the weight at 1 (not the scale 0.5).
TEST_F(PostTest, FlightCorrectionOneKeepsTheWeightOfTheFirstEvaluation) {
    writeParams(header() + "1 1 2 2 0 1 1\n" + kCourseLine + "1 0 0 1 0 1 0.5\n" +
                kInactiveBlock + kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0).course(1.0, 0.1).clearance(1.0, 0.3).sca(0, -1.0)});
    ASSERT_EQ(post(), 0) << log();
    const auto r = rows();
    ASSERT_EQ(r.size(), 1u);
    // First: clearance alone, tones 0.2·0.5·(0.7, 1.3) over carrier 1: 0.06 / 0.4.
    // Second: equal carriers, comp = cc·(1 + 1), tones cc·(0.18 + 0.07, 0.22 + 0.13):
    // DDM 0.05 / 0.4.
    EXPECT_CLOSE(r[0][1], 0.15 - 0.125, 0, 5e-5);
}

// With SBO amplitude 0 both sidebands become the CSB: no CDI; a phase of 180
// degrees turns the CDI round.
TEST_F(PostTest, SboModificationOfTheCourseArray) {
    writeParams(header() + "1 1 0 2 0 0 1\n" + "1 0 0 0\n" + kClearanceLine + "1 1 0 2 0 0 1\n" +
                "1 0 180 1\n" + kClearanceLine + "1 1 0 2 0 0 1\n" + "1 0 0 2\n" +
                kClearanceLine + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0).course(1.0, 0.1)});
    ASSERT_EQ(post(), 0) << log();
    const auto r = rows();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_CLOSE(r[0][1], 0.0, 0, 5e-5);
    EXPECT_CLOSE(r[0][2], -0.1, 0, 5e-5);
    EXPECT_CLOSE(r[0][3], 0.2, 0, 5e-5);
}

struct ReadCase {
    const char* name;
    size_t keep;  // bytes of the file kept
    std::string message;
};

TEST_F(PostTest, EveryReadingFailureIsReported) {
    writeParams(header() + "1 1 0 2 0 0 1\n" + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    std::vector<FieldPoint> points;
    for (int i = 0; i < 3; ++i) points.push_back(FieldPoint(i, 0, 0).course(1.0, 0.1));
    const std::string bytes = fieldFileBytes(points);
    const std::vector<ReadCase> cases = {
        {"empty", 0, "ERROR! Reading number of flight points\n"},
        {"count only", 4, "ERROR! Reading sample time\n"},
        {"no time constant", 12, "ERROR! Reading time constant\n"},
        {"no points", 20, "ERROR! Reading observation point 1\n"},
        {"short position", 20 + 504 + 10, "ERROR! Reading observation point 2\n"},
        {"short scattered", 20 + 504 + 24 + 239, "ERROR! Reading scattered fields at obs pt 2\n"},
        {"short incident", 20 + 2 * 504 + 264 + 200,
         "ERROR! Reading incident fields at obs pt 3\n"},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(dir + "run.fld", bytes.substr(0, c.keep));
        EXPECT_EQ(post(), 4);
        EXPECT_EQ(log(), c.message);
        EXPECT_FALSE(fileExists(dir + "rep.PTS"));
    }
}

// A header count that is negative, or larger than the file can hold, never
// makes the reader allocate for it.
TEST_F(PostTest, ImplausibleHeaderCounts) {
    writeParams(header() + "1 1 0 2 0 0 1\n" + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    const std::vector<FieldPoint> points = {FieldPoint(0, 0, 0).course(1.0, 0.1),
                                            FieldPoint(1, 0, 0).course(1.0, 0.1)};
    writeFile(dir + "run.fld", fieldFileBytes(points, 0.5, 0.25, -5));
    EXPECT_EQ(post(), 4);
    EXPECT_EQ(log(), "ERROR! Reading number of flight points\n");
    writeFile(dir + "run.fld", fieldFileBytes(points, 0.5, 0.25, 2147483647));
    EXPECT_EQ(post(), 4);
    EXPECT_EQ(log(), "ERROR! Reading observation point 3\n");
    // Longer than the header says: only the counted points are read.
    writeFile(dir + "run.fld", fieldFileBytes(points, 0.5, 0.25, 1));
    EXPECT_EQ(post(), 0);
    EXPECT_EQ(rows().size(), 1u);
    // No points at all is a valid, empty flight.
    writeFile(dir + "run.fld", fieldFileBytes({}, 0.5, 0.25));
    EXPECT_EQ(post(), 0);
    EXPECT_NE(report().find("Flight Points:    0"), std::string::npos);
    EXPECT_TRUE(rows().empty());
}

TEST_F(PostTest, MissingFieldFileLeavesEmptyDebugTables) {
    writeParams(header() + kInactiveBlock + kInactiveBlock + kInactiveBlock + kInactiveBlock);
    EXPECT_EQ(post(), 4);
    EXPECT_EQ(log(), "ERROR! File " + nativePath(dir + "run.fld") + " does not exist.\n");
    EXPECT_EQ(v1(), kV1Header);
    for (const char* name : {"v2.txt", "intermediate.txt", "scat.txt", "inc.txt"}) {
        EXPECT_TRUE(fileExists(dir + name)) << name;
        EXPECT_EQ(readFile(dir + name), "") << name;
    }
}

// The second receiver evaluation of flight corrections 1 fails alone: its
// message, without the point line.
TEST_F(PostTest, DirectOnlyEvaluationFailureHasNoPointLine) {
    writeParams(header() + "1 1 0 2 0 1 1\n" + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0).sca(0, 1.0).sca(2, 0.9).sca(3, 1.1)});
    EXPECT_EQ(post(), 4);
    EXPECT_EQ(log(), "ERROR! No signal in receiver().\n");
}

}  // namespace
}  // namespace ils::test
