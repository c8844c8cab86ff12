// The objects a study places: aircraft as plate silhouettes built from their
// published overall dimensions, box buildings, plate lists; and their
// placement in the run's frame as SP commands.
#pragma once

#include <string>
#include <vector>

#include "study_file.h"

namespace ilshost::study {

struct AircraftType {
    const char* name;        // as written in a study file, e.g. "A380"
    const char* fullName;    // e.g. "A380-800"
    double length;           // overall length, m
    double height;           // overall height to the fin top, m
    double fuselageWidth;    // m
    double fuselageHeight;   // m; the width where the type has a round fuselage
};

const std::vector<AircraftType>& aircraftTypes();

// The type for a name (case-insensitive; the full name is accepted too), or null.
const AircraftType* findAircraft(const std::string& name);

// Silhouette rule (docs/objects.md): fuselage bottom this fraction of the
// fuselage height above ground; fin chord this fraction of the length.
constexpr double kGroundClearanceFraction = 0.35;
constexpr double kFinChordFraction = 0.15;
constexpr int kAluminium = 1;

// The plates of an object in its own frame (x forward, y left, z up from the
// ground). Every silhouette is two plates back to back, one facing each side.
std::vector<ObjectPlate> objectPlates(const StudyObject& object);

// A plate in the run's frame, metres.
struct PlacedPlate {
    double x1, y1, x2, y2, z, height, tilt;
    int material;
};

// Rotates the object's plates by the heading (degrees, counter-clockwise from
// +x seen from above) about the object's origin, moves the origin to (x, y)
// and sets the bottom on the ground at groundZ.
std::vector<PlacedPlate> placePlates(const std::vector<ObjectPlate>& plates, double x, double y,
                                     double heading, double groundZ);

// The SP commands of the placed plates, metres.
std::string plateCommands(const std::vector<PlacedPlate>& plates, bool bothSides);

// A motion file that moves the plates from where they stand along the
// heading at speed (m/s) for longer than any flight.
std::string motionFile(double heading, double speed);

}  // namespace ilshost::study
