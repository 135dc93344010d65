// Drawing attributes of the PostScript file: colour, grey level, line width
// and font, each remembered in PsGraphicsState.
#pragma once

#include <array>
#include <string_view>

constexpr int PS_FONT_COUNT = 35;
constexpr int PS_DEFAULT_FONT = 20;  // Helvetica
constexpr int PS_SYMBOL_FONT = 29;

// The standard PostScript fonts by number (entry 0 is font 1).
extern const std::array<std::string_view, PS_FONT_COUNT> PS_FONT_NAMES;

// Colour levels are clamped to 0..1, written and remembered.
void set_ps_rgb_color(float r, float g, float b);
void set_ps_gray(float g);
// Width in library inches; below 1e-5 in magnitude the thin line "Slw0".
void set_ps_line_width(float w);
// Selects font n (1..35; another number selects Helvetica after a console
// message) at the font size in force.
void setfnt(int n);
void save_ps_state_and_font();
void restore_ps_state_and_font();
