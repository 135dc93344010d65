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

    // Electrons inside r_i; the table holds Q(r_i) / r_i for now.
    constexpr double pi = std::numbers::pi;
    double core_charge = 0.0, valence_charge = 0.0;
    t[1] = 0.0;
    for (int i = 1; i <= ESP_GRID_LAST; ++i) {
        const double width = r[i] - r[i - 1];
        const double sum = r[i] + r[i - 1];
        core_charge += width * (core[i - 1] + core[i]) * sum * sum * pi / 2;
        valence_charge += width * (valence[i - 1] + valence[i]) * sum * sum * pi / 2;
        t[i + 1] = (core_charge + valence_charge) / r[i];
    }
    if (!report_progress(a, atom_count, 2))
        return false;

    // Scale the tabulated electrons to the nominal count.  An atom without
    // electrons (a bare proton) has nothing to scale.
    const double electrons = spherical_electron_count(model, a);
    const double tabulated = core_charge + valence_charge;
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
        const double width = r[i] - r[i - 1];
        outer += width * (core[i - 1] + core[i] + valence[i - 1] + valence[i]) * (r[i] + r[i - 1]) * pi;
        t[i] += outer;
    }
    t[0] = -nu * outer;
    if (!report_progress(a, atom_count, 3))
        return false;

    for (int i = 0; i <= ESP_GRID_LAST; ++i)
        t[i + 1] = z / r[i] - nu * t[i + 1];
    return report_progress(a, atom_count, 4);
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

double interpolate_spherical_potential(const StructureModel& model, const SphericalEspTables& tables, int atom,
                                       double d)
{
    if (tables.esp_tables_ready == 0 || atom < 1 || atom > std::min(model.atoms.atom_count, MAX_WORKING_ATOMS))
        return 0.0;
    int a = atom;
    if (atom > model.atoms.independent_atom_count)
        a = model.images.parent_atom[atom];
    if (a < 1 || a > std::min(model.atoms.independent_atom_count, MAX_INDEPENDENT_ATOMS))
        return 0.0;
    const std::array<double, ESP_TABLE_LAST + 1>& t = tables.esp_spherical_potential[a];
    const std::array<double, ESP_GRID_LAST + 1>& r = tables.esp_radial_grid;

    if (!(d > NUCLEUS_RADIUS))  // NaN included
        return t[0];
    const double z = model.atoms.atomic_number[a];
    if (d >= r[ESP_GRID_LAST - 1])
        return (model.atoms.atomic_number[atom] - spherical_electron_count(model, atom)) / d;

    const int j = std::clamp(esp_grid_index(d), 0, ESP_GRID_LAST - 1);
    if (r[j] == d)
        return t[j + 1];
    const int upper = std::max(r[j] < d ? j + 1 : j, 1);
    auto electronic = [&](int i) { return t[i + 1] - z / r[i]; };
    const double fraction = (r[upper] - d) / (r[upper] - r[upper - 1]);
    return z / d + electronic(upper) - (electronic(upper) - electronic(upper - 1)) * fraction;
}
