// The grid map file and the map post file of the MAP command, record by
// record.  Coordinates are plane coordinates (u, v, w) of the map frame in
// Angstrom.
//
// Grid map file (default "map.dat"): one record per point, (2F12.5,6X,E14.7)
// x, y, value for a 2-D map and (3F12.5,6X,E14.7) x, y, z, value for a 3-D
// map; z layers, rows of increasing y, increasing x within a row; one empty
// record after a completed map.  The map file operations read 2-D files of
// this layout list-directed and write the same records.
//
// Map post file (default "map.pos"), no program of the system reads it:
// - 2-D map: (F8.4,2X,F8.4,2X,A8) x_min, y_min and eight blanks; the same
//   layout for every atom within 1 Angstrom of the plane and inside the
//   window; last x_max, y_max and eight blanks;
// - 3-D map, before the grid: "ATOMS", (I3) the count, then (A6,3X,I3,2X,
//   3F12.5) label, atomic number, u, v, w of every active atom in the box;
//   after the grid (also after a cancel): "GRID Info", three (3F12.5)
//   records min, end, step of x, y and z, and (3E10.2) the extreme values.
#pragma once

#include "keldana/model/load_defaults.h"
#include "keldana/model/model_store.h"
#include "keldana/topology/map_areas.h"

#include <string>
#include <vector>

// The post file's name for a map file's name: the four characters after the
// last "." of the file name become "pos " (trailing blanks dropped), so
// "map.dat" gives "map.pos"; a file name without "." is taken unchanged.
std::string post_file_name_for(const std::string& map_name);

// A grid map record: (nF12.5,6X,E14.7) of n = coordinate_count (2 or 3)
// coordinates and the value, appended to `out` without its line end.
void append_grid_map_record(std::string& out, const double* coordinates, int coordinate_count, double value);
std::string grid_map_record_2d(double x, double y, double value);
std::string grid_map_record_3d(double x, double y, double z, double value);

// The whole post file of a 2-D map (written before the grid).
std::vector<std::string> map_post_records_2d(const MapDefinition& map, const WorkingAtomSet& atoms,
                                             const MapPostAtoms& post);

// The head of the post file of a 3-D map.
std::vector<std::string> map_post_head_3d(const MapDefinition& map, const WorkingAtomSet& atoms,
                                          const MapPostAtoms& post);

// The tail of the post file of a 3-D map; z_end is z_max after a completed
// map, the z of the last completed layer after a cancel.
std::vector<std::string> map_post_tail_3d(const MapDefinition& map, double x_step, double y_step, double z_step,
                                          double z_end);
