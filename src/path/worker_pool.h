// A pool of worker threads started once per run. run() splits a range of
// indexes into contiguous chunks that the workers and the calling thread
// take in turn; it returns when every chunk is done. Which thread computes
// a chunk never matters to the result: the kernels compute each index from
// its own inputs only, so a run gives the same values for any thread count.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ils {

class WorkerPool {
public:
    // threads: total threads including the caller; at least 1. Threads the
    // system refuses to start are left out (the pool then runs with fewer).
    explicit WorkerPool(int threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int size() const { return static_cast<int>(workers_.size()) + 1; }

    // Calls fn(begin, end, slot) for chunks covering [0, count); slot < size()
    // identifies the thread, for per-thread counters. Chunks are at least
    // minChunk long (the last may be shorter).
    using Task = std::function<void(int32_t begin, int32_t end, int slot)>;
    void run(int32_t count, int32_t minChunk, const Task& fn);

    // Thread count for a run: the cap when non-zero, else every hardware
    // thread (at least 1).
    static int threadsFor(unsigned cap);

private:
    void workerLoop(int slot);
    void takeChunks(int slot);

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    uint64_t generation_ = 0;
    int busy_ = 0;
    // generation_ and busy_ as the spinning threads read them without the lock.
    std::atomic<uint64_t> published_{0};
    std::atomic<int> running_{0};
    bool stopping_ = false;
    // The job in progress.
    const Task* task_ = nullptr;
    int32_t count_ = 0, chunk_ = 1, nextChunk_ = 0;
};

// Runs fn over [0, count) on the pool, or on the calling thread alone
// without one.
void parallelFor(WorkerPool* pool, int32_t count, int32_t minChunk, const WorkerPool::Task& fn);

}  // namespace ils
