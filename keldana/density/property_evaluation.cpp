#include "keldana/density/property_evaluation.h"

#include "keldana/density/electrostatic_potential.h"
#include "keldana/density/energy_densities.h"
#include "keldana/density/evaluation_snapshot.h"
#include "keldana/density/neighbour_grid.h"
#include "keldana/density/numeric_derivatives.h"
#include "keldana/density/property_esd.h"
#include "keldana/density/property_selection.h"
#include "keldana/model/revision_cache.h"
#include "keldana/model/run_settings.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <memory>
#include <vector>

namespace {

// A prepared model with the neighbour grid of its active atoms, and what it
// was built from.
struct PreparedEvaluation {
    std::uint64_t revision = 0;
    double r_cut = 0;
    int l_pole = 0;
    PreparedDensityModel prepared;
    NeighbourGrid grid;
    // Per atom its position and the square of a distance beyond which
    // accumulate_pseudoatom adds nothing (a hair beyond its radius; infinite
    // for a skew local frame, where the distance is taken in the frame), so
    // the many candidates beyond their radius cost a few loads, not the
    // atom's whole record.
    std::vector<std::array<double, 4>> reach;
};

// The prepared model of each population frame.
RevisionCache<PreparedEvaluation>& cache_of(PopulationFrame frame)
{
    static RevisionCache<PreparedEvaluation> caches[2];
    return caches[frame == PopulationFrame::global ? 0 : 1];
}

const PreparedEvaluation& prepared_evaluation(PopulationFrame frame)
{
    const CalculationSettings& settings = evaluated_settings();
    // rCut and lPole are plain fields the dialogs write; comparing them as
    // well costs nothing and keeps a forgotten revision bump harmless.
    const auto is_current = [&settings](const PreparedEvaluation& evaluation) {
        return evaluation.revision == evaluated_revision()
               && std::bit_cast<std::uint64_t>(evaluation.r_cut) == std::bit_cast<std::uint64_t>(settings.rCut)
               && evaluation.l_pole == settings.lPole;
    };
    return cache_of(frame).get(is_current, [&settings, frame] {
        auto fresh = std::make_unique<PreparedEvaluation>();
        fresh->revision = evaluated_revision();
        fresh->r_cut = settings.rCut;
        fresh->l_pole = settings.lPole;
        prepare_density_model(evaluated_model(), wavefunction_bank(), radial_lookup_tables(), settings, frame,
                              fresh->prepared);
        std::vector<int> active;
        std::vector<Vector3> positions(fresh->prepared.atoms.size());
        fresh->reach.resize(fresh->prepared.atoms.size());
        for (std::size_t i = 1; i < fresh->prepared.atoms.size(); ++i) {
            const PreparedPseudoatom& atom = fresh->prepared.atoms[i];
            const double radius = atom.use_frame && !atom.frame_orthonormal ? HUGE_VAL : atom.radius * (1.0 + 1e-9);
            fresh->reach[i] = {atom.position[0], atom.position[1], atom.position[2], radius * radius};
            positions[i] = atom.position;
            if (atom.active)
                active.push_back(static_cast<int>(i));
        }
        // No active atom reaches farther than the largest of their radii.
        build_neighbour_grid(active, positions, fresh->prepared.largest_radius, fresh->grid);
        return fresh;
    });
}

PopulationFrame frame_of_settings()
{
    return evaluated_settings().global_frame == 1 ? PopulationFrame::global : PopulationFrame::local;
}

// The selected terms of the active atoms within rCut of the point.
PointDerivatives sum_active_atoms(const Vector3& point, const TermSelection& selection, PopulationFrame frame)
{
    const PreparedEvaluation& cache = prepared_evaluation(frame);
    PointDerivatives sum;
    AtomMask mask{};
    mark_neighbour_candidates(cache.grid, point, mask);
    // The atoms within reach and their distances first, in one loop, so the
    // square roots overlap instead of each waiting for the last atom's terms.
    std::array<int, MAX_WORKING_ATOMS + 1> near;
    std::array<Vector3, MAX_WORKING_ATOMS + 1> d;
    std::array<double, MAX_WORKING_ATOMS + 1> r;
    int count = 0;
    for (std::size_t word = 0; word < mask.size(); ++word)
        for (std::uint64_t bits = mask[word]; bits != 0; bits &= bits - 1) {
            const int atom = static_cast<int>(word * 64) + std::countr_zero(bits);
            const std::array<double, 4>& reach = cache.reach[static_cast<std::size_t>(atom)];
            const Vector3 dg = {point[0] - reach[0], point[1] - reach[1], point[2] - reach[2]};
            if (dg[0] * dg[0] + dg[1] * dg[1] + dg[2] * dg[2] > reach[3])
                continue;
            near[count] = atom;
            d[count++] = displacement_in_atom_frame(cache.prepared.atoms[atom], dg);
        }
    for (int k = 0; k < count; ++k)
        r[k] = floored_length(d[k]);
    for (int k = 0; k < count; ++k)
        accumulate_pseudoatom_at(cache.prepared, near[k], d[k], r[k], selection, sum);
    return sum;
}

// sum_active_atoms at each of `count` (at most 64) points: each atom is
// read once for the points within its reach, and every point still sums
// the atoms its own neighbour cells give, in the same order.
void sum_active_atoms_at_points(const Vector3* points, std::size_t count, const TermSelection& selection,
                                PopulationFrame frame, PointDerivatives* sums)
{
    constexpr std::size_t MAX_POINTS = 64;
    const PreparedEvaluation& cache = prepared_evaluation(frame);
    std::array<AtomMask, MAX_POINTS> masks;
    AtomMask any{}, every;
    every.fill(~std::uint64_t{0});
    for (std::size_t p = 0; p < count; ++p) {
        sums[p] = PointDerivatives{};
        masks[p] = AtomMask{};
        mark_neighbour_candidates(cache.grid, points[p], masks[p]);
        for (std::size_t word = 0; word < any.size(); ++word) {
            any[word] |= masks[p][word];
            every[word] &= masks[p][word];
        }
    }
    // The points by column, so the loops below run over whole vectors, and
    // the box that holds them.
    std::array<double, MAX_POINTS> px, py, pz;
    Vector3 low = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (std::size_t p = 0; p < count; ++p) {
        px[p] = points[p][0];
        py[p] = points[p][1];
        pz[p] = points[p][2];
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], points[p][c]);
            high[c] = std::max(high[c], points[p][c]);
        }
    }
    const bool box_holds = std::isfinite(low[0] + low[1] + low[2] + high[0] + high[1] + high[2]);
    std::array<std::size_t, MAX_POINTS> near;
    std::array<double, MAX_POINTS> gx, gy, gz, dx, dy, dz, r;
    std::array<double, MAX_POINTS> squares;
    for (std::size_t word = 0; word < any.size(); ++word)
        for (std::uint64_t bits = any[word]; bits != 0; bits &= bits - 1) {
            const int atom = static_cast<int>(word * 64) + std::countr_zero(bits);
            const std::uint64_t bit = std::uint64_t{1} << (atom & 63);
            const std::array<double, 4>& reach = cache.reach[static_cast<std::size_t>(atom)];
            const bool candidate_of_every_point = (every[word] & bit) != 0;
            bool reaches_every_point = false;
            if (box_holds) {
                // An atom that misses the box by a margin far beyond rounding
                // misses every point in it, one that holds the box within such
                // a margin reaches every point: each point's own test below
                // would find the same.
                double gap_square = 0, far_square = 0;
                for (int c = 0; c < 3; ++c) {
                    const double gap = std::max({low[c] - reach[c], reach[c] - high[c], 0.0});
                    const double far = std::max(std::abs(low[c] - reach[c]), std::abs(high[c] - reach[c]));
                    gap_square += gap * gap;
                    far_square += far * far;
                }
                if (gap_square > reach[3] * (1.0 + 1e-9))
                    continue;
                reaches_every_point = candidate_of_every_point && far_square < reach[3] * (1.0 - 1e-9);
            }
            for (std::size_t p = 0; p < count; ++p) {
                gx[p] = px[p] - reach[0];
                gy[p] = py[p] - reach[1];
                gz[p] = pz[p] - reach[2];
            }
            std::size_t n = 0;
            if (reaches_every_point) {
                for (; n < count; ++n)
                    near[n] = n;
            } else {
                for (std::size_t p = 0; p < count; ++p)
                    squares[p] = gx[p] * gx[p] + gy[p] * gy[p] + gz[p] * gz[p];
                for (std::size_t p = 0; p < count; ++p)
                    if (!(squares[p] > reach[3]) && (candidate_of_every_point || (masks[p][word] & bit) != 0))
                        near[n++] = p;
            }
            if (n == 0)
                continue;
            const PreparedPseudoatom& prepared_atom = cache.prepared.atoms[atom];
            for (std::size_t k = 0; k < n; ++k) {
                const std::size_t p = near[k];
                const Vector3 q = displacement_in_atom_frame(prepared_atom, {gx[p], gy[p], gz[p]});
                dx[k] = q[0];
                dy[k] = q[1];
                dz[k] = q[2];
            }
            for (std::size_t k = 0; k < n; ++k)
                r[k] = floored_length({dx[k], dy[k], dz[k]});
            if (selection.order == DerivativeOrder::value || selection.order == DerivativeOrder::laplacian) {
                std::array<PointDerivatives*, MAX_POINTS> targets;
                for (std::size_t k = 0; k < n; ++k)
                    targets[k] = &sums[near[k]];
                accumulate_pseudoatom_values(cache.prepared, atom, {dx.data(), dy.data(), dz.data(), r.data()}, n,
                                             selection, targets.data());
                continue;
            }
            for (std::size_t k = 0; k < n; ++k)
                accumulate_pseudoatom_at(cache.prepared, atom, {dx[k], dy[k], dz[k]}, r[k], selection,
                                         sums[near[k]]);
        }
}

