#include "keldana/topology/basin_integration.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/user_interface.h"
#include "keldana/density/evaluation_snapshot.h"
#include "keldana/density/numeric_derivatives.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/density/property_names.h"
#include "keldana/density/property_selection.h"
#include "keldana/model/load_defaults.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"

#include "keldana/topology/basin_integration_workers.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <map>
#include <memory>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int LAPLACIAN = 8;
constexpr int FIRST_ENERGY_DENSITY = 30;
// Radial points of a direction by the extent of the basin beyond the beta
// sphere: 120 beyond 3 Angstrom, 96 beyond 2, else entry round(5 e).
constexpr int LONG_RAY_POINTS = 120;
constexpr int MEDIUM_RAY_POINTS = 96;
constexpr std::array<int, 11> SHORT_RAY_POINTS = {12, 16, 20, 24, 28, 32, 36, 40, 48, 64, 96};
// A quadrature direction whose grid cell has radii further apart than this
// ratio is traced itself when the surface search can be repeated.
constexpr double TRACE_RATIO = 1.05;
// Rays a worker takes at a time in the integrals.
constexpr int RAYS_PER_UNIT = 16;

std::atomic<long long> integrand_count{0};

void reset_results_for_load() { basin_integration_results() = BasinIntegrationResults{}; }

// The n roots of the Legendre polynomial P_n by Newton's method, and their
// weights 2 / ((1 - x^2) P_n'(x)^2).
void compute_gauss_legendre_rule(int n, std::vector<double>& nodes, std::vector<double>& weights)
{
    nodes.assign(n, 0.0);
    weights.assign(n, 0.0);
    for (int i = 0; i < (n + 1) / 2; ++i) {
        double z = std::cos(PI * (i + 0.75) / (n + 0.5));
        double derivative = 1.0;
        for (int iteration = 0; iteration < 100; ++iteration) {
            double p1 = 1.0, p2 = 0.0;
            for (int j = 1; j <= n; ++j) {
                const double p3 = p2;
                p2 = p1;
                p1 = ((2.0 * j - 1.0) * z * p2 - (j - 1.0) * p3) / j;
            }
            derivative = n * (z * p1 - p2) / (z * z - 1.0);
            const double previous = z;
            z = previous - p1 / derivative;
            if (std::abs(z - previous) <= 1e-16)
                break;
        }
        nodes[i] = -z;
        nodes[n - 1 - i] = z;
        weights[i] = weights[n - 1 - i] = 2.0 / ((1.0 - z * z) * derivative * derivative);
    }
    if (n % 2 == 1)
        nodes[n / 2] = 0.0;
}

int radial_points_for_extent(double extent)
{
    if (extent > 3.0)
        return LONG_RAY_POINTS;
    if (extent > 2.0)
        return MEDIUM_RAY_POINTS;
    const long entry = std::clamp(std::lround(5.0 * extent), 0L, static_cast<long>(SHORT_RAY_POINTS.size() - 1));
    return SHORT_RAY_POINTS[entry];
}

void show_percent(int& shown, long long done, long long total)
{
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
    if (percent > shown) {
        shown = percent;
        ui().set_progress(percent);
    }
}

void show_direction(double theta, double phi)
{
    ui().set_progress_line(1, format_line("('Theta =',F9.5)", {theta}));
    ui().set_progress_line(2, format_line("('Phi =',F9.5)", {phi}));
}

void show_result(double result) { ui().set_progress_line(3, format_line("('Prop =',F9.5)", {result})); }

bool refuse(const std::string& text)
{
    ui().message_box(text, "Error!", MessageButtons::ok, MessageIcon::warning);
    return false;
}

}  // namespace

bool is_gauss_legendre_size(int n)
{
    if (n == 1 || n == 2)
        return true;
    if (n >= 4 && n <= 32)
        return n % 2 == 0;
    return n == 36 || n == 40 || n == 48 || n == 54 || n == 64 || n == 96 || n == 120;
}

const GaussLegendreRule* gauss_legendre_rule(int n)
{
    if (!is_gauss_legendre_size(n))
        return nullptr;
    static std::map<int, GaussLegendreRule> rules;
    auto found = rules.find(n);
    if (found == rules.end()) {
        GaussLegendreRule rule;
        compute_gauss_legendre_rule(n, rule.nodes, rule.weights);
        found = rules.emplace(n, std::move(rule)).first;
    }
    return &found->second;
}

