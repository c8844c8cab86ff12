#include "study_results.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <sstream>

#include "plot.h"
#include "study_runner.h"

namespace fs = std::filesystem;

namespace ilshost::study {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDegree = 0.017453292519944444;

std::string num(double v, int decimals) {
    if (!std::isfinite(v)) return "NaN";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// Edge keys: horizontal edge (ix, iy)-(ix+1, iy) and vertical (ix, iy)-(ix, iy+1).
long long edgeKey(size_t ix, size_t iy, bool vertical) {
    return (static_cast<long long>(ix) * 1000003LL + static_cast<long long>(iy)) * 2 + (vertical ? 1 : 0);
}

// Antenna markers: the study's list, else the reference points of the base's
// course and clearance arrays (line 2 of CO and CL, feet).
std::vector<std::pair<double, double>> antennaMarkers(const Study& study) {
    if (!study.antennas.empty()) return study.antennas;
    std::vector<std::pair<double, double>> out;
    std::string text;
    if (!readWholeFile(study.project + study.run + ".dat", text)) return out;
    std::istringstream in(text);
    std::vector<std::string> ls;
    std::string l;
    while (std::getline(in, l)) ls.push_back(l);
    for (size_t i = 0; i + 2 < ls.size(); ++i) {
        if (ls[i].rfind("CO", 0) != 0 && ls[i].rfind("CL", 0) != 0) continue;
        if (ls[i].size() > 2 && ls[i][2] != ' ' && ls[i][2] != '\r' && ls[i][2] != '\t') continue;
        double x = 0.0, y = 0.0;
        if (std::sscanf(ls[i + 2].c_str(), "%lf %lf", &x, &y) == 2) {
            const std::pair<double, double> p{x * 0.3048, y * 0.3048};
            if (std::find(out.begin(), out.end(), p) == out.end()) out.push_back(p);
        }
    }
    return out;
}

std::string headingLabel(double h) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", h);
    std::string s = buf;
    for (char& c : s) if (c == '.' || c == '-') c = c == '.' ? 'p' : 'm';
    return s;
}

}  // namespace

std::vector<Polyline> contourLines(const Grid& g, double level) {
    const size_t nx = g.xs.size();
    const size_t ny = g.ys.size();
    struct Point { double x, y; };
    std::map<long long, Point> points;
    std::vector<std::pair<long long, long long>> segments;
    if (nx < 2 || ny < 2) return {};
    auto cross = [&](size_t ax, size_t ay, size_t bx, size_t by, bool vertical) {
        const double va = g.at(ax, ay);
        const double vb = g.at(bx, by);
        const double t = (level - va) / (vb - va);
        const long long key = edgeKey(ax, ay, vertical);
        points[key] = Point{g.xs[ax] + (g.xs[bx] - g.xs[ax]) * t, g.ys[ay] + (g.ys[by] - g.ys[ay]) * t};
        return key;
    };
    for (size_t ix = 0; ix + 1 < nx; ++ix) {
        for (size_t iy = 0; iy + 1 < ny; ++iy) {
            const double a = g.at(ix, iy), b = g.at(ix + 1, iy), c = g.at(ix + 1, iy + 1), d = g.at(ix, iy + 1);
            if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c) || !std::isfinite(d)) continue;
            const bool ia = a >= level, ib = b >= level, ic = c >= level, id = d >= level;
            // Edges: 0 bottom a-b, 1 right b-c, 2 top d-c, 3 left a-d.
            long long key[4] = {0, 0, 0, 0};
            bool has[4] = {ia != ib, ib != ic, id != ic, ia != id};
            if (has[0]) key[0] = cross(ix, iy, ix + 1, iy, false);
            if (has[1]) key[1] = cross(ix + 1, iy, ix + 1, iy + 1, true);
            if (has[2]) key[2] = cross(ix, iy + 1, ix + 1, iy + 1, false);
            if (has[3]) key[3] = cross(ix, iy, ix, iy + 1, true);
            const int n = has[0] + has[1] + has[2] + has[3];
            if (n == 2) {
                long long e[2];
                int k = 0;
                for (int s = 0; s < 4; ++s) {
                    if (has[s]) e[k++] = key[s];
                }
                segments.emplace_back(e[0], e[1]);
            } else if (n == 4) {
                // Saddle: the centre's mean decides which corners join.
                const bool centre = (a + b + c + d) / 4.0 >= level;
                if (centre == ia) {  // a and c joined through the centre: cut off b and d
                    segments.emplace_back(key[0], key[1]);
                    segments.emplace_back(key[2], key[3]);
                } else {  // cut off a and c
                    segments.emplace_back(key[3], key[0]);
                    segments.emplace_back(key[1], key[2]);
                }
            }
        }
    }
    std::map<long long, std::vector<size_t>> ends;
    for (size_t s = 0; s < segments.size(); ++s) {
        ends[segments[s].first].push_back(s);
        ends[segments[s].second].push_back(s);
    }
    std::vector<bool> used(segments.size(), false);
    std::vector<Polyline> out;
    auto walk = [&](long long start) {
        Polyline line;
        long long at = start;
        line.emplace_back(points[at].x, points[at].y);
        for (;;) {
            size_t next = segments.size();
            for (size_t s : ends[at]) {
                if (!used[s]) {
                    next = s;
                    break;
                }
            }
            if (next == segments.size()) break;
            used[next] = true;
            at = segments[next].first == at ? segments[next].second : segments[next].first;
            line.emplace_back(points[at].x, points[at].y);
        }
        out.push_back(line);
    };
    // Open lines (ending on the grid's edge) first, then the closed rings.
    for (const auto& [key, list] : ends) {
        if (list.size() == 1 && !used[list[0]]) walk(key);
    }
    for (size_t s = 0; s < segments.size(); ++s) {
        if (!used[s]) walk(segments[s].first);
    }
    return out;
}

