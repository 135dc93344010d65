#include "keldana/density/spherical_potential_tables.h"

#include "common/job_control.h"
#include "common/user_interface.h"
#include "keldana/density/pseudoatom_terms.h"
#include "keldana/model/radial_tables.h"
#include "keldana/model/text_fields.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>

namespace {

constexpr double NUCLEUS_RADIUS = 1e-6;  // Angstrom: closer counts as at the nucleus
constexpr const char* PROGRESS_TITLE = "Spherical atomic electrostatic potentials. Please, wait...";
constexpr int BUILD_STEPS = 4;  // densities, inner charges, outer integral, potential

// Shows the build's progress: `step` of the BUILD_STEPS of atom `atom`
// (1-based) out of `atom_count`; false once the user has cancelled.
bool report_progress(int atom, int atom_count, int step)
{
    const int done = (atom - 1) * BUILD_STEPS + step;
    ui().set_progress(100 * done / (atom_count * BUILD_STEPS));
    return pump_and_check_job();
}

// Natural cubic spline through e_i = t[i + 1] - z / r_i on the unit-spaced
// grid index: M_(i-1) + 4 M_i + M_(i+1) = 6 (e_(i+1) - 2 e_i + e_(i-1)),
// M_0 = M_2000 = 0, solved by elimination down the tridiagonal system.
void fit_electronic_spline(const std::array<double, ESP_TABLE_LAST + 1>& t,
                           const std::array<double, ESP_GRID_LAST + 1>& r, int z,
                           std::array<double, ESP_GRID_LAST + 1>& curvature)
{
    std::vector<double> e(ESP_GRID_LAST + 1), diagonal(ESP_GRID_LAST + 1), rhs(ESP_GRID_LAST + 1);
    for (int i = 0; i <= ESP_GRID_LAST; ++i)
        e[i] = t[i + 1] - z / r[i];
    curvature.fill(0.0);
    diagonal[1] = 4.0;
    rhs[1] = 6 * (e[2] - 2 * e[1] + e[0]);
    for (int i = 2; i < ESP_GRID_LAST; ++i) {
        const double factor = 1.0 / diagonal[i - 1];
        diagonal[i] = 4.0 - factor;
        rhs[i] = 6 * (e[i + 1] - 2 * e[i] + e[i - 1]) - factor * rhs[i - 1];
    }
    curvature[ESP_GRID_LAST - 1] = rhs[ESP_GRID_LAST - 1] / diagonal[ESP_GRID_LAST - 1];
    for (int i = ESP_GRID_LAST - 2; i >= 1; --i)
        curvature[i] = (rhs[i] - curvature[i + 1]) / diagonal[i];
}

// Integrals of f over the unit steps of the grid index, entry i for the step
// from i - 1 to i: the cubic through four neighbouring values inside, the
// parabola through three at both ends.
std::vector<double> grid_interval_integrals(const std::vector<double>& f)
{
    const int last = static_cast<int>(f.size()) - 1;
    std::vector<double> steps(f.size(), 0.0);
    steps[1] = (5 * f[0] + 8 * f[1] - f[2]) / 12;
    for (int i = 2; i < last; ++i)
        steps[i] = (13 * (f[i - 1] + f[i]) - f[i - 2] - f[i + 1]) / 24;
    steps[last] = (5 * f[last] + 8 * f[last - 1] - f[last - 2]) / 12;
    return steps;
}

// Table of one independent atom a; false when the user cancelled or the atom
// has no density (reported).
bool tabulate_atom(const StructureModel& model, const WavefunctionBank& bank, const RadialLookupTables& radial,
                   int a, SphericalEspTables& tables)
{
    const int atom_count = model.atoms.independent_atom_count;
    const std::string label = text_field_string(model.atoms.atom_label[a]);
    ui().set_progress_line(1, "Atom " + label);

    const std::array<double, ESP_GRID_LAST + 1>& r = tables.esp_radial_grid;
    std::array<double, ESP_TABLE_LAST + 1>& t = tables.esp_spherical_potential[a];
    const int z = model.atoms.atomic_number[a];
    const double nv = static_cast<double>(z - model.pseudoatoms.core_electron_count[a]);
    const double pv = model.pseudoatoms.valence_population[a];
    const double kappa = model.pseudoatoms.kappa[a];

    std::vector<double> core(ESP_GRID_LAST + 1, 0.0), valence(ESP_GRID_LAST + 1, 0.0);
    for (int i = 0; i <= ESP_GRID_LAST; ++i) {
        if (z > 1)
            core[i] = evaluate_orbital_density_term(model, bank, radial, 3, CORE_SET, a, 1.0, r[i], 0, 0);
        if (nv > 0)
            valence[i] =
                pv * evaluate_orbital_density_term(model, bank, radial, 3, VALENCE_SET, a, kappa, r[i], 0, 0) / nv;
    }
    if (!report_progress(a, atom_count, 1))
        return false;

    // Electrons inside r_i; the table holds Q(r_i) / r_i for now.  The
    // integrals run over the grid index u, where r = 0.1 e^(0.002 u) -
    // 0.0999999 makes the integrands smooth on a unit step.
    constexpr double pi = std::numbers::pi;
    std::vector<double> charge_density(ESP_GRID_LAST + 1), potential_density(ESP_GRID_LAST + 1);
    for (int i = 0; i <= ESP_GRID_LAST; ++i) {
        const double jacobian = 0.002 * (r[i] + 0.0999999);  // dr/du
        const double shell = 4 * pi * (core[i] + valence[i]) * r[i] * jacobian;
        charge_density[i] = shell * r[i];
        potential_density[i] = shell;
    }
    const std::vector<double> charge_steps = grid_interval_integrals(charge_density);
    const std::vector<double> potential_steps = grid_interval_integrals(potential_density);
    double charge = 0.0;
    t[1] = 0.0;
    for (int i = 1; i <= ESP_GRID_LAST; ++i) {
        charge += charge_steps[i];
        t[i + 1] = charge / r[i];
    }
    if (!report_progress(a, atom_count, 2))
        return false;

    // Scale the tabulated electrons to the nominal count.  An atom without
    // electrons (a bare proton) has nothing to scale.
    const double electrons = spherical_electron_count(model, a);
    const double tabulated = charge;
    double nu = 0.0;
    if (tabulated != 0.0 && std::isfinite(tabulated)) {
        nu = electrons / tabulated;
    } else if (electrons != 0.0) {
        ui().message_box("No electron density in the wavefunction bank for atom " + label + ".",
                         "Wavefunctions!", MessageButtons::ok, MessageIcon::warning);
        return false;
    }

    // Outer part, integral from r to r_2000 of 4 pi s rho(s) ds.
    double outer = 0.0;
    for (int i = ESP_GRID_LAST; i >= 1; --i) {
        outer += potential_steps[i];
        t[i] += outer;
    }
    t[0] = -nu * outer;
    if (!report_progress(a, atom_count, 3))
        return false;

    for (int i = 0; i <= ESP_GRID_LAST; ++i)
        t[i + 1] = z / r[i] - nu * t[i + 1];
    fit_electronic_spline(t, r, z, tables.esp_spline_curvature[a]);
    return report_progress(a, atom_count, 4);
}

// The independent atom whose table serves working atom `atom` (its parent
// for an image); 0 when there is none or the tables are not built.
int table_atom(const StructureModel& model, const SphericalEspTables& tables, int atom)
{
    if (tables.esp_tables_ready == 0 || atom < 1 || atom > std::min(model.atoms.atom_count, MAX_WORKING_ATOMS))
        return 0;
    const int a = atom > model.atoms.independent_atom_count ? model.images.parent_atom[atom] : atom;
    return a >= 1 && a <= std::min(model.atoms.independent_atom_count, MAX_INDEPENDENT_ATOMS) ? a : 0;
}

}  // namespace