// The component of code 0..14 or 24.
double component_of(const PointDerivatives& p, int code)
{
    if (code <= 4)
        return p.value;
    if (code <= 7)
        return p.gradient[code - 5];
    if (code == 8)
        return p.laplacian;
    if (code <= 14)
        return p.hessian[code - 9];
    return std::sqrt(p.gradient[0] * p.gradient[0] + p.gradient[1] * p.gradient[1] + p.gradient[2] * p.gradient[2]);
}

bool is_pseudoatom_code(int code)
{
    return (code >= 0 && code <= 14) || code == 24;
}

double nuclear_potential(const Vector3& point)
{
    const StructureModel& model = evaluated_model();
    const WorkingAtomSet& atoms = model.atoms;
    double sum = 0.0;
    for (int i = 1; i <= std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS); ++i)
        if (atoms.subset_mask[i] != 0)
            sum += atoms.atomic_number[i] / floored_length({point[0] - atoms.cart_x[i], point[1] - atoms.cart_y[i],
                                                            point[2] - atoms.cart_z[i]});
    return sum;
}

double pseudoatom_term(PopulationFrame frame, int atom, double dx, double dy, double dz, int code, double& r_out)
{
    r_out = floored_length({dx, dy, dz});
    const PreparedEvaluation& cache = prepared_evaluation(frame);
    if (atom < 1 || atom >= static_cast<int>(cache.prepared.atoms.size()))
        return 0.0;
    if (code == 16)
        return cache.prepared.atoms[atom].atomic_number / r_out;
    if (code < 0 || code > 14)
        return 0.0;
    PointDerivatives sum;
    accumulate_pseudoatom(cache.prepared, atom, {dx, dy, dz}, select_terms_for_code(code), sum);
    return component_of(sum, code);
}

}  // namespace

