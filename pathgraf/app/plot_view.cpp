#include "pathgraf/app/plot_view.h"

#include "common/qt/qt_user_interface.h"
#include "pathgraf/app/mouse_modes.h"
#include "pathgraf/app/plot_handles.h"
#include "pathgraf/app/plot_renderer.h"
#include "pathgraf/app/plot_state.h"
#include "pathgraf/resources/plot_icons.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

PlotView::PlotView(QWidget* parent) : QWidget(parent)
{
    setObjectName("view");
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

void PlotView::set_view_cursor(int cursor_id) { setCursor(plot_cursor(cursor_id)); }

void PlotView::paintEvent(QPaintEvent*)
{
    const PlotWindowHandles& handles = plot_window_handles();
    if (handles.view_bitmap.isNull())
        return;
    const ViewState& view = view_state();
    QPainter painter(this);
    painter.drawImage(QPoint(view.origin_x, view.origin_y), handles.view_bitmap);

    QPen outline(Qt::black);
    outline.setStyle(Qt::DotLine);
    outline.setWidth(0);
    painter.setPen(outline);
    const QPoint o(view.origin_x, view.origin_y);
    painter.drawPolyline(QPolygon({o, o + QPoint(view.view_width, 0), o + QPoint(view.view_width, view.view_height),
                                   o + QPoint(0, view.view_height), o}));

    const UserLines& lines = user_lines();
    if (view.draw_line_mode && lines.segment_count >= 1) {
        const float ratio = static_cast<float>(view.view_width) / static_cast<float>(std::max(view.full_width, 1));
        const float ppi = ratio * display_options().pixels_per_inch;
        for (int i = 1; i <= lines.segment_count; ++i) {
            const UserLineStyle& style = lines.style[lines.line_count + i];
            QPen pen(colour_from_colorref(style.colour));
            pen.setWidth(pixel_trunc(static_cast<float>(style.width) * (ratio + 0.5f)));
            pen.setCapStyle(Qt::RoundCap);
            painter.setPen(pen);
            draw_dashed_line_gdi(painter, static_cast<float>(lines.segment_start[i].x),
                                 static_cast<float>(lines.segment_start[i].y), static_cast<float>(lines.segment_end[i].x),
                                 static_cast<float>(lines.segment_end[i].y), style.dash, ppi);
        }
    }
    const DisplayOptions& options = display_options();
    if (options.labels_mode || options.draw_text_mode)
        draw_item_overlay_gdi(painter, view.selected_item);
}

void PlotView::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        view_left_button_down(p.x(), p.y());
    else if (event->button() == Qt::RightButton)
        view_right_button_down(p.x(), p.y());
}

void PlotView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    view_mouse_move(p.x(), p.y());
}

void PlotView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
        view_button_up();
}

void PlotView::keyPressEvent(QKeyEvent* event)
{
    if (!handle_plot_key(event->key()))
        QWidget::keyPressEvent(event);
}

// The whole plot fits the view at every size: a window restored from
// maximised shows all of it, not its top left corner.
void PlotView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fit_view_to_window();
}
