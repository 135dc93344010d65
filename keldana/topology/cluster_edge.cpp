#include "keldana/topology/cluster_edge.h"

#include "keldana/density/property_evaluation.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/symmetry_cluster.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <mutex>

namespace {

// Lattice translations tried along one axis at most; a reach wider than
// this many cells is taken as not held (a cell far smaller than any atom).
constexpr double MAX_TRANSLATIONS_PER_AXIS = 200;

// Width (Angstrom) of a cell of the bound tables.
constexpr double BOUND_STEP = 0.01;
// The evaluator tabulates the spherical densities: its values may pass
// the analytic ones by the interpolation's error, which this covers.
constexpr double TABLE_MARGIN = 1.01;

constexpr int NUCLEAR_POTENTIAL_CODE = 16;
constexpr int ESFED_CODE = 22;
constexpr int EPOT_CODE = 23;

// Sums of terms cut at each atom's radius; the potentials are lattice sums.
bool has_finite_reach(int code)
{
    return code != NUCLEAR_POTENTIAL_CODE && code != ESFED_CODE && code != EPOT_CODE;
}

bool is_density_code(int code) { return code >= 0 && code <= 4; }

Vector3 to_cartesian(const OrthogonalisationMatrix& m, const Vector3& f)
{
    Vector3 c{};
    convert_fractional_to_cartesian(m, f[0], f[1], f[2], c[0], c[1], c[2]);
    return c;
}

bool is_held(const ClusterReach& reach, const Vector3& site, int atomic_number)
{
    constexpr double limit = CLUSTER_SITE_TOLERANCE * CLUSTER_SITE_TOLERANCE;
    return std::any_of(reach.held.begin(), reach.held.end(), [&](const ClusterReach::Atom& atom) {
        const Vector3 d = vector_difference(atom.position, site);
        return atom.atomic_number == atomic_number && d[0] * d[0] + d[1] * d[1] + d[2] * d[2] < limit;
    });
}

// r^n for n >= 0 by products (the powers are small).
double power(double r, int n)
{
    double result = 1.0;
    for (int k = 0; k < n; ++k)
        result *= r;
    return result;
}

// The largest r^n on [r0, r1].
double largest_power(int n, double r0, double r1)
{
    if (n >= 0)
        return power(r1, n);
    return r0 > 0.0 ? 1.0 / power(r0, -n) : HUGE_VAL;
}

// The largest |N| r^n exp(-a r) on [r0, r1].
double radial_part(double normalisation, int n, double a, double r0, double r1)
{
    return std::abs(normalisation) * std::exp(-a * r0) * largest_power(n, r0, r1);
}

// The largest |m - a r| on [r0, r1]: it is linear in r.
double linear_part(int m, double a, double r0, double r1)
{
    return std::max(std::abs(m - a * r0), std::abs(m - a * r1));
}

// Sum of |coefficients| of polynomial k of a multipole order.
double sum_of_magnitudes(const PreparedDensityModel& prepared, const PreparedOrder& order, int k)
{
    double sum = 0;
    for (int i = order.polynomial_begin[k]; i < order.polynomial_begin[k + 1]; ++i)
        sum += std::abs(prepared.monomials[i].coefficient);
    return sum;
}

// Largest |Q| and |grad Q| of a multipole order's polynomial on the unit
// sphere, bounded from samples: the radial projections of a grid of spacing
// 2 / FACE_CELLS on each face of the cube [-1, 1]^3 leave no point of the
// sphere farther than sqrt(2) / FACE_CELLS from a sample (projecting onto
// the sphere from outside it shortens distances), and along that chord,
// inside the ball, |grad Q| and |Hessian Q| stay below the sums of their
// monomials' |coefficients| (|x| <= 1).  The samples are the evaluator's
// own term: the order alone, with the radial factor 1.
struct AngularMaxima {
    double value = 0, gradient = 0;
};
constexpr int FACE_CELLS = 32;
AngularMaxima angular_maxima(const PreparedDensityModel& prepared, const PreparedPseudoatom& atom,
                             const PreparedOrder& order)
{
    PreparedDensityModel alone;
    alone.monomials = prepared.monomials;
    alone.order_coefficients = prepared.order_coefficients;
    alone.atoms.resize(2);
    PreparedPseudoatom& bare = alone.atoms[1];
    bare.occupancy = 1.0;
    bare.radius = 2.0;
    bare.order_count = 1;
    bare.orders[0] = order;
    bare.orders[0].normalisation = 1.0;
    bare.orders[0].power = 0;
    bare.orders[0].exponent = 0.0;
    bare.monomial_degree = atom.monomial_degree;
    TermSelection selection;
    selection.multipoles = true;
    selection.order = DerivativeOrder::gradient;
    AngularMaxima sampled;
    // Q(-u) = (-1)^l Q(u): the faces opposite these add nothing.
    for (int face = 0; face < 3; ++face)
        for (int i = 0; i <= FACE_CELLS; ++i)
            for (int j = 0; j <= FACE_CELLS; ++j) {
                Vector3 c{};
                c[face] = 1.0;
                c[(face + 1) % 3] = -1.0 + 2.0 * i / FACE_CELLS;
                c[(face + 2) % 3] = -1.0 + 2.0 * j / FACE_CELLS;
                const double length = vector_length(c);
                PointDerivatives q;
                accumulate_pseudoatom(alone, 1, {c[0] / length, c[1] / length, c[2] / length}, selection, q);
                sampled.value = std::max(sampled.value, std::abs(q.value));
                sampled.gradient = std::max(sampled.gradient, vector_length(q.gradient));
            }
    const Vector3 first = {sum_of_magnitudes(prepared, order, 1), sum_of_magnitudes(prepared, order, 2),
                           sum_of_magnitudes(prepared, order, 3)};
    double second = 0;  // squared Frobenius bound of the Hessian: xx, yy, zz once, xy, xz, yz twice
    for (int k = 4; k < ORDER_POLYNOMIALS; ++k)
        second += (k < 7 ? 1.0 : 2.0) * std::pow(sum_of_magnitudes(prepared, order, k), 2);
    const double delta = std::sqrt(2.0) / FACE_CELLS;
    return {sampled.value + delta * vector_length(first), sampled.gradient + delta * std::sqrt(second)};
}

}  // namespace

