#include "keldana/topology/critical_point_report.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/user_interface.h"
#include "common/worker_pool.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/density/property_names.h"
#include "keldana/model/covariance_matrix.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/cluster_edge.h"
#include "keldana/topology/critical_point_list.h"
#include "keldana/topology/newton_locator.h"
#include "keldana/topology/property_source.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>

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

// The densities have their maxima at the nuclei (cusps no derivative finds).
bool has_nuclear_maxima(int code) { return code == 0 || code == 1 || code == RHO_CODE; }

// The atom whose nucleus lies within SAME_CRITICAL_POINT_DISTANCE of p, 0 for none.
int nucleus_near(const LocateContext& context, const Vector3& p)
{
    for (const auto& [atom, position] : context.nuclei)
        if (point_distance(position, p) < SAME_CRITICAL_POINT_DISTANCE)
            return atom;
    return 0;
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
        row = format_line("(1X,A6,I3,' - ',A6,I3,2X,A10,'(',I3,')',2X,A11,'(',I2,')',2F8.3)",
                          {label1, atom1, label2, atom2, fitted_real(f, 10, 3), esd_digits(sigma_f, 1000),
                           fitted_real(del2f, 11, 2), esd_digits(sigma_l, 100), rij, d1});
    } else {
        pane("          Bond                f          Del2f     Rij     d1      d2");
        row = format_line("(1X,A6,I3,' - ',A6,I3,2X,A10,2X,A11,3F8.3)",
                          {label1, atom1, label2, atom2, fitted_real(f, 10, 3), fitted_real(del2f, 11, 2), rij, d1,
                           d2});
    }
    pane(row);
    pane(std::string(40, ' ') + "           Hessian Eigenvalues        ellipt");
    const std::string eigen = format_line("(40X,3A12,2X,F6.3)", {fitted_real(cp.lambda[0], 12, 3),
                                                                 fitted_real(cp.lambda[1], 12, 3),
                                                                 fitted_real(cp.lambda[2], 12, 3), eps});
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
            format_line("(12X,3A12,A8,'(',I2,')',1X,A11,'(',I2,')',1X,F5.2)",
                        {fitted_real(cp.lambda[0], 12, 2), fitted_real(cp.lambda[1], 12, 2),
                         fitted_real(cp.lambda[2], 12, 2), fitted_real(f, 8, 2), esd_digits(sigma_f, 1000),
                         fitted_real(del2f, 11, 2), esd_digits(sigma_l, 100), eps});
        pane(row);
        pane("");
        listing(row);
        listing("");
    } else {
        const std::string heading = "             Hessian Eigenvalues          f           Del2f      ellipt";
        pane(heading);
        listing(" " + heading);  // a list-directed record starts with a blank
        both(format_line("(3A12,2X,A8,2X,A11,6X,F6.3)",
                         {fitted_real(cp.lambda[0], 12, 4), fitted_real(cp.lambda[1], 12, 4),
                          fitted_real(cp.lambda[2], 12, 4), fitted_real(f, 8, 3), fitted_real(del2f, 11, 2), eps}));
    }
}

}  // namespace

std::string fitted_real(double value, int width, int decimals)
{
    const std::string fixed = format_line("(F" + std::to_string(width) + "." + std::to_string(decimals) + ")",
                                          {value});
    if (fixed.find('*') == std::string::npos || width < 8)
        return fixed;
    return format_line("(1PE" + std::to_string(width) + "." + std::to_string(width - 7) + ")", {value});
}

std::string same_point_line(int known)
{
    return format_line("(' CP located: the same as CP number',I4,' of the list')", {known});
}

bool report_edge_point(const Vector3& point, EdgePoints* reported)
{
    if (reported != nullptr) {
        for (const Vector3& p : *reported)
            if (point_distance(p, point) < SAME_CRITICAL_POINT_DISTANCE)
                return false;
        reported->push_back(point);
    }
    both(format_line("(' near the edge of the cluster: atoms beyond it are missing; point at',3F9.4)",
                     {point[0], point[1], point[2]}));
    return true;
}

