#include "pathgraf/app/postscript_export.h"

#include "common/qt/dialog.h"
#include "common/user_interface.h"
#include "pathgraf/app/plot_files.h"
#include "pathgraf/app/plot_handles.h"
#include "pathgraf/app/plot_renderer.h"
#include "pathgraf/app/plot_state.h"
#include "pathgraf/app/view_bitmap.h"
#include "pathgraf/postscript/ps_attributes.h"
#include "pathgraf/postscript/ps_lines.h"
#include "pathgraf/postscript/ps_output.h"
#include "pathgraf/postscript/ps_page.h"
#include "pathgraf/postscript/ps_shapes.h"
#include "pathgraf/postscript/ps_text.h"
#include "pathgraf/resources/command_ids.h"
#include "pathgraf/resources/plot_dialogs.h"

#include <QDialog>
#include <QFrame>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>

void convert_colorref_to_rgb(unsigned colour, float& r, float& g, float& b)
{
    r = static_cast<float>(colour & 0xFF) / 255.0f;
    g = static_cast<float>((colour >> 8) & 0xFF) / 255.0f;
    b = static_cast<float>((colour >> 16) & 0xFF) / 255.0f;
}

namespace {

void set_colour(unsigned colour)
{
    float r = 0, g = 0, b = 0;
    convert_colorref_to_rgb(colour, r, g, b);
    set_ps_rgb_color(r, g, b);
}

float font_text_height(const FontChoice& font)
{
    const PostScriptPageSettings& page = postscript_page_settings();
    return static_cast<float>(std::abs(font.height)) * 0.6f * page.page_width /
           static_cast<float>(std::max(view_state().full_height, 1));
}

}  // namespace

void write_point_symbol_postscript(float x, float y, float r, int kind, int thickness, unsigned colour)
{
    set_colour(colour);
    set_ps_line_width(static_cast<float>(thickness) / 254.0f);
    switch (kind) {
    case 1:
        plot_ps_pen(x - r, y, 3);
        plot_ps_pen(x + r, y, 2);
        plot_ps_pen(x, y - r, 3);
        plot_ps_pen(x, y + r, 2);
        break;
    case 2:
        plot_ps_pen(x - r, y + r, 3);
        plot_ps_pen(x + r, y - r, 2);
        plot_ps_pen(x - r, y - r, 3);
        plot_ps_pen(x + r, y + r, 2);
        break;
    case 3:
        draw_ps_circle(x, y, r, false);
        break;
    case 4:
        draw_ps_circle(x, y, r, true);
        break;
    case 5:
        plot_ps_pen(x, y + r, 3);
        plot_ps_pen(x - r, y - r, 2);
        plot_ps_pen(x + r, y - r, 2);
        plot_ps_pen(x, y + r, 2);
        break;
    case 6:
        plot_ps_pen(x, y + r, 3);
        plot_ps_pen(x + r, y, 2);
        plot_ps_pen(x, y - r, 2);
        plot_ps_pen(x - r, y, 2);
        plot_ps_pen(x, y + r, 2);
        break;
    case 7:
        draw_ps_wide_line_outline(x - r, y - r, x + r, y - r, 2.0f * r);
        break;
    case 8: {
        float red = 0, green = 0, blue = 0;
        convert_colorref_to_rgb(colour, red, green, blue);
        fill_ps_wide_line_rgb(x - r, y - r, x + r, y - r, 2.0f * r, red, green, blue);
        break;
    }
    default:
        break;
    }
}

void compute_postscript_margins(bool portrait, float size_factor)
{
    PostScriptPageSettings& page = postscript_page_settings();
    const PlotTransform& t = plot_transform();
    const ViewState& view = view_state();
    const float full_width = static_cast<float>(std::max(view.full_width, 1));
    const float full_height = static_cast<float>(std::max(view.full_height, 1));
    const float axis_height = static_cast<float>(std::abs(plot_fonts().axis_font.height));
    const float widest = static_cast<float>(t.widest_y_label);
    const float cw = static_cast<float>(t.char_width);
    if (portrait) {
        page.margin_x = widest * (cw * 8.5f / full_width) * 8.5f / 11.0f * size_factor;
        page.text_height = axis_height * 8.5f / full_height;
        page.margin_y = page.text_height * 8.5f / 11.0f * size_factor;
    } else {
        page.margin_x = widest * (cw * 11.0f / full_width) * 11.0f / 8.5f * size_factor * 2.0f;
        page.text_height = axis_height * 11.0f / full_height;
        page.margin_y = page.text_height * 11.0f / 8.5f * size_factor;
    }
}

