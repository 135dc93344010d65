#include "keldana/topology/shell_search.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/user_interface.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/critical_point_list.h"
#include "keldana/topology/critical_point_report.h"
#include "keldana/topology/newton_locator.h"
#include "keldana/topology/property_source.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <vector>
#include <numbers>

namespace {

constexpr double TWO_PI = 2 * std::numbers::pi;
constexpr double PI = std::numbers::pi;
constexpr double RADIANS_TO_DEGREES = 180 / std::numbers::pi;
constexpr double NEIGHBOUR_LIMIT = 2.0;  // Angstrom
constexpr double NO_MINIMUM = 1.0e6;
// Grid points located at a time: the results of a block wait for their report.
constexpr std::size_t SHELL_BLOCK = 4096;
constexpr const char* GRID_HEADING = "     r/A    theta/deg.  phi/deg.       |Grad(f)|";
constexpr const char* TABLE_HEADING = " Atom        x      y      z            f         Del2f       d";

void pane(const std::string& text) { append_pane_line(text); }
void listing(const std::string& text) { write_listing_line(text); }

double arc_cosine_degrees(double c) { return std::acos(std::clamp(c, -1.0, 1.0)) * RADIANS_TO_DEGREES; }

// Number of grid values from a start in steps of `step` (the counts of the
// radial, polar and azimuthal loops), rounding errors aside.
int grid_count(double span_plus_step, double step)
{
    const double n = std::floor(span_plus_step / step + 1e-9);
    if (!std::isfinite(n) || n < 1)
        return 0;
    return n > 1e8 ? 100000000 : static_cast<int>(n);
}

// Lists the point (a new entry, or over the entry `known` listed before the
// search) and writes its row; the entry's number, 0 when the list is full.
int store_shell_point(const LocatedPoint& located, int atom, double d, int known, int code)
{
    const Vector3& p = located.position;
    CriticalPoint cp;
    cp.lambda = located.lambda;
    cp.eigenvectors = located.eigenvectors;
    cp.distance = d;
    cp.atom1 = atom;
    cp.atom2 = 0;
    cp.property_code = code;
    cp.x = p[0];
    cp.y = p[1];
    cp.z = p[2];
    cp.type = located.type;
    const int n = store_critical_point(cp, known);
    if (n == 0)
        return 0;
    pane("");
    if (n == 1 && known == 0) {
        listing("");
        listing(TABLE_HEADING);
        listing(std::string(40, ' ') + "       Hessian Eigenvalues");
        listing(" " + std::string(69, '-'));  // a list-directed record starts with a blank
    }
    const std::string row =
        format_line("(1X,A6,2X,3F7.3,2X,A12,2X,A12,1X,F6.3)",
                    {atom_label_text(atom), p[0], p[1], p[2], fitted_real(located.f, 12, 3),
                     fitted_real(located.del2f, 12, 3), d});
    const std::string eigen =
        format_line("(38X,3A12)", {fitted_real(cp.lambda[0], 12, 3), fitted_real(cp.lambda[1], 12, 3),
                                   fitted_real(cp.lambda[2], 12, 3)});
    pane(TABLE_HEADING);
    pane(row);
    pane(std::string(40, ' ') + "       Hessian Eigenvalues");
    pane(eigen);
    listing(row);
    listing(eigen);
    if (known != 0) {
        pane(same_point_line(known));
        listing(same_point_line(known));
    }
    listing("");
    return n;
}

// The directions of the search's points seen from their atom, their angles
// with the atom's nearest neighbour and with each other.
void analyse_shell_points(const std::vector<int>& numbers, int centre_atom)
{
    CriticalPointList& list = critical_point_list();
    const WorkingAtomSet& atoms = current_model().atoms;
    const int count = std::min(list.cp_count, MAX_CRITICAL_POINTS);
    pane("");
    pane(" Analysis of CP geometry (degrees, Angstroms): ");
    listing("");
    listing(" Analysis of CP geometry (degrees, Angstroms): ");
    listing("");
    pane("");
    for (const int k : numbers) {
        CriticalPoint& cp = list.points[k];
        const int a = cp.atom1;
        if (a < 1 || a > atoms.atom_count)
            continue;
        const Vector3 ra = working_atom_position(atoms, a);
        const Vector3 pk{cp.x, cp.y, cp.z};
        const Vector3 to_cp = vector_difference(pk, ra);
        const double d = vector_length(to_cp);
        cp.direction = d > 0 ? Vector3{to_cp[0] / d, to_cp[1] / d, to_cp[2] / d} : Vector3{};
        cp.has_direction = d > 0;
        int neighbour = 0;
        double bound = NEIGHBOUR_LIMIT;
        for (int i = 1; i <= atoms.atom_count; ++i) {
            if (i == a)
                continue;
            const double r = point_distance(working_atom_position(atoms, i), ra);
            if (r < bound) {
                bound = r;
                neighbour = i;
            }
        }
        if (neighbour == 0 || !cp.has_direction || bound <= 0)
            continue;  // no neighbour to measure the direction against
        const Vector3 bond = vector_difference(working_atom_position(atoms, neighbour), ra);
        const double cosine =
            (bond[0] * cp.direction[0] + bond[1] * cp.direction[1] + bond[2] * cp.direction[2]) / bound;
        const std::string line =
            format_line("(' Angle between ',A6,'-',A6,' and ',A6,'-CP',I2,': ',F7.2,'  distance ',A6,'-CP',I2,"
                        "': ',F7.3)",
                        {atom_label_text(a), atom_label_text(neighbour), atom_label_text(a), k,
                         arc_cosine_degrees(cosine), atom_label_text(neighbour), k,
                         point_distance(working_atom_position(atoms, neighbour), pk)});
        pane(line);
        listing(line);
    }
    pane("");
    listing("");
    const std::string centre = atom_label_text(centre_atom);
    for (int k = 1; k <= count; ++k) {
        const CriticalPoint& a = list.points[k];
        if (!a.has_direction)
            continue;
        for (int l = k + 1; l <= count; ++l) {
            const CriticalPoint& b = list.points[l];
            if (!b.has_direction)
                continue;
            const double cosine = a.direction[0] * b.direction[0] + a.direction[1] * b.direction[1] +
                                  a.direction[2] * b.direction[2];
            const std::string line = format_line(
                "(' Angle between ',A6,'-CP',I2,' and ',A6,'-CP',I2,': ',F7.2,'  distance CP',I2,'-CP',I2,': ',"
                "F7.3)",
                {centre, k, centre, l, arc_cosine_degrees(cosine), k, l,
                 compute_distance(a.x, a.y, a.z, b.x, b.y, b.z)});
            pane(line);
            listing(line);
        }
    }
}

}  // namespace

