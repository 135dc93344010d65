#include "keldana/density/electrostatic_potential.h"

#include "common/job_control.h"
#include "common/worker_pool.h"
#include "keldana/density/evaluation_snapshot.h"
#include "keldana/density/local_frames.h"
#include "keldana/density/numeric_helpers.h"
#include "keldana/density/radial_functions.h"
#include "keldana/density/spherical_harmonics.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/load_defaults.h"
#include "keldana/model/symmetry_cluster.h"
#include "keldana/model/revision_cache.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace {

constexpr double MIN_RADIUS = 1e-9;          // Angstrom
constexpr double NUCLEUS_RADIUS = 1e-6;      // spherical part: closer counts as at the nucleus
constexpr double MULTIPOLE_MIN_SHIFT = 0.001;  // multipole part: per local component

// x^k for small k >= 0 by multiplication.
double integer_power(double x, int k)
{
    double p = 1.0;
    for (; k > 0; --k)
        p *= x;
    return p;
}

// K(l, n, r) of compute_radial_potential_integral for valid arguments and
// r >= MIN_RADIUS, given e^(-a r); with `slope`, r dK/dr instead (the terms
// from differentiating the integrals' limits cancel).
double radial_potential_integral(int l, int n, double a, double r, double exp_minus_x, bool slope = false)
{
    const double inner = slater_inner_integral(n + l + 2, a, r, exp_minus_x) / integer_power(r, l + 1);
    const double outer = integer_power(r, l) * slater_outer_integral(n + 1 - l, a, r, exp_minus_x);
    return (slope ? -(l + 1) * inner + l * outer : inner + outer) / (2 * (2 * l + 1));
}

// sum_i c[i] r^i, i = 0..last, by Horner's rule.
double tail_polynomial(const double* c, int last, double r)
{
    double sum = c[last];
    for (int i = last - 1; i >= 0; --i)
        sum = sum * r + c[i];
    return sum;
}

// radial_potential_integral of a folded order from its tail polynomials,
// given e^(-a r); near the nucleus (where the inner part would cancel) and
// for a negative outer power as there.
// r_power[l] = r^l and inverse_power[l + 1] = r^-(l+1) are given.
double folded_radial_integral(const FoldedMultipoleOrder& order, int l, double r, const double* r_power,
                              const double* inverse_power, double exp_minus_x, bool slope)
{
    constexpr double ORDER_WEIGHT[MAX_L + 1] = {1.0 / 2, 1.0 / 6, 1.0 / 10, 1.0 / 14, 1.0 / 18};  // 1 / (2 (2l + 1))
    const int k_inner = order.n + l + 2, k_outer = order.n + 1 - l;
    if (order.a * r < k_inner + 1 || k_outer < 0)
        return radial_potential_integral(l, order.n, order.a, r, exp_minus_x, slope);
    const double inner =
        (order.inner_complete - exp_minus_x * tail_polynomial(order.inner_tail, k_inner, r)) * inverse_power[l + 1];
    const double outer = r_power[l] * exp_minus_x * tail_polynomial(order.outer_tail, k_outer, r);
    return (slope ? -(l + 1) * inner + l * outer : inner + outer) * ORDER_WEIGHT[l];
}

// The coefficients k! / (i! a^(k+1-i)), i = 0..k, of a tail polynomial.
void fill_tail(int k, double a, double* c)
{
    c[k] = 1.0 / a;
    for (int i = k - 1; i >= 0; --i)
        c[i] = c[i + 1] * (i + 1) / a;
}

bool usable_radial(int n, double a)
{
    return n >= 0 && n <= MAX_SLATER_POWER && a > 0.0 && std::isfinite(a);
}

// The x = a r beyond which e^-x x^j / j! (j <= k + 1), what the radial
// integral keeps besides its complete inner part, is below 1e-12 of it:
// far below the eight digits of a map.
double far_exponent(int k)
{
    const double log_limit = std::log(1e-12);
    double x = k + 2.0;
    while (-x + (k + 1) * std::log(x) - std::lgamma(k + 2.0) + std::log(k + 3.0) > log_limit)
        x += 1.0;
    return x;
}

