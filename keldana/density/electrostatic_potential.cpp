#include "keldana/density/electrostatic_potential.h"

#include "keldana/density/evaluation_snapshot.h"
#include "keldana/density/local_frames.h"
#include "keldana/density/numeric_helpers.h"
#include "keldana/density/radial_functions.h"
#include "keldana/density/spherical_harmonics.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/revision_cache.h"
#include "keldana/model/run_settings.h"

#include <algorithm>
#include <cmath>
#include <memory>
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

// int_0^r s^k e^(-a s) ds for k >= 0, given e^(-a r).
double inner_integral(int k, double a, double r, double exp_minus_x)
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
    const double complete = factorial(k) / integer_power(a, k + 1);
    if (x > NEGLIGIBLE_EXPONENT)
        return complete;
    return complete * (1.0 - truncated_exponential_series(k, x, exp_minus_x));
}

// int_r^inf s^k e^(-a s) ds = a^-(k+1) Gamma(k+1, a r) for k >= -3, given
// e^(-a r).
double outer_integral(int k, double a, double r, double exp_minus_x)
{
    const double x = a * r;
    if (x > NEGLIGIBLE_EXPONENT)
        return 0.0;
    if (k >= 0)
        return factorial(k) / integer_power(a, k + 1) * truncated_exponential_series(k, x, exp_minus_x);
    // Gamma(0, x) = E1(x), then Gamma(s, x) = (Gamma(s+1, x) - x^s e^-x) / s.
    double gamma = -std::expint(-x);
    for (int s = -1; s >= k + 1; --s)
        gamma = (gamma - exp_minus_x / integer_power(x, -s)) / s;
    return integer_power(a, -(k + 1)) * gamma;
}

// K(l, n, r) of compute_radial_potential_integral for valid arguments and
// r >= MIN_RADIUS, given e^(-a r); with `slope`, r dK/dr instead (the terms
// from differentiating the integrals' limits cancel).
double radial_potential_integral(int l, int n, double a, double r, double exp_minus_x, bool slope = false)
{
    const double inner = inner_integral(n + l + 2, a, r, exp_minus_x) / integer_power(r, l + 1);
    const double outer = integer_power(r, l) * outer_integral(n + 1 - l, a, r, exp_minus_x);
    return (slope ? -(l + 1) * inner + l * outer : inner + outer) / (2 * (2 * l + 1));
}

bool usable_radial(int n, double a)
{
    return n >= 0 && n <= MAX_SLATER_POWER && a > 0.0 && std::isfinite(a);
}

// Index of the monomial x^px y^py z^pz of degree l in a folded order.
int monomial_index(int l, int px, int pz)
{
    return (l - px) * (l - px + 1) / 2 + pz;
}

// Folds the orders 0..l_last of the atom into `frame`.
void fold_multipole_orders(const StructureModel& model, int atom, int l_last, MultipoleFrame& frame)
{
    const PseudoatomParameters& p = model.pseudoatoms;
    const HarmonicNormalisation& normalisation = harmonic_normalisation();
    frame.atom = atom;
    frame.order_count = l_last + 1;
    for (int l = 0; l <= l_last; ++l) {
        FoldedMultipoleOrder& order = frame.orders[l];
        order = FoldedMultipoleOrder{};
        bool populated = false;
        for (int m = -l; m <= l; ++m) {
            const double population = p.multipole_population[atom](l, m);
            if (population == 0.0)
                continue;
            populated = true;
            const HarmonicPolynomial& polynomial = *get_harmonic_polynomial(l, m);
            for (int t = 0; t < polynomial.count; ++t) {
                const HarmonicMonomial& term = polynomial.terms[t];
                order.coefficient[monomial_index(l, term.px, term.pz)] +=
                    population * normalisation(l, m) * term.coefficient;
            }
        }
        order.n = p.radial_n[atom][l];
        order.a = p.kappa_prime[atom] * p.radial_zeta[atom][l];
        order.used = populated && usable_radial(order.n, order.a);
        if (order.used)
            order.normalisation = integer_power(order.a, order.n + 3) / factorial(order.n + 2);
    }
}