void write_edge_point_count(int count)
{
    if (count > 0)
        both(format_line("(' Points near the edge of the cluster, not listed:',I5)", {count}));
}

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

LocateContext prepare_locate_context(int code)
{
    LocateContext context;
    context.code = code;
    context.source = property_derivative_source(code);
    context.newton = newton_parameters_of_settings();
    context.esds = critical_point_esds_available(code);
    const WorkingAtomSet& atoms = current_model().atoms;
    if (has_nuclear_maxima(code))
        for (int i = 1; i <= atoms.atom_count && i <= MAX_WORKING_ATOMS; ++i)
            if (atoms.subset_mask[i] != 0)
                context.nuclei.emplace_back(i, working_atom_position(atoms, i));
    // The evaluator prepares its copy of the model at the first evaluation:
    // here, before any worker evaluates.
    double value = 0;
    Vector3 gradient{};
    Matrix3 hessian;
    context.source(Vector3{}, value, gradient, hessian);
    evaluate_search_property(Vector3{}, code);
    context.reach = prepare_cluster_reach(code);
    return context;
}

void locate_critical_point(const LocateContext& context, const Vector3& start, const std::atomic<bool>* stop,
                           LocatedPoint& located)
{
    located = LocatedPoint{};
    located.start = start;
    located.position = start;
    const NewtonStepWatcher watcher = [&located, stop](const NewtonStepRecord& record) {
        located.trace.push_back(record);
        return stop == nullptr || !stop->load(std::memory_order_relaxed);
    };
    // The refinement starts where the search stopped: the derivatives there
    // are those of the search's last step, not evaluated again.
    struct Evaluation {
        Vector3 position{};
        double value = 0;
        Vector3 gradient{};
        Matrix3 hessian;
    };
    std::optional<Evaluation> last;
    const DerivativeSource source = [&](const Vector3& p, double& value, Vector3& gradient, Matrix3& hessian) {
        if (!last || std::memcmp(&last->position, &p, sizeof p) != 0) {
            last.emplace();
            last->position = p;
            context.source(p, last->value, last->gradient, last->hessian);
        }
        value = last->value;
        gradient = last->gradient;
        hessian = last->hessian;
    };
    Matrix3 hessian;
    int nucleus = nucleus_near(context, start);
    if (nucleus != 0) {
        Vector3 gradient{};
        context.source(start, located.value, gradient, hessian);
        located.gradient_norm = vector_length(gradient);
        watcher({0, start, located.gradient_norm, context.newton.scale});
        located.outcome = NewtonOutcome::converged;
    } else {
        located.outcome = run_newton_search(source, context.newton, context.code, watcher, located.position,
                                            located.value, located.gradient_norm, hessian, located.steps);
        if (located.outcome != NewtonOutcome::converged)
            return;
        nucleus = nucleus_near(context, located.position);
        if (nucleus == 0) {
            if (!refine_critical_point(source, context.newton, watcher, located.position, located.value,
                                       located.gradient_norm, hessian, located.steps))
                return;
            nucleus = nucleus_near(context, located.position);
        }
    }
    if (nucleus != 0) {
        // The cusp: the maximum is the nucleus itself, whatever the
        // derivatives make of its neighbourhood.
        located.nucleus = nucleus;
        for (const auto& [atom, position] : context.nuclei)
            if (atom == nucleus)
                located.position = position;
        Vector3 gradient{};
        context.source(located.position, located.value, gradient, hessian);
        located.gradient_norm = vector_length(gradient);
    }
    located.found = true;
    located.del2f = hessian(1, 1) + hessian(2, 2) + hessian(3, 3);
    analyse_hessian(hessian, located.lambda);
    located.eigenvectors = hessian;
    located.near_edge = !cluster_holds_point(context.reach, located.position, located.value, located.lambda);
    if (located.near_edge)
        return;
    located.f = evaluate_search_property(located.position, context.code);
    if (context.esds) {
        located.sigma_f = evaluate_search_esd(located.position, SIGMA_RHO_CODE);
        located.sigma_l = evaluate_search_esd(located.position, SIGMA_LAPLACIAN_CODE);
    }
    located.type = nucleus != 0 ? 1 : classify_critical_point(located.lambda);
}

