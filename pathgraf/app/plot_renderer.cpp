#include "pathgraf/app/plot_renderer.h"

#include "common/fortran_format.h"
#include "common/qt/qt_user_interface.h"
#include "pathgraf/app/plot_files.h"
#include "pathgraf/app/plot_handles.h"
#include "pathgraf/app/plot_state.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <limits>

std::vector<Tick> walk_ticks(double min, double max, double step, double major_step)
{
    std::vector<Tick> ticks;
    auto thousandths = [](double v) {
        const double t = std::trunc(1000.0 * v);
        return static_cast<long long>(std::clamp(t, -1e15, 1e15));
    };
    if (!std::isfinite(min) || !std::isfinite(max) || !std::isfinite(step))
        return ticks;
    const long long i0 = thousandths(min);
    const long long i1 = thousandths(max);
    const long long di = thousandths(step);
    if (di <= 0)
        return ticks;
    const long long count = std::min<long long>((i1 - i0 + di) / di, MAX_TICKS);
    for (long long k = 0; k < count; ++k) {
        const float v = static_cast<float>(i0 + k * di) / 1000.0f;
        bool major = false;
        if (major_step != 0.0) {
            const double multiple = std::trunc(v / major_step) * major_step;
            major = std::abs(v - multiple) < step / 10.0;
        }
        ticks.push_back({v, major});
    }
    return ticks;
}

int left_adjust_tick_label(std::string& text)
{
    std::size_t first = 0;
    while (first < text.size() && static_cast<unsigned char>(text[first]) <= ' ')
        ++first;
    const std::size_t length = text.size();
    text = text.substr(first);
    text.resize(length, ' ');
    const std::size_t end = text.find(' ');
    return static_cast<int>(end == std::string::npos ? text.size() : end);
}

std::string tick_label(float value)
{
    std::string text = format_line("(F6.1)", {static_cast<double>(value)});
    const int n = left_adjust_tick_label(text);
    return text.substr(0, static_cast<std::size_t>(n));
}

int pixel_trunc(float value)
{
    if (std::isnan(value))
        return 0;
    constexpr float limit = 1.0e9f;
    return static_cast<int>(std::clamp(value, -limit, limit));
}

QFont plot_qfont(const FontChoice& font)
{
    QFont qfont = font_from_choice(font);
    if (QString::fromStdString(font.face_name).contains("Courier", Qt::CaseInsensitive))
        qfont.setStyleHint(QFont::TypeWriter);
    return qfont;
}

void draw_dashed_line_gdi(QPainter& painter, float x1, float y1, float x2, float y2, int n, float p)
{
    float cx = x1, cy = y1;
    if (n > 0 && p > 0.0f) {
        const float d = p / (2.0f * static_cast<float>(n));
        const float length = std::hypot(x2 - x1, y2 - y1);
        const long long periods = static_cast<long long>(std::min(static_cast<float>(n) * length / p, 1.0e6f));
        float angle = 0.0f;
        if (std::abs(x2 - x1) < 1e-5f)
            angle = (y2 - y1 >= 0.0f) ? static_cast<float>(M_PI / 2) : static_cast<float>(-M_PI / 2);
        else
            angle = std::atan2(y2 - y1, x2 - x1);
        const float ux = std::cos(angle), uy = std::sin(angle);
        for (long long k = 0; k < periods; ++k) {
            painter.drawLine(pixel_trunc(cx), pixel_trunc(cy), pixel_trunc(cx + d * ux), pixel_trunc(cy + d * uy));
            cx += 2.0f * d * ux;
            cy += 2.0f * d * uy;
        }
    }
    painter.drawLine(pixel_trunc(cx), pixel_trunc(cy), pixel_trunc(x2), pixel_trunc(y2));
}