bool get_gauss_legendre_rule(int n, std::vector<double>& nodes, std::vector<double>& weights)
{
    const GaussLegendreRule* rule = gauss_legendre_rule(n);
    if (rule == nullptr)
        return false;
    nodes = rule->nodes;
    weights = rule->weights;
    return true;
}

namespace {

constexpr int MAX_RAY_POINTS = 128;  // taken in one pass; longer rules go point by point

// The integrand at `count` points, the density and its derivatives in one
// pass over the atoms near them (the same values as point by point).
void integrand_at_points(const Vector3* p, std::size_t count, int code, double* values)
{
    if (code == 0) {
        std::fill(values, values + count, 1.0);
        return;
    }
    if (code >= FIRST_ENERGY_DENSITY) {
        evaluate_energy_densities_at_points(p, count, code, values);
        return;
    }
    evaluate_property_at_points(p, count, code, values);
    if (code == LAPLACIAN)
        // The analytic Laplacian, whatever its sign setting: central
        // differences near a nucleus are far too coarse for an integral
        // that must vanish.
        for (std::size_t k = 0; k < count; ++k)
            values[k] *= evaluated_selection().laplacian_sign;
}

double integrand_at(const Vector3& p, int code)
{
    double value = 0;
    integrand_at_points(&p, 1, code, &value);
    return value;
}

// The radial part of one direction (see integrate_property_along_ray);
// keep_going() is asked after every point, and false ends the ray.
template <typename KeepGoing>
double ray_integral(const Vector3& centre, double theta, double phi, double r0, double r1, double theta_weight,
                    int n_r, int code, KeepGoing keep_going)
{
    const GaussLegendreRule* rule = gauss_legendre_rule(n_r);
    if (rule == nullptr)
        return 0.0;
    const std::vector<double>& x = rule->nodes;
    const std::vector<double>& u = rule->weights;
    const double mid = 0.5 * (r1 + r0);
    const double half = 0.5 * (r1 - r0);
    const Vector3 direction{std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)};
    const double angular = theta_weight * std::sin(theta) * half * PI / 2.0;
    double sum = 0.0;
    // Every point of the ray at once where it fits; a longer rule point by point.
    const bool at_once = n_r <= MAX_RAY_POINTS;
    std::array<Vector3, MAX_RAY_POINTS> points;
    std::array<double, MAX_RAY_POINTS> values;
    const auto point_at = [&](int i) {
        const double r = half * x[i] + mid;
        return Vector3{centre[0] + r * direction[0], centre[1] + r * direction[1], centre[2] + r * direction[2]};
    };
    if (at_once) {
        for (int i = 0; i < n_r; ++i)
            points[i] = point_at(i);
        integrand_at_points(points.data(), static_cast<std::size_t>(n_r), code, values.data());
    }
    for (int i = 0; i < n_r; ++i) {
        const double r = half * x[i] + mid;
        sum += (at_once ? values[i] : integrand_at(point_at(i), code)) * angular * r * r * u[i];
        if (!keep_going())
            break;
    }
    integrand_count.fetch_add(n_r, std::memory_order_relaxed);
    return sum;
}

// The grid cell of the surface table around (theta, phi): its corners'
// radii r and the bilinear weights w of the direction within it.
void surface_cell(const InteratomicSurfaceTable& table, int atom, double theta, double phi, double r[4], double w[4])
{
    const int nt = table.ias_theta_count;
    const int np = table.ias_phi_count;
    const double ti = std::clamp(theta / (PI / nt), 0.0, static_cast<double>(nt));
    const int i = std::min(static_cast<int>(ti), nt - 1);
    const double a = ti - i;
    const double pj = std::clamp(phi / (2.0 * PI / np), 0.0, static_cast<double>(np));
    const int j = std::min(static_cast<int>(pj), np - 1);
    const double b = pj - j;
    r[0] = table.radius(i, j, atom);
    r[1] = table.radius(i + 1, j, atom);
    r[2] = table.radius(i, j + 1, atom);
    r[3] = table.radius(i + 1, j + 1, atom);
    w[0] = (1.0 - a) * (1.0 - b);
    w[1] = a * (1.0 - b);
    w[2] = (1.0 - a) * b;
    w[3] = a * b;
}

