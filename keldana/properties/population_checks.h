// Numerical checks of the atomic populations: for every distinct atom type
// of the working set, the spherical core and valence densities of its bank
// functions are integrated over a radial grid and the two electron counts
// are reported.
#pragma once

#include <vector>

inline constexpr int POPULATION_CHECK_POINTS = 1001;
inline constexpr double CORE_RADIAL_STEP = 0.005;     // Angstrom
inline constexpr double VALENCE_RADIAL_STEP = 0.01;   // Angstrom

// Composite Simpson rule over n equally spaced values (values[0..n-1]) with
// spacing h; meant for odd n.
double integrate_simpson(const std::vector<double>& values, int n, double h);

// Electrons of one electron set (1 core, 2 valence) of the spherical density
// of the atom's type: 4 pi times the Simpson integral of rho(r) r^2 over
// r = h, 2h, .., 1001 h.
double integrate_atomic_density_set(int set, int atom, double h);

// Reports the core and valence electrons of every distinct type of the
// current model's radial tables.
void check_atomic_density_integrals();

// "Check atomic populations": reads the wavefunction bank and tabulates it
// first when it is not loaded, ends quietly when it still is not (the bank
// reader has said why), then checks.
void check_atomic_populations();
