#include "keldana/topology/interatomic_surface.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/user_interface.h"
#include "keldana/density/eigen_solver.h"
#include "keldana/density/numeric_derivatives.h"
#include "keldana/density/property_names.h"
#include "keldana/model/load_defaults.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/topology/basin_integration_workers.h"
#include "keldana/topology/cluster_edge.h"
#include "keldana/topology/critical_point_report.h"
#include "keldana/topology/newton_locator.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <memory>
#include <string>

namespace {

constexpr int RHO = 3;
constexpr double PI = 3.14159265358979323846;
constexpr double BOND_MARGIN = 0.5;          // Angstrom beyond the sum of covalent radii
constexpr double SAME_POINT = 0.01;          // Angstrom in each coordinate
// A located point this near the nucleus is the atom's own maximum, not a
// point of its surface.
constexpr double MIN_CRITICAL_POINT_DISTANCE = 0.1;
constexpr double ON_RAY = 1e-6;              // a critical point lies on a ray when its cosine is this close to 1
constexpr int STEPS_MOVING_AWAY = 15;
constexpr int MAX_BRACKETING_STEPS = 100;
constexpr int MAX_BISECTION_STEPS = 100;
constexpr int MAX_PATH_STEPS = 100000;
// Beyond its first crossing a ray is probed at this step (Angstrom) for
// parts of the basin it enters again; a part thinner than this may be missed.
constexpr double PROBE_STEP = 0.1;
// Rounds of probing rays against their neighbours' reach.
constexpr int MAX_PROBE_ROUNDS = 32;
const std::string TABLE_HEADER =
    "num           Bond            CP type            xa          ya          za        dCP";
const std::string TABLE_RULE(91, '-');

std::string atom_label(int a) { return std::string(current_model().atoms.atom_label[a].data(), 8); }

std::string trimmed_label(int a)
{
    std::string label = atom_label(a);
    label.erase(label.find_last_not_of(' ') + 1);
    return label;
}

// A pane line `skip` records further on (the records between stay empty).
void pane_at(int skip, const std::string& text)
{
    for (int k = 1; k < skip; ++k)
        append_pane_line("");
    append_pane_line(text);
}

void repaint_and_pump()
{
    ui().text_pane_changed();
    ui().pump_events();
}

void show_error(const std::string& text) { ui().message_box(text, "Error!", MessageButtons::ok, MessageIcon::warning); }

void reset_surfaces_for_load()
{
    InteratomicSurfaceTable& table = interatomic_surface_table();
    table.ias_present.fill(0);
    table.ias_start_radius.fill(NO_SURFACE_RADIUS);
    table.ias_atom_list.fill(0);
    table.ias_atoms_read = 0;
    surface_critical_points().cp_count = 0;
}

// What every ray of one surface search reads.
struct SurfaceSearch {
    Vector3 centre{};
    double beta_radius = 0;
    double r_cut = 0;
    double h = 0;
    const CriticalPointList* points = nullptr;
};

// What a row of rays keeps between its rays.
struct RowState {
    double factor = 0;  // the last bracketing move: +1 outwards, -1 inwards, 0 none yet
    long long evaluations = 0;
};

enum class PathEnd { inside, outside, flat, endless };

// A trial point of a ray: its radius and whether its path ends in the atom.
struct RaySample {
    double radius;
    bool inside;
};

// Value and analytic gradient of the total density; returns |gradient|.
double density_gradient(const Vector3& q, Vector3& g, RowState& state)
{
    double value = 0;
    evaluate_density_value_gradient(q, value, g, RHO);
    ++state.evaluations;
    return std::sqrt(dot_product(g, g));
}

// Follows the density uphill from centre + radius u: `inside` when the path
// enters the beta sphere.  The bisection variant takes shorter steps towards
// the nucleus and counts a flat point as outside.
PathEnd trace_trial_point(const SurfaceSearch& search, RowState& state, const Vector3& u, double radius,
                          bool bisection)
{
    const Vector3& c = search.centre;
    Vector3 q{c[0] + radius * u[0], c[1] + radius * u[1], c[2] + radius * u[2]};
    Vector3 previous_gradient{};
    double previous_distance = radius;
    int moving_away = 0;
    for (int step = 0; step < MAX_PATH_STEPS; ++step) {
        Vector3 g{};
        const double norm = density_gradient(q, g, state);
        if (!std::isfinite(norm) || dot_product(g, previous_gradient) < 0)
            return PathEnd::outside;
        if (norm == 0)
            return bisection ? PathEnd::outside : PathEnd::flat;
        const double cosine = dot_product({c[0] - q[0], c[1] - q[1], c[2] - q[2]}, g) / (norm * previous_distance);
        const double power = bisection ? cosine * cosine : cosine * cosine * cosine * cosine;
        const double length = search.h * std::exp(3.0 * power);
        // Midpoint step: the direction taken half a step ahead.  Plain
        // steps along the tangent drift to the convex side of curved paths,
        // which shifts the surface by an amount proportional to the step.
        Vector3 half{};
        for (int k = 0; k < 3; ++k)
            half[k] = q[k] + 0.5 * length * g[k] / norm;
        Vector3 gh{};
        const double half_norm = density_gradient(half, gh, state);
        if (!(half_norm > 0) || !std::isfinite(half_norm))
            return bisection ? PathEnd::outside : PathEnd::flat;
        // A maximum within the step: the path ends there, not in this atom.
        if (dot_product(gh, g) < 0)
            return PathEnd::outside;
        for (int k = 0; k < 3; ++k)
            q[k] += length * gh[k] / half_norm;
        const double d = point_distance(q, c);
        if (d <= search.beta_radius)
            return PathEnd::inside;
        if (d >= search.r_cut)
            return PathEnd::outside;
        moving_away = d > previous_distance ? moving_away + 1 : 0;
        if (moving_away == STEPS_MOVING_AWAY)
            return PathEnd::outside;
        previous_distance = d;
        previous_gradient = g;
    }
    return PathEnd::endless;
}

// The radius of the surface along u.  The bracket opens at `guess` (the
// radius the neighbouring rays predict) and widens from `width`, doubling at
// every move, so a good prediction leaves only a few bisections.  False when
// the surface could not be bracketed.
bool find_ray_radius(const SurfaceSearch& search, RowState& state, const Vector3& u, double tolerance,
                     double guess, double width, double& radius, std::vector<RaySample>& samples)
{
    const CriticalPointList& list = *search.points;
    const Vector3& c = search.centre;
    for (int k = 1; k <= list.cp_count; ++k) {
        const CriticalPoint& p = list.points[k];
        if (p.distance > 0
            && std::abs(1.0 - dot_product({p.x - c[0], p.y - c[1], p.z - c[2]}, u) / p.distance) < ON_RAY) {
            radius = p.distance;
            samples.push_back({radius - 0.5 * tolerance, true});
            samples.push_back({radius + 0.5 * tolerance, false});
            return true;
        }
    }

    // From the cluster radius on every point is outside (its path leaves
    // the cluster), so a ray whose basin is open ends there.  A prediction
    // beyond it starts there.
    double r = std::clamp(guess, search.beta_radius, search.r_cut);
    double step = std::max(width, tolerance);
    double lower = 0, upper = 0;
    bool inside_found = false, outside_found = false;
    for (int attempt = 0;; ++attempt) {
        if (attempt == MAX_BRACKETING_STEPS)
            return false;
        PathEnd end = PathEnd::inside;  // within the beta sphere: inside without a path
        if (r >= search.r_cut)
            end = PathEnd::outside;
        else if (r > search.beta_radius)
            end = trace_trial_point(search, state, u, r, false);
        if (end == PathEnd::endless)
            return false;
        if (end == PathEnd::flat) {
            // Off the flat point by the last move; with no move known, or a
            // move beyond the cut-off, the point counts as outside.
            const double moved = std::max(r + state.factor * step, search.beta_radius);
            if (state.factor != 0 && moved < search.r_cut) {
                r = moved;
                step *= 2.0;
                continue;
            }
            end = PathEnd::outside;
        }
        if (end == PathEnd::inside) {
            lower = std::max(r, search.beta_radius);
            inside_found = true;
            state.factor = 1.0;
        } else {
            upper = r;
            outside_found = true;
            state.factor = -1.0;
        }
        if (r > search.beta_radius)
            samples.push_back({r, end == PathEnd::inside});
        if (inside_found && outside_found)
            break;
        r = std::clamp(r + state.factor * step, search.beta_radius, search.r_cut);
        step *= 2.0;
    }

    for (int step_count = 0; step_count < MAX_BISECTION_STEPS; ++step_count) {
        const double s = 0.5 * (lower + upper);
        const PathEnd end = trace_trial_point(search, state, u, s, true);
        if (end == PathEnd::endless)
            return false;
        (end == PathEnd::inside ? lower : upper) = s;
        samples.push_back({s, end == PathEnd::inside});
        if (!(upper - lower > tolerance))
            break;
    }
    radius = 0.5 * (lower + upper);
    return true;
}

bool sample_inside(const SurfaceSearch& search, RowState& state, const Vector3& u, double radius)
{
    return radius <= search.beta_radius || trace_trial_point(search, state, u, radius, true) == PathEnd::inside;
}

// Sorts the samples and bisects every change of owner between neighbouring
// samples to the tolerance; returns the crossings, the midpoints of the
// changes.  The beta sphere is inside; beyond the last sample is outside.
std::vector<double> resolve_crossings(const SurfaceSearch& search, RowState& state, const Vector3& u,
                                      double tolerance, std::vector<RaySample>& samples)
{
    std::sort(samples.begin(), samples.end(), [](const RaySample& a, const RaySample& b) { return a.radius < b.radius; });
    if (samples.empty() || samples.front().radius > search.beta_radius)
        samples.insert(samples.begin(), RaySample{search.beta_radius, true});
    if (samples.back().inside)
        samples.push_back({search.r_cut, false});
    std::vector<double> crossings;
    for (size_t k = 0; k + 1 < samples.size(); ++k) {
        if (samples[k].inside == samples[k + 1].inside)
            continue;
        for (int step = 0; step < MAX_BISECTION_STEPS && samples[k + 1].radius - samples[k].radius > tolerance;
             ++step) {
            const double s = 0.5 * (samples[k].radius + samples[k + 1].radius);
            const bool inside = sample_inside(search, state, u, s);
            samples.insert(samples.begin() + static_cast<long>(k) + 1, RaySample{s, inside});
            if (inside == samples[k].inside)
                ++k;
        }
        const double crossing = 0.5 * (samples[k].radius + samples[k + 1].radius);
        // Two changes within the tolerance are the paths' rounding, not a
        // part of a basin.
        if (!crossings.empty() && crossing - crossings.back() <= 2.0 * tolerance)
            crossings.pop_back();
        else
            crossings.push_back(crossing);
    }
    return crossings;
}

// Probes the ray every PROBE_STEP from `low` (or its last crossing, if
// lower) to `high`, and on outwards while the probes stay inside, where no
// sample lies near; then resolves the crossings again.
std::vector<double> probe_ray(const SurfaceSearch& search, RowState& state, const Vector3& u, double tolerance,
                              double low, double high, std::vector<RaySample>& samples,
                              const std::vector<double>& crossings)
{
    const double from = std::max(std::min(low, crossings.back()), search.beta_radius);
    const double to = std::min(high, search.r_cut);
    // The last sample within half a step of r, if any.
    auto sample_near = [&](double r) -> const RaySample* {
        const RaySample* found = nullptr;
        for (const RaySample& sample : samples)
            if (std::abs(sample.radius - r) < 0.5 * PROBE_STEP)
                found = &sample;
        return found;
    };
    bool added = false;
    bool last_inside = false;
    for (double r = std::ceil(from / PROBE_STEP) * PROBE_STEP; r < search.r_cut && (r <= to || last_inside);
         r += PROBE_STEP) {
        if (const RaySample* near = sample_near(r)) {
            last_inside = near->inside;
            continue;
        }
        last_inside = sample_inside(search, state, u, r);
        samples.push_back({r, last_inside});
        added = true;
    }
    if (!added)
        return crossings;
    return resolve_crossings(search, state, u, tolerance, samples);
}

// The radius the rays before this one in its row predict (extrapolated
// along the last two) and how far it may be off (their second difference).
void predict_radius(const std::vector<double>& found, double tolerance, double& guess, double& width)
{
    const size_t n = found.size();
    if (n >= 2) {
        const double slope = found[n - 1] - found[n - 2];
        guess = found[n - 1] + slope;
        width = n >= 3 ? std::abs(found[n - 1] - 2.0 * found[n - 2] + found[n - 3]) : 0.1 * std::abs(slope);
    } else {
        guess = found[n - 1];
        width = 0.05 * guess;
    }
    width = std::max(width, 2.0 * tolerance);
}

void report_surface_end(double minimal_radius, int reentrant_directions, double cpu_seconds)
{
    const std::string minimal = format_line("('Minimal IAS radius = ',F7.4)", {minimal_radius});
    pane_at(1, minimal);
    write_listing_line("");
    write_listing_line(minimal);
    const std::string reentrant =
        format_line("('Directions in which the ray re-enters the basin = ',I6)", {reentrant_directions});
    pane_at(1, reentrant);
    write_listing_line(reentrant);
    const std::string time = format_line("('CPU Time = ',F12.2,' sec.')", {cpu_seconds});
    pane_at(1, time);
    write_listing_line(time);
    ui().text_pane_changed();
}

}  // namespace