// The multipole part at d, or with `radial` its r dV/dr at a fixed direction.
double multipole_part(const StructureModel& model, int atom, const MultipoleFrame& frame, double dx, double dy,
                      double dz, bool radial)
{
    if (atom < 1 || atom > std::min(model.atoms.atom_count, MAX_WORKING_ATOMS))
        return 0.0;
    int l_last = std::clamp(model.pseudoatoms.l_max[atom], 0, MAX_L);
    Vector3 local{dx, dy, dz};
    if (l_last > 0 && frame.valid) {
        for (int k = 0; k < 3; ++k)
            local[k] = frame.to_local(k + 1, 1) * dx + frame.to_local(k + 1, 2) * dy + frame.to_local(k + 1, 3) * dz;
    } else {
        l_last = 0;  // y_00 needs no direction
    }
    // The folded terms of this atom: the frame's, or folded here.
    const MultipoleFrame* folded = &frame;
    MultipoleFrame own;
    if (frame.atom != atom || frame.order_count < l_last + 1) {
        fold_multipole_orders(model, atom, l_last, own);
        folded = &own;
    }

    double r = std::sqrt(local[0] * local[0] + local[1] * local[1] + local[2] * local[2]);
    if (!(r > MULTIPOLE_MIN_SHIFT)) {
        if (radial)
            return 0.0;  // held constant there
        local = {MULTIPOLE_MIN_SHIFT, MULTIPOLE_MIN_SHIFT, MULTIPOLE_MIN_SHIFT};
        r = std::sqrt(3.0) * MULTIPOLE_MIN_SHIFT;
    }
    // Powers 0..4 of the local coordinates, and of r.
    double px[MAX_L + 1], py[MAX_L + 1], pz[MAX_L + 1], pr[MAX_L + 2];
    px[0] = py[0] = pz[0] = pr[0] = 1.0;
    for (int e = 1; e <= l_last; ++e) {
        px[e] = px[e - 1] * local[0];
        py[e] = py[e - 1] * local[1];
        pz[e] = pz[e - 1] * local[2];
    }
    for (int e = 1; e <= l_last + 1; ++e)
        pr[e] = pr[e - 1] * r;

    double sum = 0.0;
    double last_a = -1.0, exp_minus_x = 0.0;  // orders mostly share one exponent
    for (int l = 0; l <= l_last; ++l) {
        const FoldedMultipoleOrder& order = folded->orders[l];
        if (!order.used)
            continue;
        double polynomial = 0.0;
        for (int i = l; i >= 0; --i)          // power of x
            for (int k = 0; k <= l - i; ++k)  // power of z
                polynomial += order.coefficient[monomial_index(l, i, k)] * px[i] * py[l - i - k] * pz[k];
        if (polynomial == 0.0)
            continue;
        const double angular = polynomial / pr[l];
        if (order.a != last_a) {
            last_a = order.a;
            exp_minus_x = std::exp(-order.a * r);
        }
        const double integral = radial_potential_integral(l, order.n, order.a, r, exp_minus_x, radial);
        sum += order.normalisation * integral * angular;
    }
    return -8 * std::numbers::pi * sum;
}

}  // namespace

double compute_radial_potential_integral(int l, int n, double a, double r)
{
    if (l < 0 || l > MAX_L || !usable_radial(n, a))
        return 0.0;
    if (!(r >= MIN_RADIUS))
        r = MIN_RADIUS;
    return radial_potential_integral(l, n, a, r, std::exp(-a * r));
}

