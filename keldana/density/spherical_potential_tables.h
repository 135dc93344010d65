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
    // [independent atom][i]: the electronic part e(u) = Q(r) / r + integral
    // from r to infinity of 4 pi s rho(s) ds at the grid index u = i and its
    // first four derivatives with respect to u, all in closed form from the
    // Slater functions; past i = 2000 as far as the atom's density reaches
    // (the potential beyond the last node is that of a point charge to
    // 1e-12 e/Angstrom).  Between two nodes the value, the first and the
    // second derivative are each read from their own quintic Hermite piece.
    std::vector<std::vector<std::array<double, 5>>> esp_nodes =
        std::vector<std::vector<std::array<double, 5>>>(MAX_INDEPENDENT_ATOMS + 1);
    // [independent atom]: the electrons of its spherical density, integrated
    // in closed form.
    std::vector<double> esp_electrons = std::vector<double>(MAX_INDEPENDENT_ATOMS + 1, 0.0);
    // [independent atom]: the radius of its last node.
    std::vector<double> esp_last_radius = std::vector<double>(MAX_INDEPENDENT_ATOMS + 1, 0.0);
    // 1 once a build has finished; 0 after every model load and while a build
    // has not finished (never run, refused or cancelled).
    int esp_tables_ready = 0;
    // What the program's tables were built from of the independent atoms
    // (spherical_table_inputs).
    std::vector<double> esp_inputs;
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

// int_0^inf s^k e^(-a s) ds = k! / a^(k+1), k >= 0.
double slater_complete_integral(int k, double a);

// int_0^r s^k e^(-a s) ds (k >= 0) and int_r^inf s^k e^(-a s) ds (k >= -3),
// a > 0, r > 0, given exp_minus_x = e^(-a r): the incomplete gamma functions
// of the Slater densities and of their potentials, free of cancellation.
double slater_inner_integral(int k, double a, double r, double exp_minus_x);
double slater_outer_integral(int k, double a, double r, double exp_minus_x);

// Fills the grid and, for atoms 1..independent_atom_count, the spherical
// potential
//   V(r) = Z / r - (Q(r) / r + integral from r to infinity of 4 pi s rho(s) ds)
// of the core and valence densities in closed form (each a sum of
// c r^p exp(-a r) over the bank's orbital pairs), the density the point
// evaluator sums, so that Poisson's equation holds between the two.  Shows a
// progress dialog (a line with the atom's label) and polls the job flag
// between steps.  Sets esp_tables_ready and returns true when every atom is
// done.  Returns false with the tables not ready when the user cancels, or,
// with a message, when the model has more atoms than the tables hold or an
// atom that should have electrons gets no density from the bank.
bool build_spherical_potential_tables(const StructureModel& model, const WavefunctionBank& bank,
                                      const RadialLookupTables& radial, SphericalEspTables& tables);

// The same for current_model() into the program's tables, reading the
// wavefunction bank first when it is not loaded (false when that fails; the
// bank reader has shown why).
bool build_spherical_potential_tables();

// What the tables read of the model: for each independent atom its type,
// atomic number, core electrons, kappa and valence population.
std::vector<double> spherical_table_inputs(const StructureModel& model);

// On the main thread while no worker runs: rebuilds the program's tables,
// as above, when they are ready but current_model()'s table inputs changed
// since they were built (a bank change rebuilds them itself), so that the
// potentials never depend on when they were first built; and builds them
// when the active property needs them but they are not ready (a rebuild
// was cancelled).  False when the property needs tables that are still not
// ready.
bool refresh_spherical_potential_tables();

// Spherical part of the potential of working atom `atom` at distance d from
// its nucleus, from the table of the atom (of its parent for a symmetry
// image):
// - d <= 1e-6: the electronic potential at the nucleus (no nuclear term);
// - beyond the atom's last node: the point charge Z - electrons;
// - otherwise Z / d less the electronic part, read on the grid index
//   u = 500 ln(10 d + 0.999999) from its quintic Hermite piece (continuous
//   with two derivatives, within about 1e-13 of the closed form).
// 0.0 while the tables are not ready or for an atom without a table.
double interpolate_spherical_potential(const StructureModel& model, const SphericalEspTables& tables, int atom,
                                       double d);

// d dV/dd of the same spherical potential at distance d: 0 within 1e-6 of
// the nucleus, -(net charge) / d beyond the last node.
double spherical_potential_radial_derivative(const StructureModel& model, const SphericalEspTables& tables, int atom,
                                             double d);