InteratomicSurfaceTable& interatomic_surface_table()
{
    static const auto table = std::make_unique<InteratomicSurfaceTable>();
    static const bool registered = (register_load_time_reset(reset_surfaces_for_load), true);
    (void)registered;
    return *table;
}

CriticalPointList& surface_critical_points()
{
    static const auto list = std::make_unique<CriticalPointList>();
    return *list;
}

bool is_valid_surface_grid(int n_theta, int n_phi)
{
    return n_theta >= MIN_SURFACE_THETA && n_theta <= MAX_SURFACE_THETA && n_phi >= MIN_SURFACE_PHI
           && n_phi <= MAX_SURFACE_PHI;
}

namespace {

// The last crossings of each atom's computed surface, with the first
// crossings they belong to; every model load empties it.
struct SurfaceReach {
    SurfaceGrid first, last;
};

std::array<SurfaceReach, MAX_SURFACE_ATOMS + 1>& surface_reach_store()
{
    static std::array<SurfaceReach, MAX_SURFACE_ATOMS + 1> store;
    static const bool registered =
        (register_load_time_reset([] { surface_reach_store().fill(SurfaceReach{}); }), true);
    (void)registered;
    return store;
}

}  // namespace

const SurfaceGrid* surface_reach(const InteratomicSurfaceTable& table, int atom)
{
    if (atom < 1 || atom > MAX_SURFACE_ATOMS || table.ias_present[atom] == 0)
        return nullptr;
    const SurfaceReach& kept = surface_reach_store()[atom];
    const int nt = table.ias_theta_count;
    const int np = table.ias_phi_count;
    if (kept.first.n_theta != nt || kept.first.n_phi != np || kept.last.radii.size() != kept.first.radii.size())
        return nullptr;
    for (int j = 0; j <= np; ++j)
        for (int i = 0; i <= nt; ++i)
            if (kept.first.at(i, j) != table.radius(i, j, atom))
                return nullptr;
    return &kept.last;
}

