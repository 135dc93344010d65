#include "keldana/resources/toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace {

void draw_open(QPainter& p)
{
    p.setBrush(QColor(240, 200, 80));
    p.drawPolygon(QPolygonF({{2, 6}, {9, 6}, {11, 8}, {20, 8}, {20, 19}, {2, 19}}));
    p.setBrush(QColor(255, 225, 120));
    p.drawPolygon(QPolygonF({{4, 11}, {22, 11}, {20, 19}, {2, 19}}));
}

void draw_save(QPainter& p)
{
    p.setBrush(QColor(60, 90, 170));
    p.drawRect(3, 3, 18, 18);
    p.setBrush(Qt::white);
    p.drawRect(6, 3, 12, 7);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(7, 14, 10, 7);
}

void draw_editor(QPainter& p)
{
    p.setBrush(Qt::white);
    p.drawRect(4, 2, 14, 19);
    for (int y = 6; y <= 16; y += 3)
        p.drawLine(7, y, 15, y);
    p.setBrush(QColor(230, 160, 40));
    p.drawPolygon(QPolygonF({{12, 20}, {20, 8}, {23, 10}, {15, 22}, {11, 23}}));
}

void draw_structure(QPainter& p)
{
    p.setPen(QPen(Qt::darkGray, 2));
    p.drawLine(6, 17, 12, 7);
    p.drawLine(12, 7, 19, 16);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(220, 40, 40));
    p.drawEllipse(QPointF(12, 7), 4, 4);
    p.setBrush(QColor(230, 230, 230));
    p.drawEllipse(QPointF(6, 17), 3, 3);
    p.drawEllipse(QPointF(19, 16), 3, 3);
}

void draw_property(QPainter& p)
{
    QFont font("DejaVu Serif");
    font.setPixelSize(18);
    font.setItalic(true);
    p.setFont(font);
    p.setPen(QColor(20, 60, 160));
    p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, QString::fromUtf8("\xcf\x81"));
}

void draw_parameters(QPainter& p)
{
    for (int i = 0; i < 3; ++i) {
        const int y = 5 + 7 * i;
        p.drawLine(3, y, 21, y);
        p.setBrush(QColor(90, 140, 200));
        p.drawRect(5 + 5 * i, y - 3, 4, 6);
    }
}

void draw_cluster(QPainter& p)
{
    p.setBrush(QColor(80, 160, 80));
    for (int i = 0; i < 6; ++i) {
        const double a = i * M_PI / 3;
        p.drawEllipse(QPointF(12 + 8 * std::cos(a), 12 + 8 * std::sin(a)), 2.5, 2.5);
    }
    p.setBrush(QColor(200, 60, 60));
    p.drawEllipse(QPointF(12, 12), 3, 3);
}

void draw_line(QPainter& p)
{
    p.setPen(QPen(QColor(20, 60, 160), 2));
    QPainterPath path(QPointF(2, 18));
    path.cubicTo(8, 2, 14, 22, 22, 6);
    p.drawPath(path);
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(2, 21, 22, 21);
    p.drawLine(2, 21, 2, 3);
}

void draw_map(QPainter& p)
{
    p.setBrush(Qt::NoBrush);
    const QColor colours[] = {QColor(200, 40, 40), QColor(220, 140, 20), QColor(40, 140, 40), QColor(30, 80, 200)};
    for (int i = 0; i < 4; ++i) {
        p.setPen(colours[i]);
        p.drawEllipse(QPointF(12, 12), 3 + 3 * i, 2 + 2.5 * i);
    }
}

void draw_search(QPainter& p)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 2));
    p.drawEllipse(QPointF(10, 10), 6, 6);
    p.drawLine(15, 15, 21, 21);
    p.setPen(QPen(QColor(200, 40, 40), 1));
    p.setBrush(QColor(200, 40, 40));
    p.drawEllipse(QPointF(10, 10), 2, 2);
}

void draw_stop(QPainter& p)
{
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const double a = M_PI / 8 + i * M_PI / 4;
        octagon << QPointF(12 + 10 * std::cos(a), 12 + 10 * std::sin(a));
    }
    p.setBrush(QColor(210, 30, 30));
    p.drawPolygon(octagon);
    p.setPen(QPen(Qt::white, 2));
    p.drawLine(8, 12, 16, 12);
}

void draw_integration(QPainter& p)
{
    QFont font("DejaVu Serif");
    font.setPixelSize(22);
    p.setFont(font);
    p.setPen(QColor(20, 60, 160));
    p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, QString::fromUtf8("\xe2\x88\xab"));
}

void draw_help(QPainter& p)
{
    p.setBrush(QColor(40, 110, 200));
    p.drawEllipse(QPointF(12, 12), 10, 10);
    QFont font("DejaVu Sans");
    font.setPixelSize(15);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, "?");
}

void draw_exit(QPainter& p)
{
    p.setBrush(QColor(150, 100, 60));
    p.drawRect(4, 3, 10, 18);
    p.setPen(QPen(QColor(200, 40, 40), 2));
    p.drawLine(11, 12, 21, 12);
    p.drawLine(21, 12, 17, 8);
    p.drawLine(21, 12, 17, 16);
}

}  // namespace

QIcon toolbar_icon(int image)
{
    using Painter = void (*)(QPainter&);
    static const Painter painters[TOOLBAR_IMAGE_COUNT] = {
        draw_open, draw_save, draw_editor, draw_structure, draw_property, draw_parameters, draw_cluster,
        draw_line, draw_map, draw_search, draw_stop, draw_integration, draw_help, draw_exit};
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    if (image >= 0 && image < TOOLBAR_IMAGE_COUNT) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::black, 1));
        painters[image](painter);
    }
    return QIcon(pixmap);
}
