// List boxes of a Dialog whose items the program paints itself (symbol,
// width, colour and font samples).
#pragma once

#include <QRect>

#include <functional>

class Dialog;
class QPainter;

// Paints item `row` into its rectangle; selected is its selection state.
using ItemPainter = std::function<void(QPainter& painter, const QRect& item, int row, bool selected)>;

// Gives list `id` item_count items of item_width by item_height pixels,
// laid out left to right and wrapped, painted by painter.  Making a list
// again replaces its items and painter.
void make_owner_drawn_list(Dialog& dialog, int id, int item_count, int item_width, int item_height,
                           ItemPainter painter);
// Gives list `id` item_count items side by side in one row that fills the
// list: each as wide as its share of the list's inside and as tall as wide
// where the list allows.  No scroll bars, so every item stays in sight.
void make_owner_drawn_row(Dialog& dialog, int id, int item_count, ItemPainter painter);
// Paints the list's items again.
void redraw_owner_drawn_list(Dialog& dialog, int id);
// The client width of list `id` in pixels (0 when it is not a list).
int owner_drawn_list_width(Dialog& dialog, int id);
// The client height of list `id` in pixels (0 when it is not a list).
int owner_drawn_list_height(Dialog& dialog, int id);
