// The parameter file: every code check and message, the per-line buffers and
// the shared buffer that keeps its last line at the end of the file, and the
// values derived while reading.
#include <cmath>
#include <cstdio>

#include "post/post_data.h"
#include "post_fixture.h"

namespace ils::test {
namespace {

// Runs readparams over a text with a fresh PostData.
struct ReadResult {
    int32_t result = 0;
    std::string log;
    std::unique_ptr<PostData> pd;
};

ReadResult readParams(const std::string& text) {
    ReadResult r;
    r.pd = std::make_unique<PostData>();
    PostData& pd = *r.pd;
    pd.parameterFile = std::tmpfile();
    pd.postLog = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), pd.parameterFile);
    std::rewind(pd.parameterFile);
    r.result = readparams(pd);
    std::fflush(pd.postLog);
    std::rewind(pd.postLog);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pd.postLog)) > 0) r.log.append(buf, n);
    std::fclose(pd.parameterFile);
    std::fclose(pd.postLog);
    pd.parameterFile = pd.postLog = nullptr;
    return r;
}

const std::string kHead = "out/\nrun\nrep\n0\n1000 10 20\n0 0 0\n";
const std::string kCdi = "1 0 0 2 0 0 0\n" + std::string(kCourseLine) + kClearanceLine;

struct ErrorCase {
    const char* name;
    std::string text;
    std::string log;
};

