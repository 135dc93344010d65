// Job control of the windowed programs: the stop flag of the toolbar's STOP
// button, the busy counter that blocks Exit, and the flag of a job with a
// progress dialog, cleared by its confirmed Cancel.
#pragma once

struct JobControl {
    bool stop_requested = false;
    int busy_count = 0;
    bool job_running = false;
    bool progress_open = false;
    int last_answer = 0;
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

// Keeps the command menus greyed for the lifetime of a job and restores them
// however the job ends.
class CommandMenuGuard {
public:
    CommandMenuGuard();
    ~CommandMenuGuard();
    CommandMenuGuard(const CommandMenuGuard&) = delete;
    CommandMenuGuard& operator=(const CommandMenuGuard&) = delete;
};