void write_newton_trace(const LocatedPoint& located)
{
    for (const NewtonStepRecord& record : located.trace)
        write_newton_step_line(record);
}

void write_failed_start(const LocatedPoint& located)
{
    const Vector3& p = located.position;
    both(format_line("(' no critical point: not converged after',I4,' steps, |grad| = ',1PE10.3,' at',0P3F9.4)",
                     {located.steps, located.gradient_norm, p[0], p[1], p[2]}));
}

int store_critical_point(const CriticalPoint& fresh, int known)
{
    CriticalPointList& list = critical_point_list();
    if (known < 1 || known > list.cp_count || known > MAX_CRITICAL_POINTS)
        return append_critical_point(list, fresh);
    CriticalPoint& entry = list.points[known];
    const CriticalPoint earlier = entry;
    entry = fresh;
    entry.has_direction = earlier.has_direction;
    entry.direction = earlier.direction;
    // The labels it was first found with; the distance to them as it is now.
    entry.atom1 = earlier.atom1;
    entry.atom2 = earlier.atom2;
    const WorkingAtomSet& atoms = current_model().atoms;
    const auto valid = [&atoms](int a) { return a >= 1 && a <= atoms.atom_count && a <= MAX_WORKING_ATOMS; };
    const Vector3 p{fresh.x, fresh.y, fresh.z};
    if (valid(entry.atom1) && valid(entry.atom2))
        entry.distance = std::min(distance_to_atom(atoms, entry.atom1, p), distance_to_atom(atoms, entry.atom2, p));
    else if (valid(entry.atom1))
        entry.distance = distance_to_atom(atoms, entry.atom1, p);
    return known;
}

LocateOutcome report_located_point(const LocatedPoint& located, int kind, int atom1, int atom2, int code,
                                   EdgePoints* edge_points)
{
    write_newton_trace(located);
    if (located.outcome == NewtonOutcome::stopped)
        return LocateOutcome::stopped;
    if (!located.found) {
        write_failed_start(located);
        ui().text_pane_changed();
        return LocateOutcome::not_converged;
    }
    if (located.near_edge) {
        if (report_edge_point(located.position, edge_points))
            ui().text_pane_changed();
        return LocateOutcome::near_edge;
    }
    CriticalPointList& list = critical_point_list();
    const Vector3& point = located.position;
    const int known = find_critical_point(list, point[0], point[1], point[2], code);
    if (known == 0 && list.cp_count >= MAX_CRITICAL_POINTS) {
        report_critical_point_list_full();
        return LocateOutcome::list_full;
    }
    // The same point found again (from another start point or another
    // search) is listed once, with what the current settings give; a line
    // after its row names it.

    const CalculationSettings& settings = run_settings().calculation;
    const WorkingAtomSet& atoms = current_model().atoms;
    CriticalPoint cp;
    pane(" Check: ");
    if (settings.global_frame == 1)
        pane(format_line("('   Property f = ',A9,' at CP using global axis','  system : ',F9.3)",
                         {property_label(code), located.f}));
    else
        pane(format_line("('   Property f = ',A9,' at CP using  local axis','  systems: ',F9.3)",
                         {property_label(code), located.f}));

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
    if (esds)
        pane(" CP located, computing errors in rho, del2rho ...");

    cp.lambda = located.lambda;
    cp.eigenvectors = located.eigenvectors;
    cp.property_code = code;
    cp.x = point[0];
    cp.y = point[1];
    cp.z = point[2];
    cp.type = located.type;
    if (store_critical_point(cp, known) == 0) {  // checked above; kept for safety
        report_critical_point_list_full();
        return LocateOutcome::list_full;
    }

    const double eps = cp.type == 2 ? cp.lambda[0] / cp.lambda[1] - 1.0 : 0.0;
    if (kind == SEARCH_ATOM_PAIR) {
        const double rij = compute_distance(atoms.cart_x[atom1], atoms.cart_y[atom1], atoms.cart_z[atom1],
                                            atoms.cart_x[atom2], atoms.cart_y[atom2], atoms.cart_z[atom2]);
        write_bond_table(cp, atom1, atom2, located.value, located.del2f, rij, d1, d2, eps, esds, located.sigma_f,
                         located.sigma_l);
    } else {
        write_ring_table(cp, located.value, located.del2f, eps, esds, located.sigma_f, located.sigma_l);
    }
    if (known != 0)
        both(same_point_line(known));

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
    return known != 0 ? LocateOutcome::duplicate : LocateOutcome::appended;
}

