// Object library and placement: silhouettes from the published dimensions,
// the heading convention, rotation, ground contact and the plates' facing sides.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

#include "study_objects.h"

using namespace ilshost::study;

namespace {

// The side a plate faces, as the SP command defines it: the right-hand
// side of the direction from end 1 to end 2, as a unit vector.
void facing(const PlacedPlate& p, double& nx, double& ny) {
    const double az = std::atan2(p.y2 - p.y1, p.x2 - p.x1);
    nx = std::sin(az);
    ny = -std::cos(az);
}

StudyObject aircraft(const char* name) {
    StudyObject o;
    o.kind = ObjectKind::Aircraft;
    o.aircraft = name;
    return o;
}

TEST(StudyObjects, LibraryHoldsTheTypesWithTheirDimensions) {
    const char* names[] = {"A320", "B737-800", "A330-300", "B787-9", "A350-900", "B777-300ER", "B747-8", "A380"};
    for (const char* n : names) EXPECT_NE(findAircraft(n), nullptr) << n;
    EXPECT_EQ(findAircraft("a380-800"), findAircraft("A380"));
    EXPECT_EQ(findAircraft("A380-"), nullptr);
    const AircraftType* a380 = findAircraft("A380");
    ASSERT_NE(a380, nullptr);
    EXPECT_DOUBLE_EQ(a380->length, 72.72);
    EXPECT_DOUBLE_EQ(a380->height, 24.09);
    EXPECT_DOUBLE_EQ(a380->fuselageHeight, 8.41);
    EXPECT_DOUBLE_EQ(findAircraft("B747-8")->length, 76.25);
}

TEST(StudyObjects, SilhouetteSpansTheAircraftFromClearanceToFinTop) {
    for (const AircraftType& t : aircraftTypes()) {
        const std::vector<ObjectPlate> plates = objectPlates(aircraft(t.name));
        ASSERT_EQ(plates.size(), 4u) << t.name;
        // Fuselage sides: full length, fuselage height, half the width off the axis.
        for (int k = 0; k < 2; ++k) {
            EXPECT_NEAR(std::fabs(plates[k].x2 - plates[k].x1), t.length, 1e-12);
            EXPECT_NEAR(std::fabs(plates[k].y1), t.fuselageWidth / 2, 1e-12);
            EXPECT_NEAR(plates[k].z, kGroundClearanceFraction * t.fuselageHeight, 1e-12);
            EXPECT_DOUBLE_EQ(plates[k].height, t.fuselageHeight);
            EXPECT_EQ(plates[k].material, kAluminium);
        }
        // Fin: on the axis at the tail, from the fuselage top to the overall height.
        for (int k = 2; k < 4; ++k) {
            EXPECT_DOUBLE_EQ(plates[k].y1, 0.0);
            EXPECT_NEAR(std::min(plates[k].x1, plates[k].x2), -t.length / 2, 1e-12);
            EXPECT_NEAR(std::fabs(plates[k].x2 - plates[k].x1), kFinChordFraction * t.length, 1e-12);
            EXPECT_NEAR(plates[k].z + plates[k].height, t.height, 1e-12) << t.name;
            EXPECT_NEAR(plates[k].z, plates[0].z + plates[0].height, 1e-12);
        }
    }
}

TEST(StudyObjects, HeadingTurnsCounterClockwiseFromPlusX) {
    const std::vector<ObjectPlate> plates = objectPlates(aircraft("A320"));
    const double half = 37.57 / 2;
    // Heading 90: the nose (+x of the object) points along +y of the run.
    const std::vector<PlacedPlate> p = placePlates(plates, 100.0, -50.0, 90.0, 2.0);
    // Plate 0 runs tail to nose on the object's right side (y = -w/2).
    EXPECT_NEAR(p[0].x1, 100.0 + 3.95 / 2, 1e-9);
    EXPECT_NEAR(p[0].y1, -50.0 - half, 1e-9);
    EXPECT_NEAR(p[0].y2, -50.0 + half, 1e-9);
    // Ground contact: the bottom at ground height plus the clearance.
    EXPECT_NEAR(p[0].z, 2.0 + kGroundClearanceFraction * 3.95, 1e-12);
    // Heading 0 leaves the object as it is, moved to the position.
    const std::vector<PlacedPlate> q = placePlates(plates, 10.0, 20.0, 0.0, 0.0);
    EXPECT_NEAR(q[0].x1, 10.0 - half, 1e-12);
    EXPECT_NEAR(q[0].y1, 20.0 - 3.95 / 2, 1e-12);
    // Any heading keeps lengths and the distance of every end from the position.
    const std::vector<PlacedPlate> r = placePlates(plates, 10.0, 20.0, 37.0, 0.0);
    for (size_t k = 0; k < plates.size(); ++k) {
        EXPECT_NEAR(std::hypot(r[k].x2 - r[k].x1, r[k].y2 - r[k].y1),
                    std::hypot(plates[k].x2 - plates[k].x1, plates[k].y2 - plates[k].y1), 1e-9);
        EXPECT_NEAR(std::hypot(r[k].x1 - 10.0, r[k].y1 - 20.0), std::hypot(plates[k].x1, plates[k].y1), 1e-9);
    }
}

TEST(StudyObjects, EveryPlateFacesOutwardsAndTwinsFaceBothWays) {
    for (double heading : {0.0, 30.0, 90.0, 215.0}) {
        const std::vector<PlacedPlate> p = placePlates(objectPlates(aircraft("B787-9")), 0.0, 0.0, heading, 0.0);
        for (size_t k = 0; k < p.size(); k += 2) {
            double ax = 0, ay = 0, bx = 0, by = 0;
            facing(p[k], ax, ay);
            facing(p[k + 1], bx, by);
            EXPECT_NEAR(ax * bx + ay * by, -1.0, 1e-12) << "twins face opposite sides";
        }
        // The fuselage sides face away from the axis.
        for (size_t k = 0; k < 2; ++k) {
            double nx = 0, ny = 0;
            facing(p[k], nx, ny);
            const double mx = (p[k].x1 + p[k].x2) / 2, my = (p[k].y1 + p[k].y2) / 2;
            EXPECT_GT(nx * mx + ny * my, 0.0) << heading;
        }
    }
    StudyObject b;
    b.kind = ObjectKind::Building;
    b.width = 40;
    b.depth = 10;
    b.height = 12;
    b.material = 0;
    const std::vector<PlacedPlate> walls = placePlates(objectPlates(b), 500.0, 100.0, 60.0, 1.0);
    ASSERT_EQ(walls.size(), 4u);
    double perimeter = 0;
    for (const PlacedPlate& w : walls) {
        double nx = 0, ny = 0;
        facing(w, nx, ny);
        const double mx = (w.x1 + w.x2) / 2 - 500.0, my = (w.y1 + w.y2) / 2 - 100.0;
        EXPECT_GT(nx * mx + ny * my, 0.0);
        EXPECT_DOUBLE_EQ(w.z, 1.0);
        EXPECT_DOUBLE_EQ(w.height, 12.0);
        perimeter += std::hypot(w.x2 - w.x1, w.y2 - w.y1);
    }
    EXPECT_NEAR(perimeter, 100.0, 1e-9);
}

TEST(StudyObjects, CommandsCarryThePlatesInMetres) {
    const std::vector<PlacedPlate> p = {{1.5, -2.25, 3.0, 4.0, 0.5, 8.0, 0.0, 1}};
    const std::string text = plateCommands(p, true);
    EXPECT_EQ(text, "SP\nM 0 1 1\n1.5000 -2.2500 3.0000 4.0000 0.5000 8.0000 0.0000\n");
    EXPECT_EQ(plateCommands(p, false).substr(3, 8), "M 0 0 1\n");
    // A moving object: 10 m/s along heading 90 travels +y (feet) from where it stands.
    const std::string mot = motionFile(90.0, 10.0);
    std::istringstream in(mot);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "1");
    std::getline(in, line);
    std::getline(in, line);
    EXPECT_EQ(line, "2");
    double x, y, z, rot, speed;
    std::getline(in, line);
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf %lf %lf %lf %lf", &x, &y, &z, &rot, &speed), 5);
    EXPECT_EQ(x, 0.0);
    EXPECT_NEAR(speed, 32.80839895013123, 1e-5);
    std::getline(in, line);
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf %lf %lf %lf %lf", &x, &y, &z, &rot, &speed), 5);
    EXPECT_NEAR(x, 0.0, 1e-3);
    EXPECT_GT(y, 0.0);
    EXPECT_EQ(speed, 0.0);
}

}  // namespace
