#include "keldana/topology/cp_search.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/user_interface.h"
#include "keldana/density/property_names.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/load_defaults.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/critical_point_list.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <utility>
#include <vector>
#include <numbers>

namespace {

constexpr double PI = std::numbers::pi;
constexpr double DEGREES_TO_RADIANS = std::numbers::pi / 180;
constexpr double NO_DONOR = 1000.0;
constexpr double LATTICE_IMAGE_LIMIT = 0.4;  // Angstrom: a lattice image this close to H is H itself
constexpr int EPOT_CODE = 23;

void pane(const std::string& text) { append_pane_line(text); }
void listing(const std::string& text) { write_listing_line(text); }
void both(const std::string& text)
{
    append_pane_line(text);
    write_listing_line(text);
}

void reset_search_settings() { critical_point_search_settings() = CriticalPointSearchSettings{}; }

void write_search_heading(SearchMode mode, int code)
{
    const CalculationSettings& settings = run_settings().calculation;
    pane("");
    both(format_line(settings.global_frame != 0
                         ? "(' ***  Property f = ',A9,' at CP using GLOBAL axis systems ***')"
                         : "(' ***  Property f = ',A9,' at CP using  LOCAL axis systems ***')",
                     {property_label(code)}));
    both(settings.numerical_derivatives != 0 ? "    * Numerical derivatives will be used  *"
                                              : "    * Analytic derivatives will be used  *");
    pane("");
    switch (mode) {
    case SearchMode::atoms: listing("  Heavy atom Bond Critical Point search "); break;
    case SearchMode::ring: listing("  Ring/Cage Critical Point search"); break;
    case SearchMode::point: listing("  Critical Point search starting from a given point"); break;
    case SearchMode::shell: break;  // the shell search writes its own heading
    }
    listing("");
}

// Whether the pair (i, j) at distance d is searched in an "all pairs" search.
bool pair_passes_filters(const WorkingAtomSet& atoms, int i, int j, double d, int angle_code)
{
    const CriticalPointSearchSettings& s = critical_point_search_settings();
    const bool hydrogen_i = atoms.atomic_number[i] == 1;
    const bool hydrogen_j = atoms.atomic_number[j] == 1;
    if (hydrogen_i && hydrogen_j && s.search_hh == 0)
        return false;
    if (d < s.min_distance || d > s.max_distance)
        return false;
    if (s.hbond_angle_filter == 1 && d > s.hbond_bond_limit && (hydrogen_i || hydrogen_j) &&
        compute_hbond_angle_at_hydrogen(i, j, d, angle_code) < s.hbond_min_angle * DEGREES_TO_RADIANS)
        return false;
    return true;
}

// The pairs an "all pairs" search visits, in order, or the one pair given.
std::vector<std::pair<int, int>> searched_pairs(const CriticalPointSearchRequest& request, int code)
{
    const WorkingAtomSet& atoms = current_model().atoms;
    const int n = std::min(atoms.atom_count, MAX_WORKING_ATOMS);
    const int angle_code = code == 22 || code == 26 ? EPOT_CODE : code;
    std::vector<std::pair<int, int>> pairs;
    if (request.certain_pair) {
        const int i = request.atom1;
        const int j = request.atom2;
        if (i >= 1 && i <= n && j >= 1 && j <= n && i != j && atoms.subset_mask[i] != 0 && atoms.subset_mask[j] != 0)
            pairs.emplace_back(i, j);
        return pairs;
    }
    for (int i = 1; i < n; ++i)
        for (int j = i + 1; j <= n; ++j) {
            if (atoms.subset_mask[i] == 0 || atoms.subset_mask[j] == 0)
                continue;
            const double d = point_distance(working_atom_position(atoms, i), working_atom_position(atoms, j));
            if (pair_passes_filters(atoms, i, j, d, angle_code))
                pairs.emplace_back(i, j);
        }
    return pairs;
}

// Counts a reported start into the result; false when the search must end.
bool count_outcome(LocateOutcome outcome, SearchResult& result)
{
    switch (outcome) {
    case LocateOutcome::not_converged: ++result.failed; return true;
    case LocateOutcome::list_full: result.list_full = true; return false;
    case LocateOutcome::stopped: result.stopped = true; return false;
    default: return true;
    }
}

// Locates the bond point of every pair from its midpoint.
void search_atom_pairs(const CriticalPointSearchRequest& request, int code, SearchResult& result,
                       EdgePoints& edge_points)
{
    const WorkingAtomSet& atoms = current_model().atoms;
    listing(critical_point_esds_available(code)
                ? "          Bond                  f           Del2f        Rij    d1"
                : "          Bond                f          Del2f     Rij     d1      d2");
    listing(std::string(40, ' ') + "           Hessian Eigenvalues        ellipt");

    const std::vector<std::pair<int, int>> pairs = searched_pairs(request, code);
    const LocateContext context = prepare_locate_context(code);
    std::vector<LocatedPoint> located(pairs.size());
    std::atomic<bool> stop{false};
    const auto locate = [&](int k) {
        const auto [i, j] = pairs[static_cast<std::size_t>(k)];
        const Vector3 ri = working_atom_position(atoms, i);
        const Vector3 rj = working_atom_position(atoms, j);
        const Vector3 start{ri[0] + 0.5 * (rj[0] - ri[0]), ri[1] + 0.5 * (rj[1] - ri[1]),
                            ri[2] + 0.5 * (rj[2] - ri[2])};
        locate_critical_point(context, start, &stop, located[static_cast<std::size_t>(k)]);
    };
    int last = -1;  // the last pair reported
    const auto report = [&](int k) {
        const auto [i, j] = pairs[static_cast<std::size_t>(k)];
        pane(format_line("(' Searching between atoms ',A5,' and ',A5,'...')",
                         {atom_label_text(i, 5), atom_label_text(j, 5)}));
        const LocateOutcome outcome = report_located_point(located[static_cast<std::size_t>(k)], SEARCH_ATOM_PAIR,
                                                           i, j, code, &edge_points);
        if (outcome != LocateOutcome::stopped)
            last = k;
        located[static_cast<std::size_t>(k)] = LocatedPoint{};  // reported: its trace is not needed any more
        return count_outcome(outcome, result);
    };
    bool stopped = false;
    run_starts_in_order(static_cast<int>(pairs.size()), request.execution, stop, locate, report, stopped);
    if (stopped || result.stopped) {
        result.stopped = true;
        if (last < 0) {
            write_search_stopped("no pair");
        } else {
            const auto [i, j] = pairs[static_cast<std::size_t>(last)];
            write_search_stopped(format_line("('pair ',A5,I4,' - ',A5,I4)",
                                             {atom_label_text(i, 5), i, atom_label_text(j, 5), j}));
        }
    }
}

// Locates and reports the one start of a ring or point search.
void search_from_start(const CriticalPointSearchRequest& request, const Vector3& start, int kind, int code,
                       SearchResult& result, EdgePoints& edge_points)
{
    const LocateContext context = prepare_locate_context(code);
    LocatedPoint located;
    std::atomic<bool> stop{false};
    bool stopped = false;
    run_starts_in_order(
        1, request.execution, stop, [&](int) { locate_critical_point(context, start, &stop, located); },
        [&](int) {
            return count_outcome(report_located_point(located, kind, 0, 0, code, &edge_points), result);
        },
        stopped);
    if (stopped || result.stopped) {
        result.stopped = true;
        const Vector3& p = located.position;
        write_search_stopped(format_line("('point',3F10.4)", {p[0], p[1], p[2]}));
    }
}

void search_ring(const CriticalPointSearchRequest& request, int code, SearchResult& result, EdgePoints& edge_points)
{
    const WorkingAtomSet& atoms = current_model().atoms;
    RingAtomList& ring = ring_atom_list();
    ring = RingAtomList{};
    for (int k = 1; k <= request.ring.ring_atom_count && k <= MAX_RING_ATOMS; ++k) {
        const int a = request.ring.ring_atoms[k];
        if (a >= 1 && a <= atoms.atom_count)
            ring.ring_atoms[++ring.ring_atom_count] = a;
    }
    listing("");
    for (int k = 1; k <= ring.ring_atom_count; ++k)
        for (int l = k + 1; l <= ring.ring_atom_count; ++l) {
            const int a = ring.ring_atoms[k];
            const int b = ring.ring_atoms[l];
            both(format_line("(' Distance ',A5,'-',A5,' :   ',F8.3)",
                             {atom_label_text(a, 5), atom_label_text(b, 5),
                              point_distance(working_atom_position(atoms, a), working_atom_position(atoms, b))}));
        }
    listing("");
    Vector3 start{};
    for (int k = 1; k <= ring.ring_atom_count; ++k)
        for (int c = 0; c < 3; ++c)
            start[c] += working_atom_position(atoms, ring.ring_atoms[k])[c] / ring.ring_atom_count;
    search_from_start(request, start, SEARCH_RING_CAGE, code, result, edge_points);
}

}  // namespace

