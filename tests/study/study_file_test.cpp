// Study files: what a valid file gives, and a clear error with line and key
// for each kind of mistake.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "study_file.h"
#include "study_fixture.h"

using namespace ilshost::study;
namespace fs = std::filesystem;

namespace {

const char* const kValid = R"(# a study
[base]
project = "base"
run = "RUN"

[object]
type = "aircraft"
aircraft = "b747-8"
speed = 5.0

[grid]
x = { from = 100.0, to = 300.0, step = 100.0 }
y = [-50.0, 0.0, 50.0]
headings = [0, 90]

[check]
category = "II"
threshold = [3300.0, 0.0]
stop_end = [300.0, 0.0]

[check.allowed]
default = { fraction = 0.5 }
"A to B" = { microamperes = 3.0 }

[map]
antennas = [[0.0, 0.0]]
latitude = 47.5
longitude = 8.5
bearing = 280.0
)";

class StudyFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = studytest::freshDir("study_file");
        studytest::writeBaseProject(dir + "base/", "RUN", "");
    }
    // Parses a text as dir/s.toml; returns the errors.
    std::vector<std::string> errorsOf(const std::string& text) {
        Study s;
        std::vector<std::string> errors;
        const bool ok = parseStudy(text, dir + "s.toml", s, errors);
        EXPECT_EQ(ok, errors.empty());
        return errors;
    }
    // Expects exactly one error that names the line and the key.
    void expectError(const std::string& text, int line, const std::string& key, const std::string& what) {
        const std::vector<std::string> errors = errorsOf(text);
        ASSERT_EQ(errors.size(), 1u) << (errors.empty() ? "no error" : errors[0]);
        EXPECT_NE(errors[0].find("s.toml:" + std::to_string(line) + ": " + key + ": "), std::string::npos)
            << errors[0];
        EXPECT_NE(errors[0].find(what), std::string::npos) << errors[0];
    }
    // The valid text with one line replaced.
    std::string replaced(const std::string& from, const std::string& to) {
        std::string t = kValid;
        const size_t at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return t.replace(at, from.size(), to);
    }
    std::string dir;
};

TEST_F(StudyFileTest, ValidFileGivesItsValues) {
    Study s;
    std::vector<std::string> errors;
    ASSERT_TRUE(parseStudy(kValid, dir + "s.toml", s, errors)) << errors[0];
    EXPECT_EQ(s.project, dir + "base/");
    EXPECT_EQ(s.run, "RUN");
    EXPECT_EQ(s.folder, dir + "s/");
    EXPECT_EQ(s.object.kind, ObjectKind::Aircraft);
    EXPECT_EQ(s.object.aircraft, "b747-8");
    EXPECT_DOUBLE_EQ(s.object.speed, 5.0);
    EXPECT_EQ(s.xs, (std::vector<double>{100.0, 200.0, 300.0}));
    EXPECT_EQ(s.ys, (std::vector<double>{-50.0, 0.0, 50.0}));
    EXPECT_EQ(s.headings, (std::vector<double>{0.0, 90.0}));
    EXPECT_EQ(s.category, 2);
    EXPECT_TRUE(s.hasStopEnd);
    EXPECT_DOUBLE_EQ(s.stopX, 300.0);
    EXPECT_FALSE(s.defaultAllowance.microamperes);
    EXPECT_DOUBLE_EQ(s.defaultAllowance.value, 0.5);
    ASSERT_EQ(s.segmentAllowance.count("A to B"), 1u);
    EXPECT_TRUE(s.segmentAllowance["A to B"].microamperes);
    EXPECT_DOUBLE_EQ(s.segmentAllowance["A to B"].value, 3.0);
    EXPECT_TRUE(s.hasGeo);
    ASSERT_EQ(s.antennas.size(), 1u);
}

TEST_F(StudyFileTest, RangesIncludeTheirEndAndToleranceOfRounding) {
    EXPECT_EQ(rangeValues(0.0, 1.0, 0.25).size(), 5u);
    EXPECT_EQ(rangeValues(0.0, 0.3, 0.1).size(), 4u);  // 0.3/0.1 is 2.9999...
    EXPECT_EQ(rangeValues(5.0, 5.0, 1.0), std::vector<double>{5.0});
    EXPECT_TRUE(rangeValues(1.0, 0.0, 1.0).empty());
}

