// Command files SY, CO (CL), FP, EN through the exports: the FieldFile bytes
// against fields computed here from the command values, both storages, and
// the bundled example.
#include <cmath>
#include <cstring>
#include <filesystem>

#include "ilscalc/ilscalc.h"
#include "path/path_helpers.h"

namespace ils {
namespace {

using test::directOffset;
using test::doubleAt;
using test::int32At;
using test::runCommandFile;
using test::scatteredOffset;
using test::slotAt;

namespace fs = std::filesystem;

constexpr double kC = 983571056.4304461;
constexpr double kKnot = 1.6877777777777778;

struct Element {
    double y, z;
    Complex csb, sbo;
};

// A pattern-D array on the y axis at x = 0, as the CO lines below define it.
Complex arraySum(const std::vector<Element>& elements, double k, bool sbo, bool ground, double x,
                 double y, double z) {
    double cy = 0, cz = 0;
    for (const auto& e : elements) {
        cy += e.y;
        cz += e.z;
    }
    cy /= elements.size();
    Complex total(0.0, 0.0);
    for (int pass = 0; pass < (ground ? 2 : 1); ++pass) {
        const double zp = pass == 0 ? z : -z;
        Complex sum(0.0, 0.0);
        for (const auto& e : elements) {
            const double r = std::sqrt(x * x + (y - e.y) * (y - e.y) + (zp - e.z) * (zp - e.z));
            sum += (sbo ? e.sbo : e.csb) * std::polar(1.0 / r, k * r);
        }
        sum *= std::fabs(std::cos(std::atan2(y - cy, x)));
        total += pass == 0 ? sum : -sum;
    }
    return total;
}

void expectNear(Complex actual, Complex expected, double scale, const char* what, int i) {
    EXPECT_CLOSE(actual.real(), expected.real(), 1e-9, 1e-11 * scale) << what << " point " << i;
    EXPECT_CLOSE(actual.imag(), expected.imag(), 1e-9, 1e-11 * scale) << what << " point " << i;
}

const char* const kCourse =
    "CO\n"
    "2 F M D\n"
    "0 0 10 0 0\n"
    "E01   0 -5 0 1 0 0.5 90\n"
    "E02   0 5 0 1 0 0.5 -90\n"
    "D 0 D\n";

// csb 1, sbo 0.5 at +-90 degrees turned a quarter ahead for a localizer.
std::vector<Element> courseElements() {
    const Complex j(0.0, 1.0);
    return {{-5.0, 10.0, Complex(1.0, 0.0), 0.5 * j * j},
            {5.0, 10.0, Complex(1.0, 0.0), 0.5 * -j * j}};
}

TEST(EndToEnd, SingleFrequencyApproachWritesTheDirectField) {
    const std::string commands = std::string("CM approach\nSY\nL S A F\n110.0\n") + kCourse +
                                 "FP\nA F K F\n0 0 0\n20000 1000 1000 1 3 30000 0\n140\nEN\n";
    const auto r = runCommandFile(commands, "e2e");
    ASSERT_EQ(r.startCode, 0);
    ASSERT_EQ(r.state, ILSCALC_FINISHED) << r.log;
    EXPECT_EQ(r.percent, 100);
    const int32_t n = 20;  // 20000 down to 1000 in 1000-foot steps
    ASSERT_EQ(r.fieldFile.size(), 20u + 504u * n);
    EXPECT_EQ(int32At(r.fieldFile, 0), n);
    const double v = 140.0 * kKnot;
    const double gamma = 3.0 * kDegToRad;
    EXPECT_CLOSE(doubleAt(r.fieldFile, 12), 84.39 / v, 1e-15, 0);
    EXPECT_CLOSE(doubleAt(r.fieldFile, 4), 1000.0 / std::cos(gamma) / v, 1e-12, 0);

    const double k = kTwoPi / (kC / 110.0e6);
    const auto elements = courseElements();
    const double psi = 1.0 * kDegToRad;
    for (int32_t i = 0; i < n; ++i) {
        const double d = 20000.0 - 1000.0 * i;
        const double x = std::cos(psi) * d, y = std::sin(psi) * d, z = d * std::tan(gamma);
        const size_t block = test::blockOffset(i);
        EXPECT_CLOSE(doubleAt(r.fieldFile, block), x, 1e-12, 1e-9);
        EXPECT_CLOSE(doubleAt(r.fieldFile, block + 8), y, 1e-12, 1e-9);
        EXPECT_CLOSE(doubleAt(r.fieldFile, block + 16), z, 1e-12, 1e-9);
        const Complex csb = arraySum(elements, k, false, false, x, y, z);
        const Complex sbo = arraySum(elements, k, true, false, x, y, z);
        const double scale = 1.0 / d;
        expectNear(slotAt(r.fieldFile, directOffset(i), 0), csb, scale, "csb", i);
        expectNear(slotAt(r.fieldFile, directOffset(i), 2), csb - sbo, scale, "csb-sbo", i);
        expectNear(slotAt(r.fieldFile, directOffset(i), 3), csb + sbo, scale, "csb+sbo", i);
        for (int s : {1, 4, 5, 6, 10, 14}) EXPECT_EQ(slotAt(r.fieldFile, directOffset(i), s), Complex(0, 0));
        for (int s = 0; s < 15; ++s) EXPECT_EQ(slotAt(r.fieldFile, scatteredOffset(i), s), Complex(0, 0));
    }
    const size_t table = r.log.find("\nScattered Fields\n");
    ASSERT_NE(table, std::string::npos) << r.log;
    const std::string tail = r.log.substr(table);
    EXPECT_EQ(tail.rfind("End of Run.\n"), tail.size() - 12);
    char first[128];
    std::snprintf(first, sizeof first, "%10.2f %10.2f %10.2f 0.0000e+00 0.0000e+00\n",
                  doubleAt(r.fieldFile, 20), doubleAt(r.fieldFile, 28), doubleAt(r.fieldFile, 36));
    const std::string header =
        "\nScattered Fields\n   Feet       Feet       Feet     Magnitude  Magnitude\n";
    EXPECT_EQ(tail.substr(0, header.size() + std::strlen(first)), header + first);
    for (const auto& entry : fs::directory_iterator(r.scratchDir)) {
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
    }
}

TEST(EndToEnd, TwoFrequencyWithGroundAndFileStorageAgree) {
    const std::string commands =
        std::string("SY\nL C A G\n109.9 30\n") + kCourse +
        "CL\n1 F M D\n-20 0 12 0 0\nK01   0 0 0 2 45 1 0\nD 0 D\n"
        "FP\nC F F F\n0 0 0\n-20 20 5 5000 300\n200\nEN\n";
    const auto memory = runCommandFile(commands, "two");
    testControl().forceFileStorage = true;
    const auto files = runCommandFile(commands, "two");
    testControl().forceFileStorage = false;
    ASSERT_EQ(memory.state, ILSCALC_FINISHED) << memory.log;
    ASSERT_EQ(files.state, ILSCALC_FINISHED) << files.log;
    EXPECT_TRUE(memory.fieldFile == files.fieldFile);
    EXPECT_EQ(memory.log, files.log);
    for (const auto& entry : fs::directory_iterator(files.scratchDir)) {
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
    }

    const int32_t n = 9;
    ASSERT_EQ(memory.fieldFile.size(), 20u + 504u * n);
    const double f = 109.9e6, half = 30.0 * 1000.0 * 0.5;
    const double kCourseWave = kTwoPi / (kC / (f + half));
    const double kClearance = kTwoPi / (kC / (f - half));
    const double weight = 0.5;  // half separation 15 kHz
    const std::vector<Element> clearance = {{0.0, 12.0, std::polar(2.0, 45.0 * kDegToRad),
                                             Complex(0.0, 1.0)}};
    for (int32_t i = 0; i < n; ++i) {
        const double a = (-20.0 + 5.0 * i) * kDegToRad;
        const double x = 5000.0 * std::cos(a), y = 5000.0 * std::sin(a), z = 300.0;
        const double scale = 1.0 / 5000.0;
        const Complex c0 = arraySum(courseElements(), kCourseWave, false, true, x, y, z);
        const Complex s0 = arraySum(courseElements(), kCourseWave, true, true, x, y, z);
        // The clearance element stands 20 feet behind the origin.
        const Complex c1 = weight * arraySum(clearance, kClearance, false, true, x + 20.0, y, z);
        const Complex s1 = weight * arraySum(clearance, kClearance, true, true, x + 20.0, y, z);
        const size_t off = directOffset(i);
        expectNear(slotAt(memory.fieldFile, off, 0), c0, scale, "course csb", i);
        expectNear(slotAt(memory.fieldFile, off, 3), c0 + s0, scale, "course sum", i);
        expectNear(slotAt(memory.fieldFile, off, 1), c1, scale, "clearance csb", i);
        expectNear(slotAt(memory.fieldFile, off, 4), c1 - s1, scale, "clearance diff", i);
        expectNear(slotAt(memory.fieldFile, off, 5), c1 + s1, scale, "clearance sum", i);
    }
    EXPECT_NE(memory.log.find("  Magnitude  Magnitude  Magnitude  Magnitude\n"), std::string::npos);
}

TEST(EndToEnd, FailedProfileEndsTheRunWithoutAFieldFile) {
    const std::string commands = std::string("SY\nL S A F\n110.0\n") + kCourse +
                                 "FP\nB F F F\n0 0 0\n2 4 100 0 500\n0\nEN\n";
    const auto r = runCommandFile(commands, "fail");
    ASSERT_EQ(r.startCode, 0);
    EXPECT_EQ(r.state, ILSCALC_FAILED);
    EXPECT_NE(r.log.find("ERROR! FP command speed on line 4 is zero.\n"), std::string::npos) << r.log;
    EXPECT_EQ(r.fieldFile.size(), 0u);
}

// The previous run's field file is emptied while the next run starts: a
// shorter run leaves no tail of it, a failed run none of it at all.
TEST(EndToEnd, ARunReplacesThePreviousFieldFileWhole) {
    const std::string station = std::string("SY\nL S A F\n110.0\n") + kCourse;
    for (const bool emptyingFails : {false, true}) {
        SCOPED_TRACE(emptyingFails ? "the field run opens the file anew" : "emptied while the run starts");
        testControl().fieldFileEmptyingFails = emptyingFails;
        const auto longer = runCommandFile(station + "FP\nB F F F\n0 0 0\n2 4 100 0 500\n200\nEN\n", "again");
        ASSERT_EQ(longer.state, ILSCALC_FINISHED) << longer.log;
        const int32_t many = int32At(longer.fieldFile, 0);
        ASSERT_GT(many, 3);
        const auto shorter = runCommandFile(station + "FP\nB F F F\n0 0 0\n2 4 100 0 150\n200\nEN\n", "again",
                                            longer.projectDir);
        ASSERT_EQ(shorter.state, ILSCALC_FINISHED) << shorter.log;
        const int32_t few = int32At(shorter.fieldFile, 0);
        EXPECT_LT(few, many);
        EXPECT_EQ(shorter.fieldFile.size(), 20u + 504u * static_cast<size_t>(few));
        const auto failed = runCommandFile(station + "FP\nB F F F\n0 0 0\n2 4 100 0 500\n0\nEN\n", "again",
                                           longer.projectDir);
        EXPECT_EQ(failed.state, ILSCALC_FAILED);
        EXPECT_EQ(failed.fieldFile.size(), 0u);
    }
    testControl().fieldFileEmptyingFails = false;
}

TEST(EndToEnd, BundledSingleFrequencyExampleWritesAFieldFile) {
    const std::string dat =
        test::readFile(std::string(ILSCALC_SOURCE_DIR) + "/examples/localizer-single-frequency/LOC1F.dat");
    ASSERT_FALSE(dat.empty());
    const auto r = runCommandFile(dat, "LOC1F");
    ASSERT_EQ(r.state, ILSCALC_FINISHED) << r.log;
    // Level run: 100 feet seen from -4.3576 to 4.3576 degrees, 5-metre steps.
    const double s1 = 100.0 / std::tan(-4.3576 * kDegToRad);
    const double s2 = 100.0 / std::tan(4.3576 * kDegToRad);
    const int32_t n = static_cast<int32_t>((s2 - s1) / (5.0 * kFeetPerMetre) + 1.5);
    EXPECT_EQ(int32At(r.fieldFile, 0), n);
    EXPECT_EQ(r.fieldFile.size(), 20u + 504u * static_cast<size_t>(n));
    EXPECT_NE(r.log.find("End of Run.\n"), std::string::npos);
}

}  // namespace
}  // namespace ils
