#include "pathgraf/resources/plot_icons.h"

#include "pathgraf/resources/command_ids.h"

#include <QPainter>
#include <QPixmap>

#include <cmath>

namespace {

void draw_open(QPainter& p)
{
    p.setBrush(QColor(240, 200, 80));
    p.drawPolygon(QPolygonF({{2, 5}, {8, 5}, {10, 7}, {18, 7}, {18, 18}, {2, 18}}));
    p.setBrush(QColor(255, 225, 120));
    p.drawPolygon(QPolygonF({{4, 10}, {21, 10}, {18, 18}, {2, 18}}));
}

void draw_save(QPainter& p)
{
    p.setBrush(QColor(60, 90, 170));
    p.drawRect(3, 3, 16, 16);
    p.setBrush(Qt::white);
    p.drawRect(6, 3, 10, 6);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(6, 12, 10, 7);
}

void draw_line_style(QPainter& p)
{
    const QColor colours[3] = {QColor(220, 30, 30), QColor(30, 30, 220), QColor(30, 150, 30)};
    for (int i = 0; i < 3; ++i) {
        p.setPen(QPen(colours[i], 1 + i));
        p.drawLine(3, 5 + 6 * i, 19, 5 + 6 * i);
    }
}

void draw_font(QPainter& p)
{
    QFont font("DejaVu Serif");
    font.setPixelSize(17);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(0, 0, 22, 22), Qt::AlignCenter, "A");
}

void draw_axis(QPainter& p)
{
    p.drawLine(4, 3, 4, 18);
    p.drawLine(4, 18, 20, 18);
    for (int k = 0; k < 4; ++k) {
        p.drawLine(1, 4 + 4 * k, 4, 4 + 4 * k);
        p.drawLine(7 + 4 * k, 18, 7 + 4 * k, 21);
    }
}

void draw_post(QPainter& p)
{
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(6, 15), 3, 3);
    p.drawEllipse(QPointF(16, 7), 3, 3);
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(QPolygonF({{11, 14}, {14, 11}, {17, 14}, {14, 17}}));
}

void draw_pencil_line(QPainter& p)
{
    p.setPen(QPen(QColor(200, 0, 200), 2));
    p.drawLine(3, 19, 12, 10);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(230, 160, 40));
    p.drawPolygon(QPolygonF({{12, 10}, {18, 4}, {20, 6}, {14, 12}}));
}

void draw_text_tool(QPainter& p)
{
    QFont font("DejaVu Serif");
    font.setPixelSize(16);
    p.setFont(font);
    p.drawText(QRectF(0, 0, 22, 22), Qt::AlignCenter, "Ab");
}

void draw_labels(QPainter& p)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(9);
    p.setFont(font);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(5, 15), 2.5, 2.5);
    p.drawText(QPointF(8, 12), "C1");
}

void draw_move(QPainter& p)
{
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(11, 2, 11, 20);
    p.drawLine(2, 11, 20, 11);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygonF({{11, 1}, {8, 5}, {14, 5}}));
    p.drawPolygon(QPolygonF({{11, 21}, {8, 17}, {14, 17}}));
    p.drawPolygon(QPolygonF({{1, 11}, {5, 8}, {5, 14}}));
    p.drawPolygon(QPolygonF({{21, 11}, {17, 8}, {17, 14}}));
}

void draw_magnifier(QPainter& p, bool plus)
{
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(QColor(220, 235, 255));
    p.drawEllipse(QPointF(9, 9), 6, 6);
    p.setPen(QPen(Qt::black, 3));
    p.drawLine(13, 13, 20, 20);
    p.setPen(QPen(Qt::black, 1.5));
    p.drawLine(6, 9, 12, 9);
    if (plus)
        p.drawLine(9, 6, 9, 12);
}

void draw_zoom_in(QPainter& p) { draw_magnifier(p, true); }
void draw_zoom_out(QPainter& p) { draw_magnifier(p, false); }

void draw_help(QPainter& p)
{
    p.setBrush(QColor(40, 110, 200));
    p.drawEllipse(QPointF(11, 11), 9, 9);
    QFont font("DejaVu Sans");
    font.setPixelSize(14);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 22, 22), Qt::AlignCenter, "?");
}

void draw_exit(QPainter& p)
{
    p.setBrush(QColor(150, 100, 60));
    p.drawRect(3, 2, 9, 17);
    p.setPen(QPen(QColor(200, 40, 40), 2));
    p.drawLine(10, 11, 20, 11);
    p.drawLine(20, 11, 16, 7);
    p.drawLine(20, 11, 16, 15);
}

QPixmap painted(int size, void (*painter_function)(QPainter&))
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter_function(painter);
    return pixmap;
}

}  // namespace

QIcon plot_toolbar_icon(int image)
{
    using Painter = void (*)(QPainter&);
    static const Painter painters[PLOT_TOOLBAR_IMAGE_COUNT] = {
        draw_open,  draw_save,   draw_line_style, draw_font,     draw_axis,     draw_post, draw_pencil_line,
        draw_text_tool, draw_labels, draw_move,   draw_zoom_in, draw_zoom_out, draw_help, draw_exit};
    if (image < 0 || image >= PLOT_TOOLBAR_IMAGE_COUNT)
        return QIcon();
    return QIcon(painted(22, painters[image]));
}

QCursor plot_cursor(int id)
{
    switch (id) {
    case CURSOR_ZOOM_IN:
        return QCursor(painted(22, draw_zoom_in), 9, 9);
    case CURSOR_ZOOM_OUT:
        return QCursor(painted(22, draw_zoom_out), 9, 9);
    case CURSOR_MOVE:
        return QCursor(Qt::OpenHandCursor);
    case CURSOR_MOVE_DRAGGING:
        return QCursor(Qt::ClosedHandCursor);
    case CURSOR_DRAW_LINE:
        return QCursor(Qt::CrossCursor);
    case CURSOR_TEXT:
        return QCursor(Qt::IBeamCursor);
    default:
        return QCursor(Qt::ArrowCursor);
    }
}

QIcon pathgraf_icon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 30, 220), 2));
    for (int k = 0; k < 6; ++k) {
        const double a = k * M_PI / 3;
        p.drawLine(QPointF(16, 16), QPointF(16 + 14 * std::cos(a), 16 + 14 * std::sin(a)));
    }
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(220, 30, 30));
    p.drawEllipse(QPointF(16, 16), 4, 4);
    return QIcon(pixmap);
}
