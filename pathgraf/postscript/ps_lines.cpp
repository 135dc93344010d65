#include "pathgraf/postscript/ps_lines.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "pathgraf/postscript/ps_attributes.h"
#include "pathgraf/postscript/ps_compose.h"
#include "pathgraf/postscript/ps_contour_levels.h"
#include "pathgraf/postscript/ps_output.h"
#include "pathgraf/postscript/ps_page.h"

namespace {

int point_count(std::span<const float> x, std::span<const float> y, int n)
{
    return std::max(0, std::min({n, static_cast<int>(x.size()), static_cast<int>(y.size())}));
}

void write_point(float x, float y, const char* word)
{
    ps_line(ps_f(ps_scaled(x), 8, 2) + ps_f(ps_scaled(y), 8, 2) + word);
}

// The width rule of the segment and dash routines: a width other than 0 and
// other than the one in force is set for the drawing and undone after it.
struct TemporaryWidth {
    bool changed = false;
    float previous = 0.0f;
    explicit TemporaryWidth(float w)
    {
        const float current = ps_graphics_state().line_width;
        if (w != 0.0f && w != current) {
            previous = current;
            changed = true;
            set_ps_line_width(w);
        }
    }
    ~TemporaryWidth()
    {
        if (changed) set_ps_line_width(previous);
    }
};

// Direction of the step from (x1, y1) towards (x2, y2).
double step_angle(double x1, double y1, double x2, double y2)
{
    if (std::fabs(x2 - x1) < 1e-5) return (y2 - y1 < 0) ? -M_PI / 2 : M_PI / 2;
    return std::atan2(y2 - y1, x2 - x1);
}

// Packs polygon points several to a line, closed by the count and a word.
void write_packed_polygon(std::span<const float> x, std::span<const float> y, int n, bool cells, int i0, int j0,
                          const char* closing_word, bool count_alone)
{
    const ContourState& contour = contour_state();
    std::string& line = ps_command_buffer().line;
    ps_begin_line();
    for (int k = 0; k < n; ++k) {
        float px = x[static_cast<std::size_t>(k)];
        float py = y[static_cast<std::size_t>(k)];
        if (cells) {
            px = (static_cast<float>(i0) + px) * contour.cell_width;
            py = (static_cast<float>(j0) + py) * contour.cell_height;
        }
        const std::string point = " " + ps_f(ps_scaled(px), 8, 2) + " " + ps_f(ps_scaled(py), 8, 2);
        if (k == 0) {
            ps_put(point.substr(1));
            continue;
        }
        const int last = find_last_nonblank(line);
        if (last + static_cast<int>(point.size()) <= PS_RECORD_LENGTH) {
            line.resize(static_cast<std::size_t>(last));
            ps_put(point);
        } else {
            ps_end_line();
            ps_begin_line();
            ps_put(point);
        }
    }
    const std::string count_piece = ps_i(n - 1, 6) + closing_word;
    const int last = find_last_nonblank(line);
    if (count_alone) {
        ps_end_line();
        ps_begin_line();
        ps_put(count_piece);
    } else if (last + static_cast<int>(count_piece.size()) <= PS_RECORD_LENGTH) {
        line.resize(static_cast<std::size_t>(last));
        ps_put(count_piece);
    } else {
        ps_end_line();
        ps_begin_line();
        ps_put(count_piece);
    }
    ps_end_line();
}

void set_colour_if_changed(float r, float g, float b)
{
    const PsGraphicsState& state = ps_graphics_state();
    if (r != state.red || g != state.green || b != state.blue) set_ps_rgb_color(r, g, b);
}

void set_grey_if_changed(float g)
{
    if (g != ps_graphics_state().grey) set_ps_gray(g);
}

// The four corners of a band.
void band_corners(float x1, float y1, float x2, float y2, float w, std::array<float, 4>& x, std::array<float, 4>& y)
{
    const float s = y1 < y2 ? -1.0f : 1.0f;
    float ox = 0.0f;
    float oy = 0.0f;
    if (std::fabs(x2 - x1) < 1e-5f) {
        ox = s * w;
    } else {
        const float b = std::atan2(y2 - y1, x2 - x1) + 3.14159274f / 2.0f;
        ox = w * std::cos(b);
        oy = w * std::sin(b);
    }
    x = {x1, x2, x2 + ox, x1 + ox};
    y = {y1, y2, y2 + oy, y1 + oy};
}

}  // namespace

