// Review checks for CO/CL and SY: the order in which line checks report.
#include <string>

#include "support/test_support.h"
#include "system/array_reader.h"

namespace ils {
namespace {

// An element count below 1 is refused only once the line checks that do not
// depend on the count have passed: a faulty unit code, a short origin line
// or a bad random flag is reported by its own message first.
TEST(ReviewArrayReader, CountBelowOneIsCheckedAfterTheOtherLineChecks) {
    struct Case {
        const char* text;
        const char* log;
    };
    const Case cases[] = {
        {"0 yards M D\n0 0 0 0\n", "ERROR! Unknown antenna spacing units code: yards.\n"},
        {"0 F volts D\n0 0 0 0\n", "ERROR! Unknown antenna amplitude units code: volts\n"},
        {"-2 F M grad\n0 0 0 0\n", "ERROR! Unknown antenna phase units code: grad\n"},
        {"0 F M D\n0 0 0\n", "ERROR! CO command requires 4 inputs on line 2.\nLast line read:\n\t0 0 0\n"},
        {"0 F M D\n0 0 0 0 2\n", "ERROR! Invalid random DU error flag: 2\n"},
        {"0 F M D\n0 0 0 0 1\n", "ERROR! 0 is too few array elements.\n"},
        {"-1 F M D\n5 6 0 0\n", "ERROR! -1 is too few array elements.\n"},
        // Too many is still reported before the unit codes.
        {"80 yards M D\n0 0 0 0\n", "ERROR! 80 is too many array elements.  Limit: 80\n"},
    };
    for (const Case& c : cases) {
        test::TestRun t;
        RunData& rd = *t.rd;
        rd.system.systemType = 'G';
        rd.system.carrierWavelength = 11.0;
        rd.arrays[0].wavelength = 10.0;
        rd.arrays[0].waveNumber = kTwoPi / 10.0;
        rd.arrays[0].elementCount = 3;
        t.setCommandText(std::string(c.text) + "D 0 D\nEN\n");
        EXPECT_EQ(readArray(rd, "CO", 0), -1) << c.text;
        EXPECT_EQ(t.logText(), c.log) << c.text;
        EXPECT_EQ(rd.arrays[0].elementCount, 3) << c.text;
    }
}

// Through the exports: the refused count fails the run with its message.
TEST(ReviewArrayReader, CountBelowOneFailsTheRun) {
    const test::CalcResult r =
        test::runCommandFile("SY\nG S N F\n330\nCO\n0 F M D\n0 0 0 0\nD 0 D\nEN\n");
    ASSERT_EQ(r.startCode, 0);
    EXPECT_EQ(r.state, 3);
    EXPECT_EQ(r.log, "ERROR! 0 is too few array elements.\n");
}

}  // namespace
}  // namespace ils
