#include "keldana/topology/gradient_trajectories.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/user_interface.h"
#include "keldana/density/eigen_solver.h"
#include "keldana/density/energy_densities.h"
#include "keldana/density/numeric_derivatives.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/density/property_names.h"
#include "keldana/model/load_defaults.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "common/safe_write.h"
#include "keldana/topology/basin_integration_workers.h"
#include "keldana/topology/cp_search.h"
#include "keldana/topology/map_areas.h"
#include "keldana/topology/newton_locator.h"
#include "keldana/topology/trajectory_files.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int RHO = 3;
constexpr int ESFED = 22;
constexpr int EPOT = 23;
constexpr int GRAD_RHO = 24;
constexpr int FIRST_ENERGY_DENSITY = 30;
constexpr double WINDOW_MARGIN = 0.5;        // Angstrom around the plane window
constexpr double CP_START_OFFSET = 0.03;     // first point of AS and BP paths from their critical point
constexpr double BOND_PATH_STEP = 0.02;      // fixed step of the BP paths
constexpr double MAX_CP_PLANE_DISTANCE = 0.1;
constexpr double SAME_PLANE_POINT = 0.01;
constexpr double STEP_GROWTH = 0.2;          // a descending step grows by this fraction of the first
constexpr int MAX_CLIMB_STEPS = 200;
// A path whose steps neither store points nor leave the window ends here.
constexpr int MAX_PATH_STEPS = 100 * MAX_PATH_POINTS;
constexpr double PI = 3.14159265358979323846;

Vector3 step_along(const Vector3& r, const Vector3& g, double factor)
{
    return {r[0] + factor * g[0], r[1] + factor * g[1], r[2] + factor * g[2]};
}

double property_value(const Vector3& r, int code)
{
    return code < FIRST_ENERGY_DENSITY ? evaluate_property_at_point(r[0], r[1], r[2], code)
                                       : evaluate_energy_density_property(r[0], r[1], r[2], code);
}

// Mode +1 the gradient, -1 its negative; returns the norm.  The densities
// take their analytic gradient, the other properties central differences.
double property_gradient(int mode, const Vector3& r, Vector3& g, int code)
{
    double value = 0;
    if (evaluate_density_value_gradient(r, value, g, code)) {
        for (double& component : g)
            component *= mode;
        return std::sqrt(dot_product(g, g));
    }
    return code < FIRST_ENERGY_DENSITY
               ? compute_property_gradient_or_laplacian_numeric(mode, r[0], r[1], r[2], g, code)
               : compute_energy_density_gradient_or_laplacian_numeric(mode, r[0], r[1], r[2], g, code);
}

struct Window {
    double x_min = 0, x_max = 0, y_min = 0, y_max = 0;
    bool contains(double u, double v) const { return x_min <= u && u <= x_max && y_min <= v && v <= y_max; }
};

struct PlaneCriticalPoint {
    Vector3 plane{};
    std::string type_name;
};

struct TrajectoryRun {
    int code = 0;
    MapFrame frame;
    TrajectorySettings settings;
    Window window, margin;
    std::ostream* data = nullptr;
    int shown_percent = 0;
    int cut_paths = 0;        // paths that reached MAX_PATH_POINTS
    int unlisted_points = 0;  // critical points beyond MAX_PLANE_CRITICAL_POINTS
};

void show_percent(TrajectoryRun& run, long long done, long long total)
{
    if (total <= 0)
        return;
    const int percent = static_cast<int>(done * 100 / total);
    if (percent > run.shown_percent) {
        run.shown_percent = percent;
        ui().set_progress(percent);
    }
}

void write_block(TrajectoryRun& run, const std::string& kind, const std::vector<PlanePoint>& points, int number)
{
    write_records(*run.data, trajectory_block_records(kind, points, number));
}

// Stores a point unless the path is full; false (the path counted as cut)
// when it is.
bool store_point(int& cut_paths, std::vector<PlanePoint>& points, double u, double v)
{
    if (static_cast<int>(points.size()) >= MAX_PATH_POINTS) {
        ++cut_paths;
        return false;
    }
    points.push_back({u, v});
    return true;
}

