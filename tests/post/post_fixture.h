// Helpers for the post-processing tests: synthetic FieldFiles with chosen
// slot values, parameter files, and a working directory per test.
#pragma once

#include <gtest/gtest.h>

#include <complex>
#include <cstdint>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ilscalc/ilscalc.h"
#include "platform/platform.h"
#include "support/test_support.h"

namespace ils::test {

// One ObservationPoint of a FieldFile: position and two FieldRecords of 30
// doubles each (15 FieldSlots, real then imaginary).
struct FieldPoint {
    double pos[3] = {0.0, 0.0, 0.0};
    double scattered[30] = {};
    double incident[30] = {};

    FieldPoint() = default;
    FieldPoint(double x, double y, double z) : pos{x, y, z} {}
    FieldPoint& inc(int slot, std::complex<double> v) {
        incident[2 * slot] = v.real();
        incident[2 * slot + 1] = v.imag();
        return *this;
    }
    FieldPoint& sca(int slot, std::complex<double> v) {
        scattered[2 * slot] = v.real();
        scattered[2 * slot + 1] = v.imag();
        return *this;
    }
    // Course array with carrier csb and sideband field sbo (incident record):
    // slot 0 = CSB, slot 2 = CSB - SBO, slot 3 = CSB + SBO.
    FieldPoint& course(std::complex<double> csb, std::complex<double> sbo) {
        return inc(0, csb).inc(2, csb - sbo).inc(3, csb + sbo);
    }
    FieldPoint& clearance(std::complex<double> csb, std::complex<double> sbo) {
        return inc(1, csb).inc(4, csb - sbo).inc(5, csb + sbo);
    }
};

inline void appendBytes(std::string& out, const void* p, size_t n) {
    out.append(static_cast<const char*>(p), n);
}

// FieldFile bytes; the header count is the number of points unless given.
inline std::string fieldFileBytes(const std::vector<FieldPoint>& points, double sampleTime = 0.5,
                                  double timeConstant = 0.25,
                                  std::optional<int32_t> count = std::nullopt) {
    std::string out;
    const int32_t n = count.value_or(static_cast<int32_t>(points.size()));
    appendBytes(out, &n, 4);
    appendBytes(out, &sampleTime, 8);
    appendBytes(out, &timeConstant, 8);
    for (const FieldPoint& p : points) {
        appendBytes(out, p.pos, sizeof p.pos);
        appendBytes(out, p.scattered, sizeof p.scattered);
        appendBytes(out, p.incident, sizeof p.incident);
    }
    return out;
}

// Block of an inactive Trace.
inline const char* const kInactiveBlock = "0 0 0 0 0 0 0\n0 0 0 0\n0 0 0 0 0 0 0\n";
// Neutral array lines: width 1, balance 0, phase 0, SBO amplitude 1; the
// clearance line also has ratio 1, capture angle 0 and scale 1.
inline const char* const kCourseLine = "1.0 0.0 0.0 1.0\n";
inline const char* const kClearanceLine = "1.0 0.0 0.0 1.0 0.0 1.0 1.0\n";

// A working directory per test: the post directory, and the process's
// current directory while the test runs (the debug tables go there).
class PostTest : public ::testing::Test {
protected:
    std::string dir;
    std::string oldCwd;

    void SetUp() override {
        oldCwd = platform::currentDirectory();
        ASSERT_FALSE(oldCwd.empty());
        dir = makeTempDir("post");
        ASSERT_TRUE(platform::changeDirectory(dir.c_str()));
    }
    void TearDown() override { ASSERT_TRUE(platform::changeDirectory(oldCwd.c_str())); }

    // Parameter file lines 1 to 6: report into this directory.
    std::string header(int ilsType = 0, const std::string& fp1 = "0 0 0",
                       const std::string& fp2 = "0 0 0", const std::string& data = "run",
                       const std::string& name = "rep") const {
        return dir + "\n" + data + "\n" + name + "\n" + std::to_string(ilsType) + "\n" + fp1 +
               "\n" + fp2 + "\n";
    }
    void writeParams(const std::string& text) const { writeFile(dir + "ILSPOST.TMP", text); }
    void writeField(const std::vector<FieldPoint>& points, double t = 0.5, double tau = 0.25,
                    const std::string& data = "run") const {
        writeFile(dir + data + ".fld", fieldFileBytes(points, t, tau));
    }
    int32_t post() const { return ILSPost(dir.c_str()); }
    std::string log() const { return readText(dir + "ILSPOST.LOG"); }
    std::string report(const std::string& name = "rep") const {
        return readText(dir + name + ".PTS");
    }
    std::string v1() const { return readText(dir + "v1.txt"); }

    // The data rows of the report, as numbers per row.
    std::vector<std::vector<double>> rows(const std::string& name = "rep") const {
        std::vector<std::vector<double>> out;
        const std::string text = report(name);
        // Data rows follow the unit line, whose last label ends in ')'.
        const size_t start = text.find(")\n\n");
        if (start == std::string::npos) return out;
        std::istringstream in(text.substr(start + 3));
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream ls(line);
            std::vector<double> row;
            double v;
            while (ls >> v) row.push_back(v);
            out.push_back(row);
        }
        return out;
    }
};

// Debug-table header line of v1.txt.
inline const char* const kV1Header =
    "counter\tj\tcc\t\tvcd[j]\t\tv1\t\tcp\t\tvd[CRS][j]\tcm\t\tvd[CLR][j]\tv2\t\tcp\t\tpc[j]\t\t"
    "cm\t\tvmc[j]\t\tv3\t\tv[j]\t\tcomp_carrier\n";

}  // namespace ils::test