void store_surface_grid(InteratomicSurfaceTable& table, int atom, const SurfaceGrid& grid, const SurfaceGrid* reach)
{
    if (atom < 1 || atom > MAX_SURFACE_ATOMS || grid.n_theta != table.ias_theta_count
        || grid.n_phi != table.ias_phi_count || !is_valid_surface_grid(grid.n_theta, grid.n_phi))
        return;
    surface_reach_store()[atom] = SurfaceReach{};
    const int nt = grid.n_theta;
    const int np = grid.n_phi;
    for (int j = 0; j < np; ++j)
        for (int i = 0; i <= nt; ++i)
            table.radius(i, j, atom) = grid.at(i, j);
    for (int i = 0; i <= nt; ++i)
        table.radius(i, np, atom) = grid.at(i, 0);
    for (int j = 1; j <= np; ++j) {
        table.radius(0, j, atom) = grid.at(0, 0);
        table.radius(nt, j, atom) = grid.at(nt, 0);
    }
    table.ias_start_radius[atom] = grid.start_radius;
    table.ias_present[atom] = 1;
    if (reach != nullptr && reach->n_theta == nt && reach->n_phi == np && reach->radii.size() == grid.radii.size()) {
        SurfaceReach& kept = surface_reach_store()[atom];
        kept.first.n_theta = nt;
        kept.first.n_phi = np;
        kept.first.radii.resize(grid.radii.size());
        for (int j = 0; j <= np; ++j)
            for (int i = 0; i <= nt; ++i)
                kept.first.at(i, j) = table.radius(i, j, atom);
        kept.last = *reach;
    }
}

