// Worker threads for the surface rays, the basin integrals and the gradient
// trajectories.  The work is split into numbered rows whose results go to
// the caller's arrays by row, so every thread count gives the same values in
// the same order.  Workers never touch the windows, the listing or the job
// flags: the calling (main) thread waits, and at most every 20 ms reports
// progress and asks whether to go on.
#pragma once

#include "keldana/density/property_evaluation.h"

#include <atomic>
#include <functional>

// Holds the evaluator's prepared model (made on the main thread) while
// workers evaluate.
struct PreparedModelHold {
    PreparedModelHold() { hold_prepared_density_model(); }
    ~PreparedModelHold() { release_prepared_density_model(); }
    PreparedModelHold(const PreparedModelHold&) = delete;
    PreparedModelHold& operator=(const PreparedModelHold&) = delete;
};

// Threads a parallel job uses: the setting of set_worker_thread_count, by
// default the CPUs the process may run on.
int worker_thread_count();

// n < 1 restores the default.
void set_worker_thread_count(int n);

// What a row sees of the job: whether to go on.  Workers read the stop flag
// the main thread raises; a row run on the main thread itself (no workers)
// polls the windows here, at most every 20 ms.
class RowControl {
public:
    bool keep_going();

private:
    friend bool run_rows(int, int, const std::function<void(int, RowControl&)>&, const std::function<bool(int)>&);
    const std::atomic<bool>* stop_ = nullptr;
    const std::function<bool(int)>* poll_ = nullptr;
    const std::atomic<int>* done_ = nullptr;
    long long last_poll_ = 0;
    bool stopped_ = false;
};

// Runs row(k, control) for k = 0..count-1 on `threads` workers (0: on the
// calling thread, for evaluations that are not re-entrant) of the worker
// pool.  A row's exception ends the others and reaches the caller.  The calling
// thread calls poll(rows done) once before the first row and then at most
// every 20 ms; when it returns false the
// workers stop at their next check and run_rows returns false.  A row that
// stops part-way leaves its results incomplete: use them only after true.
bool run_rows(int count, int threads, const std::function<void(int, RowControl&)>& row,
              const std::function<bool(int)>& poll);
