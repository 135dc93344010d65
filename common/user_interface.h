// What the numerical code and the shell may ask of the user and of the window
// system: message boxes, the file dialog, font and colour pickers, child
// processes, the progress dialog, event pumping and the few window updates a
// calculation triggers.  The GUI installs a Qt implementation; tests install
// ScriptedUserInterface, which answers from queues and records what was shown.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class MessageButtons { ok, ok_cancel, yes_no, yes_no_cancel };
enum class MessageIcon { none, information, warning, error, question };
enum class MessageAnswer { ok, cancel, yes, no };

struct FileFilter {
    std::string description;  // e.g. "Bitmap (*.bmp)"
    std::string pattern;      // e.g. "*.bmp"
};

struct FileDialogRequest {
    bool save = false;
    std::string title;        // "Open file" / "Save file"
    std::string description;  // e.g. "Keldana input file (*.kdn)"
    std::string pattern;      // e.g. "*.kdn" or "*.inp;*.res"
    std::string initial_dir;  // working directory
    std::string initial_name; // proposed name or last path
    std::string default_extension;  // "kdn" in save mode
    std::vector<FileFilter> more_filters;  // offered after the first
    bool all_files = true;                 // "All files (*.*)" offered last
    bool executables_only = false;         // the first filter lists executable files only
};

// path with ".extension" added when its file name has no extension.
std::string add_default_extension(const std::string& path, const std::string& extension);
// The extension of the file type chosen in a save dialog: the first pattern
// of filter `filter_index` (0 the request's own, then more_filters), or
// default_extension for a filter of all files or one past the list.
std::string chosen_type_extension(const FileDialogRequest& request, int filter_index);
// The name a save dialog returns: the chosen type's extension is added when
// the typed name has none, as desktop programs do.
std::string saved_file_name(const std::string& path, const FileDialogRequest& request, int filter_index);

// A font as the settings store it (the fields the programs keep).
struct FontChoice {
    std::string face_name;
    int height = 0;  // pixels; negative = character height as in a LOGFONT
    int width = 0;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strike_out = false;
    unsigned colour = 0;  // 0x00BBGGRR
};

struct ProcessResult {
    bool started = false;
    int exit_code = -1;  // valid when started and waited for
    // What the program wrote to its standard error (its first 4 KB), kept
    // when it was waited for: a failing helper's own reason for the user.
    std::string error_output;
};

class UserInterface {
public:
    virtual ~UserInterface() = default;

    virtual MessageAnswer message_box(const std::string& text, const std::string& caption,
                                      MessageButtons buttons, MessageIcon icon) = 0;
    // The chosen full path, or nothing when cancelled.
    virtual std::optional<std::string> file_dialog(const FileDialogRequest& request) = 0;
    virtual bool choose_font(FontChoice& font) = 0;
    virtual bool choose_colour(unsigned& colour) = 0;
    // Starts program with args (each one argument, no shell) in working_dir;
    // waits for its end when wait is true.
    virtual ProcessResult run_process(const std::string& program, const std::vector<std::string>& args,
                                      const std::string& working_dir, bool wait) = 0;

    // The progress dialog of long jobs.  Cancel confirmed by the user clears
    // job_running of JobControl.
    virtual void open_progress(const std::string& title) = 0;
    virtual void set_progress(int percent) = 0;
    virtual void set_progress_line(int line, const std::string& text) = 0;  // line 1..3
    virtual void close_progress() = 0;

    // Lets the windows run between steps of a long job.
    virtual void pump_events() = 0;

    // Window updates a calculation triggers.
    virtual void text_pane_changed() = 0;  // new report lines: repaint
    virtual void text_pane_reset() = 0;    // the line store was emptied
    virtual void set_window_caption(const std::string& caption) = 0;
    virtual void set_command_menu_state(bool enable) = 0;
    virtual void enable_command(int command_id, bool enable) = 0;
    virtual void reset_stop_request(bool enable) = 0;
    virtual void redraw_viewer() = 0;
};

// The interface in use; a console fallback (messages to stderr, default
// answers) until one is installed.
UserInterface& ui();
void install_user_interface(UserInterface* implementation);  // nullptr restores the fallback