namespace {

// The critical points around `atom` (see find_critical_points_around_atom),
// with their report when `report` is set.
double collect_critical_points_around_atom(int atom, CriticalPointList& list, bool report)
{
    const StructureModel& model = current_model();
    const WorkingAtomSet& atoms = model.atoms;
    const AtomTypeTable& types = model.atom_types;

    if (report) {
        pane_at(2, format_line("('Bond Critical Points of the atom  ',A8)", {atoms.atom_label[atom]}));
        write_listing_line(format_line("('Bond Critical Points of the atom  ',A8)", {atoms.atom_label[atom]}));
        pane_at(2, TABLE_HEADER);
        pane_at(1, TABLE_RULE);
        write_listing_line(TABLE_HEADER);
        write_listing_line(TABLE_RULE);
        repaint_and_pump();
    }

    const double fraction = atoms.atomic_number[atom] == 1 ? 0.2 : 0.5;
    list.cp_count = 0;
    // A point the cluster's missing atoms could move still bounds the
    // surface, but is not listed as a critical point of the crystal.
    const ClusterReach reach = report ? prepare_cluster_reach(RHO) : ClusterReach{};
    EdgePoints edge_points;
    int listed = 0;
    double beta_radius = NO_SURFACE_RADIUS;
    const Vector3 ra = working_atom_position(atoms, atom);
    const int type_a = std::clamp(atoms.atom_type_index[atom], 0, MAX_ATOM_TYPES);
    CalculationSettings& settings = run_settings().calculation;
    const int n = std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS);
    for (int b = 1; b <= n; ++b) {
        if (b == atom)
            continue;
        const Vector3 rb = working_atom_position(atoms, b);
        const int type_b = std::clamp(atoms.atom_type_index[b], 0, MAX_ATOM_TYPES);
        if (point_distance(ra, rb)
            > types.type_covalent_radius[type_a] + types.type_covalent_radius[type_b] + BOND_MARGIN)
            continue;
        Vector3 p{ra[0] + fraction * (rb[0] - ra[0]), ra[1] + fraction * (rb[1] - ra[1]),
                  ra[2] + fraction * (rb[2] - ra[2])};
        double value = 0, gradient_norm = 0;
        Matrix3 hessian;
        int not_converged = 1;
        const double scale = settings.Scale;
        locate_critical_point_newton(false, p, value, gradient_norm, hessian, not_converged, RHO);
        settings.Scale = scale;
        if (not_converged != 0)
            continue;
        std::array<double, 3> lambda{};
        if (solve_symmetric_eigenproblem(hessian, lambda) != 0)
            continue;
        const int type = classify_critical_point(lambda);
        if (type != 1 && type != 2)
            continue;
        const double d = point_distance(p, ra);
        if (d < MIN_CRITICAL_POINT_DISTANCE)
            continue;
        bool duplicate = false;
        for (int k = 1; k <= list.cp_count && !duplicate; ++k)
            duplicate = std::abs(list.points[k].x - p[0]) < SAME_POINT && std::abs(list.points[k].y - p[1]) < SAME_POINT
                        && std::abs(list.points[k].z - p[2]) < SAME_POINT;
        if (duplicate)
            continue;
        CriticalPoint point;
        point.x = p[0];
        point.y = p[1];
        point.z = p[2];
        point.type = type;
        point.atom1 = atom;
        point.atom2 = b;
        point.property_code = RHO;
        point.lambda = lambda;
        point.eigenvectors = hessian;
        point.distance = d;
        const int number = append_critical_point(list, point);
        if (number == 0)
            break;
        beta_radius = std::min(beta_radius, d);
        if (!report)
            continue;
        if (!cluster_holds_point(reach, p, value, lambda)) {
            report_edge_point(p, &edge_points);
            repaint_and_pump();
            continue;
        }
        const std::string line = format_line("(I3,3X,A6,I3,' - ',A6,I3,3X,A9,2X,4F12.5)",
                                             {++listed, atom_label(atom), atom, atom_label(b), b,
                                              property_label(50 + type), p[0], p[1], p[2], d});
        pane_at(1, line);
        write_listing_line(line);
        repaint_and_pump();
    }

