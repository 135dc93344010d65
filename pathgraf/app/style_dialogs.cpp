#include "pathgraf/app/style_dialogs.h"

#include "common/fortran_format.h"
#include "common/qt/dialog.h"
#include "common/qt/qt_user_interface.h"
#include "pathgraf/app/owner_drawn_list.h"
#include "pathgraf/app/plot_handles.h"
#include "pathgraf/app/plot_renderer.h"
#include "pathgraf/app/plot_state.h"
#include "pathgraf/app/plot_window.h"
#include "pathgraf/resources/command_ids.h"
#include "pathgraf/resources/plot_dialogs.h"

#include <QColorDialog>
#include <QFontMetrics>
#include <QListWidget>
#include <QPainter>

#include <algorithm>
#include <array>

namespace {

std::string f6_2(double value) { return format_line("(F6.2)", {value}); }

// A number typed in a box of six characters; more is refused, never cut.
bool read_six(const std::string& text, double& value)
{
    double read = 0.0;
    if (text.find_first_not_of(' ', 6) != std::string::npos || !read_list(text.substr(0, 6), {&read}))
        return false;
    value = read;
    return true;
}

void invalidate_main_window()
{
    if (PlotMainWindow* window = plot_window_handles().main_window)
        window->update();
    invalidate_view();
}

// An integer typed into the buddy of an up-down, held in its range (the box
// shows the limit).
bool read_buddy(Dialog& dialog, int edit, int low, int high, int& value)
{
    return hold_box_to_limits(dialog, edit, low, high, value);
}

}  // namespace

int run_axis_ticks_dialog(QWidget* owner)
{
    Dialog dialog(axis_ticks_dialog_resource(), owner);
    const PlotExtents& extents = plot_extents();
    AxisSettings& axis = axis_settings();
    dialog.set_text(IDC_GRID_X_MIN, f6_2(extents.xmin));
    dialog.set_text(IDC_GRID_X_MAX, f6_2(extents.xmax));
    dialog.set_text(IDC_GRID_Y_MIN, f6_2(extents.ymin));
    dialog.set_text(IDC_GRID_Y_MAX, f6_2(extents.ymax));
    dialog.set_text(IDC_AXIS_X_MIN, f6_2(axis.x_min));
    dialog.set_text(IDC_AXIS_X_MAX, f6_2(axis.x_max));
    dialog.set_text(IDC_AXIS_X_STEP, f6_2(axis.x_step));
    dialog.set_text(IDC_AXIS_Y_MIN, f6_2(axis.y_min));
    dialog.set_text(IDC_AXIS_Y_MAX, f6_2(axis.y_max));
    dialog.set_text(IDC_AXIS_Y_STEP, f6_2(axis.y_step));
    dialog.set_text(IDC_MAJOR_TICK_STEP, f6_2(axis.major_tick_step));
    dialog.set_text(IDC_MAJOR_TICK_LENGTH, f6_2(axis.major_tick_length));
    dialog.set_text(IDC_MINOR_TICK_LENGTH, f6_2(axis.minor_tick_length));
    // OK takes every box or none: a box that does not read (or does not fit
    // its six characters) is refused and the dialog stays open.
    AxisSettings read = axis;
    const std::array<std::pair<int, double*>, 9> fields = {{
        {IDC_AXIS_X_MIN, &read.x_min},
        {IDC_AXIS_X_MAX, &read.x_max},
        {IDC_AXIS_X_STEP, &read.x_step},
        {IDC_AXIS_Y_MIN, &read.y_min},
        {IDC_AXIS_Y_MAX, &read.y_max},
        {IDC_AXIS_Y_STEP, &read.y_step},
        {IDC_MINOR_TICK_LENGTH, &read.minor_tick_length},
        {IDC_MAJOR_TICK_LENGTH, &read.major_tick_length},
        {IDC_MAJOR_TICK_STEP, &read.major_tick_step},
    }};
    dialog.set_callback(1, [&](Dialog& d, int, ControlEvent) {
        for (const auto& [id, target] : fields)
            if (!read_six(d.get_text(id), *target)) {
                report_unreadable_box(d, id);
                return;
            }
        d.end(1);
    });
    if (dialog.run_modal() != 1)
        return 0;
    axis = read;
    return 1;
}