TEST(PostParameters, EveryFaultStopsWithItsMessage) {
    const std::string in3 = std::string(kInactiveBlock);
    const std::vector<ErrorCase> cases = {
        {"empty file", "", "ERROR! SY command requires 1 inputs on line 1.\nLast line read:\n\t"},
        {"blank name", "out/\nrun\n \t \r\n",
         "ERROR! SY command requires 1 inputs on line 3.\nLast line read:\n\t"},
        // Lines 1 to 3 have own buffers: line 3 is empty, not a copy of line 2.
        {"ends after line 2", "out/\nrun\n",
         "ERROR! SY command requires 1 inputs on line 3.\nLast line read:\n\t"},
        {"ends after line 3", "out/\nrun\nrep\n",
         "ERROR! SY command requires 1 inputs on line 4.\nLast line read:\n\t"},
        {"ils type word", "out/\nrun\nrep\nLOC\n",
         "ERROR! SY command requires 1 inputs on line 4.\nLast line read:\n\tLOC\n"},
        {"ils type 2", "out/\nrun\nrep\n2\n", "ERROR! Invalid input for ILS type: 2\n"},
        {"fp line 1 short", "out/\nrun\nrep\n1\n1000 0\n",
         "ERROR! FP command requires 3 inputs on line 1.\nLast line read:\n\t1000 0\n"},
        {"fp line 2 short", "out/\nrun\nrep\n1\n1000 0 0\n0 0\n",
         "ERROR! FP command requires 3 inputs on line 2.\nLast line read:\n\t0 0\n"},
        // At the end of the file the shared buffer still holds line 5.
        {"ends after fp line 1", "out/\nrun\nrep\n0\n1000.5 2 3\n",
         "ERROR! FP command requires 3 inputs on line 2.\nLast line read:\n\t1000.5 2 3\n"},
        {"reference code", "out/\nrun\nrep\n0\n0 0 0\n0 3 0\n",
         "ERROR! Invalid reference variable code: 3.\n"},
        {"distance units", "out/\nrun\nrep\n0\n0 0 0\n0 0 4\n",
         "ERROR! Invalid distance units code: 4.\n"},
        {"backcourse then reference", "out/\nrun\nrep\n0\n0 0 0\n7 13 0\n",
         "ERROR! Invalid backcourse code: 7.\nERROR! Invalid reference variable code: 13.\n"},
        // The clearance line of block 1 is scanned again as the trace line of P2.
        {"ends after block 1", kHead + "1 0 0 2 0 0 0\n" + kCourseLine + "2.0 0.1 10 1 5 1 1\n",
         "ERROR! P2 command requires 7 inputs on line 4.\nLast line read:\n\t2.0 0.1 10 1 5 1 1\n"},
        {"trace line short", kHead + "1 0 0\n",
         "ERROR! P1 command requires 7 inputs on line 1.\nLast line read:\n\t1 0 0\n"},
        {"output type", kHead + "1 5 0 0 0 0 0\n", "ERROR! Invalid output type code: 5\n"},
        {"field type", kHead + "1 3 2 3 0 0 2\n", "ERROR! Invalid field type code: 3\n"},
        {"field array", kHead + "1 3 2 0 0 0 2\n", "ERROR! Invalid array select code: 2\n"},
        {"field units", kHead + "1 4 0 0 0 0 1\n", "ERROR! Invalid units for field output: 1\n"},
        {"flag units", kHead + "1 2 0 0 0 0 2\n", "ERROR! Invalid units for flag output: 2\n"},
        {"cdi units", kHead + "1 0 0 0 0 0 3\n", "ERROR! Invalid units for CDI output: 3\n"},
        {"cdi filter", kHead + "1 1 0 0 2 0 0\n", "ERROR! Invalid CDI filter code: 2\n"},
        {"corrections", kHead + "1 1 0 0 0 3 0\n", "ERROR! Invalid flight corrections code: 3\n"},
        {"corrections 2 short", kHead + in3 + "1 0 0 2 0 2 0 1 2 3 4\n",
         "ERROR! P2 command requires 5 inputs on line 4.\nLast line read:\n\t"
         "1 0 0 2 0 2 0 1 2 3 4\n"},
        {"corrections 2 zero width", kHead + "1 0 0 2 0 2 0 0 0 0 0 0\n",
         "ERROR! Invalid angular width: 0\n"},
        {"course line short", kHead + in3 + kCdi + "1 0 0 2 0 0 0\n1 2 3\n",
         "ERROR! P3 command requires 4 inputs on line 8.\nLast line read:\n\t1 2 3\n"},
        // Clearance-only trace: the course line is read but not scanned.
        {"clearance line short", kHead + "1 0 1 2 0 0 0\nnot numbers\n1 2 3 4 5 6\n",
         "ERROR! P1 command requires 7 inputs on line 3.\nLast line read:\n\t1 2 3 4 5 6\n"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ReadResult r = readParams(c.text);
        EXPECT_EQ(r.result, -1);
        EXPECT_EQ(r.log, c.log);
    }
}

TEST(PostParameters, LinesAndCodesAreStored) {
    const ReadResult r = readParams(" \tout dir/ \r\n  run 1\nrep\n1\n-1000 10.5 -20\n0 12 3\n" +
                                    std::string(kInactiveBlock) + kInactiveBlock +
                                    kInactiveBlock + kInactiveBlock + "never read\n");
    ASSERT_EQ(r.result, 0) << r.log;
    EXPECT_EQ(r.log, "");
    const PostParameters& p = r.pd->params;
    EXPECT_STREQ(p.outputPrefix, "out dir/");
    EXPECT_STREQ(p.dataName, "run 1");
    EXPECT_STREQ(p.outputName, "rep");
    EXPECT_EQ(p.ilsType, 1);
    EXPECT_EQ(p.nominalDepth, 0.4);
    EXPECT_EQ(p.backcourseOffset, -1000.0);
    EXPECT_EQ(p.referenceX, 10.5);
    EXPECT_EQ(p.referenceY, -20.0);
    EXPECT_EQ(p.referenceCode, 12);
    EXPECT_EQ(p.distanceFactor, 57.29577951307855);
    EXPECT_EQ(p.traceCount, 0);
}

TEST(PostParameters, DistanceFactorsAndOutputScales) {
    const double factors[4] = {1.0, 0.3048, 0.00016457884684539383, 57.29577951307855};
    for (int units = 0; units < 4; ++units) {
        const ReadResult r = readParams("o\nd\nn\n0\n0 0 0\n0 0 " + std::to_string(units) + "\n" +
                                        kInactiveBlock + kInactiveBlock + kInactiveBlock +
                                        kInactiveBlock);
        ASSERT_EQ(r.result, 0);
        EXPECT_EQ(r.pd->params.distanceFactor, factors[units]);
    }
    // Localizer and glide slope; CDI types 0 and 1 and flag in microamperes,
    // then the same in DDM (scale 1).
    const double expected[2][3] = {{387.0967741935484, 387.0967741935484, 967.741935483871},
                                   {685.7142857142858, 685.7142857142858, 857.1428571428572}};
    for (int station = 0; station < 2; ++station) {
        for (int units = 0; units < 2; ++units) {
            std::string text = "o\nd\nn\n" + std::to_string(station) + "\n0 0 0\n0 0 0\n";
            for (int type = 0; type < 3; ++type) {
                text += "1 " + std::to_string(type) + " 0 2 0 0 " + std::to_string(units) + "\n" +
                        kCourseLine + kClearanceLine;
            }
            text += kInactiveBlock;
            const ReadResult r = readParams(text);
            ASSERT_EQ(r.result, 0) << r.log;
            ASSERT_EQ(r.pd->params.traceCount, 3);
            for (int type = 0; type < 3; ++type) {
                SCOPED_TRACE(testing::Message() << station << " " << units << " " << type);
                EXPECT_EQ(r.pd->params.traces[type].outputScale,
                          units == 0 ? expected[station][type] : 1.0);
            }
        }
    }
}

TEST(PostParameters, ArrayLinesGiveToneDepthsAndSboPhasors) {
    // CDI on both arrays (select 2 is valid for CDI), localizer.
    const ReadResult r = readParams(kHead + "1 0 2 1 1 1 1\n4.5 0.01 90 0.5 extra words\n" +
                                    "3.5 -0.02 -45 2.5 12.0 2.0 0.25\n" + kInactiveBlock +
                                    kInactiveBlock + kInactiveBlock);
    ASSERT_EQ(r.result, 0) << r.log;
    const Trace& t = r.pd->params.traces[0];
    EXPECT_CLOSE(t.toneDepths[0], 0.195, 1e-15, 1e-15);
    EXPECT_CLOSE(t.toneDepths[1], 0.205, 1e-15, 1e-15);
    EXPECT_CLOSE(t.toneDepths[2], 0.21, 1e-15, 1e-15);
    EXPECT_CLOSE(t.toneDepths[3], 0.19, 1e-15, 1e-15);
    EXPECT_EQ(t.course.width, 4.5);
    EXPECT_EQ(t.course.sboPhase, 90 * 0.017453292519944444);
    EXPECT_CLOSE(t.sboPhasor[0].real(), 0.0, 0, 1e-11);
    EXPECT_CLOSE(t.sboPhasor[0].imag(), 0.5, 1e-12, 0);
    EXPECT_EQ(t.clearance.width, 3.5);
    EXPECT_EQ(t.clearanceRatio, 2.5);
    EXPECT_EQ(t.captureAngle, 12.0);
    EXPECT_EQ(t.clearance.sboAmplitude, 2.0);
    EXPECT_EQ(t.clearanceScale, 0.25);
    EXPECT_CLOSE(t.sboPhasor[1].real(), std::sqrt(2.0), 1e-11, 0);
    EXPECT_CLOSE(t.sboPhasor[1].imag(), -std::sqrt(2.0), 1e-11, 0);
    // CDI traces always sum both records; the codes read stay.
    EXPECT_EQ(t.fieldType, 2);
    EXPECT_EQ(t.cdiFilter, 1);
    EXPECT_EQ(t.flightCorrections, 1);
    EXPECT_EQ(t.arraySelect, 2);
}

TEST(PostParameters, TracesAreStoredWithoutGapsAndCodesForced) {
    // Block 1 field trace, block 2 inactive with codes that would be invalid,
    // block 3 flag, block 4 CDI with flight corrections 2 on its trace line;
    // a CDI trace on the course array does not scan its clearance line.
    const ReadResult r = readParams(kHead + "1 3 1 0 1 1 3\nnot scanned\n" + kClearanceLine +
                                    "0 9 9 9 9 9 9\nx\ny\n" + "1 2 0 0 1 1 1\n" + kCourseLine +
                                    "z\n" + "1 0 0 0 1 2 0 100 -50 10 3.0 2.5\n" + kCourseLine +
                                    "text only\n");
    ASSERT_EQ(r.result, 0) << r.log;
    const PostParameters& p = r.pd->params;
    ASSERT_EQ(p.traceCount, 3);
    EXPECT_EQ(p.traces[0].outputType, 3);
    EXPECT_EQ(p.traces[0].arraySelect, 1);
    EXPECT_EQ(p.traces[0].fieldType, 0);
    EXPECT_EQ(p.traces[0].cdiFilter, 0);
    EXPECT_EQ(p.traces[0].flightCorrections, 0);
    EXPECT_EQ(p.traces[1].outputType, 2);
    EXPECT_EQ(p.traces[1].fieldType, 2);
    EXPECT_EQ(p.traces[1].cdiFilter, 0);
    EXPECT_EQ(p.traces[1].flightCorrections, 0);
    const Trace& c = p.traces[2];
    EXPECT_EQ(c.fieldType, 2);
    EXPECT_EQ(c.flightCorrections, 2);
    EXPECT_EQ(c.correctionX, 100.0);
    EXPECT_EQ(c.correctionY, -50.0);
    EXPECT_EQ(c.correctionZ, 10.0);
    EXPECT_EQ(c.nominalAngle, 3.0);
    EXPECT_EQ(c.angularWidth, 2.5);
}

TEST(PostParameters, InvalidBackcourseDoesNotStopTheRun) {
    const ReadResult r = readParams("o\nd\nn\n0\n1000 0 0\n5 0 0\n" + std::string(kInactiveBlock) +
                                    kInactiveBlock + kInactiveBlock + kInactiveBlock);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.log, "ERROR! Invalid backcourse code: 5.\n");
    EXPECT_EQ(r.pd->params.backcourseCode, 5);
    // Any non-zero code is a backcourse.
    EXPECT_EQ(xValueOf(r.pd->params, 500.0, 0.0, 0.0), -1500.0);
}

