// Filled contour plots: CONCOLR (colours) and CONFILL (grey levels).
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/fortran_format.h"
#include "pathgraf/postscript/ps_attributes.h"
#include "pathgraf/postscript/ps_compose.h"
#include "pathgraf/postscript/ps_contour_levels.h"
#include "pathgraf/postscript/ps_contour_plot.h"
#include "pathgraf/postscript/ps_lines.h"
#include "pathgraf/postscript/ps_output.h"

namespace {

constexpr int POLYGON_VERTEX_CAPACITY = 20;
constexpr double SIDE_TOLERANCE = 1e-13;

// The paint of one fill routine: a colour or a grey level per level.
struct BandPaint {
    bool grey = false;
    std::vector<std::array<float, 3>> colours;
    std::vector<float> greys;
    std::string upper;  // "CONCOLR"
    std::string lower;  // "concolr"

    void set_if_changed(int k) const  // k 1-based
    {
        const std::size_t at = static_cast<std::size_t>(k - 1);
        const PsGraphicsState& state = ps_graphics_state();
        if (grey) {
            if (greys[at] != state.grey) set_ps_gray(greys[at]);
        } else if (colours[at][0] != state.red || colours[at][1] != state.green || colours[at][2] != state.blue) {
            set_ps_rgb_color(colours[at][0], colours[at][1], colours[at][2]);
        }
    }
};

// Side of the unit square a run end lies on (corners belong to the side
// they end); 0 when it is on none.
int side_of(double x, double y)
{
    auto near = [](double a, double b) { return std::fabs(a - b) <= SIDE_TOLERANCE; };
    if (near(x, 0.0)) return near(y, 1.0) ? 3 : 4;
    if (near(x, 1.0)) return near(y, 0.0) ? 1 : 2;
    if (near(y, 0.0)) return 1;
    if (near(y, 1.0)) return 3;
    return 0;
}

// Position along side u in its walking direction (counter-clockwise).
double along_side(int u, double x, double y)
{
    switch (u) {
    case 1: return x;
    case 2: return y;
    case 3: return 1.0 - x;
    default: return 1.0 - y;
    }
}

void end_corner(int u, double& x, double& y)
{
    static const double cx[4] = {1.0, 1.0, 0.0, 0.0};
    static const double cy[4] = {0.0, 1.0, 1.0, 0.0};
    x = cx[u - 1];
    y = cy[u - 1];
}

double slope(double dx, double dy)
{
    if (dx != 0.0) return dy / dx;
    if (dy == 0.0) return 0.0;
    return dy > 0 ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity();
}

struct Polygon {
    std::vector<double> x, y;
};

// Adds a vertex; false (after the error report) when the polygon is full.
bool add_vertex(Polygon& poly, double x, double y, int error_number, int run, float level, const BandPaint& paint)
{
    if (static_cast<int>(poly.x.size()) >= POLYGON_VERTEX_CAPACITY) {
        ps_console_line(" ***Error(" + std::to_string(error_number) + ") in " + paint.lower + "***");
        ps_record_failure(" nc,rcval= " + ps_list_int(run) + ps_list_real(level));
        for (std::size_t k = 0; k < poly.x.size(); ++k)
            ps_console_line(format_line("(1X,2F20.10)", {poly.x[k], poly.y[k]}));
        return false;
    }
    poly.x.push_back(x);
    poly.y.push_back(y);
    return true;
}

// The area between run r and the square's sides (and other runs) walked
// counter-clockwise from the run's second point.  False after an error;
// closed is false when the run cannot bound an area.
bool form_polygon(int r, const BandPaint& paint, Polygon& poly, bool& closed)
{
    const std::vector<ContourPolygonRun>& runs = contour_state().polygon_runs;
    closed = false;
    poly = Polygon{};
    auto end_x = [&](int q, int e) { return e == 0 ? runs[static_cast<std::size_t>(q)].x.front() : runs[static_cast<std::size_t>(q)].x.back(); };
    auto end_y = [&](int q, int e) { return e == 0 ? runs[static_cast<std::size_t>(q)].y.front() : runs[static_cast<std::size_t>(q)].y.back(); };
    auto usable = [&](int q) { return runs[static_cast<std::size_t>(q)].x.size() >= 2; };
    const float level = runs[static_cast<std::size_t>(r)].level;
    if (!usable(r)) return true;  // a contour touching the cell at one point bounds no area

    poly.x = {end_x(r, 0), end_x(r, 1)};
    poly.y = {end_y(r, 0), end_y(r, 1)};
    double cx = end_x(r, 1), cy = end_y(r, 1);
    int u = side_of(cx, cy);
    int on_run = r, on_end = 1;
    if (u == 0 || side_of(end_x(r, 0), end_y(r, 0)) == 0) return true;
    for (int guard = 0; guard < 8 * POLYGON_VERTEX_CAPACITY; ++guard) {
        int best_run = -1, best_end = 0;
        double best_distance = std::numeric_limits<double>::infinity();
        const double here = along_side(u, cx, cy);
        for (int q = 0; q < static_cast<int>(runs.size()); ++q) {
            if (!usable(q)) continue;
            for (int e = 0; e < 2; ++e) {
                if (q == on_run && e == on_end) continue;
                const double qx = end_x(q, e), qy = end_y(q, e);
                if (side_of(qx, qy) != u) continue;
                double distance = along_side(u, qx, qy) - here;
                if (distance < -SIDE_TOLERANCE) continue;
                distance = std::max(distance, 0.0);
                if (distance == 0.0 && !(q == r && e == 0)) {
                    const std::size_t last = poly.x.size() - 1;
                    const double old_slope = slope(poly.x[last] - poly.x[last - 1], poly.y[last] - poly.y[last - 1]);
                    const double new_slope = slope(end_x(q, 1) - end_x(q, 0), end_y(q, 1) - end_y(q, 0));
                    ps_console_line(" possible other contour with distpt= 0." + ps_list_int(on_run + 1) + ps_list_int(q + 1));
                    ps_console_line(" slown,slnew= " + ps_list_real(static_cast<float>(old_slope))
                                    + ps_list_real(static_cast<float>(new_slope)));
                    if (old_slope < new_slope) continue;
                }
                if (distance < best_distance) {
                    best_distance = distance;
                    best_run = q;
                    best_end = e;
                }
            }
        }
        if (best_run < 0) {
            double kx = 0.0, ky = 0.0;
            end_corner(u, kx, ky);
            if (!add_vertex(poly, kx, ky, 1, r + 1, level, paint)) return false;
            cx = kx;
            cy = ky;
            u = u % 4 + 1;
            on_run = -1;
            continue;
        }
        if (best_run == r && best_end == 0) {
            closed = true;
            return true;
        }
        if (!add_vertex(poly, end_x(best_run, best_end), end_y(best_run, best_end), 2, r + 1, level, paint)) return false;
        const int other = 1 - best_end;
        cx = end_x(best_run, other);
        cy = end_y(best_run, other);
        if (!add_vertex(poly, cx, cy, 3, r + 1, level, paint)) return false;
        u = side_of(cx, cy);
        on_run = best_run;
        on_end = other;
        if (u == 0) return true;
    }
    return true;
}

bool fill_contour_bands(std::span<const float> z, int mx, int nx, int ny, float xlen, float ylen,
                        std::span<const float> cval_in, BandPaint paint, int nval, int missing_on, float spval)
{
    if (!contour_grid_is_valid(z.size(), mx, nx, ny) || nx < 2 || ny < 2) {
        ps_record_failure(" " + paint.upper + ": the grid must hold at least 2 by 2 points");
        return false;
    }
    const int given = paint.grey ? static_cast<int>(paint.greys.size()) : static_cast<int>(paint.colours.size());
    if (nval < 1 || nval > std::min(given, static_cast<int>(cval_in.size())) || nval > CONTOUR_LEVEL_CAPACITY) {
        ps_record_failure(" " + paint.upper + ": between 1 and 100 levels, each with its " + (paint.grey ? "grey level" : "colour"));
        return false;
    }
    ContourState& st = contour_state();
    ContourOptions& options = contour_options();
    const PsGraphicsState before = ps_graphics_state();
    const std::int32_t saved_label_mode = options.label_mode;
    st.polygon_append = 1;
    std::vector<float> cval(cval_in.begin(), cval_in.begin() + nval);
    paint.colours.resize(paint.grey ? 0 : static_cast<std::size_t>(nval));
    paint.greys.resize(paint.grey ? static_cast<std::size_t>(nval) : 0);

    auto at = [&](int i, int j) { return z[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(mx)]; };
    float zmin = 1e20f, zmax = -1e20f;
    for (int j = 1; j <= ny; ++j)
        for (int i = 1; i <= nx; ++i) {
            const float v = at(i, j);
            if (v == spval) continue;
            zmin = std::min(zmin, v);
            zmax = std::max(zmax, v);
        }
    ps_console_line(" ***" + paint.upper + "*** " + paint.lower + " array range " + ps_list_real(zmin) + ps_list_real(zmax));

    const std::string what = paint.grey ? "grylev" : "color";
    auto paint_items = [&](std::size_t k) {
        if (paint.grey) return ps_list_real(paint.greys[k]);
        return ps_list_real(paint.colours[k][0]) + ps_list_real(paint.colours[k][1]) + ps_list_real(paint.colours[k][2]);
    };
    if (cval.front() >= zmin) {
        cval.insert(cval.begin(), -1e20f);
        if (paint.grey) paint.greys.insert(paint.greys.begin(), paint.greys.front());
        else paint.colours.insert(paint.colours.begin(), paint.colours.front());
        ps_console_line(" ***" + paint.upper + "*** Adding low-end cval," + what + ps_list_real(cval.front()) + paint_items(0));
        ps_console_line(" Incrementing nval, nval now equals " + ps_list_int(static_cast<long long>(cval.size())));
    }
    if (cval.back() <= zmax) {
        cval.push_back(1e20f);
        if (paint.grey) paint.greys.push_back(paint.greys.back());
        else paint.colours.push_back(paint.colours.back());
        ps_console_line(" ***" + paint.upper + "*** Adding high-end cval," + what + ps_list_real(cval.back())
                        + paint_items(cval.size() - 1));
        ps_console_line(" Incrementing nval, nval now equals " + ps_list_int(static_cast<long long>(cval.size())));
    }
    if (cval.size() > static_cast<std::size_t>(CONTOUR_LEVEL_CAPACITY)) {
        ps_record_failure(" " + paint.upper + ": more than 100 levels with the end levels");
        return false;
    }
    nval = static_cast<int>(cval.size());

    const std::array<float, 4> rx = {0.0f, xlen, xlen, 0.0f};
    const std::array<float, 4> ry = {0.0f, 0.0f, ylen, ylen};
    if (paint.grey) {
        fill_ps_polygon_gray(rx, ry, 4, paint.greys.back());
    } else {
        set_ps_rgb_color(paint.colours.back()[0], paint.colours.back()[1], paint.colours.back()[2]);
        fill_ps_polygon(rx, ry, 4);
    }
    const float f = ps_output_state().page_factor;
    st.cell_width = xlen / static_cast<float>(nx - 1);
    st.cell_height = ylen / static_cast<float>(ny - 1);
    ps_line(format_line("('/dx ',f11.7,i5,' div ',f7.4,' mul def /dy ',f11.7,i5,' div ',f7.4,' mul def')",
                        {xlen, nx - 1, f, ylen, ny - 1, f}));
    ps_line("/Dx dx def /Dy dy def");

    auto fill_cell = [&](int k, int i, int j) {
        paint.set_if_changed(k);
        const float x = static_cast<float>(i - 1) * st.cell_width * f;
        const float y = static_cast<float>(j - 1) * st.cell_height * f;
        ps_line(ps_f(x, 8, 2) + " " + ps_f(y, 8, 2) + " Fb");
    };
    auto band_of = [&](float v) {
        for (int k = 1; k <= nval; ++k)
            if (v <= cval[static_cast<std::size_t>(k - 1)]) return k;
        return nval;
    };

    bool ok = true;
    for (int j = 1; j <= ny - 1 && ok; ++j)
        for (int i = 1; i <= nx - 1 && ok; ++i) {
            std::array<float, 4> corner = {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
            if (missing_on != 0 && std::any_of(corner.begin(), corner.end(), [&](float v) { return v == spval; })) {
                float sum = 0.0f;
                int valid = 0;
                for (float v : corner)
                    if (v != spval) {
                        sum += v;
                        ++valid;
                    }
                if (valid > 0) fill_cell(band_of(sum / static_cast<float>(valid)), i, j);
                continue;
            }
            int single = 0;
            for (int k = 2; k <= nval && single == 0; ++k) {
                const float low = cval[static_cast<std::size_t>(k - 2)], high = cval[static_cast<std::size_t>(k - 1)];
                if (std::all_of(corner.begin(), corner.end(), [&](float v) { return low < v && v <= high; })) single = k;
            }
            if (single != 0) {
                fill_cell(single, i, j);
                continue;
            }
            for (float& v : corner) v = std::clamp(v, -1e20f, 1e20f);
            const float lo = *std::min_element(corner.begin(), corner.end());
            const float hi = *std::max_element(corner.begin(), corner.end());
            std::vector<float> crossing;
            int highest = 0;
            for (int k = 1; k <= nval - 1; ++k) {
                const float level = cval[static_cast<std::size_t>(k - 1)];
                if (lo <= level && level <= hi) {
                    crossing.push_back(level);
                    highest = k;
                }
            }
            if (crossing.empty()) {
                fill_cell(band_of((lo + hi) / 2.0f), i, j);
                continue;
            }
            // The band of the cell's highest value: the band above the highest
            // level when a level crosses, and that level's own band when the
            // cell only reaches it.
            fill_cell(hi == cval[static_cast<std::size_t>(highest - 1)] ? highest : highest + 1, i, j);
            options.label_mode = CONTOUR_QUIET;
            // A corner exactly on a level would make contour ends meet at
            // that corner; the corner is raised by a hair so that every
            // contour crosses the cell cleanly.
            std::array<double, 4> cell = {corner[0], corner[1], corner[3], corner[2]};
            for (double& v : cell)
                if (std::find(crossing.begin(), crossing.end(), static_cast<float>(v)) != crossing.end())
                    v += std::max(std::fabs(v), 1.0) * 1e-5;
            ok = trace_contour_levels(cell, 2, 2, 2, 1.0f, 1.0f, crossing, static_cast<int>(crossing.size()));
            const int runs = static_cast<int>(st.polygon_runs.size());
            for (int r = 0; r < runs && ok; ++r) {
                Polygon poly;
                bool closed = false;
                ok = form_polygon(r, paint, poly, closed);
                if (!ok || !closed) continue;
                const float level = st.polygon_runs[static_cast<std::size_t>(r)].level;
                const auto found = std::find(cval.begin(), cval.end(), level);
                const int k = found == cval.end() ? nval : static_cast<int>(found - cval.begin()) + 1;
                std::vector<float> px(poly.x.begin(), poly.x.end()), py(poly.y.begin(), poly.y.end());
                const std::size_t kk = static_cast<std::size_t>(k - 1);
                if (paint.grey)
                    fill_ps_cell_polygon_gray(px, py, static_cast<int>(px.size()), i - 1, j - 1, paint.greys[kk]);
                else
                    fill_ps_cell_polygon_rgb(px, py, static_cast<int>(px.size()), i - 1, j - 1, paint.colours[kk][0],
                                             paint.colours[kk][1], paint.colours[kk][2]);
            }
        }
    options.label_mode = saved_label_mode;
    const PsGraphicsState& now = ps_graphics_state();
    if (paint.grey) {
        if (before.grey != now.grey) set_ps_gray(before.grey);
    } else if (before.red != now.red || before.green != now.green || before.blue != now.blue) {
        set_ps_rgb_color(before.red, before.green, before.blue);
    }
    return ok;
}

}  // namespace

bool CONCOLR(std::span<const float> z, int mx, int nx, int ny, float xlen, float ylen, std::span<const float> cval,
             std::span<const std::array<float, 3>> color, int nval, int missing_on, float spval)
{
    BandPaint paint;
    paint.colours.assign(color.begin(), color.end());
    paint.upper = "CONCOLR";
    paint.lower = "concolr";
    return fill_contour_bands(z, mx, nx, ny, xlen, ylen, cval, paint, nval, missing_on, spval);
}

bool CONFILL(std::span<const float> z, int mx, int nx, int ny, float xlen, float ylen, std::span<const float> cval,
             std::span<const float> grylev, int nval, int missing_on, float spval)
{
    BandPaint paint;
    paint.grey = true;
    paint.greys.assign(grylev.begin(), grylev.end());
    paint.upper = "CONFILL";
    paint.lower = "confill";
    return fill_contour_bands(z, mx, nx, ny, xlen, ylen, cval, paint, nval, missing_on, spval);
}
