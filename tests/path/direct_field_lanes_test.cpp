// The direct-field kernel on vectors of points against a plain transcription
// of its equations, on every instruction set the machine runs: random
// stations and points, the degenerate points (on an element, straight above
// the centroid, on the ground), and the independence of a point's bits from
// its lane and block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "path/field_run.h"
#include "path/path_helpers.h"
#include "simd/simd_targets.h"

namespace ils {
namespace {

using test::addElement;
using test::setWavelength;

// ---- the transcription ----------------------------------------------------

// The table read at a = -phi in degrees folded into [-180, 180]: the linear
// interpolation on the first knot interval whose end is not below a (the
// last when every end is), searched from the start as the engine's loop
// does, whatever the order of the angles; a zero-width interval gives its
// lower value.
double tableValue(const ElementPattern& p, double phi) {
    const int n = p.patternPointCount;
    if (n <= 0) return 0.0;
    if (n == 1) return p.patternValues[0];
    double a = -phi / kDegToRad;
    if (a < -180.0) a += 360.0;
    else if (a > 180.0) a -= 360.0;
    int s = 0;
    while (s < n - 2 && p.patternAngles[s + 1] < a) ++s;
    const double a0 = p.patternAngles[s], a1 = p.patternAngles[s + 1];
    if (a1 == a0) return p.patternValues[s];
    const double t = (a - a0) / (a1 - a0);
    return p.patternValues[s] + t * (p.patternValues[s + 1] - p.patternValues[s]);
}

double referencePattern(const ElementPattern& p, double phi, double eps) {
    if (p.patternType == 'D') return std::fabs(std::cos(phi));
    if (p.patternType == 'G') {
        const double h = std::cos(phi) * std::sin(eps), v = std::cos(eps);
        const double u = std::atan2(std::sin(phi) * std::sin(eps), std::sqrt(h * h + v * v));
        const double x = 2.0 * 3.14159265359 * u;
        const double sincX = std::fabs(x) < 1e-4 ? 1.0 - x * x / 6.0 : std::sin(x) / x;
        return std::pow(std::fabs(sincX), 1.5);
    }
    return tableValue(p, phi);
}

// sum_i I_i e^{j k R_i} / R_i over the elements off P, times the pattern
// seen from the centroid unless P is straight above it (or unweighted); the
// ground image (P mirrored to -z) enters with sign -1.
void referenceArray(const AntennaArray& a, bool ground, bool unweighted, double x, double y, double z,
                    Complex& csb, Complex& sbo) {
    csb = sbo = 0.0;
    for (int pass = 0; pass < (ground ? 2 : 1); ++pass) {
        const double zp = pass == 0 ? z : -z;
        Complex c = 0.0, s = 0.0;
        for (int i = 0; i < a.elementCount; ++i) {
            // The phase k R is kR ulps of R off for an ulp in R: the distance
            // is formed as the kernel forms it, (dx^2 + dy^2) + dz^2.
            const double dx = x - a.elementX[i], dy = y - a.elementY[i], dz = zp - a.elementZ[i];
            const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
            if (r == 0.0) continue;
            const Complex wave = std::polar(1.0 / r, a.waveNumber * r);
            c += a.csbCurrent[i] * wave;
            s += a.sboCurrent[i] * wave;
        }
        const double dx = x - a.centroidX, dy = y - a.centroidY;
        if (!unweighted && (dx != 0.0 || dy != 0.0)) {
            const double phi = std::atan2(dy, dx) - a.pattern.patternAxis;
            const double eps = std::atan2(zp - a.centroidZ, std::hypot(dx, dy));
            const double g = referencePattern(a.pattern, phi, eps);
            c *= g;
            s *= g;
        }
        csb += pass == 0 ? c : -c;
        sbo += pass == 0 ? s : -s;
    }
}

// Slot j = CSB, 2+2j = CSB - SBO, 3+2j = CSB + SBO (clearance times
// captureWeight, only in a two-frequency system); every other slot zero.
FieldRecord referenceRecord(const RunData& rd, const ObservationPoint& p, bool unweighted = false) {
    FieldRecord r{};
    const int arrays = rd.system.captureEffect == 1 ? 2 : 1;
    for (int j = 0; j < arrays; ++j) {
        Complex c, s;
        referenceArray(rd.arrays[j], rd.system.groundPlaneCode == 'G', unweighted, p.x, p.y, p.z, c, s);
        const double w = j == 1 ? rd.system.captureWeight : 1.0;
        r.slot[j] = w * c;
        r.slot[2 + 2 * j] = w * c - w * s;
        r.slot[3 + 2 * j] = w * c + w * s;
    }
    return r;
}

// ---- random stations and points -------------------------------------------

struct Scene {
    std::unique_ptr<RunData> rd = std::make_unique<RunData>();
    std::vector<ObservationPoint> points;
};

double uniform(std::mt19937_64& g, double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(g);
}

void randomPattern(std::mt19937_64& g, ElementPattern& p) {
    const char types[] = {'D', 'G', 'I'};
    p.patternType = types[g() % 3];
    p.patternAxis = uniform(g, -3.2, 3.2);
    if (p.patternType != 'I') return;
    // Tables of 0, 1 or more knots, ascending, some intervals of zero width.
    const int n = static_cast<int>(g() % 14);
    double angle = -180.0;
    int count = 0;
    for (; count < n && angle <= 180.0; ++count) {
        p.patternAngles[count] = angle;
        p.patternValues[count] = uniform(g, 0.0, 1.0);
        angle += g() % 5 == 0 ? 0.0 : uniform(g, 1.0, 70.0);
    }
    p.patternPointCount = count;
    // A table typed in out of order, read as the search reads it: about one
    // in four (chosen from a value already drawn, so that the scenes' other
    // draws stay as they were).
    if (count > 3 && p.patternValues[0] < 0.25) std::swap(p.patternAngles[1], p.patternAngles[count - 2]);
}

ObservationPoint at(double x, double y, double z) { return ObservationPoint{x, y, z, -200.0, 0.0, -10.0}; }

Scene randomScene(std::mt19937_64& g) {
    Scene s;
    RunData& rd = *s.rd;
    rd.system.groundPlaneCode = g() % 2 == 0 ? 'G' : 'F';
    rd.system.captureEffect = g() % 2 == 0 ? 1 : 0;
    rd.system.captureWeight = uniform(g, 0.1, 1.5);
    for (int j = 0; j < 2; ++j) {
        setWavelength(rd, j, uniform(g, 2.5, 10.0));
        randomPattern(g, rd.arrays[j].pattern);
        const int n = 1 + static_cast<int>(g() % 20);
        for (int i = 0; i < n; ++i) {
            addElement(rd, j, uniform(g, -20.0, 20.0), uniform(g, -100.0, 100.0), uniform(g, 0.0, 40.0),
                       std::polar(uniform(g, 0.1, 1.0), uniform(g, -3.2, 3.2)),
                       std::polar(uniform(g, 0.0, 0.5), uniform(g, -3.2, 3.2)));
        }
    }
    for (int i = 0; i < 30; ++i) {
        const bool near = i % 3 == 0;
        const double reach = near ? 150.0 : 20000.0;
        s.points.push_back(at(uniform(g, -reach, reach), uniform(g, -reach, reach),
                              uniform(g, 0.0, near ? 60.0 : 3000.0)));
    }
    // The degenerate points: on an element of each array, straight above
    // and below each centroid, on the ground.
    for (int j = 0; j < 2; ++j) {
        const AntennaArray& a = rd.arrays[j];
        const int e = static_cast<int>(g() % static_cast<unsigned>(a.elementCount));
        s.points.push_back(at(a.elementX[e], a.elementY[e], a.elementZ[e]));
        s.points.push_back(at(a.centroidX, a.centroidY, uniform(g, 0.0, 500.0)));
        s.points.push_back(at(a.centroidX, a.centroidY, a.centroidZ));
        s.points.push_back(at(a.centroidX, a.centroidY, 0.0));
    }
    s.points.push_back(at(uniform(g, -5000.0, 5000.0), uniform(g, -5000.0, 5000.0), 0.0));
    s.points.push_back(at(uniform(g, -50.0, 50.0), uniform(g, -50.0, 50.0), 0.0));
    return s;
}

std::vector<FieldRecord> kernelRecords(const RunData& rd, const std::vector<ObservationPoint>& p) {
    std::vector<FieldRecord> out(p.size());
    directFieldRecords(rd, p, out);
    return out;
}

double largestSlot(const FieldRecord& r) {
    double m = 0.0;
    for (const Complex& c : r.slot) m = std::max(m, std::abs(c));
    return m;
}

bool sameBits(const FieldRecord& a, const FieldRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// ---- tests -----------------------------------------------------------------

TEST(DirectFieldLanes, AgreesWithTheTranscriptionOnRandomStations) {
    test::forEachVectorTarget([](int64_t) {
        std::mt19937_64 g(20261208);
        int nonzero = 0, records = 0;
        for (int station = 0; station < 80; ++station) {
            const Scene s = randomScene(g);
            const std::vector<FieldRecord> got = kernelRecords(*s.rd, s.points);
            for (size_t i = 0; i < s.points.size(); ++i) {
                const FieldRecord want = referenceRecord(*s.rd, s.points[i]);
                // In a pattern's null its value is its slope times the
                // rounding of the angle: the bound is the larger of the
                // record's scale and that of its field before the pattern.
                const double scale =
                    std::max(largestSlot(want), largestSlot(referenceRecord(*s.rd, s.points[i], true)));
                ++records;
                if (largestSlot(want) > 0.0) ++nonzero;
                for (int k = 0; k < 15; ++k) {
                    const Complex diff = got[i].slot[k] - want.slot[k];
                    ASSERT_TRUE(std::isfinite(got[i].slot[k].real()) && std::isfinite(got[i].slot[k].imag()))
                        << "station " << station << " point " << i << " slot " << k;
                    ASSERT_LE(std::max(std::fabs(diff.real()), std::fabs(diff.imag())), 1e-12 * scale)
                        << "station " << station << " point " << i << " slot " << k << ": "
                        << got[i].slot[k] << " vs " << want.slot[k];
                }
            }
        }
        // The stations radiate: only points on the ground under an image
        // (and tables of no knots) give empty records.
        EXPECT_GT(nonzero, records * 8 / 10);
    });
}

TEST(DirectFieldLanes, AnElementUnderThePointAddsNothing) {
    test::forEachVectorTarget([](int64_t) {
        std::mt19937_64 g(7);
        for (int station = 0; station < 20; ++station) {
            Scene s = randomScene(g);
            RunData& rd = *s.rd;
            rd.system.groundPlaneCode = 'F';
            rd.system.captureEffect = 0;
            AntennaArray& a = rd.arrays[0];
            if (a.elementCount < 2) continue;
            const int e = static_cast<int>(g() % static_cast<unsigned>(a.elementCount));
            const ObservationPoint onIt = at(a.elementX[e], a.elementY[e], a.elementZ[e]);
            const FieldRecord with = kernelRecords(rd, {onIt})[0];
            // The same array without element e, its centroid kept.
            for (int i = e; i + 1 < a.elementCount; ++i) {
                a.elementX[i] = a.elementX[i + 1];
                a.elementY[i] = a.elementY[i + 1];
                a.elementZ[i] = a.elementZ[i + 1];
                a.csbCurrent[i] = a.csbCurrent[i + 1];
                a.sboCurrent[i] = a.sboCurrent[i + 1];
            }
            --a.elementCount;
            const FieldRecord without = kernelRecords(rd, {onIt})[0];
            EXPECT_TRUE(sameBits(with, without)) << "station " << station;
            EXPECT_GT(largestSlot(with), 0.0);
        }
    });
}

TEST(DirectFieldLanes, ImageCancelsOnTheGroundAndTheCentroidAxisIsUnweighted) {
    test::forEachVectorTarget([](int64_t) {
        std::mt19937_64 g(11);
        Scene s = randomScene(g);
        RunData& rd = *s.rd;
        rd.system.captureEffect = 1;
        rd.system.groundPlaneCode = 'G';
        // On the ground the image's field is the direct field's negative.
        for (const ObservationPoint& p : {at(1200.0, -35.0, 0.0), at(3.0, 4.0, 0.0)}) {
            const FieldRecord r = kernelRecords(rd, {p})[0];
            for (const Complex& c : r.slot) EXPECT_EQ(std::abs(c), 0.0);
        }
        // A pattern of no knots silences every direction but the centroid's
        // vertical, which no pattern weights.
        rd.system.groundPlaneCode = 'F';
        for (int j = 0; j < 2; ++j) {
            rd.arrays[j].pattern.patternType = 'I';
            rd.arrays[j].pattern.patternPointCount = 0;
        }
        const AntennaArray& a = rd.arrays[0];
        const FieldRecord off = kernelRecords(rd, {at(a.centroidX + 1e-9, a.centroidY, 300.0)})[0];
        const FieldRecord above = kernelRecords(rd, {at(a.centroidX, a.centroidY, 300.0)})[0];
        EXPECT_EQ(std::abs(off.slot[0]), 0.0);
        EXPECT_GT(std::abs(above.slot[0]), 0.0);
        const FieldRecord want = referenceRecord(rd, at(a.centroidX, a.centroidY, 300.0));
        EXPECT_LE(std::abs(above.slot[0] - want.slot[0]), 1e-12 * std::abs(want.slot[0]));
    });
}

TEST(DirectFieldLanes, APointsBitsDependNeitherOnItsLaneNorOnItsBlock) {
    test::forEachVectorTarget([](int64_t) {
        std::mt19937_64 g(3);
        for (int station = 0; station < 6; ++station) {
            Scene s = randomScene(g);
            s.rd->system.captureEffect = 1;
            s.rd->system.groundPlaneCode = station % 2 == 0 ? 'G' : 'F';
            s.rd->arrays[1].pattern.patternType = 'I';  // the per-lane table path
            const std::vector<ObservationPoint>& pool = s.points;
            for (size_t target = 0; target < pool.size(); target += 5) {
                const FieldRecord alone = kernelRecords(*s.rd, {pool[target]})[0];
                for (const size_t block : {5u, 7u, 16u}) {
                    for (size_t offset = 0; offset < block; ++offset) {
                        // Neighbours from elsewhere in the pool, the point at offset.
                        std::vector<ObservationPoint> p(block);
                        for (size_t k = 0; k < block; ++k) p[k] = pool[(target + 3 * k + 1) % pool.size()];
                        p[offset] = pool[target];
                        const std::vector<FieldRecord> r = kernelRecords(*s.rd, p);
                        EXPECT_TRUE(sameBits(r[offset], alone))
                            << "station " << station << " point " << target << " block " << block
                            << " offset " << offset;
                    }
                }
            }
        }
    });
}

}  // namespace
}  // namespace ils