// Index of the monomial x^px y^py z^pz of degree l in a folded order.
int monomial_index(int l, int px, int pz)
{
    return (l - px) * (l - px + 1) / 2 + pz;
}

using DegreeMonomials = double[MAX_L + 1][(MAX_L + 1) * (MAX_L + 2) / 2];

// The monomials of v of each degree 0..degree in the order of
// monomial_index, each from one of degree l - 1: those with a power of x
// (the first l (l + 1) / 2) times x, then those without times y, the last
// times z.
void fill_degree_monomials(const Vector3& v, int degree, DegreeMonomials& monomials)
{
    monomials[0][0] = 1.0;
    for (int l = 1; l <= degree; ++l) {
        const double* below = monomials[l - 1];
        double* m = monomials[l];
        const int with_x = l * (l + 1) / 2;
        for (int j = 0; j < with_x; ++j)
            m[j] = below[j] * v[0];
        const int first_without_x = (l - 1) * l / 2;
        for (int k = 0; k < l; ++k)
            m[with_x + k] = below[first_without_x + k] * v[1];
        m[with_x + l] = below[first_without_x + l - 1] * v[2];
    }
}

// The far form of the folded orders in global components: each local
// monomial x'^i y'^j z'^k, x' = row 1 of to_local times d and so on,
// multiplied out.
void fold_far_form(MultipoleFrame& frame)
{
    frame.far_radius = 0.0;
    for (int l = 0; l < frame.order_count; ++l) {
        const FoldedMultipoleOrder& order = frame.orders[l];
        std::fill(std::begin(frame.far_global[l]), std::end(frame.far_global[l]), 0.0);
        if (!order.used)
            continue;
        frame.far_radius = std::max(frame.far_radius, order.far_radius);
        int index = 0;
        for (int i = l; i >= 0; --i)
            for (int k = 0; k <= l - i; ++k, ++index) {
                const double c = -8 * std::numbers::pi * order.far_coefficient * order.coefficient[index];
                if (c == 0.0)
                    continue;
                // The product, degree by degree, of i, l - i - k and k
                // linear forms (rows 1, 2, 3 of to_local).
                double product[(MAX_L + 1) * (MAX_L + 2) / 2] = {1.0}, next[(MAX_L + 1) * (MAX_L + 2) / 2];
                int degree = 0;
                for (int row : {1, 2, 3}) {
                    const int times = row == 1 ? i : row == 2 ? l - i - k : k;
                    for (int t = 0; t < times; ++t, ++degree) {
                        std::fill(std::begin(next), std::end(next), 0.0);
                        for (int px = degree; px >= 0; --px)
                            for (int pz = 0; pz <= degree - px; ++pz) {
                                const double p = product[monomial_index(degree, px, pz)];
                                next[monomial_index(degree + 1, px + 1, pz)] += p * frame.to_local(row, 1);
                                next[monomial_index(degree + 1, px, pz)] += p * frame.to_local(row, 2);
                                next[monomial_index(degree + 1, px, pz + 1)] += p * frame.to_local(row, 3);
                            }
                        std::copy(std::begin(next), std::end(next), std::begin(product));
                    }
                }
                for (int j = 0; j < (l + 1) * (l + 2) / 2; ++j)
                    frame.far_global[l][j] += c * product[j];
            }
    }
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
        if (order.used) {
            order.normalisation = 1.0 / slater_complete_integral(order.n + 2, order.a);
            order.inner_complete = slater_complete_integral(order.n + l + 2, order.a);
            fill_tail(order.n + l + 2, order.a, order.inner_tail);
            if (order.n + 1 - l >= 0)
                fill_tail(order.n + 1 - l, order.a, order.outer_tail);
            order.far_coefficient = order.normalisation * order.inner_complete / (2 * (2 * l + 1));
            order.far_radius = far_exponent(order.n + l + 2) / order.a;
        }
    }
}

