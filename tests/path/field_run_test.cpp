// EN: the FieldFile, the "Scattered Fields" table, both table storages and
// the failures of the scratch files and the field file.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

#include "path/direct_field.h"
#include "path/path_helpers.h"

namespace ils {
namespace {

using test::addElement;
using test::directOffset;
using test::doubleAt;
using test::int32At;
using test::runFieldFile;
using test::runFlightProfile;
using test::scatteredOffset;
using test::setWavelength;
using test::slotAt;
using test::tablePoints;
using test::TestRun;

namespace fs = std::filesystem;

// A localizer-like course array of four elements with a cosine pattern, and
// for two-frequency runs a two-element clearance array.
void defineStation(RunData& rd, bool twoFrequency, char ground) {
    rd.system.groundPlaneCode = ground;
    rd.system.captureEffect = twoFrequency ? 1 : 0;
    rd.system.captureWeight = twoFrequency ? 0.625 : 1.0;
    setWavelength(rd, 0, 8.95);
    rd.arrays[0].pattern.patternType = 'D';
    rd.arrays[0].pattern.patternAxis = 0.05;
    const double ys[] = {-15.0, -5.0, 5.0, 15.0};
    const double amps[] = {0.5, 1.0, 1.0, 0.5};
    for (int i = 0; i < 4; ++i) {
        const Complex sbo = std::polar(0.3 * amps[i], (ys[i] < 0 ? -90.0 : 90.0) * kDegToRad);
        addElement(rd, 0, 0.0, ys[i], 8.0, Complex(amps[i], 0.0), sbo);
    }
    if (twoFrequency) {
        setWavelength(rd, 1, 8.97);
        rd.arrays[1].pattern.patternType = 'D';
        addElement(rd, 1, -3.0, -2.0, 9.0, Complex(0.8, 0.1), Complex(0.0, 0.2));
        addElement(rd, 1, -3.0, 2.0, 9.0, Complex(0.8, -0.1), Complex(0.0, -0.2));
    }
}

// The field of a cosine-pattern array written out here once more: every
// element's current * exp(j k R) / R, weighted by |cos| of the azimuth from
// the centroid off the axis, minus the same at the mirror point with ground.
Complex expectedField(const AntennaArray& a, bool sbo, bool ground, double x, double y, double z) {
    Complex total(0.0, 0.0);
    for (int pass = 0; pass < (ground ? 2 : 1); ++pass) {
        const double zp = pass == 0 ? z : -z;
        Complex sum(0.0, 0.0);
        for (int i = 0; i < a.elementCount; ++i) {
            const double r = std::sqrt(std::pow(x - a.elementX[i], 2) +
                                       std::pow(y - a.elementY[i], 2) +
                                       std::pow(zp - a.elementZ[i], 2));
            const Complex current = sbo ? a.sboCurrent[i] : a.csbCurrent[i];
            sum += current * std::polar(1.0 / r, a.waveNumber * r);
        }
        const double azimuth = std::atan2(y - a.centroidY, x - a.centroidX) - a.pattern.patternAxis;
        sum *= std::fabs(std::cos(azimuth));
        total += pass == 0 ? sum : -sum;
    }
    return total;
}

void expectComplexNear(Complex actual, Complex expected, double scale, const std::string& what) {
    EXPECT_CLOSE(actual.real(), expected.real(), 1e-9, 1e-12 * scale) << what;
    EXPECT_CLOSE(actual.imag(), expected.imag(), 1e-9, 1e-12 * scale) << what;
}

std::string tableLine(const ObservationPoint& p, const double* magnitudes, int count) {
    char buf[256];
    int n = std::snprintf(buf, sizeof buf, "%10.2f %10.2f %10.2f", p.x, p.y, p.z);
    for (int i = 0; i < count; ++i) n += std::snprintf(buf + n, sizeof buf - n, " %10.4e", magnitudes[i]);
    return std::string(buf) + "\n";
}

// Adds (a, b) to slots 2+2j and 3+2j of every point, scaled by the point
// number, as a scattering pass would.
int scatterPass(RunData& rd, Complex a, Complex b) {
    TableStore<FieldRecord>::Pass pass;
    if (pass.begin(rd.fieldTable, rd.messageLog) != 0) return -1;
    int32_t i = 0;
    while (true) {
        const std::span<FieldRecord> block = pass.next(3);
        if (block.empty()) break;
        for (FieldRecord& r : block) {
            for (int j = 0; j < 2; ++j) {
                r.slot[2 + 2 * j] += (i + 1.0) * a;
                r.slot[3 + 2 * j] += (i + 1.0) * b * (j + 1.0);
            }
            r.slot[8] += Complex(i, -i);
            ++i;
        }
        if (pass.commit() != 0) return -1;
    }
    return pass.finish();
}

// ---- layout ----------------------------------------------------------------

TEST(FieldFileLayout, SingleFrequencyHeaderBlocksAndTable) {
    TestRun t;
    defineStation(*t.rd, false, 'F');
    ASSERT_EQ(runFlightProfile(t, "A F F F\n0 0 0\n30000 2000 4000 2 3 20000 0\n140\n"), 0);
    const auto pts = tablePoints(*t.rd);
    const int32_t n = t.rd->pointCount;
    ASSERT_EQ(n, 8);
    int status = -1;
    const std::string bytes = runFieldFile(t, status);
    ASSERT_EQ(status, 0) << t.logText();
    ASSERT_EQ(bytes.size(), 20u + 504u * n);
    EXPECT_EQ(int32At(bytes, 0), n);
    EXPECT_EQ(doubleAt(bytes, 4), t.rd->meanTimeStep);
    EXPECT_EQ(doubleAt(bytes, 12), t.rd->speedRatio);
    EXPECT_CLOSE(doubleAt(bytes, 12), 84.39 / 140.0, 1e-15, 0);

    std::string log = "\nScattered Fields\n   Feet       Feet       Feet     Magnitude  Magnitude\n";
    const AntennaArray& course = t.rd->arrays[0];
    for (int32_t i = 0; i < n; ++i) {
        const auto& p = pts[i];
        EXPECT_EQ(doubleAt(bytes, test::blockOffset(i)), p.x);
        EXPECT_EQ(doubleAt(bytes, test::blockOffset(i) + 8), p.y);
        EXPECT_EQ(doubleAt(bytes, test::blockOffset(i) + 16), p.z);
        for (int s = 0; s < 15; ++s) EXPECT_EQ(slotAt(bytes, scatteredOffset(i), s), Complex(0, 0));
        const Complex csb = expectedField(course, false, false, p.x, p.y, p.z);
        const Complex sbo = expectedField(course, true, false, p.x, p.y, p.z);
        const double scale = 1.0 / std::hypot(p.x, p.z);
        expectComplexNear(slotAt(bytes, directOffset(i), 0), csb, scale, "slot 0");
        expectComplexNear(slotAt(bytes, directOffset(i), 2), csb - sbo, scale, "slot 2");
        expectComplexNear(slotAt(bytes, directOffset(i), 3), csb + sbo, scale, "slot 3");
        for (int s : {1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14})
            EXPECT_EQ(slotAt(bytes, directOffset(i), s), Complex(0, 0)) << s;
        const double zero[2] = {0.0, 0.0};
        log += tableLine(p, zero, 2);
    }
    log += "End of Run.\n";
    EXPECT_EQ(t.logText(), log);
}

TEST(FieldFileLayout, TwoFrequencyAddsTheWeightedClearanceArrayAndColumns) {
    TestRun t;
    defineStation(*t.rd, true, 'G');
    ASSERT_EQ(runFlightProfile(t, "C F F F\n0 0 0\n-30 30 15 6000 400\n100\n"), 0);
    ASSERT_EQ(scatterPass(*t.rd, Complex(1e-3, 2e-3), Complex(-4e-3, 5e-4)), 0);
    const auto pts = tablePoints(*t.rd);
    int status = -1;
    const std::string bytes = runFieldFile(t, status);
    ASSERT_EQ(status, 0) << t.logText();
    ASSERT_EQ(bytes.size(), 20u + 504u * 5);

    std::string log =
        "\nScattered Fields\n   Feet       Feet       Feet     Magnitude  Magnitude  Magnitude  "
        "Magnitude\n";
    for (int32_t i = 0; i < 5; ++i) {
        const auto& p = pts[i];
        const double scale = 1.0 / 6000.0;
        for (int j = 0; j < 2; ++j) {
            const AntennaArray& a = t.rd->arrays[j];
            const double w = j == 1 ? 0.625 : 1.0;
            const Complex csb = w * expectedField(a, false, true, p.x, p.y, p.z);
            const Complex sbo = w * expectedField(a, true, true, p.x, p.y, p.z);
            expectComplexNear(slotAt(bytes, directOffset(i), j), csb, scale, "csb");
            expectComplexNear(slotAt(bytes, directOffset(i), 2 + 2 * j), csb - sbo, scale, "diff");
            expectComplexNear(slotAt(bytes, directOffset(i), 3 + 2 * j), csb + sbo, scale, "sum");
        }
        for (int s = 6; s < 15; ++s) EXPECT_EQ(slotAt(bytes, directOffset(i), s), Complex(0, 0));
        // The scattered record is what the pass left, slot 8 included.
        EXPECT_EQ(slotAt(bytes, scatteredOffset(i), 8), Complex(i, -i));
        double magnitudes[4];
        for (int j = 0; j < 2; ++j) {
            const Complex diff = (i + 1.0) * Complex(1e-3, 2e-3);
            const Complex sum = (i + 1.0) * Complex(-4e-3, 5e-4) * (j + 1.0);
            EXPECT_EQ(slotAt(bytes, scatteredOffset(i), 2 + 2 * j), diff);
            EXPECT_EQ(slotAt(bytes, scatteredOffset(i), 3 + 2 * j), sum);
            magnitudes[2 * j] = std::abs((diff + sum) / 2.0);
            magnitudes[2 * j + 1] = std::abs((sum - diff) / 2.0);
        }
        log += tableLine(p, magnitudes, 4);
    }
    log += "End of Run.\n";
    EXPECT_EQ(t.logText(), log);
}

TEST(FieldFileLayout, GroundCancelsTheDirectFieldAtZeroHeight) {
    TestRun t;
    defineStation(*t.rd, true, 'G');
    ASSERT_EQ(runFlightProfile(t, "C F F F\n0 0 0\n-20 20 10 3000 0\n100\n"), 0);
    int status = -1;
    const std::string bytes = runFieldFile(t, status);
    ASSERT_EQ(status, 0);
    for (int32_t i = 0; i < 5; ++i) {
        for (int s = 0; s < 15; ++s) EXPECT_EQ(std::abs(slotAt(bytes, directOffset(i), s)), 0.0);
    }
}

TEST(FieldFileLayout, PointsOnAnElementStayFinite) {
    // An orbit of radius 0 sits on element 1 of the course array at every point.
    TestRun t;
    defineStation(*t.rd, false, 'G');
    ASSERT_EQ(runFlightProfile(t, "C F F F\n0 -5 8\n0 20 10 0 8\n100\n"), 0);
    int status = -1;
    const std::string bytes = runFieldFile(t, status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(bytes.size(), 20u + 504u * 3);
    EXPECT_TRUE(std::isfinite(doubleAt(bytes, 4)));
    EXPECT_TRUE(std::isfinite(doubleAt(bytes, 12)));
    for (size_t off = 20; off < bytes.size(); off += 8)
        EXPECT_TRUE(std::isfinite(doubleAt(bytes, off))) << off;
    EXPECT_GT(std::abs(slotAt(bytes, directOffset(0), 0)), 0.0);
}

// The table's lines are formatted by the run's threads: a coordinate of
// hundreds of digits still gives the whole line, in point order.
TEST(FieldFileLayout, TableLinesOfHugeCoordinatesAreWhole) {
    TestRun t;
    defineStation(*t.rd, false, 'F');
    const std::vector<ObservationPoint> points = {
        {1e200, 2.5, 3.0, 0, 0, 0}, {-3.25e120, 0.0, 7e150, 0, 0, 0}, {1000.0, -20.0, 50.0, 0, 0, 0}};
    ASSERT_EQ(createRunTables(*t.rd, static_cast<int32_t>(points.size())), 0);
    t.rd->pointCount = static_cast<int32_t>(points.size());
    for (size_t i = 0; i < points.size(); ++i) ASSERT_EQ(storePoint(*t.rd, static_cast<int32_t>(i), points[i]), 0);
    ASSERT_EQ(finishPoints(*t.rd), 0);
    int status = -1;
    runFieldFile(t, status);
    ASSERT_EQ(status, 0) << t.logText();
    std::string want = "\nScattered Fields\n   Feet       Feet       Feet     Magnitude  Magnitude\n";
    for (const ObservationPoint& p : points) {
        std::vector<char> line(1024);
        const int n = std::snprintf(line.data(), line.size(), "%10.2f %10.2f %10.2f %10.4e %10.4e\n", p.x,
                                    p.y, p.z, 0.0, 0.0);
        ASSERT_GT(n, 0);
        want.append(line.data(), static_cast<size_t>(n));
    }
    want += "End of Run.\n";
    ASSERT_GT(want.size(), 600u);  // two lines of hundreds of digits
    EXPECT_EQ(t.logText(), want);
}

TEST(FieldFileLayout, CompanionFileIsLeftEmptyInTheCurrentDirectory) {
    test::writeFile("fields2.txt", "old content");
    TestRun t;
    defineStation(*t.rd, false, 'F');
    ASSERT_EQ(runFlightProfile(t, "B F F F\n0 0 0\n3 3 1 0 100\n10\n"), 0);
    int status = -1;
    runFieldFile(t, status);
    EXPECT_EQ(status, 0);
    ASSERT_TRUE(test::fileExists("fields2.txt"));
    EXPECT_EQ(test::readFile("fields2.txt"), "");
}

// ---- storages ---------------------------------------------------------------

struct StoredRun {
    std::string fieldFile, log;
};

StoredRun runWithStorage(bool files, const std::string& fp, bool twoFrequency) {
    TestRun t;
    testControl().forceFileStorage = files;
    defineStation(*t.rd, twoFrequency, 'G');
    StoredRun out;
    if (runFlightProfile(t, fp) != 0) {
        ADD_FAILURE() << t.logText();
        return out;
    }
    EXPECT_EQ(t.rd->pointTable.inMemory, !files);
    EXPECT_EQ(t.rd->fieldTable.inMemory, !files);
    const int32_t n = t.rd->pointCount;
    const std::string fields = t.scratch + "fields.tmp";
    for (int pass = 0; pass < 3; ++pass) {
        EXPECT_EQ(scatterPass(*t.rd, Complex(pass, 1e-3), Complex(2e-3, -pass)), 0);
        if (files) {
            EXPECT_EQ(fs::file_size(fields), 240u * static_cast<uintmax_t>(n));
            EXPECT_FALSE(test::fileExists(t.scratch + "fields1.tmp"));
        }
    }
    // The FieldFile goes beside the scratch directory, which must end empty.
    const std::string fld = t.scratch.substr(0, t.scratch.size() - 1) + ".fld";
    EXPECT_EQ(runFieldRun(*t.rd, std::fopen(fld.c_str(), "wb")), 0);
    out.fieldFile = test::readFile(fld);
    if (files) {
        EXPECT_EQ(fs::file_size(fields), 240u * static_cast<uintmax_t>(n));  // read only
    }
    releaseRunTables(*t.rd);
    EXPECT_TRUE(fs::is_empty(t.scratch)) << "scratch files left behind";
    out.log = t.logText();
    fs::remove(fld);
    return out;
}

TEST(TableStorage, FilesGiveTheSameFieldFileAsMemory) {
    const std::string flights[] = {
        "A F F F\n0 0 0\n25000 -1500 2500 0 3 12000 10 20\n150 1\n",  // with deceleration
        "A n k b\n0.2 0 30\n2 0 0.25 10 3 1 40\n130 1\n",
        "C F F F\n100 -50 0\n-40 40 8 8000 600\n120\n",
        "B F F F\n0 0 0\n6 2 1500 5 1000\n200\n",
    };
    for (const auto& fp : flights) {
        for (const bool twoFrequency : {false, true}) {
            const StoredRun memory = runWithStorage(false, fp, twoFrequency);
            const StoredRun files = runWithStorage(true, fp, twoFrequency);
            ASSERT_FALSE(memory.fieldFile.empty()) << fp;
            EXPECT_TRUE(memory.fieldFile == files.fieldFile) << fp;
            EXPECT_EQ(memory.log, files.log) << fp;
        }
    }
}

TEST(TableStorage, UserProfileFromFileStorage) {
    TestRun t;
    testControl().forceFileStorage = true;
    defineStation(*t.rd, false, 'F');
    const std::string file = t.scratch.substr(0, t.scratch.size() - 1) + "-user.txt";
    test::writeFile(file, "2\n100 0 50 10 0 0\n200 0 50 10 0 0\n");
    ASSERT_EQ(runFlightProfile(t, "U F F F\n0 0 0\n" + file + "\n"), 0);
    EXPECT_EQ(fs::file_size(t.scratch + "flight.tmp"), 96u);
    int status = -1;
    const std::string bytes = runFieldFile(t, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(doubleAt(bytes, test::blockOffset(1)), 200.0);
    EXPECT_EQ(doubleAt(bytes, 4), 10.0);
    fs::remove(file);
}

// ---- failures ---------------------------------------------------------------

TEST(FieldRunFailures, FullDiskFailsTheRunNamingTheFieldFile) {
    ILSCALC_SKIP_ON_WINDOWS("a full disk is simulated by /dev/full");
    for (const int32_t points : {1, 200}) {  // a short write may only fail at the close
        TestRun t;
        defineStation(*t.rd, false, 'F');
        const std::string fp = "B F F F\n0 0 0\n3 3 1 0 100\n10\n";
        ASSERT_EQ(runFlightProfile(t, points == 1 ? fp : "C F F F\n0 0 0\n0 199 1 1000 100\n10\n"), 0);
        ASSERT_EQ(t.rd->pointCount, points);
        std::snprintf(t.rd->fieldFilePath, sizeof t.rd->fieldFilePath, "/dev/full");
        EXPECT_EQ(runFieldRun(*t.rd, std::fopen("/dev/full", "wb")), -1);
        const std::string log = t.logText();
        EXPECT_NE(log.find("ERROR! Cannot write field file /dev/full\n"), std::string::npos) << log;
        EXPECT_EQ(log.find("End of Run."), std::string::npos);
    }
    TestRun none;
    EXPECT_EQ(runFieldRun(*none.rd, nullptr), -1);
    EXPECT_EQ(none.logText(), "ERROR! Cannot write field file (field file)\n");
}

TEST(FieldRunFailures, LostOrShortScratchFilesFailTheRun) {
    for (const char* lost : {"flight.tmp", "fields.tmp"}) {
        TestRun t;
        testControl().forceFileStorage = true;
        defineStation(*t.rd, false, 'F');
        ASSERT_EQ(runFlightProfile(t, "C F F F\n0 0 0\n0 90 10 1000 100\n10\n"), 0);
        const std::string path = t.scratch + lost;
        // Half a file: the records run out part way through the points.
        const auto size = fs::file_size(path);
        fs::resize_file(path, size / 2);
        int status = 0;
        runFieldFile(t, status);
        EXPECT_EQ(status, -1);
        const std::string log = t.logText();
        EXPECT_NE(log.find("ERROR! Cannot read scratch file " + path + "\n"), std::string::npos)
            << log;
        EXPECT_EQ(log.find("End of Run."), std::string::npos);
        fs::remove(path);
        TestRun again;
        testControl().forceFileStorage = true;
        defineStation(*again.rd, false, 'F');
        ASSERT_EQ(runFlightProfile(again, "C F F F\n0 0 0\n0 90 10 1000 100\n10\n"), 0);
        fs::remove(again.scratch + lost);
        runFieldFile(again, status);
        EXPECT_EQ(status, -1);
        EXPECT_NE(again.logText().find("ERROR! Cannot read scratch file " + again.scratch + lost),
                  std::string::npos);
    }
}

TEST(FieldRunFailures, ScratchFilesOnAFullDiskFailTheirCommand) {
    ILSCALC_SKIP_ON_WINDOWS("a full disk is simulated by links to /dev/full");
    // Each scratch file in turn is a link to a device that is always full.
    for (const char* name : {"flight.tmp", "fields.tmp", "fields1.tmp"}) {
        TestRun t;
        testControl().forceFileStorage = true;
        fs::create_symlink("/dev/full", t.scratch + name);
        const int fp = runFlightProfile(t, "C F F F\n0 0 0\n0 350 10 1000 100\n10\n");
        const std::string path = t.scratch + name;
        if (std::strcmp(name, "fields1.tmp") == 0) {
            ASSERT_EQ(fp, 0);
            EXPECT_EQ(scatterPass(*t.rd, Complex(1, 0), Complex(0, 1)), -1);
        } else {
            EXPECT_EQ(fp, -1);
        }
        EXPECT_EQ(t.logText(), "ERROR! Cannot write scratch file " + path + "\n");
        releaseRunTables(*t.rd);
        EXPECT_FALSE(fs::exists(fs::symlink_status(t.scratch + "flight.tmp")));
        EXPECT_FALSE(fs::exists(fs::symlink_status(t.scratch + "fields.tmp")));
    }
}

// A stop request reaches EN between blocks of points: the run ends as an
// interrupted one with an empty field file, never a cut one. A flight of one
// block is written whole (the driver looks at the request before the next
// command).
TEST(FieldRunStops, StopRequestEndsTheFieldRunBetweenBlocks) {
    for (const bool files : {false, true}) {
        SCOPED_TRACE(files ? "scratch files" : "memory");
        TestRun t;
        testControl().forceFileStorage = files;
        testControl().blockPoints = 4;
        defineStation(*t.rd, false, 'F');
        ASSERT_EQ(runFlightProfile(t, "C F F F\n0 0 0\n0 18 1 1000 100\n10\n"), 0);
        ASSERT_EQ(t.rd->pointCount, 19);
        t.rd->stopRequested.store(true);
        int status = 0;
        const std::string bytes = runFieldFile(t, status);
        EXPECT_EQ(status, -1);
        EXPECT_EQ(bytes, "");
        const std::string log = t.logText();
        ASSERT_GE(log.size(), 25u);
        EXPECT_EQ(log.substr(log.size() - 25), "Calculation interrupted.\n");
        releaseRunTables(*t.rd);
    }
    TestRun one;
    testControl().blockPoints = 32;
    defineStation(*one.rd, false, 'F');
    ASSERT_EQ(runFlightProfile(one, "C F F F\n0 0 0\n0 18 1 1000 100\n10\n"), 0);
    one.rd->stopRequested.store(true);
    int status = -1;
    const std::string bytes = runFieldFile(one, status);
    EXPECT_EQ(status, 0) << one.logText();
    EXPECT_EQ(bytes.size(), 20u + 504u * 19u);
}

}  // namespace
}  // namespace ils
