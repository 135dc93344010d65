#include "pathgraf/app/mouse_modes.h"

#include "common/qt/dialog.h"
#include "common/qt/qt_user_interface.h"
#include "pathgraf/app/plot_handles.h"
#include "pathgraf/app/plot_renderer.h"
#include "pathgraf/app/plot_view.h"
#include "pathgraf/app/plot_window.h"
#include "pathgraf/app/view_bitmap.h"
#include "pathgraf/postscript/ps_output.h"
#include "pathgraf/resources/command_ids.h"
#include "pathgraf/resources/plot_dialogs.h"
#include "pathgraf/resources/plot_icons.h"

#include <QDialog>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

PlotMainWindow* main_window() { return plot_window_handles().main_window; }

void show_cursor(int cursor_id)
{
    view_state().view_cursor = cursor_id;
    if (PlotView* view = plot_window_handles().view_window)
        view->set_view_cursor(cursor_id);
}

void invalidate_rect(const QRect& rect)
{
    if (PlotView* view = plot_window_handles().view_window)
        view->update(rect);
}

int client_width()
{
    PlotView* view = plot_window_handles().view_window;
    return view ? view->width() : 0;
}

int client_height()
{
    PlotView* view = plot_window_handles().view_window;
    return view ? view->height() : 0;
}

// The scope of the edit mode in force, in scope order.
std::vector<int> items_in_scope()
{
    std::vector<int> scope;
    const PostData& post = post_data();
    const DisplayOptions& options = display_options();
    if (options.labels_mode) {
        for (int slot = 1; slot <= post.atom_count + post.cp_count; ++slot)
            scope.push_back(slot);
    } else if (options.draw_text_mode) {
        for (int k = 1; k <= post.text_count; ++k)
            scope.push_back(free_text_slot(k));
    }
    return scope;
}

bool in_scope(int slot)
{
    const std::vector<int> scope = items_in_scope();
    return slot != 0 && std::find(scope.begin(), scope.end(), slot) != scope.end();
}

// Where an item's text starts in the view from its anchor: atom and
// critical-point labels are drawn beside their symbols (free texts at
// their anchors).
PixelPoint item_offset_in_view(int slot, const PlanePointF& anchor)
{
    const PostData& post = post_data();
    const float scale = plot_transform().scale;
    if (slot > post.atom_count + post.cp_count || !(scale > 0.0f))
        return {};
    const LabelOffset offset = atom_label_offset(scale);
    const PixelPoint at = plane_to_view(anchor);
    const PixelPoint beside = plane_to_view({anchor.x + offset.dx / scale, anchor.y - offset.dy / scale});
    return {beside.x - at.x, beside.y - at.y};
}

struct ItemBox {
    int left, top, right, bottom;
};

ItemBox item_box(const QFontMetrics& metrics, int slot)
{
    const PixelPoint p = post_data().item_pixel[slot];
    const int n = static_cast<int>(trimmed_item_text(slot).size());
    return {p.x, p.y - metrics.height() - metrics.leading() + 5, p.x + n * metrics.averageCharWidth(), p.y + 5};
}

void set_navigation_mode(int command)
{
    ViewState& view = view_state();
    view.move_mode = command == CMD_MOVE ? 1 : 0;
    view.zoom_in_mode = command == CMD_ZOOM_IN ? 1 : 0;
    view.zoom_out_mode = command == CMD_ZOOM_OUT ? 1 : 0;
    show_cursor(command == CMD_MOVE ? CURSOR_MOVE : command == CMD_ZOOM_IN ? CURSOR_ZOOM_IN : CURSOR_ZOOM_OUT);
    if (PlotMainWindow* window = main_window())
        for (int id : {CMD_MOVE, CMD_ZOOM_IN, CMD_ZOOM_OUT})
            window->set_toolbar_checked(id, id == command);
}