double evaluate_property_at_point(double x, double y, double z, int code)
{
    const Vector3 point = {x, y, z};
    double result = 0.0;
    if (code == 23)
        result = evaluate_atom_electrostatic_potential_sum(x, y, z);
    else if (code == 16)
        result = nuclear_potential(point);
    else if (code == 17 || code == 18)
        result = evaluate_property_esd(x, y, z, code);
    else if (is_pseudoatom_code(code))
        result = component_of(sum_active_atoms(point, select_terms_for_code(code), frame_of_settings()), code);
    if (code == 8 && evaluated_selection().laplacian_sign == -1)
        result = -result;
    return result;
}

void evaluate_property_at_points(const Vector3* points, std::size_t count, int code, double* values)
{
    if (!is_pseudoatom_code(code)) {
        for (std::size_t p = 0; p < count; ++p)
            values[p] = evaluate_property_at_point(points[p][0], points[p][1], points[p][2], code);
        return;
    }
    const TermSelection selection = select_terms_for_code(code);
    const PopulationFrame frame = frame_of_settings();
    const double sign = code == 8 && evaluated_selection().laplacian_sign == -1 ? -1.0 : 1.0;
    std::array<PointDerivatives, 64> sums;
    for (std::size_t first = 0; first < count; first += sums.size()) {
        const std::size_t n = std::min(sums.size(), count - first);
        sum_active_atoms_at_points(points + first, n, selection, frame, sums.data());
        for (std::size_t p = 0; p < n; ++p) {
            const double value = component_of(sums[p], code);
            values[first + p] = sign < 0 ? -value : value;
        }
    }
}