CriticalPointSearchSettings& critical_point_search_settings()
{
    static CriticalPointSearchSettings settings;
    static const bool registered = (register_load_time_reset(reset_search_settings), true);
    (void)registered;
    return settings;
}

double compute_hbond_angle_at_hydrogen(int i, int j, double d, int code)
{
    const StructureModel& model = current_model();
    const WorkingAtomSet& atoms = model.atoms;
    const CriticalPointSearchSettings& s = critical_point_search_settings();
    const int hydrogen = atoms.atomic_number[i] == 1 ? i : j;
    const int other = hydrogen == i ? j : i;
    const Vector3 rh = working_atom_position(atoms, hydrogen);

    double h = NO_DONOR;
    Vector3 donor{};
    auto consider = [&](const Vector3& position) {
        const double r = point_distance(rh, position);
        if (r < h) {
            h = r;
            donor = position;
        }
    };
    const int n = std::min(atoms.atom_count, MAX_WORKING_ATOMS);
    if (code == EPOT_CODE) {
        const ClusterTranslations& t = model.translations;
        for (int a = -t.cluster_k; a <= t.cluster_k; ++a)
            for (int b = -t.cluster_l; b <= t.cluster_l; ++b)
                for (int c = -t.cluster_m; c <= t.cluster_m; ++c)
                    for (int k = 1; k <= n; ++k) {
                        if (atoms.subset_mask[k] == 0 || atoms.atomic_number[k] == 1)
                            continue;
                        Vector3 position = working_atom_position(atoms, k);
                        if (a != 0 || b != 0 || c != 0)
                            convert_fractional_to_cartesian(model.orthogonalisation, atoms.frac_x[k] + a,
                                                            atoms.frac_y[k] + b, atoms.frac_z[k] + c, position[0],
                                                            position[1], position[2]);
                        if (point_distance(rh, position) >= LATTICE_IMAGE_LIMIT)
                            consider(position);
                    }
    } else {
        for (int k = 1; k <= n; ++k)
            if (atoms.atomic_number[k] != 1)
                consider(working_atom_position(atoms, k));
    }
    const double big_a = point_distance(working_atom_position(atoms, other), donor);
    if (h + d < big_a || h > s.hbond_bond_limit || d < s.hbond_min_distance)
        return 0.0;
    if (h + d == big_a)
        return PI;
    return std::acos(std::clamp((h * h + d * d - big_a * big_a) / (2 * h * d), -1.0, 1.0));
}