    if (!report)
        return beta_radius;
    pane_at(1, TABLE_RULE);
    write_listing_line(TABLE_HEADER);
    write_listing_line(TABLE_RULE);
    write_edge_point_count(static_cast<int>(edge_points.size()));
    const std::string beta = format_line("('BETA sphera radius = ',F7.4)", {beta_radius});
    pane_at(1, beta);
    write_listing_line("");
    write_listing_line(beta);
    ui().text_pane_changed();
    return beta_radius;
}

}  // namespace

double find_critical_points_around_atom(int atom, CriticalPointList& list)
{
    return collect_critical_points_around_atom(atom, list, true);
}

SurfaceRun compute_interatomic_surface(int atom, int n_theta, int n_phi, double h, double tolerance)
{
    SurfaceRun run;
    const WorkingAtomSet& atoms = current_model().atoms;
    if (atom < 1 || atom > std::min(atoms.atom_count, MAX_SURFACE_ATOMS) || !is_valid_surface_grid(n_theta, n_phi)
        || !(h > 0) || !std::isfinite(h) || !(tolerance > 0) || !std::isfinite(tolerance))
        return run;
    const std::clock_t start = std::clock();
    long long search_evaluations = 0;

    SurfaceSearch search;
    search.centre = working_atom_position(atoms, atom);
    search.r_cut = run_settings().calculation.rCut;
    search.h = h;
    search.points = &surface_critical_points();
    const double r0 = find_critical_points_around_atom(atom, surface_critical_points());
    search.beta_radius = r0;
    run.beta_radius = r0;
    if (r0 >= NO_SURFACE_RADIUS) {
        show_error("Atom " + trimmed_label(atom)
                   + " has no neighbour within the sum of covalent radii + 0.5 Angstrom: its interatomic surface"
                     " can not be determined.");
        run.outcome = SurfaceOutcome::no_neighbour;
        return run;
    }
    if (!(search.r_cut > r0)) {
        show_error("The cluster radius around atom " + trimmed_label(atom)
                   + " does not exceed its BETA sphere radius: its interatomic surface can not be determined.");
        run.outcome = SurfaceOutcome::not_bracketed;
        return run;
    }

    SurfaceGrid& grid = run.grid;
    grid.n_theta = n_theta;
    grid.n_phi = n_phi;
    grid.radii.assign(static_cast<size_t>(n_theta + 1) * (n_phi + 1), r0);
    const double dphi = 2.0 * PI / n_phi;
    const double dtheta = PI / n_theta;
    auto direction = [&](int i, int j) {
        const double theta = i * dtheta;
        const double phi = j * dphi;
        return Vector3{std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)};
    };

    ui().open_progress(format_line("('Atom ',A6,': determination the interatomic surface. Please, wait...')",
                                   {atom_label(atom)}));
    job_control().job_running = true;
    const PreparedModelHold hold;

    // The pole first, from the beta radius; then every row of constant phi
    // from the pole's radius, each ray from the rays before it in its row,
    // so the rows are independent of each other and of the thread count.
    // Row 0 runs on to the other pole; the other rows share both poles.
    // Every ray keeps its trial points and its crossings, by (i, j); both
    // poles belong to row 0.
    const size_t ray_count = static_cast<size_t>(n_theta + 1) * n_phi;
    auto ray_id = [&](int i, int j) {
        return i == 0 || i == n_theta ? static_cast<size_t>(i) : static_cast<size_t>(j) * (n_theta + 1) + i;
    };
    std::vector<std::vector<RaySample>> samples(ray_count);
    std::vector<std::vector<double>> crossings(ray_count);
    RowState pole_state;
    double pole = r0;
    bool bracketed = find_ray_radius(search, pole_state, direction(0, 0), tolerance, r0, 0.05 * r0, pole, samples[0]);
    if (bracketed)
        crossings[0] = resolve_crossings(search, pole_state, direction(0, 0), tolerance, samples[0]);
    std::vector<RowState> states(n_phi);
    std::vector<int> failed_ray(n_phi, -1);
    int shown_percent = 0;
    auto row = [&](int j, RowControl& control) {
        RowState& state = states[j];
        const int last = j == 0 ? n_theta : n_theta - 1;
        std::vector<double> found{pole};
        for (int i = 1; i <= last; ++i) {
            if (!control.keep_going())
                return;
            double guess = 0, width = 0, r = 0;
            predict_radius(found, tolerance, guess, width);
            const size_t id = ray_id(i, j);
            if (!find_ray_radius(search, state, direction(i, j), tolerance, guess, width, r, samples[id])) {
                failed_ray[j] = i;
                return;
            }
            crossings[id] = resolve_crossings(search, state, direction(i, j), tolerance, samples[id]);
            found.push_back(r);
        }
    };
    // A ray may leave the basin and enter it again.  Each ray is probed
    // beyond its last crossing as far as a neighbouring ray reaches, and,
    // where it or a neighbour re-enters, from its neighbours' first crossing
    // on; rays next to one whose crossings changed are probed again, until
    // none change.  A ray whose neighbours end where it does costs nothing.
    auto neighbours = [&](int i, int j) {
        std::vector<size_t> ids;
        if (i == 0 || i == n_theta) {
            for (int k = 0; k < n_phi; ++k)
                ids.push_back(ray_id(i == 0 ? 1 : n_theta - 1, k));
        } else {
            for (int di = -1; di <= 1; ++di)
                for (int dj = -1; dj <= 1; ++dj)
                    ids.push_back(ray_id(i + di, (j + dj + n_phi) % n_phi));
        }
        return ids;
    };
    std::vector<char> active(ray_count, 1), changed(ray_count, 0);
    std::vector<double> first(ray_count), reach(ray_count);
    std::vector<char> reenters(ray_count);
    auto probe_row = [&](int j, RowControl& control) {
        RowState& state = states[j];
        for (int i = j == 0 ? 0 : 1; i <= (j == 0 ? n_theta : n_theta - 1); ++i) {
            const size_t id = ray_id(i, j);
            if (!active[id] || crossings[id].empty())
                continue;
            if (!control.keep_going())
                return;
            double low = first[id], high = reach[id];
            bool near_reentry = reenters[id] != 0;
            for (size_t n : neighbours(i, j)) {
                low = std::min(low, first[n]);
                high = std::max(high, reach[n]);
                near_reentry = near_reentry || reenters[n] != 0;
            }
            // Below its first crossing the ray is probed where a neighbour
            // crosses first well within it or re-enters: the search may have
            // bracketed a later crossing.
            if (!near_reentry && !(low < first[id] - 0.5 * PROBE_STEP))
                low = NO_SURFACE_RADIUS;
            if (!(high > reach[id] + 0.5 * PROBE_STEP) && !(low < reach[id] - 0.5 * PROBE_STEP))
                continue;
            const std::vector<double> probed =
                probe_ray(search, state, direction(i, j), tolerance, low, high, samples[id], crossings[id]);
            changed[id] = probed.size() != crossings[id].size()
                          || std::abs(probed.back() - crossings[id].back()) > tolerance
                          || std::abs(probed.front() - crossings[id].front()) > tolerance;
            crossings[id] = probed;
        }
    };
    auto poll = [&](int rows_done) {
        const int percent = rows_done * 100 / n_phi;
        if (rows_done > 0) {
            ui().set_progress_line(1, format_line("('  Phi =',F8.4)", {(rows_done - 1) * dphi}));
            ui().set_progress_line(2, format_line("('Theta =',F8.4)", {(n_theta - 1) * dtheta}));
        }
        if (percent > shown_percent) {
            shown_percent = percent;
            ui().set_progress(percent);
        }
        return pump_and_check_job();
    };
    run.outcome = SurfaceOutcome::completed;
    int failed_row = -1, failed_theta = 0;
    if (bracketed) {
        if (!run_rows(n_phi, worker_thread_count(), row, poll))
            run.outcome = SurfaceOutcome::cancelled;
        for (int j = 0; j < n_phi && failed_row < 0; ++j)
            if (failed_ray[j] >= 0) {
                failed_row = j;
                failed_theta = failed_ray[j];
            }
        for (int round = 0; round < MAX_PROBE_ROUNDS && failed_row < 0 && run.outcome == SurfaceOutcome::completed;
             ++round) {
            for (size_t id = 0; id < ray_count; ++id)
                if (!crossings[id].empty()) {
                    first[id] = crossings[id].front();
                    reach[id] = crossings[id].back();
                    reenters[id] = crossings[id].size() > 1;
                }
            std::fill(changed.begin(), changed.end(), 0);
            if (!run_rows(n_phi, worker_thread_count(), probe_row, poll))
                run.outcome = SurfaceOutcome::cancelled;
            std::fill(active.begin(), active.end(), 0);
            bool any = false;
            for (int j = 0; j < n_phi; ++j)
                for (int i = j == 0 ? 0 : 1; i <= (j == 0 ? n_theta : n_theta - 1); ++i)
                    if (changed[ray_id(i, j)]) {
                        any = true;
                        for (size_t n : neighbours(i, j))
                            active[n] = 1;
                    }
            if (!any)
                break;
        }
        SurfaceGrid& outer = run.reach;
        outer.n_theta = n_theta;
        outer.n_phi = n_phi;
        outer.radii.assign(grid.radii.size(), r0);
        for (int j = 0; j < n_phi && failed_row < 0; ++j)
            for (int i = j == 0 ? 0 : 1; i <= (j == 0 ? n_theta : n_theta - 1); ++i) {
                const std::vector<double>& c = crossings[ray_id(i, j)];
                if (c.empty())
                    continue;
                grid.at(i, j) = c.front();
                outer.at(i, j) = c.back();
                run.reentrant_directions += c.size() > 1;
            }
    } else {
        failed_row = 0;
    }
    if (run.outcome == SurfaceOutcome::completed && failed_row >= 0) {
        run.outcome = SurfaceOutcome::not_bracketed;
        ui().close_progress();
        show_error(format_line("('The interatomic surface of atom ',A,' could not be bracketed at Theta =',"
                               "F8.4,', Phi =',F8.4)",
                               {trimmed_label(atom), failed_theta * dtheta, failed_row * dphi}));
    }
    ui().close_progress();
    search_evaluations = pole_state.evaluations;
    for (const RowState& state : states)
        search_evaluations += state.evaluations;
    double minimal = NO_SURFACE_RADIUS;
    if (run.outcome == SurfaceOutcome::completed)
        for (int j = 0; j < n_phi; ++j)
            for (int i = j == 0 ? 0 : 1; i <= (j == 0 ? n_theta : n_theta - 1); ++i)
                minimal = std::min(minimal, grid.at(i, j));
    run.evaluations = search_evaluations;
    run.cpu_seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    if (run.outcome != SurfaceOutcome::completed)
        return run;
    for (int i = 0; i <= n_theta; ++i)
        grid.at(i, n_phi) = grid.at(i, 0);
    for (int j = 1; j <= n_phi; ++j) {
        grid.at(0, j) = grid.at(0, 0);
        grid.at(n_theta, j) = grid.at(n_theta, 0);
    }
    for (int i = 0; i <= n_theta; ++i)
        run.reach.at(i, n_phi) = run.reach.at(i, 0);
    for (int j = 1; j <= n_phi; ++j) {
        run.reach.at(0, j) = run.reach.at(0, 0);
        run.reach.at(n_theta, j) = run.reach.at(n_theta, 0);
    }
    grid.start_radius = minimal;
    run.reach.start_radius = minimal;
    run.minimal_radius = minimal;
    report_surface_end(minimal, run.reentrant_directions, run.cpu_seconds);
    return run;
}

