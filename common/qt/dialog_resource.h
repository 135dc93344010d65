// Dialog templates as tables: the Linux counterpart of the dialogs of a
// Windows resource script.  Positions and sizes are dialog units (1 horizontal
// unit = 1/4 of the dialog font's average character width, 1 vertical unit =
// 1/8 of its height), so a table reads like the .rc it replaces.
#pragma once

#include <vector>

enum class ControlKind {
    static_text,
    edit,
    multiline_edit,
    read_only_edit,
    button,
    default_button,
    check_box,
    radio_button,
    group_box,
    list_box,
    combo_box,     // a drop-down list; CONTROL_EDITABLE makes it a drop-down combo
    progress_bar,
    tab_control,
    etched_line,
    icon,
    up_down,       // its buddy is the control just before it in the table
};

// Control flags (combine with |).
constexpr unsigned CONTROL_DISABLED = 1u << 0;
// Starts a new group: radio buttons are exclusive within a group, which runs
// up to the next control carrying this flag.
constexpr unsigned CONTROL_GROUP = 1u << 1;
constexpr unsigned CONTROL_CHECKED = 1u << 2;       // check box or radio initially on
constexpr unsigned CONTROL_PUSH_LIKE = 1u << 3;     // check box or radio drawn as a button
constexpr unsigned CONTROL_MULTI_SELECT = 1u << 4;  // list box: clicks toggle items
constexpr unsigned CONTROL_EDITABLE = 1u << 5;      // combo box with an edit field

// Id of controls nobody addresses (labels, frames).
constexpr int CONTROL_STATIC_ID = -1;

struct ControlResource {
    int id;
    ControlKind kind;
    const char* text;
    int x, y, w, h;
    unsigned flags = 0;
};

struct DialogResource {
    int id;
    const char* caption;  // nullptr for a page shown inside a tab control
    int w, h;
    std::vector<ControlResource> controls;
    const char* font_face = nullptr;  // nullptr: the application font
    int font_points = 0;
};
