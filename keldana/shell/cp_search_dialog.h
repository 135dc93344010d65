// The "Critical Point Search" dialog (command 30018): atom list, property and
// derivative settings, and the four search modes on tab pages; Start Search
// runs a search and may be pressed any number of times until Cancel.
#pragma once

class QWidget;

// Runs the dialog.  The command menus stay greyed while it is open (STOP,
// Help and About stay usable); when it ends with points in the list the
// bond-path command is enabled.  Nothing is shown when the wavefunction bank
// can not be read.
void run_critical_point_search_dialog(QWidget* owner = nullptr);

// True while a search started from the dialog runs.
bool critical_point_search_running();

// Greys the open dialog's settings and Start while a job runs; Cancel stays.
void set_critical_point_search_job_state(bool running);
