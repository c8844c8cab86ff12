// A whole command file through the calculation, in-process and synchronously.
// The library takes every input as it comes; only this harness skips inputs
// whose work would be too long for one fuzz execution (many points, large
// plates and wires in wavelengths, many elements or scatterers) and those
// that name other files (the profile and motion files have targets of their
// own).
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

constexpr double kMaxPoints = 64;
// (patch or segment) x source x point products one input may cost; patches
// are at least a tenth of a wavelength, segments a twentieth.
constexpr double kMaxWork = 3e5;
constexpr int kMaxScatterers = 4;
constexpr int kMaxElements = 16;
constexpr double kFeetPerSecond = 983571056.4304461;

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        line.push_back(c);
        if (c == '\n' || line.size() == 1023) {
            lines.push_back(line);
            line.clear();
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string firstWord(const std::string& line) {
    std::istringstream in(line);
    std::string w;
    in >> w;
    return w;
}

std::vector<double> numbers(const std::string& line) {
    std::vector<double> v;
    std::istringstream in(line);
    std::string w;
    while (in >> w) {
        char* end = nullptr;
        const double x = std::strtod(w.c_str(), &end);
        if (end == w.c_str()) break;
        v.push_back(x);
    }
    return v;
}

char upperFirst(const std::string& line) {
    const std::string w = firstWord(line);
    return w.empty() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(w[0])));
}

std::string word(const std::string& line, int k) {
    std::istringstream in(line);
    std::string w;
    for (int i = 0; i <= k; ++i)
        if (!(in >> w)) return "";
    return w;
}

double unitsFactor(char code, double carrier) {
    switch (code) {
        case 'I': return 1.0 / 12.0;
        case 'M': return 3.280839895013123;
        case 'W': return carrier;
        default: return 1.0;
    }
}

// True when the harness runs this input: an estimate of its work from the
// lines as written, generous where it cannot be sure.
bool affordable(const std::vector<std::string>& lines) {
    double shortest = 0.0;  // shortest wavelength, feet
    double carrier = 0.0;
    int scatterers = 0;
    double points = 1.0;
    double sources[2] = {0.0, 0.0};
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string w = firstWord(lines[i]);
        const auto at = [&](size_t k) { return i + k < lines.size() ? lines[i + k] : std::string(); };
        if (w == "SY") {
            const std::vector<double> f = numbers(at(2));
            if (f.empty()) continue;
            const double F = std::fabs(f[0]) * 1e6;
            const double d = f.size() > 1 ? std::fabs(f[1]) * 500.0 : 0.0;
            shortest = kFeetPerSecond / (F + d);
            carrier = kFeetPerSecond / F;
            // A wavelength that is not a positive finite length must be
            // refused by SY; the scatterers then cost nothing.
            if (!(shortest > 0.0 && std::isfinite(shortest) && std::isfinite(carrier)))
                shortest = 0.0;
        } else if (w == "CO" || w == "CL") {
            const std::vector<double> n = numbers(at(1));
            if (!n.empty() && n[0] > kMaxElements) return false;
            if (!n.empty()) sources[w == "CL"] = std::max(0.0, n[0]);
        } else if (w == "FP") {
            const char pattern = upperFirst(at(1));
            const std::vector<double> v = numbers(at(3));
            double count = 1.0;
            if (pattern == 'U') return false;
            if (v.size() < 3) continue;
            if (pattern == 'B') {
                const double kDeg = 0.017453292519944444;
                const double zl = v.size() > 4 ? v[4] : 0.0;
                count = std::fabs(zl / std::tan(v[1] * kDeg) - zl / std::tan(v[0] * kDeg)) /
                            std::fabs(v[2]) + 1.5;
            } else {
                count = std::fabs(v[1] - v[0]) / std::fabs(v[2]) + 1.5;
            }
            if (v[1] == v[0]) count = 1.0;
            if (!(count <= kMaxPoints)) return false;
            points = count;
        } else if (w == "SG") {
            const std::vector<double> flag = numbers(lines[i].substr(std::min<size_t>(3, lines[i].size())));
            if (!flag.empty() && flag[0] != 0.0) return false;
        } else if (w == "SP" || w == "SW") {
            if (++scatterers > kMaxScatterers) return false;
            if (shortest <= 0.0) continue;  // refused before any work
            const double u = std::fabs(unitsFactor(upperFirst(at(1)), carrier));
            const std::vector<double> g = numbers(at(2));
            if (g.size() < 7) continue;
            const double tenth = 0.1 * shortest;
            const double width = std::hypot(g[2] - g[0], g[3] - g[1]) * u;
            const double perPiece = points * (sources[0] + sources[1] + 1.0);
            double pieces = 0.0;
            if (w == "SP") {
                pieces = (width / tenth + 1.0) * (std::fabs(g[5]) * u / tenth + 1.0);
            } else {
                pieces = std::hypot(width, (g[5] - g[4]) * u) / (0.5 * tenth) + 1.0;
            }
            if (!(pieces * perPiece <= kMaxWork)) return false;
        }
        if (word(lines[i], 0) == "EN") break;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!affordable(splitLines(text))) return 0;
    ils::fuzz::runAndCheck(text);
    return 0;
}