// The toolbar button of the navigation mode whose cursor is restored.
void check_navigation_button_of(int cursor_id)
{
    PlotMainWindow* window = main_window();
    if (!window)
        return;
    const int command = cursor_id == CURSOR_ZOOM_IN ? CMD_ZOOM_IN : cursor_id == CURSOR_ZOOM_OUT ? CMD_ZOOM_OUT
                        : cursor_id == CURSOR_MOVE    ? CMD_MOVE
                                                      : 0;
    if (command == 0)
        return;
    for (int id : {CMD_MOVE, CMD_ZOOM_IN, CMD_ZOOM_OUT})
        window->set_toolbar_checked(id, id == command);
}

void enter_item_mode(int command)
{
    DisplayOptions& options = display_options();
    ViewState& view = view_state();
    PlotMainWindow* window = main_window();
    const bool labels = command == CMD_LABELS;
    (labels ? options.labels_mode : options.draw_text_mode) = true;
    view.selected_item = 0;
    view.hit_item = 0;
    if (window) {
        window->set_menu_checked(command, true);
        window->set_toolbar_checked(command, true);
    }
    // The items are drawn over the plot while they are edited.
    if (labels && (options.atom_labels_shown || options.cp_labels_shown)) {
        options.atom_labels_shown = false;
        options.cp_labels_shown = false;
        if (window) {
            window->set_menu_checked(CMD_ATOM_LABELS, false);
            window->set_menu_checked(CMD_CP_LABELS, false);
        }
        redraw_plot();
    } else if (!labels && options.texts_shown) {
        options.texts_shown = false;
        if (window)
            window->set_menu_checked(CMD_TEXT, false);
        redraw_plot();
    }
    PostData& post = post_data();
    for (int slot : items_in_scope()) {
        const PixelPoint p = plane_to_view(post.item_position[slot]);
        const PixelPoint offset = item_offset_in_view(slot, post.item_position[slot]);
        post.item_pixel[slot] = {p.x + offset.x, p.y + offset.y};
    }
    set_commands_enabled(command, false);
    if (window)
        window->set_toolbar_enabled(CMD_FONT, true);
    view.move_mode = 1;
    view.zoom_in_mode = 0;
    view.zoom_out_mode = 0;
    view.saved_cursor = CURSOR_MOVE;
    show_cursor(CURSOR_TEXT);
    invalidate_view();
}

void restore_after_edit_mode()
{
    set_commands_enabled(0, true);
    const int cursor = view_state().saved_cursor;
    show_cursor(cursor);
    check_navigation_button_of(cursor);
    invalidate_view();
}

void leave_item_mode(int command)
{
    DisplayOptions& options = display_options();
    ViewState& view = view_state();
    PlotMainWindow* window = main_window();
    const bool labels = command == CMD_LABELS;
    PostData& post = post_data();
    for (int slot : items_in_scope()) {
        // The offset is as good as constant over a label's move.
        const PixelPoint offset = item_offset_in_view(slot, view_to_plane(post.item_pixel[slot]));
        post.item_position[slot] = view_to_plane({post.item_pixel[slot].x - offset.x, post.item_pixel[slot].y - offset.y});
    }
    (labels ? options.labels_mode : options.draw_text_mode) = false;
    view.tracking = 0;
    view.selected_item = 0;
    view.hit_item = 0;
    if (window) {
        window->set_menu_checked(command, false);
        window->set_toolbar_checked(command, false);
    }
    if (labels) {
        options.atom_labels_shown = true;
        options.cp_labels_shown = true;
        if (window) {
            window->set_menu_checked(CMD_ATOM_LABELS, true);
            window->set_menu_checked(CMD_CP_LABELS, true);
        }
    } else {
        options.texts_shown = true;
        if (window)
            window->set_menu_checked(CMD_TEXT, true);
    }
    redraw_plot();
    restore_after_edit_mode();
}

void enter_draw_line_mode()
{
    ViewState& view = view_state();
    PlotMainWindow* window = main_window();
    view.draw_line_mode = 1;
    if (window) {
        window->set_menu_checked(CMD_DRAW_LINE, true);
        window->set_toolbar_checked(CMD_DRAW_LINE, true);
    }
    set_commands_enabled(CMD_DRAW_LINE, false);
    if (window)
        window->set_toolbar_enabled(CMD_LINE_STYLE, true);
    view.saved_cursor = view.view_cursor;
    show_cursor(CURSOR_DRAW_LINE);
}

