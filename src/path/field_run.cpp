#include "path/field_run.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "input/messages.h"
#include "interface/test_control.h"
#include "path/direct_field.h"
#include "path/field_pass.h"
#include "path/number_text.h"
#include "path/run_tables.h"

namespace ils {
namespace {

// Buffered writes fail late (at a later write, a flush or the close), so a
// stream is checked at every write and once more when it is closed.
struct FieldWriter {
    FILE* file = nullptr;
    bool ok = true;
    void put(const void* data, size_t size) {
        if (ok && std::fwrite(data, 1, size, file) != size) ok = false;
    }
};

int cannotWriteFieldFile(RunData& rd) {
    logMessage(rd.messageLog, "ERROR! Cannot write field file %s\n",
               rd.fieldFilePath[0] != '\0' ? rd.fieldFilePath : "(field file)");
    return -1;
}

// The number of arrays the system radiates: the clearance array only in a
// two-frequency system.
int radiatingArrays(const RunData& rd) { return rd.system.captureEffect == 1 ? 2 : 1; }

void logTableHeader(const RunData& rd) {
    FILE* log = rd.messageLog;
    logMessage(log, "\nScattered Fields\n");
    logMessage(log, "   Feet       Feet       Feet   ");
    logMessage(log, "  Magnitude  Magnitude");
    logMessage(log, rd.system.captureEffect == 1 ? "  Magnitude  Magnitude\n" : "\n");
}

// The 0 Hz-weighted scattered CSB and SBO of array j, from slots 2+2j, 3+2j.
void scatteredMagnitudes(const FieldRecord& r, int j, double& csb, double& sbo) {
    const Complex difference = r.slot[2 + 2 * j];
    const Complex sum = r.slot[3 + 2 * j];
    csb = std::abs((difference + sum) / 2.0);
    sbo = std::abs((sum - difference) / 2.0);
}

// One line of the log's table: the point and each array's 0 Hz-weighted
// scattered CSB and SBO magnitudes ("%10.2f" and " %10.4e").
void appendTableLine(std::string& line, const ObservationPoint& p, const FieldRecord& scattered, int arrays) {
    const double position[3] = {p.x, p.y, p.z};
    for (int c = 0; c < 3; ++c) {
        if (c > 0) line += ' ';
        appendFixed(line, position[c], 10, 2);
    }
    for (int j = 0; j < arrays; ++j) {
        double csb = 0.0, sbo = 0.0;
        scatteredMagnitudes(scattered, j, csb, sbo);
        line += ' ';
        appendScientific(line, csb, 10, 4);
        line += ' ';
        appendScientific(line, sbo, 10, 4);
    }
    line += '\n';
}

// A record of the FieldFile: the position, then the scattered and the direct
// FieldRecord, as the reader expects them, with no padding between.
constexpr size_t kPointBytes = 3 * sizeof(double) + 2 * sizeof(FieldRecord);
// Where slots 12..14 begin in a FieldRecord's bytes.
constexpr size_t kMagnitudeOffset = 12 * sizeof(Complex);
static_assert(sizeof(FieldRecord) == 15 * sizeof(Complex), "a FieldRecord is its 15 slots");
// Points written at once: one system call per file and group instead of one
// every few records, with a buffer (64 KiB) small beside the tables.
constexpr size_t kWritePoints = 128;
// Direct records a thread computes at once (on its stack).
constexpr size_t kDirectPoints = 16;

}  // namespace

FieldRecord directFieldRecord(const Station& st, double x, double y, double z) {
    FieldRecord record{};
    for (int j = 0; j < st.arrayCount(); ++j) {
        Complex csb[2], sbo[2];
        arrayField(st, j, st.system.groundPlaneCode, x, y, z, csb, sbo);
        accumulateField(st, j, csb[0] + csb[1], sbo[0] + sbo[1], 0.0, 0.0, 0.0, 1.0, record);
    }
    return record;
}

int runFieldRun(RunData& rd, FILE* fieldFile) {
    if (fieldFile == nullptr) return cannotWriteFieldFile(rd);

    // An empty companion file that hosts expect beside the run.
    if (FILE* companion = std::fopen("fields2.txt", "w")) std::fclose(companion);

    FieldWriter out{fieldFile};
    out.put(&rd.pointCount, sizeof rd.pointCount);
    out.put(&rd.meanTimeStep, sizeof rd.meanTimeStep);
    out.put(&rd.speedRatio, sizeof rd.speedRatio);
    logTableHeader(rd);

    const Station st(rd);
    TableStore<ObservationPoint>::Reader points;
    TableStore<FieldRecord>::Reader fields;
    int status = points.open(rd.pointTable, rd.messageLog);
    if (status == 0) status = fields.open(rd.fieldTable, rd.messageLog);
    const int arrays = radiatingArrays(rd);
    const int32_t block = blockPoints();
    // A group's FieldFile bytes and log lines. Two in turn: one thread
    // writes the group before while the others compute the next.
    struct Group {
        std::vector<unsigned char> binary;
        std::vector<std::string> lines;
        std::string text;
    };
    Group groups[2];
    Group* pending = nullptr;
    auto write = [&](Group& g) {
        out.put(g.binary.data(), g.binary.size());
        if (rd.messageLog != nullptr) {
            g.text.clear();
            for (const std::string& line : g.lines) g.text += line;
            std::fwrite(g.text.data(), 1, g.text.size(), rd.messageLog);
        }
    };
    const size_t groupSize =
        testControl().writeGroupPoints > 0 ? static_cast<size_t>(testControl().writeGroupPoints) : kWritePoints;
    int next = 0;
    bool stopped = false;
    for (int32_t done = 0; done < rd.pointCount && status == 0 && out.ok;) {
        // A long flight must not keep writing for hours after a stop request.
        if (done > 0 && rd.stopRequested.load()) {
            logMessage(rd.messageLog, "Calculation interrupted.\n");
            stopped = true;
            status = -1;
            break;
        }
        const std::span<const ObservationPoint> p = points.next(block);
        const std::span<const FieldRecord> scattered = fields.next(static_cast<int32_t>(p.size()));
        if (p.empty() || scattered.size() != p.size()) {
            status = -1;
            break;
        }
        // Groups of points: their direct fields, the scattered records'
        // multipath magnitudes (slots 12..14), the FieldFile's bytes and the
        // log's table lines made across the threads, each point into its own
        // place, while the thread that takes the first chunk writes the group
        // before; groups are written in order, and the block's last before
        // the next block is read. A group's buffers are small beside the
        // tables (the whole block's direct records were 240 bytes a point).
        for (size_t first = 0; first < p.size(); first += groupSize) {
            const size_t count = std::min(p.size() - first, groupSize);
            Group& g = groups[next];
            g.binary.resize(count * kPointBytes);
            if (rd.messageLog != nullptr) g.lines.resize(count);
            Group* const before = pending;
            const int32_t groupPoints = static_cast<int32_t>(count);
            parallelFor(rd.workers, groupPoints, kPassChunkPoints, [&](int32_t begin, int32_t end, int) {
                if (begin == 0 && before != nullptr) write(*before);
                for (size_t b = static_cast<size_t>(begin); b < static_cast<size_t>(end); b += kDirectPoints) {
                    const size_t n = std::min(static_cast<size_t>(end) - b, kDirectPoints);
                    FieldRecord direct[kDirectPoints];
                    directFieldRecords(st, p.subspan(first + b, n), std::span<FieldRecord>(direct, n));
                    for (size_t k = 0; k < n; ++k) {
                        const size_t i = first + b + k;
                        Complex magnitudes[3];
                        multipathMagnitudes(scattered[i], magnitudes);
                        unsigned char* const at = g.binary.data() + (b + k) * kPointBytes;
                        const double position[3] = {p[i].x, p[i].y, p[i].z};
                        std::memcpy(at, position, sizeof position);
                        unsigned char* const record = at + sizeof position;
                        std::memcpy(record, &scattered[i], kMagnitudeOffset);
                        std::memcpy(record + kMagnitudeOffset, magnitudes, sizeof magnitudes);
                        std::memcpy(record + sizeof(FieldRecord), &direct[k], sizeof direct[k]);
                        if (rd.messageLog != nullptr) {
                            g.lines[b + k].clear();
                            appendTableLine(g.lines[b + k], p[i], scattered[i], arrays);
                        }
                    }
                }
            });
            pending = &g;
            next ^= 1;
        }
        write(*pending);
        pending = nullptr;
        done += static_cast<int32_t>(p.size());
    }

    if (std::fflush(fieldFile) != 0) out.ok = false;
    if (std::fclose(fieldFile) != 0) out.ok = false;
    // A stopped run leaves an empty field file, as any run that does not
    // finish: never a header whose count the data do not back.
    if (stopped) {
        if (rd.fieldFilePath[0] != '\0') {
            if (FILE* emptied = std::fopen(rd.fieldFilePath, "wb")) std::fclose(emptied);
        }
    }
    if (status != 0) return -1;
    if (!out.ok) return cannotWriteFieldFile(rd);
    logMessage(rd.messageLog, "End of Run.\n");
    return 0;
}

}  // namespace ils
