// A labelled axis with a tick every library inch, tick marks along the
// sides of a frame, and a left-aligned number.
#pragma once

#include <string_view>

// |nchar| title characters; nchar >= 0 puts ticks, numbers and title on the
// left of the axis direction, negative on its right.  step is the value
// change per library inch.
void draw_ps_axis(float x, float y, std::string_view title, int nchar, float length, float angle, float first,
                  float step);
// tick_sides and line_sides: four decimal digits (left, bottom, right, top),
// odd = on; a negative tick_sides turns the ticks outward.
void draw_ps_frame_ticks(float w, float h, int tick_sides, int line_sides, int nx, int mx, int ny, int my);
