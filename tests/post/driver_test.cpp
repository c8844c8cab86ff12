// The ILSPost entry and its driver: directory test, result codes, the post
// log, refusal of long paths and of a second call, and clean-up.
#include <filesystem>

#include "post/post.h"
#include "post_fixture.h"

namespace ils::test {
namespace {

TEST_F(PostTest, DirectoryWithOrWithoutSeparator) {
    writeParams(header() + kInactiveBlock + kInactiveBlock + kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(1, 2, 3)});
    const std::string bare = dir.substr(0, dir.size() - 1);
    for (const std::string& arg : {dir, bare, bare + "\\"}) {
        SCOPED_TRACE(arg);
        std::filesystem::remove(dir + "ILSPOST.LOG");
        std::filesystem::remove(dir + "rep.PTS");
        EXPECT_EQ(ILSPost(arg.c_str()), 0);
        EXPECT_TRUE(fileExists(dir + "ILSPOST.LOG"));
        EXPECT_EQ(log(), "");
        EXPECT_TRUE(fileExists(dir + "rep.PTS"));
    }
}

TEST_F(PostTest, DirectoryThatCannotBeEnteredIsResultOne) {
    EXPECT_EQ(ILSPost(""), 1);
    EXPECT_EQ(ILSPost(nullptr), 1);
    EXPECT_EQ(ILSPost((dir + "missing").c_str()), 1);
    writeFile(dir + "plain", "not a directory");
    EXPECT_EQ(ILSPost((dir + "plain").c_str()), 1);
    // Nothing written, not even the log, and no debug table.
    EXPECT_FALSE(fileExists(dir + "missing"));
    EXPECT_FALSE(fileExists(dir + "v1.txt"));
    EXPECT_FALSE(fileExists("ILSPOST.LOG"));
}

TEST_F(PostTest, MissingParameterFileIsResultTwo) {
    EXPECT_EQ(post(), 2);
    EXPECT_EQ(log(), "ERROR! Input file " + nativePath(dir + "ILSPOST.TMP") + " does not exist.\n");
    EXPECT_FALSE(fileExists(dir + "v1.txt"));
}

// A failing parameter file leaves the debug tables of an earlier run as they
// were; a later good call replaces them.
TEST_F(PostTest, FailedParametersKeepEarlierDebugTables) {
    writeFile(dir + "v1.txt", "earlier run\n");
    writeParams(header() + "1 0 0 2 9 0 0\n");
    EXPECT_EQ(post(), 3);
    EXPECT_EQ(log(), "ERROR! Invalid CDI filter code: 9\n");
    EXPECT_EQ(v1(), "earlier run\n");
}

TEST_F(PostTest, ConsoleWordsAreNotPrinted) {
    writeParams(header() + "1 0 0 2 0 0 0\n" + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0).course(1.0, 0.1)});
    testing::internal::CaptureStdout();
    const int32_t ok = post();
    std::filesystem::remove(dir + "ILSPOST.TMP");
    const int32_t missing = post();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(missing, 2);
    EXPECT_EQ(out, "");
}

TEST_F(PostTest, NoFileStaysOpenOnAnyPath) {
    ILSCALC_SKIP_ON_WINDOWS("open files are counted in /proc/self/fd");
    const int before = openDescriptors();
    ASSERT_GT(before, 0);
    // 2: no parameter file.
    EXPECT_EQ(post(), 2);
    // 3: bad parameters.
    writeParams(header() + "1 7 0 0 0 0 0\n");
    EXPECT_EQ(post(), 3);
    // 4: FieldFile cut short, and a receiver failure.
    writeParams(header() + "1 0 0 2 0 0 0\n" + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    writeFile(dir + "run.fld", fieldFileBytes({FieldPoint(0, 0, 0).course(1.0, 0.1)}).substr(0, 300));
    EXPECT_EQ(post(), 4);
    writeField({FieldPoint(0, 0, 0)});
    EXPECT_EQ(post(), 4);
    // 0: done.
    writeField({FieldPoint(0, 0, 0).course(1.0, 0.1)});
    EXPECT_EQ(post(), 0);
    EXPECT_EQ(openDescriptors(), before);
}

// A second call while one runs is refused at once with 6 and touches
// nothing; the flag is free again afterwards.
TEST_F(PostTest, SecondCallWhileRunningIsRefused) {
    writeParams(header() + kInactiveBlock + kInactiveBlock + kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0)});
    ASSERT_TRUE(claimPostRun());
    EXPECT_EQ(post(), 6);
    EXPECT_FALSE(fileExists(dir + "ILSPOST.LOG"));
    releasePostRun();
    EXPECT_EQ(post(), 0);
    // Every way out of a call frees the flag.
    EXPECT_EQ(ILSPost(""), 1);
    EXPECT_TRUE(claimPostRun());
    releasePostRun();
}

// Paths that would need 1024 characters or more are refused with 5 instead
// of being cut.
TEST_F(PostTest, OverlongPathsAreResultFive) {
    // Directory alone: dir + name + "/" + "ILSPOST.TMP" reaches 1024.
    std::string longDir = dir;
    while (longDir.size() + 1 + 11 < 1024) longDir += "d";
    EXPECT_EQ(ILSPost(longDir.c_str()), 5);
    EXPECT_EQ(ILSPost(std::string(5000, 'x').c_str()), 5);

    // Parameter file fine, FieldFile path too long.
    const std::string data(1024 - dir.size() - 4, 'f');
    writeParams(dir + "\n" + data + "\nrep\n0\n0 0 0\n0 0 0\n" + kInactiveBlock + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    EXPECT_EQ(post(), 5);
    EXPECT_EQ(log(), "ERROR! Path needs 1024 characters or more: " + nativePath(dir + data + ".fld") + "\n");
    // One character less fits (the file is then simply missing).
    writeParams(dir + "\n" + data.substr(1) + "\nrep\n0\n0 0 0\n0 0 0\n" + kInactiveBlock +
                kInactiveBlock + kInactiveBlock + kInactiveBlock);
    EXPECT_EQ(post(), 4);

    // Report path too long.
    const std::string name(1024 - dir.size() - 4, 'r');
    writeParams(header(0, "0 0 0", "0 0 0", "run", name) + kInactiveBlock + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0)});
    EXPECT_EQ(post(), 5);
    EXPECT_EQ(log(), "ERROR! Path needs 1024 characters or more: " + dir + name + ".PTS\n");
}

}  // namespace
}  // namespace ils::test