RunwayFrame runwayFrame(const Study& study, const RunValues& base) {
    RunwayFrame f;
    f.tx = study.thresholdX;
    f.ty = study.thresholdY;
    double ux = 0.0, uy = 0.0;
    if (study.hasStopEnd) {
        ux = study.stopX - study.thresholdX;
        uy = study.stopY - study.thresholdY;
    } else if (base.positions.size() >= 2) {
        ux = base.positions.back().x - base.positions.front().x;
        uy = base.positions.back().y - base.positions.front().y;
    }
    const double len = std::hypot(ux, uy);
    if (len > 0.0) {
        f.ux = ux / len;
        f.uy = uy / len;
    }
    return f;
}

std::pair<double, double> geographic(const Study& study, double x, double y) {
    // Along the runway (threshold to stop end) and to its left, then north
    // and east by the runway's true bearing; a local tangent plane.
    RunwayFrame f;
    f.tx = study.thresholdX;
    f.ty = study.thresholdY;
    const double len = std::hypot(study.stopX - study.thresholdX, study.stopY - study.thresholdY);
    f.ux = (study.stopX - study.thresholdX) / len;
    f.uy = (study.stopY - study.thresholdY) / len;
    const double a = f.along(x, y);
    const double l = f.lateral(x, y);
    const double b = study.bearing * kDegree;
    const double north = a * std::cos(b) + l * std::cos(b - 90.0 * kDegree);
    const double east = a * std::sin(b) + l * std::sin(b - 90.0 * kDegree);
    const double radius = 6371008.8;
    const double lat = study.latitude + north / radius / kDegree;
    const double lon = study.longitude + east / (radius * std::cos(study.latitude * kDegree)) / kDegree;
    return {lat, lon};
}

