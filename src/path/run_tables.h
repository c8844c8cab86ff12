// The run's two tables with one entry per ObservationPoint, the PointTable
// and the FieldTable, each a TableStore: in memory or, when memory runs
// short, in a scratch file of the scratch directory: "flight.tmp" (48-byte
// points) and "fields.tmp" (240-byte records), rewritten through
// "fields1.tmp" by every field pass.
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

// Rewrites every point through fn(i, point) (deceleration pass), either
// storage; the file storage passes through "flight1.tmp".
template <typename Fn>
int updatePoints(RunData& rd, Fn fn);

// Points per block of a field pass: what one thread's share of a pass
// holds in the file storage, and the grain at which progress moves.
int32_t blockPoints();

// The multipath magnitudes of a record's slots 6..11, its slots 12..14 in
// the FieldFile: (|6|, |7|), (|8|, |9|), (|10|, |11|). The FieldFile's writer
// takes them for every record as it is written: only the scatterers'
// commands change slots 6..11, so the magnitudes are those after the last of
// them, whatever the storage and the order of commands.
void multipathMagnitudes(const FieldRecord& r, Complex (&out)[3]);

// Frees the tables or deletes their scratch files (end of run).
void releaseRunTables(RunData& rd);

// ---- implementation of the template ----
template <typename Fn>
int updatePoints(RunData& rd, Fn fn) {
    TableStore<ObservationPoint>::Pass pass;
    if (pass.begin(rd.pointTable, rd.messageLog) != 0) return -1;
    int32_t i = 0;
    while (true) {
        const std::span<ObservationPoint> block = pass.next(blockPoints());
        if (block.empty()) break;
        for (ObservationPoint& p : block) fn(i++, p);
        if (pass.commit() != 0) return -1;
    }
    return pass.finish();
}

}  // namespace ils
