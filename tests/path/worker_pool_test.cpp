// The worker pool covers every index exactly once, on as many threads as
// asked; the progress counter publishes the serial loops' values in order.
#include <atomic>
#include <vector>

#include "path/field_pass.h"
#include "path/worker_pool.h"
#include "support/test_support.h"

namespace ils {
namespace {

TEST(EngineThreads, PoolVisitsEveryIndexOnceForAnyCountAndChunk) {
    for (int threads : {1, 2, 3, 8}) {
        WorkerPool pool(threads);
        EXPECT_EQ(pool.size(), threads);
        for (int32_t count : {0, 1, 5, 16, 17, 1000, 2048}) {
            for (int32_t chunk : {1, 7, 64}) {
                std::vector<std::atomic<int>> seen(static_cast<size_t>(count));
                std::atomic<bool> slotOk{true}, wholeChunks{true};
                pool.run(count, chunk, [&](int32_t begin, int32_t end, int slot) {
                    if (slot < 0 || slot >= pool.size() || begin >= end) slotOk = false;
                    // Whole multiples of the least chunk, but for the range's end:
                    // the kernels' vectors stay full.
                    if (begin % chunk != 0 || (end != count && (end - begin) % chunk != 0)) wholeChunks = false;
                    for (int32_t i = begin; i < end; ++i) seen[static_cast<size_t>(i)].fetch_add(1);
                });
                EXPECT_TRUE(slotOk.load());
                EXPECT_TRUE(wholeChunks.load()) << threads << " " << count << " " << chunk;
                for (int32_t i = 0; i < count; ++i)
                    ASSERT_EQ(seen[static_cast<size_t>(i)].load(), 1) << threads << " " << count << " " << i;
            }
        }
    }
}

TEST(EngineThreads, ThreadCountFollowsTheCap) {
    EXPECT_EQ(WorkerPool::threadsFor(1), 1);
    EXPECT_EQ(WorkerPool::threadsFor(5), 5);
    EXPECT_GE(WorkerPool::threadsFor(0), 1);
}

// The serial loops publish trunc(percents + accumulator) at each multiple of
// the stride; the counter must publish the same values in the same order
// whatever the sizes of the steps it is given.
TEST(EngineThreads, ProgressTakesTheSerialValuesInOrder) {
    const double accumulator = 37.5;
    const int64_t stride = 7;
    const int64_t work = 500;
    // The serial value after each unit of work.
    std::vector<int32_t> serial(static_cast<size_t>(work + 1), 0);
    int64_t percents = 0;
    int32_t last = 0;
    for (int64_t done = 1; done <= work; ++done) {
        if (done % stride == 0) last = static_cast<int32_t>(accumulator + static_cast<double>(++percents));
        serial[static_cast<size_t>(done)] = last;
    }
    for (int64_t step : {1, 3, 7, 50, 499}) {
        std::atomic<int32_t> percent{0};
        ProgressCounter c{&percent, accumulator, stride};
        for (int64_t done = 0; done < work;) {
            const int64_t n = std::min(step, work - done);
            c.add(n);
            done += n;
            EXPECT_EQ(percent.load(), serial[static_cast<size_t>(done)]) << step << " " << done;
            EXPECT_EQ(c.percents, done / stride);
        }
    }
    EXPECT_EQ(boundedStride(0.2), 1);
    EXPECT_EQ(boundedStride(6.5), 7);
    EXPECT_EQ(boundedStride(1e300), INT64_MAX);
    EXPECT_EQ(boundedStride(-5.0), 1);
}

}  // namespace
}  // namespace ils
