#include "keldana/density/spherical_potential_tables.h"

#include "common/job_control.h"
#include "common/user_interface.h"
#include "keldana/density/property_selection.h"
#include "keldana/density/pseudoatom_terms.h"
#include "keldana/model/radial_tables.h"
#include "keldana/model/text_fields.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>

namespace {

constexpr int ESFED_CODE = 22;
constexpr int EPOT_CODE = 23;

constexpr double NUCLEUS_RADIUS = 1e-6;  // Angstrom: closer counts as at the nucleus
constexpr const char* PROGRESS_TITLE = "Spherical atomic electrostatic potentials. Please, wait...";
constexpr int BUILD_STEPS = 4;  // density terms, inner nodes, outer nodes, potential
constexpr double NEGLIGIBLE_EXPONENT = 700.0;  // exp(-x) is below every term it meets
constexpr int MAX_BANK_POWER = 10;
// Past the grid the nodes go on until the electrons' potential is that of
// their total charge to this (e/Angstrom), or to the last index.
constexpr double FAR_FIELD_TOLERANCE = 1e-13;
constexpr int LAST_NODE_INDEX = 8000;  // r = 0.1 e^16: far beyond any bank function
constexpr double GRID_RATE = 0.002;    // r = 0.1 e^(GRID_RATE u) - 0.0999999

double factorial(int k)
{
    double f = 1.0;
    for (int i = 2; i <= k; ++i)
        f *= i;
    return f;
}

// x^k for small k >= 0 by multiplication.
double integer_power(double x, int k)
{
    double p = 1.0;
    for (; k > 0; --k)
        p *= x;
    return p;
}

// e^-x sum_{j=0..k} x^j / j!, given e^-x: the probability that a Poisson
// variable of mean x is at most k; all terms positive, no cancellation.
double truncated_exponential_series(int k, double x, double exp_minus_x)
{
    double term = 1.0, sum = 1.0;
    for (int j = 1; j <= k; ++j) {
        term *= x / j;
        sum += term;
    }
    return exp_minus_x * sum;
}

// Shows the build's progress: `step` of the BUILD_STEPS of atom `atom`
// (1-based) out of `atom_count`; false once the user has cancelled.
bool report_progress(int atom, int atom_count, int step)
{
    const int done = (atom - 1) * BUILD_STEPS + step;
    ui().set_progress(100 * done / (atom_count * BUILD_STEPS));
    return pump_and_check_job();
}

// One term c r^p exp(-a r) of a spherical density (e/Angstrom^3).
struct DensityTerm {
    int p = 0;
    double a = 0, c = 0;
};

// The core (Z > 1) and the weighted, kappa-scaled valence (nv > 0) of table
// atom `atom` as terms, those of one power and exponent merged: the pairs
// that evaluate_orbital_density_term sums.
std::vector<DensityTerm> spherical_density_terms(const StructureModel& model, const WavefunctionBank& bank,
                                                 const RadialLookupTables& radial, int atom)
{
    std::vector<DensityTerm> terms;
    const int t = model.atoms.atom_type_index[atom];
    if (t < 1 || t > MAX_ATOM_TYPES)
        return terms;
    const int z = model.atoms.atomic_number[atom];
    const int nv = z - model.pseudoatoms.core_electron_count[atom];
    const int count = std::clamp(bank.function_count[t], 0, MAX_BANK_FUNCTIONS);
    const int shells = std::clamp(bank.shell_count[t], 0, BANK_SHELL_COUNT);
    struct Set {
        int set;
        double scale, weight;
    };
    const Set sets[] = {{CORE_SET, 1.0, z > 1 ? 1.0 : 0.0},
                        {VALENCE_SET, model.pseudoatoms.kappa[atom],
                         nv > 0 ? model.pseudoatoms.valence_population[atom] / nv : 0.0}};
    for (const Set& s : sets) {
        if (s.weight == 0.0)
            continue;
        for (int k = 1; k <= shells; ++k)
            for (int j = 1; j <= count; ++j)
                for (int j2 = j; j2 <= count; ++j2) {
                    const double product = radial.product_sum(t, j, j2, k, s.set);
                    const int n1 = bank.function_n[t][j], n2 = bank.function_n[t][j2];
                    const double a1 = s.scale * bank.orbital_exponent[t][j][k];
                    const double a2 = s.scale * bank.orbital_exponent[t][j2][k];
                    if (product == 0.0 || !(a1 > 0.0) || !(a2 > 0.0) || n1 < 1 || n1 > MAX_BANK_POWER || n2 < 1
                        || n2 > MAX_BANK_POWER)
                        continue;
                    auto normalisation = [](int n, double a) {
                        return std::pow(2.0 * a, n + 0.5) / std::sqrt(factorial(2 * n));
                    };
                    const DensityTerm term = {n1 + n2 - 2, a1 + a2,
                                              s.weight * (j == j2 ? 1.0 : 2.0) * product * INVERSE_FOUR_PI
                                                  * normalisation(n1, a1) * normalisation(n2, a2)};
                    auto same = std::find_if(terms.begin(), terms.end(), [&](const DensityTerm& other) {
                        return other.p == term.p && other.a == term.a;
                    });
                    if (same != terms.end())
                        same->c += term.c;
                    else
                        terms.push_back(term);
                }
    }
    return terms;
}

// The electronic part e = Q / r + int_r^inf 4 pi s rho ds at grid index u
// (radius r) and its first four derivatives in u, from the exact r
// derivatives e' = -Q / r^2, e'' = 2 Q / r^3 - 4 pi rho, and so on.
std::array<double, 5> electronic_node(const std::vector<DensityTerm>& terms, double r)
{
    constexpr double four_pi = 4 * std::numbers::pi;
    double q = 0, outer = 0, rho = 0, rho1 = 0, rho2 = 0;
    for (const DensityTerm& term : terms) {
        const double e = std::exp(-term.a * r);
        q += four_pi * term.c * slater_inner_integral(term.p + 2, term.a, r, e);
        outer += four_pi * term.c * slater_outer_integral(term.p + 1, term.a, r, e);
        const double power = integer_power(r, term.p);  // r^p
        const double lower = term.p >= 1 ? integer_power(r, term.p - 1) : 0.0;
        const double lowest = term.p >= 2 ? integer_power(r, term.p - 2) : 0.0;
        rho += term.c * e * power;
        rho1 += term.c * e * (term.p * lower - term.a * power);
        rho2 += term.c * e * (term.p * (term.p - 1) * lowest - 2 * term.a * term.p * lower + term.a * term.a * power);
    }
    const double r2 = r * r;
    const double e0 = q / r + outer;
    const double e1 = -q / r2;
    const double e2 = 2 * q / (r2 * r) - four_pi * rho;
    const double e3 = -6 * q / (r2 * r2) + 2 * four_pi * rho / r - four_pi * rho1;
    const double e4 = 24 * q / (r2 * r2 * r) - 8 * four_pi * rho / r2 + 2 * four_pi * rho1 / r - four_pi * rho2;
    // r(u) = 0.1 e^(GRID_RATE u) - 0.0999999: every derivative is GRID_RATE
    // times the one before.
    const double u1 = GRID_RATE * (r + 0.0999999), u2 = GRID_RATE * u1, u3 = GRID_RATE * u2, u4 = GRID_RATE * u3;
    return {e0, e1 * u1, e2 * u1 * u1 + e1 * u2, e3 * u1 * u1 * u1 + 3 * e2 * u1 * u2 + e1 * u3,
            e4 * u1 * u1 * u1 * u1 + 6 * e3 * u1 * u1 * u2 + e2 * (4 * u1 * u3 + 3 * u2 * u2) + e1 * u4};
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
    std::vector<std::array<double, 5>>& nodes = tables.esp_nodes[a];
    const int z = model.atoms.atomic_number[a];
    const std::vector<DensityTerm> terms = spherical_density_terms(model, bank, radial, a);
    double electrons = 0.0, at_nucleus = 0.0;
    for (const DensityTerm& term : terms) {
        electrons += 4 * std::numbers::pi * term.c * slater_complete_integral(term.p + 2, term.a);
        at_nucleus += 4 * std::numbers::pi * term.c * slater_complete_integral(term.p + 1, term.a);
    }
    if (!std::isfinite(electrons) || (electrons == 0.0 && spherical_electron_count(model, a) != 0.0)) {
        ui().message_box("No electron density in the wavefunction bank for atom " + label + ".",
                         "Wavefunctions!", MessageButtons::ok, MessageIcon::warning);
        return false;
    }
    tables.esp_electrons[a] = electrons;
    if (!report_progress(a, atom_count, 1))
        return false;

    nodes.clear();
    for (int i = 0; i <= ESP_GRID_LAST / 2; ++i)
        nodes.push_back(electronic_node(terms, r[i]));
    if (!report_progress(a, atom_count, 2))
        return false;
    for (int i = ESP_GRID_LAST / 2 + 1; i <= LAST_NODE_INDEX; ++i) {
        const double ri = esp_grid_radius(i);
        nodes.push_back(electronic_node(terms, ri));
        if (i >= ESP_GRID_LAST && std::abs(nodes.back()[0] - electrons / ri) <= FAR_FIELD_TOLERANCE)
            break;
    }
    tables.esp_last_radius[a] = esp_grid_radius(static_cast<int>(nodes.size()) - 1);
    if (!report_progress(a, atom_count, 3))
        return false;

    t[0] = -at_nucleus;
    for (int i = 0; i <= ESP_GRID_LAST; ++i)
        t[i + 1] = z / r[i] - nodes[i][0];
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

// The electronic part at d (inside the table atom's nodes) and, with
// `slope`, its derivative in d; false beyond the last node.
bool electronic_part(const SphericalEspTables& tables, int a, double d, bool slope, double& value, double& derivative)
{
    const std::vector<std::array<double, 5>>& nodes = tables.esp_nodes[a];
    if (!(d < tables.esp_last_radius[a]))
        return false;
    const double u = 500.0 * std::log(10.0 * d + 0.999999);
    const int last = static_cast<int>(nodes.size()) - 1;
    if (!(u < last))
        return false;
    const int j = std::max(static_cast<int>(u), 0);
    double second = 0;
    interpolate_spherical_nodes(nodes[j], nodes[j + 1], u - j, 1.0, slope ? 1 : 0, value, derivative, second);
    if (slope)
        derivative *= 5000.0 / (10.0 * d + 0.999999);  // du/dd
    return true;
}

}  // namespace

double slater_complete_integral(int k, double a)
{
    return factorial(k) / integer_power(a, k + 1);
}

double slater_inner_integral(int k, double a, double r, double exp_minus_x)
{
    const double x = a * r;
    if (x < k + 1) {
        // r^(k+1) e^-x sum_j x^j / ((k+1)(k+2)..(k+1+j)): the complement
        // below would cancel to nothing near the nucleus.
        double term = 1.0 / (k + 1), sum = term;
        for (int j = 1; j < 200 && term > 1e-17 * sum; ++j) {
            term *= x / (k + 1 + j);
            sum += term;
        }
        return integer_power(r, k + 1) * exp_minus_x * sum;
    }
    const double complete = slater_complete_integral(k, a);
    if (x > NEGLIGIBLE_EXPONENT)
        return complete;
    return complete * (1.0 - truncated_exponential_series(k, x, exp_minus_x));
}

double slater_outer_integral(int k, double a, double r, double exp_minus_x)
{
    const double x = a * r;
    if (x > NEGLIGIBLE_EXPONENT)
        return 0.0;
    if (k >= 0)
        return slater_complete_integral(k, a) * truncated_exponential_series(k, x, exp_minus_x);
    // Gamma(0, x) = E1(x), then Gamma(s, x) = (Gamma(s+1, x) - x^s e^-x) / s.
    double gamma = -std::expint(-x);
    for (int s = -1; s >= k + 1; --s)
        gamma = (gamma - exp_minus_x / integer_power(x, -s)) / s;
    return integer_power(a, -(k + 1)) * gamma;
}

double esp_grid_radius(int i)
{
    return 0.1 * std::exp(GRID_RATE * i) - 0.0999999;
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
    spherical_esp_tables().esp_inputs = spherical_table_inputs(model);
    return build_spherical_potential_tables(model, bank, radial_lookup_tables(), spherical_esp_tables());
}

std::vector<double> spherical_table_inputs(const StructureModel& model)
{
    const WorkingAtomSet& atoms = model.atoms;
    const PseudoatomParameters& pseudoatoms = model.pseudoatoms;
    std::vector<double> inputs = {static_cast<double>(atoms.independent_atom_count)};
    for (int a = 1; a <= std::clamp(atoms.independent_atom_count, 0, MAX_INDEPENDENT_ATOMS); ++a)
        inputs.insert(inputs.end(), {static_cast<double>(atoms.atom_type_index[a]),
                                     static_cast<double>(atoms.atomic_number[a]),
                                     static_cast<double>(pseudoatoms.core_electron_count[a]), pseudoatoms.kappa[a],
                                     pseudoatoms.valence_population[a]});
    return inputs;
}

bool refresh_spherical_potential_tables()
{
    const SphericalEspTables& tables = spherical_esp_tables();
    // Tables the active property needs but does not have: a rebuild was
    // cancelled (and its job with it).  They are made again rather than
    // taken as no potential at all.
    const PropertySelection& selection = property_selection();
    const bool needed = selection.property_code == ESFED_CODE || selection.property_code == EPOT_CODE
                        || selection.kinetic_model != 0;
    if (tables.esp_tables_ready != 0 ? tables.esp_inputs != spherical_table_inputs(current_model()) : needed)
        build_spherical_potential_tables();
    return tables.esp_tables_ready != 0 || !needed;
}

double spherical_potential_radial_derivative(const StructureModel& model, const SphericalEspTables& tables, int atom,
                                             double d)
{
    const int a = table_atom(model, tables, atom);
    if (a == 0 || !(d > NUCLEUS_RADIUS))
        return 0.0;
    const double z = model.atoms.atomic_number[a];
    double electronic = 0, slope = 0;
    if (!electronic_part(tables, a, d, true, electronic, slope))
        return -(z - tables.esp_electrons[a]) / d;
    return -z / d - d * slope;
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
    double electronic = 0, slope = 0;
    if (!electronic_part(tables, a, d, false, electronic, slope))
        return (z - tables.esp_electrons[a]) / d;
    return z / d - electronic;
}