// The spherical density s(r), a sum of pairs c f_i f_j with
// f = N r^n exp(-z r), and the size of its gradient |s'| are bounded on a
// cell by their values at its middle plus half the cell times a bound of the
// next derivative (each pair's in size, from the largest r^m and
// exp(-z r0) on the cell and |n - z r| at its ends).  A multipole order is
// S(r) Q(d) with S = N r^p exp(-a r) and Q homogeneous of degree l: with
// |Q| <= Qmax r^l and |grad Q| <= Gmax r^(l-1) (angular_maxima),
// |grad (S Q)| <= |S'| |Q| + |S| |grad Q|
// <= N r^(p+l-1) exp(-a r) (|p - a r| Qmax + Gmax).  Each bound holds over
// all directions, so for every rotated or reflected image.
AtomTermBounds prepare_atom_term_bounds(int atom, int code, double radius)
{
    AtomTermBounds bounds;
    bounds.step = BOUND_STEP;
    const PreparedDensityModel& prepared = global_frame_density_model();
    if (atom < 1 || atom >= static_cast<int>(prepared.atoms.size()) || !(radius >= 0.0))
        return bounds;
    const PreparedPseudoatom& a = prepared.atoms[atom];
    const TermSelection selection = select_terms_for_code(code);
    const bool sets[3] = {selection.core, selection.valence, selection.free_valence};
    const double signs[3] = {1.0, a.valence_weight, -1.0};  // the free valence is subtracted
    std::vector<AngularMaxima> angular;
    for (int o = 0; selection.multipoles && o < a.order_count; ++o)
        angular.push_back(sum_of_magnitudes(prepared, a.orders[o], 0) > 0.0 ? angular_maxima(prepared, a, a.orders[o])
                                                                            : AngularMaxima{});
    const std::size_t cells = static_cast<std::size_t>(std::min(radius, 1e3) / BOUND_STEP) + 1;
    bounds.density.assign(cells, 0.0);
    bounds.gradient.assign(cells, 0.0);
    for (std::size_t k = 0; k < cells; ++k) {
        const double r0 = static_cast<double>(k) * BOUND_STEP, r1 = r0 + BOUND_STEP;
        // The spherical density: its value and slope at the cell's middle,
        // plus half the cell times a bound of the next derivative.
        const double middle = r0 + 0.5 * BOUND_STEP;
        double value = 0, slope = 0, slope_bound = 0, curvature_bound = 0;
        for (int set = PAIR_SET_CORE; set <= PAIR_SET_FREE; ++set) {
            if (!sets[set])
                continue;
            for (int p = a.pair_begin[set]; p < a.pair_begin[set + 1]; ++p) {
                const PreparedOrbitalPair& pair = prepared.pairs[p];
                const PreparedSlaterFunction& f = prepared.functions[pair.first];
                const PreparedSlaterFunction& g = prepared.functions[pair.second];
                const double scale = signs[set] * pair.coefficient * f.normalisation * g.normalisation;
                const int n = f.power + g.power;
                const double z = f.exponent + g.exponent;
                const double at_middle =
                    scale * (n >= 0 ? power(middle, n) : 1.0 / power(middle, -n)) * std::exp(-z * middle);
                value += at_middle;
                slope += at_middle * (n / middle - z);
                slope_bound += radial_part(scale, n - 1, z, r0, r1) * linear_part(n, z, r0, r1);
                // (N r^n e^(-z r))'' = N r^(n-2) e^(-z r) ((n - z r)^2 - n)
                const double linear = linear_part(n, z, r0, r1);
                curvature_bound += radial_part(scale, n - 2, z, r0, r1) * (linear * linear + std::abs(n));
            }
        }
        double density = std::abs(value) + 0.5 * BOUND_STEP * slope_bound;
        double gradient = std::abs(slope) + 0.5 * BOUND_STEP * curvature_bound;
        for (int o = 0; selection.multipoles && o < a.order_count; ++o) {
            const PreparedOrder& order = a.orders[o];
            const int n = order.power + order.l;
            const AngularMaxima& q = angular[static_cast<std::size_t>(o)];
            density += radial_part(order.normalisation, n, order.exponent, r0, r1) * q.value;
            gradient += radial_part(order.normalisation, n - 1, order.exponent, r0, r1) *
                        (linear_part(order.power, order.exponent, r0, r1) * q.value + q.gradient);
        }
        bounds.density[k] = TABLE_MARGIN * std::abs(a.occupancy) * density;
        bounds.gradient[k] = TABLE_MARGIN * std::abs(a.occupancy) * gradient;
    }
    return bounds;
}

