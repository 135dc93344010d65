// Electrostatic potential of the pseudoatom model (property EPOT): per atom
// the spherical part read from SphericalEspTables plus the potential of the
// multipole deformation terms, summed over the active atoms and the lattice
// translations of ClusterTranslations.  Distances in Angstrom, potentials in
// e/Angstrom (positive near a nucleus; the electrons count negative).
#pragma once

#include "keldana/density/radial_functions.h"
#include "keldana/density/spherical_potential_tables.h"
#include "keldana/model/model_store.h"

#include <memory>
#include <vector>

// The radial potential integral of a multipole term of order l (0..4) with
// the Slater power n (>= 0) and exponent a = kappa' zeta (> 0), at r > 0:
//   K(l, n, r) = [ r^-(l+1) int_0^r s^(n+l+2) e^(-a s) ds
//                + r^l int_r^inf s^(n+1-l) e^(-a s) ds ] / (2 (2l + 1)),
// for every (l, n), also where the outer power is negative.  0.0 outside
// those ranges; r is floored at 1e-9.
double compute_radial_potential_integral(int l, int n, double a, double r);

// One order l of an atom's multipole terms, folded: sum_m P_lm N_lm c_lm r^l
// as one homogeneous polynomial of degree l in the local coordinates
// (coefficient[(l - px) (l - px + 1) / 2 + pz] of x^px y^py z^pz), with the
// Slater power n, the exponent a and the radial normalisation
// a^(n+3) / (n+2)!.  used is false for an order with no population or an
// unusable n or exponent.
struct FoldedMultipoleOrder {
    bool used = false;
    int n = 0;
    double a = 0;
    double normalisation = 0;
    // Beyond far_radius the term is that of a point multipole to rounding:
    // far_coefficient polynomial / r^(2l+1), no exponential.
    double far_radius = 0, far_coefficient = 0;
    // The complete integral int_0^inf s^k e^(-a s) ds of the inner part
    // (k = n + l + 2), and the polynomials of the incomplete ones,
    // int_r^inf s^k e^(-a s) ds = e^(-a r) sum_i k! / (i! a^(k+1-i)) r^i:
    // inner_tail for the inner k, outer_tail for k = n + 1 - l (none when
    // negative).
    double inner_complete = 0;
    double inner_tail[MAX_SLATER_POWER + MAX_L + 3] = {};
    double outer_tail[MAX_SLATER_POWER + 2] = {};
    double coefficient[(MAX_L + 1) * (MAX_L + 2) / 2] = {};
};

// What the multipole part needs of an atom, built once per atom and reused
// for every displacement: to_local turns a global displacement into local
// components (d' = to_local d); valid is false when the atom has no usable
// frame.  build_multipole_frame also folds the atom's terms (atom names the
// atom they were folded for, 0 when none were).
struct MultipoleFrame {
    Matrix3 to_local;
    bool valid = false;
    int atom = 0;
    int order_count = 0;  // orders 0..order_count-1 folded
    FoldedMultipoleOrder orders[MAX_L + 1];
    // Beyond far_radius every order is a point multipole: -8 pi
    // far_coefficient times its polynomial, here in the global components of
    // d (far_global[l][monomial]), over r^(2l+1).
    double far_radius = 0;
    double far_global[MAX_L + 1][(MAX_L + 1) * (MAX_L + 2) / 2] = {};
};

// The frame of working atom `atom` from get_atom_local_axes (invalid when the
// axes cannot be built or do not invert, or l_max is 0) with the atom's multipole terms
// folded: all orders up to l_max with a valid frame, order 0 alone without.
MultipoleFrame build_multipole_frame(const StructureModel& model, int atom);

// Potential of the multipole terms l = 0..l_max of working atom `atom` at
// the displacement d = point - atom (global axes), taken in the atom's local
// frame: -8 pi sum_l N_l K(l, n_l, r) sum_m P_lm y_lm(d'), N_l the
// normalisation of the Slater radial function.  A displacement within 0.001
// of the nucleus is taken as (0.001, 0.001, 0.001) in the local frame.  Terms
// with an unusable n or exponent are left out, and so are the l >= 1 terms
// when the atom's frame cannot be built.
double evaluate_atom_multipole_potential(const StructureModel& model, int atom, double dx, double dy, double dz);

