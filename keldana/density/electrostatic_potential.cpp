#include "keldana/density/electrostatic_potential.h"

#include "keldana/density/local_frames.h"
#include "keldana/density/numeric_helpers.h"
#include "keldana/density/radial_functions.h"
#include "keldana/density/spherical_harmonics.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/run_settings.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr double MIN_RADIUS = 1e-9;          // Angstrom
constexpr double NUCLEUS_RADIUS = 1e-6;      // spherical part: closer counts as at the nucleus
constexpr double MULTIPOLE_MIN_SHIFT = 0.001;  // multipole part: per local component
constexpr double NEGLIGIBLE_EXPONENT = 700.0;  // exp(-x) is below every term it meets

double factorial(int k)
{
    double f = 1.0;
    for (int i = 2; i <= k; ++i)
        f *= i;
    return f;
}

// e^-x sum_{j=0..k} x^j / j!: the probability that a Poisson variable of mean
// x is at most k; all terms positive, no cancellation.
double truncated_exponential_series(int k, double x)
{
    double term = 1.0, sum = 1.0;
    for (int j = 1; j <= k; ++j) {
        term *= x / j;
        sum += term;
    }
    return std::exp(-x) * sum;
}

// int_0^r s^k e^(-a s) ds for k >= 0.
double inner_integral(int k, double a, double r)
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
        return std::pow(r, k + 1) * std::exp(-x) * sum;
    }
    const double complete = factorial(k) / std::pow(a, k + 1);
    if (x > NEGLIGIBLE_EXPONENT)
        return complete;
    return complete * (1.0 - truncated_exponential_series(k, x));
}

// int_r^inf s^k e^(-a s) ds = a^-(k+1) Gamma(k+1, a r) for k >= -3.
double outer_integral(int k, double a, double r)
{
    const double x = a * r;
    if (x > NEGLIGIBLE_EXPONENT)
        return 0.0;
    if (k >= 0)
        return factorial(k) / std::pow(a, k + 1) * truncated_exponential_series(k, x);
    // Gamma(0, x) = E1(x), then Gamma(s, x) = (Gamma(s+1, x) - x^s e^-x) / s.
    double gamma = -std::expint(-x);
    for (int s = -1; s >= k + 1; --s)
        gamma = (gamma - std::pow(x, s) * std::exp(-x)) / s;
    return std::pow(a, -(k + 1)) * gamma;
}

}  // namespace

double compute_radial_potential_integral(int l, int n, double a, double r)
{
    if (l < 0 || l > MAX_L || n < 0 || n > MAX_SLATER_POWER || !(a > 0.0) || !std::isfinite(a))
        return 0.0;
    if (!(r >= MIN_RADIUS))
        r = MIN_RADIUS;
    const double inner = inner_integral(n + l + 2, a, r) / std::pow(r, l + 1);
    const double outer = std::pow(r, l) * outer_integral(n + 1 - l, a, r);
    return (inner + outer) / (2 * (2 * l + 1));
}

MultipoleFrame build_multipole_frame(const StructureModel& model, int atom)
{
    MultipoleFrame frame;
    Vector3 a{}, b{}, c{};
    if (!get_atom_local_axes(model, atom, a, b, c) || !invert_3x3_row_vectors(a, b, c))
        return frame;
    for (int k = 1; k <= 3; ++k) {
        frame.to_local(k, 1) = a[k - 1];
        frame.to_local(k, 2) = b[k - 1];
        frame.to_local(k, 3) = c[k - 1];
    }
    frame.valid = true;
    return frame;
}

double evaluate_atom_multipole_potential(const StructureModel& model, int atom, double dx, double dy, double dz)
{
    if (atom < 1 || atom > std::min(model.atoms.atom_count, MAX_WORKING_ATOMS))
        return 0.0;
    MultipoleFrame frame;
    if (model.pseudoatoms.l_max[atom] > 0)
        frame = build_multipole_frame(model, atom);
    return evaluate_atom_multipole_potential(model, atom, frame, dx, dy, dz);
}