bool gatherResults(const Study& study, bool quiet) {
    const std::string fingerprint = studyFingerprint(study);
    RunValues base;
    if (!loadBase(study, fingerprint, base)) {
        std::printf("The base run has no valid result in %s; run the study first.\n", baseFolder(study).c_str());
        return false;
    }
    std::vector<double> along;
    const std::vector<ToleranceSegment> segments = studySegments(study, base, along);
    const std::vector<Task> tasks = taskList(study);
    std::vector<TaskResult> results(tasks.size());
    std::string csv = resultHeader(segments) + "\n";
    std::vector<int> missing;
    for (const Task& t : tasks) {
        std::string row;
        if (!storedResult(study, fingerprint, t.id, row) ||
            !parseResultRow(row, segments, results[static_cast<size_t>(t.id)])) {
            missing.push_back(t.id);
            continue;
        }
        csv += row + "\n";
    }
    if (!missing.empty()) {
        std::printf("%zu of %zu tasks have no valid result yet:", missing.size(), tasks.size());
        for (size_t k = 0; k < missing.size() && k < 20; ++k) std::printf(" %d", missing[k]);
        std::printf("%s\n", missing.size() > 20 ? " ..." : "");
        return false;
    }
    const std::string dir = study.folder;
    bool ok = writeWholeFile(dir + "results.csv", csv);

    // Grids of the worst ratio per heading and their maximum.
    const size_t nx = study.xs.size(), ny = study.ys.size(), nh = study.headings.size();
    std::vector<Grid> grids(nh + 1);
    for (Grid& g : grids) {
        g.xs = study.xs;
        g.ys = study.ys;
        g.v.assign(nx * ny, kNaN);
    }
    Grid& maxGrid = grids[nh];
    int failed = 0, exceeded = 0;
    for (const TaskResult& r : results) {
        const size_t ih = static_cast<size_t>(r.task.id) % nh;
        const size_t cell = static_cast<size_t>(r.task.id) / nh;
        if (r.failed) {
            ++failed;
            continue;
        }
        const double ratio = r.evaluation.segments[static_cast<size_t>(r.evaluation.worst)].ratio;
        if (!r.evaluation.pass) ++exceeded;
        grids[ih].v[cell] = ratio;
        if (!(maxGrid.v[cell] >= ratio)) maxGrid.v[cell] = ratio;
    }
    // The maximum over headings is unknown where a heading failed.
    for (const TaskResult& r : results) {
        if (r.failed) maxGrid.v[static_cast<size_t>(r.task.id) / nh] = kNaN;
    }

    // Map data, boundary polygons and the summary.
    std::string data;
    std::string boundary = "map,line,x_m,y_m\n";
    std::string geo = "{\"type\":\"FeatureCollection\",\"features\":[";
    bool firstFeature = true;
    const RunwayFrame frame = runwayFrame(study, base);
    std::string summary;
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "Study %s: %zu placements (%zu x, %zu y, %zu headings), Category %s\n"
                  "  %d placements exceed the allowance, %d failed to run.\n",
                  study.file.c_str(), tasks.size(), nx, ny, nh,
                  study.category == 1 ? "I" : study.category == 2 ? "II" : "III", exceeded, failed);
    summary += buf;
    std::vector<std::string> mapNames;
    for (size_t m = 0; m <= nh; ++m) mapNames.push_back(m < nh ? "heading " + num(study.headings[m], 1) : "all headings");
    std::vector<std::vector<Polyline>> lines(nh + 1);
    for (size_t m = 0; m <= nh; ++m) {
        const Grid& g = grids[m];
        data += "# " + mapNames[m] + "\n";
        for (size_t ix = 0; ix < nx; ++ix) {
            for (size_t iy = 0; iy < ny; ++iy) {
                data += num(g.xs[ix], 3) + " " + num(g.ys[iy], 3) + " " + num(g.at(ix, iy), 4) + "\n";
            }
            data += "\n";
        }
        data += "\n";
        lines[m] = contourLines(g, 1.0);
        // Extent: the placements over the allowance and the boundary's points.
        double aMin = INFINITY, aMax = -INFINITY, lMin = INFINITY, lMax = -INFINITY;
        auto widen = [&](double x, double y) {
            aMin = std::min(aMin, frame.along(x, y));
            aMax = std::max(aMax, frame.along(x, y));
            lMin = std::min(lMin, frame.lateral(x, y));
            lMax = std::max(lMax, frame.lateral(x, y));
        };
        bool onEdge = false;
        for (size_t ix = 0; ix < nx; ++ix) {
            for (size_t iy = 0; iy < ny; ++iy) {
                if (g.at(ix, iy) >= 1.0) {
                    widen(g.xs[ix], g.ys[iy]);
                    if (ix == 0 || iy == 0 || ix + 1 == nx || iy + 1 == ny) onEdge = true;
                }
            }
        }
        for (size_t k = 0; k < lines[m].size(); ++k) {
            const Polyline& pl = lines[m][k];
            for (const auto& [x, y] : pl) {
                widen(x, y);
                boundary += std::to_string(m < nh ? static_cast<long>(m) : -1L) + "," + std::to_string(k + 1) +
                            "," + num(x, 2) + "," + num(y, 2) + "\n";
            }
            if (study.hasGeo) {
                const bool closed = pl.size() > 3 && pl.front() == pl.back();
                geo += firstFeature ? "" : ",";
                firstFeature = false;
                geo += "\n{\"type\":\"Feature\",\"properties\":{\"map\":\"" + mapNames[m] + "\",\"line\":" +
                       std::to_string(k + 1) + "},\"geometry\":{\"type\":\"" + (closed ? "Polygon" : "LineString") +
                       "\",\"coordinates\":" + (closed ? "[[" : "[");
                for (size_t p = 0; p < pl.size(); ++p) {
                    const auto [lat, lon] = geographic(study, pl[p].first, pl[p].second);
                    char c[96];
                    std::snprintf(c, sizeof c, "%s[%.7f,%.7f]", p ? "," : "", lon, lat);
                    geo += c;
                }
                geo += closed ? "]]}}" : "]}}";
            }
        }
        if (std::isfinite(aMin)) {
            std::snprintf(buf, sizeof buf,
                          "  %-14s area from %.0f m to %.0f m along the runway (from the threshold towards the "
                          "stop end), %.0f m to %.0f m across (left of the landing direction positive)%s\n",
                          (mapNames[m] + ":").c_str(), aMin, aMax, lMin, lMax,
                          onEdge ? "; it reaches the grid's edge, so it may extend beyond the grid" : "");
        } else {
            std::snprintf(buf, sizeof buf, "  %-14s no placement exceeds the allowance\n", (mapNames[m] + ":").c_str());
        }
        summary += buf;
    }
    geo += "\n]}\n";
    ok = writeWholeFile(dir + "map.dat", data) && ok;
    ok = writeWholeFile(dir + "boundary.csv", boundary) && ok;
    if (study.hasGeo) ok = writeWholeFile(dir + "boundary.geojson", geo) && ok;
    ok = writeWholeFile(dir + "summary.txt", summary) && ok;

    // Contour lines for the plots, one data block per map.
    std::string contour;
    for (size_t m = 0; m <= nh; ++m) {
        contour += "# " + mapNames[m] + "\n";
        for (const Polyline& pl : lines[m]) {
            for (const auto& [x, y] : pl) contour += num(x, 2) + " " + num(y, 2) + "\n";
            contour += "\n";
        }
        contour += "NaN NaN\n\n\n";
    }
    ok = writeWholeFile(dir + "boundary.dat", contour) && ok;
    std::string marks;
    for (const auto& [x, y] : antennaMarkers(study)) marks += num(x, 2) + " " + num(y, 2) + "\n";
    if (marks.empty()) marks = "NaN NaN\n";
    ok = writeWholeFile(dir + "antennas.dat", marks) && ok;

    std::string gp = "# Heat maps of the worst disturbance ratio; run with gnuplot from this folder.\n"
                     "set view map\nset size ratio -1\nset xlabel 'x (m)'\nset ylabel 'y (m)'\n"
                     "set cblabel 'worst disturbance / allowance'\nset cbrange [0:2]\n"
                     "set palette defined (0 '#1a9850', 0.5 '#d9ef8b', 1 '#fee08b', 1.5 '#f46d43', 2 '#a50026')\n"
                     "set key outside bottom center horizontal\n";
    const double xstep = nx > 1 ? study.xs[1] - study.xs[0] : 10.0;
    const double ystep = ny > 1 ? study.ys[1] - study.ys[0] : 10.0;
    char range[256];
    std::snprintf(range, sizeof range, "set xrange [%g:%g]\nset yrange [%g:%g]\n", study.xs.front() - xstep / 2,
                  study.xs.back() + xstep / 2, study.ys.front() - ystep / 2, study.ys.back() + ystep / 2);
    gp += range;
    std::string runway;
    if (study.hasStopEnd) {
        ok = writeWholeFile(dir + "runway.dat", num(study.thresholdX, 2) + " " + num(study.thresholdY, 2) + "\n" +
                                                    num(study.stopX, 2) + " " + num(study.stopY, 2) + "\n") && ok;
        runway = ", 'runway.dat' using 1:2 with lines lw 6 lc rgb '#404040' title 'runway'";
    }
    // The picture keeps the grid's aspect, with room for the key and scale.
    const double spanX = study.xs.back() - study.xs.front() + xstep;
    const double spanY = study.ys.back() - study.ys.front() + ystep;
    const int height = static_cast<int>(std::clamp(1000.0 * spanY / spanX + 260.0, 450.0, 1100.0));
    const std::string size = "1200," + std::to_string(height);
    std::vector<std::string> images;
    for (size_t m = 0; m <= nh; ++m) {
        const std::string name = m < nh ? "map_heading_" + headingLabel(study.headings[m]) : "map_max";
        for (const char* kind : {"png", "svg"}) {
            const std::string file = name + "." + kind;
            images.push_back(dir + file);
            gp += std::string("set terminal ") + (kind[0] == 'p' ? "pngcairo size " : "svg size ") + size +
                  "\nset output '" + file + "'\n";
            gp += "set title '" + std::string("Worst disturbance / allowance, ") + mapNames[m] +
                  " (boundary: ratio 1)'\n";
            // An image needs two rows and two columns; a thinner grid shows its points.
            const std::string cells = nx > 1 && ny > 1 ? "with image" : "with points pt 5 ps 4 palette";
            gp += "plot 'map.dat' index " + std::to_string(m) + " using 1:2:3 " + cells + " notitle, " +
                  "'boundary.dat' index " + std::to_string(m) + " using 1:2 with lines lw 3 lc rgb 'black' " +
                  "title 'area boundary', 'antennas.dat' using 1:2 with points pt 7 ps 2 lc rgb 'blue' " +
                  "title 'antenna'" + runway + "\n";
        }
    }
    gp += "unset output\n";
    ok = writeWholeFile(dir + "map.gp", gp) && ok;
    if (!ok) {
        std::printf("Cannot write the results into %s\n", dir.c_str());
        return false;
    }
    bool drawn = false;
    const std::string gnuplot = findOnPath("gnuplot");
    std::string error;
    if (gnuplot.empty()) {
        std::printf("%sThe map script is ready: cd %s && gnuplot map.gp\n", gnuplotInstallHint().c_str(), dir.c_str());
    } else {
        std::error_code ec;
        const fs::path here = fs::current_path(ec);
        fs::current_path(dir, ec);
        drawn = runGnuplot(gnuplot, dir + "map.gp", error);
        fs::current_path(here, ec);
        if (!drawn) std::printf("Maps: %s\n", error.c_str());
    }
    if (!quiet) {
        std::printf("%s", summary.c_str());
        std::printf("Results:     %sresults.csv\n", dir.c_str());
        std::printf("Boundary:    %sboundary.csv%s\n", dir.c_str(), study.hasGeo ? " and boundary.geojson" : "");
        std::printf("Summary:     %ssummary.txt\n", dir.c_str());
        if (drawn) std::printf("Maps:        %smap_max.png (and per heading, PNG and SVG)\n", dir.c_str());
    }
    return drawn || gnuplot.empty();
}

}  // namespace ilshost::study
