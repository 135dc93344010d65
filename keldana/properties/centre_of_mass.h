// The mass-weighted centre of the active atoms: the origin of the molecular
// moments, also prepared when a kinetic-energy model is first chosen.
#pragma once

#include "keldana/model/model_store.h"

#include <array>

struct CentreOfMass {
    std::array<double, 3> centre{};  // Cartesian, Angstrom
};

// The program's centre, written by compute_centre_of_mass().
CentreOfMass& centre_of_mass();

// sum(m r) / sum(m) over the atoms with a non-zero subset_mask, m the atomic
// mass of the atom's type.  Without active atoms or mass the centre is the
// origin, so no report ever shows a NaN.
CentreOfMass compute_centre_of_mass(const StructureModel& model);

// centre_of_mass() := the centre of current_model().
void compute_centre_of_mass();