double esp_grid_radius(int i)
{
    return 0.1 * std::exp(0.002 * i) - 0.0999999;
}

int esp_grid_index(double d)
{
    return static_cast<int>(500.0 * std::log(10.0 * d + 0.999999));
}

SphericalEspTables& spherical_esp_tables()
{
    static const std::unique_ptr<SphericalEspTables> tables = std::make_unique<SphericalEspTables>();
    return *tables;
}

void reset_spherical_potential_tables()
{
    spherical_esp_tables().esp_tables_ready = 0;
}

double spherical_electron_count(const StructureModel& model, int atom)
{
    const int core = model.pseudoatoms.core_electron_count[atom];
    const double electrons = core;
    if (model.atoms.atomic_number[atom] - core > 0)
        return electrons + model.pseudoatoms.valence_population[atom];
    return electrons;
}

bool build_spherical_potential_tables(const StructureModel& model, const WavefunctionBank& bank,
                                      const RadialLookupTables& radial, SphericalEspTables& tables)
{
    tables.esp_tables_ready = 0;
    const int atom_count = model.atoms.independent_atom_count;
    if (atom_count < 0 || atom_count > MAX_INDEPENDENT_ATOMS) {
        ui().message_box("More than " + std::to_string(MAX_INDEPENDENT_ATOMS) +
                             " independent atoms: no spherical potentials.",
                         "Error!", MessageButtons::ok, MessageIcon::warning);
        return false;
    }
    for (int i = 0; i <= ESP_GRID_LAST; ++i)
        tables.esp_radial_grid[i] = esp_grid_radius(i);

    JobControl& job = job_control();
    const bool outer_job = job.job_running;
    job.job_running = true;
    ui().open_progress(PROGRESS_TITLE);
    bool finished = true;
    for (int a = 1; a <= atom_count && finished; ++a)
        finished = tabulate_atom(model, bank, radial, a, tables);
    ui().close_progress();
    // A cancel leaves the flag cleared for whoever started an outer job.
    if (job.job_running)
        job.job_running = outer_job;
    if (!finished)
        return false;
    tables.esp_tables_ready = 1;
    return true;
}