namespace {

// The page preview: the plot reduced and placed at the page offsets.
class PagePreview : public QFrame {
public:
    explicit PagePreview(QWidget* parent) : QFrame(parent)
    {
        setObjectName("page_preview");
        setFrameShape(QFrame::Box);
        setAutoFillBackground(true);
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, Qt::white);
        setPalette(palette);
    }
    QImage bitmap;
    QPoint offset;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QFrame::paintEvent(event);
        if (bitmap.isNull())
            return;
        QPainter painter(this);
        const QRect area = contentsRect();
        painter.setClipRect(area);
        painter.drawImage(area.topLeft() + offset, bitmap);
    }
};

constexpr int MIN_SIZE_PERCENT = 1;
constexpr int MAX_LEFT_MILLIMETRES = 200;
constexpr int MAX_TOP_MILLIMETRES = 280;

// The drawing scale of a size in percent.  A scale of 0 makes the file
// unreadable to an interpreter (the scale is undone by its inverse), so
// sizes below 1 % draw at 1 %.
float size_factor_of(int percent)
{
    return static_cast<float>(std::clamp(percent, 1, 100)) / 100.0f;
}

struct PreviewLayout {
    PagePreview* preview = nullptr;
    float reduction = 1.0f;
};

void place_image(PreviewLayout& layout)
{
    const PostScriptPageSettings& page = postscript_page_settings();
    PagePreview* preview = layout.preview;
    const float per_inch_x = std::trunc(static_cast<float>(preview->width()) / page.page_width);
    const float per_inch_y = std::trunc(static_cast<float>(preview->height()) / page.page_height);
    preview->offset = QPoint(static_cast<int>(per_inch_x * page.left_offset),
                             static_cast<int>(per_inch_y * page.top_offset));
}

void rebuild_preview(PreviewLayout& layout)
{
    const PostScriptPageSettings& page = postscript_page_settings();
    const ViewState& view = view_state();
    const int w = static_cast<int>(static_cast<float>(view.full_width) / layout.reduction * page.size_factor);
    const int h = static_cast<int>(static_cast<float>(view.full_height) / layout.reduction * page.size_factor);
    rebuild_view_bitmap(layout.preview->bitmap, w, h);
}

void lay_out_preview(Dialog& dialog, PreviewLayout& layout)
{
    const PostScriptPageSettings& page = postscript_page_settings();
    const QRect client = dialog.window()->rect();
    const int cx = 2 * client.width() / 3;
    const int cy = client.height() / 2;
    int hw = 0, hh = 0;
    if (page.portrait) {
        hh = cy - 15;
        hw = static_cast<int>(static_cast<float>(hh) * page.page_width / page.page_height);
    } else {
        hw = cx / 2 - 15;
        hh = static_cast<int>(static_cast<float>(hw) * page.page_height / page.page_width);
    }
    hw = std::max(hw, 1);
    hh = std::max(hh, 1);
    layout.preview->setGeometry(cx - hw, cy - hh, 2 * hw, 2 * hh);
    layout.preview->show();
    const ViewState& view = view_state();
    layout.reduction = std::max({static_cast<float>(view.full_width) / static_cast<float>(2 * hw),
                                 static_cast<float>(view.full_height) / static_cast<float>(2 * hh), 1.0f});
    rebuild_preview(layout);
    place_image(layout);
    layout.preview->update();
}

}  // namespace

