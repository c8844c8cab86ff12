#include "study_file.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "study_objects.h"

#if __has_include(<toml++/toml.h>)
#define ILSCALC_STUDY_TOML 1
#include <toml++/toml.h>
#else
#define ILSCALC_STUDY_TOML 0
#endif

namespace fs = std::filesystem;

namespace ilshost::study {

const std::vector<std::string>& segmentNames() {
    static const std::vector<std::string> names = {
        "coverage limit to A", "A to B", "B to C", "B to reference datum",
        "reference datum to D", "D to E", "coverage limit to C"};
    return names;
}

std::vector<double> rangeValues(double from, double to, double step) {
    std::vector<double> out;
    if (!(step > 0.0) || !(to >= from)) return out;
    const long n = static_cast<long>(std::floor((to - from) / step + 1e-3));
    for (long i = 0; i <= n; ++i) out.push_back(from + static_cast<double>(i) * step);
    return out;
}

namespace {

std::string folderOf(const fs::path& p) {
    std::string s = p.lexically_normal().string();
    if (!s.empty() && s.back() != '/') s.push_back('/');
    return s;
}

}  // namespace

bool loadStudy(const std::string& path, Study& study, std::vector<std::string>& errors) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        errors.push_back(path + ": the study file cannot be read");
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    return parseStudy(text.str(), path, study, errors);
}

#if ILSCALC_STUDY_TOML

namespace {

class Reader {
public:
    Reader(const std::string& file, std::vector<std::string>& errors) : file_(file), errors_(errors) {}

    void error(const toml::node* node, const std::string& key, const std::string& what) {
        const long line = node != nullptr ? static_cast<long>(node->source().begin.line) : 0;
        error(line, key, what);
    }
    void error(long line, const std::string& key, const std::string& what) {
        std::string m = file_;
        if (line > 0) m += ":" + std::to_string(line);
        m += ": " + key + ": " + what;
        errors_.push_back(m);
    }

    // Flags every key of a table that is not one of the known ones.
    void onlyKeys(const toml::table& t, const std::string& prefix, std::set<std::string> known) {
        for (auto&& [k, v] : t) {
            const std::string name(k.str());
            if (known.count(name) == 0) {
                error(static_cast<long>(k.source().begin.line), prefix + name, "unknown key");
            }
        }
    }

    const toml::table* table(const toml::table& parent, const std::string& key, const std::string& full,
                             bool required, long lineIfMissing) {
        const toml::node* n = parent.get(key);
        if (n == nullptr) {
            if (required) error(lineIfMissing, full, "missing (a table is needed)");
            return nullptr;
        }
        if (!n->is_table()) {
            error(n, full, "must be a table");
            return nullptr;
        }
        return n->as_table();
    }

    bool number(const toml::table& t, const std::string& key, const std::string& full, double& out,
                bool required, long lineIfMissing) {
        const toml::node* n = t.get(key);
        if (n == nullptr) {
            if (required) error(lineIfMissing, full, "missing (a number is needed)");
            return false;
        }
        if (!n->is_number()) {
            error(n, full, "must be a number");
            return false;
        }
        out = n->value<double>().value_or(0.0);
        if (!std::isfinite(out)) {
            error(n, full, "must be a finite number");
            return false;
        }
        return true;
    }

    bool text(const toml::table& t, const std::string& key, const std::string& full, std::string& out,
              bool required, long lineIfMissing) {
        const toml::node* n = t.get(key);
        if (n == nullptr) {
            if (required) error(lineIfMissing, full, "missing (a text in quotes is needed)");
            return false;
        }
        if (!n->is_string()) {
            error(n, full, "must be a text in quotes");
            return false;
        }
        out = n->value<std::string>().value_or("");
        return true;
    }

    // A point [x, y] in metres.
    bool pair(const toml::node* n, const std::string& full, double& x, double& y) {
        const toml::array* a = n != nullptr ? n->as_array() : nullptr;
        if (a == nullptr || a->size() != 2 || !(*a)[0].is_number() || !(*a)[1].is_number()) {
            error(n, full, "must be a pair of numbers [x, y] in metres");
            return false;
        }
        x = (*a)[0].value<double>().value_or(0.0);
        y = (*a)[1].value<double>().value_or(0.0);
        return true;
    }