// The same with the atom's frame already built (build_multipole_frame); it is
// read only when l_max > 0, and its folded terms only when it was built for
// this atom.
double evaluate_atom_multipole_potential(const StructureModel& model, int atom, const MultipoleFrame& frame,
                                         double dx, double dy, double dz);

// Potential of working atom `atom` at the displacement d = point - atom: the
// spherical part (interpolate_spherical_potential, the distance floored at
// 1e-6) plus the multipole part at every distance (a cut-off would put a
// step into the potential), times the atom's site weight and occupancy.
// 0.0 while the tables are not ready.
double evaluate_atom_electrostatic_potential(const StructureModel& model, const SphericalEspTables& tables, int atom,
                                             double dx, double dy, double dz);

// The same with the atom's frame already built (build_multipole_frame).
double evaluate_atom_electrostatic_potential(const StructureModel& model, const SphericalEspTables& tables, int atom,
                                             const MultipoleFrame& frame, double dx, double dy, double dz);

// The same with current_model() and the program's tables.
double evaluate_atom_electrostatic_potential(int atom, double dx, double dy, double dz);

// d . grad V of the atom potential above at the displacement d (e/Angstrom):
// r dV/dr of each part at a fixed direction, the spherical part from its
// table and the multipole part from the derivative of its radial integral,
// r dK/dr = [-(l+1) r^-(l+1) int_0^r + l r^l int_r^inf] / (2 (2l + 1)), both
// exact (the angular factors do not change along d).  Within 0.001 of the
// nucleus the multipole part is held constant, so it adds nothing there.
double evaluate_atom_position_dot_gradient(const StructureModel& model, const SphericalEspTables& tables, int atom,
                                           const MultipoleFrame& frame, double dx, double dy, double dz);

// EPOT at the Cartesian point (x, y, z): the sum over the lattice
// translations a = -K..K, b = -L..L, c = -M..M and over the atoms with a
// non-zero subset_mask of the atom potentials.  The home cell uses the
// Cartesian positions, the others the fractional ones shifted by (a, b, c).
// A negative K, L or M gives no cells; 0.0 while the tables are not ready.
double evaluate_atom_electrostatic_potential_sum(const StructureModel& model, const SphericalEspTables& tables,
                                                 double x, double y, double z);

// What property code 23 evaluates: the sum above over the atoms of the
// potential cell when one is set, else over those of current_model(), with
// the program's tables and always the lattice translations of
// current_model().
double evaluate_atom_electrostatic_potential_sum(double x, double y, double z);

// The potential cell: the unit-cell cluster (atoms shared with neighbouring
// cells weighted by their share) that EPOT sums while it is the active
// property, kept apart from the working atoms, so that their cluster and
// weights, and everything else read from them (the other properties, the
// charge fit, the viewer), never depend on whether EPOT was chosen.
// set_potential_cell makes it from current_model() with the cluster list
// (false, with a message and nothing changed, when the list cannot be
// applied).  It always follows the model: refresh_potential_cell remakes it
// with the same list when model_revision() moved since it was made (and the
// spherical potential tables, refresh_spherical_potential_tables), so an
// edit gives the values of the same edit made before EPOT was chosen.  Set,
// cleared and refreshed on the main thread while no worker runs (a job's
// snapshot refreshes it first, EPOT outside a job before it sums); a model
// load clears it.
bool set_potential_cell(const SymmetryApplicationList& list);
void refresh_potential_cell();
void clear_potential_cell();
bool has_potential_cell();

// build_multipole_frame of every working atom of current_model() ([0]
// unused), built at the first call after model_revision() changed and read
// by every later point and thread; the previous set stays valid until the
// next rebuild (which never happens while workers evaluate).
const std::vector<MultipoleFrame>& current_multipole_frames();
