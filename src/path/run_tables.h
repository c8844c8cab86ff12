// The run's two tables with one entry per ObservationPoint, the PointTable
// and the FieldTable, each in memory or, when memory runs short (or the test
// switch RunData::forceFileStorage is set), in a scratch file of the scratch
// directory: "flight.tmp" (48-byte points) and "fields.tmp" (240-byte
// records), rewritten through "fields1.tmp" by every field pass.
//
// Every function that returns int returns 0 on success and -1 after writing
// an ERROR! message naming the scratch file to the message log.
#pragma once

#include <cstdio>

#include "interface/run_data.h"

namespace ils {

// Creates both tables for n points, zero-filled (FP). Releases older ones.
int createRunTables(RunData& rd, int32_t n);

// Stores generated point i (FP; points come in order 0..n-1).
int storePoint(RunData& rd, int32_t i, const ObservationPoint& p);
// Ends point generation (closes "flight.tmp" when file-backed).
int finishPoints(RunData& rd);

// Sequential visit of the PointTable.
struct PointCursor {
    FILE* file = nullptr;
    int32_t index = 0;
};
int openPoints(RunData& rd, PointCursor& cursor);
int nextPoint(RunData& rd, PointCursor& cursor, ObservationPoint& p);
int rewindPoints(RunData& rd, PointCursor& cursor);
void closePoints(PointCursor& cursor);

// Rewrites every point through fn(i, point) (deceleration pass), either storage.
template <typename Fn>
int updatePoints(RunData& rd, Fn fn);
int beginPointUpdate(RunData& rd, FILE*& in, FILE*& out, char* tmpPath);
int endPointUpdate(RunData& rd, FILE* in, FILE* out, const char* tmpPath, int status);

// Field pass: one visit of all points that may add to their records.
//   FieldPass pass; beginFieldPass(rd, pass);
//   for each point i: FieldRecord* r = fieldPassRecord(rd, pass); ...add...;
//                     fieldPassStore(rd, pass);
//   endFieldPass(rd, pass);
// Every record must be fetched and stored, also when nothing is added.
struct FieldPass {
    FILE* in = nullptr;
    FILE* out = nullptr;
    int32_t index = 0;
    FieldRecord buffer{};
};
int beginFieldPass(RunData& rd, FieldPass& pass);
FieldRecord* fieldPassRecord(RunData& rd, FieldPass& pass);  // nullptr after a read error
int fieldPassStore(RunData& rd, FieldPass& pass);
int endFieldPass(RunData& rd, FieldPass& pass);   // replaces "fields.tmp" by "fields1.tmp"
void abortFieldPass(FieldPass& pass);             // closes files after a failure

// Read-only visit of the FieldTable (the field run).
struct FieldReader {
    FILE* file = nullptr;
    int32_t index = 0;
};
int openFieldReader(RunData& rd, FieldReader& reader);
int nextFieldRecord(RunData& rd, FieldReader& reader, FieldRecord& record);
void closeFieldReader(FieldReader& reader);

// Stores the magnitudes of slots 6..11 into slots 12..14 of every record:
// slot 12 = (|6|, |7|), slot 13 = (|8|, |9|), slot 14 = (|10|, |11|). Either storage.
int storeMultipathMagnitudes(RunData& rd);

// Frees the tables or deletes their scratch files (end of run).
void releaseRunTables(RunData& rd);

// ---- implementation of the template ----
template <typename Fn>
int updatePoints(RunData& rd, Fn fn) {
    if (rd.pointTable.inMemory) {
        for (int32_t i = 0; i < rd.pointCount; ++i) fn(i, rd.pointTable.entries[i]);
        return 0;
    }
    FILE* in = nullptr;
    FILE* out = nullptr;
    char tmpPath[kLineSize];
    if (beginPointUpdate(rd, in, out, tmpPath) != 0) return -1;
    int status = 0;
    for (int32_t i = 0; i < rd.pointCount && status == 0; ++i) {
        ObservationPoint p;
        if (std::fread(&p, sizeof p, 1, in) != 1) {
            status = -1;
            break;
        }
        fn(i, p);
        if (std::fwrite(&p, sizeof p, 1, out) != 1) status = -2;
    }
    return endPointUpdate(rd, in, out, tmpPath, status);
}

}  // namespace ils