int run_postscript_dialog(QWidget* owner)
{
    Dialog dialog(postscript_dialog_resource(), owner);
    PostScriptPageSettings& page = postscript_page_settings();
    page.left_offset = 0.5f;
    page.page_width = 8.5f;
    page.page_height = 11.0f;
    page.top_offset = 0.5f;
    page.size_factor = 0.75f;
    page.portrait = true;
    compute_postscript_margins(true, 0.75f);
    for (int id : {IDC_PS_AXIS_FONT, IDC_PS_LABEL_FONT, IDC_PS_TEXT_FONT}) {
        for (std::string_view name : PS_FONT_NAMES)
            dialog.add_item(id, std::string(name));
        dialog.set_selected_index(id, 11);  // "Courier"
    }
    dialog.set_range(IDC_PS_SIZE_SPIN, MIN_SIZE_PERCENT, 100);
    dialog.set_position(IDC_PS_SIZE_SPIN, static_cast<int>(100.0f * page.size_factor));
    dialog.set_range(IDC_PS_FROM_LEFT_SPIN, 0, MAX_LEFT_MILLIMETRES);
    dialog.set_position(IDC_PS_FROM_LEFT_SPIN, static_cast<int>(25.4f * page.left_offset));
    dialog.set_range(IDC_PS_FROM_TOP_SPIN, 0, MAX_TOP_MILLIMETRES);
    dialog.set_position(IDC_PS_FROM_TOP_SPIN, static_cast<int>(25.4f * page.top_offset));
    dialog.set_checked(IDC_PS_PORTRAIT, true);
    dialog.set_checked(IDC_PS_LANDSCAPE, false);

    PreviewLayout layout;
    layout.preview = new PagePreview(dialog.window());
    lay_out_preview(dialog, layout);

    dialog.set_callback(IDC_PS_SIZE_SPIN, [&](Dialog& d, int, ControlEvent) {
        page.size_factor = size_factor_of(d.get_position(IDC_PS_SIZE_SPIN));
        rebuild_preview(layout);
        layout.preview->update();
    });
    // A typed number counts as the arrows' would: the preview follows it, and
    // one outside the arrows' range is held to it in the box.
    dialog.set_callback(IDC_PS_SIZE, [&](Dialog& d, int, ControlEvent) {
        int percent = 0;
        if (!hold_box_to_limits(d, IDC_PS_SIZE, MIN_SIZE_PERCENT, 100, percent))
            return;
        page.size_factor = size_factor_of(percent);
        rebuild_preview(layout);
        layout.preview->update();
    });
    for (auto [edit, high] : {std::pair{IDC_PS_FROM_LEFT, MAX_LEFT_MILLIMETRES}, std::pair{IDC_PS_FROM_TOP, MAX_TOP_MILLIMETRES}}) {
        dialog.set_callback(edit, [&, edit = edit, high = high](Dialog& d, int, ControlEvent) {
            int millimetres = 0;
            if (!hold_box_to_limits(d, edit, 0, high, millimetres))
                return;
            (edit == IDC_PS_FROM_LEFT ? page.left_offset : page.top_offset) = static_cast<float>(millimetres) / 25.4f;
            place_image(layout);
            layout.preview->update();
        });
    }
    for (int spin : {IDC_PS_FROM_LEFT_SPIN, IDC_PS_FROM_TOP_SPIN}) {
        dialog.set_callback(spin, [&, spin](Dialog& d, int, ControlEvent) {
            const float millimetres = static_cast<float>(std::max(d.get_position(spin), 0));
            (spin == IDC_PS_FROM_LEFT_SPIN ? page.left_offset : page.top_offset) = millimetres / 25.4f;
            place_image(layout);
            layout.preview->update();
        });
    }
    dialog.set_callback(IDC_PS_PORTRAIT, [&](Dialog& d, int, ControlEvent) {
        page.page_width = 8.5f;
        page.page_height = 11.0f;
        page.portrait = true;
        compute_postscript_margins(true, page.size_factor);
        lay_out_preview(d, layout);
    });
    dialog.set_callback(IDC_PS_LANDSCAPE, [&](Dialog& d, int, ControlEvent) {
        page.page_width = 11.0f;
        page.page_height = 8.5f;
        page.portrait = false;
        compute_postscript_margins(false, page.size_factor);
        lay_out_preview(d, layout);
    });
    dialog.set_callback(1, [&](Dialog& d, int, ControlEvent) {
        page.axis_font = d.get_selected_index(IDC_PS_AXIS_FONT) + 1;
        page.label_font = d.get_selected_index(IDC_PS_LABEL_FONT) + 1;
        page.text_font = d.get_selected_index(IDC_PS_TEXT_FONT) + 1;
        // The boxes show whole millimetres and percent: a box left as shown
        // keeps its value exactly; a typed one is held in the arrows' range;
        // one that does not read is refused.
        for (auto [edit, high, offset] : {std::tuple{IDC_PS_FROM_LEFT, MAX_LEFT_MILLIMETRES, &page.left_offset},
                                          std::tuple{IDC_PS_FROM_TOP, MAX_TOP_MILLIMETRES, &page.top_offset}}) {
            int millimetres = 0;
            if (!hold_box_to_limits(d, edit, 0, high, millimetres)) {
                report_unreadable_box(d, edit);
                return;
            }
            if (millimetres != static_cast<int>(25.4f * *offset))
                *offset = static_cast<float>(millimetres) / 25.4f;
        }
        int percent = 0;
        if (!hold_box_to_limits(d, IDC_PS_SIZE, MIN_SIZE_PERCENT, 100, percent)) {
            report_unreadable_box(d, IDC_PS_SIZE);
            return;
        }
        page.size_factor = size_factor_of(percent);
        layout.preview->bitmap = QImage();
        d.end(1);
    });
    const int result = dialog.run_modal();
    return result == 1 ? 1 : 0;
}

