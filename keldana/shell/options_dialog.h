// "Options" (command 30045): the stored settings.  Tab "Default parameters"
// holds the calculation settings and the kinetic-energy coefficients, tab
// "Accessories" the working directory, the wavefunction bank, the text
// pane's font and the covariance converter.  "Set as defaults" stores them
// and makes them the settings of the run; Cancel changes nothing.
#pragma once

class Dialog;
class QWidget;

// Runs the dialog modally.  While it runs, file dialogs do not move the
// working directory.  A box that does not read as a number keeps the
// dialog open after the message, with its tab shown.
void run_options_dialog(QWidget* owner = nullptr);

// The command: the dialog with the busy counter raised, then the
// wavefunction bank read again when it was loaded.
void run_options_command(QWidget* owner = nullptr);
