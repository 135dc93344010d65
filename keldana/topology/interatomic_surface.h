// The zero-flux interatomic surface of an atom: the radius, along each
// direction of a theta-phi grid around the nucleus, where gradient paths of
// the total density stop ending in the atom.  Paths are traced uphill from
// trial points (midpoint steps on the analytic gradient) and the change is
// bracketed and bisected along every ray.  A basin need not be star-shaped
// from its nucleus: a ray may leave it and come back, so every crossing is
// searched, and the grid keeps the first.  The rows of constant phi are
// searched on worker threads, each from the pole's radius, so the grid does
// not depend on the thread count.
//
// Grid: theta_i = i pi / n_theta (i = 0..n_theta), phi_j = j 2 pi / n_phi
// (j = 0..n_phi); direction (sin theta cos phi, sin theta sin phi, cos theta).
// Row j = n_phi repeats row 0, and the pole entries of every row repeat those
// of row 0.
#pragma once

#include "keldana/density/numeric_helpers.h"
#include "keldana/topology/critical_point_list.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

inline constexpr int MAX_SURFACE_THETA = 96;
inline constexpr int MAX_SURFACE_PHI = 120;
inline constexpr int MAX_SURFACE_ATOMS = 120;
// Grids the basin integration can interpolate.
inline constexpr int MIN_SURFACE_THETA = 4;
inline constexpr int MIN_SURFACE_PHI = 6;
inline constexpr double NO_SURFACE_RADIUS = 100.0;  // start radius of an atom without a surface

// The surfaces of the atoms (1..120) on one grid.
struct InteratomicSurfaceTable {
    int ias_theta_count = 0;
    int ias_phi_count = 0;
    // R(i, j, a), see radius(); held on the heap (about 11 MB).
    std::vector<double> ias_radius =
        std::vector<double>(static_cast<size_t>(MAX_SURFACE_THETA + 1) * (MAX_SURFACE_PHI + 1) * (MAX_SURFACE_ATOMS + 1));
    // Radius of the sphere about the nucleus that lies wholly in the basin.
    std::array<double, MAX_SURFACE_ATOMS + 1> ias_start_radius = filled_array<double, MAX_SURFACE_ATOMS + 1>(NO_SURFACE_RADIUS);
    std::array<int, MAX_SURFACE_ATOMS + 1> ias_present{};    // 1: the atom's surface is in the table
    std::array<int, MAX_SURFACE_ATOMS + 1> ias_atom_list{};  // atoms of the blocks of the last file read, 0 after
    int ias_atoms_read = 0;

    double& radius(int i, int j, int a)
    {
        return ias_radius[(static_cast<size_t>(a) * (MAX_SURFACE_PHI + 1) + j) * (MAX_SURFACE_THETA + 1) + i];
    }
    double radius(int i, int j, int a) const
    {
        return ias_radius[(static_cast<size_t>(a) * (MAX_SURFACE_PHI + 1) + j) * (MAX_SURFACE_THETA + 1) + i];
    }
};

// The program's table; every model load empties it.
InteratomicSurfaceTable& interatomic_surface_table();

// Radii of one atom on an n_theta x n_phi grid, R(i, j) at i + (n_theta + 1) j.
struct SurfaceGrid {
    int n_theta = 0, n_phi = 0;
    double start_radius = NO_SURFACE_RADIUS;
    std::vector<double> radii;

    double& at(int i, int j) { return radii[static_cast<size_t>(j) * (n_theta + 1) + i]; }
    double at(int i, int j) const { return radii[static_cast<size_t>(j) * (n_theta + 1) + i]; }
};

// Puts an atom's grid into the table (which must have the same grid counts),
// completes row n_phi and the poles from row 0 and marks the atom present.
// `reach`, from the surface search, is the last crossing of the surface
// along each grid direction (the grid holds the first); without it (a
// surface read from a file) one crossing per direction is assumed.
void store_surface_grid(InteratomicSurfaceTable& table, int atom, const SurfaceGrid& grid,
                        const SurfaceGrid* reach = nullptr);