    // A material: a code 0 to 10 or the names steel and aluminium.
    bool material(const toml::table& t, const std::string& key, const std::string& full, int& out,
                  bool required, long lineIfMissing) {
        const toml::node* n = t.get(key);
        if (n == nullptr) {
            if (required) error(lineIfMissing, full, "missing (a material code 0 to 10, or \"steel\" or \"aluminium\")");
            return false;
        }
        if (n->is_integer()) {
            const int64_t v = n->value<int64_t>().value_or(-1);
            if (v < 0 || v > 10) {
                error(n, full, "a material code runs from 0 to 10");
                return false;
            }
            out = static_cast<int>(v);
            return true;
        }
        if (n->is_string()) {
            const std::string s = n->value<std::string>().value_or("");
            if (s == "steel") out = 0;
            else if (s == "aluminium" || s == "aluminum") out = 1;
            else {
                error(n, full, "unknown material \"" + s + "\" (a code 0 to 10, \"steel\" or \"aluminium\")");
                return false;
            }
            return true;
        }
        error(n, full, "must be a material code 0 to 10 or a name in quotes");
        return false;
    }

    // A range { from, to, step } or a list of values.
    bool values(const toml::table& t, const std::string& key, const std::string& full,
                std::vector<double>& out, long lineIfMissing, bool positiveStepOnly = true) {
        const toml::node* n = t.get(key);
        if (n == nullptr) {
            error(lineIfMissing, full, "missing (a range { from, to, step } or a list of values)");
            return false;
        }
        if (const toml::array* a = n->as_array()) {
            if (a->empty()) {
                error(n, full, "the list is empty");
                return false;
            }
            for (const toml::node& v : *a) {
                if (!v.is_number()) {
                    error(&v, full, "every value of the list must be a number");
                    return false;
                }
                out.push_back(v.value<double>().value_or(0.0));
            }
            std::set<double> seen(out.begin(), out.end());
            if (seen.size() != out.size()) {
                error(n, full, "the list holds a value twice");
                return false;
            }
            return true;
        }
        const toml::table* r = n->as_table();
        if (r == nullptr) {
            error(n, full, "must be a range { from, to, step } or a list of values");
            return false;
        }
        onlyKeys(*r, full + ".", {"from", "to", "step"});
        const long line = static_cast<long>(n->source().begin.line);
        double from = 0.0, to = 0.0, step = 0.0;
        bool ok = number(*r, "from", full + ".from", from, true, line);
        ok = number(*r, "to", full + ".to", to, true, line) && ok;
        ok = number(*r, "step", full + ".step", step, true, line) && ok;
        if (!ok) return false;
        if (positiveStepOnly && !(step > 0.0)) {
            error(r->get("step"), full + ".step", "must be greater than 0");
            return false;
        }
        if (to < from) {
            error(r->get("to"), full + ".to", "must not be below from");
            return false;
        }
        out = rangeValues(from, to, step);
        return true;
    }

private:
    std::string file_;
    std::vector<std::string>& errors_;
};

void readObject(Reader& r, const toml::table& o, long line, StudyObject& obj) {
    std::string type;
    r.onlyKeys(o, "object.", {"type", "aircraft", "width", "depth", "height", "material", "plate",
                              "both_sides", "speed"});
    if (!r.text(o, "type", "object.type", type, true, line)) return;
    if (const toml::node* n = o.get("both_sides")) {
        if (!n->is_boolean()) r.error(n, "object.both_sides", "must be true or false");
        else obj.bothSides = n->value<bool>().value_or(true);
    }
    if (r.number(o, "speed", "object.speed", obj.speed, false, line) && obj.speed < 0.0) {
        r.error(o.get("speed"), "object.speed", "must not be negative (the heading gives the direction)");
    }
    auto forbid = [&](std::initializer_list<const char*> keys, const char* why) {
        for (const char* k : keys) {
            if (const toml::node* n = o.get(k)) r.error(n, std::string("object.") + k, why);
        }
    };
    if (type == "aircraft") {
        obj.kind = ObjectKind::Aircraft;
        forbid({"width", "depth", "height", "material", "plate"}, "belongs to another object type");
        if (r.text(o, "aircraft", "object.aircraft", obj.aircraft, true, line) &&
            findAircraft(obj.aircraft) == nullptr) {
            std::string known;
            for (const AircraftType& t : aircraftTypes()) known += std::string(known.empty() ? "" : ", ") + t.name;
            r.error(o.get("aircraft"), "object.aircraft", "unknown aircraft type \"" + obj.aircraft +
                                                              "\" (known: " + known + ")");
        }
    } else if (type == "building") {
        obj.kind = ObjectKind::Building;
        forbid({"aircraft", "plate"}, "belongs to another object type");
        const char* dims[3] = {"width", "depth", "height"};
        double* into[3] = {&obj.width, &obj.depth, &obj.height};
        for (int k = 0; k < 3; ++k) {
            if (r.number(o, dims[k], std::string("object.") + dims[k], *into[k], true, line) && !(*into[k] > 0.0)) {
                r.error(o.get(dims[k]), std::string("object.") + dims[k], "must be greater than 0 (metres)");
            }
        }
        r.material(o, "material", "object.material", obj.material, true, line);
    } else if (type == "plates") {
        obj.kind = ObjectKind::Plates;
        forbid({"aircraft", "width", "depth", "height", "material"}, "belongs to another object type");
        const toml::node* n = o.get("plate");
        const toml::array* list = n != nullptr ? n->as_array() : nullptr;
        if (list == nullptr || list->empty()) {
            r.error(n != nullptr ? n : nullptr, "object.plate", "needs at least one [[object.plate]] table");
            if (n == nullptr) return;
            return;
        }
        for (size_t i = 0; i < list->size(); ++i) {
            const std::string full = "object.plate[" + std::to_string(i + 1) + "]";
            const toml::table* p = (*list)[i].as_table();
            if (p == nullptr) {
                r.error(&(*list)[i], full, "must be a table");
                continue;
            }
            const long pl = static_cast<long>(p->source().begin.line);
            r.onlyKeys(*p, full + ".", {"x1", "y1", "x2", "y2", "z", "height", "tilt", "material"});
            ObjectPlate plate;
            bool ok = r.number(*p, "x1", full + ".x1", plate.x1, true, pl);
            ok = r.number(*p, "y1", full + ".y1", plate.y1, true, pl) && ok;
            ok = r.number(*p, "x2", full + ".x2", plate.x2, true, pl) && ok;
            ok = r.number(*p, "y2", full + ".y2", plate.y2, true, pl) && ok;
            r.number(*p, "z", full + ".z", plate.z, false, pl);
            if (r.number(*p, "height", full + ".height", plate.height, true, pl) && !(plate.height > 0.0)) {
                r.error(p->get("height"), full + ".height", "must be greater than 0 (metres)");
            }
            r.number(*p, "tilt", full + ".tilt", plate.tilt, false, pl);
            r.material(*p, "material", full + ".material", plate.material, true, pl);
            if (ok && plate.x1 == plate.x2 && plate.y1 == plate.y2) {
                r.error(p, full, "the bottom edge has no length (its two ends coincide)");
            }
            if (plate.z < 0.0) r.error(p->get("z"), full + ".z", "must not be below the ground");
            obj.plates.push_back(plate);
        }
    } else {
        r.error(o.get("type"), "object.type", "must be \"aircraft\", \"building\" or \"plates\", not \"" + type + "\"");
    }
}

void readCheck(Reader& r, const toml::table& c, long line, Study& s) {
    r.onlyKeys(c, "check.", {"category", "threshold", "stop_end", "allowed"});
    const toml::node* cat = c.get("category");
    if (cat == nullptr) {
        r.error(line, "check.category", "missing (\"I\", \"II\" or \"III\")");
    } else {
        const std::string v = cat->value<std::string>().value_or(cat->is_integer() ? std::to_string(cat->value<int64_t>().value_or(0)) : "");
        if (v == "I" || v == "1") s.category = 1;
        else if (v == "II" || v == "2") s.category = 2;
        else if (v == "III" || v == "3") s.category = 3;
        else r.error(cat, "check.category", "must be \"I\", \"II\" or \"III\"");
    }
    if (const toml::node* t = c.get("threshold")) r.pair(t, "check.threshold", s.thresholdX, s.thresholdY);
    else r.error(line, "check.threshold", "missing (the runway threshold [x, y] in metres)");
    if (const toml::node* e = c.get("stop_end")) {
        s.hasStopEnd = r.pair(e, "check.stop_end", s.stopX, s.stopY);
        if (s.hasStopEnd && s.stopX == s.thresholdX && s.stopY == s.thresholdY) {
            r.error(e, "check.stop_end", "coincides with the threshold");
        }
    }
    const toml::node* a = c.get("allowed");
    if (a == nullptr) return;  // the full limit of every segment
    const toml::table* t = a->as_table();
    if (t == nullptr) {
        r.error(a, "check.allowed", "must be a table of segments, e.g. default = { fraction = 0.5 }");
        return;
    }
    for (auto&& [k, v] : *t) {
        const std::string name(k.str());
        const std::string full = "check.allowed.\"" + name + "\"";
        const auto& names = segmentNames();
        if (name != "default" && std::find(names.begin(), names.end(), name) == names.end()) {
            std::string known = "default";
            for (const std::string& n : names) known += ", " + n;
            r.error(static_cast<long>(k.source().begin.line), full, "unknown segment (known: " + known + ")");
            continue;
        }
        const toml::table* rule = v.as_table();
        if (rule == nullptr || rule->size() != 1 || (!rule->contains("fraction") && !rule->contains("microamperes"))) {
            r.error(&v, full, "must be { fraction = F } (of the segment's limit) or { microamperes = U }");
            continue;
        }
        Allowance al;
        al.microamperes = rule->contains("microamperes");
        const char* key = al.microamperes ? "microamperes" : "fraction";
        if (!r.number(*rule, key, full + "." + key, al.value, true, 0)) continue;
        if (!(al.value > 0.0)) {
            r.error(rule->get(key), full + "." + key, "must be greater than 0");
            continue;
        }
        if (name == "default") s.defaultAllowance = al;
        else s.segmentAllowance[name] = al;
    }
}

void readMap(Reader& r, const toml::table& m, Study& s) {
    r.onlyKeys(m, "map.", {"antennas", "latitude", "longitude", "bearing"});
    if (const toml::node* a = m.get("antennas")) {
        const toml::array* list = a->as_array();
        if (list == nullptr) {
            r.error(a, "map.antennas", "must be a list of points [[x, y], ...] in metres");
        } else {
            for (size_t i = 0; i < list->size(); ++i) {
                double x = 0.0, y = 0.0;
                if (r.pair(&(*list)[i], "map.antennas[" + std::to_string(i + 1) + "]", x, y)) {
                    s.antennas.emplace_back(x, y);
                }
            }
        }
    }
    const long line = static_cast<long>(m.source().begin.line);
    const bool any = m.contains("latitude") || m.contains("longitude") || m.contains("bearing");
    if (!any) return;
    bool ok = r.number(m, "latitude", "map.latitude", s.latitude, true, line);
    ok = r.number(m, "longitude", "map.longitude", s.longitude, true, line) && ok;
    ok = r.number(m, "bearing", "map.bearing", s.bearing, true, line) && ok;
    if (ok && std::fabs(s.latitude) > 89.0) {
        r.error(m.get("latitude"), "map.latitude", "must lie between -89 and 89 degrees");
        ok = false;
    }
    if (ok && std::fabs(s.longitude) > 180.0) {
        r.error(m.get("longitude"), "map.longitude", "must lie between -180 and 180 degrees");
        ok = false;
    }
    if (ok && !s.hasStopEnd) {
        r.error(line, "map", "a geographic reference needs check.stop_end for the runway's direction");
        ok = false;
    }
    s.hasGeo = ok;
}

}  // namespace