void write_critical_point_summary(int first, int code)
{
    const CriticalPointList& list = critical_point_list();
    const StructureModel& model = current_model();
    const WorkingAtomSet& atoms = model.atoms;
    both(" Summary of CPs: ");
    both("    CP     CP       Bond or");
    both(std::string("  number  type    nearest atom     CP in   ") +
         "     xa      ya      za        xf      yf      zf       R");
    // Atom numbers in full: I2 holds them below 100.
    const std::string row_format = atoms.atom_count >= 100
                                       ? "(2X,I3,2X,A9,A5,I3,' - ',A5,I3,2X,A9,3F8.4,2X,3F8.4,F8.3)"
                                       : "(2X,I3,2X,A9,A5,I2,' - ',A5,I2,2X,A9,3F8.4,2X,3F8.4,F8.3)";
    for (int n = first + 1; n <= list.cp_count && n <= MAX_CRITICAL_POINTS; ++n) {
        const CriticalPoint& cp = list.points[n];
        double xf = 0, yf = 0, zf = 0;
        convert_cartesian_to_fractional(model.orthogonalisation, cp.x, cp.y, cp.z, xf, yf, zf);
        const bool has_atom = cp.atom1 >= 1 && cp.atom1 <= atoms.atom_count;
        const double r = has_atom ? point_distance(working_atom_position(atoms, cp.atom1), {cp.x, cp.y, cp.z}) : 0.0;
        both(format_line(row_format,
                         {n, property_label(50 + cp.type), atom_label_text(cp.atom1, 5), cp.atom1,
                          atom_label_text(cp.atom2, 5), cp.atom2, property_label(code), cp.x, cp.y, cp.z, xf, yf,
                          zf, r}));
    }
}

SearchResult run_critical_point_search(const CriticalPointSearchRequest& request, int code)
{
    SearchResult result;
    result.first = critical_point_list().cp_count;
    text_pane_state().scroll_to_end = true;
    ui().reset_stop_request(true);
    write_search_heading(request.mode, code);

    EdgePoints edge_points;
    switch (request.mode) {
    case SearchMode::atoms:
        search_atom_pairs(request, code, result, edge_points);
        break;
    case SearchMode::ring:
        search_ring(request, code, result, edge_points);
        break;
    case SearchMode::point:
        search_from_start(request, request.point, SEARCH_FROM_POINT, code, result, edge_points);
        break;
    case SearchMode::shell: {
        // The shell search resets the stop request and repaints itself, and
        // has its own analysis instead of the summary.
        const ShellSearchResult shell = search_critical_points_in_shell(true, request.shell, code, request.execution);
        result.found = shell.found;
        result.failed = shell.failed;
        result.stopped = shell.stopped;
        result.list_full = shell.list_full;
        result.near_edge = shell.near_edge;
        return result;
    }
    }

    result.found = critical_point_list().cp_count - result.first;
    if (result.found > 0)
        write_critical_point_summary(result.first, code);
    write_failed_start_count(result.failed);
    result.near_edge = static_cast<int>(edge_points.size());
    write_edge_point_count(result.near_edge);
    ui().reset_stop_request(false);
    ui().text_pane_changed();
    return result;
}
