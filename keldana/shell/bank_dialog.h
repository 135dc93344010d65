// "Wavefunctions Bank" (command 30087): the wavefunction bank of the run,
// not stored in the settings; and the reading of the bank again after its
// path changed.
#pragma once

class Dialog;
class QWidget;

// Runs the dialog modally; OK sets wavefun_bank_path of PathSettings to the
// box and returns true.  Cancel changes nothing.
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