// A path down the property in the plane from (u, v); the origin opens the
// path, points nearer to it than min_distance are passed over.  False when
// keep_going() said to stop.
template <typename KeepGoing>
bool trace_descending_path(const TrajectoryRun& run, const Vector3& origin, double u, double v, double min_distance,
                           std::vector<PlanePoint>& points, int& cut_paths, KeepGoing keep_going)
{
    points.assign(1, {origin[0], origin[1]});
    double s = run.settings.path_step;
    double previous_value = 1e30;
    Vector3 previous_gradient{};
    for (int step = 0; step < MAX_PATH_STEPS; ++step) {
        if (!keep_going())
            return false;
        const Vector3 r = plane_point(run.frame, u, v);
        const double f = property_value(r, run.code);
        Vector3 g{};
        const double norm = property_gradient(-1, r, g, run.code);
        if (!(norm > run.settings.path_end_value) || !std::isfinite(norm) || dot_product(g, previous_gradient) < 0
            || f > previous_value)
            break;
        previous_value = f;
        previous_gradient = g;
        const Vector3 next = plane_coordinates(run.frame, step_along(r, g, s / norm));
        if (!run.margin.contains(next[0], next[1]))
            break;
        s += STEP_GROWTH * run.settings.path_step;
        u = next[0];
        v = next[1];
        if (!run.window.contains(u, v))
            continue;
        if (std::hypot(u - origin[0], v - origin[1]) < min_distance)
            continue;
        if (!store_point(cut_paths, points, u, v))
            break;
    }
    return true;
}

// Half a bond path up the property from the plane point (u, v, w), in space,
// with a fixed step.  False when the run was cancelled.
bool trace_bond_path_half(TrajectoryRun& run, const Vector3& origin, double u, double v, double w,
                          std::vector<PlanePoint>& points)
{
    points.assign(1, {origin[0], origin[1]});
    Vector3 previous_gradient{};
    for (int step = 0; step < MAX_PATH_STEPS; ++step) {
        if (!pump_and_check_job())
            return false;
        const Vector3 r = plane_point(run.frame, u, v, w);
        Vector3 g{};
        const double norm = property_gradient(1, r, g, run.code);
        if (!(norm > 0) || !std::isfinite(norm) || dot_product(g, previous_gradient) < 0)
            break;
        previous_gradient = g;
        const Vector3 next = plane_coordinates(run.frame, step_along(r, g, BOND_PATH_STEP / norm));
        if (!run.margin.contains(next[0], next[1]))
            break;
        if (!store_point(run.cut_paths, points, next[0], next[1]))
            break;
        u = next[0];
        v = next[1];
        w = next[2];
    }
    return true;
}

// Plane coordinates of atom a: the map dialog's, or projected when it gave none.
Vector3 atom_plane_coordinates(const TrajectoryRun& run, const WorkingAtomSet& atoms, int a)
{
    const MapPostAtoms& post = map_post_atoms();
    if (a <= std::min(post.post_atom_count, MAX_POST_ATOMS))
        return {post.plane_u[a], post.plane_v[a], post.plane_w[a]};
    return plane_coordinates(run.frame, working_atom_position(atoms, a));
}

bool is_hydrogen(const WorkingAtomSet& atoms, int a) { return atoms.atomic_number[a] == 1; }

// Atoms whose paths are traced: active, near the plane and within the margin.
std::vector<int> plane_atom_list(const TrajectoryRun& run, const WorkingAtomSet& atoms)
{
    int candidates = run.code == EPOT ? map_post_atoms().post_atom_count : atoms.atom_count;
    candidates = std::clamp(candidates, 0, MAX_WORKING_ATOMS);
    std::vector<int> list;
    for (int a = 1; a <= candidates; ++a) {
        const Vector3 p = atom_plane_coordinates(run, atoms, a);
        if (atoms.subset_mask[a] != 0 && std::abs(p[2]) <= run.settings.out_of_plane_distance
            && run.margin.contains(p[0], p[1]))
            list.push_back(a);
    }
    return list;
}

