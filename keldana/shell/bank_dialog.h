// "Wavefunctions Bank" (command 30087): the wavefunction bank of the run,
// not stored in the settings; and the reading of the bank again after its
// path changed.
#pragma once

class Dialog;
class QWidget;

#include <string>

// The bank shown as "Current bank": the file of the bank in use, else the
// path of the settings, else the default bank in the start-up directory.
std::string current_bank_path();

// Why the text of a bank box is refused when its dialog closes, for the
// user; empty when it names a readable file, is blank (the default bank) or
// is what the box showed (`shown`, not the user's to mend).
std::string bank_path_refusal(const std::string& text, const std::string& shown);

// The bank path to keep after a dialog showed `shown` and the user left
// `text` in the box: an unchanged box keeps the settings' path as it was
// (blank stays blank: the default bank).
std::string bank_path_from_box(const std::string& text, const std::string& shown);

// Runs the dialog modally; OK sets wavefun_bank_path of PathSettings to the
// box and returns true; a box naming no readable file is refused with a
// message and the dialog stays open.  Cancel changes nothing.
bool run_wavefunction_bank_dialog(QWidget* owner = nullptr);

// "..." of the dialog: a bank chosen in the start-up directory goes into the
// box; the working directory is kept.
void on_browse_wavefunction_bank(Dialog& dialog);

// The bank read again from the settings' path, its radial tables built;
// spherical potential tables already built are built again from it.  A bank
// that cannot be read has shown its message, leaves the working bank and its
// tables as they were, and gives false.
bool reload_wavefunction_bank();

// The command: the dialog with the busy counter raised, then the bank read
// again when the user pressed OK.
void run_change_wavefunction_bank_command(QWidget* owner = nullptr);
