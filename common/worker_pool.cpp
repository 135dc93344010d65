#include "common/worker_pool.h"

#include "common/file_units.h"

#include <sched.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <fstream>
#include <new>
#include <sstream>
#include <system_error>
#include <thread>

namespace {

std::atomic<long long> items_before_failure{-1};

// The pool whose item this thread runs, if any.
thread_local WorkerPool* current_pool = nullptr;

struct CurrentPool {
    explicit CurrentPool(WorkerPool* pool) : previous(current_pool) { current_pool = pool; }
    ~CurrentPool() { current_pool = previous; }
    WorkerPool* previous;
};

// The threads that run the pools' items, kept between pools: starting and
// ending threads for every pool costs a small job more than its items (a
// millisecond for eight threads on some virtual machines).  A pool borrows
// idle threads, the crew starting more when none is idle; a thread goes
// back to waiting when its pool's work ends.  The crew lives as long as the
// process: its threads end with it.
class WorkerCrew {
public:
    // Hands `work` to up to `count` threads, each calling `release` once it
    // is free for the next pool; returns how many took it (fewer only when
    // the system gives no more threads).
    int lend(int count, const std::function<void()>& work, const std::function<void()>& release)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        while (idle_ < count) {
            try {
                std::thread([this] { serve(); }).detach();
            } catch (const std::system_error&) {
                break;
            }
            ++idle_;
        }
        const int lent = std::min(count, idle_);
        idle_ -= lent;
        for (int k = 0; k < lent; ++k) {
            tasks_.push_back({work, release});
            waiting_.notify_one();  // idle threads beyond the tasks sleep on
        }
        return lent;
    }

private:
    struct Task {
        std::function<void()> work, release;
    };

    void serve()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            waiting_.wait(lock, [this] { return !tasks_.empty(); });
            const Task task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task.work();
            // Idle again before the pool learns it may end, so a pool
            // that follows at once finds this thread instead of starting one.
            lock.lock();
            ++idle_;
            lock.unlock();
            task.release();
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable waiting_;
    std::deque<Task> tasks_;  // each taken by a thread counted out of idle_
    int idle_ = 0;            // threads free to be lent
};

WorkerCrew& crew()
{
    static WorkerCrew* const kept = new WorkerCrew;  // never destroyed: its threads may outlive main
    return *kept;
}

std::string first_line(const std::string& path)
{
    std::ifstream input;
    std::string refusal, line;
    if (open_input_file(path, input, refusal, std::ios::in))
        std::getline(input, line);
    return line;
}

// The cgroup v1 quota as "quota period" (quota -1 when none), else "".
std::string cgroup_v1_cpu_max(const std::string& folder)
{
    const std::string quota = first_line(folder + "/cpu.cfs_quota_us");
    const std::string period = first_line(folder + "/cpu.cfs_period_us");
    if (quota.empty() || period.empty() || quota[0] == '-')
        return {};
    return quota + " " + period;
}

// The smallest quota set on the process's cgroup or any cgroup above it.
int cgroup_quota_count()
{
    std::ifstream groups;
    std::string refusal, line;
    open_input_file("/proc/self/cgroup", groups, refusal, std::ios::in);
    int smallest = 0;
    auto take = [&smallest](int n) {
        if (n > 0)
            smallest = smallest == 0 ? n : std::min(smallest, n);
    };
    while (std::getline(groups, line)) {
        const std::size_t first = line.find(':'), second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string path = line.substr(second + 1);
        const bool v2 = controllers.empty();
        std::string root;
        if (v2)
            root = "/sys/fs/cgroup";
        else if ((',' + controllers + ',').find(",cpu,") != std::string::npos)
            root = "/sys/fs/cgroup/" + controllers;
        else
            continue;
        for (;;) {
            const std::string folder = root + (path == "/" ? "" : path);
            take(cpu_quota_count(v2 ? first_line(folder + "/cpu.max") : cgroup_v1_cpu_max(folder)));
            if (path.empty() || path == "/")
                break;
            const std::size_t slash = path.rfind('/');
            path = slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
        }
    }
    return smallest;
}

}  // namespace

int cpu_quota_count(const std::string& cpu_max)
{
    std::istringstream fields(cpu_max);
    std::string quota_text;
    double period = 0;
    if (!(fields >> quota_text >> period) || quota_text == "max" || !(period > 0))
        return 0;
    char* end = nullptr;
    const double quota = std::strtod(quota_text.c_str(), &end);
    if (end == quota_text.c_str() || !(quota > 0))
        return 0;
    return std::max(1, static_cast<int>(std::ceil(quota / period)));
}

