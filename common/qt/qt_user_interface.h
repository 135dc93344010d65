// The user interface of the windowed programs on Qt: message boxes, the file
// dialog, font and colour pickers, child processes and the progress dialog.
// The window updates are no-ops here; the main window's subclass overrides
// them.  With a script set, the modal questions are answered by it instead
// (the end-to-end driver runs the real main window that way).
#pragma once

#include "common/qt/dialog.h"
#include "common/user_interface.h"

#include <QColor>
#include <QFont>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <array>
#include <chrono>
#include <memory>
#include <string>

class ScriptedAnswers;

// The wait cursor while the scope lasts (it goes back on every way out).
class ScopedWaitCursor {
public:
    ScopedWaitCursor();
    ~ScopedWaitCursor();
    ScopedWaitCursor(const ScopedWaitCursor&) = delete;
    ScopedWaitCursor& operator=(const ScopedWaitCursor&) = delete;
};

// The progress dialog of long jobs.
constexpr int PROGRESS_DIALOG_ID = 119;
constexpr int PROGRESS_BAR_ID = 1167;
constexpr int PROGRESS_TITLE_ID = 1168;
constexpr int PROGRESS_PERCENT_ID = 1169;
constexpr int PROGRESS_FIRST_LINE_ID = 1170;  // lines 1..3 are 1170..1172
const DialogResource& progress_dialog_resource();

// File dialog filters: a Windows pattern list ("*.inp;*.res") as Qt's
// space-separated list ("*.inp *.res"); "*.*" matches every file.
std::string convert_file_pattern(const std::string& windows_pattern);
// The filters of the file dialog: the caller's, its further ones and, unless
// switched off, "All files (*.*)".
std::string make_file_dialog_filter(const FileDialogRequest& request);

// Where the file dialog opens: a proposed name with a folder opens in that
// folder (when it exists) showing just the name.
struct InitialFile {
    std::string directory;
    std::string name;
};
InitialFile split_initial_file(const std::string& initial_dir, const std::string& initial_name);

// Colours are Windows colour values, 0x00BBGGRR.
QColor colour_from_colorref(unsigned colour);
unsigned colorref_from_colour(const QColor& colour);
// A stored font and its Qt counterpart (a negative height is the character
// height in pixels).
QFont font_from_choice(const FontChoice& choice);
FontChoice choice_from_font(const QFont& font, unsigned colour);

// Raises the progress dialog whenever another window of the program is
// activated while the job runs, so that a click on the dialog that started the
// job, the main window or the viewer never hides it.
class ProgressKeeper : public QObject {
public:
    explicit ProgressKeeper(QWidget* progress);
    ~ProgressKeeper() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void keep_above(QWidget* activated);
    QPointer<QWidget> progress_;
    QPointer<QWidget> starting_modal_;
};

class QtUserInterface : public UserInterface {
public:
    QtUserInterface();
    ~QtUserInterface() override;

    void set_script(ScriptedAnswers* script);  // nullptr: ask the user again
    ScriptedAnswers* get_script() const;
    Dialog* get_progress_dialog() const;  // nullptr when none is open

    MessageAnswer message_box(const std::string& text, const std::string& caption, MessageButtons buttons,
                              MessageIcon icon) override;
    std::optional<std::string> file_dialog(const FileDialogRequest& request) override;
    bool choose_font(FontChoice& font) override;
    bool choose_colour(unsigned& colour) override;
    ProcessResult run_process(const std::string& program, const std::vector<std::string>& args,
                              const std::string& working_dir, bool wait) override;

    void open_progress(const std::string& title) override;
    void set_progress(int percent) override;
    void set_progress_line(int line, const std::string& text) override;
    void close_progress() override;

    // Lets the windows run at most every UPDATE_INTERVAL: a job calls it per
    // step, far more often than anyone can see or click.
    void pump_events() override;
    static constexpr std::chrono::milliseconds UPDATE_INTERVAL{20};

    void text_pane_changed() override;
    void text_pane_reset() override;
    void set_window_caption(const std::string& caption) override;
    void set_command_menu_state(bool enable) override;
    void enable_command(int command_id, bool enable) override;
    void reset_stop_request(bool enable) override;
    void redraw_viewer() override;

private:
    using Clock = std::chrono::steady_clock;
    // A text of the progress dialog (the percent and the three lines): shown
    // at once when it was last shown long enough ago, else kept until the
    // next pump.
    struct ProgressField {
        std::string text;
        bool pending = false;
        Clock::time_point next_show{};
    };
    void on_progress_cancel(Dialog& dialog);
    void show_progress_field(int index, Clock::time_point now);
    void set_progress_field(int index, std::string text);
    void show_pending_progress();

    ScriptedAnswers* script_ = nullptr;
    std::unique_ptr<Dialog> progress_;
    std::unique_ptr<ProgressKeeper> progress_keeper_;
    std::array<ProgressField, 4> progress_fields_;  // percent, lines 1..3
    Clock::time_point next_pump_{};
    QWidget* question_owner_ = nullptr;  // the window a question belongs to, when not the active one
};
