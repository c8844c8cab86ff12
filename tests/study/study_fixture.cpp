#include "study_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/test_support.h"

namespace fs = std::filesystem;

namespace studytest {

Outcome host(const std::string& args) {
    const ils::test::CommandOutcome c =
        ils::test::runCommandLine("\"" + std::string(ILSCALC_HOST_BINARY) + "\" " + args);
    Outcome o;
    o.code = c.code;
    o.output = c.output;
    return o;
}

std::string freshDir(const std::string& name) {
    // One folder per test: ctest runs the tests side by side.
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string suffix = test != nullptr ? std::string("-") + test->name() : "";
    const fs::path p = fs::current_path() / ("study-" + name + suffix);
    fs::remove_all(p);
    fs::create_directories(p);
    return p.string() + "/";
}

bool writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeBaseProject(const std::string& dir, const std::string& run, const std::string& extra) {
    fs::create_directories(dir);
    const std::string example = std::string(ILSCALC_SOURCE_DIR) + "/examples/localizer-two-frequency/";
    std::string dat = readText(example + "LOC2F.dat");
    dat = dat.substr(0, dat.find("\nFP\n") + 1);  // the station: SY, CO, CL
    dat += "FP\nA M K F\n0.0 0.0 0.0\n12000 3300 150 0 3 30000 -518.2\n140 0\n" + extra + "EN\n";
    writeText(dir + run + ".dat", dat);
    std::string post = readText(example + "LOC2F.post");
    for (size_t at; (at = post.find("LOC2F")) != std::string::npos;) post.replace(at, 5, run);
    writeText(dir + run + ".post", post);
}

std::string smallStudy(const std::string& project, const std::string& run, const std::string& objectExtra) {
    return "[base]\nproject = \"" + project + "\"\nrun = \"" + run + "\"\n\n"
           "[object]\ntype = \"aircraft\"\naircraft = \"A320\"\n" + objectExtra + "\n"
           "[grid]\nx = { from = 150.0, to = 250.0, step = 100.0 }\ny = [20.0]\nheadings = [0.0, 90.0]\n\n"
           "[check]\ncategory = \"III\"\nthreshold = [3300.0, 0.0]\nstop_end = [300.0, 0.0]\n"
           "[check.allowed]\ndefault = { fraction = 0.5 }\n";
}

}  // namespace studytest
