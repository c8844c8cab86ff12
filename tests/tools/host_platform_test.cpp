// The host's operating-system services: programs found on PATH and run with
// their exit status, the working directory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "host_platform.h"
#include "plot.h"
#include "support/test_support.h"

using namespace ilshost;

namespace {

// A command interpreter that every machine has, and its arguments for "exit N".
struct Shell {
    std::string program;
    std::vector<std::string> exitWith(int code) const {
#if defined(_WIN32)
        return {"/c", "exit " + std::to_string(code)};
#else
        return {"-c", "exit " + std::to_string(code)};
#endif
    }
};

Shell shell() {
#if defined(_WIN32)
    const char* comspec = std::getenv("COMSPEC");
    return {comspec != nullptr ? comspec : "C:\\windows\\system32\\cmd.exe"};
#else
    return {"/bin/sh"};
#endif
}

}  // namespace

TEST(HostPlatform, RunProgramReturnsTheExitStatus) {
    const Shell sh = shell();
    EXPECT_EQ(runProgram(sh.program, sh.exitWith(0)), 0);
    EXPECT_EQ(runProgram(sh.program, sh.exitWith(3)), 3);
    EXPECT_EQ(runProgram(sh.program, sh.exitWith(42)), 42);
    EXPECT_EQ(runProgram(ils::test::makeTempDir("hostplat_missing") + "no-such-program", {}),
              kProgramNotStarted);
}

TEST(HostPlatform, FindsExecutablesOnPathOnly) {
    const std::string dir = ils::test::makeTempDir("hostplat_path");
    const std::string name = executableNames("ilstool").front();
    ils::test::writeFile(dir + name, "not a program\n");
    ils::test::writeFile(dir + "plainfile", "data\n");
#if !defined(_WIN32)
    namespace fs = std::filesystem;
    fs::permissions(dir + name, fs::perms::owner_all);
    fs::permissions(dir + "plainfile", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(isExecutableFile(dir + "plainfile"));
#endif
    EXPECT_TRUE(isExecutableFile(dir + name));
    EXPECT_FALSE(isExecutableFile(dir));  // a directory is not a program
    EXPECT_FALSE(isExecutableFile(dir + "absent"));

    const char* old = std::getenv("PATH");
    const std::string saved = old != nullptr ? old : "";
    std::string path = dir.substr(0, dir.size() - 1);
    path = std::string("/nonexistent-dir") + pathListSeparator() + path;
#if defined(_WIN32)
    _putenv_s("PATH", path.c_str());
#else
    setenv("PATH", path.c_str(), 1);
#endif
    const std::string found = findOnPath("ilstool");
    const std::string missing = findOnPath("plainfile-not-there");
#if defined(_WIN32)
    _putenv_s("PATH", saved.c_str());
#else
    setenv("PATH", saved.c_str(), 1);
#endif
    EXPECT_EQ(found, dir + name);
    EXPECT_EQ(missing, "");
}

TEST(HostPlatform, ChangesTheWorkingDirectory) {
    namespace fs = std::filesystem;
    const fs::path before = fs::current_path();
    const std::string dir = ils::test::makeTempDir("hostplat_cwd");
    ASSERT_TRUE(changeDirectory(dir));
    EXPECT_EQ(fs::current_path(), fs::path(dir.substr(0, dir.size() - 1)));
    EXPECT_FALSE(changeDirectory(dir + "absent"));
    EXPECT_EQ(fs::current_path(), fs::path(dir.substr(0, dir.size() - 1)));
    ASSERT_TRUE(changeDirectory(before.string()));
}
