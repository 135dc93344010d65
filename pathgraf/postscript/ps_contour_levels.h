// The contouring records (options a caller may set, working state of the
// tracer and the fill routines) and the choice, order and extrema labels of
// contour levels.  Grids are column-major: element (i, j), i = 1..nx,
// j = 1..ny, is z[(i - 1) + (j - 1) * mx].
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

constexpr int CONTOUR_LEVEL_CAPACITY = 100;
constexpr int CONTOUR_RUN_CAPACITY = 350;         // runs of one traced line
constexpr int CONTOUR_RUN_POINT_CAPACITY = 3000;
constexpr int CONTOUR_POLYGON_RUN_CAPACITY = 50;  // runs kept for filled contouring
constexpr int CONTOUR_POLYGON_POINT_CAPACITY = 100;
constexpr int CONTOUR_VISITED_CAPACITY = 10000;
constexpr int CONTOUR_LINE_POINT_CAPACITY = 10000;       // points of one line (single grid)
constexpr int CONTOUR_LINE_POINT_CAPACITY_DOUBLE = 100;  // (double grid)
constexpr int CONTOUR_QUIET = -999;               // label_mode: no output but the lines

// Settings a caller may fill in before contouring (zero at start).
struct ContourOptions {
    std::int32_t use_options = 0;  // 0: only label_mode and label_height are read
    std::int32_t missing_flag = 0;
    float missing_value = 0.0f;
    std::int32_t legend_on = 0;
    std::int32_t label_mode = 0;    // -999 quiet; else the level-label switch
    std::int32_t extrema_mode = 0;  // 0 highs and lows, > 0 chunk length, < 0 neither
    std::int32_t label_decimals = 0;
    std::int32_t label_interval = 0;  // magnitude; 999 means 0; every (this + 1)th level labelled
    std::int32_t fixed_scale = 0;     // non-zero: no power-of-ten scaling
    std::int32_t dash_count = 0;      // non-zero: dashed lines, dashes per unit
    float label_height = 0.0f;        // non-zero: height of line labels from now on
};

// The contour-line driver's defaults; options copy into them and stay.
struct ContourDefaults {
    std::int32_t legend_on = 1;
    std::int32_t label_levels = 1;
    std::int32_t extrema_mode = 0;
    std::int32_t label_interval = 3;
    std::int32_t fixed_scale = 0;
    std::int32_t dash_count = 0;
    std::int32_t levels_wanted = 16;
    std::int32_t levels_max = 40;
    float extrema_p5 = 2.5f;
    float extrema_p6 = 1.0f;
    float label_height = 0.1f;
};

struct ContourRun {
    float level = 0.0f;
    std::vector<float> x, y;
};

struct ContourPolygonRun {
    float level = 0.0f;
    std::vector<double> x, y;
};

struct ContourState {
    std::int32_t missing_flag = 0;
    float missing_value = 0.0f;
    float x_origin = 0.0f, x_per_unit = 0.0f, y_origin = 0.0f, y_per_unit = 0.0f;
    double x_origin8 = 0.0, x_per_unit8 = 0.0, y_origin8 = 0.0, y_per_unit8 = 0.0;
    std::array<float, CONTOUR_LEVEL_CAPACITY> level_list{};
    std::int32_t level_count = 0;
    std::int32_t dash_count = 0;
    std::vector<ContourRun> runs;  // runs of the last line drawn (at most 350)
    std::int32_t polygon_append = 0;
    std::int32_t polygon_count = 0;
    std::vector<ContourPolygonRun> polygon_runs;  // at most 50
    float cell_width = 0.0f, cell_height = 0.0f;
    // Tracer.
    float level = 0.0f;
    double level8 = 0.0;
    std::int32_t ix = 0, iy = 0, idx = 0, idy = 0, dir = 0;
    std::int32_t interior = 0;
    std::vector<std::int32_t> visited;       // keys i * 65536 + j of used interior starts
    std::vector<unsigned char> visited_mark;  // the same keys by grid point, for look-up
    std::int32_t visited_count = 0;
    std::int32_t visited_limit = 0;
};

// Directions 1..8 of the tracer (index 0 is direction 1).
constexpr std::array<int, 8> DIR_DX = {-1, -1, 0, 1, 1, 1, 0, -1};
constexpr std::array<int, 8> DIR_DY = {0, 1, 1, 1, 0, -1, -1, -1};

ContourOptions& contour_options();
ContourDefaults& contour_defaults();
ContourState& contour_state();
void reset_contour_records();

// A grid the contour routines accept: 1 <= nx <= mx, ny >= 1, the array
// large enough, and small enough for the tracer's keys.
bool contour_grid_is_valid(std::size_t size, int mx, int nx, int ny);

// Chooses levels between lo and hi (both 0: the grid's range) at step (0:
// nwant intervals; negative: -step intervals), at most nmax of them.
void choose_contour_levels(std::span<const float> z, int mx, int nx, int ny, float& lo, float& hi, float& step,
                           int nwant, int nmax, std::span<float> levels, int& count, int& constant);
// Puts the labelled levels (every m-th, anchored on 0 or a round value) first.
void order_contour_levels(std::span<float> levels, int n, std::span<float> work, int& nlabelled, int m);
// Marks the grid's highs and lows with "H" and "L" and their values times scale.
void label_ps_grid_extrema(std::span<const float> z, int mx, int nx, int ny, float p5, float p6, int p7, float scale);
// The chunk length ceil(ny / ceil(ny / 48)); writes nothing.
int compute_label_chunk_length(std::span<const float> z, int mx, int nx, int ny, float p5, float p6, int p7,
                               float scale);