// The last crossing along each grid direction of the atom's surface in the
// table, while that surface is the one the search stored it with; null when
// unknown.
const SurfaceGrid* surface_reach(const InteratomicSurfaceTable& table, int atom);

// A grid the surface search and the integration can use.
bool is_valid_surface_grid(int n_theta, int n_phi);

// The critical points of the surface search: its own list, apart from the
// user's search results in critical_point_list().
CriticalPointList& surface_critical_points();

// Bond critical points (and maxima) of the total density between `atom` and
// every atom within the sum of their covalent radii + 0.5 Angstrom, replacing
// the contents of `list`; reports them.  A point the atoms missing from the
// cluster could move (cluster_holds_point) stays in `list` for the surface
// search but is reported as near the edge of the cluster, not as a row of
// the table.  Returns the beta radius: the distance to the nearest point,
// NO_SURFACE_RADIUS when none was found.
double find_critical_points_around_atom(int atom, CriticalPointList& list);

enum class SurfaceOutcome {
    completed,
    cancelled,      // Cancel confirmed in the progress dialog
    no_neighbour,   // no critical point around the atom: no surface can be bracketed
    not_bracketed,  // a ray whose surface could not be bracketed
    bad_request,    // atom or grid outside the tables
};

struct SurfaceRun {
    SurfaceOutcome outcome = SurfaceOutcome::bad_request;
    SurfaceGrid grid;            // first crossings; complete only when the outcome is `completed`
    SurfaceGrid reach;           // last crossings: beyond the first where the ray re-enters the basin
    int reentrant_directions = 0;
    double beta_radius = NO_SURFACE_RADIUS;
    double minimal_radius = NO_SURFACE_RADIUS;
    long long evaluations = 0;   // density evaluations
    double cpu_seconds = 0;
};

// The surface of `atom` on the n_theta x n_phi grid: h is the base length of
// a path step, tolerance the bracket width where a ray's bisection stops.
// Along each direction every crossing is found out to where no neighbouring
// ray reaches: a ray may leave the basin and enter it again.  The listing
// tells in how many directions it does;
// rCut of CalculationSettings bounds the search.  The critical points go to
// surface_critical_points(); the progress dialog is shown and Cancel ends
// the run.  The grid's start radius is the smallest radius found.  Failures
// are reported with a message; nothing is stored in the table here.
SurfaceRun compute_interatomic_surface(int atom, int n_theta, int n_phi, double h, double tolerance);

// What tracing single rays of an atom's surface needs, apart from the
// cluster and rCut, which must stay as they were when it was prepared.
struct SurfaceRaySearch {
    int atom = 0;  // 0: not prepared
    double beta_radius = NO_SURFACE_RADIUS;
    double h = 0, tolerance = 0;
    std::shared_ptr<const CriticalPointList> points;
};

// Finds the critical points around `atom` as find_critical_points_around_atom
// does, but without a report and into the search's own list.  False when
// there are none (no surface can be bracketed).  Main thread only.
bool prepare_surface_ray_search(int atom, double h, double tolerance, SurfaceRaySearch& search);

// The surface radius along the unit vector u, searched as a ray of
// compute_interatomic_surface from `guess` with a first bracket of `width`;
// NO_SURFACE_RADIUS when it could not be bracketed.  Re-entrant while the
// evaluator's prepared model is held (hold_prepared_density_model).
double trace_surface_ray(const SurfaceRaySearch& search, const Vector3& u, double guess, double width);

// Every crossing of the surface along u, in increasing radius: the basin
// holds the ray up to the first, and again from the second to the third,
// and so on.  Searched as trace_surface_ray does, then probed from `low`
// (or from the last crossing, if lower) to `high` and on while the probes
// stay inside.  Empty when the surface could not be bracketed.
std::vector<double> trace_surface_crossings(const SurfaceRaySearch& search, const Vector3& u, double guess,
                                            double width, double low, double high);
