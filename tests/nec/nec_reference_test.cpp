// The library's fields against NEC-2, an independent method-of-moments
// solver (Debian's nec2c): for each case the test writes NEC decks and the
// library's own command and flight files, runs both, and compares.
//
// Conventions bridged here:
// - NEC's time factor is exp(+j w t): its phasors are conjugated.
// - NEC's speed of light is 299.8 m/us: its frequency is set so that its
//   wavelength equals the library's.
// - The library's scalar field is the horizontal component across the ray,
//   p = sigma(d) (z x d) with d the horizontal direction of travel and sigma
//   the side of the pattern axis; NEC's vector field is projected on it, from
//   the station for the direct field, from the scatterer's centre for the
//   scattered field.
// - The source is a short horizontal dipole across the pattern axis over a
//   perfect ground, which is the library's element with pattern D and ground
//   image; one complex constant (NEC's volts per metre per ampere against
//   the library's field per unit current) is calibrated on the direct field.
// - The scattered field is NEC's field with the scatterer minus its field
//   without it, each per ampere of the dipole's feed current.
//
// Tolerances, from the physics of each model:
// - direct field 0.1 dB and 1 degree (the dipole's near-field terms at
//   k R > 300 and its finite length stay below 0.05 dB);
// - wires 2 dB and 20 degrees at the peak, 3 dB and 30 degrees RMS over the
//   points within 10 dB of the peak (the thin-wire model omits the end
//   reflections and the wire's own coupling);
// - plate main lobe 2 dB and 20 degrees (physical optics omits the edge
//   currents, which shape the sidelobes, not the main lobe).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <complex>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace ils {
namespace {

constexpr double kFootInMetres = 0.3048;
constexpr double kLibraryLight = 983571056.4304461;  // feet per second
constexpr double kNecLight = 299.8;                  // metres per microsecond
constexpr double kFrequency = 110.0;                 // MHz
constexpr double kLambdaFeet = kLibraryLight / (kFrequency * 1e6);
constexpr double kSourceHeight = 12.0;  // feet
constexpr double kPiExact = std::numbers::pi;

struct Point {
    double x, y, z;  // feet
};

using Cplx = std::complex<double>;

// ---------------------------------------------------------------------------
// NEC side.

struct NecWire {
    double x1, y1, z1, x2, y2, z2, radius;  // feet
    int segments;
};

// nec2c on the PATH, checked once.
bool necAvailable(const std::string& dir) {
    static int state = -1;
    if (state < 0) {
        const std::string out = dir + "version.txt";
        const std::string cmd = "nec2c -v > \"" + out + "\" 2>&1";
        state = std::system(cmd.c_str()) == 0 &&
                        test::readFile(out).find("nec2c") != std::string::npos
                    ? 1
                    : 0;
    }
    return state == 1;
}

std::string necNumber(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.7g", v);
    return buf;
}

// A deck: the dipole (tag 1, 5 segments, fed at segment 3), the scatterer's
// wires, a perfect ground, and one near-field request per point. NEC reads
// its cards in columns-free form (nec2c accepts blank-separated fields).
std::string necDeck(const std::vector<NecWire>& wires, const std::vector<Point>& pts) {
    std::ostringstream d;
    d << "CM library reference case\nCE\n";
    const double m = kFootInMetres;
    const double half = 0.05 * kLambdaFeet * m;  // a tenth-wavelength dipole along y
    d << "GW 1 5 0 " << necNumber(-half) << " " << necNumber(kSourceHeight * m) << " 0 "
      << necNumber(half) << " " << necNumber(kSourceHeight * m) << " 0.001\n";
    int tag = 2;
    for (const NecWire& w : wires) {
        d << "GW " << tag++ << " " << w.segments << " " << necNumber(w.x1 * m) << " "
          << necNumber(w.y1 * m) << " " << necNumber(w.z1 * m) << " " << necNumber(w.x2 * m)
          << " " << necNumber(w.y2 * m) << " " << necNumber(w.z2 * m) << " "
          << necNumber(w.radius * m) << "\n";
    }
    // Ground plane present (wires may not touch it here).
    d << "GE 1\nGN 1\n";
    // Frequency giving NEC the library's wavelength.
    d << "FR 0 1 0 0 " << necNumber(kNecLight / (kLambdaFeet * m)) << " 0\n";
    d << "EX 0 1 3 0 1 0\n";
    for (const Point& p : pts) {
        d << "NE 0 1 1 1 " << necNumber(p.x * m) << " " << necNumber(p.y * m) << " "
          << necNumber(p.z * m) << " 0 0 0\n";
    }
    d << "EN\n";
    return d.str();
}

struct NecResult {
    bool ok = false;
    Cplx feed;                            // dipole feed current, amperes
    std::vector<std::array<Cplx, 3>> e;   // field per point, volts per metre
};

std::vector<double> numbersOf(const std::string& line) {
    std::istringstream in(line);
    std::vector<double> v;
    double x;
    while (in >> x) v.push_back(x);
    return v;
}

NecResult runNec(const std::string& dir, const std::string& name, const std::string& deck,
                 size_t points) {
    NecResult r;
    const std::string in = dir + name + ".nec", out = dir + name + ".out";
    test::writeFile(in, deck);
    const std::string cmd = "nec2c -i \"" + in + "\" -o \"" + out + "\" > \"" + dir + name +
                            ".log\" 2>&1";
    if (std::system(cmd.c_str()) != 0) return r;
    std::istringstream text(test::readFile(out));
    std::string line;
    bool feedNext = false, fieldsNext = false;
    int skip = 0;
    while (std::getline(text, line)) {
        if (line.find("ANTENNA INPUT PARAMETERS") != std::string::npos) {
            feedNext = true;
            skip = 2;
            continue;
        }
        if (line.find("NEAR ELECTRIC FIELDS") != std::string::npos) {
            fieldsNext = true;
            skip = 3;
            continue;
        }
        if (skip > 0) {
            --skip;
            continue;
        }
        const std::vector<double> v = numbersOf(line);
        if (feedNext && v.size() >= 6) {
            r.feed = Cplx(v[4], v[5]);
            feedNext = false;
        } else if (fieldsNext && v.size() == 9) {
            std::array<Cplx, 3> e;
            for (int c = 0; c < 3; ++c) e[c] = std::polar(v[3 + 2 * c], v[4 + 2 * c] * kPiExact / 180.0);
            r.e.push_back(e);
            fieldsNext = false;
        }
    }
    r.ok = r.e.size() == points && std::abs(r.feed) > 0.0;
    return r;
}

// The library's scalar from NEC's field: the horizontal component across
// the ray from `from` to p, oriented to the front of the pattern axis (x),
// in the exp(-j w t) convention, per ampere of feed.
Cplx necScalar(const std::array<Cplx, 3>& e, Cplx feed, const Point& from, const Point& p) {
    const double dx = p.x - from.x, dy = p.y - from.y;
    const double rho = std::hypot(dx, dy);
    const double sigma = dx >= 0.0 ? 1.0 : -1.0;
    // z x d = (-dy, dx) / rho
    const Cplx v = sigma * (e[0] * (-dy / rho) + e[1] * (dx / rho));
    return std::conj(v / feed);
}

// ---------------------------------------------------------------------------
// Library side.

struct LibraryResult {
    bool ok = false;
    std::vector<Cplx> direct, scattered;  // course CSB, slot 0
    std::string log;
};

// One element with pattern D about the x axis at the dipole's place; the
// observation points as a user flight profile; the scatterer's command.
LibraryResult runLibrary(const std::string& dir, const std::string& scatterer,
                         const std::vector<Point>& pts) {
    LibraryResult r;
    std::ostringstream flight;
    flight << pts.size() << "\n";
    for (const Point& p : pts) flight << necNumber(p.x) << " " << necNumber(p.y) << " "
                                      << necNumber(p.z) << " 1 0 0\n";
    const std::string flightFile = dir + "points.txt";
    test::writeFile(flightFile, flight.str());
    char freq[32];
    std::snprintf(freq, sizeof freq, "%.6f", kFrequency);
    const std::string commands = std::string("SY\nL S A G\n") + freq + "\n" +
                                 "CO\n1 F M D\n0 0 " + necNumber(kSourceHeight) +
                                 " 0 0\nE01   0 0 0 1 0 0 0\nD 0 D\n" +
                                 "FP\nU F F F\n0 0 0\n" + flightFile + "\n" + scatterer + "EN\n";
    const test::CalcResult c = test::runCommandFile(commands, "nec", dir);
    r.log = c.log;
    const size_t n = pts.size();
    if (c.state != 2 || c.fieldFile.size() != 20 + 504 * n) return r;
    for (size_t i = 0; i < n; ++i) {
        const size_t at = 20 + 504 * i + 24;
        r.scattered.emplace_back(test::doubleAt(c.fieldFile, at), test::doubleAt(c.fieldFile, at + 8));
        r.direct.emplace_back(test::doubleAt(c.fieldFile, at + 240),
                              test::doubleAt(c.fieldFile, at + 248));
    }
    r.ok = true;
    return r;
}

// ---------------------------------------------------------------------------
// Comparison.

double dB(double ratio) { return 20.0 * std::log10(ratio); }
double degrees(Cplx ratio) { return std::arg(ratio) * 180.0 / kPiExact; }

struct Figures {
    size_t points = 0;       // within 10 dB of the peak
    double peakDb = 0.0, peakDeg = 0.0, rmsDb = 0.0, rmsDeg = 0.0;
    double peakLevel = 0.0;  // NEC peak relative to the direct field there, dB
};

Figures compare(const std::vector<Cplx>& lib, const std::vector<Cplx>& nec,
                const std::vector<Cplx>& direct) {
    Figures f;
    size_t peak = 0;
    for (size_t i = 1; i < nec.size(); ++i) {
        if (std::abs(nec[i]) > std::abs(nec[peak])) peak = i;
    }
    const Cplx at = lib[peak] / nec[peak];
    f.peakDb = dB(std::abs(at));
    f.peakDeg = degrees(at);
    f.peakLevel = dB(std::abs(nec[peak]) / std::abs(direct[peak]));
    double sDb = 0.0, sDeg = 0.0;
    for (size_t i = 0; i < nec.size(); ++i) {
        if (std::abs(nec[i]) < std::abs(nec[peak]) * std::pow(10.0, -10.0 / 20.0)) continue;
        const Cplx q = lib[i] / nec[i];
        sDb += dB(std::abs(q)) * dB(std::abs(q));
        sDeg += degrees(q) * degrees(q);
        ++f.points;
    }
    f.rmsDb = std::sqrt(sDb / f.points);
    f.rmsDeg = std::sqrt(sDeg / f.points);
    return f;
}

struct Case {
    std::string name;
    std::vector<NecWire> necWires;  // the scatterer in NEC
    std::string command;            // the scatterer in the library
    Point centre;                   // reference of the scattered ray
    std::vector<Point> points;
    // Tolerances: at the peak, and RMS over the points within 10 dB of it.
    double peakDb = 2.0, peakDeg = 20.0, rmsDb = 3.0, rmsDeg = 30.0;
};

class NecReference : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::makeTempDir("nec");
        if (!necAvailable(dir_)) GTEST_SKIP() << "nec2c is not installed: NEC-2 comparison skipped";
    }

    // Runs NEC without and with the scatterer and the library; returns the
    // library's and NEC's scattered fields (NEC's in library units) and the
    // library's direct field. Also checks the direct-field calibration.
    bool run(const Case& c, std::vector<Cplx>& lib, std::vector<Cplx>& nec,
             std::vector<Cplx>& direct) {
        const NecResult free = runNec(dir_, c.name + "-free", necDeck({}, c.points), c.points.size());
        const NecResult with =
            runNec(dir_, c.name + "-with", necDeck(c.necWires, c.points), c.points.size());
        const LibraryResult l = runLibrary(dir_, c.command, c.points);
        EXPECT_TRUE(free.ok && with.ok) << c.name << ": nec2c output not read";
        EXPECT_TRUE(l.ok) << c.name << ": library run failed\n" << l.log;
        if (!free.ok || !with.ok || !l.ok) return false;
        const Point station{0.0, 0.0, kSourceHeight};
        const Cplx scale = calibration(free, c.points, l.direct, station);
        for (size_t i = 0; i < c.points.size(); ++i) {
            std::array<Cplx, 3> diff;
            for (int k = 0; k < 3; ++k) diff[k] = with.e[i][k] / with.feed - free.e[i][k] / free.feed;
            nec.push_back(necScalar(diff, 1.0, c.centre, c.points[i]) / scale);
        }
        lib = l.scattered;
        direct = l.direct;
        return true;
    }

    // The constant NEC / library on the direct field, and the direct field's
    // agreement within 0.1 dB and 1 degree at every point once scaled.
    Cplx calibration(const NecResult& free, const std::vector<Point>& pts,
                     const std::vector<Cplx>& lib, const Point& station) {
        std::vector<Cplx> ratio;
        Cplx sum = 0.0;
        for (size_t i = 0; i < pts.size(); ++i) {
            ratio.push_back(necScalar(free.e[i], free.feed, station, pts[i]) / lib[i]);
            sum += ratio.back() / std::abs(ratio.back());
        }
        double mag = 0.0;
        for (const Cplx& q : ratio) mag += std::log(std::abs(q));
        const Cplx scale = std::exp(mag / ratio.size()) * sum / std::abs(sum);
        double worstDb = 0.0, worstDeg = 0.0;
        for (const Cplx& q : ratio) {
            worstDb = std::max(worstDb, std::fabs(dB(std::abs(q / scale))));
            worstDeg = std::max(worstDeg, std::fabs(degrees(q / scale)));
        }
        EXPECT_LT(worstDb, 0.1);
        EXPECT_LT(worstDeg, 1.0);
        directWorstDb_ = std::max(directWorstDb_, worstDb);
        directWorstDeg_ = std::max(directWorstDeg_, worstDeg);
        return scale;
    }

    void check(const Case& c) {
        std::vector<Cplx> lib, nec, direct;
        if (!run(c, lib, nec, direct)) return;
        const Figures f = compare(lib, nec, direct);
        if (std::getenv("NEC_POINTS")) {
            for (size_t i = 0; i < lib.size(); ++i) {
                std::printf("  %8.0f %7.0f %6.0f  nec %7.2f dB  lib/nec %+6.2f dB %+7.1f deg\n",
                            c.points[i].x, c.points[i].y, c.points[i].z,
                            dB(std::abs(nec[i] / direct[i])), dB(std::abs(lib[i] / nec[i])),
                            degrees(lib[i] / nec[i]));
            }
        }
        std::printf("[ NEC-2    ] %-22s peak %+6.2f dB %+7.1f deg (%.1f dB below direct)  "
                    "RMS %5.2f dB %5.1f deg over %zu points; direct within %.3f dB %.2f deg\n",
                    c.name.c_str(), f.peakDb, f.peakDeg, -f.peakLevel, f.rmsDb, f.rmsDeg,
                    f.points, directWorstDb_, directWorstDeg_);
        EXPECT_LT(std::fabs(f.peakDb), c.peakDb) << c.name;
        EXPECT_LT(std::fabs(f.peakDeg), c.peakDeg) << c.name;
        EXPECT_LT(f.rmsDb, c.rmsDb) << c.name;
        EXPECT_LT(f.rmsDeg, c.rmsDeg) << c.name;
        EXPECT_GE(f.points, 3u) << c.name;
    }

    std::string dir_;
    double directWorstDb_ = 0.0, directWorstDeg_ = 0.0;
};

