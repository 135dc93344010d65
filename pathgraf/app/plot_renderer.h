// Drawing the whole plot into the full-size bitmap: the paths of the data
// file, the frame, ticks and tick labels, the user lines, the symbols and
// labels of atoms and critical points and the free texts.  The view shows
// the bitmap scaled; the PostScript export repeats the drawing with the
// same tick walk.
#pragma once

#include "common/user_interface.h"

#include <QFont>

#include <string>
#include <vector>

class QPainter;

struct Tick {
    float value = 0.0f;
    bool major = false;
};

// The ticks from min to max by step, computed through thousandths; a tick
// is major when it is a multiple of major_step within step / 10.  No ticks
// for a step below one thousandth; at most MAX_TICKS.
inline constexpr int MAX_TICKS = 100000;
std::vector<Tick> walk_ticks(double min, double max, double step, double major_step);

// Moves the text left over its leading blanks and control characters
// (blank-filling it) and returns the length of its first word.
int left_adjust_tick_label(std::string& text);
// A tick value as its label: F6.1, left-adjusted, first word.
std::string tick_label(float value);

// Pixel coordinate from a real one, truncated toward zero; values beyond
// the range of int are held at its ends.
int pixel_trunc(float value);

// The Qt font of a stored font: a negative or positive height is the
// character height in pixels; Courier faces fall back to a fixed-pitch one.
QFont plot_qfont(const FontChoice& font);

// Where an atom or critical-point label starts (its baseline's left end)
// from its anchor, in pixels of the full-size bitmap (y down): beside the
// symbol of half-size r = symbol_size scale and pen `symbol_thickness`,
// with a gap, and lowered by half the capital height so that it reads
// level with the symbol.
struct LabelOffset {
    int dx = 0, dy = 0;
};
LabelOffset atom_label_offset(float scale);

// Draws the plot into a new full-size bitmap of width by height pixels
// (PlotWindowHandles), setting PlotTransform.  0 when no data file is open
// or its window cannot be read; the previous bitmap is then dropped.
int render_plot_bitmap(int width, int height);

// A line of n dash-gap periods per inch at p pixels per inch, solid when n
// is 0 (pen of the painter).
void draw_dashed_line_gdi(QPainter& painter, float x1, float y1, float x2, float y2, int n, float p);

// Point symbol kind 1..8 (plus, cross, open circle, filled circle,
// triangle, diamond, open square, filled square) of half-size r pixels
// centred on (x, y); other kinds draw nothing.
void draw_point_symbol_gdi(QPainter& painter, int x, int y, int kind, int r, int thickness, unsigned colour);
