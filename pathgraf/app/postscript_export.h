// Save as PostScript: the page dialog "PostScript" with its preview, and
// the export that draws the plot through the PostScript library in the
// layout of the GDI render (same tick walk, paths, symbols and texts).
#pragma once

class QWidget;

// Dialog 121; 1 on OK (fonts, orientation, size and offsets stored in
// PostScriptPageSettings), 0 on Cancel.
int run_postscript_dialog(QWidget* owner);

// Writes the plot into the file named by chosen_name of
// PlotFileDialogState; false, after telling the user, when it could not be
// written.
bool write_plot_postscript();

// A point symbol (kinds as on screen) of half-size r library inches.
void write_point_symbol_postscript(float x, float y, float r, int kind, int thickness, unsigned colour);

// Red, green and blue fractions of a colour 0x00BBGGRR.
void convert_colorref_to_rgb(unsigned colour, float& r, float& g, float& b);

// Page margins for the Y and X tick labels and the axis text height of the
// last render, for the page size and size factor.
void compute_postscript_margins(bool portrait, float size_factor);
