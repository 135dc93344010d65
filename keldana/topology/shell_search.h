// The shell search: critical points around one atom, located from every
// point of a spherical grid between two radii where the gradient norm of the
// property is below a threshold, followed by an analysis of the directions
// of the points seen from the atom.
#pragma once

#include "keldana/topology/critical_point_report.h"

struct ShellSearchParameters {
    int atom = 0;                     // centre atom (working-atom number)
    int n_theta = 0, n_phi = 0, n_rad = 0;  // grid counts; n_theta and n_phi at least 2
    double r_min = 0, r_max = 0;      // Angstrom
    double cut = 0;                   // gradient-norm threshold of the Newton starts
    bool show_inside = false;         // keep only points within [r_min, r_max] of the atom
};

struct ShellSearchResult {
    int found = 0;   // new entries
    int failed = 0;  // Newton starts that found no point
    int near_edge = 0;  // points not listed: atoms beyond the cluster reach them
    bool stopped = false;
    bool list_full = false;
};

// Runs the search for property `code` and appends the new points to the
// list; a point listed before the search is reported in full once and its
// entry updated; a point near the edge of the cluster is reported once on
// its own line and not listed.  The grid points are located on worker threads and
// reported in grid order.  report: the locator's progress lines go to the
// pane; the windows run between grid points and STOP ends the scan.  A
// centre atom outside the working set or counts below 2 give no grid.
ShellSearchResult search_critical_points_in_shell(bool report, const ShellSearchParameters& parameters, int code,
                                                  const SearchExecution& execution = {});
