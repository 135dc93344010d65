// Job control of the windowed programs: the stop flag of the toolbar's STOP
// button, the busy counter that blocks Exit, and the flag of a job with a
// progress dialog, cleared by its confirmed Cancel.
#pragma once

#include <functional>

struct JobControl {
    bool stop_requested = false;
    int busy_count = 0;
    bool job_running = false;
    bool progress_open = false;
    int last_answer = 0;
    bool job_active = false;  // a JobScope is held
    unsigned job_number = 0;  // of the last job started
};

JobControl& job_control();

// Keeps busy_count raised for the lifetime of a command, whatever way it ends.
class BusyScope {
public:
    BusyScope() { ++job_control().busy_count; }
    ~BusyScope() { --job_control().busy_count; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
};

// Pump A, between steps of a search that the toolbar's STOP ends: lets the
// windows run and returns true when the user asked to stop.
bool pump_and_check_stop();

// Pump B, between steps of a job with a progress dialog: lets the windows
// run and returns true while the job may go on (Cancel not confirmed).
bool pump_and_check_job();

// One job at a time.  What starts a job (a command, a window's Start) holds
// a JobScope while it runs: the user interface greys every command and
// control that could change the model, the settings or the active property
// (STOP and Cancel stay live), and a second job asked for meanwhile is
// refused: its scope is not started().
class JobScope {
public:
    JobScope();
    ~JobScope();
    JobScope(const JobScope&) = delete;
    JobScope& operator=(const JobScope&) = delete;
    bool started() const { return started_; }

private:
    bool started_ = false;
};

bool job_in_progress();

// Keeps the command menus greyed for the lifetime of a job and restores them
// however the job ends.
class CommandMenuGuard {
public:
    CommandMenuGuard();
    ~CommandMenuGuard();
    CommandMenuGuard(const CommandMenuGuard&) = delete;
    CommandMenuGuard& operator=(const CommandMenuGuard&) = delete;
};

// Runs a command or a control's callback.  A job that fails with an
// exception (a worker out of memory, say) ends there: the files it was
// writing are given up as their guards unwind, the progress dialog closes,
// a message says what failed, and the program goes on.
void run_guarded(const std::function<void()>& action);