TEST_F(StudyFileTest, EveryMistakeNamesLineAndKey) {
    expectError(replaced("aircraft = \"b747-8\"", "aircraft = \"B748\""), 8, "object.aircraft",
                "unknown aircraft type \"B748\"");
    expectError(replaced("speed = 5.0", "speed = -5.0"), 9, "object.speed", "must not be negative");
    expectError(replaced("step = 100.0", "step = 0.0"), 12, "grid.x.step", "greater than 0");
    expectError(replaced("to = 300.0", "to = 50.0"), 12, "grid.x.to", "must not be below from");
    expectError(replaced("y = [-50.0, 0.0, 50.0]", "y = [-50.0, \"0\"]"), 13, "grid.y", "must be a number");
    expectError(replaced("y = [-50.0, 0.0, 50.0]", "y = [0.0, 0.0]"), 13, "grid.y", "twice");
    expectError(replaced("category = \"II\"", "category = \"IV\""), 17, "check.category", "\"I\", \"II\" or \"III\"");
    expectError(replaced("threshold = [3300.0, 0.0]", "threshold = [3300.0]"), 18, "check.threshold",
                "pair of numbers");
    expectError(replaced("\"A to B\"", "\"A to Q\""), 23, "check.allowed.\"A to Q\"", "unknown segment");
    expectError(replaced("fraction = 0.5", "fraction = 0"), 22, "check.allowed.\"default\".fraction",
                "greater than 0");
    expectError(replaced("headings = [0, 90]", "headings = [0, 90]\nheading = 3"), 15, "grid.heading",
                "unknown key");
    expectError(replaced("run = \"RUN\"", "run = \"OTHER\""), 4, "base.run", "has no");
    expectError(replaced("bearing = 280.0", ""), 25, "map.bearing", "missing");
    expectError(replaced("type = \"aircraft\"", "type = \"ship\""), 7, "object.type", "\"aircraft\", \"building\"");
}

TEST_F(StudyFileTest, MissingTablesAndSyntaxErrorsAreReported) {
    const std::vector<std::string> none = errorsOf("");
    ASSERT_EQ(none.size(), 4u);  // base, object, grid, check
    EXPECT_NE(none[0].find("base: missing"), std::string::npos) << none[0];
    const std::vector<std::string> syntax = errorsOf("[base]\nproject = \"x\nrun = 1\n");
    ASSERT_EQ(syntax.size(), 1u);
    EXPECT_NE(syntax[0].find("s.toml:2:"), std::string::npos) << syntax[0];
}

TEST_F(StudyFileTest, BuildingsAndPlatesNeedTheirOwnKeys) {
    const std::string building = replaced("type = \"aircraft\"\naircraft = \"b747-8\"",
                                          "type = \"building\"\nwidth = 40\ndepth = 20\nheight = 0\n"
                                          "material = \"wood\"");
    const std::vector<std::string> e = errorsOf(building);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_NE(e[0].find("s.toml:10: object.height: must be greater than 0"), std::string::npos) << e[0];
    EXPECT_NE(e[1].find("s.toml:11: object.material: unknown material \"wood\""), std::string::npos) << e[1];
    const std::string plates = replaced("type = \"aircraft\"\naircraft = \"b747-8\"\nspeed = 5.0",
                                        "type = \"plates\"\nwidth = 3\n[[object.plate]]\nx1 = 0\ny1 = 0\n"
                                        "x2 = 0\ny2 = 0\nheight = 2\nmaterial = 1");
    const std::vector<std::string> p = errorsOf(plates);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_NE(p[0].find("object.width: belongs to another object type"), std::string::npos) << p[0];
    EXPECT_NE(p[1].find("object.plate[1]: the bottom edge has no length"), std::string::npos) << p[1];
}

TEST_F(StudyFileTest, AnInvalidStudyComputesNothing) {
    const std::string path = dir + "bad.toml";
    ASSERT_TRUE(studytest::writeText(path, replaced("step = 100.0", "step = -1.0")));
    const studytest::Outcome o = studytest::host("study run " + path);
    EXPECT_EQ(o.code, 1) << o.output;
    EXPECT_NE(o.output.find("bad.toml:12: grid.x.step: must be greater than 0"), std::string::npos) << o.output;
    EXPECT_NE(o.output.find("nothing was computed"), std::string::npos) << o.output;
    EXPECT_FALSE(fs::exists(dir + "bad"));
}

}  // namespace
