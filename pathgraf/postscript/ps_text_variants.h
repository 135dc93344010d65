// Variants of the main text routine: a plain character-string argument,
// outlined glyphs, a text at an absolute origin without measuring, and texts
// on a filled box.
#pragma once

#include <string_view>

// Calls of the two box routines in the current file: each defines its
// measuring procedure "Fwidth" on its first call in a file.
struct PsTextBoxCounters {
    int color_box_calls = 0;
    int gray_box_calls = 0;
};
PsTextBoxCounters& ps_text_box_counters();

void draw_ps_text_chars(float x, float y, float height, std::string_view text, float angle, int count,
                        int justification);
void draw_ps_text_outlined(float x, float y, float height, std::string_view text, float angle, int count,
                           int justification);
void draw_ps_text_advance(float x, float y, float height, std::string_view text, float angle, int count);
// edge: margin as a fraction of the text height; x_align, y_align: 0 the box
// starts at the point, 1 is centred on it, 2 ends at it.
void draw_ps_text_in_color_box(float x, float y, float height, std::string_view text, float angle, float edge,
                               int x_align, int y_align, float text_red, float text_green, float text_blue,
                               float box_red, float box_green, float box_blue);
void draw_ps_text_in_gray_box(float x, float y, float height, std::string_view text, float angle, float edge,
                              int x_align, int y_align, float text_grey, float box_grey);