MultipoleFrame build_multipole_frame(const StructureModel& model, int atom)
{
    MultipoleFrame frame;
    if (atom < 1 || atom > std::min(model.atoms.atom_count, MAX_WORKING_ATOMS))
        return frame;
    const int l_max = std::clamp(model.pseudoatoms.l_max[atom], 0, MAX_L);
    Vector3 a{}, b{}, c{};
    if (l_max > 0 && get_atom_local_axes(model, atom, a, b, c) && invert_3x3_row_vectors(a, b, c)) {
        for (int k = 1; k <= 3; ++k) {
            frame.to_local(k, 1) = a[k - 1];
            frame.to_local(k, 2) = b[k - 1];
            frame.to_local(k, 3) = c[k - 1];
        }
        frame.valid = true;
    }
    fold_multipole_orders(model, atom, frame.valid ? l_max : 0, frame);
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
    return multipole_part(model, atom, frame, dx, dy, dz, false);
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
    return evaluate_atom_electrostatic_potential(evaluated_model(), spherical_esp_tables(),
                                                 evaluated_settings().rCut, atom, dx, dy, dz);
}

double evaluate_atom_position_dot_gradient(const StructureModel& model, const SphericalEspTables& tables,
                                           double r_cut, int atom, const MultipoleFrame& frame, double dx,
                                           double dy, double dz)
{
    if (tables.esp_tables_ready == 0 || atom < 1 || atom > std::min(model.atoms.atom_count, MAX_WORKING_ATOMS))
        return 0.0;
    const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
    double slope = spherical_potential_radial_derivative(model, tables, atom, d);
    if (d <= r_cut)
        slope += multipole_part(model, atom, frame, dx, dy, dz, true);
    return slope * model.atoms.site_weight[atom] * model.pseudoatoms.occupancy[atom];
}

namespace {

// The lattice sum with every atom's frame built.
double lattice_sum(const StructureModel& model, const SphericalEspTables& tables, double r_cut, double x, double y,
                   double z, const std::vector<MultipoleFrame>& frames)
{
    const WorkingAtomSet& atoms = model.atoms;
    const ClusterTranslations& cells = model.translations;
    const int atom_count = std::min({atoms.atom_count, MAX_WORKING_ATOMS, static_cast<int>(frames.size()) - 1});
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

std::vector<MultipoleFrame> all_multipole_frames(const StructureModel& model)
{
    const int atom_count = std::clamp(model.atoms.atom_count, 0, MAX_WORKING_ATOMS);
    std::vector<MultipoleFrame> frames(static_cast<std::size_t>(atom_count) + 1);
    for (int i = 1; i <= atom_count; ++i)
        frames[i] = build_multipole_frame(model, i);
    return frames;
}

}  // namespace

double evaluate_atom_electrostatic_potential_sum(const StructureModel& model, const SphericalEspTables& tables,
                                                 double r_cut, double x, double y, double z)
{
    if (tables.esp_tables_ready == 0)
        return 0.0;
    // A lattice translation leaves the frames and the folded terms as they
    // are: build each once.
    return lattice_sum(model, tables, r_cut, x, y, z, all_multipole_frames(model));
}

double evaluate_atom_electrostatic_potential_sum(double x, double y, double z)
{
    const SphericalEspTables& tables = spherical_esp_tables();
    if (tables.esp_tables_ready == 0)
        return 0.0;
    return lattice_sum(evaluated_model(), tables, evaluated_settings().rCut, x, y, z, current_multipole_frames());
}

const std::vector<MultipoleFrame>& current_multipole_frames()
{
    struct Frames {
        std::uint64_t revision = 0;
        std::vector<MultipoleFrame> frames;
    };
    static RevisionCache<Frames> cache;
    return cache
        .get([](const Frames& frames) { return frames.revision == evaluated_revision(); },
             [] {
                 auto fresh = std::make_unique<Frames>();
                 fresh->revision = evaluated_revision();
                 fresh->frames = all_multipole_frames(evaluated_model());
                 return fresh;
             })
        .frames;
}
