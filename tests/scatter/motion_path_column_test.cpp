// The SG line's motion-file path starts in column 8 (index 7), whatever the
// width of the flag before it; only blanks around the path are trimmed, so
// a character in column 7 or a path that starts before column 8 shows where
// the path is taken from.
#include <string>

#include "support/test_support.h"

namespace ils {
namespace {

const std::string kStation =
    "SY\nL S A F\n110.1\n"
    "CO\n2 F M D\n0 0 10 0 0\nE01   0 -5 0 1 0 1 180\nE02   0 5 0 1 0 1 0\nF 0 D\n"
    "FP\nC F F F\n0 0 0\n-10 10 10 3000 150\n200\n";
const std::string kPlate = "SP\nF 0 0\n500 300 1500 300 0 40 0\n";

TEST(MotionPathColumn, PathIsTakenFromColumnEight) {
    ILSCALC_SKIP_ON_WINDOWS("the test's paths start with '/'");
    const std::string dir = test::makeTempDir("sgcolumn");
    const std::string path = dir + "still.mot";
    ASSERT_EQ(path[0], '/');
    test::writeFile(path, "0\n1\n0 0 0 0 0\n");
    // Column 7 holds X, column 8 the path's first character.
    for (const std::string flag : {"SG 1  X", "SG 12 X", "SG 123X"}) {
        SCOPED_TRACE(flag);
        const auto r = test::runCommandFile(kStation + flag + path + "\n" + kPlate + "EN\n");
        EXPECT_EQ(r.state, 2) << r.log;
        EXPECT_EQ(test::messages(r.log), "");
    }
    // A path written from column 6 loses its first two characters.
    const auto r = test::runCommandFile(kStation + "SG 1 " + path + "\n" + kPlate + "EN\n");
    EXPECT_EQ(r.state, 3);
    EXPECT_EQ(r.log, "ERROR! Could not open file " + path.substr(2) + "\n");
}

}  // namespace
}  // namespace ils
