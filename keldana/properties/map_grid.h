// The grid map engine of the MAP command: the active property on a 2-D grid
// in the map plane or a 3-D grid in the box around it, written to the grid
// map file and the map post file (map_files.h) with a progress dialog whose
// Cancel ends the map; the lattice images that a trajectory map of the
// electrostatic properties adds near the plane; the number readers and the
// step/point arithmetic of the GRID page.
#pragma once

#include "keldana/model/load_defaults.h"
#include "keldana/model/model_store.h"
#include "keldana/topology/map_areas.h"

#include <optional>
#include <string>
#include <string_view>

// The value a map or a line profile shows at a Cartesian point (Angstrom):
// the energy densities (30 and above) from their evaluator; ESFED (22) as
// 1/(8 pi) times the numerical gradient norm of EPOT; |GradRHO| (24) as the
// numerical gradient norm of the density; the Laplacian (8) with numerical
// derivatives on as the numerical Laplacian of the density, with the sign
// setting of the property; every other code from the property evaluator.
// Worker threads may evaluate it side by side for every code of
// is_reentrant_property.
double evaluate_map_property(double x, double y, double z, int code);
// evaluate_map_property at each of `count` points, the densities and their
// derivatives in one pass over the atoms near them: the same values.
void evaluate_map_property_at_points(const Vector3* points, std::size_t count, int code, double* values);

enum class MapOutcome {
    completed,
    cancelled,   // Cancel confirmed in the progress dialog: the loops stopped
    file_error,  // a file could not be opened or written (reported)
};

// Points of a map: evaluated so far and in all.
struct MapPointCount {
    long long done = 0;
    long long total = 0;
};

// The grid map of `code` over the window and point counts of map_definition()
// in the frame of map_frame(), into map_file_name and post_file_name of
// OutputFileNames; sets map_min_value and map_max_value.  A point count of 1
// puts its single point at the axis minimum.  Both files replace the old ones
// only when the whole map was written: after a cancel or a failed write
// (reported, naming the file) the old files stay as they were and no
// temporary is left.  `count`, when given, receives the points evaluated.
MapOutcome compute_property_map_outcome(int code, MapPointCount* count = nullptr);

// The same as the MAP dialog reads it: true when the map was completed.
bool compute_property_map(int code);

// The listing lines of a completed map: an empty line, the minimum and the
// maximum, an empty line.
void write_map_extremes_listing();

// The listing lines of a cancelled map: an empty line and " Map stopped by
// user after n of N points: the map file was not written."
void write_map_stopped_listing(const MapPointCount& count);

// Appends the lattice images of the active atoms, translated by -K..K, -L..L,
// -M..M of ClusterTranslations (0, 0, 0 left out), that lie within the
// out-of-plane distance of the plane and inside the window widened by 0.25
// Angstrom, and that are not within 0.1 Angstrom of an active atom: each
// takes the next free slot of the atom tables above the atoms and the dummy
// points (atom_count is unchanged) and its plane coordinates in `post`,
// whose post_atom_count grows to its slot.  The dummy points' slots get
// plane coordinates far from every plane, so no engine takes them for atoms.
// Appending stops when the atom tables or MapPostAtoms are full.  Returns the
// number of images appended.
int append_lattice_images_near_plane(StructureModel& model, const MapFrame& frame, const MapDefinition& map,
                                     double out_of_plane_distance, MapPostAtoms& post);

// Number readers of the GRID page.  The first: skips blanks; a "/" before the
// number, no digit at all or text that does not read as a number fails; else
// the number from its first non-blank character to the end of the text, as a
// 4-byte real.  The second: the integer from the first digit to the end of
// the text (a sign before it is not read); returns its digit count (1..5,
// 5 for 10000 and more), or -1 with the value unchanged when there is no
// digit or the text there does not read as an integer.
bool parse_number_before_slash(std::string_view text, float& value);
int parse_first_integer(std::string_view text, int& value);

// The GRID page's arithmetic on the first 8 characters of its boxes.  The
// step for a typed point count: (max - min)/(n - 1) written (F6.4); nothing
// when a limit does not read or n < 2.  The point count for a typed limit or
// step: trunc((max - min)/step + 0.5) + 1 written as wide as its digits;
// nothing when a limit or the step does not read or the step is not > 0.
std::optional<std::string> grid_step_for_points(std::string_view min_text, std::string_view max_text,
                                                std::string_view points_text);
std::optional<std::string> grid_points_for_step(std::string_view min_text, std::string_view max_text,
                                                std::string_view step_text);
