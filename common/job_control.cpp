#include "common/job_control.h"

#include "common/user_interface.h"

#include <exception>
#include <new>
#include <string>

bool pump_and_check_stop()
{
    ui().pump_events();
    return job_control().stop_requested;
}

bool pump_and_check_job()
{
    ui().pump_events();
    return job_control().job_running;
}

JobScope::JobScope()
{
    if (job_control().job_active)
        return;
    job_control().job_active = started_ = true;
    ++job_control().job_number;
    ui().job_state_changed(true);
}

JobScope::~JobScope()
{
    if (!started_)
        return;
    job_control().job_active = false;
    ui().job_state_changed(false);
}

bool job_in_progress() { return job_control().job_active; }

CommandMenuGuard::CommandMenuGuard() { ui().set_command_menu_state(false); }
CommandMenuGuard::~CommandMenuGuard() { ui().set_command_menu_state(true); }

void run_guarded(const std::function<void()>& action)
{
    std::string reason;
    try {
        action();
        return;
    } catch (const std::bad_alloc&) {
        reason = "not enough memory";
    } catch (const std::exception& e) {
        reason = e.what();
    } catch (...) {
        reason = "unknown error";
    }
    JobControl& job = job_control();
    job.job_running = false;
    ui().close_progress();
    ui().message_box("The calculation failed (" + reason + "); its results are not kept.", "Error!",
                     MessageButtons::ok, MessageIcon::error);
}
