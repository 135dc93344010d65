// The mouse modes of the view: Move, Zoom in and Zoom out (exclusive), and
// the edit modes Draw Line, Draw Text and Lables, which grey every other
// command while they are on.  Edits are made in view pixels and turned into
// plane coordinates when their mode is left.
#pragma once

#include "pathgraf/app/plot_state.h"

#include <QFont>
#include <QRect>

#include <string>

class QPainter;
class QWidget;

// Command 30038, 30028, 30029, 30050, 30060 or 30064; others do nothing.
void set_mouse_mode(int command);
// Zooms in or out (by the mode in force) about the view point.
void zoom_at_point(int x, int y);

// Plane point to view pixel and back, through the transform of the last
// render and the view's scale and origin.
PixelPoint plane_to_view(const PlanePointF& point);
PlanePointF view_to_plane(const PixelPoint& pixel);

// Fits the view to the view window as opening a file does (the whole plot
// shown, centred), keeping what the edit modes hold in view pixels at its
// place in the plot.  Run at every resize of the view window.
void fit_view_to_window();

// The font of the items in scope (labels in Lables mode, free texts in Draw
// Text mode) scaled to the view.
QFont scaled_item_font();
// The slot under the view point in the scope of the edit mode, 0 for none.
int find_item_at_point(int x, int y);
// The slot's text box widened by 15 pixels on every side.
QRect get_item_bounding_rect(int slot);
// Draws the items in scope at their view pixels, the selected one boxed.
int draw_item_overlay_gdi(QPainter& painter, int selected);

// Dialog 130 at the view point: text is the start text (100 characters at
// most); true with the typed text when it ended with Ok.
bool run_text_entry_dialog(std::string& text, QWidget* parent, int x, int y);

// Mouse and keys of the view.
void view_left_button_down(int x, int y);
void view_right_button_down(int x, int y);
void view_mouse_move(int x, int y);
void view_button_up();
// Enter and Delete; true when the key was used.
bool handle_plot_key(int key);