int available_cpu_count()
{
    int count = 0;
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        count = CPU_COUNT(&set);
    if (count < 1)
        count = static_cast<int>(std::thread::hardware_concurrency());
    count = std::max(count, 1);
    const int quota = cgroup_quota_count();
    return quota > 0 ? std::min(count, quota) : count;
}

WorkerPool::WorkerPool(int count, int threads, std::function<void(int)> item)
    : count_(std::max(count, 0)), item_(std::move(item)), done_(static_cast<std::size_t>(count_), 0)
{
    const int wanted = current_pool != nullptr ? 0 : std::min(threads, count_);
    if (wanted < 2)
        return;
    // Counted before any thread can leave; those the system does not give
    // are taken off again (the threads lent share the items).
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        threads_ = wanted;
        running_ = wanted;
    }
    const int lent = crew().lend(
        wanted, [this] { work(); },
        [this] {
            // The last thing a borrowed thread does with the pool: the pool
            // may end as soon as the mutex is free.
            const std::lock_guard<std::mutex> lock(mutex_);
            --running_;
            changed_.notify_all();
        });
    if (lent < wanted) {
        const std::lock_guard<std::mutex> lock(mutex_);
        threads_ = lent;
        running_ -= wanted - lent;
    }
}

WorkerPool::~WorkerPool()
{
    stop();
    wait_for_threads();
}

void WorkerPool::wait_for_threads()
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return running_ == 0; });
}

void WorkerPool::work()
{
    const CurrentPool here(this);
    for (;;) {
        if (stop_.load())
            break;
        const int k = next_.fetch_add(1);
        if (k >= count_)
            break;
        try {
            if (items_before_failure.load() >= 0 && items_before_failure.fetch_sub(1) == 0)
                throw std::bad_alloc();
            item_(k);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (!failure_)
                failure_ = std::current_exception();
            stop_.store(true);
            changed_.notify_all();
            break;
        }
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            done_[static_cast<std::size_t>(k)] = 1;
        }
        // The caller is woken for what it waits for, not for every item:
        // thousands of wake-ups would take a core from the workers.
        if (done_count_.fetch_add(1) + 1 == count_ || k == awaited_.load())
            changed_.notify_all();
    }
    // The last worker to leave wakes the caller even when no item ended.
    changed_.notify_all();
}

void WorkerPool::run_here(int k)
{
    const CurrentPool here(this);
    try {
        item_(k);
    } catch (...) {
        stop_.store(true);
        throw;
    }
    done_[static_cast<std::size_t>(k)] = 1;
    done_count_.fetch_add(1);
}

void WorkerPool::throw_failure()
{
    std::exception_ptr failure;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        failure = failure_;
        failure_ = nullptr;
    }
    if (failure)
        std::rethrow_exception(failure);
}

bool WorkerPool::wait_for(int k, std::chrono::milliseconds slice)
{
    if (k < 0 || k >= count_)
        return true;
    if (threads_ == 0) {
        while (!done_[static_cast<std::size_t>(k)] && !stop_.load()) {
            const int next = next_.fetch_add(1);
            if (next >= count_)
                break;
            run_here(next);
        }
        return done_[static_cast<std::size_t>(k)] != 0;
    }
    bool failed = false, ended = false;
    {
        awaited_.store(k);
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, slice, [&] { return done_[static_cast<std::size_t>(k)] != 0 || failure_; });
        failed = failure_ != nullptr;
        ended = done_[static_cast<std::size_t>(k)] != 0;
    }
    if (failed)
        finish();
    return ended;
}

bool WorkerPool::wait_all(std::chrono::milliseconds slice)
{
    if (threads_ == 0) {
        const int next = stop_.load() ? count_ : next_.fetch_add(1);
        if (next < count_)
            run_here(next);
        return stop_.load() || done_count_.load() == count_;
    }
    bool failed = false, ended = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, slice, [&] { return done_count_.load() == count_ || failure_ || stop_.load(); });
        failed = failure_ != nullptr;
        ended = done_count_.load() == count_ || stop_.load();
    }
    if (failed || ended)
        finish();
    return ended;
}

void WorkerPool::stop() { stop_.store(true); }

void WorkerPool::finish()
{
    stop();
    wait_for_threads();
    throw_failure();
}

bool run_parallel(int count, int threads, const std::function<void(int)>& item, const std::function<bool(int)>& poll,
                  std::chrono::milliseconds slice)
{
    WorkerPool pool(count, threads, item);
    while (!pool.wait_all(slice))
        if (poll && !poll(pool.done()))
            pool.stop();
    return pool.done() == std::max(count, 0);
}

bool inside_worker_pool() { return current_pool != nullptr; }

bool worker_should_continue() { return current_pool == nullptr || !current_pool->stopped(); }

void set_worker_failure_after(long long items) { items_before_failure.store(items < 0 ? -1 : items); }
