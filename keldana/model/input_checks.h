// Checks on the numbers of a model as read, made before anything is derived
// from them: every index is checked before it takes part in arithmetic, and a
// number no structure can have (a misprint, a hostile file) is refused rather
// than carried into the density.
#pragma once

#include "keldana/model/model_store.h"

#include <string>

// Coordinates and cell lengths beyond this many Angstrom are no structure.
inline constexpr double MAX_MODEL_LENGTH = 1.0e6;
// Bounds of the pseudoatom numbers: populations (electrons), radial
// exponents (1/bohr or 1/Angstrom), expansion factors and powers of r.
inline constexpr double MAX_POPULATION = 1000.0;
inline constexpr double MAX_RADIAL_EXPONENT = 1000.0;
inline constexpr double MAX_KAPPA = 100.0;
inline constexpr int MAX_RADIAL_POWER = 12;

// Site divisors and multipliers of refinement files scale the populations:
// a magnitude outside these bounds is a misprint.
inline constexpr double MIN_SITE_FACTOR = 1.0e-3;
inline constexpr double MAX_SITE_FACTOR = 1.0e3;
bool sane_site_factor(double value);

// The first frame atom carries the frame's hand in its sign: -points..points
// without 0.  The other two: 1..points.
bool frame_atom_1_in_range(int f, int points);
bool frame_atom_in_range(int f, int points);

// The numbers of a model just read (before its elements are known): the
// cell, the fractional coordinates of the atoms and dummy atoms, l_max, the
// frame atoms of every atom (an atom without multipoles may give 0 for
// none), radial powers and exponents, kappas, occupancies and populations.
// Empty when all are sound, else what is wrong, naming the atom.
std::string check_read_model(const StructureModel& model);

// Once the atomic numbers are known: 0 <= core electrons <= Z for every atom,
// and finite Cartesian positions of atoms and dummy atoms within
// MAX_MODEL_LENGTH.  Empty when sound.
std::string check_derived_model(const StructureModel& model);