bool is_reentrant_property(int code)
{
    return (code >= 0 && code <= 14) || (code >= 16 && code <= 18) || (code >= 22 && code <= 24)
           || (code >= 30 && code <= 43);
}

void evaluate_property_value_gradient_hessian(const Vector3& point, double& value, Vector3& gradient,
                                              Matrix3& hessian, int code)
{
    if (code >= 30) {
        compute_energy_density_gradient_hessian_numeric(point, value, gradient, hessian, code);
        return;
    }
    if (code < 0 || code > 4) {
        compute_property_gradient_hessian_numeric(point, value, gradient, hessian, code);
        return;
    }
    TermSelection selection = select_terms_for_code(code);
    selection.order = DerivativeOrder::hessian;
    const PointDerivatives sum = sum_active_atoms(point, selection, frame_of_settings());
    value = sum.value;
    gradient = sum.gradient;
    static constexpr int PAIRS[6][2] = {{1, 1}, {2, 2}, {3, 3}, {1, 2}, {1, 3}, {2, 3}};
    for (int k = 0; k < 6; ++k) {
        hessian(PAIRS[k][0], PAIRS[k][1]) = sum.hessian[k];
        hessian(PAIRS[k][1], PAIRS[k][0]) = sum.hessian[k];
    }
}

bool evaluate_density_value_gradient(const Vector3& point, double& value, Vector3& gradient, int code)
{
    if (code < 0 || code > 4)
        return false;
    TermSelection selection = select_terms_for_code(code);
    selection.order = DerivativeOrder::gradient;
    const PointDerivatives sum = sum_active_atoms(point, selection, frame_of_settings());
    value = sum.value;
    gradient = sum.gradient;
    return true;
}

void hold_prepared_density_model()
{
    prepared_evaluation(frame_of_settings());
    current_multipole_frames();  // what EPOT and the kinetic-energy models read
    refresh_potential_cell();
}

void release_prepared_density_model() {}

double density_term_radius(int atom)
{
    const PreparedDensityModel& prepared = prepared_evaluation(frame_of_settings()).prepared;
    return atom >= 1 && atom < static_cast<int>(prepared.atoms.size()) ? prepared.atoms[atom].radius : 0.0;
}

const PreparedDensityModel& global_frame_density_model()
{
    return prepared_evaluation(PopulationFrame::global).prepared;
}

double evaluate_pseudoatom_term_global_frame(int atom, double dx, double dy, double dz, int code, double& r_out)
{
    return pseudoatom_term(PopulationFrame::global, atom, dx, dy, dz, code, r_out);
}

double evaluate_pseudoatom_term_local_frame(int atom, double dx, double dy, double dz, int code, double& r_out)
{
    return pseudoatom_term(PopulationFrame::local, atom, dx, dy, dz, code, r_out);
}
