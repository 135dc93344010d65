#include "keldana/topology/bond_path.h"

#include "common/fortran_format.h"
#include "common/user_interface.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/critical_point_list.h"
#include "keldana/topology/critical_point_report.h"
#include "keldana/topology/property_source.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <numbers>

namespace {

constexpr double RADIANS_TO_DEGREES = 180 / std::numbers::pi;
constexpr double START_OFFSET = 0.001;     // Angstrom along the positive-curvature eigenvector
constexpr double SHORT_PATH_LENGTH = 2.0;  // Angstrom the step limit always allows
constexpr double PATH_LENGTH_FACTOR = 2.0; // the limit allows this multiple of the straight distance
const std::string RULE = std::string(8, ' ') + std::string(49, '-');

void pane(const std::string& text) { append_pane_line(text); }
void listing(const std::string& text) { write_listing_line(text); }
void both(const std::string& text)
{
    append_pane_line(text);
    write_listing_line(text);
}

void repaint_and_pump()
{
    ui().text_pane_changed();
    ui().pump_events();
}

// Angle in degrees between a and b; 0 when either has no length.
double angle_degrees(const Vector3& a, const Vector3& b)
{
    const double la = vector_length(a);
    const double lb = vector_length(b);
    if (la == 0 || lb == 0)
        return 0.0;
    return std::acos(std::clamp(dot_product(a, b) / (la * lb), -1.0, 1.0)) * RADIANS_TO_DEGREES;
}

void write_description(int atom1, int atom2, int c)
{
    text_pane_state().scroll_to_end = true;
    pane("");
    pane("===== Compute a Bond Path in total density =====");
    pane("");
    ui().text_pane_changed();
    listing("");
    listing(RULE);
    for (const char* line : {"", "Determines the bond path between the nuclei for the i-th CP",
                             "by integration along the gradient vector Grad(rho).",
                             "The 'takeoff angles'(between the bond path and the internuclear",
                             " vector) at the two nuclei are also computed, as are the",
                             "angles between the internuclear vectors and the line joining", "the nuclei to the CPs.",
                             "", ""})
        listing(line);
    listing("");
    listing(format_line("(' Bond Path Analysis for ',A5,'-',A5,'(CP no.',I2,') :')",
                        {atom_label_text(atom1, 5), atom_label_text(atom2, 5), c}));
}

}  // namespace

BondPathCheck check_bond_path_point(int c)
{
    const CriticalPointList& list = critical_point_list();
    if (c < 1 || c > list.cp_count || c > MAX_CRITICAL_POINTS)
        return BondPathCheck::no_such_point;
    const CriticalPoint& cp = list.points[c];
    if (cp.type != 2 || cp.property_code != 3)
        return BondPathCheck::not_a_bond_point;
    const int n = current_model().atoms.atom_count;
    if (cp.atom1 < 1 || cp.atom1 > n || cp.atom2 < 1 || cp.atom2 > n || cp.atom1 == cp.atom2)
        return BondPathCheck::no_atom_pair;
    return BondPathCheck::ok;
}