// The "TP" paths around every listed atom; false when cancelled (the paths
// finished before the first unfinished one are written).  The paths are
// traced on the worker threads for the properties that allow it and
// written in order, so every thread count gives the same file.
bool trace_atom_paths(TrajectoryRun& run, const WorkingAtomSet& atoms, const std::vector<int>& list, int path_count)
{
    struct Path {
        Vector3 origin{};
        double angle = 0;
        int number = 0;
        std::vector<PlanePoint> points;
        int cut = 0;
        bool done = false;
    };
    std::vector<Path> paths;
    for (size_t k = 1; k <= list.size(); ++k) {
        const int a = list[k - 1];
        ui().set_progress_line(1, format_line("(' atom ',I3)", {static_cast<int>(k)}));
        Vector3 origin = atom_plane_coordinates(run, atoms, a);
        if (is_hydrogen(atoms, a) && !climb_to_plane_maximum(origin[0], origin[1], origin[2], run.code))
            continue;
        for (int p = 1; p <= path_count; ++p)
            paths.push_back({origin, 2.0 * PI * p / path_count, p, {}, 0, false});
    }
    const int count = static_cast<int>(paths.size());
    auto trace = [&run, &paths](int k, RowControl& control) {
        Path& path = paths[k];
        const double start = run.settings.path_start;
        path.done = trace_descending_path(run, path.origin, path.origin[0] + start * std::cos(path.angle),
                                          path.origin[1] + start * std::sin(path.angle), start, path.points,
                                          path.cut, [&control] { return control.keep_going(); });
    };
    auto poll = [&run, count, path_count](int done) {
        ui().set_progress_line(2, format_line("('path =',I3)", {path_count > 0 ? done % path_count + 1 : 0}));
        show_percent(run, done, count);
        return pump_and_check_job();
    };
    std::unique_ptr<PreparedModelHold> hold;
    int threads = 0;
    if (is_reentrant_property(run.code)) {
        hold = std::make_unique<PreparedModelHold>();
        threads = worker_thread_count();
    }
    const bool completed = run_rows(count, threads, trace, poll);
    for (const Path& path : paths) {
        if (!path.done)
            break;
        run.cut_paths += path.cut;
        write_block(run, "TP", path.points, path.number);
    }
    return completed;
}

// The density critical point between atoms a and b in the plane, when there
// is one of type (3,-3) or (3,-1).
bool locate_plane_critical_point(TrajectoryRun& run, const WorkingAtomSet& atoms, int a, int b,
                                 PlaneCriticalPoint& found)
{
    const Vector3 ra = working_atom_position(atoms, a);
    const Vector3 rb = working_atom_position(atoms, b);
    const double fraction = is_hydrogen(atoms, a) ? 0.2 : 0.5;
    Vector3 p{ra[0] + fraction * (rb[0] - ra[0]), ra[1] + fraction * (rb[1] - ra[1]),
              ra[2] + fraction * (rb[2] - ra[2])};
    double value = 0, gradient_norm = 0;
    Matrix3 hessian;
    int not_converged = 1;
    CalculationSettings& settings = run_settings().calculation;
    const double scale = settings.Scale;
    locate_critical_point_newton(false, p, value, gradient_norm, hessian, not_converged, RHO);
    settings.Scale = scale;
    if (not_converged != 0)
        return false;
    std::array<double, 3> lambda{};
    if (solve_symmetric_eigenproblem(hessian, lambda) != 0)
        return false;
    const int type = classify_critical_point(lambda);
    if (type < 1 || type > 2)
        return false;
    found.plane = plane_coordinates(run.frame, p);
    found.type_name = property_label(50 + type).substr(0, 6);
    return std::abs(found.plane[2]) <= MAX_CP_PLANE_DISTANCE;
}

bool pair_is_bonded(const StructureModel& model, int a, int b)
{
    const WorkingAtomSet& atoms = model.atoms;
    const AtomTypeTable& types = model.atom_types;
    const int ta = std::clamp(atoms.atom_type_index[a], 0, MAX_ATOM_TYPES);
    const int tb = std::clamp(atoms.atom_type_index[b], 0, MAX_ATOM_TYPES);
    const double threshold = is_hydrogen(atoms, a) || is_hydrogen(atoms, b)
                                 ? types.type_radius[ta] + types.type_radius[tb]
                                 : types.type_covalent_radius[ta] + types.type_covalent_radius[tb] + 0.5;
    const Vector3 ra = working_atom_position(atoms, a);
    const Vector3 rb = working_atom_position(atoms, b);
    return std::hypot(ra[0] - rb[0], ra[1] - rb[1], ra[2] - rb[2]) <= threshold;
}

