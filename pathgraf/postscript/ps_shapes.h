// Circles, arcs, rounded corners and boxes, Bezier curves, arrows and small
// shapes.  Lengths in library inches, angles in degrees.
#pragma once

// Head placement: 0 the point is the apex, 1 the middle of the head, 2 the
// middle of its base.
constexpr float ARROW_HEAD_POSITION[3] = {0.0f, 0.5f, 1.0f};

void draw_ps_circle(float x, float y, float r, bool fill);
void draw_ps_arc(float x, float y, float r, float a1, float a2);
void draw_ps_arcto_corner(float x1, float y1, float x2, float y2, float r);
void draw_ps_curveto(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3, bool continuing);
// Bearing in degrees clockwise from +y; position 0..2 (other values count as 0).
void draw_ps_arrow_head(float x, float y, float bearing, float size, float half_angle, int position);
void draw_ps_arrow(float x1, float y1, float x2, float y2, float size, float half_angle, int position);
void draw_ps_arrow_head_arc(float x, float y, float bearing, float size, float half_angle, int position, bool fill);
void draw_ps_rounded_box(float x, float y, float w, float h, float r, float angle, bool fill);
void draw_ps_triangle(float x, float y, float s, float w);
void draw_ps_centred_square(float x, float y, float s);
void fill_ps_check_mark(float x, float y, float s, float d);
