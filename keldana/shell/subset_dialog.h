// "Subset atoms" (command 30043): which atoms of the working set take part in
// the calculations and the viewer (subset_mask of WorkingAtomSet, 1 =
// active).
#pragma once

#include <string>

class Dialog;
class QWidget;

// Runs the dialog modally over current_model(); OK takes the masks of the
// list, Cancel keeps the old ones.
void run_subset_atoms_dialog(QWidget* owner = nullptr);

// A line of the list: (I3,2X,A8,2X,I2,2X,3F8.4) with the atom's number,
// label, mask and fractional coordinates.
std::string subset_list_line(int atom, int mask);