// The "AS" and "BP" paths of every bonded pair whose critical point lies in
// the plane; false when cancelled.
bool trace_pair_paths(TrajectoryRun& run, const StructureModel& model, const std::vector<int>& list,
                      std::vector<PlaneCriticalPoint>& plane_points)
{
    const WorkingAtomSet& atoms = model.atoms;
    const long long length = static_cast<long long>(list.size());
    const long long total = length * (length - 1) / 2;
    long long pairs_done = 0;
    std::vector<PlanePoint> points;
    for (long long i = 0; i < length; ++i) {
        ui().set_progress_line(1, format_line("(' atom ',I3)", {static_cast<int>(i + 1)}));
        for (long long j = i + 1; j < length; ++j) {
            show_percent(run, ++pairs_done, total);
            const int a = list[i];
            const int b = list[j];
            PlaneCriticalPoint cp;
            if (!pair_is_bonded(model, a, b) || !locate_plane_critical_point(run, atoms, a, b, cp))
                continue;
            const bool seen = std::any_of(plane_points.begin(), plane_points.end(), [&cp](const PlaneCriticalPoint& e) {
                return std::abs(e.plane[0] - cp.plane[0]) < SAME_PLANE_POINT
                       && std::abs(e.plane[1] - cp.plane[1]) < SAME_PLANE_POINT
                       && std::abs(e.plane[2] - cp.plane[2]) < SAME_PLANE_POINT;
            });
            if (static_cast<int>(plane_points.size()) >= MAX_PLANE_CRITICAL_POINTS)
                ++run.unlisted_points;
            else
                plane_points.push_back(cp);
            if (seen)
                continue;
            const Vector3& c = cp.plane;
            const Vector3 pa = atom_plane_coordinates(run, atoms, a);
            const double du = c[0] - pa[0];
            const double dv = c[1] - pa[1];
            const double length_a = std::hypot(du, dv);
            double a0 = length_a > 0 ? std::acos(std::clamp(du / length_a, -1.0, 1.0)) : 0.0;
            if (dv < 0)
                a0 = 2.0 * PI - a0;
            double angle = a0;
            for (int q = 1; q <= 2; ++q) {
                angle += q * PI / 2.0;
                if (angle > 2.0 * PI)
                    angle -= 2.0 * PI;
                ui().set_progress_line(2, format_line("('a.s. path ',I2)", {q}));
                if (!trace_descending_path(run, c, c[0] + CP_START_OFFSET * std::cos(angle),
                                           c[1] + CP_START_OFFSET * std::sin(angle), run.settings.path_start,
                                           points, run.cut_paths, pump_and_check_job))
                    return false;
                write_block(run, "AS", points, q);
            }
            for (int q = 1; q <= 2; ++q) {
                double bond_angle = a0 + (q - 1) * PI;
                if (bond_angle > 2.0 * PI)
                    bond_angle -= 2.0 * PI;
                ui().set_progress_line(2, format_line("('bond path ',I2)", {q}));
                if (!trace_bond_path_half(run, c, c[0] + CP_START_OFFSET * std::cos(bond_angle),
                                          c[1] + CP_START_OFFSET * std::sin(bond_angle), c[2], points))
                    return false;
                write_block(run, "BP", points, q);
            }
        }
    }
    return true;
}

void show_file_error(const std::string& text, const std::string& name)
{
    ui().message_box(text + " " + name, "Error!", MessageButtons::ok, MessageIcon::warning);
}

void report_capacities(const TrajectoryRun& run, int requested_paths)
{
    if (requested_paths > MAX_PATHS_PER_CENTRE)
        report_line(format_line("(' Paths per atom limited to ',I3,' (',I6,' asked)')",
                                {MAX_PATHS_PER_CENTRE, requested_paths}),
                    format_line("(' Paths per atom limited to ',I3,' (',I6,' asked)')",
                                {MAX_PATHS_PER_CENTRE, requested_paths}));
    if (run.cut_paths > 0) {
        const std::string line =
            format_line("(' Paths cut at ',I4,' points: ',I6)", {MAX_PATH_POINTS, run.cut_paths});
        report_line(line, line);
    }
    if (run.unlisted_points > 0) {
        const std::string line = format_line("(' Critical points in the plane beyond ',I3,' not marked: ',I6)",
                                             {MAX_PLANE_CRITICAL_POINTS, run.unlisted_points});
        report_line(line, line);
    }
}

}  // namespace

