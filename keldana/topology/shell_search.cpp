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
#include <cmath>
#include <string>

namespace {

constexpr double TWO_PI = 6.283185307;
constexpr double PI = 3.141592654;
constexpr double RADIANS_TO_DEGREES = 57.29577951;
constexpr double NEIGHBOUR_LIMIT = 2.0;  // Angstrom
constexpr double NO_MINIMUM = 1.0e6;
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

void store_new_point(const Vector3& p, int atom, double f, double del2f, double d, Matrix3 hessian, int code)
{
    CriticalPointList& list = critical_point_list();
    CriticalPoint cp;
    analyse_hessian(hessian, cp.lambda);
    cp.eigenvectors = hessian;
    cp.distance = d;
    cp.atom1 = atom;
    cp.atom2 = 0;
    cp.property_code = code;
    cp.x = p[0];
    cp.y = p[1];
    cp.z = p[2];
    cp.type = classify_critical_point(cp.lambda);
    const int n = append_critical_point(list, cp);
    pane("");
    if (n == 1) {
        listing("");
        listing(TABLE_HEADING);
        listing(std::string(40, ' ') + "       Hessian Eigenvalues");
        listing(" " + std::string(69, '-'));  // a list-directed record starts with a blank
    }
    const std::string row = format_line("(1X,A6,2X,3F7.3,2X,F12.3,2X,F12.3,1X,F6.3)",
                                        {atom_label_text(atom), p[0], p[1], p[2], f, del2f, d});
    const std::string eigen = format_line("(38X,3F12.3)", {cp.lambda[0], cp.lambda[1], cp.lambda[2]});
    pane(TABLE_HEADING);
    pane(row);
    pane(std::string(40, ' ') + "       Hessian Eigenvalues");
    pane(eigen);
    listing(row);
    listing(eigen);
    listing("");
}

// The directions of the new points seen from their atom, their angles with
// the atom's nearest neighbour and with each other.
void analyse_shell_points(int first, int centre_atom)
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
    for (int k = first + 1; k <= count; ++k) {
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

ShellSearchResult search_critical_points_in_shell(bool report, const ShellSearchParameters& parameters, int code)
{
    ShellSearchResult result;
    CalculationSettings& settings = run_settings().calculation;
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
    double minimum = NO_MINIMUM;
    pane(GRID_HEADING);

    const Vector3 centre = valid ? working_atom_position(atoms, a) : Vector3{};
    bool leave = false;
    for (int ir = 0; ir < n_r && !leave; ++ir) {
        const double r = r_min + ir * d_r;
        for (int it = 0; it < n_t && !leave; ++it) {
            const double theta = it * d_theta;
            const int n_p = theta < 0.001 || theta > 3.14 ? 1 : n_p_ring;
            for (int ip = 0; ip < n_p && !leave; ++ip) {
                const double phi = ip * d_phi;
                Vector3 p{centre[0] + r * std::sin(theta) * std::cos(phi),
                          centre[1] + r * std::sin(theta) * std::sin(phi), centre[2] + r * std::cos(theta)};
                Vector3 g{};
                for (int k = 1; k <= 3; ++k)
                    g[k - 1] = evaluate_search_partial_derivative(p, k, code);
                const double g_norm = vector_length(g);
                if (g_norm < minimum) {
                    pane(format_line("(3F10.3,9X,F12.3,2X,F8.4)",
                                     {r, theta * RADIANS_TO_DEGREES, phi * RADIANS_TO_DEGREES, g_norm}));
                    minimum = g_norm;
                }
                bool repaint = true;
                if (g_norm < parameters.cut) {
                    if (list.cp_count >= MAX_CRITICAL_POINTS) {
                        report_critical_point_list_full();
                        result.list_full = true;
                        leave = true;
                        break;
                    }
                    pane("Starting Newton-Raphson search ...");
                    const double saved_scale = settings.Scale;
                    int not_converged = 1;
                    double value = 0;
                    double gradient_norm = 0;
                    Matrix3 hessian;
                    locate_critical_point_newton(report, p, value, gradient_norm, hessian, not_converged, code);
                    settings.Scale = saved_scale;
                    bool attempt_ended = true;  // a new point, or no convergence
                    if (not_converged == 0) {
                        const double f = evaluate_search_property(p, code);
                        const double d = point_distance(p, centre);
                        if (find_critical_point(list, p[0], p[1], p[2], code) != 0 ||
                            (parameters.show_inside && (d < r_min || d > r_max))) {
                            attempt_ended = false;
                            repaint = false;
                        } else {
                            const double del2f = hessian(1, 1) + hessian(2, 2) + hessian(3, 3);
                            store_new_point(p, a, f, del2f, d, hessian, code);
                            ++result.found;
                        }
                    }
                    if (attempt_ended) {
                        minimum = NO_MINIMUM;
                        pane("");
                        pane(GRID_HEADING);
                    }
                }
                if (repaint)
                    ui().text_pane_changed();
                if (pump_and_check_stop()) {
                    result.stopped = true;
                    leave = true;
                }
            }
        }
    }

    if (list.cp_count > first)
        analyse_shell_points(first, a);
    ui().reset_stop_request(false);
    ui().text_pane_changed();
    ui().redraw_viewer();
    return result;
}
