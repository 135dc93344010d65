// The one way the programs run work on several threads.  A pool takes
// numbered items; workers (threads kept between pools) take the next free
// number until none is left or the pool is stopped.  An exception thrown by
// an item stops the other workers at their next item and is thrown again on
// the calling thread.
// A pool asked for from inside an item of another pool (a nested request),
// or for fewer than two threads, runs its items on the calling thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// The CPUs this process may run on: its affinity mask, lowered to the CPU
// quota of its cgroup where one is set; at least 1.
int available_cpu_count();

// The CPUs a quota allows: the text of a cgroup v2 "cpu.max" ("max 100000"
// or "150000 100000") rounded up; 0 when the text sets no quota.
int cpu_quota_count(const std::string& cpu_max);

class WorkerPool {
public:
    WorkerPool(int count, int threads, std::function<void(int)> item);
    ~WorkerPool();  // stops and joins; an exception not yet thrown is dropped
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Waits up to `slice` for item k (on the calling thread: runs the items
    // up to k); true once it ended.  Throws an item's exception.
    bool wait_for(int k, std::chrono::milliseconds slice);
    // Waits up to `slice` for every item (on the calling thread: runs the
    // next one); true once all ended or the pool stopped.  Throws an item's
    // exception.
    bool wait_all(std::chrono::milliseconds slice);
    // Workers take no further item.
    void stop();
    bool stopped() const { return stop_.load(); }
    int done() const { return done_count_.load(); }
    // Threads running the items (0 when the calling thread runs them).
    int threads() const { return threads_; }
    // Stops, waits for the threads to leave the pool and throws the first
    // exception of an item.
    void finish();

private:
    void work();
    void wait_for_threads();
    void run_here(int k);
    void throw_failure();

    int count_;
    std::function<void(int)> item_;
    std::atomic<int> next_{0};
    std::atomic<int> done_count_{0};
    std::atomic<bool> stop_{false};
    std::atomic<int> awaited_{-1};  // the item wait_for waits for
    std::vector<char> done_;  // under mutex_
    std::exception_ptr failure_;  // under mutex_
    std::mutex mutex_;
    std::condition_variable changed_;
    int threads_ = 0;   // threads lent to the pool; set before any item runs
    int running_ = 0;   // of those, the ones still in the pool (under mutex_)
};

// Runs item(k) for k = 0..count-1 on up to `threads` threads; the calling
// thread calls poll(items done) every `slice` while they run (on the
// calling thread: between items), and a false answer stops the items.
// True when every item ran.  Throws an item's exception.
bool run_parallel(int count, int threads, const std::function<void(int)>& item,
                  const std::function<bool(int)>& poll = {},
                  std::chrono::milliseconds slice = std::chrono::milliseconds(20));

// Whether the calling thread runs an item of a pool.
bool inside_worker_pool();

// Inside an item: false once the pool stopped (by the caller or because an
// item failed); always true outside a pool.
bool worker_should_continue();

// Test hook: after this many more items start on a pool's worker threads,
// the next one throws std::bad_alloc, as when memory runs out.  A negative
// value (the default) turns the injection off.
void set_worker_failure_after(long long items);