TrajectoryOutcome trace_gradient_trajectories(int code)
{
    if (code == ESFED || code == GRAD_RHO)
        return TrajectoryOutcome::not_traced;
    CriticalPointSearchSettings& search = critical_point_search_settings();
    search.search_hh = 1;
    search.hbond_angle_filter = 1;

    TrajectoryRun run;
    run.code = code;
    run.frame = map_frame();
    run.settings = trajectory_settings();
    const MapDefinition& definition = map_definition();
    run.window = {definition.x_min, definition.x_max, definition.y_min, definition.y_max};
    run.margin = {definition.x_min - WINDOW_MARGIN, definition.x_max + WINDOW_MARGIN,
                  definition.y_min - WINDOW_MARGIN, definition.y_max + WINDOW_MARGIN};
    const int requested_paths = run.settings.path_count;
    const int path_count = std::clamp(requested_paths, 0, MAX_PATHS_PER_CENTRE);

    const StructureModel& model = current_model();
    const WorkingAtomSet& atoms = model.atoms;
    const std::vector<int> list = plane_atom_list(run, atoms);

    const OutputFileNames& names = run_settings().output_files;
    // Both files go to temporaries and replace the old ones at the end,
    // after a cancel too (as far as the run came); a failure leaves the old
    // files as they were.
    SafeWrite post(names.post_file_name);
    if (!post.is_open()) {
        show_file_error("Can not open file", names.post_file_name);
        return TrajectoryOutcome::file_error;
    }
    std::vector<PostMarker> markers;
    for (int a : list) {
        const Vector3 p = atom_plane_coordinates(run, atoms, a);
        if (run.window.contains(p[0], p[1]))
            markers.push_back({std::string(atoms.atom_label[a].data(), 8), p[0], p[1]});
    }
    write_records(post.stream(), post_section_records("ATOMS", markers));

    SafeWrite data(names.map_file_name);
    if (!data.is_open()) {
        show_file_error("Can not open file", names.map_file_name);
        return TrajectoryOutcome::file_error;
    }
    run.data = &data.stream();
    write_records(*run.data, {trajectory_window_record(definition.x_min, definition.x_max, definition.y_min,
                                                       definition.y_max)});

    const std::string name = property_label(code);
    ui().open_progress(name + " Gradien path trajectory calculating.  Please, wait...");
    job_control().job_running = true;
    bool completed = trace_atom_paths(run, atoms, list, path_count);
    std::vector<PlaneCriticalPoint> plane_points;
    if (completed) {
        ui().open_progress(name + ": AS and BP trajectory calculating.  Please, wait...");
        run.shown_percent = 0;
        job_control().job_running = true;
        completed = trace_pair_paths(run, model, list, plane_points);
    }
    if (completed && !plane_points.empty()) {
        std::vector<PostMarker> cp_markers;
        for (const PlaneCriticalPoint& cp : plane_points)
            if (std::abs(cp.plane[2]) <= run.settings.out_of_plane_distance
                && run.window.contains(cp.plane[0], cp.plane[1]))
                cp_markers.push_back({cp.type_name, cp.plane[0], cp.plane[1]});
        write_records(post.stream(), post_section_records("CP", cp_markers));
    }
    ui().close_progress();
    job_control().job_running = false;
    report_capacities(run, requested_paths);

    run.data = nullptr;
    std::string error;
    if (!commit_in_order(data, post, error)) {
        ui().message_box(error, "Error!", MessageButtons::ok, MessageIcon::warning);
        return TrajectoryOutcome::file_error;
    }
    return completed ? TrajectoryOutcome::completed : TrajectoryOutcome::cancelled;
}

bool trace_gradient_trajectories_in_plane(int code)
{
    return trace_gradient_trajectories(code) == TrajectoryOutcome::completed;
}

bool climb_to_plane_maximum(double& u, double& v, double& w, int code)
{
    const MapFrame& frame = map_frame();
    const double step = trajectory_settings().path_step;
    const Vector3 start = plane_point(frame, u, v);
    double previous_value = code < FIRST_ENERGY_DENSITY ? evaluate_property_at_point(start[0], start[1], start[2], 0)
                                                        : property_value(start, code);
    Vector3 g{};
    double norm = property_gradient(-1, start, g, code);
    if (!(norm > 0) || !std::isfinite(norm))
        return false;
    double t = step;
    const double increment = 0.5 * step;
    Vector3 previous = start;
    Vector3 r = step_along(start, g, t / norm);
    double value = property_value(r, code);
    norm = property_gradient(1, r, g, code);
    for (int steps = 0; value >= previous_value; ++steps) {
        if (steps >= MAX_CLIMB_STEPS)
            return false;
        previous_value = value;
        previous = r;
        if (!(norm > 0) || !std::isfinite(norm))
            break;  // a flat point: the maximum itself
        t += increment;
        r = step_along(r, g, t / norm);
        value = property_value(r, code);
        norm = property_gradient(1, r, g, code);
    }
    const Vector3 reached = plane_coordinates(frame, previous);
    u = reached[0];
    v = reached[1];
    w = reached[2];
    return true;
}