// 1/R interpolated bilinearly in (theta, phi) within the grid cell of the
// direction.  Where the surface is a plane x . n = d, 1/R = u . n / d is
// smooth even where R = d / cos climbs steeply as the rays graze it, and a
// sphere about the nucleus is kept exactly.  The result passes through the
// grid radii and stays between the radii of the cell's corners.
double interpolate_surface_radius(const InteratomicSurfaceTable& table, int atom, double theta, double phi)
{
    double r[4], w[4];
    surface_cell(table, atom, theta, phi, r, w);
    double inverse = 0.0;
    for (int q = 0; q < 4; ++q)
        inverse += w[q] / r[q];
    return 1.0 / inverse;
}

// The radii of the last traced directions of each atom, kept with what they
// were traced for, so the next integral over the same surface (the volume
// after the density, say) reads them instead of tracing again.  Every
// model load empties it.
struct TracedRadii {
    std::vector<double> key;  // grid, surface radii, quadrature, search settings, nucleus
    std::vector<double> radii;
    std::vector<std::vector<double>> segments;
};

std::array<TracedRadii, MAX_SURFACE_ATOMS + 1>& traced_radii_store()
{
    static std::array<TracedRadii, MAX_SURFACE_ATOMS + 1> store;
    static const bool registered = (register_load_time_reset([] { traced_radii_store().fill(TracedRadii{}); }), true);
    (void)registered;
    return store;
}

std::vector<double> traced_radii_key(const InteratomicSurfaceTable& table, const SurfaceRaySearch& rays,
                                     const std::vector<double>& theta, const std::vector<double>& phi)
{
    const int nt = table.ias_theta_count;
    const int np = table.ias_phi_count;
    const Vector3 centre = working_atom_position(current_model().atoms, rays.atom);
    std::vector<double> key = {static_cast<double>(nt), static_cast<double>(np),
                               static_cast<double>(theta.size()), static_cast<double>(phi.size()),
                               rays.h, rays.tolerance, rays.beta_radius, run_settings().calculation.rCut,
                               centre[0], centre[1], centre[2]};
    key.insert(key.end(), theta.begin(), theta.end());
    key.insert(key.end(), phi.begin(), phi.end());
    for (int j = 0; j <= np; ++j)
        for (int i = 0; i <= nt; ++i)
            key.push_back(table.radius(i, j, rays.atom));
    if (const SurfaceGrid* reach = surface_reach(table, rays.atom))
        key.insert(key.end(), reach->radii.begin(), reach->radii.end());
    const CriticalPointList& points = *rays.points;
    for (int k = 1; k <= points.cp_count; ++k)
        key.insert(key.end(), {points.points[k].x, points.points[k].y, points.points[k].z});
    return key;
}

// The last crossings at the corners of the grid cell around (theta, phi),
// the first ones where they are unknown.
void surface_cell_reach(const InteratomicSurfaceTable& table, int atom, double theta, double phi, double r[4])
{
    double w[4];
    surface_cell(table, atom, theta, phi, r, w);
    const SurfaceGrid* reach = surface_reach(table, atom);
    if (reach == nullptr)
        return;
    const int nt = table.ias_theta_count;
    const int np = table.ias_phi_count;
    const int i = std::min(static_cast<int>(std::clamp(theta / (PI / nt), 0.0, static_cast<double>(nt))), nt - 1);
    const int j = std::min(static_cast<int>(std::clamp(phi / (2.0 * PI / np), 0.0, static_cast<double>(np))), np - 1);
    r[0] = reach->at(i, j);
    r[1] = reach->at(i + 1, j);
    r[2] = reach->at(i, j + 1);
    r[3] = reach->at(i + 1, j + 1);
}

