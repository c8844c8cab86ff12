// The FieldFile and the message log do not depend on how the engine splits
// the work: 1, 2 or more threads, any block size, tables in memory or in
// scratch files, run after run. Checked on the bundled examples (which hold
// fixed plates, wires and a moving plate) and, for the ThreadSanitizer job,
// on a small scene with every kind of scatterer.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "ilscalc/ilscalc.h"
#include "path/path_helpers.h"

namespace ils {
namespace {

struct Variant {
    uint32_t option;  // ILSCalc_Start's option: the thread cap
    int32_t block;    // points per block, 0 for the engine's own
    bool files;       // tables in scratch files
    int32_t writeGroup = 0;  // EN's points per written group, 0 for the engine's own
};

test::CalcResult runVariant(const std::string& commands, const std::string& name, const Variant& v) {
    testControl().blockPoints = v.block;
    testControl().forceFileStorage = v.files;
    testControl().writeGroupPoints = v.writeGroup;
    test::CalcResult r = test::runCommandFile(commands, name, "", v.option);
    testControl() = TestControl{};
    return r;
}

// Every variant against one thread, default blocks, memory.
void expectSameEverywhere(const std::string& commands, const std::string& name,
                          const std::vector<Variant>& variants) {
    const test::CalcResult reference = runVariant(commands, name, {1, 0, false});
    ASSERT_EQ(reference.state, ILSCALC_FINISHED) << reference.log;
    ASSERT_GT(reference.fieldFile.size(), 20u);
    for (const Variant& v : variants) {
        const test::CalcResult r = runVariant(commands, name, v);
        ASSERT_EQ(r.state, ILSCALC_FINISHED) << r.log;
        EXPECT_TRUE(r.fieldFile == reference.fieldFile)
            << name << ": threads " << v.option << ", block " << v.block << ", files " << v.files
            << ", write group " << v.writeGroup;
        EXPECT_EQ(r.log, reference.log) << name << ": threads " << v.option;
    }
}

std::string example(const std::string& relative) {
    std::string text = test::readFile(std::string(ILSCALC_SOURCE_DIR) + "/examples/" + relative);
    // The motion file named relative to the project: give its full path.
    const std::string motion = "SG 1   taxi.mot";
    const size_t at = text.find(motion);
    if (at != std::string::npos)
        text.replace(at, motion.size(),
                     "SG 1   " + std::string(ILSCALC_SOURCE_DIR) + "/examples/localizer-two-frequency/taxi.mot");
    return text;
}

TEST(EngineIdentity, BundledExamplesGiveTheSameFieldFileForAnySplit) {
    const std::vector<Variant> variants = {
        {2, 0, false}, {3, 7, false}, {2, 1, true}, {0, 64, true}, {2, 0, false, 5}, {3, 64, true, 3}};
    for (const char* path : {"localizer-two-frequency/LOC2F.dat", "localizer-two-frequency/LOC2FORB.dat",
                             "localizer-single-frequency/LOC1F.dat", "glide-slope-null-reference/GS3.dat"}) {
        const std::string commands = example(path);
        ASSERT_FALSE(commands.empty()) << path;
        expectSameEverywhere(commands, "ex", variants);
    }
}

TEST(EngineIdentity, RunsRepeatTheirFieldFile) {
    const std::string commands = example("localizer-two-frequency/LOC2F.dat");
    const test::CalcResult a = runVariant(commands, "again", {0, 0, false});
    const test::CalcResult b = runVariant(commands, "again", {0, 0, false});
    ASSERT_EQ(a.state, ILSCALC_FINISHED) << a.log;
    EXPECT_TRUE(a.fieldFile == b.fieldFile);
}

// A small scene with a two-frequency station in near-field mode, a fixed
// plate, a wire and a moving plate; run by the ThreadSanitizer job too.
TEST(EngineThreads, SmallSceneAgreesAcrossThreadsAndBlocks) {
    const std::string dir = test::makeTempDir("threads");
    test::writeFile(dir + "move.mot", "0\n2\n0 0 0 0 30\n300 0 0 10 0\n");
    const std::string commands =
        "SY\nL C N G\n109.9 8\n"
        "CO\n4 F M D\n0 0 8 0 0\n"
        "C01   0 -21 0 0.5 0 0.4 180\nC02   0 -7 0 1 0 0.2 180\nC03   0 7 0 1 0 0.2 0\nC04   0 21 0 0.5 0 0.4 0\n"
        "D 0 D\n"
        "CL\n2 F M D\n0 0 8 0 0\nK01   0 -7 0 2 0 1 180\nK02   0 7 0 2 0 1 0\nD 0 D\n"
        "FP\nA F K F\n0 0 0\n30000 2000 400 0 3 40000 50\n140 0\n"
        "SP\nF 0 0 0\n3000 400 3200 400 0 40 0\n"
        "SW\nF 0 0\n4000 -300 4100 300 60 60 0.05\n"
        "SG 1   " + dir + "move.mot\n"
        "SP\nF 0 0 1\n2000 -500 1900 -500 0 30 0\n"
        "SG 0\nEN\n";
    // Small write groups: one thread writes a group while the others make the next.
    expectSameEverywhere(commands, "small", {{2, 0, false}, {2, 5, true}, {4, 3, false}, {2, 0, false, 4}, {3, 9, false, 2}});
    // The scene scatters: slots 0 to 11 of the scattered records are not all zero.
    const test::CalcResult r = runVariant(commands, "small", {2, 0, false});
    const int32_t n = test::int32At(r.fieldFile, 0);
    ASSERT_GT(n, 50);
    double largest = 0.0;
    for (int32_t i = 0; i < n; ++i) {
        for (int v = 0; v < 24; ++v)
            largest = std::max(largest, std::fabs(test::doubleAt(r.fieldFile, 20 + 504 * i + 24 + 8 * v)));
    }
    EXPECT_GT(largest, 0.0);
    EXPECT_EQ(r.log.find("WARNING!"), std::string::npos) << r.log;
}

}  // namespace
}  // namespace ils