void leave_draw_line_mode()
{
    ViewState& view = view_state();
    UserLines& lines = user_lines();
    PlotMainWindow* window = main_window();
    view.draw_line_mode = 0;
    view.tracking = 0;
    if (window) {
        window->set_menu_checked(CMD_DRAW_LINE, false);
        window->set_toolbar_checked(CMD_DRAW_LINE, false);
    }
    if (lines.segment_count > 0) {
        display_options().post_lines_shown = true;
        for (int i = 1; i <= lines.segment_count; ++i) {
            const int line = lines.line_count + i;
            const PlanePointF a = view_to_plane(lines.segment_start[i]);
            const PlanePointF b = view_to_plane(lines.segment_end[i]);
            lines.x1[line] = a.x;
            lines.y1[line] = a.y;
            lines.x2[line] = b.x;
            lines.y2[line] = b.y;
        }
        lines.line_count += lines.segment_count;
        lines.segment_count = 0;
        if (window) {
            window->set_menu_checked(CMD_POST_LINES, true);
            window->set_menu_enabled(CMD_POST_LINES, true);
            window->set_menu_enabled(CMD_UNDO_LINE, true);
        }
        redraw_plot();
    }
    restore_after_edit_mode();
}

UserLineStyle current_user_line_style()
{
    const StyleSettings& style = style_settings();
    return {style.user_line_colour, style.user_line_dash, style.user_line_width};
}

}  // namespace

void set_mouse_mode(int command)
{
    DisplayOptions& options = display_options();
    switch (command) {
    case CMD_MOVE:
    case CMD_ZOOM_IN:
    case CMD_ZOOM_OUT:
        set_navigation_mode(command);
        break;
    case CMD_LABELS:
        options.labels_mode ? leave_item_mode(command) : enter_item_mode(command);
        break;
    case CMD_DRAW_TEXT:
        options.draw_text_mode ? leave_item_mode(command) : enter_item_mode(command);
        break;
    case CMD_DRAW_LINE:
        view_state().draw_line_mode ? leave_draw_line_mode() : enter_draw_line_mode();
        break;
    default:
        break;
    }
}

void zoom_at_point(int x, int y)
{
    ViewState& view = view_state();
    if (view.zoom_in_mode) {
        if (view.zoom_divisor == 1)
            return;
        --view.zoom_divisor;
    } else if (view.zoom_out_mode) {
        if (view.zoom_divisor + 1 > 10)
            return;
        ++view.zoom_divisor;
    } else {
        return;
    }
    const int old_width = std::max(view.view_width, 1);
    const int old_height = std::max(view.view_height, 1);
    view.view_width = view.full_width / view.zoom_divisor;
    view.view_height = view.full_height / view.zoom_divisor;
    {
        ScopedWaitCursor wait;
        rebuild_view_bitmap(plot_window_handles().view_bitmap, view.view_width, view.view_height);
    }
    view.origin_x = client_width() / 2 -
                    static_cast<int>(std::trunc(static_cast<double>(view.view_width) * (x - view.origin_x) / old_width));
    view.origin_y = client_height() / 2 - static_cast<int>(std::trunc(static_cast<double>(view.view_height) *
                                                                      (y - view.origin_y) / old_height));
    invalidate_view();
}

