#include "keldana/topology/basin_integration.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/user_interface.h"
#include "keldana/density/energy_densities.h"
#include "keldana/density/numeric_derivatives.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/density/property_names.h"
#include "keldana/density/property_selection.h"
#include "keldana/model/load_defaults.h"
#include "keldana/model/model_store.h"

#include "keldana/topology/basin_integration_workers.h"

#include <algorithm>
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
constexpr int PHI_FIT_POINTS = 7;
constexpr int THETA_FIT_POINTS = 5;
constexpr double STEEP_RATIO = 2.0;

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

// The least-squares parabola through the points, evaluated at `at`: the
// normal equations solved by Gauss elimination without pivoting.
double fit_parabola(const double* x, const double* y, int count, double at)
{
    double s[5] = {0, 0, 0, 0, 0};
    double t[3] = {0, 0, 0};
    for (int k = 0; k < count; ++k) {
        double power = 1.0;
        for (int p = 0; p < 5; ++p) {
            s[p] += power;
            if (p < 3)
                t[p] += power * y[k];
            power *= x[k];
        }
    }
    double a[3][4] = {{s[0], s[1], s[2], t[0]}, {s[1], s[2], s[3], t[1]}, {s[2], s[3], s[4], t[2]}};
    for (int col = 0; col < 3; ++col)
        for (int row = col + 1; row < 3; ++row) {
            const double factor = a[row][col] / a[col][col];
            for (int k = col; k < 4; ++k)
                a[row][k] -= factor * a[col][k];
        }
    double c[3];
    for (int row = 2; row >= 0; --row) {
        double sum = a[row][3];
        for (int k = row + 1; k < 3; ++k)
            sum -= a[row][k] * c[k];
        c[row] = sum / a[row][row];
    }
    return c[0] + c[1] * at + c[2] * at * at;
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

double integrand_at(const Vector3& p, int code)
{
    if (code == 0)
        return 1.0;
    if (code >= FIRST_ENERGY_DENSITY)
        return evaluate_energy_density_property(p[0], p[1], p[2], code);
    if (code == LAPLACIAN)
        // The analytic Laplacian, whatever its sign setting: central
        // differences near a nucleus are far too coarse for an integral
        // that must vanish.
        return evaluate_property_at_point(p[0], p[1], p[2], LAPLACIAN) * property_selection().laplacian_sign;
    return evaluate_property_at_point(p[0], p[1], p[2], code);
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
    for (int i = 0; i < n_r; ++i) {
        const double r = half * x[i] + mid;
        const Vector3 p{centre[0] + r * direction[0], centre[1] + r * direction[1], centre[2] + r * direction[2]};
        sum += integrand_at(p, code) * angular * r * r * u[i];
        if (!keep_going())
            break;
    }
    integrand_count.fetch_add(n_r, std::memory_order_relaxed);
    return sum;
}

// Codes whose evaluation only reads the prepared model, so workers may share
// it: the volume and the pseudoatom density terms.
bool is_parallel_code(int code) { return (code >= 0 && code <= 14) || code == 24; }

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
    // Where the radii a fit uses differ by more than a factor STEEP_RATIO, the
    // rays graze a surface patch: there R = d / cos climbs steeply while 1/R
    // = cos / d stays smooth, so the parabolas are fitted to 1/R.  Elsewhere
    // they are fitted to R, whose local means they keep (the volume of a
    // polyhedral cell comes out right).  The result stays within the radii
    // the fit used.
    const int nt = table.ias_theta_count;
    const int np = table.ias_phi_count;
    const double dtheta = PI / nt;
    const double dphi = 2.0 * PI / np;
    const size_t phi_count = phi_nodes.size();

    std::vector<int> first_phi(phi_count);
    for (size_t l = 0; l < phi_count; ++l) {
        int j0 = std::max(static_cast<int>(phi_nodes[l] / dphi) - 3, 0);
        if (j0 + PHI_FIT_POINTS - 1 > np)
            j0 = np - (PHI_FIT_POINTS - 1);
        first_phi[l] = j0;
    }

    // Along phi: T(i, l) of R and of 1/R at every grid theta and every phi
    // node, with the range of the radii fitted.
    const size_t size = static_cast<size_t>(nt + 1) * phi_count;
    std::vector<double> direct(size), reciprocal(size), lowest(size), highest(size);
    double x[PHI_FIT_POINTS], y[PHI_FIT_POINTS], z[PHI_FIT_POINTS];
    for (int i = 0; i <= nt; ++i)
        for (size_t l = 0; l < phi_count; ++l) {
            const size_t at = i * phi_count + l;
            double low = NO_SURFACE_RADIUS * NO_SURFACE_RADIUS, high = 0.0;
            for (int k = 0; k < PHI_FIT_POINTS; ++k) {
                const double r = table.radius(i, first_phi[l] + k, atom);
                x[k] = (first_phi[l] + k) * dphi;
                y[k] = r;
                z[k] = r > 0 ? 1.0 / r : 0.0;
                low = std::min(low, r);
                high = std::max(high, r);
            }
            direct[at] = fit_parabola(x, y, PHI_FIT_POINTS, phi_nodes[l]);
            reciprocal[at] = fit_parabola(x, z, PHI_FIT_POINTS, phi_nodes[l]);
            lowest[at] = low;
            highest[at] = high;
        }

    // Along theta: R(k, l) at the theta nodes.
    std::vector<double> radii(theta_nodes.size() * phi_count);
    for (size_t k = 0; k < theta_nodes.size(); ++k) {
        int i0 = std::max(static_cast<int>(theta_nodes[k] / dtheta) - 2, 0);
        if (i0 + THETA_FIT_POINTS - 1 > nt)
            i0 = nt - (THETA_FIT_POINTS - 1);
        for (size_t l = 0; l < phi_count; ++l) {
            double low = NO_SURFACE_RADIUS * NO_SURFACE_RADIUS, high = 0.0;
            for (int m = 0; m < THETA_FIT_POINTS; ++m) {
                const size_t at = (i0 + m) * phi_count + l;
                low = std::min(low, lowest[at]);
                high = std::max(high, highest[at]);
            }
            const bool steep = high > STEEP_RATIO * low;
            for (int m = 0; m < THETA_FIT_POINTS; ++m) {
                const size_t at = (i0 + m) * phi_count + l;
                x[m] = (i0 + m) * dtheta;
                y[m] = steep ? reciprocal[at] : direct[at];
            }
            double r = fit_parabola(x, y, THETA_FIT_POINTS, theta_nodes[k]);
            if (steep)
                r = r > 0 && std::isfinite(r) ? 1.0 / r : high;
            radii[k * phi_count + l] = std::clamp(r, low, high);
        }
    }
    return radii;
}

