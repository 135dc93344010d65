#include "pathgraf/postscript/ps_shapes.h"

#include <array>
#include <cmath>
#include <string>

#include "pathgraf/postscript/ps_attributes.h"
#include "pathgraf/postscript/ps_compose.h"
#include "pathgraf/postscript/ps_lines.h"
#include "pathgraf/postscript/ps_output.h"
#include "pathgraf/postscript/ps_page.h"

namespace {

constexpr float DEGREE = 0.0174533f;

// A field followed by one blank (the arc and curve lines).
std::string spaced(float inches) { return ps_f(ps_scaled(inches), 8, 2) + " "; }
std::string field(float inches) { return ps_f(ps_scaled(inches), 8, 2); }

struct PagePoint {
    float x = 0.0f;
    float y = 0.0f;
};

// An arrow head in its own frame (axial a, lateral l) placed on the page.
struct ArrowHead {
    float x = 0.0f, y = 0.0f, bearing = 0.0f;
    float u = 0.0f, v = 0.0f, t = 0.0f;

    ArrowHead(float px, float py, float b, float size, float half_angle, int position)
        : x(px), y(py), bearing(b)
    {
        u = size * std::cos(half_angle * DEGREE);
        v = size * std::sin(half_angle * DEGREE);
        t = (position >= 0 && position <= 2) ? ARROW_HEAD_POSITION[position] : ARROW_HEAD_POSITION[0];
    }
    PagePoint place(float a, float l) const
    {
        const float sb = std::sin(bearing * DEGREE);
        const float cb = std::cos(bearing * DEGREE);
        return {x + a * sb + l * cb, y + a * cb - l * sb};
    }
    PagePoint apex() const { return place(u * t, 0.0f); }
    PagePoint side_plus() const { return place(u * t - u, v); }
    PagePoint side_minus() const { return place(u * t - u, -v); }
};

std::string point_fields(PagePoint p) { return field(p.x) + field(p.y); }

}  // namespace

void draw_ps_circle(float x, float y, float r, bool fill)
{
    ps_line("Np " + field(x) + " " + field(y) + " " + field(r) + " C" + (fill ? " fill" : " stroke"));
}

void draw_ps_arc(float x, float y, float r, float a1, float a2)
{
    // A blank between the angles keeps them apart when a field is full.
    ps_line(spaced(x) + spaced(y) + spaced(r) + ps_f(a1, 8, 2) + " " + ps_f(a2, 8, 2) + " arcit");
}

void draw_ps_arcto_corner(float x1, float y1, float x2, float y2, float r)
{
    ps_line(spaced(x1) + spaced(y1) + spaced(x2) + spaced(y2) + spaced(r) + " arcto 4 {pop} repeat");
}

void draw_ps_curveto(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3, bool continuing)
{
    if (!continuing) plot_ps_pen(x0, y0, 3);
    ps_line(spaced(x1) + spaced(y1) + spaced(x2) + spaced(y2) + spaced(x3) + spaced(y3) + " curveto");
}

void draw_ps_arrow_head(float x, float y, float bearing, float size, float half_angle, int position)
{
    const ArrowHead head(x, y, bearing, size, half_angle, position);
    ps_line(point_fields(head.side_minus()) + point_fields(head.apex()) + point_fields(head.side_plus()) + " Ah");
}

void draw_ps_arrow(float x1, float y1, float x2, float y2, float size, float half_angle, int position)
{
    const float bearing = 90.0f - std::atan2(y2 - y1, x2 - x1) * 180.0f / 3.14159274f;
    const ArrowHead head(x2, y2, bearing, size, half_angle, position);
    ps_line(point_fields(head.side_minus()) + point_fields(head.side_plus()) + point_fields(head.apex())
            + field(x1) + field(y1) + " Ar");
}

