// The worker pool: the thread count the process may use, a failing item
// that stops the others and reaches the caller, nested requests on the
// calling thread, threads kept from one pool to the next, and a failed job
// that ends with a message.
#include <gtest/gtest.h>

#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "common/job_control.h"
#include "common/scripted_ui.h"
#include "common/worker_pool.h"

namespace {

TEST(WorkerPool, QuotaTextGivesItsCpusRoundedUp)
{
    const struct {
        const char* text;
        int cpus;
    } cases[] = {{"max 100000", 0},   {"100000 100000", 1}, {"150000 100000", 2}, {"50000 100000", 1},
                 {"400000 100000", 4}, {"", 0},              {"max", 0},           {"x 100000", 0},
                 {"100000 0", 0},     {"-1 100000", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(cpu_quota_count(c.text), c.cpus) << c.text;
}

// As under `taskset -c 0`: the process may use one CPU, so a pool of the
// available count runs every item on the calling thread.
TEST(WorkerPool, OneCpuOfTheAffinityMaskGivesOneWorker)
{
    cpu_set_t saved;
    ASSERT_EQ(sched_getaffinity(0, sizeof saved, &saved), 0);
    int first = 0;
    while (!CPU_ISSET(first, &saved))
        ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const int available = available_cpu_count();
    std::set<std::thread::id> threads;
    std::mutex mutex;
    run_parallel(50, available, [&](int) {
        const std::lock_guard<std::mutex> lock(mutex);
        threads.insert(std::this_thread::get_id());
    });
    ASSERT_EQ(sched_setaffinity(0, sizeof saved, &saved), 0);
    EXPECT_EQ(available, 1);
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_EQ(*threads.begin(), std::this_thread::get_id());
    EXPECT_GE(available_cpu_count(), 1);
}

// Item 0 throws while the others wait for the pool to stop: each worker
// leaves after its one item, and the caller gets the exception.
TEST(WorkerPool, FailingItemStopsTheOthersAndReachesTheCaller)
{
    for (int threads : {1, 4}) {
        std::atomic<int> started{0};
        const auto item = [&](int k) {
            ++started;
            if (k == 0)
                throw std::runtime_error("item failed");
            while (worker_should_continue())
                std::this_thread::yield();
        };
        EXPECT_THROW(run_parallel(1000, threads, item), std::runtime_error) << threads;
        EXPECT_LE(started.load(), threads) << threads;
    }
}

TEST(WorkerPool, NestedRequestRunsOnTheCallingWorker)
{
    std::atomic<int> elsewhere{0}, items{0};
    run_parallel(8, 4, [&](int) {
        const std::thread::id worker = std::this_thread::get_id();
        WorkerPool inner(10, 4, [&](int) {
            ++items;
            if (std::this_thread::get_id() != worker)
                ++elsewhere;
        });
        EXPECT_EQ(inner.threads(), 0);
        while (!inner.wait_all(std::chrono::milliseconds(20))) {
        }
    });
    EXPECT_EQ(items.load(), 80);
    EXPECT_EQ(elsewhere.load(), 0);
}

TEST(WorkerPool, ItemsReportedInOrderWhateverTheThreadCount)
{
    for (int threads : {1, 3}) {
        std::vector<int> value(200, 0);
        WorkerPool pool(200, threads, [&](int k) { value[static_cast<std::size_t>(k)] = k * k; });
        for (int k = 0; k < 200; ++k) {
            while (!pool.wait_for(k, std::chrono::milliseconds(20))) {
            }
            EXPECT_EQ(value[static_cast<std::size_t>(k)], k * k) << threads;
        }
        pool.finish();
    }
}

// The process's threads, from /proc.
int process_thread_count()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Threads:", 0) == 0)
            return std::stoi(line.substr(8));
    return -1;
}

// Pools one after another borrow the same threads: after the first, none
// is started (the kernel's thread ids of every item are among the threads
// the process already has), and every item still runs on a worker.
TEST(WorkerPool, PoolsInSuccessionStartNoFurtherThreads)
{
    std::atomic<int> items{0};
    EXPECT_TRUE(run_parallel(40, 4, [&](int) { ++items; }));
    const int threads = process_thread_count();
    ASSERT_GT(threads, 1);
    std::set<pid_t> ran_on;
    std::mutex mutex;
    for (int pool = 0; pool < 50; ++pool) {
        WorkerPool workers(40, 4, [&](int) {
            ++items;
            const std::lock_guard<std::mutex> lock(mutex);
            ran_on.insert(gettid());
        });
        EXPECT_EQ(workers.threads(), 4);
        while (!workers.wait_all(std::chrono::milliseconds(20))) {
        }
    }
    EXPECT_EQ(items.load(), 51 * 40);
    EXPECT_EQ(ran_on.count(gettid()), 0u);
    EXPECT_LE(static_cast<int>(ran_on.size()), threads - 1);
    EXPECT_EQ(process_thread_count(), threads);
}

TEST(WorkerPool, FailedJobEndsWithAMessageAndTheProgramGoesOn)
{
    ScriptedUserInterface scripted;
    install_user_interface(&scripted);
    scripted.open_progress("job");
    job_control().job_running = true;
    set_worker_failure_after(5);
    run_guarded([] { run_parallel(100, 4, [](int) {}); });
    set_worker_failure_after(-1);
    EXPECT_FALSE(job_control().job_running);
    EXPECT_FALSE(scripted.progress_open);
    ASSERT_EQ(scripted.answers.messages.size(), 1u);
    EXPECT_NE(scripted.answers.message_log().find("not enough memory"), std::string::npos)
        << scripted.answers.message_log();
    // The next job runs whole.
    std::atomic<int> items{0};
    EXPECT_TRUE(run_parallel(100, 4, [&](int) { ++items; }));
    EXPECT_EQ(items.load(), 100);
    install_user_interface(nullptr);
}

}  // namespace