void fit_view_to_window()
{
    ViewState& view = view_state();
    PlotWindowHandles& handles = plot_window_handles();
    if (!display_options().data_open || view.full_width <= 0 || view.full_height <= 0)
        return;
    // The edits in view pixels, held in plane coordinates while the view changes.
    PostData& post = post_data();
    UserLines& lines = user_lines();
    std::vector<std::pair<int, PlanePointF>> items;
    for (int slot : items_in_scope())
        items.emplace_back(slot, view_to_plane(post.item_pixel[slot]));
    std::vector<std::pair<PlanePointF, PlanePointF>> segments;
    for (int i = 1; i <= lines.segment_count; ++i)
        segments.emplace_back(view_to_plane(lines.segment_start[i]), view_to_plane(lines.segment_end[i]));

    const int width = std::max(client_width(), 1), height = std::max(client_height(), 1);
    view.zoom_divisor = std::max({view.full_width / width, view.full_height / height, 1}) + 1;
    view.view_width = view.full_width / view.zoom_divisor;
    view.view_height = view.full_height / view.zoom_divisor;
    rebuild_view_bitmap(handles.view_bitmap, view.view_width, view.view_height);
    view.origin_x = (width - view.view_width) / 2;
    view.origin_y = (height - view.view_height) / 2;

    for (const auto& [slot, point] : items)
        post.item_pixel[slot] = plane_to_view(point);
    for (int i = 1; i <= static_cast<int>(segments.size()); ++i) {
        lines.segment_start[i] = plane_to_view(segments[static_cast<size_t>(i - 1)].first);
        lines.segment_end[i] = plane_to_view(segments[static_cast<size_t>(i - 1)].second);
    }
    invalidate_view();
}

PixelPoint plane_to_view(const PlanePointF& point)
{
    const PlotTransform& t = plot_transform();
    const ViewState& view = view_state();
    const float fw = static_cast<float>(std::max(view.full_width, 1));
    const float fh = static_cast<float>(std::max(view.full_height, 1));
    return {pixel_trunc((point.x * t.scale + t.x0) * static_cast<float>(view.view_width) / fw) + view.origin_x,
            pixel_trunc((t.y0 - point.y * t.scale) * static_cast<float>(view.view_height) / fh) + view.origin_y};
}

PlanePointF view_to_plane(const PixelPoint& pixel)
{
    const PlotTransform& t = plot_transform();
    const ViewState& view = view_state();
    const long long fx = static_cast<long long>(pixel.x - view.origin_x) * view.full_width / std::max(view.view_width, 1);
    const long long fy =
        static_cast<long long>(pixel.y - view.origin_y) * view.full_height / std::max(view.view_height, 1);
    if (t.scale == 0.0f)
        return {};
    return {(static_cast<float>(fx) - t.x0) / t.scale, (t.y0 - static_cast<float>(fy)) / t.scale};
}

QFont scaled_item_font()
{
    const PlotFonts& fonts = plot_fonts();
    return plot_qfont(font_at_view_size(display_options().labels_mode ? fonts.label_font : fonts.text_font));
}

int find_item_at_point(int x, int y)
{
    const QFontMetrics metrics(scaled_item_font());
    for (int slot : items_in_scope()) {
        const ItemBox box = item_box(metrics, slot);
        if (box.left <= x && x <= box.right && box.top <= y && y <= box.bottom)
            return slot;
    }
    return 0;
}

namespace {

QRect item_bounding_rect(const QFontMetrics& metrics, int slot)
{
    if (slot < 1 || slot > MAX_ITEM_SLOTS)
        return {};
    const ItemBox box = item_box(metrics, slot);
    return QRect(QPoint(box.left - 15, box.top - 20), QPoint(box.right + 15, box.bottom + 10));
}

}  // namespace

QRect get_item_bounding_rect(int slot)
{
    return item_bounding_rect(QFontMetrics(scaled_item_font()), slot);
}

