// `ilscalc post SCRATCH_DIR [RUN_NAME]`: with a run name the project's
// parameter file is copied again, so an edit counts; without one the host
// says which run it post-processes.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"
#include "tools/host_driver.h"

using namespace ils::test;

TEST(HostPost, RunNameCopiesTheEditedParameterFileAgain) {
    const std::string dir = slashPath(makeTempDir("post_again"));
    writeFile(dir + "RUN.dat", std::string(kHostStation) + kHostLateral);
    writeFile(dir + "RUN.post", kHostPost);
    Outcome o = host("run " + dir + " RUN");
    ASSERT_EQ(o.code, 0) << o.output;
    EXPECT_NE(readFile(dir + "scratch/RUN.PTS").find("(dB)"), std::string::npos);

    // Trace 2 now in relative amplitude instead of dB.
    std::string edited = kHostPost;
    edited.replace(edited.find("1 3 0 0 0 0 3"), 13, "1 3 0 0 0 0 2");
    writeFile(dir + "RUN.post", edited);

    // Without a run name the parameter file already in scratch is used.
    o = host("post " + dir + "scratch");
    EXPECT_EQ(o.code, 0) << o.output;
    EXPECT_NE(o.output.find("Post-processing run RUN with the parameter file already in " + dir +
                            "scratch/ILSPOST.TMP"), std::string::npos) << o.output;
    EXPECT_NE(readFile(dir + "scratch/RUN.PTS").find("(dB)"), std::string::npos);

    o = host("post " + dir + "scratch RUN");
    EXPECT_EQ(o.code, 0) << o.output;
    EXPECT_NE(o.output.find("Copied " + dir + "RUN.post to " + dir + "scratch/ILSPOST.TMP"), std::string::npos)
        << o.output;
    EXPECT_EQ(readFile(dir + "scratch/ILSPOST.TMP"), edited);
    const std::string report = readFile(dir + "scratch/RUN.PTS");
    EXPECT_NE(report.find("(rel amp)"), std::string::npos) << report;
    EXPECT_EQ(report.find("(dB)"), std::string::npos) << report;

    // A project elsewhere is named with --project.
    const std::string other = slashPath(makeTempDir("post_other"));
    writeFile(other + "RUN.post", kHostPost);
    o = host("post " + dir + "scratch RUN --project " + other);
    EXPECT_EQ(o.code, 0) << o.output;
    EXPECT_NE(readFile(dir + "scratch/RUN.PTS").find("(dB)"), std::string::npos);
    EXPECT_EQ(host("post " + dir + "scratch NOPE").code, 5);
    EXPECT_EQ(host("post " + dir + "scratch --project " + other).code, 1);
}