namespace {

void write_ticks(float s, const PlotWindowF& window)
{
    const AxisSettings& axis = axis_settings();
    const StyleSettings& style = style_settings();
    PostScriptPageSettings& page = postscript_page_settings();
    const bool labels = display_options().axis_labels_shown;
    page.text_height = font_text_height(plot_fonts().axis_font);
    auto length = [&](const Tick& tick) {
        return static_cast<float>(tick.major ? axis.major_tick_length : axis.minor_tick_length) * s;
    };
    for (const Tick& tick : walk_ticks(axis.x_min, axis.x_max, axis.x_step, axis.major_tick_step)) {
        const float l = length(tick);
        set_colour(style.frame_colour);
        plot_ps_pen(tick.value * s, window.ymin * s, 3);
        plot_ps_pen(tick.value * s, window.ymin * s - l, 2);
        if (tick.major && labels) {
            set_colour(style.axis_font_colour);
            draw_ps_number_fixed(tick.value * s, window.ymin * s - 2.0f * l, page.text_height, tick.value, 0.0f, 1, 1);
        }
    }
    for (const Tick& tick : walk_ticks(axis.y_min, axis.y_max, axis.y_step, axis.major_tick_step)) {
        const float l = length(tick);
        set_colour(style.frame_colour);
        plot_ps_pen(window.xmin * s, tick.value * s, 3);
        plot_ps_pen(window.xmin * s - l, tick.value * s, 2);
        if (tick.major && labels) {
            set_colour(style.axis_font_colour);
            draw_ps_number_fixed(window.xmin * s - 1.2f * l, tick.value * s - 0.5f * page.text_height,
                                 page.text_height, tick.value, 0.0f, 1, 2);
        }
    }
}

// The library takes texts of 80 characters: a longer one goes on in
// pieces, each continuing where the one before ended.
void write_item_text(float s, int slot, float height, float dx = 0.0f, float dy = 0.0f)
{
    const std::string text = trimmed_item_text(slot);
    if (text.empty())
        return;
    const PlanePointF p = post_data().item_position[slot];
    float x = p.x * s + dx, y = p.y * s + dy;
    for (std::size_t start = 0; start < text.size(); start += PS_TEXT_LENGTH) {
        const std::string piece = text.substr(start, PS_TEXT_LENGTH);
        draw_ps_text(x, y, height, piece, 0.0f, static_cast<int>(piece.size()), 0);
        x = PS_CONTINUE;
        y = PS_CONTINUE;
    }
}

void write_post_items(float s)
{
    const PostData& post = post_data();
    const DisplayOptions& options = display_options();
    const StyleSettings& style = style_settings();
    PostScriptPageSettings& page = postscript_page_settings();
    setfnt(page.label_font);
    page.text_height = font_text_height(plot_fonts().label_font);
    auto write_kind = [&](int count, int first_slot, const PlanePointF* markers, bool positions, bool labels,
                          int symbol) {
        if (!positions && !labels)
            return;
        for (int i = 1; i <= count; ++i) {
            if (positions)
                write_point_symbol_postscript(markers[i].x * s, markers[i].y * s, style.symbol_size, symbol,
                                              style.symbol_thickness, style.symbol_colour);
            if (labels) {
                // Beside the symbol (symbol_size inches and half its pen)
                // with a gap, level with it: the text height is the
                // capitals' height.
                const float dx = style.symbol_size + 0.5f * static_cast<float>(style.symbol_thickness) / 254.0f
                                 + 0.3f * page.text_height;
                set_colour(style.label_font_colour);
                write_item_text(s, first_slot + i - 1, page.text_height, dx, -0.5f * page.text_height);
            }
        }
    };
    write_kind(post.atom_count, 1, post.atom_marker.data(), options.atom_positions_shown, options.atom_labels_shown,
               style.atom_symbol);
    write_kind(post.cp_count, post.atom_count + 1, post.cp_marker.data(), options.cp_positions_shown,
               options.cp_labels_shown, style.cp_symbol);
}

}  // namespace

