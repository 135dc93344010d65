// Answers for the modal questions of a run without a user: message boxes,
// file dialogs, font and colour pickers take their answers from queues, and
// everything shown is recorded so that tests can check it.
#pragma once

#include "common/user_interface.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

struct ShownMessage {
    std::string text;
    std::string caption;
    MessageButtons buttons;
    MessageIcon icon;
    MessageAnswer answer;
};

class ScriptedAnswers {
public:
    // Queued answers; an empty queue gives the first button (ok / yes) for a
    // message box and Cancel for the file dialog and the pickers.
    std::deque<MessageAnswer> message_answers;
    std::deque<std::optional<std::string>> file_answers;  // nullopt = Cancel
    // The file type chosen in the next save dialog (index of its filters,
    // from 0); an empty queue keeps the first.  A name without an extension
    // takes that type's, as in the real dialog.
    std::deque<int> filter_answers;
    // A save dialog asks before it returns a file that exists, as the real
    // one does: true replaces it, false goes back to the dialog, which then
    // takes the next file answer.  An empty queue replaces.
    std::deque<bool> overwrite_answers;
    std::deque<std::optional<FontChoice>> font_answers;
    std::deque<std::optional<unsigned>> colour_answers;

    // What was shown.
    std::vector<ShownMessage> messages;
    std::vector<FileDialogRequest> file_requests;
    std::vector<std::string> overwrite_questions;  // the existing files asked about

    MessageAnswer answer_message(const std::string& text, const std::string& caption,
                                 MessageButtons buttons, MessageIcon icon);
    std::optional<std::string> answer_file(const FileDialogRequest& request);
    bool answer_font(FontChoice& font);
    bool answer_colour(unsigned& colour);

    // Texts of all messages shown so far, one per line.
    std::string message_log() const;
};

// A user interface for tests of the numerical code: modal questions answered
// by ScriptedAnswers, window updates counted, processes really started, and
// an optional hook run at every pump (to press STOP or Cancel mid-job).
class ScriptedUserInterface : public UserInterface {
public:
    ScriptedAnswers answers;
    std::function<void()> on_pump;
    int pump_count = 0;
    int pane_changes = 0;
    int pane_resets = 0;
    std::string caption;
    std::vector<std::string> progress_titles;
    int last_percent = 0;
    bool progress_open = false;
    int command_menu_state = -1;  // -1 never set, 0 greyed, 1 enabled
    std::vector<std::pair<int, bool>> enabled_commands;
    int viewer_redraws = 0;

    MessageAnswer message_box(const std::string& text, const std::string& caption,
                              MessageButtons buttons, MessageIcon icon) override;
    std::optional<std::string> file_dialog(const FileDialogRequest& request) override;
    bool choose_font(FontChoice& font) override;
    bool choose_colour(unsigned& colour) override;
    ProcessResult run_process(const std::string& program, const std::vector<std::string>& args,
                              const std::string& working_dir, bool wait) override;
    void open_progress(const std::string& title) override;
    void set_progress(int percent) override;
    void set_progress_line(int line, const std::string& text) override;
    void close_progress() override;
    void pump_events() override;
    void text_pane_changed() override;
    void text_pane_reset() override;
    void set_window_caption(const std::string& text) override;
    void set_command_menu_state(bool enable) override;
    void enable_command(int command_id, bool enable) override;
    void reset_stop_request(bool enable) override;
    void redraw_viewer() override;
};

// Installs a ScriptedUserInterface for the lifetime of a test.
class ScopedScriptedUi {
public:
    ScopedScriptedUi() { install_user_interface(&ui_); }
    ~ScopedScriptedUi() { install_user_interface(nullptr); }
    ScriptedUserInterface* operator->() { return &ui_; }
    ScriptedUserInterface& get() { return ui_; }

private:
    ScriptedUserInterface ui_;
};

// Starts a program without a shell (each argument passed as one), optionally
// waiting for it; used by every implementation of run_process.
ProcessResult run_child_process(const std::string& program, const std::vector<std::string>& args,
                                const std::string& working_dir, bool wait);