int draw_item_overlay_gdi(QPainter& painter, int selected)
{
    const DisplayOptions& options = display_options();
    const StyleSettings& style = style_settings();
    const QFont font = scaled_item_font();
    const QFontMetrics metrics(font);
    painter.save();
    painter.setFont(font);
    const QPen text_pen(colour_from_colorref(options.labels_mode ? style.label_font_colour : style.text_font_colour));
    QPen box_pen(Qt::black);
    box_pen.setStyle(Qt::DotLine);
    box_pen.setWidth(0);
    for (int slot : items_in_scope()) {
        const PixelPoint p = post_data().item_pixel[slot];
        if (slot == selected) {
            const ItemBox box = item_box(metrics, slot);
            painter.setPen(box_pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawPolygon(QPolygon({QPoint(box.left, box.bottom), QPoint(box.right, box.bottom),
                                          QPoint(box.right, box.top), QPoint(box.left, box.top)}));
        }
        painter.setPen(text_pen);
        painter.drawText(QPoint(p.x, p.y), QString::fromStdString(trimmed_item_text(slot)));
    }
    painter.restore();
    return 1;
}

bool run_text_entry_dialog(std::string& text, QWidget* parent, int x, int y)
{
    Dialog dialog(text_entry_dialog_resource(), parent);
    dialog.set_text(IDC_TEXT_ENTRY, text.substr(0, static_cast<std::size_t>(find_last_nonblank(text))));
    if (auto* edit = qobject_cast<QLineEdit*>(dialog.get_control_widget(IDC_TEXT_ENTRY)))
        edit->setMaxLength(MAX_ITEM_TEXT);
    QDialog* window = dialog.window();
    window->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    const QPoint centre = parent ? parent->mapToGlobal(QPoint(x, y)) : QPoint(x, y);
    window->move(centre - QPoint(window->width() / 2, window->height() / 2));
    if (dialog.run_modal() != 1)
        return false;
    text = dialog.get_text(IDC_TEXT_ENTRY).substr(0, MAX_ITEM_TEXT);
    return true;
}

void view_left_button_down(int x, int y)
{
    ViewState& view = view_state();
    UserLines& lines = user_lines();
    const DisplayOptions& options = display_options();
    view.mouse_x = x;
    view.mouse_y = y;
    const PixelPoint point{x, y};
    if (view.draw_line_mode) {
        if (lines.segment_count > 0 && view.tracking == 1)
            lines.segment_end[lines.segment_count] = point;
        // The chain stops at the capacity of the user lines.
        if (lines.line_count + lines.segment_count >= MAX_USER_LINES) {
            view.tracking = 0;
            invalidate_view();
            return;
        }
        ++lines.segment_count;
        lines.segment_start[lines.segment_count] = point;
        lines.segment_end[lines.segment_count] = point;
        view.tracking = 1;
        lines.style[lines.line_count + lines.segment_count] = current_user_line_style();
        invalidate_view();
        return;
    }
    if (options.labels_mode || options.draw_text_mode) {
        view.hit_item = find_item_at_point(x, y);
        view.tracking = 1;
        if (view.selected_item != 0 && view.selected_item != view.hit_item) {
            invalidate_rect(get_item_bounding_rect(view.selected_item));
            view.selected_item = 0;
        }
        view.selected_item = view.hit_item;
        if (view.selected_item != 0)
            invalidate_rect(get_item_bounding_rect(view.selected_item));
    }
    if (view.move_mode == 1 && view.hit_item == 0) {
        if (PlotView* view_window = plot_window_handles().view_window)
            view_window->setCursor(plot_cursor(CURSOR_MOVE_DRAGGING));
        view.tracking = 1;
    } else if (view.zoom_in_mode || view.zoom_out_mode) {
        zoom_at_point(view.mouse_x, view.mouse_y);
    }
}

void view_right_button_down(int x, int y)
{
    ViewState& view = view_state();
    UserLines& lines = user_lines();
    PostData& post = post_data();
    const DisplayOptions& options = display_options();
    view.mouse_x = x;
    view.mouse_y = y;
    QWidget* parent = plot_window_handles().view_window;
    if (options.labels_mode || options.draw_text_mode) {
        view.hit_item = find_item_at_point(x, y);
        if (options.draw_text_mode && view.hit_item == 0) {
            const int slot = next_free_text_slot();
            if (slot != 0) {
                std::string text;
                if (run_text_entry_dialog(text, parent, x, y) && text.find_first_not_of(' ') != std::string::npos) {
                    post.item_text[slot] = text;
                    post.item_pixel[slot] = {x, y};
                    ++post.text_count;
                    invalidate_rect(get_item_bounding_rect(slot));
                }
            }
        } else if (view.hit_item != 0) {
            const int slot = view.hit_item;
            const QRect before = get_item_bounding_rect(slot);
            run_text_entry_dialog(post.item_text[slot], parent, x, y);
            invalidate_rect(before.united(get_item_bounding_rect(slot)));
        }
        view.hit_item = 0;
    }
    if (view.draw_line_mode && lines.segment_count > 0) {
        --lines.segment_count;
        if (lines.segment_count == 0) {
            view.tracking = 0;
        } else {
            lines.segment_end[lines.segment_count] = {x, y};
            lines.style[lines.line_count + lines.segment_count] = current_user_line_style();
        }
        invalidate_view();
    }
}

void view_mouse_move(int x, int y)
{
    ViewState& view = view_state();
    if (view.tracking != 1)
        return;
    view.previous_x = view.mouse_x;
    view.previous_y = view.mouse_y;
    view.mouse_x = x;
    view.mouse_y = y;
    const int dx = view.mouse_x - view.previous_x;
    const int dy = view.mouse_y - view.previous_y;
    const DisplayOptions& options = display_options();
    PostData& post = post_data();
    UserLines& lines = user_lines();
    if ((options.labels_mode || options.draw_text_mode) && view.hit_item != 0) {
        // One font for both boxes: the drag does not change it.
        const QFontMetrics metrics(scaled_item_font());
        const QRect before = item_bounding_rect(metrics, view.hit_item);
        post.item_pixel[view.hit_item].x += dx;
        post.item_pixel[view.hit_item].y += dy;
        invalidate_rect(before.united(item_bounding_rect(metrics, view.hit_item)));
    } else if (view.draw_line_mode && lines.segment_count > 0) {
        lines.segment_end[lines.segment_count] = {x, y};
        invalidate_view();
    } else if (view.move_mode == 1 && view.hit_item == 0) {
        view.origin_x += dx;
        view.origin_y += dy;
        for (int slot : items_in_scope()) {
            post.item_pixel[slot].x += dx;
            post.item_pixel[slot].y += dy;
        }
        invalidate_view();
    }
}

void view_button_up()
{
    ViewState& view = view_state();
    if (!view.draw_line_mode)
        view.tracking = 0;
    if (view.hit_item != 0) {
        invalidate_rect(get_item_bounding_rect(view.hit_item));
        view.hit_item = 0;
    }
    show_cursor(view.view_cursor);
}

bool handle_plot_key(int key)
{
    ViewState& view = view_state();
    const DisplayOptions& options = display_options();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && view.draw_line_mode) {
        if (view.tracking == 1) {
            view.tracking = 0;
            --user_lines().segment_count;
            invalidate_view();
        }
        return true;
    }
    if (key != Qt::Key_Delete || !(options.labels_mode || options.draw_text_mode))
        return false;
    const int selected = view.selected_item;
    if (!in_scope(selected))
        return true;
    PostData& post = post_data();
    if (options.labels_mode) {
        // The item goes with its symbol: markers shift with the labels.
        const int last = post.atom_count + post.cp_count;
        for (int slot = selected; slot < last; ++slot) {
            post.item_text[slot] = post.item_text[slot + 1];
            post.item_pixel[slot] = post.item_pixel[slot + 1];
            post.item_position[slot] = post.item_position[slot + 1];
        }
        post.item_text[last].clear();
        if (selected <= post.atom_count) {
            for (int i = selected; i < post.atom_count; ++i)
                post.atom_marker[i] = post.atom_marker[i + 1];
            --post.atom_count;
        } else {
            for (int j = selected - post.atom_count; j < post.cp_count; ++j)
                post.cp_marker[j] = post.cp_marker[j + 1];
            --post.cp_count;
        }
        redraw_plot();
    } else {
        const int lowest = free_text_slot(post.text_count);
        for (int slot = selected - 1; slot >= lowest; --slot) {
            post.item_text[slot + 1] = post.item_text[slot];
            post.item_pixel[slot + 1] = post.item_pixel[slot];
            post.item_position[slot + 1] = post.item_position[slot];
        }
        post.item_text[lowest].clear();
        --post.text_count;
    }
    invalidate_view();
    return true;
}
