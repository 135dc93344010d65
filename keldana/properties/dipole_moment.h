// The molecular dipole moment of the active atoms about their centre of mass,
// from the pseudoatoms' net charges and dipole populations, with standard
// deviations propagated from the covariance matrix when one was read.
// Results are reported to the listing file and the text pane.
#pragma once

#include "keldana/model/covariance_matrix.h"
#include "keldana/model/model_store.h"

#include <array>

inline constexpr double DEBYE_PER_E_ANGSTROM = 4.80324;
// An e.s.d. in e Angstrom expressed in units of the printed last digit (0.1 D).
inline constexpr double ESD_TENTHS_OF_DEBYE_PER_E_ANGSTROM = 48.0324;

// Per-atom contributions and totals, e Angstrom.
struct DipoleMomentTables {
    PerWorkingAtom<double> net_charge{};
    // [atom]: charge contribution x, y, z, then dipole-population contribution x, y, z.
    PerWorkingAtom<std::array<double, 6>> contribution{};
    double charge_sum = 0;  // occupancy-weighted net charges
    std::array<double, 3> charge_total{}, population_total{};
    std::array<double, 3> dipole{};
    double magnitude = 0;
};

// Dipole of a unit population of the atom's l = 1 term along its axis:
// 4 (n1 + 3)! / (3 (n1 + 2)! kappa' zeta1), Angstrom.  0 when kappa' zeta1 is
// not positive (such a term has no density either).
double compute_dipole_radial_factor(const StructureModel& model, int atom);

// Net charge Z - core - Pv - P00 of a working atom.
double compute_pseudoatom_net_charge(const StructureModel& model, int atom);

// Fills the tables for the atoms with a non-zero subset_mask about `centre`.
void compute_dipole_moment_tables(const StructureModel& model, const std::array<double, 3>& centre,
                                  DipoleMomentTables& tables);

// Standard deviations of the x, y and z components of the dipole (e Angstrom)
// from the monopole (kinds 12, 13) and dipole (kinds 14, 15, 16) populations
// of the matrix; every symmetry image of a parameter's atom shares the
// parameter, and the images with a non-zero subset_mask (the atoms the
// dipole sums) contribute.  The derivatives are taken about `centre`, as the
// dipole is, and
// an image's dipole populations lie along its parent's axes carried by the
// image's symmetry operation, as its density does.
void compute_dipole_moment_esd(const StructureModel& model, const CovarianceMatrix& matrix,
                               const std::array<double, 3>& centre, double& sigma_x, double& sigma_y,
                               double& sigma_z);

// E.s.d. of |D| from those of the components.  At D = 0 the direction is
// undefined: the mean over all directions, sqrt((sx^2 + sy^2 + sz^2) / 3).
double compute_dipole_magnitude_esd(const std::array<double, 3>& dipole, double sigma_x, double sigma_y,
                                    double sigma_z);

// The whole report for `model` about `centre`; the e.s.d.s when the matrix
// has them.
void report_molecular_dipole_moment(const StructureModel& model, const CovarianceMatrix& matrix,
                                    const std::array<double, 3>& centre);

// "Dipole Moment": the centre of mass of current_model(), then the report
// with the program's covariance matrix.
void compute_molecular_dipole_moment();