// Checks the interpolated radii against the surface itself: along every
// direction whose grid cell's radii differ by more than TRACE_RATIO (where
// the surface is steep, folded or bends between grid directions), or where
// a corner's ray re-enters the basin, the ray is traced as the surface
// search traces its grid rays, from the interpolated radius, with every
// crossing out to the corners' reach; its first crossing replaces the
// interpolated radius and the parts of the basin beyond it go to
// `segments` (pairs of radii, by direction).  The directions run on the
// worker threads; false when cancelled.
bool trace_doubtful_directions(const InteratomicSurfaceTable& table, const SurfaceRaySearch& rays,
                               const std::vector<double>& theta, const std::vector<double>& phi,
                               std::vector<double>& radii, std::vector<std::vector<double>>& segments)
{
    const int columns = static_cast<int>(phi.size());
    // The doubtful directions are found first and handed to the workers one
    // by one: they gather where the surface is steep, a few rows of many.
    struct Doubtful {
        int at;
        double low, high, reach;
    };
    std::vector<Doubtful> doubtful;
    for (size_t k = 0; k < theta.size(); ++k)
        for (int l = 0; l < columns; ++l) {
            double r[4], w[4], outer[4];
            surface_cell(table, rays.atom, theta[k], phi[l], r, w);
            surface_cell_reach(table, rays.atom, theta[k], phi[l], outer);
            const double low = std::min({r[0], r[1], r[2], r[3]});
            const double high = std::max({r[0], r[1], r[2], r[3]});
            const double reach = std::max({outer[0], outer[1], outer[2], outer[3], high});
            if (high > TRACE_RATIO * low || reach > high)
                doubtful.push_back({static_cast<int>(k) * columns + l, low, high, reach});
        }
    segments.assign(radii.size(), {});
    auto row = [&](int d, RowControl& control) {
        if (!control.keep_going())
            return;
        const Doubtful& direction = doubtful[d];
        const int k = direction.at / columns;
        const int l = direction.at % columns;
        const Vector3 u{std::sin(theta[k]) * std::cos(phi[l]), std::sin(theta[k]) * std::sin(phi[l]),
                        std::cos(theta[k])};
        double& radius = radii[static_cast<size_t>(direction.at)];
        // Probed from the cell's lowest radius: the search may have
        // bracketed a later crossing.
        const std::vector<double> crossings = trace_surface_crossings(
            rays, u, radius, 0.25 * (direction.high - direction.low), direction.low, direction.reach);
        if (crossings.empty())
            return;
        radius = crossings.front();
        segments[static_cast<size_t>(direction.at)].assign(crossings.begin() + 1, crossings.end());
    };
    TracedRadii& kept = traced_radii_store()[rays.atom];
    std::vector<double> key = traced_radii_key(table, rays, theta, phi);
    if (kept.key == key && kept.radii.size() == radii.size()) {
        radii = kept.radii;
        segments = kept.segments;
        return true;
    }
    const PreparedModelHold hold;
    if (!run_rows(static_cast<int>(doubtful.size()), worker_thread_count(), row, [](int) { return pump_and_check_job(); }))
        return false;
    kept.key = std::move(key);
    kept.radii = radii;
    kept.segments = segments;
    return true;
}

}  // namespace

BasinIntegrationResults& basin_integration_results()
{
    static BasinIntegrationResults results;
    static const bool registered = (register_load_time_reset(reset_results_for_load), true);
    (void)registered;
    return results;
}

double basin_integrand(const Vector3& p, int code)
{
    integrand_count.fetch_add(1, std::memory_order_relaxed);
    return integrand_at(p, code);
}

long long basin_integrand_count() { return integrand_count.load(); }

double integrate_property_along_ray(const Vector3& centre, double theta, double phi, double r0, double r1,
                                    double theta_weight, int n_r, int code, bool& cancelled)
{
    cancelled = false;
    const double sum = ray_integral(centre, theta, phi, r0, r1, theta_weight, n_r, code, [&cancelled] {
        cancelled = !pump_and_check_job();
        return !cancelled;
    });
    return cancelled ? 0.0 : sum;
}

std::vector<double> interpolate_surface_radii(const InteratomicSurfaceTable& table, int atom,
                                              const std::vector<double>& theta_nodes,
                                              const std::vector<double>& phi_nodes)
{
    std::vector<double> radii(theta_nodes.size() * phi_nodes.size());
    for (size_t k = 0; k < theta_nodes.size(); ++k)
        for (size_t l = 0; l < phi_nodes.size(); ++l)
            radii[k * phi_nodes.size() + l] = interpolate_surface_radius(table, atom, theta_nodes[k], phi_nodes[l]);
    return radii;
}

bool integration_surface_radii(const InteratomicSurfaceTable& table, int atom, const std::vector<double>& theta_nodes,
                               const std::vector<double>& phi_nodes, const SurfaceRaySearch* rays,
                               std::vector<double>& radii, std::vector<std::vector<double>>* segments)
{
    radii = interpolate_surface_radii(table, atom, theta_nodes, phi_nodes);
    std::vector<std::vector<double>> beyond;
    if (rays == nullptr || rays->atom != atom) {
        if (segments != nullptr)
            segments->assign(radii.size(), {});
        return true;
    }
    if (!trace_doubtful_directions(table, *rays, theta_nodes, phi_nodes, radii, beyond))
        return false;
    if (segments != nullptr)
        *segments = std::move(beyond);
    return true;
}

