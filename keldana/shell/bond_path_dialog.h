// The "Compute a Bond Path in total density" dialog (command 30024): asks for
// a critical-point number and traces the bond path of a (3,-1) point of the
// density.
#pragma once

class QWidget;

void run_bond_path_dialog(QWidget* owner = nullptr);
