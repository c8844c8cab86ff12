#include "study_objects.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace ilshost::study {

namespace {

constexpr double kDegree = 0.017453292519944444;
constexpr double kFeetPerMetre = 3.280839895013123;

bool sameName(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

// A vertical silhouette of the bottom edge from (xa, y) to (xb, y) seen from
// both sides: the plate from a to b faces -y, its twin from b to a faces +y.
void addTwin(std::vector<ObjectPlate>& out, double xa, double xb, double yMinus, double yPlus,
             double z, double height, int material) {
    out.push_back(ObjectPlate{xa, yMinus, xb, yMinus, z, height, 0.0, material});
    out.push_back(ObjectPlate{xb, yPlus, xa, yPlus, z, height, 0.0, material});
}

}  // namespace

const std::vector<AircraftType>& aircraftTypes() {
    static const std::vector<AircraftType> types = {
        {"A320", "A320-200", 37.57, 11.76, 3.95, 3.95},
        {"B737-800", "B737-800", 39.47, 12.55, 3.76, 3.76},
        {"A330-300", "A330-300", 63.67, 16.79, 5.64, 5.64},
        {"B787-9", "B787-9", 62.81, 17.02, 5.77, 5.77},
        {"A350-900", "A350-900", 66.80, 17.05, 5.96, 5.96},
        {"B777-300ER", "B777-300ER", 73.86, 18.70, 6.19, 6.19},
        {"B747-8", "B747-8", 76.25, 19.35, 6.50, 6.50},
        {"A380", "A380-800", 72.72, 24.09, 7.14, 8.41},
    };
    return types;
}

const AircraftType* findAircraft(const std::string& name) {
    for (const AircraftType& t : aircraftTypes()) {
        if (sameName(name, t.name) || sameName(name, t.fullName)) return &t;
    }
    return nullptr;
}

std::vector<ObjectPlate> objectPlates(const StudyObject& object) {
    std::vector<ObjectPlate> out;
    if (object.kind == ObjectKind::Plates) return object.plates;
    if (object.kind == ObjectKind::Building) {
        // Four walls facing outwards; the origin is the footprint's centre,
        // the width runs along x. Walls go round counter-clockwise seen from
        // above, so that each faces the right-hand side of its edge: outwards.
        const double a = object.width / 2.0;
        const double b = object.depth / 2.0;
        const double corners[5][2] = {{a, -b}, {-a, -b}, {-a, b}, {a, b}, {a, -b}};
        for (int k = 0; k < 4; ++k) {
            out.push_back(ObjectPlate{corners[k + 1][0], corners[k + 1][1], corners[k][0], corners[k][1],
                                      0.0, object.height, 0.0, object.material});
        }
        return out;
    }
    const AircraftType* t = findAircraft(object.aircraft);
    if (t == nullptr) return out;
    // Fuselage sides: overall length by fuselage height, the bottom at the
    // ground clearance, the two sides half the fuselage width off the axis.
    // The origin is the middle of the fuselage; the nose points along +x.
    const double clearance = kGroundClearanceFraction * t->fuselageHeight;
    const double half = t->length / 2.0;
    const double side = t->fuselageWidth / 2.0;
    addTwin(out, -half, half, -side, side, clearance, t->fuselageHeight, kAluminium);
    // Fin: on the axis at the tail, from the fuselage top to the overall
    // height, its trailing edge at the tail end.
    const double finBottom = clearance + t->fuselageHeight;
    const double chord = kFinChordFraction * t->length;
    addTwin(out, -half, -half + chord, 0.0, 0.0, finBottom, t->height - finBottom, kAluminium);
    return out;
}

std::vector<PlacedPlate> placePlates(const std::vector<ObjectPlate>& plates, double x, double y,
                                     double heading, double groundZ) {
    const double c = std::cos(heading * kDegree);
    const double s = std::sin(heading * kDegree);
    std::vector<PlacedPlate> out;
    for (const ObjectPlate& p : plates) {
        PlacedPlate q{};
        q.x1 = x + c * p.x1 - s * p.y1;
        q.y1 = y + s * p.x1 + c * p.y1;
        q.x2 = x + c * p.x2 - s * p.y2;
        q.y2 = y + s * p.x2 + c * p.y2;
        q.z = groundZ + p.z;
        q.height = p.height;
        q.tilt = p.tilt;
        q.material = p.material;
        out.push_back(q);
    }
    return out;
}

std::string plateCommands(const std::vector<PlacedPlate>& plates, bool bothSides) {
    std::string out;
    char buf[256];
    for (const PlacedPlate& p : plates) {
        std::snprintf(buf, sizeof buf, "SP\nM 0 %d %d\n%.4f %.4f %.4f %.4f %.4f %.4f %.4f\n",
                      bothSides ? 1 : 0, p.material, p.x1, p.y1, p.x2, p.y2, p.z, p.height, p.tilt);
        out += buf;
    }
    return out;
}

std::string motionFile(double heading, double speed) {
    // Offsets in feet, speed in feet per second. Ten hours of travel outlast
    // any flight; the table ends with the flight's last point.
    const double feet = speed * kFeetPerMetre;
    const double distance = feet * 36000.0;
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "1\nObject moving along its heading: x y z offsets (feet), rotation (degrees), "
                  "speed (ft/s)\n2\n0 0 0 0 %.6f\n%.4f %.4f 0 0 0\n",
                  feet, distance * std::cos(heading * kDegree), distance * std::sin(heading * kDegree));
    return buf;
}

}  // namespace ilshost::study