bool build_spherical_potential_tables()
{
    StructureModel& model = current_model();
    WavefunctionBank& bank = wavefunction_bank();
    spherical_esp_tables().esp_tables_ready = 0;
    if (!ensure_wavefunction_bank())
        return false;
    return build_spherical_potential_tables(model, bank, radial_lookup_tables(), spherical_esp_tables());
}

namespace {

// The spline interval of the table atom `a` holding d (inside the grid): the
// electronic potential (the table less z / r) at its ends, its curvatures
// there, and the place w (0..1) of d in it on the grid index u(d).
struct SplinePlace {
    int j = 0;
    double w = 0, v = 0, lower = 0, upper = 0, c0 = 0, c1 = 0;
};

SplinePlace spline_place(const SphericalEspTables& tables, int a, double z, double d)
{
    const std::array<double, ESP_TABLE_LAST + 1>& t = tables.esp_spherical_potential[a];
    const std::array<double, ESP_GRID_LAST + 1>& r = tables.esp_radial_grid;
    SplinePlace place;
    const double u = 500.0 * std::log(10.0 * d + 0.999999);
    place.j = std::clamp(static_cast<int>(u), 0, ESP_GRID_LAST - 1);
    place.w = u - place.j;
    place.v = 1.0 - place.w;
    place.lower = t[place.j + 1] - z / r[place.j];
    place.upper = t[place.j + 2] - z / r[place.j + 1];
    place.c0 = tables.esp_spline_curvature[a][place.j];
    place.c1 = tables.esp_spline_curvature[a][place.j + 1];
    return place;
}

}  // namespace

double spherical_potential_radial_derivative(const StructureModel& model, const SphericalEspTables& tables, int atom,
                                             double d)
{
    const int a = table_atom(model, tables, atom);
    if (a == 0)
        return 0.0;
    if (!(d > NUCLEUS_RADIUS))
        return 0.0;
    const double z = model.atoms.atomic_number[a];
    if (d >= tables.esp_radial_grid[ESP_GRID_LAST - 1])
        return -(model.atoms.atomic_number[atom] - spherical_electron_count(model, atom)) / d;
    const SplinePlace p = spline_place(tables, a, z, d);
    const double slope =
        p.upper - p.lower + ((1.0 - 3.0 * p.v * p.v) * p.c0 + (3.0 * p.w * p.w - 1.0) * p.c1) / 6.0;
    const double du_dd = 5000.0 / (10.0 * d + 0.999999);
    return -z / d + d * slope * du_dd;
}

double interpolate_spherical_potential(const StructureModel& model, const SphericalEspTables& tables, int atom,
                                       double d)
{
    const int a = table_atom(model, tables, atom);
    if (a == 0)
        return 0.0;
    if (!(d > NUCLEUS_RADIUS))  // NaN included
        return tables.esp_spherical_potential[a][0];
    const double z = model.atoms.atomic_number[a];
    if (d >= tables.esp_radial_grid[ESP_GRID_LAST - 1])
        return (model.atoms.atomic_number[atom] - spherical_electron_count(model, atom)) / d;
    const SplinePlace p = spline_place(tables, a, z, d);
    if (tables.esp_radial_grid[p.j] == d)
        return tables.esp_spherical_potential[a][p.j + 1];
    const double electronic = p.v * p.lower + p.w * p.upper
                              + ((p.v * p.v - 1.0) * p.v * p.c0 + (p.w * p.w - 1.0) * p.w * p.c1) / 6.0;
    return z / d + electronic;
}
