// Resource dialogs driven by control id: a dialog is built from a
// DialogResource, its controls are read and written as text (or integer,
// checked state, list entries) by id, and callbacks bound to ids run when the
// user acts on a control.  Setting a control from code never runs a callback;
// the user_* operations act as the user would and do (the end-to-end driver
// uses them).
//
// Buttons 1 (OK) and 2 (Cancel) end the dialog with their id unless a
// callback is bound to them; the window's close box and Escape act as 2.
// List, combo and tab indices count from 0; -1 means none.
#pragma once

#include "common/qt/dialog_resource.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QDialog;
class QWidget;

enum class ControlEvent {
    clicked,            // button, check box, radio
    text_changed,       // edit, multi-line edit, editable combo
    selection_changed,  // list box, combo box, tab control
    position_changed,   // up-down
};

class Dialog;
using ControlCallback = std::function<void(Dialog& dialog, int control_id, ControlEvent event)>;
using InitCallback = std::function<void(Dialog& dialog)>;

struct DialogState;

class Dialog {
public:
    Dialog();
    explicit Dialog(const DialogResource& resource, QWidget* parent = nullptr);
    ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Builds the window and its controls (hidden).  Any earlier window of this
    // object is released first.
    bool init(const DialogResource& resource, QWidget* parent = nullptr);
    // Destroys the window; embedded pages are detached, not destroyed.
    void release();
    bool is_initialised() const;
    int get_resource_id() const;
    QDialog* window() const;
    QWidget* get_control_widget(int id) const;
    bool has_control(int id) const;

    // Values.  Each returns false when the id is unknown or the control does
    // not hold that kind of value.
    bool set_text(int id, const std::string& text);
    std::string get_text(int id) const;  // list box: the selected item
    bool set_int(int id, int value);
    bool get_int(int id, int& value) const;  // false on unreadable text; value kept
    // The first `width` characters of a box as one number in free form (a
    // list-directed read).  False, value kept, when they are blank, do not
    // read, (reals) are not finite, or more is typed after them.
    bool get_number(int id, double& value, size_t width = std::string::npos) const;
    bool get_number(int id, int& value, size_t width = std::string::npos) const;
    bool set_checked(int id, bool checked);
    bool get_checked(int id) const;
    bool set_enabled(int id, bool enabled);
    bool is_enabled(int id) const;
    bool set_focus(int id);
    int get_focus() const;  // id of the control holding the focus, 0 when none

    // List boxes and combo boxes.
    bool clear_items(int id);
    bool add_item(int id, const std::string& text);
    int get_item_count(int id) const;
    std::string get_item_text(int id, int index) const;
    bool set_item_text(int id, int index, const std::string& text);
    int get_selected_index(int id) const;
    bool set_selected_index(int id, int index);
    bool is_item_selected(int id, int index) const;  // multi-select list boxes
    bool set_item_selected(int id, int index, bool selected);

    // Progress bars and up-downs.
    bool set_range(int id, int low, int high);
    bool set_position(int id, int position);
    int get_position(int id) const;

    // Tab controls: pages are Dialogs of their own (their controls keep their
    // ids inside the page).
    bool add_tab_page(int tab_id, const std::string& label, Dialog& page);
    bool select_tab(int tab_id, int index);
    int get_selected_tab(int tab_id) const;
    Dialog* get_tab_page(int tab_id, int index) const;
    Dialog* get_page(int resource_id) const;  // an embedded page by its resource id

    bool set_callback(int id, ControlCallback callback);  // false for an unknown id
    void set_init_callback(InitCallback callback);  // runs when the dialog opens

    // Runs the dialog modally; returns the end code.
    int run_modal();
    void show_modeless();
    void end(int code);  // closes the dialog; run_modal returns code
    bool is_open() const;
    int get_end_code() const;

    // As the user: each refuses a disabled control and runs the callbacks.
    bool user_set_text(int id, const std::string& text);
    bool user_click(int id);
    bool user_set_checked(int id, bool checked);
    bool user_select(int id, int index);  // multi-select list: adds index
    bool user_step(int id, int delta);    // up-down arrows

    // Used by the window and the control signals.
    void handle_user_event(int id, ControlEvent event);
    void handle_cancel_request();

private:
    friend Dialog* topmost_dialog();
    std::unique_ptr<DialogState> state_;
};

// Text without the blanks (spaces and tabs) around it.
std::string trimmed(const std::string& text);

// The message of a box that does not read ("Error!", warning); the focus then
// goes back to the box `id` (0: the focus stays where it is).
void report_unreadable_box(Dialog& dialog, int id,
                           const std::string& text = "Can not read data. Please, check data in boxes");

// A number box held to low..high: a value outside them is replaced, in the
// box too, by the limit it is held to, so that what is used is what shows.
// False, value kept, when the box does not read.
bool hold_box_to_limits(Dialog& dialog, int id, int low, int high, int& value);
bool hold_box_to_limits(Dialog& dialog, int id, double low, double high, double& value);

// Every initialised Dialog, oldest first (embedded pages included).
std::vector<Dialog*> live_dialogs();
// The open dialog opened last (a modal one, or a modeless one opened while it
// runs); pages are never topmost.  nullptr when no dialog is open.
Dialog* topmost_dialog();
// The newest live dialog built from the resource id, or nullptr.
Dialog* find_live_dialog(int resource_id);
