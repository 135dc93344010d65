// The molecular quadrupole moment of the active atoms about their centre of
// mass in five components, Qxy, Qxz, Qyz, Q(xx-yy)/2 and Q(3zz-rr), from the
// pseudoatoms' net charges, dipole and quadrupole populations; each component
// is reported as a table of every active atom's terms with totals, then a
// one-line summary.
#pragma once

#include "keldana/model/model_store.h"

#include <array>

// 9.07681 as the single-precision constant the printed terms were always
// scaled by.
inline constexpr double QUADRUPOLE_OUTPUT_FACTOR = 9.076809883117676;

inline constexpr int QUADRUPOLE_SECTION_COUNT = 5;  // xy, xz, yz, (xx-yy)/2, 3zz-rr
inline constexpr int QUADRUPOLE_SECTION_3ZZ_RR = 4;

// Unscaled terms (e Angstrom^2).  A row holds the charge term, the dipole
// terms (two, three for 3zz-rr), the quadrupole-population term and the
// atom's total, in print order; value_count(section) of them are used.
struct QuadrupoleMomentTables {
    std::array<PerWorkingAtom<std::array<double, 6>>, QUADRUPOLE_SECTION_COUNT> row{};
    std::array<std::array<double, 6>, QUADRUPOLE_SECTION_COUNT> column_sum{};
    std::array<double, QUADRUPOLE_SECTION_COUNT> total{};  // sum of the column sums but the last
};

// 5 for the first four sections, 6 for Q(3zz-rr).
int quadrupole_value_count(int section);

// Fills the tables for the atoms with a non-zero subset_mask about `centre`.
void compute_quadrupole_moment_tables(const StructureModel& model, const std::array<double, 3>& centre,
                                      QuadrupoleMomentTables& tables);

// The whole report for `model`, about the centre of mass of its active atoms.
void report_molecular_quadrupole_moment(const StructureModel& model);

// "Quadrupole Moment" for current_model().
void compute_molecular_quadrupole_moment();
