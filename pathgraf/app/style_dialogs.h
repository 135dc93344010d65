// The style dialogs: "Axis Ticks" (tick ranges and lengths), "Post Symbol"
// (symbols of atoms and critical points), "Lines and Colors" (widths and
// colours of paths, frame and new user lines, the dash of new user lines)
// and "Fonts", with the colour and font pickers.  Every dialog starts from
// the current values and stores its working copies only on OK.
#pragma once

#include "common/user_interface.h"

class QWidget;

// 1 when OK was pressed and all nine numbers were read; at the first
// unreadable box the reading stops, keeping what was read before it.
int run_axis_ticks_dialog(QWidget* owner);
// 1 on OK, 0 on Cancel.
int run_post_symbol_dialog(QWidget* owner);
// Always 0; OK stores the working values.
int run_lines_colors_dialog(QWidget* owner);
// 1 on "Ok", 0 when closed (fonts chosen before closing stay changed).
int run_fonts_dialog(QWidget* owner);

// The colour picker: true with the chosen colour in colour.
bool choose_plot_color(QWidget* owner, unsigned& colour);
// The font picker: true with the font changed in place and its colour.
bool choose_plot_font(QWidget* owner, FontChoice& font, unsigned& colour);
