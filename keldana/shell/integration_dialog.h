// The "Integration of the Property" dialog (command 30157): the user picks
// atoms of the asymmetric unit and computes their interatomic surfaces, or
// integrates the active property or the volume over their basins.
#pragma once

#include "keldana/topology/basin_integration.h"

#include <functional>

class Dialog;
class QWidget;

// Runs the dialog modally.  The command menus are greyed and rCut of
// CalculationSettings is kept while it is open and restored when it closes;
// the surface search's critical points are dropped then (the user's search
// results are never touched).
void run_integration_dialog(QWidget* owner = nullptr);

// The "Properties" dialog that the "Property" button runs; until the shell
// installs one the button only refreshes the "PROP" caption.
void set_integration_property_dialog(std::function<void(QWidget* owner)> run);

// Fills the dialog as it opens.
void prepare_integration_dialog(Dialog& dialog);

// Reads the boxes of "Start" into a request (atoms and mode included); false
// with the box message when a box does not hold a usable number or a count
// the surface grid or the quadrature rules cannot take.  The step factor is
// clamped to 0.0001..0.1.
bool read_integration_request(Dialog& dialog, BasinJobRequest& request);
