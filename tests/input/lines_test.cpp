// Reading lines and list numbers, paths, and the requires-inputs report, at
// unit level and through a run.
#include <cstdio>
#include <cstring>
#include <string>

#include "input/lines.h"
#include "input/messages.h"
#include "support/test_support.h"

namespace ils {
namespace {

// A temporary stream holding text, positioned at its start.
FILE* streamOf(const std::string& text) {
    FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return f;
}

std::string contents(FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string out;
    int c;
    while ((c = std::fgetc(f)) != EOF) out += static_cast<char>(c);
    return out;
}

TEST(Lines, ReadLineKeepsLineEndsAndCutsLongLines) {
    const std::string longLine = std::string(1023, 'a') + "bc\n";
    FILE* f = streamOf("SY\r\n" + longLine + "last");
    char buf[kLineSize];
    ASSERT_TRUE(readLine(f, buf));
    EXPECT_STREQ(buf, "SY\r\n");
    ASSERT_TRUE(readLine(f, buf));
    EXPECT_EQ(std::string(buf), std::string(1023, 'a'));
    ASSERT_TRUE(readLine(f, buf));
    EXPECT_STREQ(buf, "bc\n");
    ASSERT_TRUE(readLine(f, buf));
    EXPECT_STREQ(buf, "last");
    // At the end the buffer becomes an empty line.
    EXPECT_FALSE(readLine(f, buf));
    EXPECT_STREQ(buf, "");
    std::fclose(f);
}

TEST(Lines, ReadLineKeepLeavesTheBufferAtTheEnd) {
    FILE* f = streamOf("one\n");
    char buf[kLineSize];
    ASSERT_TRUE(readLineKeep(f, buf));
    EXPECT_FALSE(readLineKeep(f, buf));
    EXPECT_STREQ(buf, "one\n");
    std::fclose(f);
}

TEST(Lines, StreamNumbersCrossLineEnds) {
    FILE* f = streamOf("  1.5\r\n-2e1\t3 x 4\nnext line\n");
    double v = 0;
    ASSERT_TRUE(readStreamDouble(f, v));
    EXPECT_EQ(v, 1.5);
    ASSERT_TRUE(readStreamDouble(f, v));
    EXPECT_EQ(v, -20.0);
    ASSERT_TRUE(readStreamDouble(f, v));
    EXPECT_EQ(v, 3.0);
    // A word that is not a number is consumed and fails; reading moves on.
    v = 99;
    EXPECT_FALSE(readStreamDouble(f, v));
    EXPECT_EQ(v, 99.0);
    ASSERT_TRUE(readStreamDouble(f, v));
    EXPECT_EQ(v, 4.0);
    // The line end after the last number is still there.
    skipRestOfLine(f);
    char buf[kLineSize];
    ASSERT_TRUE(readLine(f, buf));
    EXPECT_STREQ(buf, "next line\n");
    EXPECT_FALSE(readStreamDouble(f, v));
    std::fclose(f);
}

TEST(Lines, TrimBlanksBothEnds) {
    char t[64];
    std::strcpy(t, "");
    trimBlanks(t);
    EXPECT_STREQ(t, "");
    std::strcpy(t, " \x01\x1f" "a b\x7f\x80");
    trimBlanks(t);
    EXPECT_STREQ(t, "a b\x7f");  // 127 is above 32, 128 reads as negative
    std::strcpy(t, "plain");
    trimBlanks(t);
    EXPECT_STREQ(t, "plain");
}

TEST(Lines, FormatPathRefusesWhatDoesNotFit) {
    char buf[kLineSize];
    EXPECT_EQ(formatPath(buf, "%s%s", "dir/", "flight.tmp"), 14);
    EXPECT_STREQ(buf, "dir/flight.tmp");
    const std::string fits(1023, 'p');
    EXPECT_EQ(formatPath(buf, "%s", fits.c_str()), 1023);
    EXPECT_EQ(std::string(buf), fits);
    EXPECT_EQ(formatPath(buf, "%s%s", fits.c_str(), "x"), -1);
}

TEST(Lines, BackslashesAreSeparators) {
    char p[32];
    std::strcpy(p, "a\\b/c\\");
    normalizeSeparators(p);
    EXPECT_STREQ(p, "a/b/c/");
}

TEST(Messages, RequiresInputsIsTwoWrites) {
    FILE* log = std::tmpfile();
    reportMissingInputs(log, "CO", 7, 5, "E3    1 2\r\n");
    reportMissingInputs(log, "S", 3, 1, "");
    EXPECT_EQ(contents(log),
              "ERROR! CO command requires 7 inputs on line 5.\nLast line read:\n\tE3    1 2\r\n"
              "ERROR!  S command requires 3 inputs on line 1.\nLast line read:\n\t");
    std::fclose(log);
    logMessage(nullptr, "ignored %d\n", 1);  // no log: nothing happens
}

// Line numbers count within the command: the line after the command line is 1.
TEST(Messages, LineNumbersCountWithinTheCommand) {
    const std::string sy = "CM\nCM\nSY\nL C A G\n109.9 8\n";
    const std::string co =
        "CO\n"
        "3 F M D\n"
        "0 0 0 0\n"
        "E1    0 -5 3 1 0 1 0\n"
        "E2    0  0 3 1 0 1 0\n"
        "E3    0  5\r\n";
    const test::CalcResult r = test::runCommandFile(sy + co + "EN\n");
    EXPECT_EQ(r.state, 3);
    EXPECT_EQ(r.log,
              "ERROR! CO command requires 7 inputs on line 5.\nLast line read:\n\tE3    0  5\r\n");

    const test::CalcResult second = test::runCommandFile("SY\nL C A G\n109.9\n");
    EXPECT_EQ(second.log,
              "ERROR! SY command requires 2 inputs on line 2.\nLast line read:\n\t109.9\n");
}

}  // namespace
}  // namespace ils