namespace {

struct SymbolWork {
    int thickness = 0;
    int atom_symbol = 0;
    int cp_symbol = 0;
    unsigned colour = 0;
    int size = 0;  // pixels of the last render
};

}  // namespace

int run_post_symbol_dialog(QWidget* owner)
{
    Dialog dialog(post_symbol_dialog_resource(), owner);
    StyleSettings& style = style_settings();
    const float scale = plot_transform().scale;
    SymbolWork work{style.symbol_thickness, style.atom_symbol, style.cp_symbol, style.symbol_colour,
                    pixel_trunc(style.symbol_size * scale)};

    make_owner_drawn_row(dialog, IDC_SYMBOL_ENTRIES, 2,
                          [&work](QPainter& p, const QRect& item, int row, bool selected) {
                              draw_point_symbol_gdi(p, item.center().x(), item.center().y(),
                                                    row == 0 ? work.atom_symbol : work.cp_symbol, work.size,
                                                    work.thickness, work.colour);
                              if (selected) {
                                  QPen focus(Qt::black);
                                  focus.setStyle(Qt::DotLine);
                                  p.setPen(focus);
                                  p.setBrush(Qt::NoBrush);
                                  p.drawRect(item.adjusted(1, 1, -2, -2));
                              }
                          });
    make_owner_drawn_row(dialog, IDC_AVAILABLE_SYMBOLS, 8,
                          [&work](QPainter& p, const QRect& item, int row, bool) {
                              draw_point_symbol_gdi(p, item.center().x(), item.center().y(), row + 1, 10, 0,
                                                    work.colour);
                          });
    dialog.set_selected_index(IDC_SYMBOL_ENTRIES, 0);
    dialog.set_range(IDC_SYMBOL_SIZE_SPIN, 0, 50);
    dialog.set_position(IDC_SYMBOL_SIZE_SPIN, work.size);
    dialog.set_int(IDC_SYMBOL_SIZE, work.size);
    dialog.set_range(IDC_SYMBOL_THICK_SPIN, 0, 50);
    dialog.set_position(IDC_SYMBOL_THICK_SPIN, work.thickness);

    auto redraw_entries = [&dialog] { redraw_owner_drawn_list(dialog, IDC_SYMBOL_ENTRIES); };
    dialog.set_callback(IDC_SYMBOL_SIZE_SPIN, [&](Dialog& d, int, ControlEvent) {
        work.size = d.get_position(IDC_SYMBOL_SIZE_SPIN);
        redraw_entries();
    });
    dialog.set_callback(IDC_SYMBOL_THICK_SPIN, [&](Dialog& d, int, ControlEvent) {
        work.thickness = d.get_position(IDC_SYMBOL_THICK_SPIN);
        redraw_entries();
    });
    // A number typed into a box counts as the arrows' would.
    dialog.set_callback(IDC_SYMBOL_SIZE, [&](Dialog& d, int, ControlEvent) {
        if (read_buddy(d, IDC_SYMBOL_SIZE, 0, 50, work.size))
            redraw_entries();
    });
    dialog.set_callback(IDC_SYMBOL_THICK, [&](Dialog& d, int, ControlEvent) {
        if (read_buddy(d, IDC_SYMBOL_THICK, 0, 50, work.thickness))
            redraw_entries();
    });
    if (auto* symbols = qobject_cast<QListWidget*>(dialog.get_control_widget(IDC_AVAILABLE_SYMBOLS))) {
        QObject::connect(symbols, &QListWidget::itemDoubleClicked, symbols, [&, symbols](QListWidgetItem* item) {
            const int symbol = symbols->row(item) + 1;
            (dialog.get_selected_index(IDC_SYMBOL_ENTRIES) == 1 ? work.cp_symbol : work.atom_symbol) = symbol;
            redraw_entries();
        });
    }
    dialog.set_callback(IDC_SYMBOL_COLOR, [&](Dialog& d, int, ControlEvent) {
        unsigned colour = work.colour;
        if (choose_plot_color(d.window(), colour)) {
            work.colour = colour;
            redraw_entries();
            redraw_owner_drawn_list(d, IDC_AVAILABLE_SYMBOLS);
        }
    });
    dialog.set_callback(1, [&](Dialog& d, int, ControlEvent) {
        // Without a render there is no pixel size: the symbol size stays.
        if (scale > 0.0f)
            style.symbol_size = static_cast<float>(work.size) / scale;
        style.symbol_thickness = work.thickness;
        style.atom_symbol = work.atom_symbol;
        style.cp_symbol = work.cp_symbol;
        style.symbol_colour = work.colour;
        d.end(1);
    });
    return dialog.run_modal() == 1 ? 1 : 0;
}

