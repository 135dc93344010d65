// "Property along a Line" (command 30021): a dialog without owner, so the
// main window keeps working while it is open.  The user picks two points
// (atoms of the subset or typed coordinates) and a number of points; "Start"
// reports the active property along the line and draws it against the
// distance, "STOP" ends the run at its next point, "Refresh" zooms the plot
// to a range of point numbers and values.  Menu item 30021 and its button are
// greyed while the dialog is open.
#pragma once

#include <functional>

class Dialog;
class QWidget;

// Opens the dialog and returns at once; when it is open already it is brought
// to the front.
void open_line_profile_dialog(QWidget* owner = nullptr);

// The open dialog, or nullptr.
Dialog* line_profile_dialog();

// Greys Property, K, L, M and (unless its own profile runs) Start while a
// job runs.
void set_line_profile_job_state(bool running);

// The "Properties" dialog that the "Property" button runs; until the shell
// installs one the button only refreshes the property's name and K, L, M.
void set_line_profile_property_dialog(std::function<void(QWidget* owner)> run);
