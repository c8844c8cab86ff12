// Compares one run's outputs written by two builds (Linux and Windows):
//
//   compare_outputs DIR_A DIR_B RUN_NAME [TEXT_FILE...]
//
// DIR_A and DIR_B are the two scratch directories. RUN_NAME.out and every
// TEXT_FILE (ILSPOST.LOG, the .PTS report) must hold the same lines whatever
// their line ends. In RUN_NAME.fld the header integer and the layout must
// agree, and every double must lie within 1e-10 of the magnitude of its value
// (a complex value's magnitude for its real and imaginary parts, the point's
// distance from the origin for its coordinates). Prints what it found, the
// largest relative difference, and exits 0 when everything agrees.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr double kTolerance = 1e-10;
constexpr size_t kHeaderBytes = 20;
constexpr size_t kBlockBytes = 504;  // 3 coordinates and 2 records of 15 complex values

bool readBytes(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
        start = end + 1;
    }
    return out;
}

double doubleAt(const std::string& b, size_t offset) {
    double v = 0.0;
    std::memcpy(&v, b.data() + offset, sizeof v);  // the file and both hosts are little-endian
    return v;
}

bool compareText(const std::string& a, const std::string& b, const std::string& name) {
    std::string ta, tb;
    if (!readBytes(a, ta) || !readBytes(b, tb)) {
        std::printf("FAIL %s: missing (%s or %s)\n", name.c_str(), a.c_str(), b.c_str());
        return false;
    }
    const std::vector<std::string> la = lines(ta), lb = lines(tb);
    for (size_t i = 0; i < std::max(la.size(), lb.size()); ++i) {
        if (i >= la.size() || i >= lb.size() || la[i] != lb[i]) {
            std::printf("FAIL %s: line %zu differs\n  A: %s\n  B: %s\n", name.c_str(), i + 1,
                        i < la.size() ? la[i].c_str() : "(none)", i < lb.size() ? lb[i].c_str() : "(none)");
            return false;
        }
    }
    std::printf("ok   %s: %zu lines the same%s\n", name.c_str(), la.size(),
                ta == tb ? ", bytes identical" : " (line ends differ)");
    return true;
}

bool compareFieldFile(const std::string& a, const std::string& b, const std::string& name) {
    std::string fa, fb;
    if (!readBytes(a, fa) || !readBytes(b, fb)) {
        std::printf("FAIL %s: missing\n", name.c_str());
        return false;
    }
    if (fa.size() != fb.size() || fa.size() < kHeaderBytes || (fa.size() - kHeaderBytes) % kBlockBytes != 0) {
        std::printf("FAIL %s: sizes %zu and %zu\n", name.c_str(), fa.size(), fb.size());
        return false;
    }
    if (fa.compare(0, 4, fb, 0, 4) != 0) {
        std::printf("FAIL %s: point counts differ\n", name.c_str());
        return false;
    }
    double worst = 0.0;
    size_t differing = 0, beyond = 0;
    auto check = [&](size_t offset, double magnitude) {
        const double x = doubleAt(fa, offset), y = doubleAt(fb, offset);
        if (std::memcmp(fa.data() + offset, fb.data() + offset, 8) == 0) return;
        ++differing;
        const double diff = std::fabs(x - y);
        const double rel = magnitude > 0.0 ? diff / magnitude : (diff > 0.0 ? INFINITY : 0.0);
        worst = std::max(worst, rel);
        if (!(rel <= kTolerance)) {
            if (beyond++ < 5) {
                std::printf("     %s byte %zu: %.17g against %.17g (relative %.3g)\n", name.c_str(), offset, x,
                            y, rel);
            }
        }
    };
    for (size_t offset : {size_t{4}, size_t{12}}) check(offset, std::fabs(doubleAt(fa, offset)));
    for (size_t block = kHeaderBytes; block < fa.size(); block += kBlockBytes) {
        const double px = doubleAt(fa, block), py = doubleAt(fa, block + 8), pz = doubleAt(fa, block + 16);
        const double r = std::sqrt(px * px + py * py + pz * pz);
        for (size_t k = 0; k < 3; ++k) check(block + 8 * k, r);
        for (size_t c = block + 24; c < block + kBlockBytes; c += 16) {
            const double re = doubleAt(fa, c), im = doubleAt(fa, c + 8);
            const double magnitude = std::hypot(re, im);
            check(c, magnitude);
            check(c + 8, magnitude);
        }
    }
    const size_t doubles = (fa.size() - 4) / 8;
    if (beyond > 0) {
        std::printf("FAIL %s: %zu of %zu doubles beyond %.0e of their value's magnitude (worst %.3g)\n",
                    name.c_str(), beyond, doubles, kTolerance, worst);
        return false;
    }
    std::printf("ok   %s: %zu doubles, %zu differ, largest relative difference %.3g%s\n", name.c_str(), doubles,
                differing, worst, fa == fb ? ", bytes identical" : "");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: compare_outputs DIR_A DIR_B RUN_NAME [TEXT_FILE...]\n");
        return 2;
    }
    std::string dirA = argv[1], dirB = argv[2];
    if (dirA.back() != '/') dirA += '/';
    if (dirB.back() != '/') dirB += '/';
    const std::string run = argv[3];
    bool ok = compareText(dirA + run + ".out", dirB + run + ".out", run + ".out");
    ok = compareFieldFile(dirA + run + ".fld", dirB + run + ".fld", run + ".fld") && ok;
    for (int i = 4; i < argc; ++i) ok = compareText(dirA + argv[i], dirB + argv[i], argv[i]) && ok;
    return ok ? 0 : 1;
}