namespace {

struct LineRow {
    int sample, edit, spin, swatch, button;
    int* width;
    unsigned* colour;
};

void draw_width_sample(QPainter& p, const QRect& item, int width)
{
    QPen pen(Qt::black);
    pen.setWidth(std::max(width, 0));
    p.setPen(pen);
    const int y = item.top() + item.height() / 2;
    p.drawLine(item.left() + 2, y, item.right() - 2, y);
}

void draw_swatch(QPainter& p, const QRect& item, unsigned colour)
{
    p.fillRect(item.adjusted(2, 2, -2, -2), colour_from_colorref(colour));
}

}  // namespace

int run_lines_colors_dialog(QWidget* owner)
{
    Dialog dialog(lines_colors_dialog_resource(), owner);
    StyleSettings& style = style_settings();
    StyleSettings work = style;
    int dash = work.user_line_dash;
    const std::array<LineRow, 5> rows = {{
        {IDC_TRAJECTORY_WIDTH_SAMPLE, IDC_TRAJECTORY_WIDTH, IDC_TRAJECTORY_WIDTH_SPIN, IDC_TRAJECTORY_SWATCH,
         IDC_TRAJECTORY_COLOR, &work.trajectory_path_width, &work.trajectory_path_colour},
        {IDC_BOND_WIDTH_SAMPLE, IDC_BOND_WIDTH, IDC_BOND_WIDTH_SPIN, IDC_BOND_SWATCH, IDC_BOND_COLOR,
         &work.bond_path_width, &work.bond_path_colour},
        {IDC_SURFACE_WIDTH_SAMPLE, IDC_SURFACE_WIDTH, IDC_SURFACE_WIDTH_SPIN, IDC_SURFACE_SWATCH, IDC_SURFACE_COLOR,
         &work.surface_path_width, &work.surface_path_colour},
        {IDC_FRAME_WIDTH_SAMPLE, IDC_FRAME_WIDTH, IDC_FRAME_WIDTH_SPIN, IDC_FRAME_SWATCH, IDC_FRAME_COLOR,
         &work.frame_width, &work.frame_colour},
        {IDC_USER_LINE_WIDTH_SAMPLE, IDC_USER_LINE_WIDTH, IDC_USER_LINE_WIDTH_SPIN, IDC_USER_LINE_SWATCH,
         IDC_USER_LINE_COLOR, &work.user_line_width, &work.user_line_colour},
    }};
    const float ppi = display_options().pixels_per_inch;
    for (const LineRow& row : rows) {
        const bool user_line = row.sample == IDC_USER_LINE_WIDTH_SAMPLE;
        const int sample_width = owner_drawn_list_width(dialog, row.sample);
        const QWidget* sample_widget = dialog.get_control_widget(row.sample);
        const int sample_height = sample_widget ? std::max(sample_widget->height() - 4, 1) : 10;
        make_owner_drawn_list(dialog, row.sample, 1, sample_width, sample_height,
                              [row, user_line, &dash, ppi](QPainter& p, const QRect& item, int, bool) {
                                  if (!user_line) {
                                      draw_width_sample(p, item, *row.width);
                                      return;
                                  }
                                  QPen pen(Qt::black);
                                  pen.setWidth(std::max(*row.width, 0));
                                  p.setPen(pen);
                                  const float y = static_cast<float>(item.top() + item.height() / 2);
                                  draw_dashed_line_gdi(p, static_cast<float>(item.left() + 2), y,
                                                       static_cast<float>(item.right() - 2), y, dash, ppi);
                              });
        make_owner_drawn_list(dialog, row.swatch, 1, owner_drawn_list_width(dialog, row.swatch), sample_height,
                              [row](QPainter& p, const QRect& item, int, bool) { draw_swatch(p, item, *row.colour); });
        dialog.set_range(row.spin, 0, 50);
        dialog.set_position(row.spin, *row.width);
        dialog.set_callback(row.spin, [row](Dialog& d, int, ControlEvent) {
            *row.width = d.get_position(row.spin);
            redraw_owner_drawn_list(d, row.sample);
        });
        dialog.set_callback(row.edit, [row](Dialog& d, int, ControlEvent) {
            if (read_buddy(d, row.edit, 0, 50, *row.width))
                redraw_owner_drawn_list(d, row.sample);
        });
        dialog.set_callback(row.button, [row](Dialog& d, int, ControlEvent) {
            unsigned colour = *row.colour;
            if (choose_plot_color(d.window(), colour)) {
                *row.colour = colour;
                redraw_owner_drawn_list(d, row.swatch);
            }
        });
    }
    dialog.set_range(IDC_USER_LINE_DASH_SPIN, 0, 90);
    dialog.set_position(IDC_USER_LINE_DASH_SPIN, dash);
    dialog.set_callback(IDC_USER_LINE_DASH_SPIN, [&dash](Dialog& d, int, ControlEvent) {
        dash = d.get_position(IDC_USER_LINE_DASH_SPIN);
        redraw_owner_drawn_list(d, IDC_USER_LINE_WIDTH_SAMPLE);
    });
    dialog.set_callback(IDC_USER_LINE_DASH, [&dash](Dialog& d, int, ControlEvent) {
        if (read_buddy(d, IDC_USER_LINE_DASH, 0, 90, dash))
            redraw_owner_drawn_list(d, IDC_USER_LINE_WIDTH_SAMPLE);
    });
    dialog.set_callback(1, [&](Dialog& d, int, ControlEvent) {
        style.trajectory_path_width = work.trajectory_path_width;
        style.trajectory_path_colour = work.trajectory_path_colour;
        style.bond_path_width = work.bond_path_width;
        style.bond_path_colour = work.bond_path_colour;
        style.surface_path_width = work.surface_path_width;
        style.surface_path_colour = work.surface_path_colour;
        style.frame_width = work.frame_width;
        style.frame_colour = work.frame_colour;
        style.user_line_width = work.user_line_width;
        style.user_line_colour = work.user_line_colour;
        style.user_line_dash = dash;
        invalidate_main_window();
        d.end(0);
    });
    dialog.run_modal();
    return 0;
}

