// Paths: moves and lines, polylines, dashed lines, filled and clipping
// polygons and straight bands of a given width.  Points are library inches
// given as x and y arrays with a count (the count is limited to the arrays).
#pragma once

#include <span>

void draw_ps_move_to(float x, float y);
void draw_ps_line_to(float x, float y);
void stroke_ps_path();
void fill_ps_path();
void clip_ps_path();

// Width w (0 keeps the width in force) is set for the path and restored.
void draw_ps_polyline(std::span<const float> x, std::span<const float> y, int n, float w, bool closed);
void draw_ps_open_polyline(std::span<const float> x, std::span<const float> y, int n, float w);
void draw_ps_segment_with_width(float x1, float y1, float x2, float y2, float w);
// n dashes per library inch; a count below 1 draws a solid line.
void draw_ps_dashed_line(float x1, float y1, float x2, float y2, int n, float w);
void draw_ps_dashed_polyline(std::span<const float> x, std::span<const float> y, int npts, int n, float w);

void fill_ps_polygon(std::span<const float> x, std::span<const float> y, int n);
void fill_ps_polygon_rgb(std::span<const float> x, std::span<const float> y, int n, float r, float g, float b);
// Points in grid-cell units, placed at cell offset (i0, j0) of ContourState's cell size.
void fill_ps_cell_polygon_rgb(std::span<const float> x, std::span<const float> y, int n, int i0, int j0,
                              float r, float g, float b);
void fill_ps_polygon_gray(std::span<const float> x, std::span<const float> y, int n, float g);
void fill_ps_cell_polygon_gray(std::span<const float> x, std::span<const float> y, int n, int i0, int j0, float g);
void fill_ps_polygon_gray_restore(std::span<const float> x, std::span<const float> y, int n, float g);
void clip_ps_polygon(std::span<const float> x, std::span<const float> y, int n);

// Bands from (x1, y1) to (x2, y2) widened by w to their left.
void draw_ps_wide_line_outline(float x1, float y1, float x2, float y2, float w);
void fill_ps_wide_line_rgb(float x1, float y1, float x2, float y2, float w, float r, float g, float b);
void fill_ps_wide_line_gray(float x1, float y1, float x2, float y2, float w, float g);
