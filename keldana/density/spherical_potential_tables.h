// Spherical atomic electrostatic potentials: for every independent atom the
// potential of its nucleus and its spherical core and valence density,
// tabulated on a logarithmic radial grid once per model and then read by
// interpolation.  Distances in Angstrom, charges in electrons, potentials in
// e/Angstrom (1 hartree/e = 1 e/bohr = 1 / BOHR_ANGSTROM e/Angstrom).
#pragma once

#include "keldana/model/model_store.h"
#include "keldana/model/radial_tables.h"
#include "keldana/model/wavefunction_bank.h"

#include <array>
#include <vector>

inline constexpr int ESP_GRID_LAST = 2000;             // grid radii r_0 .. r_2000
inline constexpr int ESP_TABLE_LAST = ESP_GRID_LAST + 1;  // table entries k = 0 .. 2001

// r_i = 0.1 exp(0.002 i) - 0.0999999: r_0 = 1e-7, r_1999 = 5.3489,
// r_2000 = 5.3598 Angstrom.
double esp_grid_radius(int i);

// Grid index of a distance, trunc(500 ln(10 d + 0.999999)): the inverse of
// the grid formula, so r_j <= d up to rounding.
int esp_grid_index(double d);

struct SphericalEspTables {
    std::array<double, ESP_GRID_LAST + 1> esp_radial_grid{};
    // [independent atom 1..120][k]: k = 0 the electronic potential at the
    // nucleus, k = i + 1 the total spherical potential at r_i.  About 2 MB, so
    // on the heap.
    std::vector<std::array<double, ESP_TABLE_LAST + 1>> esp_spherical_potential =
        std::vector<std::array<double, ESP_TABLE_LAST + 1>>(MAX_INDEPENDENT_ATOMS + 1);
    // [independent atom][i]: second derivative, with respect to the grid
    // index, of the natural cubic spline through the electronic part
    // t[i + 1] - Z / r_i (i = 0..2000), so that the interpolated potential
    // has continuous first and second derivatives.
    std::vector<std::array<double, ESP_GRID_LAST + 1>> esp_spline_curvature =
        std::vector<std::array<double, ESP_GRID_LAST + 1>>(MAX_INDEPENDENT_ATOMS + 1);
    // 1 once a build has finished; 0 after every model load and while a build
    // has not finished (never run, refused or cancelled).
    int esp_tables_ready = 0;
};

// The program's tables.
SphericalEspTables& spherical_esp_tables();

// Marks the program's tables as not built; every model load calls it.
void reset_spherical_potential_tables();

// Electrons of the spherical density of a working atom: its core, plus its
// valence population when the neutral atom has valence electrons
// (nv = Z - core > 0; otherwise the valence term has nothing to scale by and
// is left out, as in the density).
double spherical_electron_count(const StructureModel& model, int atom);

// Fills the grid and, for atoms 1..independent_atom_count, the spherical
// potential
//   V(r) = Z / r - nu (Q(r) / r + integral from r to r_2000 of 4 pi s rho(s) ds)
// of the core and valence densities (both integrals over the grid index with
// the four-point cubic rule, the three-point one at the ends), with nu scaling the tabulated electrons to
// spherical_electron_count.  Shows a progress dialog (a line with the atom's
// label) and polls the job flag between steps.  Sets esp_tables_ready and
// returns true when every atom is done.  Returns false with the tables not
// ready when the user cancels, or, with a message, when the model has more
// atoms than the tables hold or an atom that should have electrons gets no
// density from the bank.
bool build_spherical_potential_tables(const StructureModel& model, const WavefunctionBank& bank,
                                      const RadialLookupTables& radial, SphericalEspTables& tables);

// The same for current_model() into the program's tables, reading the
// wavefunction bank first when it is not loaded (false when that fails; the
// bank reader has shown why).
bool build_spherical_potential_tables();

// Spherical part of the potential of working atom `atom` at distance d from
// its nucleus, from the table of the atom (of its parent for a symmetry
// image):
// - d <= 1e-6: the electronic potential at the nucleus (no nuclear term);
// - d >= r_1999: the point charge of the net atomic charge, Z - electrons;
// - otherwise the tabulated value on a grid radius, and between two radii
//   Z / d plus the electronic part from its cubic spline in the grid index
//   u = 500 ln(10 d + 0.999999) (a curve through Z / r would be far off near
//   the nucleus).  A straight line would put kinks at the grid radii, 0.002 A
//   apart, which central differences at the default step cannot bridge.
// 0.0 while the tables are not ready or for an atom without a table.
double interpolate_spherical_potential(const StructureModel& model, const SphericalEspTables& tables, int atom,
                                       double d);

// d dV/dd of the same spherical potential at distance d, from the same
// spline (exact for it, no difference step): 0 within 1e-6 of the nucleus,
// -(net charge) / d from r_1999 on.
double spherical_potential_radial_derivative(const StructureModel& model, const SphericalEspTables& tables, int atom,
                                             double d);