// NEC segments of about a tenth of a wavelength.
int necSegments(double lengthFeet) {
    return std::max(1, static_cast<int>(std::ceil(lengthFeet / (0.1 * kLambdaFeet))));
}

Case wireCase(const std::string& name, double x1, double y1, double z1, double x2, double y2,
              double z2, double radius, std::vector<Point> points) {
    Case c;
    c.name = name;
    const double length = std::hypot(std::hypot(x2 - x1, y2 - y1), z2 - z1);
    c.necWires.push_back({x1, y1, z1, x2, y2, z2, radius, necSegments(length)});
    c.command = "SW\nf 0 0\n" + necNumber(x1) + " " + necNumber(y1) + " " + necNumber(x2) + " " +
                necNumber(y2) + " " + necNumber(z1) + " " + necNumber(z2) + " " +
                necNumber(radius) + "\n";
    c.centre = {(x1 + x2) / 2, (y1 + y2) / 2, (z1 + z2) / 2};
    c.points = std::move(points);
    return c;
}

// A level run across the course at distance x and height z.
std::vector<Point> crossRun(double x, double z, double y1, double y2, int count) {
    std::vector<Point> pts;
    for (int i = 0; i < count; ++i) pts.push_back({x, y1 + (y2 - y1) * i / (count - 1), z});
    return pts;
}

