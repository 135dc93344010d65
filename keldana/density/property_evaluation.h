// The active property of the pseudoatom model at a point: the densities,
// their first and second derivatives and Laplacian, the nuclear potential,
// the e.s.d.s of density and Laplacian, the electrostatic potential.
//
// Property codes (PROPERTY_NAMES): 1 core, 2 valence (with multipoles),
// 3 total density, 4 deformation density, 5..7 d/dx, d/dy, d/dz of the total
// density, 8 its Laplacian (negated when laplacian_sign is -1), 9..14 its
// second derivatives xx, yy, zz, xy, xz, yz, 16 nuclear potential sum Z / r,
// 17 and 18 the e.s.d.s of density and Laplacian, 23 EPOT, 24 |grad rho|.
// Code 0 is the core and spherical valence density without multipoles.
// Every other code gives 0.0 here (the energy densities, codes 30 and above,
// are evaluate_energy_density_property's).  Units: Angstrom, e/Angstrom^3,
// e/Angstrom^4, e/Angstrom^5, e/Angstrom for code 16.
//
// Every sum runs over the active atoms (subset_mask not 0) of current_model()
// within rCut of the point (no cut-off for code 16), found through a
// neighbour grid; each atom's terms stop earlier where every one of them
// stays below TERM_DENSITY_FLOOR (density_term_radius).  The evaluator keeps
// a prepared copy of what it needs of the model, the bank tables and the
// settings, rebuilt at the first call after model_revision() (or rCut or
// lPole) changed.  Evaluation is re-entrant: threads may evaluate any code
// of is_reentrant_property at the same time while nothing changes the model,
// the settings or the tables.  Distances
// below 1e-9 Angstrom are raised to 1e-9, so every value is finite at a
// nucleus.
#pragma once

#include "keldana/density/numeric_helpers.h"
#include "keldana/density/pseudoatom_terms.h"
#include "keldana/model/model_store.h"

double evaluate_property_at_point(double x, double y, double z, int code);

// evaluate_property_at_point at each of `count` points into values, the
// same values to the last bit; the densities and their derivatives
// (0..14, 24) in one pass over the atoms near the points (a stencil of
// central differences), every other code point by point.
void evaluate_property_at_points(const Vector3* points, std::size_t count, int code, double* values);

// Whether evaluating `code` (here, as an energy density, or by central
// differences of either) only reads the model, its prepared form, the
// settings, the potential's spherical tables and the covariance matrix, so
// that worker threads may evaluate it side by side: the densities and their
// derivatives (0..14, 24), the nuclear potential (16), the e.s.d.s (17, 18),
// ESFED and EPOT (22, 23) and the energy densities (30..43).
bool is_reentrant_property(int code);

// Value, gradient and Hessian (column by column) of `code` at the point.
// Codes 0..4 (the densities) take their own analytic derivatives in one pass;
// the energy densities (30 and above) and every other code take central
// differences (compute_energy_density_gradient_hessian_numeric,
// compute_property_gradient_hessian_numeric).
void evaluate_property_value_gradient_hessian(const Vector3& point, double& value, Vector3& gradient,
                                              Matrix3& hessian, int code);

// Value and analytic gradient of density code 0..4 at the point (the terms
// of evaluate_property_at_point, derived in the same pass); false, with
// nothing set, for any other code.
bool evaluate_density_value_gradient(const Vector3& point, double& value, Vector3& gradient, int code);

// Parallel evaluation.  hold_prepared_density_model, on the main thread,
// prepares the evaluator (and the atoms' multipole frames of EPOT) for the
// current model and settings, so worker threads started afterwards find it
// built; the model and the settings must not change until the matching
// release.
void hold_prepared_density_model();
void release_prepared_density_model();

// The distance (Angstrom) beyond which working atom `atom`'s density terms
// are skipped: rCut, or less where a bound of each of its terms (core,
// valence, free valence, each multipole order) falls below
// TERM_DENSITY_FLOOR.
// 0.0 for an atom outside 1..atom_count.
double density_term_radius(int atom);

// Contribution of working atom `atom` (active or not) at the displacement
// (dx, dy, dz) = point - atom position for codes 0..14 (0.0 beyond rCut) and
// 16 (Z / r); 0.0 for any other code.  r_out receives the distance used
// (floored at 1e-9).  The global-frame term uses GlobalFramePopulations, the
// local-frame term multipole_population in the atom's local axes; both give
// the same density and the same Cartesian derivatives.
double evaluate_pseudoatom_term_global_frame(int atom, double dx, double dy, double dz, int code, double& r_out);
double evaluate_pseudoatom_term_local_frame(int atom, double dx, double dy, double dz, int code, double& r_out);