namespace {

struct FontRow {
    int sample, button;
    FontChoice* font;
    unsigned* colour;
    const char* text;
};

// Where the table puts the Fonts dialog's controls, in pixels: the sizes
// the layout never goes below.
struct FontsLayout {
    QSize dialog;
    std::array<QRect, 3> samples;
    std::array<QRect, 3> buttons;
    QRect ok;
};

QFont sample_font(const FontRow& row)
{
    return plot_qfont(font_at_view_size(*row.font));
}

// Sizes the sample lists so that each sample shows whole in its font at the
// view's size (the table's sizes are the least), keeps every button beside
// its sample and the OK button centred below, and gives each list its item.
void lay_out_font_samples(Dialog& dialog, const std::array<FontRow, 3>& rows, const FontsLayout& table)
{
    constexpr int PAD = 4;  // about the text inside its item
    int width = table.samples[0].width();
    std::array<int, 3> heights{};
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const QWidget* list = dialog.get_control_widget(rows[k].sample);
        const int frame = list ? list->width() - owner_drawn_list_width(dialog, rows[k].sample) : 0;
        const QFontMetrics metrics(sample_font(rows[k]));
        width = std::max(width, metrics.horizontalAdvance(QString::fromUtf8(rows[k].text)) + frame + PAD);
        heights[k] = std::max(table.samples[k].height(), metrics.height() + frame + PAD);
    }
    const int x = table.samples[0].left();
    const int gap = table.samples[1].top() - table.samples[0].bottom() - 1;
    const int button_gap = table.buttons[0].left() - table.samples[0].right() - 1;
    int y = table.samples[0].top();
    int right = 0;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        if (QWidget* list = dialog.get_control_widget(rows[k].sample))
            list->setGeometry(x, y, width, heights[k]);
        const QRect button = table.buttons[k];
        const QRect placed(x + width + button_gap, y + (heights[k] - button.height()) / 2, button.width(),
                           button.height());
        if (QWidget* widget = dialog.get_control_widget(rows[k].button))
            widget->setGeometry(placed);
        right = std::max(right, placed.right() + 1);
        y += heights[k] + gap;
    }
    const int below = table.ok.top() - (table.samples[2].bottom() + 1);
    const int dialog_width = std::max(table.dialog.width(), right + (table.dialog.width() - table.buttons[0].right() - 1));
    const int ok_top = y - gap + below;
    if (QWidget* ok = dialog.get_control_widget(1))
        ok->setGeometry((dialog_width - table.ok.width()) / 2, ok_top, table.ok.width(), table.ok.height());
    const int dialog_height = std::max(table.dialog.height(),
                                       ok_top + table.ok.height() + (table.dialog.height() - table.ok.bottom() - 1));
    if (QWidget* window = dialog.window()) {
        window->setMinimumSize(dialog_width, dialog_height);
        window->resize(dialog_width, dialog_height);
    }
    for (const FontRow& row : rows) {
        const int item_height = std::max(owner_drawn_list_height(dialog, row.sample), 1);
        make_owner_drawn_list(dialog, row.sample, 1, owner_drawn_list_width(dialog, row.sample), item_height,
                              [row](QPainter& p, const QRect& item, int, bool) {
                                  // The sample at the size the font has on the view.
                                  p.setFont(sample_font(row));
                                  p.setPen(colour_from_colorref(*row.colour));
                                  p.drawText(item, Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(row.text));
                              });
    }
}

}  // namespace

