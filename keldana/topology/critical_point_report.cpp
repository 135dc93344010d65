#include "keldana/topology/critical_point_report.h"

#include "common/fortran_format.h"
#include "common/user_interface.h"
#include "keldana/density/property_names.h"
#include "keldana/model/covariance_matrix.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/critical_point_list.h"
#include "keldana/topology/newton_locator.h"
#include "keldana/topology/property_source.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int RHO_CODE = 3;
constexpr int LAPLACIAN_CODE = 8;
constexpr int SIGMA_RHO_CODE = 17;
constexpr int SIGMA_LAPLACIAN_CODE = 18;
constexpr double NEAREST_ATOM_BOUND = 100.0;  // Angstrom

void pane(const std::string& text) { append_pane_line(text); }
void listing(const std::string& text) { write_listing_line(text); }
void both(const std::string& text)
{
    append_pane_line(text);
    write_listing_line(text);
}

double distance_to_atom(const WorkingAtomSet& atoms, int atom, const Vector3& p)
{
    return compute_distance(atoms.cart_x[atom], atoms.cart_y[atom], atoms.cart_z[atom], p[0], p[1], p[2]);
}

// nint(scale * sigma) for an e.s.d. column; a value far outside the field
// prints as asterisks like any other number too wide for it.
long long esd_digits(double sigma, double scale)
{
    const double v = sigma * scale;
    if (!std::isfinite(v))
        return 999999999;
    return std::llround(std::clamp(v, -1.0e9, 1.0e9));
}

void write_bond_table(const CriticalPoint& cp, int atom1, int atom2, double f, double del2f, double rij, double d1,
                      double d2, double eps, bool esds, double sigma_f, double sigma_l)
{
    const std::string label1 = atom_label_text(atom1);
    const std::string label2 = atom_label_text(atom2);
    std::string row;
    if (esds) {
        pane("          Bond                  f           Del2f        Rij    d1");
        row = format_line("(1X,A6,I3,' - ',A6,I3,2X,F10.3,'(',I3,')',2X,F11.2,'(',I2,')',2F8.3)",
                          {label1, atom1, label2, atom2, f, esd_digits(sigma_f, 1000), del2f,
                           esd_digits(sigma_l, 100), rij, d1});
    } else {
        pane("          Bond                f          Del2f     Rij     d1      d2");
        row = format_line("(1X,A6,I3,' - ',A6,I3,2X,F10.3,2X,F11.2,3F8.3)",
                          {label1, atom1, label2, atom2, f, del2f, rij, d1, d2});
    }
    pane(row);
    pane(std::string(40, ' ') + "           Hessian Eigenvalues        ellipt");
    const std::string eigen =
        format_line("(40X,3F12.3,2X,F6.3)", {cp.lambda[0], cp.lambda[1], cp.lambda[2], eps});
    pane(eigen);
    listing(row);
    listing(eigen);
}

void write_ring_table(const CriticalPoint& cp, double f, double del2f, double eps, bool esds, double sigma_f,
                      double sigma_l)
{
    if (esds) {
        both("RING/CAGE          Hessian Eigenvalues              f           Del2f      ellipt");
        const std::string row =
            format_line("(12X,3F12.2,F8.2,'(',I2,')',1X,F11.2,'(',I2,')',1X,F5.2)",
                        {cp.lambda[0], cp.lambda[1], cp.lambda[2], f, esd_digits(sigma_f, 1000), del2f,
                         esd_digits(sigma_l, 100), eps});
        pane(row);
        pane("");
        listing(row);
        listing("");
    } else {
        const std::string heading = "             Hessian Eigenvalues          f           Del2f      ellipt";
        pane(heading);
        listing(" " + heading);  // a list-directed record starts with a blank
        both(format_line("(3F12.4,2X,F8.3,2X,F11.2,6X,F6.3)",
                         {cp.lambda[0], cp.lambda[1], cp.lambda[2], f, del2f, eps}));
    }
}

}  // namespace

RingAtomList& ring_atom_list()
{
    static RingAtomList list;
    return list;
}

std::string atom_label_text(int atom, int count)
{
    const WorkingAtomSet& atoms = current_model().atoms;
    if (atom < 1 || atom > atoms.atom_count || atom > MAX_WORKING_ATOMS)
        return std::string(static_cast<size_t>(count), ' ');
    return std::string(atoms.atom_label[atom].data(), static_cast<size_t>(std::min(count, 8)));
}

bool critical_point_esds_available(int code)
{
    return covariance_matrix().esd_available == 1 && (code == RHO_CODE || code == LAPLACIAN_CODE);
}