void draw_ps_arrow_head_arc(float x, float y, float bearing, float size, float half_angle, int position, bool fill)
{
    const ArrowHead head(x, y, bearing, size, half_angle, position);
    const PagePoint p1 = head.apex();
    const PagePoint p2 = head.side_plus();
    const PagePoint p3 = head.side_minus();
    const PagePoint p4 = head.place(-1.1f * head.u, 0.0f);
    ps_line(point_fields(p3) + " M");
    ps_line(point_fields(p1) + " L");
    ps_line(point_fields(p2) + " L");
    const float radius = std::hypot(p2.x - p4.x, p2.y - p4.y);
    const float a1 = std::atan2(p2.y - p4.y, p2.x - p4.x) * 180.0f / 3.14159274f;
    const float a2 = std::atan2(p3.y - p4.y, p3.x - p4.x) * 180.0f / 3.14159274f;
    ps_line(spaced(p4.x) + spaced(p4.y) + spaced(radius) + ps_f(a1, 8, 2) + " " + ps_f(a2, 8, 2)
            + " arc closepath");
    ps_line(fill ? "fill" : "stroke");
}

void draw_ps_rounded_box(float x, float y, float w, float h, float r, float angle, bool fill)
{
    plot_ps_pen(x, y, -3);
    if (angle != 0.0f) ps_line(ps_f(angle, 8, 2) + " rotate");
    ps_line("newpath");
    ps_line(field(w / 2.0f) + field(0.0f) + " M");
    draw_ps_arcto_corner(w, 0.0f, w, h, r);
    ps_line(field(w) + field(h / 2.0f) + " L");
    draw_ps_arcto_corner(w, h, 0.0f, h, r);
    ps_line(field(w / 2.0f) + field(h) + " L");
    draw_ps_arcto_corner(0.0f, h, 0.0f, 0.0f, r);
    ps_line(field(0.0f) + field(h / 2.0f) + " L");
    draw_ps_arcto_corner(0.0f, 0.0f, w, 0.0f, r);
    ps_line(fill ? "closepath fill" : "closepath stroke");
    if (angle != 0.0f) ps_line(ps_f(-angle, 8, 2) + " rotate");
    plot_ps_pen(-x, -y, -3);
}

void draw_ps_triangle(float x, float y, float s, float w)
{
    const std::array<float, 3> cx = {x - s / 2.0f, x, x + s / 2.0f};
    const std::array<float, 3> cy = {y - s / 3.4641016f, y + s / 1.7320508f, y - s / 3.4641016f};
    const float width = w != 0.0f ? w : ps_graphics_state().line_width;
    if (width != 0.0f) {
        draw_ps_polyline(cx, cy, 3, width, true);
        return;
    }
    plot_ps_pen(cx[0], cy[0], 3);
    plot_ps_pen(cx[1], cy[1], 2);
    plot_ps_pen(cx[2], cy[2], 2);
    plot_ps_pen(cx[0], cy[0], 2);
}

void draw_ps_centred_square(float x, float y, float s)
{
    const float h = s / 2.0f;
    const std::array<float, 4> cx = {x - h, x + h, x + h, x - h};
    const std::array<float, 4> cy = {y - h, y - h, y + h, y + h};
    draw_ps_polyline(cx, cy, 4, 0.0f, true);
}

void fill_ps_check_mark(float x, float y, float s, float d)
{
    const float before = ps_graphics_state().grey;
    const std::array<float, 8> mx = {x - s, x - 0.76f * s, x - 0.5f * s, x, x, x - 0.54f * s, x - 0.88f * s, x - s};
    const std::array<float, 8> my = {y + 0.48f * s, y + 0.6f * s, y + 0.2f * s, y + s,
                                     y + 0.9f * s,  y,           y + 0.44f * s, y + 0.38f * s};
    fill_ps_polygon_gray(mx, my, 8, 0.0f);
    if (before != 0.0f) set_ps_gray(before);
    const std::array<float, 4> bx = {x, x + d, x + d, x};
    const std::array<float, 4> by = {y + s, y + s, y + 0.9f * s, y + 0.9f * s};
    fill_ps_polygon_gray(bx, by, 4, 0.0f);
    if (before != 0.0f) set_ps_gray(before);
}
