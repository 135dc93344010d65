#include "common/job_control.h"

#include "common/user_interface.h"

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

CommandMenuGuard::CommandMenuGuard() { ui().set_command_menu_state(false); }
CommandMenuGuard::~CommandMenuGuard() { ui().set_command_menu_state(true); }
