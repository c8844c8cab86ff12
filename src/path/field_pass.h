// One field pass over the run's tables, split across the run's threads:
// the points, their FieldRecords (and, for moving plates, their
// MovingPositions) come in blocks in point order; each block is cut into
// contiguous ranges that the worker threads compute at once; afterBlock then
// runs on the calling thread (progress bookkeeping). A kernel computes each
// point from that point's own inputs, so a record's value depends neither on
// the thread nor on the block that computes it.
#pragma once

#include <span>
#include <vector>

#include "interface/run_data.h"
#include "path/run_tables.h"
#include "path/worker_pool.h"

namespace ils {

struct PassBlock {
    std::span<const ObservationPoint> points;
    std::span<const MovingPosition> moving;  // empty unless asked for
    std::span<FieldRecord> records;

    PassBlock range(size_t begin, size_t end) const {
        PassBlock b;
        b.points = points.subspan(begin, end - begin);
        if (!moving.empty()) b.moving = moving.subspan(begin, end - begin);
        b.records = records.subspan(begin, end - begin);
        return b;
    }
};

// Points a thread takes at once inside a block.
inline constexpr int32_t kPassChunkPoints = 16;

// kernel(const PassBlock&, int slot) on ranges of each block; afterBlock(int32_t points)
// after each block. withMoving: also deliver MovingPositions, a point the
// moving-scatterer table does not cover getting the plate at rest (all zero).
// Returns 0, or -1 after a scratch-file failure (message written).
template <typename Kernel, typename AfterBlock>
int runFieldPass(RunData& rd, bool withMoving, Kernel&& kernel, AfterBlock&& afterBlock) {
    TableStore<ObservationPoint>::Reader points;
    TableStore<MovingPosition>::Reader moving;
    TableStore<FieldRecord>::Pass fields;
    if (points.open(rd.pointTable, rd.messageLog) != 0) return -1;
    if (withMoving && moving.open(rd.movingTable, rd.messageLog) != 0) return -1;
    if (fields.begin(rd.fieldTable, rd.messageLog) != 0) return -1;
    std::vector<MovingPosition> padded;
    const int32_t block = blockPoints();
    for (int32_t done = 0; done < rd.pointCount;) {
        PassBlock b;
        b.points = points.next(block);
        b.records = fields.next(static_cast<int32_t>(b.points.size()));
        if (b.points.empty() || b.records.size() != b.points.size()) return -1;
        if (withMoving) {
            b.moving = moving.next(static_cast<int32_t>(b.points.size()));
            if (moving.failed()) return -1;
            if (b.moving.size() < b.points.size()) {
                padded.assign(b.moving.begin(), b.moving.end());
                padded.resize(b.points.size(), MovingPosition{});
                b.moving = padded;
            }
        }
        const int32_t n = static_cast<int32_t>(b.points.size());
        parallelFor(rd.workers, n, kPassChunkPoints, [&](int32_t begin, int32_t end, int slot) {
            kernel(b.range(static_cast<size_t>(begin), static_cast<size_t>(end)), slot);
        });
        if (fields.commit() != 0) return -1;
        afterBlock(n);
        done += n;
    }
    return fields.finish();
}

// Threads of the run's pool (1 without one), for per-thread counters.
inline int passSlots(const RunData& rd) { return rd.workers != nullptr ? rd.workers->size() : 1; }

// Progress of one computation, as its serial loops move it: one percent per
// stride of work, each value trunc(percents + accumulator) published in turn.
struct ProgressCounter {
    std::atomic<int32_t>* percent = nullptr;
    double accumulator = 0.0;
    int64_t stride = 1;
    int64_t done = 0;
    int64_t percents = 0;

    void add(int64_t work) {
        int64_t reached = done / stride;
        done += work;
        for (const int64_t target = done / stride; reached < target; ++reached) {
            ++percents;
            percent->store(static_cast<int32_t>(std::trunc(static_cast<double>(percents) + accumulator)));
        }
    }
};

// A stride from its double value: at least 1, and within the integer range.
inline int64_t boundedStride(double value) {
    const double t = std::trunc(value + 0.5);
    if (!(t >= 1.0)) return 1;
    if (t >= 9.0e18) return INT64_MAX;
    return static_cast<int64_t>(t);
}

}  // namespace ils