ShellSearchResult search_critical_points_in_shell(bool report, const ShellSearchParameters& parameters, int code,
                                                  const SearchExecution& execution)
{
    ShellSearchResult result;
    const CalculationSettings& settings = run_settings().calculation;
    const WorkingAtomSet& atoms = current_model().atoms;
    CriticalPointList& list = critical_point_list();
    const int a = parameters.atom;

    ui().reset_stop_request(true);
    listing("");
    listing(settings.numerical_derivatives == 0 ? " * Analytic derivatives will be used  *"
                                                 : " * Numerical derivatives will be used  *");
    const int first = list.cp_count;

    const bool valid = a >= 1 && a <= atoms.atom_count && parameters.n_theta >= 2 && parameters.n_phi >= 2;
    const double r_min = parameters.r_min;
    const double r_max = parameters.r_max;
    const double d_r = parameters.n_rad > 1 ? (r_max - r_min) / (parameters.n_rad - 1) : 1.0;
    const double d_phi = valid ? TWO_PI / (parameters.n_phi - 1) : 1.0;
    const double d_theta = valid ? PI / (parameters.n_theta - 1) : 1.0;
    const int n_r = valid && d_r != 0 ? grid_count(r_max - r_min + d_r, d_r) : 0;
    const int n_t = valid ? grid_count(d_theta + PI, d_theta) : 0;
    const int n_p_ring = valid ? grid_count(TWO_PI, d_phi) : 0;
    pane(GRID_HEADING);

    // The grid points in the order of the scan, taken a block at a time.
    struct GridStart {
        double r = 0, theta = 0, phi = 0;
        Vector3 p{};
        double g_norm = 0;
        bool started = false;
        LocatedPoint located;
    };
    const Vector3 centre = valid ? working_atom_position(atoms, a) : Vector3{};
    int ir = 0, it = 0, ip = 0;
    const auto points_at = [&](int polar) {
        const double theta = polar * d_theta;
        return theta < 0.001 || theta > 3.14 ? 1 : n_p_ring;
    };
    // The next block of the grid; empty at its end.
    std::vector<GridStart> grid;
    const auto next_block = [&] {
        grid.clear();
        while (ir < n_r && n_t > 0 && grid.size() < SHELL_BLOCK) {
            GridStart g;
            g.r = r_min + ir * d_r;
            g.theta = it * d_theta;
            g.phi = ip * d_phi;
            g.p = {centre[0] + g.r * std::sin(g.theta) * std::cos(g.phi),
                   centre[1] + g.r * std::sin(g.theta) * std::sin(g.phi), centre[2] + g.r * std::cos(g.theta)};
            grid.push_back(std::move(g));
            if (++ip >= points_at(it)) {
                ip = 0;
                if (++it >= n_t) {
                    it = 0;
                    ++ir;
                }
            }
        }
        return !grid.empty();
    };

    const LocateContext context = prepare_locate_context(code);
    std::atomic<bool> stop{false};
    const auto locate = [&](int k) {
        GridStart& g = grid[static_cast<std::size_t>(k)];
        g.g_norm = vector_length(evaluate_search_gradient(g.p, code));
        g.started = g.g_norm < parameters.cut;
        if (g.started)
            locate_critical_point(context, g.p, &stop, g.located);
    };

    double minimum = NO_MINIMUM;
    std::vector<int> numbers;  // the points of this search, for the analysis
    EdgePoints edge_points;
    const GridStart* last = nullptr;  // the last grid point reported (r, theta, phi kept)
    GridStart last_point;
    const auto report_point = [&](int k) {
        GridStart& g = grid[static_cast<std::size_t>(k)];
        if (g.g_norm < minimum) {
            pane(format_line("(3F10.3,9X,F12.3,2X,F8.4)",
                             {g.r, g.theta * RADIANS_TO_DEGREES, g.phi * RADIANS_TO_DEGREES, g.g_norm}));
            minimum = g.g_norm;
        }
        const auto mark = [&] {
            last_point.r = g.r;
            last_point.theta = g.theta;
            last_point.phi = g.phi;
            last = &last_point;
        };
        if (!g.started) {
            mark();
            return true;
        }
        const LocatedPoint& located = g.located;
        pane("Starting Newton-Raphson search ...");
        if (report)
            write_newton_trace(located);
        if (located.outcome == NewtonOutcome::stopped) {
            result.stopped = true;
            return false;
        }
        mark();
        bool attempt_ended = true;  // a point reported, or no convergence
        if (!located.found) {
            write_failed_start(located);
            ++result.failed;
        } else {
            const Vector3& p = located.position;
            const double d = point_distance(p, centre);
            const int known = find_critical_point(list, p[0], p[1], p[2], code);
            // Found before in this search: the same point again, not reported twice.
            const bool seen = known > first || std::find(numbers.begin(), numbers.end(), known) != numbers.end();
            if ((known != 0 && seen) || (parameters.show_inside && (d < r_min || d > r_max))) {
                attempt_ended = false;
            } else if (located.near_edge) {
                attempt_ended = report_edge_point(p, &edge_points);
            } else {
                const int n = store_shell_point(located, a, d, known, code);
                if (n == 0) {
                    report_critical_point_list_full();
                    result.list_full = true;
                    return false;
                }
                numbers.push_back(n);
                if (known == 0)
                    ++result.found;
            }
        }
        if (attempt_ended) {
            minimum = NO_MINIMUM;
            pane("");
            pane(GRID_HEADING);
        }
        g.located = LocatedPoint{};  // reported: its trace is not needed any more
        return true;
    };
    bool stopped = false;
    while (!stopped && !result.stopped && !result.list_full && next_block()) {
        run_starts_in_order(static_cast<int>(grid.size()), execution, stop, locate, report_point, stopped);
    }
    if (stopped || result.stopped) {
        result.stopped = true;
        if (last == nullptr) {
            write_search_stopped("no grid point");
        } else {
            const GridStart& g = *last;
            write_search_stopped(format_line("('grid point r =',F7.3,'  theta =',F7.2,'  phi =',F7.2)",
                                             {g.r, g.theta * RADIANS_TO_DEGREES, g.phi * RADIANS_TO_DEGREES}));
        }
    }

    if (!numbers.empty())
        analyse_shell_points(numbers, a);
    write_failed_start_count(result.failed);
    result.near_edge = static_cast<int>(edge_points.size());
    write_edge_point_count(result.near_edge);
    ui().reset_stop_request(false);
    ui().text_pane_changed();
    ui().redraw_viewer();
    return result;
}
