// The user interface of Keldana's main window: Qt dialogs for the questions,
// the main window for the window updates a calculation triggers.
#pragma once

#include "common/qt/qt_user_interface.h"

class MainWindow;

class ShellUserInterface : public QtUserInterface {
public:
    explicit ShellUserInterface(MainWindow* window) : window_(window) {}

    void text_pane_changed() override;
    void text_pane_reset() override;
    void set_window_caption(const std::string& caption) override;
    void set_command_menu_state(bool enable) override;
    void enable_command(int command_id, bool enable) override;
    void reset_stop_request(bool enable) override;
    void redraw_viewer() override;
    void job_state_changed(bool running) override;

private:
    MainWindow* window_;
};
