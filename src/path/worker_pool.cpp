#include "path/worker_pool.h"

#include <algorithm>
#include <chrono>
#include <system_error>

namespace ils {
namespace {

// A run's parallel sections follow each other within microseconds (the
// blocks of a pass, one pass after another): a thread that has finished
// watches for the next section this long before it sleeps, which spares
// the wake-up of a sleeping thread (tens of microseconds) each time.
constexpr auto kSpin = std::chrono::microseconds(50);

// Polls until done() or kSpin has passed; true if done() came true.
template <class Done>
bool spinUntil(Done done) {
    const auto until = std::chrono::steady_clock::now() + kSpin;
    while (true) {
        for (int i = 0; i < 64; ++i)
            if (done()) return true;
        if (std::chrono::steady_clock::now() >= until) return false;
    }
}

}  // namespace

WorkerPool::WorkerPool(int threads) {
    for (int slot = 1; slot < threads; ++slot) {
        try {
            workers_.emplace_back([this, slot] { workerLoop(slot); });
        } catch (const std::system_error&) {
            break;  // fewer threads than asked: the pool still works
        }
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();
}

int WorkerPool::threadsFor(unsigned cap) {
    if (cap != 0) return static_cast<int>(cap);
    const unsigned hw = std::thread::hardware_concurrency();
    return hw == 0 ? 1 : static_cast<int>(std::min(hw, 255u));
}

// Chunks are handed out under the lock; each is a contiguous range.
void WorkerPool::takeChunks(int slot) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        const int32_t begin = nextChunk_;
        if (begin >= count_) break;
        const int32_t end = count_ - begin > chunk_ ? begin + chunk_ : count_;
        nextChunk_ = end;
        const Task* task = task_;
        lock.unlock();
        (*task)(begin, end, slot);
        lock.lock();
    }
}

void WorkerPool::workerLoop(int slot) {
    uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        if (!stopping_ && generation_ == seen) {
            lock.unlock();
            spinUntil([&] { return published_.load(std::memory_order_acquire) != seen; });
            lock.lock();
        }
        wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
        if (stopping_) return;
        seen = generation_;
        lock.unlock();
        takeChunks(slot);
        lock.lock();
        running_.fetch_sub(1, std::memory_order_release);
        if (--busy_ == 0) done_.notify_all();
    }
}

void WorkerPool::run(int32_t count, int32_t minChunk, const Task& fn) {
    if (count <= 0) return;
    if (workers_.empty()) {
        fn(0, count, 0);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        task_ = &fn;
        count_ = count;
        // Many chunks per thread, so that threads finishing early take more:
        // a point's work varies widely (a moving plate lit at some points only).
        // A multiple of minChunk, so that only a range's last chunk may leave
        // a kernel's vector part empty (a chunk of 33 points made 9 vectors).
        const int32_t least = std::max<int32_t>(minChunk, 1);
        const int32_t perThread = count / (size() * 32) + 1;
        chunk_ = (std::max(least, perThread) + least - 1) / least * least;
        nextChunk_ = 0;
        busy_ = static_cast<int>(workers_.size());
        running_.store(busy_, std::memory_order_relaxed);
        ++generation_;
        published_.store(generation_, std::memory_order_release);
    }
    wake_.notify_all();
    takeChunks(0);
    spinUntil([&] { return running_.load(std::memory_order_acquire) == 0; });
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return busy_ == 0; });
    task_ = nullptr;
}

void parallelFor(WorkerPool* pool, int32_t count, int32_t minChunk, const WorkerPool::Task& fn) {
    if (count <= 0) return;
    if (pool == nullptr) {
        fn(0, count, 0);
        return;
    }
    pool->run(count, minChunk, fn);
}

}  // namespace ils