// The multipole part at d, or with `radial` its r dV/dr at a fixed direction.
// The multipole part of orders 0..l_last where all are point multipoles.
double far_multipole_part(const MultipoleFrame& frame, int l_last, double dx, double dy, double dz, double r,
                          bool radial)
{
    DegreeMonomials monomials;
    fill_degree_monomials({dx, dy, dz}, l_last, monomials);
    const double inverse_r = 1.0 / r, inverse_r2 = inverse_r * inverse_r;
    double scale = inverse_r, sum = 0.0;
    for (int l = 0; l <= l_last; ++l, scale *= inverse_r2) {
        double polynomial = 0.0;
        const int count = (l + 1) * (l + 2) / 2;
        for (int j = 0; j < count; ++j)
            polynomial += frame.far_global[l][j] * monomials[l][j];
        sum += (radial ? -(l + 1) : 1) * polynomial * scale;
    }
    return sum;
}

// `distance` is |d| when the caller has it, else negative.
double multipole_part(const StructureModel& model, int atom, const MultipoleFrame& frame, double dx, double dy,
                      double dz, bool radial, double distance = -1.0)
{
    if (atom < 1 || atom > std::min(model.atoms.atom_count, MAX_WORKING_ATOMS))
        return 0.0;
    int l_last = std::clamp(model.pseudoatoms.l_max[atom], 0, MAX_L);
    if (l_last > 0 && !frame.valid)
        l_last = 0;  // y_00 needs no direction
    // The folded terms of this atom: the frame's, or folded here.
    const MultipoleFrame* folded = &frame;
    std::unique_ptr<MultipoleFrame> own;
    if (frame.atom != atom || frame.order_count < l_last + 1) {
        own = std::make_unique<MultipoleFrame>();
        fold_multipole_orders(model, atom, l_last, *own);
        folded = own.get();
    }
    if (distance < 0.0)
        distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (folded == &frame && distance > frame.far_radius && distance > MULTIPOLE_MIN_SHIFT)
        return far_multipole_part(frame, l_last, dx, dy, dz, distance, radial);
    Vector3 local{dx, dy, dz};
    if (l_last > 0)
        for (int k = 0; k < 3; ++k)
            local[k] = frame.to_local(k + 1, 1) * dx + frame.to_local(k + 1, 2) * dy + frame.to_local(k + 1, 3) * dz;

    double r = l_last > 0 ? std::sqrt(local[0] * local[0] + local[1] * local[1] + local[2] * local[2]) : distance;
    if (!(r > MULTIPOLE_MIN_SHIFT)) {
        if (radial)
            return 0.0;  // held constant there
        local = {MULTIPOLE_MIN_SHIFT, MULTIPOLE_MIN_SHIFT, MULTIPOLE_MIN_SHIFT};
        r = std::sqrt(local[0] * local[0] + local[1] * local[1] + local[2] * local[2]);
    }
    DegreeMonomials monomials;
    fill_degree_monomials(local, l_last, monomials);
    double pr[MAX_L + 2];
    pr[0] = 1.0;
    // Powers of r and of 1 / r (up to r^-(2l+1) of the far terms), by
    // multiplication.
    const double inverse_r = 1.0 / r;
    double inverse_power[2 * MAX_L + 2];
    inverse_power[0] = 1.0;
    for (int e = 1; e <= 2 * l_last + 1; ++e)
        inverse_power[e] = inverse_power[e - 1] * inverse_r;
    for (int e = 1; e <= l_last + 1; ++e)
        pr[e] = pr[e - 1] * r;

    double sum = 0.0;
    double last_a = -1.0, exp_minus_x = 0.0;  // orders mostly share one exponent
    for (int l = 0; l <= l_last; ++l) {
        const FoldedMultipoleOrder& order = folded->orders[l];
        if (!order.used)
            continue;
        double polynomial = 0.0;
        const int count = (l + 1) * (l + 2) / 2;
        for (int j = 0; j < count; ++j)
            polynomial += order.coefficient[j] * monomials[l][j];
        if (polynomial == 0.0)
            continue;
        if (r > order.far_radius) {
            // r dK/dr = -(l + 1) K there.
            const double far = order.far_coefficient * polynomial * inverse_power[2 * l + 1];
            sum += radial ? -(l + 1) * far : far;
            continue;
        }
        const double angular = polynomial * inverse_power[l];
        if (order.a != last_a) {
            last_a = order.a;
            exp_minus_x = std::exp(-order.a * r);
        }
        const double integral = folded_radial_integral(order, l, r, pr, inverse_power, exp_minus_x, radial);
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
    fold_far_form(frame);
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

double evaluate_atom_electrostatic_potential(const StructureModel& model, const SphericalEspTables& tables, int atom, double dx, double dy, double dz)
{
    if (tables.esp_tables_ready == 0 || atom < 1 || atom > std::min(model.atoms.atom_count, MAX_WORKING_ATOMS))
        return 0.0;
    MultipoleFrame frame;
    if (model.pseudoatoms.l_max[atom] > 0)
        frame = build_multipole_frame(model, atom);
    return evaluate_atom_electrostatic_potential(model, tables, atom, frame, dx, dy, dz);
}

double evaluate_atom_electrostatic_potential(const StructureModel& model, const SphericalEspTables& tables, int atom, const MultipoleFrame& frame, double dx,
                                             double dy, double dz)
{
    if (tables.esp_tables_ready == 0 || atom < 1 || atom > std::min(model.atoms.atom_count, MAX_WORKING_ATOMS))
        return 0.0;
    const double distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    const double d = distance >= NUCLEUS_RADIUS ? distance : NUCLEUS_RADIUS;
    const double potential = interpolate_spherical_potential(model, tables, atom, d)
                             + multipole_part(model, atom, frame, dx, dy, dz, false, distance);
    return potential * model.atoms.site_weight[atom] * model.pseudoatoms.occupancy[atom];
}

double evaluate_atom_electrostatic_potential(int atom, double dx, double dy, double dz)
{
    return evaluate_atom_electrostatic_potential(evaluated_model(), spherical_esp_tables(), atom, dx, dy, dz);
}

double evaluate_atom_position_dot_gradient(const StructureModel& model, const SphericalEspTables& tables, int atom, const MultipoleFrame& frame, double dx,
                                           double dy, double dz)
{
    if (tables.esp_tables_ready == 0 || atom < 1 || atom > std::min(model.atoms.atom_count, MAX_WORKING_ATOMS))
        return 0.0;
    const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
    const double slope = spherical_potential_radial_derivative(model, tables, atom, d)
                         + multipole_part(model, atom, frame, dx, dy, dz, true);
    return slope * model.atoms.site_weight[atom] * model.pseudoatoms.occupancy[atom];
}

namespace {

// The lattice sum with every atom's frame built.
double lattice_sum(const StructureModel& model, const ClusterTranslations& cells, const SphericalEspTables& tables,
                   double x, double y, double z, const std::vector<MultipoleFrame>& frames)
{
    const WorkingAtomSet& atoms = model.atoms;
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
                    sum += evaluate_atom_electrostatic_potential(model, tables, i, frames[i], x - px, y - py,
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

// The unit-cell model of EPOT with its atoms' frames and the model revision
// it was made from, immutable once made.
struct PotentialCell {
    std::uint64_t revision = 0;
    std::unique_ptr<const StructureModel> model;
    std::vector<MultipoleFrame> frames;
};

std::atomic<std::shared_ptr<const PotentialCell>>& potential_cell()
{
    static std::atomic<std::shared_ptr<const PotentialCell>> cell;
    return cell;
}

// The unit cell of `source` made with the cluster list: the same list on
// the same model gives the same bits, whenever it is made.  An independent
// atom left out of the working subset is left out with all its images.
std::shared_ptr<const PotentialCell> make_potential_cell(const StructureModel& source,
                                                         const SymmetryApplicationList& list)
{
    auto model = std::make_unique<StructureModel>(source);
    model->translations.unit_cell_mode = 1;
    model->applications = list;
    if (!build_cluster_quietly(*model))
        return nullptr;
    WorkingAtomSet& atoms = model->atoms;
    const int independent = std::clamp(source.atoms.independent_atom_count, 0, MAX_INDEPENDENT_ATOMS);
    for (int k = 1; k <= std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS); ++k) {
        const int parent = k <= atoms.independent_atom_count ? k : model->images.parent_atom[k];
        if (parent >= 1 && parent <= independent && source.atoms.subset_mask[parent] == 0)
            atoms.subset_mask[k] = 0;
    }
    auto cell = std::make_shared<PotentialCell>();
    cell->revision = model_revision();
    cell->frames = all_multipole_frames(*model);
    cell->model = std::move(model);
    return cell;
}

// Outside the workers and outside a job's run (a job's cell is made
// with its snapshot), EPOT may bring the cell up to date itself.
bool may_refresh_potential_cell() { return !inside_worker_pool() && !job_control().job_active; }

}  // namespace

double evaluate_atom_electrostatic_potential_sum(const StructureModel& model, const SphericalEspTables& tables,
                                                 double x, double y, double z)
{
    if (tables.esp_tables_ready == 0)
        return 0.0;
    // A lattice translation leaves the frames and the folded terms as they
    // are: build each once.
    return lattice_sum(model, model.translations, tables, x, y, z, all_multipole_frames(model));
}

double evaluate_atom_electrostatic_potential_sum(double x, double y, double z)
{
    if (may_refresh_potential_cell())
        refresh_potential_cell();
    const SphericalEspTables& tables = spherical_esp_tables();
    if (tables.esp_tables_ready == 0)
        return 0.0;
    const std::shared_ptr<const PotentialCell> cell = potential_cell().load(std::memory_order_acquire);
    const StructureModel& model = evaluated_model();
    if (cell)
        return lattice_sum(*cell->model, model.translations, tables, x, y, z, cell->frames);
    return lattice_sum(model, model.translations, tables, x, y, z, current_multipole_frames());
}

bool set_potential_cell(const SymmetryApplicationList& list)
{
    static const bool registered = (register_load_time_reset(clear_potential_cell), true);
    (void)registered;
    std::shared_ptr<const PotentialCell> cell = make_potential_cell(current_model(), list);
    if (!cell)
        return false;
    potential_cell().store(std::move(cell), std::memory_order_release);
    return true;
}

void refresh_potential_cell()
{
    // Whatever changes what the cell or the tables are made from notes a
    // model change, so one look per revision is enough (EPOT asks per point).
    static std::atomic<std::uint64_t> refreshed{0};
    const std::uint64_t revision = model_revision();
    if (refreshed.exchange(revision, std::memory_order_acq_rel) == revision)
        return;
    if (!refresh_spherical_potential_tables())
        refreshed.store(0, std::memory_order_release);  // cancelled: asked for again at the next look
    const std::shared_ptr<const PotentialCell> cell = potential_cell().load(std::memory_order_acquire);
    if (!cell || cell->revision == revision)
        return;
    // The independent atoms change only with a load, which clears the cell,
    // so the list still applies; were it refused, no stale cell is kept.
    potential_cell().store(make_potential_cell(current_model(), cell->model->applications),
                           std::memory_order_release);
}

void clear_potential_cell() { potential_cell().store(nullptr, std::memory_order_release); }

bool has_potential_cell()
{
    return potential_cell().load(std::memory_order_acquire) != nullptr;
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