namespace {

QPen solid_pen(int width, unsigned colour)
{
    QPen pen(colour_from_colorref(colour));
    pen.setWidth(std::max(width, 0));
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

}  // namespace

void draw_point_symbol_gdi(QPainter& painter, int x, int y, int kind, int r, int thickness, unsigned colour)
{
    painter.save();
    painter.setPen(solid_pen(thickness, colour));
    painter.setBrush(Qt::NoBrush);
    switch (kind) {
    case 1:
        painter.drawLine(x - r, y, x + r, y);
        painter.drawLine(x, y - r, x, y + r);
        break;
    case 2:
        painter.drawLine(x + r, y + r, x - r, y - r);
        painter.drawLine(x + r, y - r, x - r, y + r);
        break;
    case 3:
        painter.drawEllipse(QRect(x - r, y - r, 2 * r, 2 * r));
        break;
    case 4:
        painter.setBrush(colour_from_colorref(colour));
        painter.drawEllipse(QRect(x - r, y - r, 2 * r, 2 * r));
        break;
    case 5:
        painter.drawPolyline(QPolygon({QPoint(x, y - r), QPoint(x - r, y + r), QPoint(x + r, y + r), QPoint(x, y - r)}));
        break;
    case 6:
        painter.drawPolyline(
            QPolygon({QPoint(x, y + r), QPoint(x - r, y), QPoint(x, y - r), QPoint(x + r, y), QPoint(x, y + r)}));
        break;
    case 7:
        painter.drawPolyline(QPolygon({QPoint(x + r, y + r), QPoint(x - r, y + r), QPoint(x - r, y - r),
                                       QPoint(x + r, y - r), QPoint(x + r, y + r)}));
        break;
    case 8:
        painter.fillRect(QRect(x - r, y - r, 2 * r, 2 * r), colour_from_colorref(colour));
        break;
    default:
        break;
    }
    painter.restore();
}

namespace {

struct PixelMap {
    float x0, y0, scale;
    int px(float x) const { return pixel_trunc(x * scale + x0); }
    int py(float y) const { return pixel_trunc(y0 - y * scale); }
};

// Text whose bounding box has its bottom on y.
void draw_text_bottom(QPainter& painter, int x, int y, const std::string& text)
{
    const int descent = painter.fontMetrics().descent();
    painter.drawText(QPoint(x, y - descent), QString::fromStdString(text));
}

void draw_paths(QPainter& painter, const PixelMap& map)
{
    QPolygon polyline;
    auto draw = [&](PathKind kind, const std::vector<PlanePointF>& points) {
        if (points.size() < 2)
            return;
        const PathStyle path = path_style(kind);
        painter.setPen(solid_pen(path.width, path.colour));
        polyline.clear();
        for (const PlanePointF& p : points)
            polyline << QPoint(map.px(p.x), map.py(p.y));
        painter.drawPolyline(polyline);
    };
    PlotWindowF window;
    read_open_plot_paths(shown_path_kinds(), window, draw, nullptr);
}

void draw_ticks(QPainter& painter, const PixelMap& map, const PlotWindowF& window, int cw, int ch)
{
    const AxisSettings& axis = axis_settings();
    const DisplayOptions& options = display_options();
    const int yb = map.py(window.ymin);
    const int xl = map.px(window.xmin);
    auto length = [&](const Tick& tick) {
        const double l = tick.major ? axis.major_tick_length : axis.minor_tick_length;
        return pixel_trunc(static_cast<float>(l) * map.scale);
    };
    const QPen frame_pen = painter.pen();
    for (const Tick& tick : walk_ticks(axis.x_min, axis.x_max, axis.x_step, axis.major_tick_step)) {
        const int px = map.px(tick.value);
        const int l = length(tick);
        painter.setPen(frame_pen);
        painter.drawLine(px, yb, px, yb + l);
        if (tick.major && options.axis_labels_shown) {
            const std::string label = tick_label(tick.value);
            const int n = static_cast<int>(label.size());
            painter.setPen(colour_from_colorref(style_settings().axis_font_colour));
            draw_text_bottom(painter, px - (n - 2) * cw, yb + l + ch + 5, label);
        }
    }
    for (const Tick& tick : walk_ticks(axis.y_min, axis.y_max, axis.y_step, axis.major_tick_step)) {
        const int py = map.py(tick.value);
        const int l = length(tick);
        painter.setPen(frame_pen);
        painter.drawLine(xl, py, xl - l, py);
        if (tick.major && options.axis_labels_shown) {
            const std::string label = tick_label(tick.value);
            const int n = static_cast<int>(label.size());
            painter.setPen(colour_from_colorref(style_settings().axis_font_colour));
            draw_text_bottom(painter, xl - l - n * cw - 5, py + ch / 2, label);
        }
    }
}

void draw_user_lines(QPainter& painter, const PixelMap& map)
{
    const UserLines& lines = user_lines();
    const float ppi = display_options().pixels_per_inch;
    for (int i = 1; i <= lines.line_count; ++i) {
        const UserLineStyle& s = lines.style[i];
        painter.setPen(solid_pen(s.width, s.colour));
        draw_dashed_line_gdi(painter, lines.x1[i] * map.scale + map.x0, map.y0 - lines.y1[i] * map.scale,
                             lines.x2[i] * map.scale + map.x0, map.y0 - lines.y2[i] * map.scale, s.dash, ppi);
    }
}

}  // namespace

LabelOffset atom_label_offset(float scale)
{
    const StyleSettings& style = style_settings();
    const QFontMetrics metrics(plot_qfont(plot_fonts().label_font));
    const int cap = metrics.capHeight();
    const int r = pixel_trunc(style.symbol_size * scale);
    return {r + (style.symbol_thickness + 1) / 2 + std::max(2, cap / 3), cap / 2};
}

namespace {

void draw_post_items(QPainter& painter, const PixelMap& map)
{
    const PostData& post = post_data();
    const DisplayOptions& options = display_options();
    const StyleSettings& style = style_settings();
    painter.setFont(plot_qfont(plot_fonts().label_font));
    const int r = pixel_trunc(style.symbol_size * map.scale);
    const LabelOffset offset = atom_label_offset(map.scale);
    auto draw_kind = [&](int count, int first_slot, const PlanePointF* markers, bool positions, bool labels,
                         int symbol) {
        if (!positions && !labels)
            return;
        for (int i = 1; i <= count; ++i) {
            if (positions)
                draw_point_symbol_gdi(painter, map.px(markers[i].x), map.py(markers[i].y), symbol, r,
                                      style.symbol_thickness, style.symbol_colour);
            if (labels) {
                const int slot = first_slot + i - 1;
                painter.setPen(colour_from_colorref(style.label_font_colour));
                painter.drawText(QPoint(map.px(post.item_position[slot].x) + offset.dx,
                                        map.py(post.item_position[slot].y) + offset.dy),
                                 QString::fromStdString(trimmed_item_text(slot)));
            }
        }
    };
    draw_kind(post.atom_count, 1, post.atom_marker.data(), options.atom_positions_shown, options.atom_labels_shown,
              style.atom_symbol);
    draw_kind(post.cp_count, post.atom_count + 1, post.cp_marker.data(), options.cp_positions_shown,
              options.cp_labels_shown, style.cp_symbol);
}

void draw_free_texts(QPainter& painter, const PixelMap& map)
{
    const PostData& post = post_data();
    painter.setFont(plot_qfont(plot_fonts().text_font));
    painter.setPen(colour_from_colorref(style_settings().text_font_colour));
    for (int k = 1; k <= post.text_count; ++k) {
        const int slot = free_text_slot(k);
        painter.drawText(QPoint(map.px(post.item_position[slot].x), map.py(post.item_position[slot].y)),
                         QString::fromStdString(trimmed_item_text(slot)));
    }
}

}  // namespace

int render_plot_bitmap(int width, int height)
{
    PlotWindowHandles& handles = plot_window_handles();
    const DisplayOptions& options = display_options();
    if (!options.data_open || width <= 0 || height <= 0)
        return 0;
    ScopedWaitCursor wait;
    handles.plot_bitmap = QImage();

    // The window of the drawing, read again from the data file.
    PlotWindowF window;
    std::string error;
    if (!read_open_plot_paths(PathKindsShown{false, false, false}, window,
                              [](PathKind, const std::vector<PlanePointF>&) {}, &error) ||
        !(window.xmin < window.xmax) || !(window.ymin < window.ymax))
        return 0;

    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return 0;
    image.fill(Qt::white);

    PlotTransform& transform = plot_transform();
    const AxisSettings& axis = axis_settings();
    const StyleSettings& style = style_settings();
    const QFont axis_font = plot_qfont(plot_fonts().axis_font);
    const QFontMetrics metrics(axis_font, &image);
    const int cw = metrics.averageCharWidth();
    const int ch = metrics.height() + metrics.leading();
    transform.char_width = cw;
    transform.char_height = ch;

    transform.widest_y_label = 0;
    if (style.ticks_shown && options.axis_labels_shown)
        for (const Tick& tick : walk_ticks(axis.y_min, axis.y_max, axis.y_step, axis.major_tick_step))
            if (tick.major)
                transform.widest_y_label =
                    std::max(transform.widest_y_label, static_cast<int>(tick_label(tick.value).size()));

    const float dx = window.xmax - window.xmin;
    const float dy = window.ymax - window.ymin;
    const float ml = static_cast<float>(axis.major_tick_length);
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    const float lw = static_cast<float>((transform.widest_y_label + 3) * cw);
    const float sx = (w - lw - ml * (w - lw) / dx - 3.0f * static_cast<float>(cw)) / dx;
    const float sy = ((h - 4.0f * static_cast<float>(ch)) - ml * (h - 4.0f * static_cast<float>(ch)) / dy) / dy;
    transform.scale = std::min(sx, sy);
    transform.x0 = lw + (ml - window.xmin) * transform.scale;
    transform.y0 = static_cast<float>(ch) + window.ymax * transform.scale;
    const PixelMap map{transform.x0, transform.y0, transform.scale};

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(axis_font);

    draw_paths(painter, map);

    const QPen frame_pen = solid_pen(style.frame_width, style.frame_colour);
    painter.setPen(frame_pen);
    const int left = map.px(window.xmin), right = map.px(window.xmax);
    const int top = map.py(window.ymax), bottom = map.py(window.ymin);
    painter.drawPolyline(QPolygon(
        {QPoint(left, top), QPoint(right, top), QPoint(right, bottom), QPoint(left, bottom), QPoint(left, top)}));
    if (style.ticks_shown)
        draw_ticks(painter, map, window, cw, ch);

    if (options.post_lines_shown)
        draw_user_lines(painter, map);
    if (options.post_loaded)
        draw_post_items(painter, map);
    if (options.texts_shown)
        draw_free_texts(painter, map);
    painter.end();

    handles.plot_bitmap = image;
    return 1;
}