double bound_at(const std::vector<double>& table, double step, double r)
{
    if (!(r >= 0.0) || !(step > 0.0))
        return HUGE_VAL;
    const double k = std::floor(r / step);
    return k < static_cast<double>(table.size()) ? table[static_cast<std::size_t>(k)] : HUGE_VAL;
}

namespace {

ClusterReach make_cluster_reach(int code)
{
    ClusterReach reach;
    const StructureModel& model = current_model();
    const WorkingAtomSet& atoms = model.atoms;
    const int n = std::min(atoms.atom_count, MAX_WORKING_ATOMS);
    const int independent = std::min(atoms.independent_atom_count, n);
    if (!has_finite_reach(code) || independent <= 0)
        return reach;
    reach.rule = is_density_code(code) ? ClusterReach::Rule::effect : ClusterReach::Rule::reach;
    reach.orthogonalisation = model.orthogonalisation;
    // Row i of the inverse orthogonalisation is a*_i: the fractional
    // coordinates of the Cartesian unit vectors are its columns.
    std::array<Vector3, 3> columns{};
    for (int j = 0; j < 3; ++j) {
        Vector3 unit{};
        unit[j] = 1.0;
        convert_cartesian_to_fractional(model.orthogonalisation, unit[0], unit[1], unit[2], columns[j][0],
                                        columns[j][1], columns[j][2]);
    }
    for (int i = 0; i < 3; ++i)
        reach.reciprocal_lengths[i] = std::hypot(columns[0][i], columns[1][i], columns[2][i]);

    for (int k = 1; k <= n; ++k)
        if (atoms.subset_mask[k] != 0)
            reach.held.push_back({working_atom_position(atoms, k), atoms.atomic_number[k]});

    const SymmetryOperators& operators = model.operators;
    const std::vector<Vector3> centring = centring_vectors(model.space_group.lattice_type);
    for (int a = 1; a <= independent; ++a) {
        // An image has its parent's terms; the widest of them counts.
        double radius = density_term_radius(a);
        for (int j = 2; a <= MAX_INDEPENDENT_ATOMS && j <= model.images.image_count[a] && j <= MAX_IMAGES_PER_ATOM;
             ++j)
            radius = std::max(radius, density_term_radius(model.images.image_list[a][j]));
        if (reach.rule == ClusterReach::Rule::effect)
            reach.bounds.push_back(prepare_atom_term_bounds(a, code, radius));
        const Vector3 x{atoms.frac_x[a], atoms.frac_y[a], atoms.frac_z[a]};
        // Without operators the atom itself and its lattice images.
        const int count = std::clamp(operators.symop_count, 1, MAX_SYMMETRY_OPERATORS);
        for (int o = 1; o <= count; ++o)
            for (const Vector3& g : centring) {
                ClusterReach::Site site;
                site.radius = radius;
                site.atomic_number = atoms.atomic_number[a];
                site.atom = a - 1;
                const auto& s = operators.symop[o];
                for (int row = 1; row <= 3; ++row)
                    site.fractional[row - 1] =
                        operators.symop_count > 0
                            ? s[row][1] * x[0] + s[row][2] * x[1] + s[row][3] * x[2] + s[row][4] + g[row - 1]
                            : x[row - 1] + g[row - 1];
                reach.images.push_back(site);
            }
    }
    return reach;
}

}  // namespace