BondPathResult trace_bond_path(int c)
{
    BondPathResult result;
    if (check_bond_path_point(c) != BondPathCheck::ok)
        return result;
    result.traced = true;
    const CriticalPoint& cp = critical_point_list().points[c];
    double ds = run_settings().calculation.ds;
    if (!(ds > 0) || !std::isfinite(ds))
        ds = DEFAULT_DS;
    const WorkingAtomSet& atoms = current_model().atoms;
    const Vector3 rc{cp.x, cp.y, cp.z};
    const Vector3 v3{cp.eigenvectors(1, 3), cp.eigenvectors(2, 3), cp.eigenvectors(3, 3)};
    write_description(cp.atom1, cp.atom2, c);

    double beta = 0;
    int target = 0;
    int other = 0;
    for (int d = 1; d <= 2; ++d) {
        target = d == 1 ? cp.atom1 : cp.atom2;
        other = d == 1 ? cp.atom2 : cp.atom1;
        const Vector3 rt = working_atom_position(atoms, target);
        const Vector3 internuclear = vector_difference(working_atom_position(atoms, other), rt);
        const std::string target_label = atom_label_text(target, 5);
        if (d == 1)
            for (int k = 1; k <= 3; ++k) {
                const Vector3 vk{cp.eigenvectors(1, k), cp.eigenvectors(2, k), cp.eigenvectors(3, k)};
                both(format_line("(1X,' Eigenvector ',I1,' takeoff angle at CP : ',F8.3,' degrees')",
                                 {k, angle_degrees(internuclear, vk)}));
                repaint_and_pump();
            }
        const std::string heading =
            format_line("(' Integration towards ',A5,' from CP number ',I2)", {target_label, c});
        pane(heading);
        listing("");
        listing(heading);
        pane("      x     y      z      |Grad(rho)|     d");

        // The first step leaves the point on the side of its nucleus.
        const double start_distance = point_distance(rc, rt);
        Vector3 p{rc[0] + START_OFFSET * v3[0], rc[1] + START_OFFSET * v3[1], rc[2] + START_OFFSET * v3[2]};
        if (point_distance(p, rt) > start_distance)
            p = {rc[0] - START_OFFSET * v3[0], rc[1] - START_OFFSET * v3[1], rc[2] - START_OFFSET * v3[2]};
        double arc = START_OFFSET;
        const double allowed = std::max(SHORT_PATH_LENGTH, PATH_LENGTH_FACTOR * start_distance);
        const int step_limit = static_cast<int>(std::min(allowed / ds, 1.0e7));

        BondPathLeg& leg = result.legs[d - 1];
        leg.nucleus = target;
        for (int step = 1; step <= step_limit; ++step) {
            const Vector3 g = evaluate_total_density_gradient(p);
            const double g_norm = vector_length(g);
            if (!(g_norm > 0) || !std::isfinite(g_norm))
                break;  // no direction to follow
            for (int k = 0; k < 3; ++k)
                p[k] += ds * g[k] / g_norm;
            arc += ds;
            leg.steps = step;
            const double to_target = point_distance(p, rt);
            both(format_line("(2X,3F7.3,2X,F10.4,4X,F6.3)", {p[0], p[1], p[2], g_norm, to_target}));
            repaint_and_pump();
            if (to_target < ds) {
                leg.complete = true;
                break;
            }
        }
        leg.end = p;
        const Vector3 from_nucleus = vector_difference(p, rt);
        leg.length = leg.complete ? arc + vector_length(from_nucleus) : arc;
        if (leg.complete)
            both(format_line("(' Bond path from CP -> nucleus ',A5,' : ',F8.3,' Angstroms')",
                             {target_label, leg.length}));
        else
            both(format_line("(' Bond path from CP -> nucleus ',A5,' : ',F8.3,' Angstroms',"
                             "'  INCOMPLETE: the nucleus was not reached')",
                             {target_label, leg.length}));
        both(format_line("(12X,' Takeoff angle at ',A5,' : ',F8.3,' degrees')",
                         {target_label, angle_degrees(from_nucleus, internuclear)}));
        beta = angle_degrees(vector_difference(rc, rt), internuclear);
        both(format_line("(13X,'  Angle ',A5,'-',A5,'-CP : ',F8.3,' degrees')",
                         {atom_label_text(other, 5), target_label, beta}));
        ui().pump_events();
    }

    const double off_line =
        std::sin(beta / RADIANS_TO_DEGREES) * point_distance(rc, working_atom_position(atoms, target));
    const std::string line = format_line("(3X,' Distance from ',A5,'-',A5,' to CP : ',F8.3,' Angstroms')",
                                         {atom_label_text(other, 5), atom_label_text(target, 5), off_line});
    pane(line);
    listing("");
    listing(line);
    listing("");
    listing(RULE);
    ui().text_pane_changed();
    return result;
}