bool write_plot_postscript()
{
    const std::string& name = plot_file_dialog_state().chosen_name;
    const PostScriptPageSettings& page = postscript_page_settings();
    const StyleSettings& style = style_settings();
    const DisplayOptions& options = display_options();
    set_ps_file_name(name);
    if (!open_ps_file_and_write_prolog(page.portrait)) {
        ui().message_box(ps_output_state().error_text, "Error!", MessageButtons::ok, MessageIcon::warning);
        return false;
    }
    plot_ps_pen(page.left_offset + page.margin_x, page.page_height - page.top_offset - page.margin_y - 0.5f, -3);
    set_ps_scale(page.size_factor);
    setfnt(page.axis_font);

    PlotWindowF window;
    std::string error;
    float s = 0.0f;
    bool drawn = read_open_plot_paths(PathKindsShown{false, false, false}, window,
                                      [](PathKind, const std::vector<PlanePointF>&) {}, &error) &&
                 window.xmin < window.xmax && window.ymin < window.ymax;
    if (drawn) {
        s = std::min((page.page_width - page.margin_x - 0.75f) / (window.xmax - window.xmin),
                     (page.page_height - page.margin_y - 0.75f) / (window.ymax - window.ymin));
        plot_ps_pen(-window.xmin * s, -window.ymax * s, -3);

        drawn = read_open_plot_paths(
            shown_path_kinds(), window,
            [s](PathKind kind, const std::vector<PlanePointF>& points) {
                if (points.empty())
                    return;
                const PathStyle path = path_style(kind);
                set_colour(path.colour);
                set_ps_line_width(static_cast<float>(path.width) / 254.0f);
                plot_ps_pen(points.front().x * s, points.front().y * s, 3);
                for (std::size_t k = 1; k < points.size(); ++k)
                    plot_ps_pen(points[k].x * s, points[k].y * s, 2);
            },
            &error);
    }
    if (drawn) {
        set_colour(style.frame_colour);
        set_ps_line_width(static_cast<float>(style.frame_width) / 254.0f);
        draw_ps_wide_line_outline(window.xmin * s, window.ymin * s, window.xmax * s, window.ymin * s,
                                  (window.ymax - window.ymin) * s);
        if (style.ticks_shown)
            write_ticks(s, window);

        if (options.post_lines_shown) {
            const UserLines& lines = user_lines();
            for (int i = 1; i <= lines.line_count; ++i) {
                set_ps_line_width(static_cast<float>(lines.style[i].width) / 254.0f);
                set_colour(lines.style[i].colour);
                draw_ps_dashed_line(lines.x1[i] * s, lines.y1[i] * s, lines.x2[i] * s, lines.y2[i] * s,
                                    2 * lines.style[i].dash, 0.0f);
            }
        }
        if (options.post_loaded)
            write_post_items(s);
        if (options.texts_shown) {
            PostScriptPageSettings& settings = postscript_page_settings();
            setfnt(settings.text_font);
            settings.text_height = font_text_height(plot_fonts().text_font);
            set_colour(style.text_font_colour);
            for (int k = 1; k <= post_data().text_count; ++k)
                write_item_text(s, free_text_slot(k), settings.text_height);
        }
    }
    if (!drawn) {
        // A plot without its paths does not replace the old file.
        discard_ps_plot();
        ui().message_box("Can not read the trajectory data file: " + error, "Error!", MessageButtons::ok,
                         MessageIcon::warning);
        return false;
    }
    if (!end_ps_plot()) {
        ui().message_box(ps_output_state().error_text, "Error!", MessageButtons::ok, MessageIcon::warning);
        return false;
    }
    return true;
}
