// The 14 toolbar images, the six cursors of the mouse modes and the
// program icon, drawn by the program (22 by 22 pixels on the toolbar).
#pragma once

#include <QCursor>
#include <QIcon>

constexpr int PLOT_TOOLBAR_IMAGE_COUNT = 14;

QIcon plot_toolbar_icon(int image);
// Cursor by resource id (CURSOR_* of command_ids.h); the arrow for others.
QCursor plot_cursor(int id);
QIcon pathgraf_icon();