void draw_ps_move_to(float x, float y) { write_point(x, y, " M"); }
void draw_ps_line_to(float x, float y) { write_point(x, y, " L"); }
void stroke_ps_path() { ps_line("stroke"); }
void fill_ps_path() { ps_line("fill"); }
void clip_ps_path() { ps_line("clip"); }

void draw_ps_polyline(std::span<const float> x, std::span<const float> y, int n, float w, bool closed)
{
    n = point_count(x, y, n);
    if (n < 1) return;
    ps_line("Np");
    PsGraphicsState& state = ps_graphics_state();
    const float saved = state.line_width;
    if (w != 0.0f) set_ps_line_width(w);
    write_point(x[0], y[0], " M");
    for (int i = 2; i <= n; ++i) {
        const float px = x[static_cast<std::size_t>(i - 1)];
        const float py = y[static_cast<std::size_t>(i - 1)];
        write_point(px, py, " L");
        if (i % 100 == 0) {
            ps_line("stroke");
            write_point(px, py, " M");
        }
    }
    ps_line(closed ? "Cs" : "S");
    if (w != 0.0f) set_ps_line_width(saved);
}

void draw_ps_open_polyline(std::span<const float> x, std::span<const float> y, int n, float w)
{
    draw_ps_polyline(x, y, n, w, false);
}

void draw_ps_segment_with_width(float x1, float y1, float x2, float y2, float w)
{
    TemporaryWidth width(w);
    plot_ps_pen(x1, y1, 3);
    plot_ps_pen(x2, y2, 2);
}

void draw_ps_dashed_line(float x1, float y1, float x2, float y2, int n, float w)
{
    TemporaryWidth width(w);
    const float length = std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
    int pairs = 0;
    float dx = 0.0f;
    float dy = 0.0f;
    if (n >= 1) {
        const float d = 1.0f / (2.0f * static_cast<float>(n));
        pairs = static_cast<int>(length * static_cast<float>(n));
        const float a = static_cast<float>(step_angle(x1, y1, x2, y2));
        dx = d * std::cos(a);
        dy = d * std::sin(a);
    }
    float x = x1;
    float y = y1;
    for (int k = 0; k < pairs; ++k) {
        plot_ps_pen(x, y, 3);
        plot_ps_pen(x + dx, y + dy, 2);
        x += 2.0f * dx;
        y += 2.0f * dy;
    }
    plot_ps_pen(x, y, 3);
    plot_ps_pen(x2, y2, 2);
}

void draw_ps_dashed_polyline(std::span<const float> x, std::span<const float> y, int npts, int n, float w)
{
    npts = point_count(x, y, npts);
    if (npts < 1) return;
    TemporaryWidth width(w);
    auto vx = [&](int i) { return static_cast<double>(x[static_cast<std::size_t>(i - 1)]); };
    auto vy = [&](int i) { return static_cast<double>(y[static_cast<std::size_t>(i - 1)]); };
    auto pen = [](double px, double py, int code) { plot_ps_pen(static_cast<float>(px), static_cast<float>(py), code); };
    plot_ps_pen(x[0], y[0], 3);
    if (n < 1) {  // no dash count: the polyline drawn solid
        for (int i = 2; i <= npts; ++i) pen(vx(i), vy(i), 2);
        return;
    }
    const double d = 1.0 / (2.0 * n);
    double px = vx(1);
    double py = vy(1);
    int code = 3;
    int i = 2;
    while (i <= npts) {
        code = 5 - code;
        double a = step_angle(px, py, vx(i), vy(i));
        const double to_vertex = std::hypot(vx(i) - px, vy(i) - py);
        if (to_vertex > d) {
            double ex = px + d * std::cos(a);
            double ey = py + d * std::sin(a);
            if (std::hypot(ex - vx(i), ey - vy(i)) < 1e-5) {
                ex = vx(i);
                ey = vy(i);
                ++i;
            }
            pen(ex, ey, code);
            px = ex;
            py = ey;
            continue;
        }
        double r = d;
        while (i <= npts) {
            const double to_next = std::hypot(vx(i) - px, vy(i) - py);
            if (to_next > r) break;
            pen(vx(i), vy(i), code);
            r -= to_next;
            px = vx(i);
            py = vy(i);
            ++i;
            if (r == 0.0) break;
        }
        if (r > 0.0 && i <= npts) {
            a = step_angle(px, py, vx(i), vy(i));
            px += r * std::cos(a);
            py += r * std::sin(a);
            pen(px, py, code);
        }
    }
}