BasinOutcome integrate_property_in_basin(int atom, int n_theta, int n_phi, int code,
                                         const InteratomicSurfaceTable& table, double& result,
                                         const SurfaceRaySearch* rays)
{
    result = 0.0;
    const WorkingAtomSet& atoms = current_model().atoms;
    if (atom < 1 || atom > std::min(atoms.atom_count, MAX_SURFACE_ATOMS) || table.ias_present[atom] == 0
        || !is_valid_surface_grid(table.ias_theta_count, table.ias_phi_count)) {
        refuse("No interatomic surface is known for atom number " + std::to_string(atom) + ".");
        return BasinOutcome::refused;
    }
    if (!is_gauss_legendre_size(n_theta) || !is_gauss_legendre_size(n_phi)) {
        refuse("Can not read data. Please, check data in boxes");
        return BasinOutcome::refused;
    }
    const Vector3 c{atoms.cart_x[atom], atoms.cart_y[atom], atoms.cart_z[atom]};
    const double beta = table.ias_start_radius[atom];
    const std::string title_start =
        format_line("('Atom ',A6,': property ',A9)", {atoms.atom_label[atom], code == 0 ? "VOLUME" : property_label(code)});

    // The rules the rays use are made here, on the main thread, before any
    // worker reads them.
    for (int n : SHORT_RAY_POINTS)
        gauss_legendre_rule(n);
    for (int n : {LONG_RAY_POINTS, MEDIUM_RAY_POINTS, INNER_RADIAL_POINTS, INNER_RADIAL_POINTS_HYDROGEN})
        gauss_legendre_rule(n);
    const bool parallel = is_reentrant_property(code);  // code 0, the volume, evaluates nothing
    const int threads = parallel ? worker_thread_count() : 0;
    std::unique_ptr<PreparedModelHold> hold;
    if (parallel && code != 0)
        hold = std::make_unique<PreparedModelHold>();

    // One part of the basin: rows of theta nodes, each the sum over the phi
    // nodes of its ray integrals; the rows are added in order at the end, so
    // every thread count gives the same sum.
    struct Part {
        std::vector<double> theta, theta_weight, phi, phi_weight;
        std::vector<double> r0, r1;  // by k * phi count + l
        std::vector<int> points;     // radial points, 0: no ray
        // Parts of the basin further out along the ray (pairs of radii), by
        // direction; empty where the ray does not re-enter it.
        std::vector<std::vector<double>> beyond;
    };
    // Theta nodes x map to (pi/2) x + pi/2, phi nodes to pi x + pi.
    auto set_directions = [](Part& part, int theta_points, int phi_points) {
        const GaussLegendreRule& theta = *gauss_legendre_rule(theta_points);
        const GaussLegendreRule& phi = *gauss_legendre_rule(phi_points);
        for (int k = 0; k < theta_points; ++k) {
            part.theta.push_back(PI / 2.0 * theta.nodes[k] + PI / 2.0);
            part.theta_weight.push_back(theta.weights[k]);
        }
        for (int l = 0; l < phi_points; ++l) {
            part.phi.push_back(PI * phi.nodes[l] + PI);
            part.phi_weight.push_back(phi.weights[l]);
        }
    };
    double sum_done = 0.0;
    // The rays go to the workers in short runs of consecutive directions,
    // so a few costly rows do not leave threads idle at the end; each ray's
    // weighted integral is stored by direction and the sums are taken row
    // by row afterwards, in the order of one thread.
    auto run_part = [&](const Part& part) {
        const int rows = static_cast<int>(part.theta.size());
        const int columns = static_cast<int>(part.phi.size());
        const int rays = rows * columns;
        const int units = (rays + RAYS_PER_UNIT - 1) / RAYS_PER_UNIT;
        std::vector<double> ray_values(static_cast<size_t>(rays), 0.0);
        std::vector<double> unit_sums(static_cast<size_t>(units), 0.0);
        const auto finished = std::make_unique<std::atomic<bool>[]>(static_cast<size_t>(units));
        auto unit = [&](int u, RowControl& control) {
            const int end = std::min(rays, (u + 1) * RAYS_PER_UNIT);
            double sum = 0.0;
            for (int at = u * RAYS_PER_UNIT; at < end; ++at) {
                const int k = at / columns;
                const int l = at % columns;
                const bool beyond = !part.beyond.empty() && !part.beyond[at].empty();
                if (part.points[at] > 0 || beyond) {
                    auto keep_going = [&control] { return control.keep_going(); };
                    double value = 0.0;
                    if (part.points[at] > 0)
                        value = ray_integral(c, part.theta[k], part.phi[l], part.r0[at], part.r1[at],
                                             part.theta_weight[k], part.points[at], code, keep_going);
                    for (size_t s = 0; beyond && s + 1 < part.beyond[at].size(); s += 2) {
                        const double from = part.beyond[at][s], to = part.beyond[at][s + 1];
                        value += ray_integral(c, part.theta[k], part.phi[l], from, to, part.theta_weight[k],
                                              radial_points_for_extent(to - from), code, keep_going);
                    }
                    ray_values[at] = value * part.phi_weight[l] * PI;
                    sum += ray_values[at];
                }
                if (!control.keep_going())
                    return;
            }
            unit_sums[u] = sum;
            finished[u].store(true, std::memory_order_release);
        };
        int shown = 0;
        auto poll = [&](int units_done) {
            double shown_sum = sum_done;
            int last = -1;
            for (int u = 0; u < units; ++u)
                if (finished[u].load(std::memory_order_acquire)) {
                    shown_sum += unit_sums[u];
                    last = u;
                }
            if (last >= 0) {
                const int at = std::min(rays, (last + 1) * RAYS_PER_UNIT) - 1;
                show_direction(part.theta[at / columns], part.phi[at % columns]);
            }
            show_result(shown_sum);
            show_percent(shown, units_done, units);
            return pump_and_check_job();
        };
        if (!run_rows(units, threads, unit, poll))
            return false;
        for (int k = 0; k < rows; ++k) {
            double row_sum = 0.0;
            for (int l = 0; l < columns; ++l)
                row_sum += ray_values[static_cast<size_t>(k) * columns + l];
            sum_done += row_sum;
        }
        show_result(sum_done);
        return true;
    };

    // Inside the beta sphere.
    ui().open_progress(title_start + " integrating inside BETA sphere...");
    job_control().job_running = true;
    show_direction(0.0, 0.0);
    show_result(0.0);
    const int inner_radial = atoms.atomic_number[atom] == 1 ? INNER_RADIAL_POINTS_HYDROGEN : INNER_RADIAL_POINTS;
    Part inner;
    {
        set_directions(inner, INNER_THETA_POINTS, INNER_PHI_POINTS);
        const size_t size = static_cast<size_t>(INNER_THETA_POINTS) * INNER_PHI_POINTS;
        inner.r0.assign(size, 0.0);
        inner.r1.assign(size, beta);
        inner.points.assign(size, inner_radial);
    }
    bool cancelled = !run_part(inner);

    // Between the beta sphere and the surface.
    if (!cancelled) {
        ui().open_progress(title_start + " integrating outside BETA sphere...");
        job_control().job_running = true;
        show_direction(0.0, 0.0);
        show_result(0.0);
        Part outer;
        set_directions(outer, n_theta, n_phi);
        cancelled = !integration_surface_radii(table, atom, outer.theta, outer.phi, rays, outer.r1, &outer.beyond);
        outer.r0.assign(outer.r1.size(), beta);
        outer.points.assign(outer.r1.size(), 0);
        for (size_t at = 0; at < outer.r1.size(); ++at)
            if (outer.r1[at] > beta)
                outer.points[at] = radial_points_for_extent(outer.r1[at] - beta);
        cancelled = cancelled || !run_part(outer);
    }
    ui().close_progress();
    if (cancelled)
        return BasinOutcome::cancelled;
    result = sum_done;
    return BasinOutcome::completed;
}

std::string basin_integral_name(BasinJobMode mode, int code)
{
    return mode == BasinJobMode::volume ? " VOLUME  " : property_label(code);
}

bool is_valid_basin_request(const BasinJobRequest& request)
{
    if (request.mode == BasinJobMode::surfaces)
        return is_valid_surface_grid(request.n_theta, request.n_phi) && request.step_factor > 0
               && std::isfinite(request.step_factor) && request.surface_tolerance > 0
               && std::isfinite(request.surface_tolerance) && request.cluster_radius > 0
               && std::isfinite(request.cluster_radius);
    return is_gauss_legendre_size(request.n_theta) && is_gauss_legendre_size(request.n_phi)
           && request.cluster_radius > 0 && std::isfinite(request.cluster_radius);
}