double evaluate_atom_multipole_potential(const StructureModel& model, int atom, const MultipoleFrame& frame,
                                         double dx, double dy, double dz)
{
    if (atom < 1 || atom > std::min(model.atoms.atom_count, MAX_WORKING_ATOMS))
        return 0.0;
    const PseudoatomParameters& p = model.pseudoatoms;
    int l_last = std::clamp(p.l_max[atom], 0, MAX_L);

    Vector3 local{dx, dy, dz};
    if (l_last > 0 && frame.valid) {
        for (int k = 0; k < 3; ++k)
            local[k] = frame.to_local(k + 1, 1) * dx + frame.to_local(k + 1, 2) * dy + frame.to_local(k + 1, 3) * dz;
    } else {
        l_last = 0;  // y_00 needs no direction
    }
    double r = std::sqrt(local[0] * local[0] + local[1] * local[1] + local[2] * local[2]);
    if (!(r > MULTIPOLE_MIN_SHIFT)) {
        local = {MULTIPOLE_MIN_SHIFT, MULTIPOLE_MIN_SHIFT, MULTIPOLE_MIN_SHIFT};
        r = std::sqrt(3.0) * MULTIPOLE_MIN_SHIFT;
    }

    double sum = 0.0;
    for (int l = 0; l <= l_last; ++l) {
        double angular = 0.0;
        for (int m = -l; m <= l; ++m) {
            const double population = p.multipole_population[atom](l, m);
            if (population != 0.0)
                angular += population * evaluate_real_harmonic(l, m, local[0], local[1], local[2]);
        }
        const int n = p.radial_n[atom][l];
        const double a = p.kappa_prime[atom] * p.radial_zeta[atom][l];
        if (angular == 0.0 || n < 0 || n > MAX_SLATER_POWER || !(a > 0.0) || !std::isfinite(a))
            continue;
        const double normalisation = std::pow(a, n + 3) / factorial(n + 2);
        sum += normalisation * compute_radial_potential_integral(l, n, a, r) * angular;
    }
    return -8 * std::numbers::pi * sum;
}

double evaluate_atom_electrostatic_potential(const StructureModel& model, const SphericalEspTables& tables,
                                             double r_cut, int atom, double dx, double dy, double dz)
{
    if (tables.esp_tables_ready == 0 || atom < 1 || atom > std::min(model.atoms.atom_count, MAX_WORKING_ATOMS))
        return 0.0;
    MultipoleFrame frame;
    if (model.pseudoatoms.l_max[atom] > 0)
        frame = build_multipole_frame(model, atom);
    return evaluate_atom_electrostatic_potential(model, tables, r_cut, atom, frame, dx, dy, dz);
}

double evaluate_atom_electrostatic_potential(const StructureModel& model, const SphericalEspTables& tables,
                                             double r_cut, int atom, const MultipoleFrame& frame, double dx,
                                             double dy, double dz)
{
    if (tables.esp_tables_ready == 0 || atom < 1 || atom > std::min(model.atoms.atom_count, MAX_WORKING_ATOMS))
        return 0.0;
    double d = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (!(d >= NUCLEUS_RADIUS))
        d = NUCLEUS_RADIUS;
    double potential = interpolate_spherical_potential(model, tables, atom, d);
    if (d <= r_cut)
        potential += evaluate_atom_multipole_potential(model, atom, frame, dx, dy, dz);
    return potential * model.atoms.site_weight[atom] * model.pseudoatoms.occupancy[atom];
}

double evaluate_atom_electrostatic_potential(int atom, double dx, double dy, double dz)
{
    return evaluate_atom_electrostatic_potential(current_model(), spherical_esp_tables(),
                                                 run_settings().calculation.rCut, atom, dx, dy, dz);
}

double evaluate_atom_electrostatic_potential_sum(const StructureModel& model, const SphericalEspTables& tables,
                                                 double r_cut, double x, double y, double z)
{
    if (tables.esp_tables_ready == 0)
        return 0.0;
    const WorkingAtomSet& atoms = model.atoms;
    const ClusterTranslations& cells = model.translations;
    const int atom_count = std::min(atoms.atom_count, MAX_WORKING_ATOMS);
    // A lattice translation leaves the frames as they are: build each once.
    std::vector<MultipoleFrame> frames(static_cast<std::size_t>(std::max(atom_count, 0)) + 1);
    for (int i = 1; i <= atom_count; ++i)
        if (atoms.subset_mask[i] != 0 && model.pseudoatoms.l_max[i] > 0)
            frames[i] = build_multipole_frame(model, i);
    double sum = 0.0;
    for (int a = -cells.cluster_k; a <= cells.cluster_k; ++a)
        for (int b = -cells.cluster_l; b <= cells.cluster_l; ++b)
            for (int c = -cells.cluster_m; c <= cells.cluster_m; ++c)
                for (int i = 1; i <= atom_count; ++i) {
                    if (atoms.subset_mask[i] == 0)
                        continue;
                    double px = atoms.cart_x[i], py = atoms.cart_y[i], pz = atoms.cart_z[i];
                    if (a != 0 || b != 0 || c != 0)
                        convert_fractional_to_cartesian(model.orthogonalisation, atoms.frac_x[i] + a,
                                                        atoms.frac_y[i] + b, atoms.frac_z[i] + c, px, py, pz);
                    sum += evaluate_atom_electrostatic_potential(model, tables, r_cut, i, frames[i], x - px, y - py,
                                                                 z - pz);
                }
    return sum;
}

double evaluate_atom_electrostatic_potential_sum(double x, double y, double z)
{
    return evaluate_atom_electrostatic_potential_sum(current_model(), spherical_esp_tables(),
                                                     run_settings().calculation.rCut, x, y, z);
}
