// The bundled examples, scatterers and all, end to end: the command file
// through ILSCalc_Start, the parameter file through ILSPost, against golden
// outputs checked in under tests/examples/golden/.
//
// Compared: the FieldFile header; about 16 points of the FieldFile spread
// along the flight (position and both records), each double within 1e-9 of
// its scale (the largest magnitude of the point's position, or of the
// FieldSlots of its record); and the report, exact after line ends, on its
// heading lines and on the rows of the same points.
//
// After an intended change of the results, regenerate the golden files with
//     ILSCALC_REGENERATE_GOLDEN=1 ctest --test-dir build -R Golden
// and review the difference before committing it.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ilscalc/ilscalc.h"
#include "support/test_support.h"

namespace ils::test {
namespace {

namespace fs = std::filesystem;

constexpr double kTolerance = 1e-9;
constexpr size_t kSampledPoints = 16;

struct Example {
    const char* folder;
    const char* run;
};

const Example kExamples[] = {
    {"localizer-two-frequency", "LOC2F"},
    {"localizer-two-frequency", "LOC2FORB"},
    {"localizer-single-frequency", "LOC1F"},
    {"glide-slope-null-reference", "GS3"},
};

bool regenerate() {
    const char* v = std::getenv("ILSCALC_REGENERATE_GOLDEN");
    return v != nullptr && std::string(v) == "1";
}

std::string goldenPath(const Example& e) {
    return std::string(ILSCALC_SOURCE_DIR) + "/tests/examples/golden/" + e.run + ".golden";
}

// The indices of the sampled points: both ends and evenly between.
std::vector<size_t> sampled(size_t n) {
    std::vector<size_t> out;
    if (n == 0) return out;
    const size_t m = std::min(n, kSampledPoints);
    for (size_t k = 0; k < m; ++k) out.push_back(m == 1 ? 0 : k * (n - 1) / (m - 1));
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::string withoutCarriageReturns(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    return s;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(withoutCarriageReturns(text));
    std::string line;
    while (std::getline(in, line)) out.push_back(line);
    return out;
}

std::string number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// The outputs of one example run, in the golden file's text form:
//   header <pointCount> <meanTimeStep> <speedRatio>
//   point <i> <x y z, 30 scattered doubles, 30 direct doubles>
//   report <line>          heading lines of the report
//   row <i> <line>         report row of point i
std::string goldenText(const std::string& fld, const std::string& report) {
    std::string out;
    if (fld.size() < 20) return "header missing\n";
    const int32_t n = int32At(fld, 0);
    out += "header " + std::to_string(n) + " " + number(doubleAt(fld, 4)) + " " +
           number(doubleAt(fld, 12)) + "\n";
    const std::vector<size_t> points = sampled(static_cast<size_t>(std::max(n, 0)));
    for (size_t i : points) {
        out += "point " + std::to_string(i);
        for (int v = 0; v < 63; ++v) out += " " + number(doubleAt(fld, 20 + 504 * i + 8 * v));
        out += "\n";
    }
    const std::vector<std::string> lines = linesOf(report);
    // Rows follow the heading's blank line after the unit labels.
    size_t first = lines.size();
    for (size_t k = 1; k < lines.size(); ++k) {
        if (lines[k].empty() && lines[k - 1].find(')') != std::string::npos) {
            first = k + 1;
            break;
        }
    }
    for (size_t k = 0; k < std::min(first, lines.size()); ++k) out += "report " + lines[k] + "\n";
    for (size_t i : points) {
        if (first + i < lines.size()) out += "row " + std::to_string(i) + " " + lines[first + i] + "\n";
    }
    return out;
}

struct ExampleRun {
    int32_t state = -1;
    int32_t post = -1;
    std::string log, fld, report;
};

// Copies the example into a fresh project, runs it there (relative file
// names such as a motion file resolve against the project), and post-
// processes it with the example's parameter file.
ExampleRun runExample(const Example& e) {
    ExampleRun r;
    const fs::path project = makeTempDir(std::string("example-") + e.run);
    fs::copy(fs::path(ILSCALC_SOURCE_DIR) / "examples" / e.folder, project,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::remove_all(project / "scratch");
    const fs::path before = fs::current_path();
    fs::current_path(project);
    const std::string dir = project.string();
    const int32_t start = ILSCalc_Start(e.run, dir.c_str(), dir.c_str(), 0);
    if (start == 0) r.state = waitForRun(600.0);
    r.log = readFile((project / "scratch" / (std::string(e.run) + ".out")).string());
    r.fld = readFile((project / "scratch" / (std::string(e.run) + ".fld")).string());
    fs::copy_file(project / (std::string(e.run) + ".post"), project / "scratch" / "ILSPOST.TMP",
                  fs::copy_options::overwrite_existing);
    r.post = ILSPost((project / "scratch").string().c_str());
    r.report = readFile((project / (std::string(e.run) + ".PTS")).string());
    fs::current_path(before);
    return r;
}

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

// Compares the point lines as numbers, everything else as text.
void compareGolden(const std::string& want, const std::string& got) {
    const std::vector<std::string> a = linesOf(want), b = linesOf(got);
    ASSERT_EQ(a.size(), b.size()) << "golden and actual outputs differ in length";
    for (size_t k = 0; k < a.size(); ++k) {
        if (a[k].rfind("point ", 0) != 0 && a[k].rfind("header ", 0) != 0) {
            EXPECT_EQ(a[k], b[k]) << "line " << k;
            continue;
        }
        const std::vector<std::string> wa = words(a[k]), wb = words(b[k]);
        ASSERT_EQ(wa.size(), wb.size()) << "line " << k;
        ASSERT_EQ(wa[0], wb[0]);
        ASSERT_EQ(wa[1], wb[1]) << "line " << k;  // point index or count
        std::vector<double> va, vb;
        for (size_t w = 2; w < wa.size(); ++w) {
            va.push_back(std::strtod(wa[w].c_str(), nullptr));
            vb.push_back(std::strtod(wb[w].c_str(), nullptr));
        }
        // Scales: the header values each; a point's position, and each of
        // its two records (15 complex slots).
        auto scaleOf = [&](size_t from, size_t to) {
            double s = 0.0;
            for (size_t v = from; v < to; ++v) s = std::max(s, std::fabs(va[v]));
            return s;
        };
        for (size_t v = 0; v < va.size(); ++v) {
            double scale = std::fabs(va[v]);
            if (wa[0] == "point") scale = v < 3 ? scaleOf(0, 3) : v < 33 ? scaleOf(3, 33) : scaleOf(33, 63);
            EXPECT_LE(std::fabs(va[v] - vb[v]), kTolerance * scale)
                << wa[0] << " " << wa[1] << " value " << v << ": golden " << wa[v + 2] << ", got "
                << wb[v + 2];
        }
    }
}

class GoldenExample : public ::testing::TestWithParam<Example> {};

TEST_P(GoldenExample, MatchesItsGoldenOutput) {
    // The Windows job compares these examples with the Linux build instead.
    ILSCALC_SKIP_ON_WINDOWS("source paths of the Linux tree; compare_platforms checks the examples");
    const Example& e = GetParam();
    const ExampleRun r = runExample(e);
    ASSERT_EQ(r.state, ILSCALC_FINISHED) << r.log;
    ASSERT_EQ(r.post, 0);
    EXPECT_EQ(messages(r.log).find("ERROR!"), std::string::npos) << messages(r.log);
    ASSERT_EQ(r.fld.size(), 20u + 504u * static_cast<size_t>(int32At(r.fld, 0)));
    const std::string got = goldenText(r.fld, r.report);
    if (regenerate()) {
        std::ofstream(goldenPath(e), std::ios::binary) << got;
        GTEST_SKIP() << "golden output written: " << goldenPath(e);
    }
    const std::string want = readFile(goldenPath(e));
    ASSERT_FALSE(want.empty()) << "no golden output; run with ILSCALC_REGENERATE_GOLDEN=1";
    compareGolden(want, got);
}

INSTANTIATE_TEST_SUITE_P(Examples, GoldenExample, ::testing::ValuesIn(kExamples),
                         [](const auto& info) { return std::string(info.param.run); });

// The comparison itself must catch a change: a perturbed copy of a golden
// output fails it, in a FieldFile value and in the report text.
TEST(GoldenComparison, CatchesChangedNumbersAndText) {
    std::string fieldLine = "point 0 100 0 0";
    for (int v = 0; v < 60; ++v) fieldLine += v == 0 ? " 2.5" : " 0.5";
    const std::string base = "header 2 0.5 0.25\n" + fieldLine + "\nreport heading\n";
    compareGolden(base, base);  // itself: no failure
    std::string changed = base;
    changed.replace(changed.find(" 0.5 0.5"), 8, " 0.5 0.5000001");
    EXPECT_NONFATAL_FAILURE(compareGolden(base, changed), "value");
    std::string text = base;
    text.replace(text.find("heading"), 7, "headinG");
    EXPECT_NONFATAL_FAILURE(compareGolden(base, text), "line");
}

}  // namespace
}  // namespace ils::test
