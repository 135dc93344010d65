// Local energy densities (property codes 30..43): functions of the total
// density rho, its gradient norm g and its Laplacian L at a point, in atomic
// units (hartree/bohr^3 for the energy densities).  The kinetic energy
// density G follows kinetic_model of PropertySelection: 0 the gradient
// expansion tF + elambda g^2 / rho + coeff L (floored at 1e-9), 1 and 2 the
// local virial L / 4 - (ex + rho S) / 2 with the Becke 1988 or Lee-Zhou 1991
// exchange ex and S the position-weighted potential gradient of the atoms.
#pragma once

#include "keldana/density/property_selection.h"

// Bohr radius powers that take e/Angstrom^3, e/Angstrom^4 and e/Angstrom^5 to
// atomic units.
inline constexpr double DENSITY_TO_AU = 0.14818453430073747;
inline constexpr double GRADIENT_TO_AU = 0.07841584731829784;
inline constexpr double LAPLACIAN_TO_AU = 0.04149586283114636;
inline constexpr double MIN_ENERGY_DENSITY = 1e-9;  // floor of rho and of the gradient-expansion G, au

// Code 30..43 from rho, g, L in atomic units (rho is floored at 1e-9 here)
// and S in atomic units (hartree/e; only read by the virial models).  0.0 for
// any other code.  LOL, the local temperature and the entropy take G floored
// at 1e-9, so a virial G that is not positive never reaches their division
// or logarithm.
double evaluate_energy_density_from_density(int code, double rho, double gradient_norm, double laplacian,
                                            double virial_sum, const PropertySelection& selection);

// Code 30..43 at the Cartesian point (Angstrom): rho from
// evaluate_property_at_point (code 3), g and L by central differences of it
// (compute_property_gradient_or_laplacian_numeric, modes 1 and 2), S from
// sum_position_dot_gradient when a virial model needs it.
double evaluate_energy_density_property(double x, double y, double z, int code);
// The same from rho, g and L (e/Angstrom^3, ^4, ^5) already taken at the
// point by those central differences.
double evaluate_energy_density_from_differences(double x, double y, double z, int code, double rho, double g,
                                                double laplacian);

// Sum over the active atoms of d . grad V_i at the point, d = point - atom,
// V_i the atom's electrostatic potential (e/Angstrom), each term the exact
// r dV_i/dr of evaluate_atom_position_dot_gradient: a central difference at
// the step dr would be off by dr^2/6 of the third derivative (4e-6 of the
// sum for the hydrogen atom at 0.5 bohr).  The result is in e/Angstrom.
double sum_position_dot_gradient(double x, double y, double z, int code);
