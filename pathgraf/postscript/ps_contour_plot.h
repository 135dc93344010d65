// Contour plots of a rectangular grid placed with its first point at the
// current page origin and stretched to xlen by ylen library inches: lines
// with a legend, labels and high/low marks, or areas filled by colour or
// grey between given levels.  False means the plot was abandoned (a
// capacity stop or a refused grid; the reason is on the console).
#pragma once

#include <array>
#include <span>

// nlevels = 0 chooses the levels (ContourOptions and ContourDefaults apply).
bool plot_contours(std::span<const float> z, int mx, int nx, int ny, float xlen, float ylen,
                   std::span<const float> levels, int nlevels);
// Collects the contour runs of a double grid in ContourState's polygon store.
bool trace_contour_levels(std::span<const double> z, int mx, int nx, int ny, float xlen, float ylen,
                          std::span<const float> levels, int nlevels);
// cval: nval ascending levels, color: (r, g, b) of each; missing_on: points
// equal to spval are missing.
bool CONCOLR(std::span<const float> z, int mx, int nx, int ny, float xlen, float ylen, std::span<const float> cval,
             std::span<const std::array<float, 3>> color, int nval, int missing_on, float spval);
bool CONFILL(std::span<const float> z, int mx, int nx, int ny, float xlen, float ylen, std::span<const float> cval,
             std::span<const float> grylev, int nval, int missing_on, float spval);
