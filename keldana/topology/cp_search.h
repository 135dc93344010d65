// The critical-point searches the search dialog starts: along the lines
// between atom pairs (bond points, with the filters for hydrogen pairs and
// hydrogen bonds), at the centroid of a ring or cage of atoms, from a given
// point, and in a spherical shell around an atom; with the report heading of
// each search and the summary of the points it found.
#pragma once

#include "keldana/density/numeric_helpers.h"
#include "keldana/topology/critical_point_report.h"
#include "keldana/topology/shell_search.h"

// Filters of the atom-pair search; every model load restores the defaults.
struct CriticalPointSearchSettings {
    double min_distance = 0.5;        // pairs closer than this are not searched
    double max_distance = 2.5;        // pairs farther than this are not searched
    double hbond_bond_limit = 1.2;    // longer pairs with a hydrogen are hydrogen-bond candidates
    double hbond_min_distance = 1.5;  // a candidate closer than this has angle 0
    double hbond_min_angle = 90.0;    // degrees: smallest donor-H...acceptor angle
    int search_hh = 0;                // 1: hydrogen-hydrogen pairs too
    int hbond_angle_filter = 1;       // 1: filter hydrogen-bond candidates by their angle
};

// The program's settings (their per-load reset is registered on first use).
CriticalPointSearchSettings& critical_point_search_settings();

enum class SearchMode { atoms, ring, point, shell };

// One search as the dialog sets it up.
struct CriticalPointSearchRequest {
    SearchMode mode = SearchMode::atoms;
    // atoms: every pair that passes the filters, or the one pair given.
    bool certain_pair = false;
    int atom1 = 0, atom2 = 0;
    // ring: the atoms whose centroid is the start point.
    RingAtomList ring;
    // point: the Cartesian start point.
    Vector3 point{};
    // shell: the grid around an atom.
    ShellSearchParameters shell;
    // Threads and the polling of STOP.
    SearchExecution execution;
};

struct SearchResult {
    int first = 0;          // cp_count before the search
    int found = 0;          // new entries
    int failed = 0;         // starts that found no point
    int near_edge = 0;      // points not listed: atoms beyond the cluster reach them
    bool stopped = false;   // ended by STOP
    bool list_full = false; // ended because the list had no room
};

// Runs one search of property `code`: resets the stop request, writes the
// search's heading, generates the start points, locates them (on worker
// threads) and reports each in order, lets the windows run and ends at STOP
// (saying after which start), and lists the new points in a summary with the
// counts of the starts that found none and of the points near the edge of
// the cluster.  The request must be valid (atoms in range, ring count within
// MAX_RING_ATOMS, shell counts of at least 2).
SearchResult run_critical_point_search(const CriticalPointSearchRequest& request, int code);

// Donor-H...acceptor angle (radians) of the pair (i, j), one of them a
// hydrogen, at distance d; 0 when the pair is no hydrogen bond.
double compute_hbond_angle_at_hydrogen(int i, int j, double d, int code);

// The summary of entries first + 1..cp_count of the list; atom numbers take
// three digits in a model of 100 atoms or more.
void write_critical_point_summary(int first, int code);