LocateOutcome locate_and_report_critical_point(bool report, Vector3& point, int kind, int atom1, int atom2, int code)
{
    CriticalPointList& list = critical_point_list();
    if (list.cp_count >= MAX_CRITICAL_POINTS) {
        report_critical_point_list_full();
        return LocateOutcome::list_full;
    }
    CalculationSettings& settings = run_settings().calculation;
    const WorkingAtomSet& atoms = current_model().atoms;
    const auto is_atom = [&atoms](int a) { return a >= 1 && a <= atoms.atom_count && a <= MAX_WORKING_ATOMS; };
    if (kind == SEARCH_ATOM_PAIR && (!is_atom(atom1) || !is_atom(atom2)))
        return LocateOutcome::not_converged;

    const double saved_scale = settings.Scale;
    int not_converged = 1;
    text_pane_state().scroll_to_end = true;
    double value = 0;
    double gradient_norm = 0;
    Matrix3 hessian;
    const NewtonOutcome outcome =
        locate_critical_point_newton(report, point, value, gradient_norm, hessian, not_converged, code);
    settings.Scale = saved_scale;
    if (not_converged != 0)
        return outcome == NewtonOutcome::stopped ? LocateOutcome::stopped : LocateOutcome::not_converged;

    // The same point found again (from another start point or another
    // search) would count twice.
    if (const int known = find_critical_point(list, point[0], point[1], point[2], code)) {
        both(format_line("(' CP located: the same as CP number',I4,' of the list')", {known}));
        ui().text_pane_changed();
        return LocateOutcome::duplicate;
    }

    CriticalPoint cp;
    pane(" Check: ");
    const double f = evaluate_search_property(point, code);
    if (settings.global_frame == 1)
        pane(format_line("('   Property f = ',A9,' at CP using global axis','  system : ',F9.3)",
                         {property_label(code), f}));
    else
        pane(format_line("('   Property f = ',A9,' at CP using  local axis','  systems: ',F9.3)",
                         {property_label(code), f}));

    if (kind != SEARCH_ATOM_PAIR) {
        double bound = NEAREST_ATOM_BOUND;
        for (int i = 1; i <= atoms.atom_count && i <= MAX_WORKING_ATOMS; ++i) {
            const double d = distance_to_atom(atoms, i, point);
            if (d < bound) {
                cp.atom1 = i;
                bound = d;
            }
        }
        cp.atom2 = 0;
        cp.distance = cp.atom1 != 0 ? bound : 0.0;
        pane(" CP located: ");
        listing("");
        listing(" CP located: ");
    }

    const double del2f = hessian(1, 1) + hessian(2, 2) + hessian(3, 3);

    double d1 = 0;
    double d2 = 0;
    if (kind == SEARCH_ATOM_PAIR) {
        cp.atom1 = atom1;
        cp.atom2 = atom2;
        d1 = distance_to_atom(atoms, atom1, point);
        d2 = distance_to_atom(atoms, atom2, point);
        cp.distance = d2 < d1 ? d2 : d1;
    }

    const bool esds = critical_point_esds_available(code);
    double sigma_f = 0;
    double sigma_l = 0;
    if (esds) {
        pane(" CP located, computing errors in rho, del2rho ...");
        sigma_f = evaluate_search_esd(point, SIGMA_RHO_CODE);
        sigma_l = evaluate_search_esd(point, SIGMA_LAPLACIAN_CODE);
    }

    analyse_hessian(hessian, cp.lambda);
    cp.eigenvectors = hessian;
    cp.property_code = code;
    cp.x = point[0];
    cp.y = point[1];
    cp.z = point[2];
    cp.type = classify_critical_point(cp.lambda);
    const int n = append_critical_point(list, cp);
    if (n == 0) {  // checked above; kept for safety
        report_critical_point_list_full();
        return LocateOutcome::list_full;
    }

    const double eps = cp.type == 2 ? cp.lambda[0] / cp.lambda[1] - 1.0 : 0.0;
    if (kind == SEARCH_ATOM_PAIR) {
        const double rij = compute_distance(atoms.cart_x[atom1], atoms.cart_y[atom1], atoms.cart_z[atom1],
                                            atoms.cart_x[atom2], atoms.cart_y[atom2], atoms.cart_z[atom2]);
        write_bond_table(cp, atom1, atom2, value, del2f, rij, d1, d2, eps, esds, sigma_f, sigma_l);
    } else {
        write_ring_table(cp, value, del2f, eps, esds, sigma_f, sigma_l);
    }

    if (kind == SEARCH_RING_CAGE) {
        const RingAtomList& ring = ring_atom_list();
        for (int k = 1; k <= ring.ring_atom_count && k <= MAX_RING_ATOMS; ++k) {
            const int a = ring.ring_atoms[k];
            if (a < 1 || a > atoms.atom_count)
                continue;
            both(format_line("(' Distance from ',A5,'-CP :   ',F8.3)",
                             {atom_label_text(a, 5), distance_to_atom(atoms, a, point)}));
        }
    }

    ui().text_pane_changed();
    ui().redraw_viewer();
    return LocateOutcome::appended;
}
