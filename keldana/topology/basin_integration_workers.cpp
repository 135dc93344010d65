#include "keldana/topology/basin_integration_workers.h"

#include "common/worker_pool.h"

#include <algorithm>
#include <chrono>

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
    return available_cpu_count();
}

void set_worker_thread_count(int n) { chosen_threads.store(std::max(n, 0)); }

bool RowControl::keep_going()
{
    if (stop_ != nullptr)
        return !stop_->load(std::memory_order_relaxed) && worker_should_continue();
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
    if (inside_worker_pool()) {
        // A nested request: the rows run here, and only the main thread polls.
        RowControl control;
        control.stop_ = &stop;
        for (int k = 0; k < count && control.keep_going(); ++k)
            row(k, control);
        return control.keep_going();
    }
    WorkerPool pool(count, threads, [&](int k) {
        RowControl control;
        control.stop_ = &stop;
        row(k, control);
    });
    if (pool.threads() == 0)
        return run_rows(count, 0, row, poll);
    while (!pool.wait_all(POLL_INTERVAL))
        if (!poll(pool.done())) {
            stop.store(true);
            pool.stop();
        }
    return !stop.load() && pool.done() == count;
}
