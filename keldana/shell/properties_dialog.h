// "Properties " (command 30028, and the "Property" button of the integration
// dialog): the active property that every later calculation evaluates, and
// through "Kinetic energy" the kinetic-energy approximation of the local
// energy densities.
#pragma once

#include <string>

class Dialog;
class QWidget;
struct PropertySelection;

// Runs the dialog modally.  OK makes the checked property active and first
// prepares what it needs: ESFED and EPOT the unit-cell cluster, they and a
// kinetic model other than 0 the spherical potential tables; the other
// properties return to the cluster in space.  When the cluster or the tables
// cannot be made the dialog stays open and nothing is changed.  Cancel
// changes nothing, the kinetic-energy choice included.
void run_property_selection_dialog(QWidget* owner = nullptr);

// Runs "Kinetic energy" over the kinetic model and the coefficients of
// `selection`; true on OK.  A coefficient that does not read as a number
// keeps the dialog open after the message.
bool run_kinetic_energy_dialog(PropertySelection& selection, QWidget* owner = nullptr);

// The radios of "Kinetic energy": the approximation enables both combo
// boxes, the two exchange models disable them.
void on_kinetic_energy_radio(Dialog& dialog, int control_id);

// The approximation as the Properties dialog names it.
std::string kinetic_approximation_text(const PropertySelection& selection);
