// The azimuth X value (reference codes 12 and 21) wraps once into
// [-90, 270]: continuous across the negative x axis (+-180 degrees), and
// turning at exactly its two bounds.
#include <cmath>

#include "post/post_data.h"
#include "support/test_support.h"

namespace ils::test {
namespace {

constexpr double kToDegrees = 57.29577951307855;
constexpr double kRad = 0.017453292519944444;

PostParameters azimuthParams(int code, int backcourse) {
    PostParameters p;
    p.referenceCode = code;
    p.backcourseCode = backcourse;
    p.distanceFactor = kToDegrees;
    p.referenceX = 1000.0;
    p.referenceY = -500.0;
    return p;
}

// X of the point seen from the reference point at angle theta (degrees).
double azimuthAt(const PostParameters& p, double thetaDegrees) {
    const double t = thetaDegrees * kRad;
    return xValueOf(p, p.referenceX + 300.0 * std::cos(t), p.referenceY + 300.0 * std::sin(t), 40.0);
}

TEST(PostAzimuthWrap, ContinuousAcrossTheNegativeXAxis) {
    for (int code : {12, 21}) {
        SCOPED_TRACE(code);
        const PostParameters p = azimuthParams(code, 0);
        // Just above and just below the axis both read about 180.
        EXPECT_NEAR(azimuthAt(p, 179.9999), 179.9999, 1e-9);
        EXPECT_NEAR(azimuthAt(p, -179.9999), 180.0001, 1e-9);
        EXPECT_NEAR(azimuthAt(p, 180.0001), 180.0001, 1e-9);  // atan2 gives -179.9999
        // On the axis itself, from either side of zero.
        EXPECT_NEAR(xValueOf(p, 700.0, -500.0, 0.0), 180.0, 1e-9);
        PostParameters q = p;
        q.referenceY = 0.0;
        EXPECT_NEAR(xValueOf(q, 700.0, -0.0, 0.0), 180.0, 1e-9);  // atan2(-0, -300) = -180
    }
}

TEST(PostAzimuthWrap, TurnsJustBeyondMinus90And270) {
    const PostParameters front = azimuthParams(12, 0);
    EXPECT_NEAR(azimuthAt(front, -89.9999), -89.9999, 1e-9);
    EXPECT_NEAR(azimuthAt(front, -90.0001), 269.9999, 1e-9);
    // A backcourse adds 180 before the wrap.
    const PostParameters back = azimuthParams(21, 1);
    EXPECT_NEAR(azimuthAt(back, 89.9999), 269.9999, 1e-9);
    EXPECT_NEAR(azimuthAt(back, 90.0001), -89.9999, 1e-9);
    EXPECT_NEAR(azimuthAt(back, -90.0001), 89.9999, 1e-9);
    EXPECT_NEAR(azimuthAt(back, -179.9999), 0.0001, 1e-9);
}

// With a factor that makes the quarter turn exactly 90, the bounds
// themselves are kept: -90 and 270 are inside the range.
TEST(PostAzimuthWrap, BoundsThemselvesAreKept) {
    PostParameters p = azimuthParams(12, 0);
    p.distanceFactor = 90.0 / 1.5707963267948966;
    ASSERT_EQ(std::atan2(-1.0, 0.0) * p.distanceFactor, -90.0);
    EXPECT_EQ(xValueOf(p, p.referenceX, p.referenceY - 10.0, 0.0), -90.0);
    p.backcourseCode = 1;
    EXPECT_EQ(xValueOf(p, p.referenceX, p.referenceY + 10.0, 0.0), 270.0);
}

}  // namespace
}  // namespace ils::test