// An approach on the course line, 3 degrees, from x1 to x2.
std::vector<Point> approach(double x1, double x2, int count, double y = 0.0) {
    std::vector<Point> pts;
    for (int i = 0; i < count; ++i) {
        const double x = x1 + (x2 - x1) * i / (count - 1);
        pts.push_back({x, y, 30.0 + std::fabs(x) * std::tan(3.0 * kPiExact / 180.0)});
    }
    return pts;
}

std::vector<Point> join(std::vector<Point> a, const std::vector<Point>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(NecReference, LongWireBroadside) {
    // A power line across the course 1000 ft out: back-scatter towards the
    // station's rear and forward scatter onto the approach beyond it.
    check(wireCase("long broadside", 1000, -300, 40, 1000, 300, 40, 0.05,
                   join(approach(3000, 9000, 25), approach(-2500, -7000, 10))));
}

TEST_F(NecReference, LongWireOblique) {
    // Lit at about 45 degrees: the scattered cone leaves towards +y.
    check(wireCase("long oblique", 700, -250, 35, 1150, 200, 35, 0.05,
                   join(crossRun(1200, 150, 1200, 4500, 24), crossRun(-400, 120, 600, 4000, 12))));
}

TEST_F(NecReference, LongWireNearlyEndOn) {
    // A line at 20 degrees to the course, lit 15 to 35 degrees off its axis
    // (sin^2 of that 0.06 to 0.33, where the missing 1 / sin^2 factor of a
    // broadside-only current was worst): its forward cone opens towards +y.
    // The run stays off the wire's own axis beyond its far end (y below
    // about 1300 ft at x = 3000 ft), where the travelling wave of a long
    // wire's end current, which the model leaves out, dominates.
    check(wireCase("long nearly end-on", 600, -150, 30, 1400, 150, 30, 0.05,
                   join(crossRun(3000, 150, 1400, 2600, 13), approach(2500, 9000, 14))));
}

TEST_F(NecReference, ShortWire) {
    check(wireCase("short broadside", 800, -70, 30, 800, 70, 30, 0.05,
                   join(approach(2500, 9000, 20), crossRun(4000, 220, -1500, 1500, 13))));
}

TEST_F(NecReference, ShortWireAtAResonance) {
    // 13.5 wavelengths: a standing-wave end term would diverge here.
    const double half = 13.5 * kLambdaFeet / 2;
    check(wireCase("short resonant", 800, -half, 30, 800, half, 30, 0.05,
                   join(approach(2500, 9000, 20), crossRun(4000, 220, -1500, 1500, 13))));
}

TEST_F(NecReference, ShortWireLengthScanThroughResonances) {
    // 116 to 125 ft in steps of 1 ft crosses the half-wave resonances at
    // 13 and 13.5 and 14 wavelengths (116.2, 120.7 and 125.2 ft).
    for (double length = 116.0; length <= 125.0; length += 1.0) {
        char name[32];
        std::snprintf(name, sizeof name, "short %.0f ft", length);
        check(wireCase(name, 800, -length / 2, 30, 800, length / 2, 30, 0.05,
                       join(approach(2500, 9000, 12), crossRun(4000, 220, -1500, 1500, 9))));
    }
}

TEST_F(NecReference, WireAboveTheArray) {
    // Steep rays: a line 60 ft up passing 40 ft in front of the station, lit
    // at up to 50 degrees elevation.
    check(wireCase("above the array", 40, -150, 60, 40, 150, 60, 0.05,
                   join(approach(2500, 9000, 14), crossRun(4000, 220, -1500, 1500, 13))));
}

TEST_F(NecReference, SlopingWire) {
    check(wireCase("sloping", 900, -220, 20, 1000, 220, 80, 0.05,
                   join(approach(2500, 9000, 20), crossRun(4000, 250, -1500, 1500, 13))));
}

TEST_F(NecReference, HighAndLowWires) {
    check(wireCase("high", 900, -250, 110, 900, 250, 110, 0.05,
                   join(approach(2500, 9000, 20), crossRun(5000, 400, -1500, 1500, 13))));
    check(wireCase("low", 900, -250, 10, 900, 250, 10, 0.05,
                   join(approach(2500, 9000, 20), crossRun(5000, 150, -1500, 1500, 13))));
}

// A vertical conducting plate of 3 x 1.5 wavelengths as a wire grid
// (spacing a tenth of a wavelength, radius spacing / 2 pi), one single-segment
// wire per cell edge so that every grid node is a junction. Its centre is at
// (400, 400), its bottom edge 20 ft up along azimuth -15 degrees: it faces
// the station, lit 30 degrees off its normal, and reflects towards azimuth
// -75 degrees.
constexpr double kPlateAzimuth = -15.0 * kPiExact / 180.0;
constexpr double kPlateX = 400.0, kPlateY = 400.0, kPlateZ = 20.0;

Case plateCase(std::vector<Point> points) {
    Case c;
    c.name = "plate";
    const int nx = 30, nz = 15;
    const double w = 3.0 * kLambdaFeet, h = 1.5 * kLambdaFeet;
    const double ex = std::cos(kPlateAzimuth), ey = std::sin(kPlateAzimuth);
    const double x0 = kPlateX - ex * w / 2, y0 = kPlateY - ey * w / 2;
    const double sx = w / nx, sz = h / nz, radius = sx / (2 * kPiExact);
    auto node = [&](int k, int i) {
        return Point{x0 + ex * k * sx, y0 + ey * k * sx, kPlateZ + i * sz};
    };
    for (int i = 0; i <= nz; ++i) {
        for (int k = 0; k < nx; ++k) {
            const Point a = node(k, i), b = node(k + 1, i);
            c.necWires.push_back({a.x, a.y, a.z, b.x, b.y, b.z, radius, 1});
        }
    }
    for (int k = 0; k <= nx; ++k) {
        for (int i = 0; i < nz; ++i) {
            const Point a = node(k, i), b = node(k, i + 1);
            c.necWires.push_back({a.x, a.y, a.z, b.x, b.y, b.z, radius, 1});
        }
    }
    // Facing the right-hand side of end 1 -> end 2, a good conductor.
    const Point end = node(nx, 0);
    c.command = "SP\nf 0 0 11 1 1 1e7\n" + necNumber(x0) + " " + necNumber(y0) + " " +
                necNumber(end.x) + " " + necNumber(end.y) + " " + necNumber(kPlateZ) + " " +
                necNumber(h) + " 0\n";
    c.centre = {kPlateX, kPlateY, kPlateZ + h / 2};
    c.points = std::move(points);
    // The main lobe: 2 dB and 20 degrees throughout.
    c.rmsDb = 2.0;
    c.rmsDeg = 20.0;
    return c;
}

TEST_F(NecReference, PlateSpecularDirectionAndHeightProfile) {
    // 1500 ft from the plate along the specular direction: a run across it,
    // then a height profile on it.
    const double out = -75.0 * kPiExact / 180.0;
    const double sx = kPlateX + 1500.0 * std::cos(out), sy = kPlateY + 1500.0 * std::sin(out);
    std::vector<Point> pts;
    for (int i = 0; i < 21; ++i) {
        const double t = -250.0 + 25.0 * i;
        pts.push_back({sx - t * std::sin(out), sy + t * std::cos(out), 60.0});
    }
    for (int i = 0; i < 15; ++i) pts.push_back({sx, sy, 20.0 + 8.0 * i});
    check(plateCase(pts));
}

}  // namespace
}  // namespace ils