BasinOutcome integrate_property_in_basin(int atom, int n_theta, int n_phi, int code,
                                         const InteratomicSurfaceTable& table, double& result)
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
    const bool parallel = is_parallel_code(code);
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
    auto run_part = [&](const Part& part) {
        const int rows = static_cast<int>(part.theta.size());
        const int columns = static_cast<int>(part.phi.size());
        std::vector<double> row_sums(rows, 0.0);
        const auto finished = std::make_unique<std::atomic<bool>[]>(static_cast<size_t>(rows));
        auto row = [&](int k, RowControl& control) {
            double sum = 0.0;
            for (int l = 0; l < columns; ++l) {
                const size_t at = static_cast<size_t>(k) * columns + l;
                if (part.points[at] > 0)
                    sum += ray_integral(c, part.theta[k], part.phi[l], part.r0[at], part.r1[at], part.theta_weight[k],
                                        part.points[at], code, [&control] { return control.keep_going(); })
                           * part.phi_weight[l] * PI;
                if (!control.keep_going())
                    return;
            }
            row_sums[k] = sum;
            finished[k].store(true, std::memory_order_release);
        };
        int shown = 0;
        auto poll = [&](int rows_done) {
            double shown_sum = sum_done;
            int last = -1;
            for (int k = 0; k < rows; ++k)
                if (finished[k].load(std::memory_order_acquire)) {
                    shown_sum += row_sums[k];
                    last = k;
                }
            if (last >= 0)
                show_direction(part.theta[last], part.phi.back());
            show_result(shown_sum);
            show_percent(shown, rows_done, rows);
            return pump_and_check_job();
        };
        if (!run_rows(rows, threads, row, poll))
            return false;
        for (double value : row_sums)
            sum_done += value;
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
        outer.r1 = interpolate_surface_radii(table, atom, outer.theta, outer.phi);
        outer.r0.assign(outer.r1.size(), beta);
        outer.points.assign(outer.r1.size(), 0);
        for (size_t at = 0; at < outer.r1.size(); ++at)
            if (outer.r1[at] > beta)
                outer.points[at] = radial_points_for_extent(outer.r1[at] - beta);
        cancelled = !run_part(outer);
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
