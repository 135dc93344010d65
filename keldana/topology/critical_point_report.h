// Locating one critical point from a start point and reporting it: the
// Newton locator and the refinement of what it found, the property and
// Hessian analysis at the point, its type, e.s.d.s when a covariance matrix
// is loaded, the atoms it belongs to, its entry in the list and its report
// lines.  Locating reads the model and settings only, so the starts of a
// search can be located on several threads; reporting and the list belong to
// the main thread, which reports the starts in their order.
#pragma once

#include "keldana/density/numeric_helpers.h"
#include "keldana/topology/cluster_edge.h"
#include "keldana/topology/critical_point_list.h"
#include "keldana/topology/newton_locator.h"

#include <array>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

inline constexpr int MAX_RING_ATOMS = 120;

// The atoms of the last ring/cage search.
struct RingAtomList {
    int ring_atom_count = 0;
    std::array<int, MAX_RING_ATOMS + 1> ring_atoms{};  // 1-based working-atom numbers
};

RingAtomList& ring_atom_list();

// How the start points were chosen.
enum SearchKind : int {
    SEARCH_ATOM_PAIR = 1,   // on the line between two atoms
    SEARCH_RING_CAGE = 4,   // at the centroid of the ring atoms
    SEARCH_FROM_POINT = 5,  // from a given point
    SEARCH_SHELL = 6,       // grid points of a shell around an atom
};

enum class LocateOutcome {
    appended,       // a new entry in the list, reported
    duplicate,      // an entry already there: reported in full and updated
    not_converged,  // no point: the failed start is reported, nothing stored
    stopped,        // the user pressed STOP: nothing stored
    list_full,      // a new point and no room in the list: nothing stored
    near_edge,      // atoms missing beyond the cluster may move the point: not the crystal's, not stored
};

// What every start of one search shares, taken from the settings on the
// main thread when the search starts.
struct LocateContext {
    int code = 3;
    DerivativeSource source;
    NewtonParameters newton;
    bool esds = false;  // e.s.d.s of the density and its Laplacian at each point
    // Active nuclei, when the property has its maxima there (the densities).
    std::vector<std::pair<int, Vector3>> nuclei;
    ClusterReach reach;  // which points the cluster's density gives as the crystal's
};

LocateContext prepare_locate_context(int code);

// One start, located.
struct LocatedPoint {
    Vector3 start{};
    std::vector<NewtonStepRecord> trace;  // the locator's progress lines
    NewtonOutcome outcome = NewtonOutcome::step_limit;
    bool found = false;  // a confirmed critical point (or a nucleus)
    bool near_edge = false;  // found, but atoms missing from the cluster may move it (cluster_holds_point)
    int steps = 0;
    int nucleus = 0;     // the atom whose nucleus the point is, 0 for none
    Vector3 position{};  // the point found, or the last one reached
    double value = 0;    // of the derivative source (the tables' f column)
    double gradient_norm = 0;
    double f = 0;        // of the evaluator (the "Check" line)
    double del2f = 0;
    double sigma_f = 0, sigma_l = 0;
    Matrix3 eigenvectors;
    std::array<double, 3> lambda{};
    int type = 0;
};

// Locates from `start`: the Newton locator, then a start or an end within
// SAME_CRITICAL_POINT_DISTANCE of an active nucleus becomes the nucleus
// itself (a (3,-3) point with the values there; the densities only), and
// any other converged point is refined before it counts as found.  A point
// the cluster's missing atoms may move or change (cluster_holds_point) is
// marked near_edge and not analysed further.  `stop` (may be null) is read
// after every Newton step.  Re-entrant.
void locate_critical_point(const LocateContext& context, const Vector3& start, const std::atomic<bool>* stop,
                           LocatedPoint& located);

// The locator's progress lines in the text pane.
void write_newton_trace(const LocatedPoint& located);

// "no critical point: not converged after N steps, |grad| = g at x y z", to
// the pane and the listing.
void write_failed_start(const LocatedPoint& located);

// Stores `fresh` as a new entry, or over entry `known` (1..cp_count): the
// new position and analysis under the atoms the entry was first found with.
// The entry's number, 0 when a new entry finds the list full.
int store_critical_point(const CriticalPoint& fresh, int known);

// The points near the edge of the cluster one search has reported.
using EdgePoints = std::vector<Vector3>;

// Reports a point near the edge of the cluster on its own line, once per
// search: false, writing nothing, when `reported` (may be null) holds it
// already; the point is added to it.
bool report_edge_point(const Vector3& point, EdgePoints* reported);

// The summary's count of the points near the edge of the cluster.
void write_edge_point_count(int count);

// Reports a located start of kind 1, 4 or 5 (atom1, atom2 for kind 1, which
// must be working atoms): the locator's lines, then the failed start, the
// point near the edge of the cluster (report_edge_point), or the point in
// full with the values of the current settings (also when it is already
// listed: its entry takes them, and a line after its row names it).  Kind 4
// also reports the distances from the atoms of ring_atom_list().
LocateOutcome report_located_point(const LocatedPoint& located, int kind, int atom1, int atom2, int code,
                                   EdgePoints* edge_points = nullptr);

// The line of a point found again: " CP located: the same as CP number N of the list".
std::string same_point_line(int known);

// A real in w columns: Fw.d when it fits, else in E form (a nucleus's cusp
// gives Hessian values no fixed field holds).
std::string fitted_real(double value, int width, int decimals);

// Locates and reports one start on the calling thread (report: with the
// locator's progress lines).  `point` receives the last point reached.
LocateOutcome locate_and_report_critical_point(bool report, Vector3& point, int kind, int atom1, int atom2, int code);

// True when e.s.d.s are computed for the points of property `code`: a
// covariance matrix is loaded and the property is the density or its
// Laplacian.
bool critical_point_esds_available(int code);

// The first six characters of a working atom's label (count = characters),
// blanks for an index outside the working set.
std::string atom_label_text(int atom, int count = 6);

// How a search runs its starts: on `threads` workers (0: one per core), the
// main thread reporting them in order and letting the windows run (and
// reading STOP) at most every `poll_interval_ms` while it waits or reports
// (0: after every start).
struct SearchExecution {
    int threads = 0;
    int poll_interval_ms = 20;
};

// Runs locate(k) for k = 0..count-1 on the workers and report(k) on the
// calling thread in the order of k.  report returns false to end the run;
// STOP ends it too, before the next report, and the workers leave at their
// next start.  `stop` is the flag the workers' locators read.  Returns the
// number of starts reported; `stopped` tells whether STOP ended the run.
int run_starts_in_order(int count, const SearchExecution& execution, std::atomic<bool>& stop,
                        const std::function<void(int)>& locate, const std::function<bool(int)>& report,
                        bool& stopped);

// The line a stopped search writes before its summary.
void write_search_stopped(const std::string& after);

// The summary's count of the starts that found no point.
void write_failed_start_count(int failed);