ClusterReach prepare_cluster_reach(int code)
{
    // The bound tables take milliseconds: a search asked again of the same
    // model, settings and property reads those of the last one.
    struct Kept {
        std::uint64_t revision = 0;
        int code = 0;
        std::uint64_t r_cut = 0;
        int l_pole = 0;
        int global_frame = 0;  // the term radii come from the frame's prepared model
        ClusterReach reach;
    };
    static std::mutex mutex;
    static Kept kept;
    const CalculationSettings& settings = run_settings().calculation;
    const Kept key{model_revision(), code, std::bit_cast<std::uint64_t>(settings.rCut), settings.lPole,
                   settings.global_frame, {}};
    const std::lock_guard<std::mutex> lock(mutex);
    if (kept.revision != key.revision || kept.code != key.code || kept.r_cut != key.r_cut
        || kept.l_pole != key.l_pole || kept.global_frame != key.global_frame) {
        ClusterReach reach = make_cluster_reach(code);
        kept = key;
        kept.reach = std::move(reach);
    }
    return kept.reach;
}

MissingAtomsEffect missing_atoms_effect(const ClusterReach& reach, const Vector3& point)
{
    MissingAtomsEffect effect;
    if (reach.rule == ClusterReach::Rule::none)
        return effect;
    const MissingAtomsEffect unbounded{HUGE_VAL, HUGE_VAL};
    Vector3 pf{};
    convert_cartesian_to_fractional(reach.orthogonalisation, point[0], point[1], point[2], pf[0], pf[1], pf[2]);
    for (const ClusterReach::Site& site : reach.images) {
        // |fractional difference along i| <= radius |a*_i| for every image within reach.
        std::array<double, 3> low{}, high{};
        for (int i = 0; i < 3; ++i) {
            const double centre = pf[i] - site.fractional[i];
            const double half = site.radius * reach.reciprocal_lengths[i];
            if (!std::isfinite(centre) || !std::isfinite(half) || half > MAX_TRANSLATIONS_PER_AXIS)
                return unbounded;
            low[i] = std::ceil(centre - half);
            high[i] = std::floor(centre + half);
        }
        for (double t1 = low[0]; t1 <= high[0]; ++t1)
            for (double t2 = low[1]; t2 <= high[1]; ++t2)
                for (double t3 = low[2]; t3 <= high[2]; ++t3) {
                    const Vector3 image = to_cartesian(
                        reach.orthogonalisation,
                        {site.fractional[0] + t1, site.fractional[1] + t2, site.fractional[2] + t3});
                    const double r = point_distance(image, point);
                    if (r > site.radius || is_held(reach, image, site.atomic_number))
                        continue;
                    if (reach.rule == ClusterReach::Rule::reach)
                        return unbounded;
                    const AtomTermBounds& bounds = reach.bounds[static_cast<std::size_t>(site.atom)];
                    effect.density += bound_at(bounds.density, bounds.step, r);
                    effect.gradient += bound_at(bounds.gradient, bounds.step, r);
                }
    }
    return effect;
}

bool cluster_holds_point(const ClusterReach& reach, const Vector3& point, double value,
                         const std::array<double, 3>& eigenvalues)
{
    if (reach.rule == ClusterReach::Rule::none)
        return true;
    const MissingAtomsEffect effect = missing_atoms_effect(reach, point);
    if (effect.gradient == 0.0 && effect.density == 0.0)
        return true;  // every image within reach held
    const double curvature =
        std::min({std::abs(eigenvalues[0]), std::abs(eigenvalues[1]), std::abs(eigenvalues[2])});
    // The missing atoms move the point by about H^-1 g, at most
    // |g| / min |lambda|.
    return effect.gradient < EDGE_SHIFT_LIMIT * curvature && effect.density < EDGE_DENSITY_LIMIT * std::abs(value);
}