void fill_ps_polygon(std::span<const float> x, std::span<const float> y, int n)
{
    n = point_count(x, y, n);
    if (n < 1) return;
    write_point(x[0], y[0], " M");
    for (int i = 1; i < n; ++i) write_point(x[static_cast<std::size_t>(i)], y[static_cast<std::size_t>(i)], " L");
    ps_line("closepath fill");
}

void fill_ps_polygon_rgb(std::span<const float> x, std::span<const float> y, int n, float r, float g, float b)
{
    n = point_count(x, y, n);
    if (n < 1) return;
    set_colour_if_changed(r, g, b);
    write_packed_polygon(x, y, n, false, 0, 0, " Fbn", false);
}

void fill_ps_cell_polygon_rgb(std::span<const float> x, std::span<const float> y, int n, int i0, int j0,
                              float r, float g, float b)
{
    n = point_count(x, y, n);
    if (n < 1) return;
    set_colour_if_changed(r, g, b);
    write_packed_polygon(x, y, n, true, i0, j0, " Fbnc", false);
}

void fill_ps_polygon_gray(std::span<const float> x, std::span<const float> y, int n, float g)
{
    n = point_count(x, y, n);
    if (n < 1) return;
    set_grey_if_changed(g);
    write_packed_polygon(x, y, n, false, 0, 0, " Fbn", false);
}

void fill_ps_cell_polygon_gray(std::span<const float> x, std::span<const float> y, int n, int i0, int j0, float g)
{
    n = point_count(x, y, n);
    if (n < 1) return;
    set_grey_if_changed(g);
    write_packed_polygon(x, y, n, true, i0, j0, " Fbnc", false);
}

void fill_ps_polygon_gray_restore(std::span<const float> x, std::span<const float> y, int n, float g)
{
    n = point_count(x, y, n);
    if (n < 1) return;
    const float previous = ps_graphics_state().grey;
    set_grey_if_changed(g);
    write_packed_polygon(x, y, n, false, 0, 0, " Fbn", false);
    if (previous != g) set_ps_gray(previous);
}

void clip_ps_polygon(std::span<const float> x, std::span<const float> y, int n)
{
    n = point_count(x, y, n);
    if (n < 1) return;
    write_packed_polygon(x, y, n, false, 0, 0, " Cln", true);
}

void draw_ps_wide_line_outline(float x1, float y1, float x2, float y2, float w)
{
    std::array<float, 4> x{};
    std::array<float, 4> y{};
    band_corners(x1, y1, x2, y2, w, x, y);
    draw_ps_polyline(x, y, 4, 0.0f, true);
}

void fill_ps_wide_line_rgb(float x1, float y1, float x2, float y2, float w, float r, float g, float b)
{
    const PsGraphicsState before = ps_graphics_state();
    std::array<float, 4> x{};
    std::array<float, 4> y{};
    band_corners(x1, y1, x2, y2, w, x, y);
    set_ps_rgb_color(r, g, b);
    fill_ps_polygon(x, y, 4);
    set_ps_rgb_color(before.red, before.green, before.blue);
}

void fill_ps_wide_line_gray(float x1, float y1, float x2, float y2, float w, float g)
{
    const float before = ps_graphics_state().grey;
    std::array<float, 4> x{};
    std::array<float, 4> y{};
    band_corners(x1, y1, x2, y2, w, x, y);
    set_ps_gray(g);
    fill_ps_polygon(x, y, 4);
    set_ps_gray(before);
}