bool parseStudy(const std::string& text, const std::string& path, Study& s,
                std::vector<std::string>& errors) {
    const size_t before = errors.size();
    s = Study{};
    s.file = path;
    toml::table root;
    try {
        root = toml::parse(text, path);
    } catch (const toml::parse_error& e) {
        errors.push_back(path + ":" + std::to_string(e.source().begin.line) + ": " +
                         std::string(e.description()));
        return false;
    }
    Reader r(path, errors);
    std::error_code ec;
    const fs::path studyPath = fs::absolute(fs::path(path), ec);
    const fs::path here = studyPath.parent_path();
    r.onlyKeys(root, "", {"base", "object", "grid", "check", "map", "output", "ground_z"});

    if (const toml::table* b = r.table(root, "base", "base", true, 1)) {
        const long line = static_cast<long>(b->source().begin.line);
        r.onlyKeys(*b, "base.", {"project", "run"});
        std::string project;
        if (r.text(*b, "project", "base.project", project, true, line)) {
            for (char& c : project) if (c == '\\') c = '/';
            const fs::path p = fs::path(project).is_absolute() ? fs::path(project) : here / project;
            s.project = folderOf(p);
        }
        if (r.text(*b, "run", "base.run", s.run, true, line)) {
            if (s.run.empty() || s.run.find_first_of("/\\ ") != std::string::npos) {
                r.error(b->get("run"), "base.run", "must be a run name without folder or blanks");
            } else if (!s.project.empty()) {
                std::string missing;
                for (const char* ext : {".dat", ".post"}) {
                    if (!fs::is_regular_file(s.project + s.run + ext, ec)) {
                        missing += (missing.empty() ? "" : " and ") + s.project + s.run + ext;
                    }
                }
                if (!missing.empty()) r.error(b->get("run"), "base.run", "the base project has no " + missing);
            }
        }
    }
    if (const toml::table* o = r.table(root, "object", "object", true, 1)) {
        readObject(r, *o, static_cast<long>(o->source().begin.line), s.object);
    }
    if (const toml::table* g = r.table(root, "grid", "grid", true, 1)) {
        const long line = static_cast<long>(g->source().begin.line);
        r.onlyKeys(*g, "grid.", {"x", "y", "headings"});
        r.values(*g, "x", "grid.x", s.xs, line);
        r.values(*g, "y", "grid.y", s.ys, line);
        if (r.values(*g, "headings", "grid.headings", s.headings, line)) {
            for (double h : s.headings) {
                if (h < -360.0 || h > 360.0) {
                    r.error(g->get("headings"), "grid.headings", "headings lie between -360 and 360 degrees");
                    break;
                }
            }
        }
        const double count = static_cast<double>(s.xs.size()) * static_cast<double>(s.ys.size()) *
                             static_cast<double>(s.headings.size());
        if (count > 1e6) r.error(line, "grid", "more than a million placements; use coarser steps");
    }
    if (const toml::table* c = r.table(root, "check", "check", true, 1)) {
        readCheck(r, *c, static_cast<long>(c->source().begin.line), s);
    }
    if (const toml::table* m = r.table(root, "map", "map", false, 1)) readMap(r, *m, s);
    if (const toml::node* z = root.get("ground_z")) {
        if (!z->is_number()) r.error(z, "ground_z", "must be a number (metres)");
        else s.groundZ = z->value<double>().value_or(0.0);
    }
    std::string output;
    if (r.text(root, "output", "output", output, false, 1) && output.empty()) {
        r.error(root.get("output"), "output", "must name a folder");
    }
    if (output.empty()) {
        fs::path stem = studyPath;
        stem.replace_extension();
        s.folder = folderOf(stem);
    } else {
        for (char& c : output) if (c == '\\') c = '/';
        s.folder = folderOf(fs::path(output).is_absolute() ? fs::path(output) : here / output);
    }
    return errors.size() == before;
}

#else

bool parseStudy(const std::string&, const std::string& path, Study&, std::vector<std::string>& errors) {
    errors.push_back(path + ": this build of ilscalc has no TOML reader, so it cannot read study files");
    return false;
}

#endif

}  // namespace ilshost::study