// The example of the format description must stay a valid file.
TEST(PostParameters, DocumentedExampleIsValid) {
    const std::string doc = readFile(std::string(ILSCALC_SOURCE_DIR) + "/docs/parameter-file.md");
    const size_t section = doc.find("## Example");
    ASSERT_NE(section, std::string::npos);
    const size_t start = doc.find("```\n", section);
    ASSERT_NE(start, std::string::npos);
    const size_t end = doc.find("```", start + 4);
    ASSERT_NE(end, std::string::npos);
    const ReadResult r = readParams(doc.substr(start + 4, end - start - 4));
    ASSERT_EQ(r.result, 0) << r.log;
    EXPECT_EQ(r.log, "");
    ASSERT_EQ(r.pd->params.traceCount, 2);
    EXPECT_EQ(r.pd->params.traces[1].flightCorrections, 2);
    EXPECT_EQ(r.pd->params.traces[1].angularWidth, 3.0);
}

// Through the export: the failure is result 3 with the message in the post
// log, no FieldFile read and no report.
TEST_F(PostTest, ParameterFaultIsResultThreeWithoutReport) {
    writeParams(header() + "1 5 0 0 0 0 0\n");
    writeField({FieldPoint(0, 0, 0).course(1.0, 0.1)});
    EXPECT_EQ(post(), 3);
    EXPECT_EQ(log(), "ERROR! Invalid output type code: 5\n");
    EXPECT_FALSE(fileExists(dir + "rep.PTS"));
    EXPECT_FALSE(fileExists(dir + "v1.txt"));
}

TEST_F(PostTest, BlocksOneAndThreeBecomeTracesOneAndTwo) {
    writeParams(header() + "1 1 0 2 0 0 1\n" + kCourseLine + kClearanceLine + kInactiveBlock +
                "1 2 0 2 0 0 1\n" + kCourseLine + kClearanceLine + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0).course(1.0, 0.1)});
    ASSERT_EQ(post(), 0) << log();
    const std::string rep = report();
    EXPECT_NE(rep.find("Traces:  2"), std::string::npos);
    EXPECT_NE(rep.find("   Tr 1 CDI CRS:"), std::string::npos);
    EXPECT_NE(rep.find("   Tr 2 FLG CRS:"), std::string::npos);
    const auto r = rows();
    ASSERT_EQ(r.size(), 1u);
    ASSERT_EQ(r[0].size(), 3u);
    // DDM 2·0.2·0.1 = 0.04 over 0.4; flag: sum of depths 0.4.
    EXPECT_CLOSE(r[0][1], 0.1, 0, 5e-5);
    EXPECT_CLOSE(r[0][2], 0.4, 0, 5e-5);
}

}  // namespace
}  // namespace ils::test
