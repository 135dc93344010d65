// Opening the PostScript file with its header and procedure prolog, pen
// moves, page changes, drawing scale and rotation, and the end of the plot.
#pragma once

constexpr int PS_PROLOG_LINE_COUNT = 107;

// Opens the file (the name set by set_ps_file_name, else "plot.ps"; its
// number is the first free unit from 60), writes header, prolog and the
// first page's set-up.  The lines go to a temporary beside the file, which
// replaces the file when the plot ends.  False (with the message, naming
// the file, on the console and in error_text) when it cannot be opened.
bool open_ps_file_and_write_prolog(bool portrait);
// Pen codes: 3 move, -3 move and make the point the origin, 2 (and any other
// code but 999) draw, negative draw and make the origin, 999 end of plot.
void plot_ps_pen(float x, float y, int code);
// Writes the trailer and puts the file in place; false when anything failed
// since the opening (the file is closed all the same).  When the file itself
// could not be written the old one stays and error_text names the file.
bool end_ps_plot();
// Ends the plot without putting its file in place: the old file stays.
void discard_ps_plot();
// Ends the page and starts the next with the origin moved to (x, y).
void chopit(float x, float y);
void set_ps_orientation(bool portrait);
void set_ps_scale(float s);
void rotate_ps_axes(float angle);