LocateOutcome locate_and_report_critical_point(bool report, Vector3& point, int kind, int atom1, int atom2, int code)
{
    const WorkingAtomSet& atoms = current_model().atoms;
    const auto is_atom = [&atoms](int a) { return a >= 1 && a <= atoms.atom_count && a <= MAX_WORKING_ATOMS; };
    if (kind == SEARCH_ATOM_PAIR && (!is_atom(atom1) || !is_atom(atom2)))
        return LocateOutcome::not_converged;
    text_pane_state().scroll_to_end = true;
    LocatedPoint located;
    locate_critical_point(prepare_locate_context(code), point, nullptr, located);
    if (!report)
        located.trace.clear();
    point = located.position;
    return report_located_point(located, kind, atom1, atom2, code);
}

int run_starts_in_order(int count, const SearchExecution& execution, std::atomic<bool>& stop,
                        const std::function<void(int)>& locate, const std::function<bool(int)>& report,
                        bool& stopped)
{
    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::milliseconds(std::max(execution.poll_interval_ms, 0));
    auto last_poll = Clock::now();
    stopped = false;
    // Lets the windows run when the interval is over; true at STOP.
    const auto poll = [&](bool force) {
        if (!force && Clock::now() - last_poll < interval)
            return false;
        ui().text_pane_changed();
        last_poll = Clock::now();
        return pump_and_check_stop();
    };

    // The windows run once before the first start whatever the interval:
    // a STOP given at once, or a Cancel, is seen before anything is reported.
    if (poll(true)) {
        stopped = true;
        return 0;
    }
    int workers = execution.threads > 0 ? execution.threads : available_cpu_count();
    workers = std::clamp(workers, 1, std::max(count, 1));
    int reported = 0;
    // Starts are located on the workers and reported here in their order;
    // the evaluator is prepared here first, from the job's snapshot.
    hold_prepared_density_model();
    WorkerPool pool(count, workers, [&](int k) {
        if (!stop.load())
            locate(k);
    });
    const auto wait_slice = interval.count() > 0 ? interval : std::chrono::milliseconds(20);
    const auto end_workers = [&] {
        stop.store(true);
        pool.finish();
    };
    for (; reported < count; ++reported) {
        while (!pool.wait_for(reported, wait_slice)) {
            if (pool.threads() > 0 && poll(false)) {
                stopped = true;
                end_workers();
                return reported;
            }
        }
        if (!report(reported)) {
            end_workers();
            return reported + 1;
        }
        if (poll(interval.count() == 0)) {
            stopped = true;
            end_workers();
            return reported + 1;
        }
    }
    pool.finish();
    return reported;
}

void write_search_stopped(const std::string& after)
{
    both(" Search stopped by the user after " + after);
}

void write_failed_start_count(int failed)
{
    if (failed > 0)
        both(format_line("(' Starts without a critical point (not converged):',I5)", {failed}));
}
