#include "keldana/topology/basin_integration_workers.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr auto POLL_INTERVAL = std::chrono::milliseconds(20);

std::atomic<int> chosen_threads{0};

long long now_ms()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int worker_thread_count()
{
    const int chosen = chosen_threads.load();
    if (chosen > 0)
        return chosen;
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

void set_worker_thread_count(int n) { chosen_threads.store(std::max(n, 0)); }

bool RowControl::keep_going()
{
    if (stop_ != nullptr)
        return !stop_->load(std::memory_order_relaxed);
    if (stopped_)
        return false;
    const long long now = now_ms();
    if (now - last_poll_ >= POLL_INTERVAL.count()) {
        last_poll_ = now;
        stopped_ = !(*poll_)(done_->load());
    }
    return !stopped_;
}

bool run_rows(int count, int threads, const std::function<void(int, RowControl&)>& row,
              const std::function<bool(int)>& poll)
{
    std::atomic<int> done{0};
    // A job cancelled before it starts does no work.
    if (!poll(0))
        return false;
    if (threads <= 0) {
        RowControl control;
        control.poll_ = &poll;
        control.done_ = &done;
        control.last_poll_ = now_ms();
        for (int k = 0; k < count; ++k) {
            if (!control.keep_going())
                return false;
            row(k, control);
            done.fetch_add(1);
        }
        return !control.stopped_;
    }

    std::atomic<bool> stop{false};
    std::atomic<int> next{0};
    std::mutex mutex;
    std::condition_variable finished;
    const int wanted = std::min(threads, count);
    int running = wanted;
    auto work = [&] {
        RowControl control;
        control.stop_ = &stop;
        for (;;) {
            const int k = next.fetch_add(1);
            if (k >= count || stop.load(std::memory_order_relaxed))
                break;
            row(k, control);
            done.fetch_add(1);
        }
        std::lock_guard<std::mutex> lock(mutex);
        if (--running == 0)
            finished.notify_all();
    };
    std::vector<std::thread> workers;
    workers.reserve(static_cast<size_t>(std::max(wanted, 0)));
    for (int t = 0; t < wanted; ++t) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            // The system gives no more threads: those started share the rows.
            const std::lock_guard<std::mutex> lock(mutex);
            running -= wanted - t;
            break;
        }
    }
    if (workers.empty())
        return run_rows(count, 0, row, poll);
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (running > 0) {
            if (finished.wait_for(lock, POLL_INTERVAL, [&] { return running == 0; }))
                break;
            lock.unlock();
            if (!stop.load() && !poll(done.load()))
                stop.store(true);
            lock.lock();
        }
    }
    for (std::thread& worker : workers)
        worker.join();
    return !stop.load() && done.load() == count;
}
