// The trajectory data file ("map.dat") and post file ("map.pos") that the
// trajectory engine writes and Pathgraf draws.
//
// Data file: record 1 (4F10.5) the plane window x min, x max, y min, y max;
// then one block per path: a header (I6,2X,A2) with the number n of point
// records and the kind "TP", "AS" or "BP", and n records (2F12.5,I6) u, v
// and the path number.  The first point is the path's origin.
//
// Post file: "ATOMS", the marker count (I3), one (A40) record per marker
// built with (A6,4X,2F12.5) (label, u, v) and a blank record; then, when the
// run found critical points in the plane and was not cancelled, the same
// section headed "CP" with the type names as labels.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Counts are written (I3).
inline constexpr int MAX_POST_MARKERS = 999;

struct PlanePoint {
    double u = 0, v = 0;
};

struct PostMarker {
    std::string label;  // its first six characters are written
    double u = 0, v = 0;
};

std::string trajectory_window_record(double x_min, double x_max, double y_min, double y_max);

// Header and point records of one path; nothing for fewer than two points.
std::vector<std::string> trajectory_block_records(const std::string& kind, const std::vector<PlanePoint>& points,
                                                  int path_number);

// "ATOMS" or "CP" section of the post file.  Markers beyond MAX_POST_MARKERS
// are left out, so the count always fits its field.
std::vector<std::string> post_section_records(const std::string& keyword, const std::vector<PostMarker>& markers);

// Writes records as lines; false when the stream has failed.
bool write_records(std::ostream& output, const std::vector<std::string>& records);
