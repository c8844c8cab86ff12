// The platform layer: directory arguments, the directory test with and
// without trailing separators, directory creation and the working directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "support/test_support.h"

namespace ils {
namespace {

namespace fs = std::filesystem;
using platform::kSeparator;

TEST(Platform, DirectoryArgumentsTakeEitherSeparatorAndGetOneAtTheEnd) {
    const std::string s(1, kSeparator);
    EXPECT_EQ(platform::directoryWithSeparator(""), "");
    EXPECT_EQ(platform::directoryWithSeparator(nullptr), "");
    EXPECT_EQ(platform::directoryWithSeparator("proj"), "proj" + s);
    EXPECT_EQ(platform::directoryWithSeparator("a/b\\c"), "a" + s + "b" + s + "c" + s);
    EXPECT_EQ(platform::directoryWithSeparator("a\\"), "a" + s);  // no second separator
    EXPECT_EQ(platform::directoryWithSeparator("a/"), "a" + s);
#if defined(_WIN32)
    EXPECT_EQ(platform::directoryWithSeparator("C:/runs"), "C:\\runs\\");
#else
    EXPECT_EQ(platform::directoryWithSeparator("C:\\runs"), "C:/runs/");
#endif
}

TEST(Platform, StatFormDropsTrailingSeparatorsButKeepsRoots) {
    EXPECT_EQ(platform::directoryForStat("C:\\proj\\"), "C:\\proj");
    EXPECT_EQ(platform::directoryForStat("C:\\proj\\\\"), "C:\\proj");
    EXPECT_EQ(platform::directoryForStat("/tmp/x/"), "/tmp/x");
    EXPECT_EQ(platform::directoryForStat("rel/"), "rel");
    EXPECT_EQ(platform::directoryForStat("rel"), "rel");
    EXPECT_EQ(platform::directoryForStat("C:\\"), "C:\\");
    EXPECT_EQ(platform::directoryForStat("C:/"), "C:/");
    EXPECT_EQ(platform::directoryForStat("/"), "/");
    EXPECT_EQ(platform::directoryForStat("\\"), "\\");
    EXPECT_EQ(platform::directoryForStat("\\\\server\\share\\"), "\\\\server\\share\\");
    EXPECT_EQ(platform::directoryForStat("\\\\server\\share\\dir\\"), "\\\\server\\share\\dir");
    EXPECT_EQ(platform::directoryForStat(""), "");
}

TEST(Platform, DirectoryTestAcceptsBothEndingsAndRefusesFiles) {
    const std::string dir = test::makeTempDir("platform_dir");  // ends in '/'
    const std::string bare = dir.substr(0, dir.size() - 1);
    EXPECT_TRUE(platform::canEnterDirectory(bare.c_str()));
    EXPECT_TRUE(platform::canEnterDirectory(dir.c_str()));
    EXPECT_TRUE(platform::canEnterDirectory(platform::directoryWithSeparator(bare.c_str()).c_str()));
    test::writeFile(dir + "plain", "x");
    EXPECT_FALSE(platform::canEnterDirectory((dir + "plain").c_str()));
    EXPECT_FALSE(platform::canEnterDirectory((dir + "plain/").c_str()));
    EXPECT_FALSE(platform::canEnterDirectory((dir + "missing").c_str()));
    EXPECT_FALSE(platform::canEnterDirectory(""));
    EXPECT_FALSE(platform::canEnterDirectory(nullptr));
    // The root of the drive (Windows) or of the file system.
    const std::string root = fs::path(bare).root_path().string();
    ASSERT_FALSE(root.empty());
    EXPECT_TRUE(platform::canEnterDirectory(root.c_str())) << root;
}

TEST(Platform, MakesOneLevelWithOrWithoutTrailingSeparator) {
    const std::string dir = test::makeTempDir("platform_mkdir");
    const std::string native = platform::directoryWithSeparator(dir.c_str());
    EXPECT_TRUE(platform::makeDirectory((native + "one" + kSeparator).c_str()));
    EXPECT_TRUE(fs::is_directory(dir + "one"));
    EXPECT_TRUE(platform::makeDirectory((dir + "two").c_str()));
    EXPECT_TRUE(fs::is_directory(dir + "two"));
    EXPECT_FALSE(platform::makeDirectory((dir + "two").c_str()));  // exists already
    EXPECT_FALSE(platform::makeDirectory((dir + "no/such/levels").c_str()));
    EXPECT_FALSE(fs::exists(dir + "no"));
}

TEST(Platform, WorkingDirectoryChangesAndComesBack) {
    const std::string before = platform::currentDirectory();
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(fs::path(before), fs::current_path());
    const std::string dir = test::makeTempDir("platform_cwd");
    ASSERT_TRUE(platform::changeDirectory(dir.c_str()));
    // (fs::equivalent cannot tell directories apart on Windows: no inode numbers.)
    EXPECT_EQ(fs::path(platform::currentDirectory()), fs::path(dir.substr(0, dir.size() - 1)).make_preferred());
    EXPECT_FALSE(platform::changeDirectory((dir + "missing").c_str()));
    EXPECT_FALSE(platform::changeDirectory(""));
    ASSERT_TRUE(platform::changeDirectory(before.c_str()));
    EXPECT_EQ(platform::currentDirectory(), before);
}

}  // namespace
}  // namespace ils