bool prepare_surface_ray_search(int atom, double h, double tolerance, SurfaceRaySearch& search)
{
    const WorkingAtomSet& atoms = current_model().atoms;
    search.atom = 0;
    if (atom < 1 || atom > std::min(atoms.atom_count, MAX_SURFACE_ATOMS))
        return false;
    const auto points = std::make_shared<CriticalPointList>();
    search.beta_radius = collect_critical_points_around_atom(atom, *points, false);
    search.points = points;
    search.h = h;
    search.tolerance = tolerance;
    if (!(search.beta_radius < NO_SURFACE_RADIUS) || !(run_settings().calculation.rCut > search.beta_radius))
        return false;
    search.atom = atom;
    return true;
}

namespace {

SurfaceSearch search_of(const SurfaceRaySearch& ray_search)
{
    SurfaceSearch search;
    search.centre = working_atom_position(current_model().atoms, ray_search.atom);
    search.r_cut = run_settings().calculation.rCut;
    search.h = ray_search.h;
    search.beta_radius = ray_search.beta_radius;
    search.points = ray_search.points.get();
    return search;
}

}  // namespace

double trace_surface_ray(const SurfaceRaySearch& ray_search, const Vector3& u, double guess, double width)
{
    if (ray_search.atom == 0 || !ray_search.points)
        return NO_SURFACE_RADIUS;
    const SurfaceSearch search = search_of(ray_search);
    RowState state;
    double radius = NO_SURFACE_RADIUS;
    std::vector<RaySample> samples;
    if (!find_ray_radius(search, state, u, ray_search.tolerance, guess, width, radius, samples))
        return NO_SURFACE_RADIUS;
    return radius;
}

std::vector<double> trace_surface_crossings(const SurfaceRaySearch& ray_search, const Vector3& u, double guess,
                                            double width, double low, double high)
{
    if (ray_search.atom == 0 || !ray_search.points)
        return {};
    const SurfaceSearch search = search_of(ray_search);
    RowState state;
    double radius = NO_SURFACE_RADIUS;
    std::vector<RaySample> samples;
    if (!find_ray_radius(search, state, u, ray_search.tolerance, guess, width, radius, samples))
        return {};
    const std::vector<double> crossings = resolve_crossings(search, state, u, ray_search.tolerance, samples);
    return probe_ray(search, state, u, ray_search.tolerance, low, high, samples, crossings);
}