int run_fonts_dialog(QWidget* owner)
{
    Dialog dialog(fonts_dialog_resource(), owner);
    PlotFonts& fonts = plot_fonts();
    StyleSettings& style = style_settings();
    const std::array<FontRow, 3> rows = {{
        {IDC_AXIS_FONT_SAMPLE, IDC_AXIS_FONT, &fonts.axis_font, &style.axis_font_colour,
         " 01234567 - Axis lable font   "},
        {IDC_LABEL_FONT_SAMPLE, IDC_LABEL_FONT, &fonts.label_font, &style.label_font_colour,
         " C1 N2 O3 - Post lable font   "},
        {IDC_TEXT_FONT_SAMPLE, IDC_TEXT_FONT, &fonts.text_font, &style.text_font_colour,
         " ABCD abcd - Text font        "},
    }};
    FontsLayout table;
    table.dialog = dialog.window()->size();
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const QWidget* sample = dialog.get_control_widget(rows[k].sample);
        const QWidget* button = dialog.get_control_widget(rows[k].button);
        table.samples[k] = sample ? sample->geometry() : QRect();
        table.buttons[k] = button ? button->geometry() : QRect();
    }
    if (const QWidget* ok = dialog.get_control_widget(1))
        table.ok = ok->geometry();
    lay_out_font_samples(dialog, rows, table);
    for (const FontRow& row : rows) {
        dialog.set_callback(row.button, [row, &rows, &table](Dialog& d, int, ControlEvent) {
            if (choose_plot_font(d.window(), *row.font, *row.colour))
                lay_out_font_samples(d, rows, table);
        });
    }
    dialog.set_callback(1, [](Dialog& d, int, ControlEvent) {
        invalidate_main_window();
        d.end(1);
    });
    return dialog.run_modal() == 1 ? 1 : 0;
}

bool choose_plot_color(QWidget* /*owner*/, unsigned& colour)
{
    for (int i = 0; i < 15; ++i)
        QColorDialog::setCustomColor(i, Qt::white);
    return ui().choose_colour(colour);
}

bool choose_plot_font(QWidget* /*owner*/, FontChoice& font, unsigned& colour)
{
    FontChoice edited = font;
    edited.colour = colour;
    if (!ui().choose_font(edited))
        return false;
    font = edited;
    colour = edited.colour;
    return true;
}
