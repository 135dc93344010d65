// Gradient trajectories of a property in the plane of a map: paths that run
// away from every atom near the plane ("TP"), and for every bonded pair whose
// density critical point lies in the plane the two paths of the interatomic
// surface ("AS") and the two halves of the bond path ("BP").  They go to the
// trajectory data file, the atoms and critical points to the post file (see
// trajectory_files.h); the names are map_file_name and post_file_name of
// OutputFileNames.
//
// The run reads MapDefinition, MapFrame (map_areas.h), TrajectorySettings and
// MapPostAtoms (load_defaults.h), which the map dialog fills first, and shows
// the progress dialog; Cancel there ends it with both files well formed (the
// data file up to its last complete path, the post file without its "CP"
// section).
#pragma once

#include <string>

// Capacities of one run: points of one path (its origin included) and
// critical points found in the plane.
inline constexpr int MAX_PATH_POINTS = 1000;
inline constexpr int MAX_PLANE_CRITICAL_POINTS = 999;
inline constexpr int MAX_PATHS_PER_CENTRE = 999;

enum class TrajectoryOutcome {
    completed,
    cancelled,     // Cancel confirmed in the progress dialog
    not_traced,    // ESFED and |GradRHO| have no trajectories: no file touched
    file_error,    // a file could not be opened or written (reported)
};

// The run for property `code`.
TrajectoryOutcome trace_gradient_trajectories(int code);

// The same as the map dialog reads it: true when every path was traced.
bool trace_gradient_trajectories_in_plane(int code);

// Climbs from the plane point (u, v) to the nearby maximum of the property;
// true with the plane coordinates of the point reached in u, v, w; false,
// with u, v, w unchanged, when no maximum is reached within 200 steps.
bool climb_to_plane_maximum(double& u, double& v, double& w, int code);
