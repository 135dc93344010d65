#include "keldana/shell/shell_user_interface.h"

#include "keldana/model/report_output.h"
#include "keldana/shell/main_window.h"
#include "keldana/shell/text_pane.h"
#include "keldana/viewer/viewer_window.h"

void ShellUserInterface::text_pane_changed() { window_->text_pane()->lines_changed(); }
void ShellUserInterface::text_pane_reset() { window_->text_pane()->lines_reset(); }

void ShellUserInterface::set_window_caption(const std::string& caption)
{
    window_->setWindowTitle(QString::fromStdString(caption));
}

// A job ends by giving the commands back (and a search by greying STOP):
// what it wrote reaches the listing file then.
void ShellUserInterface::set_command_menu_state(bool enable)
{
    window_->set_command_menu_state(enable);
    if (enable)
        flush_listing();
}
void ShellUserInterface::enable_command(int command_id, bool enable) { window_->enable_command(command_id, enable); }
void ShellUserInterface::reset_stop_request(bool enable)
{
    window_->reset_stop_request(enable);
    if (!enable)
        flush_listing();
}
void ShellUserInterface::redraw_viewer() { redraw_open_viewer(); }
void ShellUserInterface::job_state_changed(bool running) { window_->set_job_state(running); }
