// Tracing the lines of one contour level through a grid: the single-
// precision path draws them (solid or dashed, labelled when asked), the
// double-precision path keeps their runs in the polygon store of
// ContourState for the filled contours.  A false result means a capacity
// or consistency stop (its message is on the console); the lines before it
// are written.
#pragma once

#include <span>

// The level's lines on a 4-byte grid; labelled = 1 puts value labels
// (level x scale) on them.  The grid-to-page transform of ContourState must
// be set.
bool trace_contour_grid_single(std::span<const float> z, int mx, int nx, int ny, float level, int labelled,
                               float scale);
bool trace_contour_grid_double(std::span<const double> z, int mx, int nx, int ny, float level, int labelled,
                               float scale);

// Line followers: each follows ONE line from the start state the driver put
// in ContourState.
bool drlin2(std::span<const float> z, int mx, int nx, int ny, int labelled, float scale);
bool drlindsh(std::span<const float> z, int mx, int nx, int ny, int labelled, float scale);
bool trace_contour_lines_double(std::span<const double> z, int mx, int nx, int ny, int labelled, float scale);
