// FP guards against runaway work: a point count whose files could not be
// written to the scratch directory is refused before any table is made, and
// point generation honours a stop request between blocks of points.
#include <cstdint>
#include <string>

#include "path/path_helpers.h"
#include "platform/disk_space.h"

namespace ils {
namespace {

using test::runFlightProfile;
using test::TestRun;

TEST(FlightProfileGuards, FreeSpaceOfTheScratchDirectoryIsKnown) {
    TestRun t;
    uint64_t bytes = 0;
    ASSERT_TRUE(platform::freeDiskBytes(t.scratch.c_str(), bytes));
    EXPECT_GT(bytes, 0u);
    uint64_t untouched = 12345;
    EXPECT_FALSE(platform::freeDiskBytes((t.scratch + "missing/deeper/").c_str(), untouched));
    EXPECT_EQ(untouched, 12345u);
}

// A step of 1e-6 feet over 2000 feet: some 2e9 points, over 2 TB of files.
TEST(FlightProfileGuards, CountBeyondTheFreeSpaceIsRefused) {
    TestRun t;
    const int32_t n = static_cast<int32_t>(2000.0 / 1e-6 + 1.5);
    const uint64_t fieldFile = 20 + 504ull * n;
    const uint64_t tables = (48ull + 480ull) * n;
    uint64_t freeBytes = 0;
    ASSERT_TRUE(platform::freeDiskBytes(t.scratch.c_str(), freeBytes));
    if (freeBytes >= fieldFile + tables) GTEST_SKIP() << "the scratch disk holds even this";
    EXPECT_EQ(runFlightProfile(t, "A F F F\n0 0 0\n0 2000 1e-6 0 3 10 50\n100\n"), -1);
    const std::string log = t.logText();
    const std::string expected = "ERROR! FP command gives " + std::to_string(n) +
                                 " flight profile points: the FieldFile needs " +
                                 std::to_string(fieldFile) + " bytes and the tables up to " +
                                 std::to_string(tables) + " more, but the scratch directory has ";
    EXPECT_NE(log.find(expected), std::string::npos) << log;
    EXPECT_NE(log.find(" bytes free.\n"), std::string::npos) << log;
    EXPECT_FALSE(t.rd->pointTable.held);
    EXPECT_FALSE(t.rd->fieldTable.held);
}

TEST(FlightProfileGuards, SaneCountsAreNotRefused) {
    TestRun t;
    EXPECT_EQ(runFlightProfile(t, "A F F F\n0 0 0\n0 2000 1 0 3 10 50\n100\n"), 0) << t.logText();
    EXPECT_EQ(t.rd->pointCount, 2001);
}

TEST(FlightProfileGuards, StopRequestEndsPointGenerationBetweenBlocks) {
    for (const char* pattern : {"A F F F\n0 0 0\n0 20000 1 0 3 10 50\n100\n",
                                "C F F F\n0 0 0\n0 90 0.005 1000 100\n100\n"}) {
        SCOPED_TRACE(pattern);
        TestRun t;
        t.rd->stopRequested.store(true);
        EXPECT_EQ(runFlightProfile(t, pattern), -1);
        EXPECT_EQ(t.logText(), "Calculation interrupted.\n");
    }
    // A user profile is read in blocks too.
    TestRun t;
    std::string profile = "10000\n";
    for (int i = 0; i < 10000; ++i) profile += std::to_string(i) + " 0 100 10 0 0\n";
    test::writeFile(t.scratch + "long.txt", profile);
    t.rd->stopRequested.store(true);
    EXPECT_EQ(runFlightProfile(t, "U F F F\n0 0 0\n" + t.scratch + "long.txt\n"), -1);
    EXPECT_EQ(t.logText(), "Calculation interrupted.\n");
}

// A profile shorter than one block is never cut: the driver looks at the
// request before the next command.
TEST(FlightProfileGuards, ShortProfileIgnoresTheRequest) {
    TestRun t;
    t.rd->stopRequested.store(true);
    EXPECT_EQ(runFlightProfile(t, "C F F F\n0 0 0\n0 90 1 1000 100\n100\n"), 0) << t.logText();
    EXPECT_EQ(t.rd->pointCount, 91);
}

}  // namespace
}  // namespace ils
