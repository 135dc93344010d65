// Reading the trajectory data file ("*.dat") and post file ("*.pos") that
// Keldana's trajectory job writes.
//
// Data file: record 1 holds the plot window xmin, xmax, ymin, ymax (free
// form); then per path a header whose first ten columns decode with
// (I6,2X,A2) as the point count n and the kind "AS", "BP", "TP" (blank is
// "TP"), followed by n point records x, y (free form; a path number after
// them is ignored).  A record that is not the header of a shown kind is
// passed over, so the points of a skipped path are stepped over one by one.
//
// Post file: a word starting "ATOM", the atom count and per atom a record
// (A10,2F12.5) label, x, y; then a word starting "CP", the count and the
// critical points in the same layout.
#pragma once

#include "pathgraf/app/plot_state.h"

#include <functional>
#include <string>
#include <vector>

struct PlotWindowF {
    float xmin = 0.0f, xmax = 0.0f, ymin = 0.0f, ymax = 0.0f;
};

// Plane coordinates beyond this (Angstrom) do not fit the writer's fields
// and are refused in the plot window.
inline constexpr double MAX_PLOT_COORDINATE = 10000.0;

// Next record without its line end: 0, -1 at end of file, positive on error.
using RecordReader = std::function<int(std::string&)>;

// Decodes the first 80 columns of a record as a path header; false when
// they do not decode or name no known kind.
bool decode_path_header(const std::string& record, int& count, PathKind& kind);

// Reads the window record and then the paths from the records of
// next_record (positioned at the file's start), calling draw with the
// points of each path of a shown kind that lie inside the window (edges
// included), in file order.  A path without inside points is passed on
// empty.  The end of the file inside a path ends the paths.  False, with a
// message, when the window record or a point record cannot be read.
bool read_plot_paths(const RecordReader& next_record, const PathKindsShown& shown, PlotWindowF& window,
                     const std::function<void(PathKind, const std::vector<PlanePointF>&)>& draw, std::string* error);

// The same from the data file open on DATA_UNIT, rewound first.
bool read_open_plot_paths(const PathKindsShown& shown, PlotWindowF& window,
                          const std::function<void(PathKind, const std::vector<PlanePointF>&)>& draw,
                          std::string* error);

// Reads a data file through once before it is shown: false, with the
// message for the user, when it cannot be opened or read, or when its
// window is not a finite, non-empty rectangle within MAX_PLOT_COORDINATE.
bool check_trajectory_data_file(const std::string& path, PlotExtents& extents, std::string& message);

// Connects DATA_UNIT to the file (closing what it had open).
bool open_trajectory_data_file(const std::string& path, std::string& message);

// Reads the post file into post: atoms into slots 1..atom_count, critical
// points into the slots after them.  False when the file cannot be opened,
// a count or marker record cannot be read, or the counts exceed the
// capacities (250 atoms, 250 critical points, 300 slots with the free
// texts); post then holds no atoms and no critical points.  A file that
// ends before "ATOM" or "CP" counts as read with what it held.
bool read_post_file(const std::string& path, PostData& post);

// The full bitmap size for a window: the longer side 2400 pixels, the
// other in proportion (at least 1).
void full_bitmap_size(const PlotExtents& extents, int& width, int& height);
